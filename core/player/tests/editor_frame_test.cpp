// The song editor inside the in-process player core: its life cycle, the
// frame's and the document's commands with scripted boxes and file
// dialogs, play-follow on a manual timer clock, the hosts' message filters
// and a picture of the frame.
#include "common/transport_fixture.h"

#include "core/songdata.h"
#include "core/songinfo.h"
#include "platform/ui/docview/doc_template.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/res/bundle.h"
#include "platform/ui/resource/cursor_resource.h"
#include "platform/ui/resource/icon_resource.h"
#include "platform/ui/resource/menu_resource.h"
#include "platform/ui/window/input.h"
#include "platform/ui/window/paint.h"
#include "platform/ui/window/screen.h"
#include "platform/win/timer.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QWidget>

#include <filesystem>

namespace {

using namespace transporttest;
using Lines = std::vector<std::string>;

const std::string kTwinkle = VEXO_TEST_SOURCE_DIR "/../../../resources/demo/twinkle.kar";

struct EditorApi {
  decltype(&tamblo_OpenEditor) Open = Export<decltype(&tamblo_OpenEditor)>("tamblo_OpenEditor");
  decltype(&tamblo_CloseEditor) Close =
      Export<decltype(&tamblo_CloseEditor)>("tamblo_CloseEditor");
  decltype(&Tamblo_RepaintEditor) Repaint =
      Export<decltype(&Tamblo_RepaintEditor)>("Tamblo_RepaintEditor");
  decltype(&tamblo_ProcessMessageFilter) Filter =
      Export<decltype(&tamblo_ProcessMessageFilter)>("tamblo_ProcessMessageFilter");
  decltype(&Tamblo_PreTranslateMessage) PreTranslate =
      Export<decltype(&Tamblo_PreTranslateMessage)>("Tamblo_PreTranslateMessage");
};
const EditorApi& E() {
  static const EditorApi api;
  return api;
}

// A view of the test's own on the editor's document: it counts what the
// frame sends it.
class ProbeView : public ui::View {
public:
  static inline int timerTicks = 0;
  static inline std::vector<intptr_t> hints;
  void OnUpdate(ui::View* sender, intptr_t hint) override {
    hints.push_back(hint);
    ui::View::OnUpdate(sender, hint);
  }

protected:
  ui::LResult OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) override {
    if (message == win::WM_TIMER && wParam == 100)
      ++timerTicks;
    return ui::View::OnMessage(message, wParam, lParam);
  }
};

class EditorFrame : public TransportTest {
protected:
  void SetUp() override {
    TransportTest::SetUp();
    static int argc = 1;
    static char name[] = "player_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
      app = std::make_unique<QApplication>(argc, argv);
    boxes = std::make_shared<ui::ScriptedMessageBox>();
    scopedBoxes.emplace(boxes);
    files = std::make_shared<ui::ScriptedFileDialog>();
    scopedFiles.emplace(files);
    song = scratch / "twinkle.kar";
    std::filesystem::copy_file(kTwinkle, song);
  }
  void TearDown() override {
    E().Close();
    notifytest::Pump();
    scopedFiles.reset();
    scopedBoxes.reset();
    TransportTest::TearDown();
  }

  win::Hwnd FrameHwnd() const { return win::FindWindow(ui::kFrameClass, std::nullopt); }
  ui::MdiFrameWnd* Frame() const {
    return dynamic_cast<ui::MdiFrameWnd*>(ui::FrameOf(FrameHwnd()));
  }
  ui::Document* ActiveDoc() const {
    ui::MdiChildWnd* child = Frame() ? Frame()->MDIGetActive() : nullptr;
    return child ? child->ActiveDocument() : nullptr;
  }
  void Command(uint16_t id) {
    win::SendMessage(FrameHwnd(), win::WM_COMMAND, id, 0);
    notifytest::Pump();
  }
  // Whether the song counts as changed: the may-close question comes (and
  // its answer Cancel keeps it all).
  bool AsksBeforeClosing() {
    const size_t before = boxes->Shown().size();
    boxes->Answer(ui::IDCANCEL);
    const bool mayClose = ActiveDoc()->SaveModified();
    const auto shown = boxes->Shown();
    if (shown.size() == before) {
      EXPECT_TRUE(mayClose);
      Drain();
      return false;
    }
    EXPECT_FALSE(mayClose);
    EXPECT_EQ(shown.back().text, "The song has changed. Save it first?");
    return true;
  }
  // Answers given and not used are dropped.
  void Drain() {
    while (boxes->Pending())
      boxes->Show({});
  }
  // Changes the song: a lyric text put on its melody.
  void ChangeSong() {
    std::ofstream(scratch / "words.txt") << "Twin kle twin kle lit tle star\n";
    files->Answer(scratch / "words.txt", 1);
    Command(32800);
  }
  // The second menu of the active child: its view's own.
  std::string ViewMenu() const {
    ui::MdiChildWnd* child = Frame()->MDIGetActive();
    return child && child->SharedMenu() && child->SharedMenu()->items.size() > 1
               ? child->SharedMenu()->items[1].text
               : std::string();
  }
  std::string Info(const std::string& path) {
    core::CSongData s;
    EXPECT_GT(s.LoadByExtension(path), 0) << path;
    return core::SongInfoJson(s);
  }

