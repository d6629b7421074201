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
#include "platform/win/tests/support/child_process.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>

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

  CMainFrame* Open(int16_t type, ui::Hwnd hostWindow = 0) {
    ManagerSetup setup;
    const res::Bundle b = *bundle;
    setup.resources = {b.Files(), [b](uint32_t id) { return b.String(id); }};
    setup.moduleFolder = dir / "album";
    setup.host = hostWindow ? hostWindow : host.GetHwnd();
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

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(uint32_t h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08x", h);
  return buf;
}

// Every change of view type, with and without rows in the reservation
// list, and the question's two answers when leaving the folder view with
// folders listed: the views' modes, the song list's resets and reloads,
// whether MySong.alb was written, the question, the rebuild, and the
// notices that a host window in another process got.
TEST_F(LibraryAlbumTest, ViewTypeChangesForEveryPairWithAHostInAnotherProcess) {
  auto child = wintest::ChildProcess::Start(wintest::HelperPath("album_notice_host"), {});
  ASSERT_TRUE(child);
  const std::optional<std::string> ready = child->ReadLineStartingWith("ready", 10000);
  ASSERT_TRUE(ready);
  const auto remote = static_cast<ui::Hwnd>(std::stoul(ready->substr(6), nullptr, 16));
  ASSERT_TRUE(win::IsWindow(remote));
  MyAlbumStore* store = db.MyAlbums();
  ASSERT_TRUE(store && store->AddMyAlbum("Mine"));
  ASSERT_EQ(store->Save(), 1);
  const std::string myAlbum = dir / "album/MySong.alb";
  const int32_t pop1 = static_cast<int32_t>(NumberOf(dir / "songs/pop/song1.vx3"));

  struct Case {
    int from, to;
    bool rows;
    int answer; // IDYES or IDNO when the question is asked, else 0
  };
  std::vector<Case> cases;
  for (int from = 0; from < 3; ++from)
    for (int to = 0; to < 3; ++to)
      for (bool rows : {false, true}) {
        if (from == 2 && to != 2 && rows) {
          cases.push_back({from, to, rows, ui::IDYES});
          cases.push_back({from, to, rows, ui::IDNO});
        } else {
          cases.push_back({from, to, rows, 0});
        }
      }
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to << (c.rows ? " rows" : "")
                                    << " answer " << c.answer);
    db.Reservations().Clear();
    if (c.rows && c.from != 2)
      db.Reservations().Add(pop1, "Pop 1", "p1");
    ASSERT_TRUE(Open(static_cast<int16_t>(c.from), remote));
    if (c.rows && c.from == 2)
      frame->Reserves().AddRow({1, "acid", Stored(dir / "songs/acid"), kKindAll});
    // A change of the store not yet saved.
    ASSERT_TRUE(store->AddSong(0, static_cast<uint32_t>(pop1)));
    const std::string before = FileBytes(myAlbum);
    const size_t rowsBefore = frame->Reserves().Rows().size();
    if (c.answer)
      boxes->Answer(c.answer);
    const size_t asked = boxes->Shown().size();
    const int resets = frame->Songs().Resets(), reloads = frame->Songs().Reloads();
    const int refreshes = frame->Tree().Refreshes();
    frame->TypeCombo().Choose(c.to);
    PumpUntil([] { return false; }, 30);

    const bool changed = c.from != c.to;
    const bool asks = c.answer != 0;
    const bool rebuilds = c.answer == ui::IDYES;
    const int final = rebuilds ? 0 : c.to;
    EXPECT_EQ(frame->CurrentType(), final);
    for (ManagerView* v : {&frame->Tree(), &frame->Songs(), &frame->Reserves()})
      EXPECT_EQ(v->Mode(), final);
    EXPECT_EQ(frame->Songs().Resets() > resets, changed);
    EXPECT_EQ(frame->Tree().Refreshes() > refreshes, changed);
    // Entering type 1 reloads the list; so does leaving it for the folders.
    const bool reloads1 = changed && (c.to == 1 || (c.from == 1 && c.to == 2));
    EXPECT_EQ(frame->Songs().Reloads() > reloads, reloads1);
    // Leaving the album view saves the store.
    const bool saves = c.from == 0 && changed;
    EXPECT_EQ(FileBytes(myAlbum) != before, saves || rebuilds);
    EXPECT_EQ(boxes->Shown().size() - asked, asks ? 1u : 0u);
    EXPECT_EQ(frame->Status().Text(1), rebuilds ? "The song albums are built." : " ");
    // The reservation list: kept between the song views, emptied for the
    // folders, the queue again on leaving them.
    const size_t rowsAfter = frame->Reserves().Rows().size();
    if (!changed || (c.from != 2 && c.to != 2))
      EXPECT_EQ(rowsAfter, rowsBefore);
    else
      EXPECT_EQ(rowsAfter, 0u);

    // The host's lines up to a mark of this test's own.
    const ui::Hwnd self = frame->GetHwnd();
    win::SendCopyData(remote, 0, 0x1, nullptr, 0);
    std::vector<std::string> notices;
    for (;;) {
      const std::optional<std::string> line = child->ReadLine(5000);
      ASSERT_TRUE(line);
      if (*line == "notice 1 from 00000000 size 0")
        break;
      notices.push_back(*line);
    }
    if (rebuilds)
      EXPECT_EQ(notices, std::vector<std::string>{"notice 10505 from " + Hex(self) + " size 0"});
    else
      EXPECT_TRUE(notices.empty());
    win::DestroyWindow(self);
    frame = nullptr;
    store->Save();
  }
  win::PostMessage(remote, win::WM_CLOSE);
  const std::optional<int> status = child->Wait(10000);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

} // namespace
