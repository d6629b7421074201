// The album manager over a real catalogue: the reservation queue it replaces
// is the database's own (under a category filter, every row kept), the
// queue's notices reach the reservation list in view types 0 and 1 only,
// and a rebuild from two folders keeps the my-album lists' songs by path.
#include "album/albumdatabase.h"
#include "album/manager/library_album.h"
#include "album/manager/main_frame.h"
#include "album/myalbum.h"
#include "album/songrecord.h"
#include "album/tests/support/song_tree.h"
#include "platform/res/bundle.h"
#include "platform/sys/paths.h"
#include "platform/sys/tests/scratch_folder.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/tests/support/screen_session.h"

#include <cstring>
#include <filesystem>

using namespace album;
using namespace uitest;

namespace {

std::string Stored(const std::string& path) {
  return sys::ToStoredPath(path).value_or(path);
}

class LibraryAlbumTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    std::string error;
    bundle = res::Bundle::Load("rTondo32", VEXO_BIN_DIR, &error);
    ASSERT_TRUE(bundle) << error;
    boxes = std::make_shared<ui::ScriptedMessageBox>();
    scopedBoxes.emplace(boxes);
    ASSERT_NE(Create(host, kPlainClass, 0, {0, 0, 10, 10}), 0u);
    std::filesystem::create_directories(dir / "album");
    // Category 2: "Pop 1" and "Pop 2"; category 3: "Pop 3".
    std::filesystem::create_directories(dir / "songs/pop");
    for (int i = 1; i <= 3; ++i)
      ASSERT_TRUE(album::testing::WriteSong(dir / ("songs/pop/song" + std::to_string(i) + ".vx3"),
                                     "Pop " + std::to_string(i), "S",
                                     static_cast<uint8_t>(i < 3 ? 2 : 3), ""));
    // Titles that sort before the first folder's, to renumber them.
    ASSERT_TRUE(album::testing::MakeSongFolder(dir / "songs/acid", 2, "Acid"));
    db.Open(dir / "album");
    db.AddSubAlbumFolder(Stored(dir / "songs/pop"), true);
    ASSERT_EQ(db.Rebuild(1), 1);
    db.Reservations().SetNotice([this](int kind, int32_t number, int) {
      if (frame)
        frame->ReserveNotice(kind, number);
    });
  }
  void TearDown() override {
    db.Reservations().SetNotice(nullptr);
    if (frame && CMainFrame::Current() == frame)
      win::DestroyWindow(frame->GetHwnd());
    frame = nullptr;
    scopedBoxes.reset();
    ScreenTest::TearDown();
  }

  CMainFrame* Open(int16_t type) {
    ManagerSetup setup;
    const res::Bundle b = *bundle;
    setup.resources = {b.Files(), [b](uint32_t id) { return b.String(id); }};
    setup.moduleFolder = dir / "album";
    setup.host = host.GetHwnd();
    setup.requestedType = type;
    setup.album = &album;
    frame = CMainFrame::Create(setup);
    return frame;
  }
  // The song number whose file is path (0 for none).
  uint32_t NumberOf(const std::string& path) {
    for (uint32_t n = 1; n <= 20; ++n) {
      SongRecord r;
      if (db.GetSongDataBySongNum(n, r) &&
          std::string(r.fileName.data(), strnlen(r.fileName.data(), r.fileName.size())) ==
              Stored(path))
        return n;
    }
    return 0;
  }

  sys::test::ScratchFolder dir;
  AlbumDatabase db;
  LibraryAlbum album{[this] { return &db; }};
  std::optional<res::Bundle> bundle;
  LogWindow host;
  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  std::optional<ui::ScopedMessageBoxBackend> scopedBoxes;
  CMainFrame* frame = nullptr;
};

TEST_F(LibraryAlbumTest, ReplaceUnderAFilterQueuesEveryRowOnce) {
  ASSERT_TRUE(Open(0));
  const int32_t pop1 = static_cast<int32_t>(NumberOf(dir / "songs/pop/song1.vx3"));
  const int32_t pop2 = static_cast<int32_t>(NumberOf(dir / "songs/pop/song2.vx3"));
  ASSERT_GT(pop1, 0);
  ASSERT_GT(pop2, 0);
  ASSERT_EQ(db.SetCategoryFilter(2), 1);
  const std::vector<ReservationRow> rows = {
      {pop2, "Pop 2", "", kKindText},         {-1, "/tmp/x1.vx3", "", kKindText},
      {-2, "/tmp/x2.vx3", "", kKindBinary},   {-3, "/tmp/x3.mid", "", 90104},
      {-4, "/tmp/x4.mp3", "", 90105},         {-5, "/tmp/x5.sw3", "", kKindWave},
      {pop1, "Pop 1", "", kKindText}};
  for (const ReservationRow& r : rows)
    frame->Reserves().AddRow(r);
  host.log.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kReplace, 0);
  db.SetCategoryFilter(0);
  const auto& queue = db.Reservations().Entries();
  ASSERT_EQ(queue.size(), rows.size());
  size_t i = 0;
  for (const ReservationQueue::Entry& e : queue) {
    SCOPED_TRACE(i);
    EXPECT_EQ(e.number, rows[i].number);
    if (rows[i].number < 1)
      EXPECT_EQ(e.path, rows[i].text);
    else
      EXPECT_EQ(e.path, Stored(dir / ("songs/pop/song" + std::string(i == 0 ? "2" : "1") + ".vx3")));
    ++i;
  }
  EXPECT_EQ(host.Only({win::WM_COPYDATA}).size(), 1u);
  // The list keeps the rows it showed; the queue's notices were not applied.
  EXPECT_EQ(frame->Reserves().Rows().size(), rows.size());
}