  std::unique_ptr<QApplication> app;
  std::shared_ptr<ui::ScriptedMessageBox> boxes;
  std::optional<ui::ScopedMessageBoxBackend> scopedBoxes;
  std::shared_ptr<ui::ScriptedFileDialog> files;
  std::optional<ui::ScopedFileDialogBackend> scopedFiles;
  std::string song;
};

TEST_F(EditorFrame, OpensOnceClosesAndOpensAgainWithOneTrackListOnTheSong) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  Pavik32().SetTrackMute(5, 1);
  EXPECT_EQ(E().Open(), 1);
  const win::Hwnd first = FrameHwnd();
  EXPECT_EQ(E().Open(), 1);
  ui::MdiFrameWnd* frame = Frame();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(FrameHwnd(), first) << "one frame";
  EXPECT_TRUE(ui::IsWindowVisible(FrameHwnd()));
  ASSERT_EQ(frame->Children().size(), 1u);
  ASSERT_NE(ActiveDoc(), nullptr);
  EXPECT_EQ(ActiveDoc()->Template()->ResourceId(), 305u);
  EXPECT_EQ(ActiveDoc()->Title(), song);
  EXPECT_EQ(Pavik32().GetTrackMute(5), 0) << "opening clears the mutes";
  ASSERT_NE(frame->GetToolBar(), nullptr);

  // The view commands open their windows on the same document.
  for (uint16_t id : {32777, 32778, 32779, 32780, 32790})
    Command(id);
  ASSERT_EQ(frame->Children().size(), 6u);
  Lines kinds;
  for (ui::MdiChildWnd* child : frame->Children()) {
    EXPECT_EQ(child->ActiveDocument(), frame->Children()[0]->ActiveDocument());
    kinds.push_back(child->SharedMenu()->items.at(1).text);
  }
  EXPECT_EQ(kinds, (Lines{"&Information", "Piano &Roll", "&Staff", "&Event", "&Track", "&Track"}));

  // With no window left, a view command opens a new document with its view.
  for (ui::MdiChildWnd* child : std::vector<ui::MdiChildWnd*>(frame->Children()))
    win::SendMessage(child->GetHwnd(), win::WM_CLOSE, 0, 0);
  notifytest::Pump();
  ASSERT_TRUE(frame->Children().empty());
  Command(32778);
  ASSERT_EQ(frame->Children().size(), 1u);
  EXPECT_EQ(ActiveDoc()->Template()->ResourceId(), 308u);
  EXPECT_EQ(ViewMenu(), "&Event");

  EXPECT_EQ(E().Close(), 1);
  notifytest::Pump();
  EXPECT_EQ(FrameHwnd(), 0u);
  EXPECT_EQ(E().Close(), 1);
  EXPECT_EQ(E().Open(), 1);
  ASSERT_NE(Frame(), nullptr);
  EXPECT_EQ(Frame()->Children().size(), 1u);
  Command(32824);
  EXPECT_EQ(FrameHwnd(), 0u);
}

