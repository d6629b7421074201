// The album-mode exports of the library as a host loads it: the switch (its
// queue notice), the mode album's songs, and files fetched through the
// download dialog from a server of the test, with no display.
#include "album/albumformats.h"
#include "album/tests/support/inet_fixtures.h"
#include "core/tests/support/songfile_bytes.h"
#include "platform/net/tests/test_http_server.h"
#include "platform/sys/ini.h"
#include "platform/sys/library.h"
#include "platform/sys/tests/support/command_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace album::testing;
namespace fs = std::filesystem;

std::string AsString(const Bytes& b) { return std::string(b.begin(), b.end()); }

std::vector<int> kinds;
void Record(int32_t kind, int32_t, int32_t, void*) {
  kinds.push_back(kind);
}

template <typename F> F Bind(const sys::Library& lib, const char* name) {
  F f = reinterpret_cast<F>(lib.Find(name));
  EXPECT_NE(f, nullptr) << name;
  return f;
}

TEST(Tondo32Modes, ExportsSwitchModesAndFetchThroughTheDownloadDialog) {
  net::test::TestHttpServer server;
  Folders f;
  LayRolls(f);
  const std::string base = server.Url("/vx");
  sys::IniWriteString(f.album + "config.ini", "OnLine", "Server", base);
  const char* old = std::getenv("VEXO_CONFIG_DIR");
  const std::string saved = old ? old : "";
  setenv("VEXO_CONFIG_DIR", f.album.c_str(), 1);
  {
    // Loaded for the rest of the process, as a host keeps it, and never
    // closed, even at exit: what the library's window layer keeps for the
    // threads that posted to its dialogs is freed with the process.
    static std::optional<sys::Library>& lib =
        *new std::optional<sys::Library>(sys::Library::Load(VEXO_BIN_DIR, "Tondo32"));
    ASSERT_TRUE(lib);
    ASSERT_EQ(Bind<int32_t (*)()>(*lib, "Tondo32_Attach")(), 1);
    EXPECT_EQ(Bind<int32_t (*)(uint32_t)>(*lib, "TONDO32_LoadTondo32")(0), -1);
    auto setMode = Bind<void (*)(int32_t)>(*lib, "TONDO32_SetAlbumModeTo");
    auto mode = Bind<int32_t (*)()>(*lib, "TONDO32_GetAlbumMode");
    auto inet = Bind<int32_t (*)()>(*lib, "TONDO32_IsAlbumModeINet");
    auto total = Bind<int32_t (*)()>(*lib, "TONDO32_GetTotalNumOfSong");
    auto add = Bind<void (*)(int32_t, const char*, const char*)>(*lib, "TONDO32_AddSongReserve");
    auto fetchFile =
        Bind<int32_t (*)(const char*, const char*, uint32_t, int32_t)>(*lib, "TONDO32_DownLoadFile");
    auto fetchSong = Bind<int32_t (*)(int32_t)>(*lib, "TONDO32_DownLoadSongBySongNum");
    auto removeSong = Bind<int32_t (*)(int32_t)>(*lib, "TONDO32_RemoveDownloadedSongBySongNum");
    auto update = Bind<int32_t (*)()>(*lib, "TONDO32_UpdateMasterAlbum");
    auto updated = Bind<const int32_t* (*)(const char*)>(*lib, "TONDO32_MakeUpdatedSubAlbumList");
    Bind<void (*)(void (*)(int32_t, int32_t, int32_t, void*), void*)>(
        *lib, "Tondo32_SetReserveNotice")(Record, nullptr);

    add(-1, "A file", "/tmp/a.mid");
    kinds.clear();
    setMode(7); // no such mode: nothing happens
    EXPECT_EQ(mode(), 0);
    EXPECT_TRUE(kinds.empty());
    setMode(2);
    EXPECT_EQ(mode(), 2);
    EXPECT_EQ(inet(), 0);
    EXPECT_EQ(kinds, std::vector<int>{3}); // the queue emptied, with its notice
    EXPECT_EQ(total(), 3);
    EXPECT_EQ(update(), 0); // mode 3 only
    EXPECT_EQ(updated(f.album.c_str()), nullptr);
    setMode(2);
    EXPECT_EQ(kinds.size(), 1u); // the same mode does nothing

    const album::testing::Bytes song = core::testing::V350File();
    server.Route("/vx/pop/arirang.vx3",
                 net::test::Ok(AsString(song)));
    EXPECT_EQ(fetchSong(7), 1);
    EXPECT_EQ(Get(f.download + "pop/arirang.vx3"), song);
    EXPECT_EQ(fetchSong(9), 0); // the server has no such file
    EXPECT_FALSE(fs::exists(f.download + "pop/blue.sb3"));

    server.Route("/any", net::test::Ok("some bytes"));
    EXPECT_EQ(fetchFile(nullptr, "/x", 0, 0), 0);
    EXPECT_EQ(fetchFile(server.Url("/any").c_str(), nullptr, 0, 0), 0);
    EXPECT_EQ(fetchFile(server.Url("/any").c_str(), (f.scratch.Path() + "/any").c_str(), 0, 1), 1);
    EXPECT_EQ(Get(f.scratch.Path() + "/any"), Text("some bytes"));
    EXPECT_EQ(fetchFile(server.Url("/none").c_str(), (f.scratch.Path() + "/none").c_str(), 0, 0),
              0);
    EXPECT_FALSE(fs::exists(f.scratch.Path() + "/none"));

    EXPECT_EQ(removeSong(7), 1);
    EXPECT_FALSE(fs::exists(f.download + "pop/arirang.vx3"));
    setMode(1);
    EXPECT_EQ(inet(), 1);
    setMode(0);
    Bind<void (*)()>(*lib, "TONDO32_FreeTondo32")();
    Bind<int32_t (*)()>(*lib, "Tondo32_Detach")();
  }
  if (old)
    setenv("VEXO_CONFIG_DIR", saved.c_str(), 1);
  else
    unsetenv("VEXO_CONFIG_DIR");
  album::ModeAlbum written;
  std::optional<std::vector<uint8_t>> bytes = album::ReadAlbumFileBytes(f.album + "jSong.alb");
  ASSERT_TRUE(bytes);
  ASSERT_EQ(album::ReadModeAlbum(*bytes, written), album::kAlbumRead);
  for (const album::SongIndexEntry& e : written.entries)
    EXPECT_EQ(e.type, e.number == 12 ? 'w' : e.number == 7 ? 't' : 'b');
}