TEST_F(LibraryAlbumTest, QueueChangesReachTheListInTypesZeroAndOne) {
  for (int type : {0, 1, 2}) {
    SCOPED_TRACE(type);
    db.Reservations().Clear();
    ASSERT_TRUE(Open(static_cast<int16_t>(type)));
    const int32_t pop3 = static_cast<int32_t>(NumberOf(dir / "songs/pop/song3.vx3"));
    db.Reservations().Add(pop3, "Pop 3", "p3");
    db.Reservations().Add(-1, "A file", "/tmp/a.vx3");
    db.Reservations().Add(pop3, "Pop 3", "p3");
    db.Reservations().Add(7, "Seven", "p7");
    std::vector<std::pair<int32_t, std::string>> shown;
    for (const ReservationRow& r : frame->Reserves().Rows())
      shown.push_back({r.number, r.text});
    if (type == 2) {
      EXPECT_TRUE(shown.empty());
    } else {
      EXPECT_EQ(shown, (std::vector<std::pair<int32_t, std::string>>{
                           {pop3, "Pop 3"}, {-1, "A file"}, {pop3, "Pop 3"}, {7, "Seven"}}));
      EXPECT_EQ(frame->Reserves().Rows()[0].kind, kKindText); // its record's type byte
    }
    // The first entry of the number goes; the list looks behind its first
    // row, which is the one playing.
    db.Reservations().Remove(pop3);
    db.Reservations().RemoveLast();
    if (type != 2) {
      ASSERT_EQ(frame->Reserves().Rows().size(), 2u);
      EXPECT_EQ(frame->Reserves().Rows()[0].number, pop3);
      EXPECT_EQ(frame->Reserves().Rows()[1].number, -1);
      db.Reservations().Take(1);
      ASSERT_EQ(frame->Reserves().Rows().size(), 1u);
      EXPECT_EQ(frame->Reserves().Rows()[0].number, -1);
      db.Reservations().Clear();
      EXPECT_TRUE(frame->Reserves().Rows().empty());
    }
    win::DestroyWindow(frame->GetHwnd());
    frame = nullptr;
  }
}

TEST_F(LibraryAlbumTest, RebuildFromTwoFoldersKeepsListedSongsByPath) {
  MyAlbumStore* store = db.MyAlbums();
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->AddMyAlbum("Mine"));
  const uint32_t before = NumberOf(dir / "songs/pop/song2.vx3");
  ASSERT_TRUE(store->AddSong(0, before));
  // A song gone from the folder moves the others' numbers.
  std::filesystem::remove(dir / "songs/pop/song1.vx3");
  ASSERT_TRUE(Open(2));
  frame->Reserves().AddRow({1, "acid", Stored(dir / "songs/acid"), kKindAll});
  frame->Reserves().AddRow({2, "pop", Stored(dir / "songs/pop"), kKindAll});
  host.log.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kRebuildSecond, 0);
  PumpUntil([&] { return frame->CurrentType() == 0; }, 2000);
  EXPECT_EQ(frame->CurrentType(), 0);
  const auto notices = host.Only({win::WM_COPYDATA});
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].wParam, frame->GetHwnd());
  const uint32_t after = NumberOf(dir / "songs/pop/song2.vx3");
  ASSERT_GT(NumberOf(dir / "songs/acid/song1.vx3"), 0u);
  EXPECT_NE(after, before);
  ASSERT_EQ(store->GetNumOfSongInMyAlbum(0), 1u);
  EXPECT_EQ(store->GetSongNumInMyAlbum(0, 0), after);
}

TEST_F(LibraryAlbumTest, NoRebuildInAnInternetMode) {
  ASSERT_EQ(db.SetAlbumModeTo(2, false), 1);
  ASSERT_TRUE(Open(2));
  frame->Reserves().AddRow({2, "acid", Stored(dir / "songs/acid"), kKindAll});
  host.log.clear();
  win::SendMessage(frame->GetHwnd(), win::WM_COMMAND, cmd::kRebuildSecond, 0);
  EXPECT_TRUE(host.Only({win::WM_COPYDATA}).empty());
  EXPECT_EQ(frame->Reserves().Rows().size(), 1u);
  EXPECT_EQ(frame->CurrentType(), 2);
  ASSERT_EQ(db.SetAlbumModeTo(0, false), 1);
  EXPECT_EQ(NumberOf(dir / "songs/acid/song1.vx3"), 0u);
}

} // namespace