TEST_F(EditorFrame, SaveAsGivesEachFilterItsKindAndExtension) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  const std::string original = Info(song);
  ASSERT_EQ(E().Open(), 1);
  struct Row {
    int filter;
    std::string typed, saved;
    const char* magic; // the file's first bytes
  } rows[] = {
      {10, "k", "k.kar", "MThd"},     {9, "m", "m.mid", "MThd"},    {1, "a1", "a1.vx3", nullptr},
      {2, "a2", "a2.sb3", nullptr},   {3, "a3", "a3.sw3", nullptr}, {7, "a7", "a7.vx3", nullptr},
      {8, "a8", "a8.sb3", nullptr},   {11, "any.kar", "any.kar", "MThd"},
      {5, "a.x", "a.x", nullptr},     {5, "a", "a.sb3", nullptr},   {4, "a4", "a4.vx3", nullptr},
      {6, "a6", "a6.sw3", nullptr},
  };
  for (const Row& row : rows) {
    files->Answer(scratch / row.typed, row.filter);
    Command(32776);
    const std::string path = scratch / row.saved;
    ASSERT_TRUE(std::filesystem::exists(path))
        << row.filter << " " << row.typed << " " << (boxes->Shown().empty() ? "" : boxes->Shown().back().text);
    EXPECT_EQ(ActiveDoc()->Title(), path);
    if (row.magic) {
      std::ifstream in(path, std::ios::binary);
      char head[4] = {};
      in.read(head, 4);
      EXPECT_EQ(std::string(head, 4), row.magic) << row.saved;
    }
    EXPECT_FALSE(AsksBeforeClosing()) << row.saved << ": saved";
    if (std::string(row.saved).ends_with(".kar") || row.filter <= 3)
      EXPECT_EQ(Info(path), original) << row.saved;
  }
  // The dialog starts with the last filter and folder chosen.
  const auto shown = files->Shown();
  ASSERT_EQ(shown.size(), std::size(rows));
  EXPECT_TRUE(shown[0].save);
  EXPECT_EQ(shown[0].filterIndex, 1);
  EXPECT_EQ(shown[1].filterIndex, 10);
  EXPECT_EQ(shown[1].initialFolder, scratch.Path());
  EXPECT_NE(shown[0].filter.find("Karaoke Files (*.kar)|*.kar|All Files (*.*)|*.*||"),
            std::string::npos);

  // A cancelled dialog changes nothing.
  const std::string title = ActiveDoc()->Title();
  files->Answer("");
  Command(32776);
  EXPECT_EQ(ActiveDoc()->Title(), title);
}

TEST_F(EditorFrame, AFailedSaveIsReportedKeepsTheTitleAndTheSongStillAsks) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  ChangeSong();
  ASSERT_TRUE(AsksBeforeClosing());
  std::filesystem::create_directory(scratch / "folder.kar");
  files->Answer(scratch / "folder.kar", 10);
  Command(32776);
  ASSERT_FALSE(boxes->Shown().empty());
  EXPECT_EQ(boxes->Shown().back().text, "The song could not be saved.");
  EXPECT_EQ(ActiveDoc()->Title(), song);
  EXPECT_TRUE(AsksBeforeClosing());

  // The may-close question's yes saves: a save that fails keeps the window.
  std::filesystem::remove(song);
  std::filesystem::create_directory(song);
  boxes->Answer(ui::IDYES);
  win::SendMessage(Frame()->MDIGetActive()->GetHwnd(), win::WM_CLOSE, 0, 0);
  notifytest::Pump();
  EXPECT_EQ(Frame()->Children().size(), 1u);
}

TEST_F(EditorFrame, NewAndOpenOnAChangedSongAskFirst) {
  struct Row {
    uint16_t command;
    int answer;
    bool saved, closed;
  } rows[] = {
      {ui::ID_FILE_NEW, ui::IDYES, true, true},      {ui::ID_FILE_NEW, ui::IDNO, false, true},
      {ui::ID_FILE_NEW, ui::IDCANCEL, false, false}, {ui::ID_FILE_OPEN, ui::IDYES, true, true},
      {ui::ID_FILE_OPEN, ui::IDNO, false, true},     {ui::ID_FILE_OPEN, ui::IDCANCEL, false, false},
  };
  ASSERT_EQ(E().Open(), 1);
  for (const Row& row : rows) {
    std::filesystem::remove(song);
    std::filesystem::copy_file(kTwinkle, song);
    const auto before = std::filesystem::last_write_time(song);
    ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
    ChangeSong();
    boxes->Answer(row.answer);
    const std::string other = scratch / "other.kar";
    std::filesystem::copy_file(kTwinkle, other, std::filesystem::copy_options::overwrite_existing);
    if (row.command == ui::ID_FILE_OPEN && row.answer != ui::IDCANCEL)
      files->Answer(other, 5);
    const size_t dialogs = files->Shown().size();
    Command(row.command);
    EXPECT_EQ(std::filesystem::last_write_time(song) != before, row.saved) << row.command;
    if (row.command == ui::ID_FILE_NEW) {
      EXPECT_EQ(X().CheckIfLoaded() == 0, row.closed) << row.answer;
    } else {
      EXPECT_EQ(files->Shown().size(), dialogs + (row.closed ? 1 : 0)) << row.answer;
      if (row.closed)
        EXPECT_EQ(ActiveDoc()->Title(), other);
      else
        EXPECT_EQ(ActiveDoc()->Title(), song);
    }
    bool asked = false;
    for (const auto& box : boxes->Shown())
      asked = asked || box.text == "The song has changed. Save it first?";
    EXPECT_TRUE(asked);
    Drain();
  }
}