// The same through the host's commands, each one run of the program.
TEST(Tondo32Modes, HostCommandsOfTheSongServer) {
  net::test::TestHttpServer server;
  Folders f;
  LayRolls(f);
  auto album = [&](const std::string& args) {
    return systest::RunCommand("VEXO_CONFIG_DIR=" + f.album + " VEXO_RUNTIME_DIR=" +
                                   f.scratch.Path() + "/run " + std::string(VEXO_BIN_DIR) +
                                   "/vexo3 album " + args,
                               systest::Stderr::Apart);
  };
  systest::CommandRun r = album("server " + server.Url("/vx") + "/");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, server.Url("/vx") + "\n");
  EXPECT_NE(album("server ftp://x").status, 0);
  r = album("mode 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "mode 2: 3 songs in 2 albums\n");
  EXPECT_TRUE(server.Log().empty());
  EXPECT_NE(album("mode 4").status, 0);

  const Bytes song = core::testing::V350File();
  server.Route("/vx/rock/cold.wm3", net::test::Ok(AsString(song)));
  r = album("download 12 9");
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out, "12\tdownloaded\n9\tnot downloaded\n");
  EXPECT_EQ(Get(f.download + "rock/cold.wm3"), song);
  r = album("download --remove 12");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::exists(f.download + "rock/cold.wm3"));

  server.Route("/vx/jThunk.alb",
               net::test::Ok(AsString(ThunkBytes({{"jRo0001.alb", 11}}, {}))));
  sys::IniWriteString(f.album + "config.ini", "OnLine", "iThunk", server.Url("/vx/jThunk.alb"));
  r = album("update 2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "mode 2: 2 songs in 1 albums\n");

  server.Route("/file", net::test::Ok("bytes"));
  r = album("fetch " + server.Url("/file") + " " + f.scratch.Path() + "/got");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Get(f.scratch.Path() + "/got"), Text("bytes"));
  EXPECT_EQ(album("fetch " + server.Url("/nothing") + " " + f.scratch.Path() + "/none").status, 1);
  EXPECT_FALSE(fs::exists(f.scratch.Path() + "/none"));
}

} // namespace
