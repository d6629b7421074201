#include "album/albumdatabase.h"
#include "album/tests/support/song_tree.h"
#include "platform/sys/library.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace {

struct Notice {
  int kind;
  int32_t number;
  int position;
  bool operator==(const Notice&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Notice& n) {
  return os << "{" << n.kind << "," << n.number << "," << n.position << "}";
}

std::vector<Notice> notices;

void Record(int32_t kind, int32_t number, int32_t position, void*) {
  notices.push_back({kind, number, position});
}

template <typename F> F Bind(const sys::Library& lib, const char* name) {
  return reinterpret_cast<F>(lib.Find(name));
}

// The reservation exports of the library itself, loaded as a host loads it,
// on a catalogue of three songs.
TEST(Tondo32Reservations, ExportsKeepTheQueueAndTellOnlyRealChanges) {
  sys::test::ScratchFolder dir;
  const std::string albumDir = dir / "album";
  std::filesystem::create_directories(albumDir);
  ASSERT_TRUE(album::testing::MakeSongFolder(dir / "songs/p", 3, "Pop"));
  {
    album::AlbumDatabase db;
    db.Open(albumDir);
    db.AddSubAlbumFolder(sys::ToStoredPath(dir / "songs/p").value(), true);
    ASSERT_EQ(db.Rebuild(1), 1);
  }
  const char* old = std::getenv("VEXO_CONFIG_DIR");
  const std::string saved = old ? old : "";
  setenv("VEXO_CONFIG_DIR", albumDir.c_str(), 1);

  std::optional<sys::Library> lib = sys::Library::Load(VEXO_BIN_DIR, "Tondo32");
  ASSERT_TRUE(lib);
  ASSERT_EQ(Bind<int32_t (*)()>(*lib, "Tondo32_Attach")(), 1);
  ASSERT_EQ(Bind<int32_t (*)(uint32_t)>(*lib, "TONDO32_LoadTondo32")(0), 1);
  auto setNotice = Bind<void (*)(void (*)(int32_t, int32_t, int32_t, void*), void*)>(
      *lib, "Tondo32_SetReserveNotice");
  auto add = Bind<void (*)(int32_t, const char*, const char*)>(*lib, "TONDO32_AddSongReserve");
  auto add1 = Bind<void (*)(int32_t)>(*lib, "TONDO32_AddSongReserve1");
  auto count = Bind<int32_t (*)()>(*lib, "TONDO32_GetNumOfReservedSong");
  auto take = Bind<const void* (*)(int32_t)>(*lib, "TONDO32_GetReservedSong");
  auto remove = Bind<int32_t (*)(int32_t)>(*lib, "TONDO32_RemoveReservedSong");
  auto removeLast = Bind<int32_t (*)()>(*lib, "TONDO32_RemoveReservedSong0");
  auto update = Bind<void (*)()>(*lib, "TONDO32_AutoAlbumUpdate");
  auto filter = Bind<int32_t (*)(uint8_t)>(*lib, "TONDO32_SetCategoryFilter");
  for (void* f : {(void*)setNotice, (void*)add, (void*)add1, (void*)count, (void*)take,
                  (void*)remove, (void*)removeLast, (void*)update, (void*)filter})
    ASSERT_NE(f, nullptr);

  notices.clear();
  setNotice(Record, nullptr);
  add1(1);
  add1(999); // no such song: nothing queued, nothing told
  add(-1, "A file", "C:\\tmp\\a.mid");
  EXPECT_EQ(count(), 2);
  EXPECT_EQ(take(3), nullptr);
  EXPECT_EQ(remove(77), 0);
  // A hidden song is refused while the filter is on; a file reservation is not.
  filter(9);
  add1(2);
  add(2, "Pop 2", "p");
  add(-2, "Another file", "C:\\tmp\\b.mid");
  filter(0);
  const auto* r = static_cast<const uint8_t*>(take(1));
  ASSERT_NE(r, nullptr);
  int32_t number = 0;
  std::memcpy(&number, r, 4);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(removeLast(), 1);
  // The folder check empties the queue and says so.
  update();
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(notices, (std::vector<Notice>{
                         {4, 1, 1}, {4, -1, 2}, {4, -2, 3}, {0, 1, 1}, {2, -2, 2}, {3, 0, 0}}));
  setNotice(nullptr, nullptr);
  Bind<int32_t (*)()>(*lib, "Tondo32_Detach")();
  lib->Release();
  if (old)
    setenv("VEXO_CONFIG_DIR", saved.c_str(), 1);
  else
    unsetenv("VEXO_CONFIG_DIR");
}

} // namespace