TEST_F(EditorFrame, OpenTakesTheKindOfItsFilter) {
  ASSERT_EQ(E().Open(), 1);
  struct Row {
    int filter;
    bool loads;
  } rows[] = {{5, true}, {4, true}, {1, false}, {2, false}, {3, false}, {6, true}};
  for (const Row& row : rows) {
    files->Answer(song, row.filter);
    Command(ui::ID_FILE_OPEN);
    EXPECT_EQ(X().CheckIfLoaded(), row.loads ? 1 : 0) << row.filter;
    EXPECT_EQ(ActiveDoc()->Title(), row.loads ? song : "") << row.filter;
    Drain();
  }
}

TEST_F(EditorFrame, InterchangeTextGoesOutAndComesBack) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  files->Answer(scratch / "timing", 1);
  Command(32820);
  ASSERT_TRUE(std::filesystem::exists(scratch / "timing.si3"));
  EXPECT_FALSE(AsksBeforeClosing());
  files->Answer(scratch / "timing.si3", 1);
  Command(32821);
  for (const auto& box : boxes->Shown())
    EXPECT_EQ(box.text.find("could not be read"), std::string::npos) << box.text;
  Command(32823);

  // Without a song both refuse with a message.
  X().CloseFile();
  notifytest::Pump();
  const size_t before = files->Shown().size();
  Command(32820);
  EXPECT_EQ(files->Shown().size(), before);
  EXPECT_EQ(boxes->Shown().back().text, "No song is loaded.");
}

TEST_F(EditorFrame, ATrackImportOverTheLyricsAsksAndAKaraokeFileGivesItsLyricTrack) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  const std::string other = scratch / "other.kar";
  std::filesystem::copy_file(kTwinkle, other);
  boxes->Answer(ui::IDNO);
  files->Answer(other, 4);
  Command(32800);
  ASSERT_FALSE(boxes->Shown().empty());
  EXPECT_EQ(boxes->Shown().back().text,
            "The imported track replaces the song's lyric track and its syllables. Continue?");
  EXPECT_FALSE(AsksBeforeClosing()) << "no keeps the song";
  boxes->Answer(ui::IDYES);
  files->Answer(other, 4);
  Command(32800);
  EXPECT_TRUE(AsksBeforeClosing()) << "the karaoke file's lyric track came in";
  EXPECT_EQ(files->Shown().back().filterIndex, 4) << "the last filter is offered again";
}

TEST_F(EditorFrame, RebuildingMarksAsksYesNoCancel) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  for (int answer : {ui::IDCANCEL, ui::IDNO, ui::IDYES}) {
    boxes->Answer(answer);
    Command(32822);
    EXPECT_EQ(boxes->Pending(), 0u);
    EXPECT_EQ(boxes->Shown().back().flags & 0xF, ui::MB_YESNOCANCEL);
    EXPECT_NE(boxes->Shown().back().text.find("Rebuild the lyric display marks?"),
              std::string::npos);
  }
  // Without a song it says so.
  X().CloseFile();
  notifytest::Pump();
  Command(32822);
  EXPECT_EQ(boxes->Shown().back().text, "No song is loaded.");
}

TEST_F(EditorFrame, PlayFollowRepaintStopAndTheFilters) {
  win::ManualTimerClock clock;
  win::InstallTimerClock(&clock);
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  ui::Document* doc = ActiveDoc();
  ASSERT_NE(doc, nullptr);
  // A probe view of the document becomes the active one.
  ui::DocTemplate probe(305, {}, {nullptr, nullptr, [] { return std::make_unique<ProbeView>(); }});
  ui::MdiChildWnd* child = probe.CreateNewFrame(*doc, *Frame());
  ASSERT_NE(child, nullptr);
  probe.InitialUpdateFrame(*child, *doc);
  ProbeView::timerTicks = 0;
  ProbeView::hints.clear();

  clock.Advance(1000);
  EXPECT_EQ(ProbeView::timerTicks, 0) << "not playing";
  Command(32781); // the track list is not the active view: nothing plays
  ASSERT_EQ(X().Play(), 1);
  Command(32781); // ignored while playing
  clock.Advance(1000);
  EXPECT_GE(ProbeView::timerTicks, 9);
  EXPECT_LE(ProbeView::timerTicks, 11);

  host.got.clear();
  Command(32782);
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(HostGot(4098), 1);
  const int ticks = ProbeView::timerTicks;
  clock.Advance(1000);
  EXPECT_EQ(ProbeView::timerTicks, ticks);

  // Song state 1 and 2 repaint with hint 1 and retitle; others are ignored.
  win::SendMessage(FrameHwnd(), win::WM_USER, 1520, 3);
  EXPECT_TRUE(ProbeView::hints.empty());
  doc->SetTitle("x");
  win::SendMessage(FrameHwnd(), win::WM_USER, 1520, 1);
  EXPECT_EQ(ProbeView::hints, (std::vector<intptr_t>{1}));
  EXPECT_EQ(doc->Title(), song);
  EXPECT_EQ(E().Repaint(), 0);
  EXPECT_EQ(ProbeView::hints.size(), 2u);

  // The host's filters take the frame's keys for a view's messages (F6:
  // stop) and refuse other windows' messages.
  win::Msg key{child->ActiveView()->GetHwnd(), win::WM_KEYDOWN, 0x75, 0, 0};
  ASSERT_EQ(X().Play(), 1);
  EXPECT_EQ(E().PreTranslate(&key), 1);
  notifytest::Pump();
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  // Ctrl+S typed in a view saves.
  ChangeSong();
  ASSERT_TRUE(AsksBeforeClosing());
  QWidget* view = ui::GetWidget(child->ActiveView()->GetHwnd());
  ASSERT_NE(view, nullptr);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_S, Qt::ControlModifier, "\x13");
  QCoreApplication::sendEvent(view, &press);
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_S, Qt::ControlModifier, "\x13");
  QCoreApplication::sendEvent(view, &release);
  notifytest::Pump();
  Drain();
  EXPECT_FALSE(AsksBeforeClosing()) << "saved";
  win::Msg other{host.Hwnd(), win::WM_KEYDOWN, 0x75, 0, 0};
  EXPECT_EQ(E().PreTranslate(&other), 0);
  EXPECT_EQ(E().Filter(0, &other), 0);

  E().Close();
  notifytest::Pump();
  EXPECT_EQ(E().PreTranslate(&key), 0);
  EXPECT_EQ(E().Filter(0, &key), 0);
  win::InstallTimerClock(nullptr);
}

TEST_F(EditorFrame, CtrlSTypedInAViewIsTakenByTheHostsFilterAndSaves) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  ui::View* view = Frame()->MDIGetActive()->ActiveView();
  ASSERT_NE(view, nullptr);
  ChangeSong();
  ASSERT_TRUE(AsksBeforeClosing());
  const auto written = std::filesystem::last_write_time(song);
  // The Ctrl key is down as the host's loop hands the S over (Qt reports
  // a modifier key's own event with its state as it was before).
  QWidget* widget = ui::GetWidget(view->GetHwnd());
  ASSERT_NE(widget, nullptr);
  QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &ctrl);
  win::Msg key{view->GetHwnd(), win::WM_KEYDOWN, 'S', 0, 0};
  EXPECT_EQ(E().PreTranslate(&key), 1);
  notifytest::Pump();
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
  QCoreApplication::sendEvent(widget, &up);
  EXPECT_FALSE(AsksBeforeClosing()) << "saved";
  EXPECT_NE(std::filesystem::last_write_time(song), written);
  // Without Ctrl the S is the view's own.
  ChangeSong();
  EXPECT_EQ(E().PreTranslate(&key), 0);
  EXPECT_TRUE(AsksBeforeClosing());
}

TEST_F(EditorFrame, AnEditWhilePlayingDropsTheRealTimeEventsQueuedBeforeIt) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  notifytest::Recorder display;
  LinkDisplay(display.Hwnd());
  auto events = [&] {
    int n = 0;
    for (const auto& r : display.got)
      n += r.IsCopy(core::kEventCopy) ? 1 : 0;
    return n;
  };
  ASSERT_EQ(X().Play(), 1);
  ASSERT_TRUE(RunUntil([&] { return events() > 0; }, 3000));
  // Three seconds of play with nothing delivered: its events wait in the
  // queue, as they do while the editor's thread is busy, and arrive after.
  for (int i = 0; i < 300; ++i)
    Tick(1);
  int before = events();
  notifytest::Pump();
  EXPECT_GT(events(), before);
  // The same wait with an edit before the delivery: what waited was stamped
  // before the edit and is dropped.
  for (int i = 0; i < 300; ++i)
    Tick(1);
  before = events();
  ChangeSong(); // the edit, then the delivery
  ASSERT_TRUE(AsksBeforeClosing());
  EXPECT_EQ(events(), before);
}

TEST_F(EditorFrame, TheTrackListMutesATrackOnTheSequencerAndSpacePlaysAndStops) {
  ASSERT_EQ(X().LoadFile(Song("steps.mid", StepsSong(12)).c_str(), 2000), 1);
  ASSERT_EQ(E().Open(), 1);
  const win::Hwnd view = Frame()->MDIGetActive()->ActiveView()->GetHwnd();
  auto muted = [] { return InProcess().mplay.GetTrackMute(1); };
  // Track 1's play mark (row 1, column 0, right of the 50-pixel numbers).
  win::SendMessage(view, win::WM_LBUTTONUP, 0, ui::MakeLParam(59, 25 + 20 + 10));
  win::SendMessage(view, win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(muted(), 1);
  host.got.clear();
  win::SendMessage(view, win::WM_KEYDOWN, ui::VK_SPACE, 0);
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 1);
  RunTicks(150);
  EXPECT_TRUE(NotesPlayed(0).empty()) << "the muted track's channel sends no note";
  // While playing the mark stays; Space stops.
  win::SendMessage(view, win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(muted(), 1);
  win::SendMessage(view, win::WM_KEYDOWN, ui::VK_SPACE, 0);
  notifytest::Pump();
  EXPECT_EQ(Pavik32().GetcMidiPlayFlag(), 0);
  EXPECT_EQ(HostGot(4098), 2) << "after the play and after the stop";
  // Unmuted, the notes come.
  win::SendMessage(view, win::WM_KEYDOWN, ui::VK_RETURN, 0);
  EXPECT_EQ(muted(), 0);
  Device(0).Clear();
  win::SendMessage(view, win::WM_KEYDOWN, ui::VK_SPACE, 0);
  RunTicks(150);
  EXPECT_FALSE(NotesPlayed(0).empty());
}

TEST_F(EditorFrame, TheTrackListFollowsTheSongThroughAFailedOpen) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  const win::Hwnd view = Frame()->MDIGetActive()->ActiveView()->GetHwnd();
  // The name cells of the first rows hold dark text pixels while the song
  // is there, and none once it is gone.
  auto inked = [&] {
    notifytest::Pump();
    ui::UpdateWindow(view);
    auto dc = ui::GetDc(view);
    int dark = 0;
    for (int32_t y = 25 + 20; y < 25 + 5 * 20; ++y)
      for (int32_t x = 50 + 54 + 3; x < 50 + 54 + 140; ++x)
        dark += gdi::RedOf(dc->Target()->Pixel(x, y)) < 100 ? 1 : 0;
    return dark;
  };
  EXPECT_GT(inked(), 20);
  files->Answer(song, 1); // a karaoke file read as a song file: refused
  Command(ui::ID_FILE_OPEN);
  Drain();
  ASSERT_EQ(X().CheckIfLoaded(), 0);
  EXPECT_EQ(inked(), 0);
}

// A file dialog during which the host closes the editor.
class ClosingFileDialog : public ui::FileDialogBackend {
public:
  std::optional<ui::FileChoice> Run(const ui::OpenFileRequest&) override {
    ++runs;
    E().Close();
    return ui::FileChoice{path, 1};
  }
  std::string path;
  int runs = 0;
};

TEST_F(EditorFrame, ClosingTheEditorUnderItsDialogCancelsItAndTheFrameGoesAfterwards) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  auto closing = std::make_shared<ClosingFileDialog>();
  closing->path = scratch / "never";
  ui::ScopedFileDialogBackend scoped(closing);
  win::SendMessage(FrameHwnd(), win::WM_COMMAND, 32776, 0);
  EXPECT_EQ(closing->runs, 1);
  EXPECT_FALSE(std::filesystem::exists(scratch / "never.vx3")) << "ended as cancelled";
  notifytest::Pump();
  EXPECT_EQ(FrameHwnd(), 0u);
  EXPECT_EQ(E().Open(), 1) << "and it opens again";
  EXPECT_NE(FrameHwnd(), 0u);
}

// A message box that notes whether the frame's tool tips were on.
class TipWatchingBox : public ui::MessageBoxBackend {
public:
  int Show(const ui::MessageBoxRequest&) override {
    auto* frame = dynamic_cast<ui::MdiFrameWnd*>(
        ui::FrameOf(win::FindWindow(ui::kFrameClass, std::nullopt)));
    tipsOn.push_back(frame && frame->GetToolTips() && frame->GetToolTips()->Active());
    return ui::IDCANCEL;
  }
  std::vector<bool> tipsOn;
};

TEST_F(EditorFrame, TheToolTipsAreOffWhileABoxIsUp) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  ASSERT_NE(Frame()->GetToolTips(), nullptr);
  EXPECT_TRUE(Frame()->GetToolTips()->Active());
  auto watching = std::make_shared<TipWatchingBox>();
  ui::ScopedMessageBoxBackend scoped(watching);
  Command(32822);
  ChangeSong();
  Command(ui::ID_FILE_NEW);
  EXPECT_EQ(watching->tipsOn, (std::vector<bool>{false, false}));
  EXPECT_TRUE(Frame()->GetToolTips()->Active());
}

TEST(EditorResources, TheCursorsLoadWithTheirHotSpotsAndThePopUpMenuHasItsInserts) {
  std::string error;
  auto bundle = res::Bundle::Load("rTamblo", kBin, &error);
  ASSERT_TRUE(bundle) << error;
  const std::pair<uint32_t, gdi::Point> spots[] = {
      {104, {15, 15}}, {151, {0, 0}},  {156, {15, 15}}, {157, {15, 15}},
      {158, {4, 15}},  {159, {27, 15}}, {160, {15, 15}},
  };
  for (const auto& [id, spot] : spots) {
    ui::ResourceError failure;
    auto cursor = ui::LoadCursorResource(bundle->Files(), id, &failure);
    ASSERT_TRUE(cursor) << id << ": " << failure.reason;
    EXPECT_EQ(cursor->hotspot, spot) << id;
    EXPECT_EQ(cursor->width, 32);
  }
  for (uint32_t id : {128, 305, 306, 307, 308, 309})
    EXPECT_TRUE(ui::LoadIconResource(bundle->Files(), id)) << "icon " << id;
  auto menu = ui::LoadMenuResource(bundle->Files(), 316);
  ASSERT_TRUE(menu);
  ASSERT_FALSE(menu->items.empty());
  std::vector<uint32_t> ids;
  for (const auto& item : menu->items[0].items)
    ids.push_back(item.id);
  EXPECT_EQ(ids, (std::vector<uint32_t>{32810, 32811, 32812, 32813}));
}

TEST_F(EditorFrame, IsDrawnOffscreenWithItsFiveKindsOfWindow) {
  ASSERT_GT(X().LoadFile(song.c_str(), 2000), 0);
  ASSERT_EQ(E().Open(), 1);
  for (uint16_t id : {32778, 32779, 32780, 32790})
    Command(id);
  ASSERT_EQ(Frame()->Children().size(), 5u);
  QWidget* widget = ui::GetWidget(FrameHwnd());
  ASSERT_NE(widget, nullptr);
  const QImage image = widget->grab().toImage();
  EXPECT_TRUE(image.save(VEXO_TESTS_DIR "/editor-frame.png", "PNG"));
  EXPECT_GT(image.width(), 400);
}

} // namespace
