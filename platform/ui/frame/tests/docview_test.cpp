// A small application of the document frame: two templates (one
// registered), command routing, views updated, closing asked, the menu bar
// following the active child, the tool bar with its state pass and tool
// tips, keys typed into a view, and a frame destroyed under its own dialog.
#include "platform/ui/docview/doc_template.h"
#include "platform/ui/docview/document.h"
#include "platform/ui/docview/view.h"
#include "platform/ui/frame/mdi_frame_wnd.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/messagebox.h"
#include "platform/ui/tests/support/dialog_form.h"
#include "platform/ui/tests/support/resource_files.h"

#include <QImage>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include <filesystem>
#include <map>

using namespace ui;
using namespace uitest;

namespace {

constexpr uint32_t kFrameId = 129, kTrackId = 305, kEventId = 308;
constexpr uint16_t kViewCmd = 100, kDocCmd = 200, kChildCmd = 400, kFrameCmd = 500;
constexpr uint16_t kDialogCmd = 600, kPlay = 32781, kNone = 999;
constexpr gdi::Colour kImageColours[] = {gdi::Rgb(255, 0, 0), gdi::Rgb(0, 160, 0),
                                         gdi::Rgb(0, 0, 255)};

std::vector<uint8_t> Text(std::string_view s) {
  return Bytes(s);
}

// Three 16 x 15 button images, each of one colour.
std::vector<uint8_t> ButtonStrip() {
  auto dib = gdi::Dib::Create(48, 15, 24);
  for (int32_t y = 0; y < 15; ++y)
    for (int32_t x = 0; x < 48; ++x) {
      uint8_t* px = dib->RowFromTop(y) + x * 3;
      const gdi::Colour c = kImageColours[x / 16];
      px[0] = gdi::BlueOf(c);
      px[1] = gdi::GreenOf(c);
      px[2] = gdi::RedOf(c);
    }
  return dib->ToBmpFile();
}

FrameResources Bundle() {
  static const ResourceFiles files = FilesOf({
      {"menus/129.txt", Text("POPUP &File\n ITEM 57600 &New\n ITEM 57603 &Save\n END\n"
                             "POPUP &Play\n ITEM 32781 &Play\n END\n")},
      {"accelerators/129.txt", Text("S CTRL 57603\nF5 32781\n")},
      {"toolbars/129.txt", Text("BUTTON 57600\nSEPARATOR\nBUTTON 57603\nBUTTON 32781\n")},
      {"bitmaps/129.bmp", ButtonStrip()},
      {"icons/129.png", uitest::kTinyPng},
      {"menus/305.txt", Text("POPUP &File\n ITEM 57603 &Save\n END\n"
                             "POPUP &Track\n ITEM 32781 &Play\n ITEM 100 &Edit\n END\n")},
      {"menus/308.txt", Text("POPUP &Events\n ITEM 100 &Edit\n END\n")},
  });
  static const std::map<uint32_t, std::string> strings = {
      {129, "Song Editor"},           {305, "\nTrack\nTrack list"},
      {308, "\nEvents\nEvent list"},  {57600, "Make a new song\nNew"},
      {57603, "Save the song\nSave"}, {32781, "Play from here\nPlay"},
  };
  return {files, [](uint32_t id) -> std::optional<std::string> {
            auto it = strings.find(id);
            if (it == strings.end())
              return std::nullopt;
            return it->second;
          }};
}

// Who took which command, for every target of the application.
struct Journal {
  std::vector<std::pair<std::string, uint16_t>> taken;
  int closeAsks = 0;
  bool allowClose = true;
  bool playEnabled = true;
  bool frameGone = false;
  int dialogResult = 0;
};
Journal* gJournal = nullptr;

class TestDoc : public Document {
public:
  bool OnCommand(uint16_t id) override {
    if (id != kDocCmd && id != ID_FILE_SAVE)
      return false;
    gJournal->taken.push_back({"document", id});
    return true;
  }
  bool SaveModified() override {
    ++gJournal->closeAsks;
    return gJournal->allowClose;
  }
};

class TestView : public View {
public:
  std::vector<std::pair<View*, intptr_t>> updates;
  std::vector<WParam> keys;
  std::vector<WParam> chars;
  bool OnCommand(uint16_t id) override {
    if (id != kViewCmd)
      return false;
    gJournal->taken.push_back({"view", id});
    return true;
  }
  bool OnCommandState(CommandState& state) override {
    if (state.id != kPlay)
      return false;
    state.enabled = gJournal->playEnabled;
    return true;
  }
  void OnUpdate(View* sender, intptr_t hint) override {
    updates.push_back({sender, hint});
    View::OnUpdate(sender, hint);
  }
  void OnDraw(gdi::Dc& dc) override {
    dc.FillRect(GetClientRect(GetHwnd()).value_or(gdi::Rect{}), gdi::Rgb(255, 255, 224));
  }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == win::WM_KEYDOWN)
      keys.push_back(wParam);
    if (message == win::WM_CHAR)
      chars.push_back(wParam);
    return View::OnMessage(message, wParam, lParam);
  }
};

class TestChild : public MdiChildWnd {
public:
  bool OnCommand(uint16_t id) override {
    if (id != kChildCmd)
      return false;
    gJournal->taken.push_back({"child", id});
    return true;
  }
};

class TestFrame : public MdiFrameWnd {
public:
  bool OnCommand(uint16_t id) override {
    if (id == kDialogCmd) {
      // Closing arrives while the frame's own dialog runs.
      win::PostMessage(GetHwnd(), win::WM_CLOSE);
      LogDialog dialog(Form());
      const int result = dialog.DoModal(GetHwnd());
      lastResult_ = result; // the object still stands
      gJournal->dialogResult = lastResult_;
      return true;
    }
    if (id != kFrameCmd && id != kPlay)
      return false;
    gJournal->taken.push_back({"frame", id});
    return true;
  }

protected:
  void PostNcDestroy() override {
    gJournal->frameGone = true;
    MdiFrameWnd::PostNcDestroy();
  }

private:
  int lastResult_ = 0;
};

class DocViewTest : public ScreenTest {
protected:
  void SetUp() override {
    ScreenTest::SetUp();
    gJournal = &journal;
    dialogs = std::make_shared<ScriptedDialogs>();
    scopedDialogs.emplace(dialogs);
    auto factories = [](bool) {
      return DocTemplate::Factories{[] { return std::make_unique<TestDoc>(); },
                                    [] { return std::make_unique<TestChild>(); },
                                    [] { return std::make_unique<TestView>(); }};
    };
    track = std::make_unique<DocTemplate>(kTrackId, Bundle(), factories(true));
    events = std::make_unique<DocTemplate>(kEventId, Bundle(), factories(false));
    ASSERT_TRUE(track->Load());
    ASSERT_TRUE(events->Load());
    manager.AddDocTemplate(track.get());
    frame = new TestFrame;
    ResourceError error;
    ASSERT_TRUE(
        frame->LoadFrame(Bundle(), kFrameId, WS_OVERLAPPEDWINDOW | win::WS_VISIBLE, 0, &error))
        << error.reason;
    hwnd = frame->GetHwnd();
    ASSERT_TRUE(frame->CreateToolBar(kFrameId, &error)) << error.reason;
    frame->SetDocManager(&manager);
  }
  void TearDown() override {
    if (win::IsWindow(hwnd))
      win::DestroyWindow(hwnd);
    track.reset();
    events.reset();
    scopedDialogs.reset();
    gJournal = nullptr;
    ScreenTest::TearDown();
  }

  TestView* ViewOf(MdiChildWnd* child) { return static_cast<TestView*>(child->ActiveView()); }
  void Pump() { win::ProcessPendingMessages(); }

  Journal journal;
  std::shared_ptr<ScriptedDialogs> dialogs;
  std::optional<ScopedDialogBackend> scopedDialogs;
  std::unique_ptr<DocTemplate> track, events;
  DocManager manager;
  TestFrame* frame = nullptr;
  Hwnd hwnd = 0;
};

TEST_F(DocViewTest, TheNewDocumentCommandOpensTheRegisteredTemplateWithoutAsking) {
  win::SendMessage(hwnd, win::WM_COMMAND, ID_FILE_NEW, 0);
  EXPECT_TRUE(dialogs->Runs().empty());
  ASSERT_EQ(frame->Children().size(), 1u);
  MdiChildWnd* child = frame->MDIGetActive();
  ASSERT_NE(child, nullptr);
  ASSERT_EQ(track->Documents().size(), 1u);
  EXPECT_EQ(child->ActiveDocument(), track->Documents()[0].get());
  EXPECT_EQ(child->ActiveDocument()->Title(), "Track");
  EXPECT_EQ(win::GetWindowText(child->GetHwnd()), "Track");
  // The initial update reached the view, which has the focus.
  EXPECT_EQ(ViewOf(child)->updates, (std::vector<std::pair<View*, intptr_t>>{{nullptr, 0}}));
  EXPECT_EQ(GetFocus(), child->ActiveView()->GetHwnd());
  EXPECT_EQ(win::GetWindowText(hwnd), "Song Editor");

  // With both registered the user is asked; the second is chosen.
  DocManager both;
  both.AddDocTemplate(track.get());
  both.AddDocTemplate(events.get());
  dialogs->Expect({DialogStep::ChooseIn(100, 1), DialogStep::PressEnter()});
  Document* second = both.OnFileNew(*frame);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Template(), events.get());
  ASSERT_EQ(dialogs->Runs().size(), 1u);
  EXPECT_EQ(dialogs->Runs()[0].states[0].Find(100)->items,
            (std::vector<std::string>{"Track list", "Event list"}));
  dialogs->Expect({DialogStep::PressEscape()});
  EXPECT_EQ(both.OnFileNew(*frame), nullptr);
  EXPECT_EQ(frame->Children().size(), 2u);
}

TEST_F(DocViewTest, CommandsGoToViewDocumentChildThenFrameAndUpdatesSkipTheSender) {
  Document* doc = manager.OnFileNew(*frame);
  ASSERT_NE(doc, nullptr);
  MdiChildWnd* second = events->CreateNewFrame(*doc, *frame);
  ASSERT_NE(second, nullptr);
  events->InitialUpdateFrame(*second, *doc);

  struct Row {
    uint16_t command;
    std::vector<std::pair<std::string, uint16_t>> taken;
  } rows[] = {
      {kViewCmd, {{"view", kViewCmd}}},
      {kDocCmd, {{"document", kDocCmd}}},
      {kChildCmd, {{"child", kChildCmd}}},
      {kFrameCmd, {{"frame", kFrameCmd}}},
      {kNone, {}},
  };
  for (const Row& row : rows) {
    journal.taken.clear();
    win::SendMessage(hwnd, win::WM_COMMAND, row.command, 0);
    EXPECT_EQ(journal.taken, row.taken) << row.command;
  }
  // Without an active child the frame is the only target.
  journal.taken.clear();
  frame->MDIActivate(nullptr);
  for (uint16_t command : {kViewCmd, kDocCmd, kChildCmd, kFrameCmd})
    win::SendMessage(hwnd, win::WM_COMMAND, command, 0);
  EXPECT_EQ(journal.taken, (std::vector<std::pair<std::string, uint16_t>>{{"frame", kFrameCmd}}));

  ASSERT_EQ(doc->Views().size(), 2u);
  auto* first = static_cast<TestView*>(doc->Views()[0]);
  auto* other = static_cast<TestView*>(doc->Views()[1]);
  first->updates.clear();
  other->updates.clear();
  doc->UpdateAllViews(first, 7);
  doc->UpdateAllViews(nullptr, 1);
  EXPECT_EQ(first->updates, (std::vector<std::pair<View*, intptr_t>>{{nullptr, 1}}));
  EXPECT_EQ(other->updates, (std::vector<std::pair<View*, intptr_t>>{{first, 7}, {nullptr, 1}}));
  ValidateRect(second->GetHwnd(), nullptr);
  doc->SetTitle("twinkle.kar");
  EXPECT_EQ(win::GetWindowText(second->GetHwnd()), "twinkle.kar");
  // Its caption is painted again with the new title.
  const std::optional<gdi::Rect> due = GetUpdateRect(second->GetHwnd());
  ASSERT_TRUE(due);
  EXPECT_EQ(due->top, 0);
  EXPECT_GE(due->bottom, MdiChildWnd::kCaptionHeight);
}

TEST_F(DocViewTest, TheMenuBarFollowsTheActiveChildAndClosingTheLastFrameAsks) {
  auto tops = [&] {
    std::vector<std::string> names;
    for (const MenuItem& item : frame->Menu().Current().items)
      names.push_back(item.text);
    return names;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(tops(), (Names{"&File", "&Play"}));
  ASSERT_NE(frame->Menu().Widget(), nullptr);
  EXPECT_EQ(frame->Menu().Widget()->actions().size(), 2);
  Document* doc = manager.OnFileNew(*frame);
  MdiChildWnd* trackChild = frame->MDIGetActive();
  EXPECT_EQ(tops(), (Names{"&File", "&Track"}));
  // The key of a command shows beside it.
  EXPECT_EQ(frame->Menu().Current().Find(ID_FILE_SAVE)->text, "&Save\tCtrl+S");
  MdiChildWnd* eventChild = events->CreateNewFrame(*doc, *frame);
  events->InitialUpdateFrame(*eventChild, *doc);
  EXPECT_EQ(frame->MDIGetActive(), eventChild);
  EXPECT_EQ(tops(), (Names{"&Events"}));
  EXPECT_EQ(frame->Menu().Widget()->actions().size(), 1);

  // A click in the other child's caption activates it.
  win::SendMessage(trackChild->GetHwnd(), win::WM_LBUTTONDOWN, MK_LBUTTON, MakeLParam(30, 5));
  EXPECT_EQ(frame->MDIGetActive(), trackChild);
  EXPECT_EQ(tops(), (Names{"&File", "&Track"}));

  // Closing one of two frames of the document asks nothing.
  const gdi::Rect box = eventChild->CloseBoxRect();
  win::SendMessage(eventChild->GetHwnd(), win::WM_LBUTTONDOWN, MK_LBUTTON,
                   MakeLParam(box.left + 2, box.top + 2));
  Pump();
  EXPECT_EQ(journal.closeAsks, 0);
  ASSERT_EQ(frame->Children().size(), 1u);
  EXPECT_EQ(frame->MDIGetActive(), trackChild);

  // The last one asks; a refusal keeps it.
  journal.allowClose = false;
  win::SendMessage(trackChild->GetHwnd(), win::WM_CLOSE, 0, 0);
  EXPECT_EQ(journal.closeAsks, 1);
  EXPECT_EQ(frame->Children().size(), 1u);
  EXPECT_EQ(track->Documents().size(), 1u);
  journal.allowClose = true;
  win::SendMessage(trackChild->GetHwnd(), win::WM_CLOSE, 0, 0);
  EXPECT_EQ(journal.closeAsks, 2);
  EXPECT_TRUE(frame->Children().empty());
  EXPECT_EQ(frame->MDIGetActive(), nullptr);
  EXPECT_TRUE(track->Documents().empty());
  EXPECT_EQ(tops(), (Names{"&File", "&Play"}));

  // Closing the frame asks each document once; a refusal keeps it all.
  Document* one = manager.OnFileNew(*frame);
  MdiChildWnd* more = events->CreateNewFrame(*one, *frame);
  events->InitialUpdateFrame(*more, *one);
  manager.OnFileNew(*frame);
  journal.closeAsks = 0;
  journal.allowClose = false;
  win::SendMessage(hwnd, win::WM_CLOSE, 0, 0);
  EXPECT_EQ(journal.closeAsks, 1);
  EXPECT_TRUE(win::IsWindow(hwnd));
  EXPECT_EQ(frame->Children().size(), 3u);
  journal.allowClose = true;
  win::SendMessage(hwnd, win::WM_CLOSE, 0, 0);
  EXPECT_EQ(journal.closeAsks, 3);
  EXPECT_FALSE(win::IsWindow(hwnd));
  EXPECT_TRUE(journal.frameGone);
  EXPECT_TRUE(track->Documents().empty());
}

TEST_F(DocViewTest, ToolBarButtonsPostTheirCommandsAndTheStatePassGreysThem) {
  manager.OnFileNew(*frame);
  ToolBar* bar = frame->GetToolBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(win::GetDlgCtrlId(bar->GetHwnd()), kToolBarId);
  auto click = [&](int item) {
    const gdi::Rect r = bar->ItemRect(item);
    const LParam at = MakeLParam(r.left + r.Width() / 2, r.top + r.Height() / 2);
    win::SendMessage(bar->GetHwnd(), win::WM_LBUTTONDOWN, MK_LBUTTON, at);
    win::SendMessage(bar->GetHwnd(), win::WM_LBUTTONUP, 0, at);
    Pump();
  };
  click(2); // save: the document's
  click(3); // play: the frame's
  click(1); // the separator
  EXPECT_EQ(journal.taken, (std::vector<std::pair<std::string, uint16_t>>{
                               {"document", ID_FILE_SAVE}, {"frame", kPlay}}));

  journal.playEnabled = false;
  frame->UpdateCommandStates();
  EXPECT_FALSE(bar->StateOf(kPlay)->enabled);
  EXPECT_TRUE(bar->StateOf(ID_FILE_SAVE)->enabled);
  journal.taken.clear();
  click(3);
  EXPECT_TRUE(journal.taken.empty());
  // The menu's item is greyed too, and cannot be chosen.
  const Menu trackMenu = frame->Menu().Open(1);
  EXPECT_FALSE(trackMenu.Find(kPlay)->enabled);
  EXPECT_TRUE(trackMenu.Find(kViewCmd)->enabled);
  EXPECT_FALSE(frame->Menu().Choose(kPlay));
  EXPECT_TRUE(frame->Menu().Choose(kViewCmd));
  Pump();
  EXPECT_EQ(journal.taken, (std::vector<std::pair<std::string, uint16_t>>{{"view", kViewCmd}}));

  // The Qt menu runs the same pass as it opens, and its actions post.
  QMenu* qtTrack = frame->Menu().Widget()->actions()[1]->menu();
  ASSERT_NE(qtTrack, nullptr);
  QMetaObject::invokeMethod(qtTrack, "aboutToShow");
  ASSERT_EQ(qtTrack->actions().size(), 2);
  EXPECT_EQ(qtTrack->actions()[0]->text(), "&Play\tF5");
  EXPECT_FALSE(qtTrack->actions()[0]->isEnabled());
  EXPECT_TRUE(qtTrack->actions()[0]->shortcut().isEmpty()); // keys go to the focused window
  journal.playEnabled = true;
  QMetaObject::invokeMethod(qtTrack, "aboutToShow");
  EXPECT_TRUE(qtTrack->actions()[0]->isEnabled());
  journal.taken.clear();
  qtTrack->actions()[1]->trigger();
  Pump();
  EXPECT_EQ(journal.taken, (std::vector<std::pair<std::string, uint16_t>>{{"view", kViewCmd}}));
}

void SendKey(Hwnd h, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QCoreApplication::sendEvent(GetWidget(h), &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
  QCoreApplication::sendEvent(GetWidget(h), &release);
}

TEST_F(DocViewTest, KeysTypedIntoAViewPassTheAcceleratorsFirst) {
  manager.OnFileNew(*frame);
  TestView* view = ViewOf(frame->MDIGetActive());
  const Hwnd v = view->GetHwnd();
  ASSERT_NE(GetWidget(v), nullptr);
  std::vector<uint32_t> filtered;
  const int id = win::AddMessageFilter([&](win::Msg& msg) {
    if (msg.message == win::WM_KEYDOWN)
      filtered.push_back(static_cast<uint32_t>(msg.wParam));
    return false;
  });
  SendKey(v, Qt::Key_S, Qt::ControlModifier, "\x13");
  SendKey(v, Qt::Key_Space, Qt::NoModifier, " ");
  SendKey(v, Qt::Key_Delete, Qt::NoModifier, "");
  SendKey(v, Qt::Key_Return, Qt::NoModifier, "\r");
  SendKey(v, Qt::Key_F5, Qt::NoModifier, "");
  win::RemoveMessageFilter(id);

  EXPECT_EQ(journal.taken, (std::vector<std::pair<std::string, uint16_t>>{
                               {"document", ID_FILE_SAVE}, {"frame", kPlay}}));
  // The translated keys went no further: neither key nor character.
  EXPECT_EQ(view->keys, (std::vector<WParam>{VK_SPACE, VK_DELETE, VK_RETURN}));
  EXPECT_EQ(view->chars, (std::vector<WParam>{' ', '\r'}));
  // The test's filter, added after the frame's, never saw them either.
  EXPECT_EQ(filtered, (std::vector<uint32_t>{VK_SPACE, VK_DELETE, VK_RETURN}));
}

// A file dialog and a message box that note whether the tips were on.
struct NotingFiles : FileDialogBackend {
  std::function<void()> note;
  std::optional<FileChoice> Run(const OpenFileRequest&) override {
    note();
    return std::nullopt;
  }
};
struct NotingBoxes : MessageBoxBackend {
  std::function<void()> note;
  int Show(const MessageBoxRequest&) override {
    note();
    return IDOK;
  }
};

TEST_F(DocViewTest, ToolTipsAskTheFrameForTheirTextAndSleepThroughEveryModal) {
  ToolBar* bar = frame->GetToolBar();
  ToolTip* tips = frame->GetToolTips();
  ASSERT_NE(tips, nullptr);
  auto hover = [&](int item) {
    const gdi::Rect r = bar->ItemRect(item);
    win::SendMessage(bar->GetHwnd(), win::WM_MOUSEMOVE, 0, MakeLParam(r.left + 3, r.top + 3));
  };
  hover(2);
  EXPECT_EQ(tips->ShownTool(), ID_FILE_SAVE);
  EXPECT_EQ(tips->ShownText(), "Save");
  hover(3);
  EXPECT_EQ(tips->ShownText(), "Play");
  hover(1); // the separator has no tip
  EXPECT_EQ(tips->ShownTool(), std::nullopt);

  frame->SwitchToolTipsAroundModals();
  std::vector<bool> during;
  auto note = [&] { during.push_back(tips->Active()); };
  auto files = std::make_shared<NotingFiles>();
  files->note = note;
  ScopedFileDialogBackend scopedFiles(files);
  auto boxes = std::make_shared<NotingBoxes>();
  boxes->note = note;
  ScopedMessageBoxBackend scopedBoxes(boxes);
  std::vector<bool> after;
  MessageBox("text", "caption", MB_OK, hwnd);
  after.push_back(tips->Active());
  GetSaveFileName({});
  after.push_back(tips->Active());
  GetOpenFileName({});
  after.push_back(tips->Active());
  LogDialog dialog(Form());
  dialog.onInit = [&](LogDialog&) { note(); };
  dialog.DoModal(hwnd);
  after.push_back(tips->Active());
  EXPECT_EQ(during, (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(after, (std::vector<bool>{true, true, true, true}));
  // While off, hovering shows nothing.
  win::SendMessage(tips->GetHwnd(), TTM_ACTIVATE, 0, 0);
  hover(2);
  EXPECT_EQ(tips->ShownTool(), std::nullopt);
}

TEST_F(DocViewTest, AFrameDestroyedUnderItsOwnDialogEndsItAsCancelled) {
  manager.OnFileNew(*frame);
  dialogs->Expect({DialogStep::TypeInto(1001, "one"), DialogStep::TypeInto(1001, "two"),
                   DialogStep::PressEnter()});
  win::SendMessage(hwnd, win::WM_COMMAND, kDialogCmd, 0);
  EXPECT_EQ(journal.dialogResult, IDCANCEL);
  EXPECT_FALSE(win::IsWindow(hwnd));
  EXPECT_TRUE(journal.frameGone);
  EXPECT_TRUE(track->Documents().empty());
  ASSERT_EQ(dialogs->Runs().size(), 1u);
  EXPECT_EQ(dialogs->Runs()[0].stepsLeft, 2u);
}

TEST_F(DocViewTest, AFrameWithItsBarsAndTwoChildrenLooksTheWay) {
  Document* doc = manager.OnFileNew(*frame);
  MdiChildWnd* second = events->CreateNewFrame(*doc, *frame);
  events->InitialUpdateFrame(*second, *doc);
  for (Hwnd h :
       {hwnd, frame->GetToolBar()->GetHwnd(), frame->MdiClient(), frame->Children()[0]->GetHwnd(),
        frame->Children()[1]->GetHwnd(), frame->Children()[0]->ActiveView()->GetHwnd(),
        frame->Children()[1]->ActiveView()->GetHwnd()})
    ASSERT_TRUE(Settle(h));
  const QImage image = GetWidget(hwnd)->grab().toImage();
  const std::filesystem::path out = std::filesystem::path(VEXO_TESTS_DIR) / "artefacts";
  std::filesystem::create_directories(out);
  EXPECT_TRUE(image.save(QString::fromStdString((out / "docview-frame.png").string())));
  EXPECT_FALSE(GetWidget(hwnd)->windowIcon().isNull());

  auto at = [&](Hwnd h, int32_t x, int32_t y) {
    const gdi::Point frameOrigin = ClientToScreen(hwnd, {0, 0});
    const gdi::Point p = ClientToScreen(h, {x, y});
    return image.pixelColor(p.x - frameOrigin.x, p.y - frameOrigin.y).rgb() & 0xFFFFFF;
  };
  auto rgb = [](gdi::Colour c) {
    return (uint32_t{gdi::RedOf(c)} << 16) | (uint32_t{gdi::GreenOf(c)} << 8) | gdi::BlueOf(c);
  };
  // The tool bar sits below the menu bar and shows its button images.
  ToolBar* bar = frame->GetToolBar();
  EXPECT_EQ(GetWindowRect(bar->GetHwnd())->top - GetWindowRect(hwnd)->top, MenuBar::kHeight);
  for (int item : {0, 2, 3}) {
    const gdi::Rect r = bar->ItemRect(item);
    EXPECT_EQ(at(bar->GetHwnd(), r.left + 10, r.top + 8),
              rgb(kImageColours[item == 0 ? 0 : item - 1]))
        << item;
  }
  // The active child's caption is dark blue, the other's grey; views show.
  MdiChildWnd* active = frame->MDIGetActive();
  MdiChildWnd* inactive = frame->Children()[1];
  ASSERT_NE(active, inactive);
  EXPECT_EQ(at(active->GetHwnd(), 3, 3), 0x000080u);
  EXPECT_EQ(at(inactive->GetHwnd(), 3, 3), 0x808080u);
  EXPECT_EQ(at(active->ActiveView()->GetHwnd(), 5, 5), 0xFFFFE0u);
  EXPECT_EQ(at(frame->MdiClient(), GetClientRect(frame->MdiClient())->right - 3,
               GetClientRect(frame->MdiClient())->bottom - 3),
            0x808080u);
}

} // namespace

namespace {

TEST(FrameLoad, AMalformedPartFailsTheFrameWithItsLine) {
  struct Row {
    const char* what;
    const char* path;
    const char* text;
    int line;
  } rows[] = {
      {"menu", "menus/7.txt", "POPUP A\nITEM x y\nEND\n", 2},
      {"keys", "accelerators/7.txt", "S CTRL 1\nS CTRL\n", 2},
      {"icon", "icons/7.png", "not a png", 0},
  };
  for (const Row& row : rows) {
    FrameResources resources{[&](std::string_view path) -> std::optional<std::vector<uint8_t>> {
                               if (path != row.path)
                                 return std::nullopt;
                               return Text(row.text);
                             },
                             {}};
    auto* frame = new FrameWnd;
    ResourceError error;
    EXPECT_FALSE(frame->LoadFrame(resources, 7, WS_OVERLAPPEDWINDOW, 0, &error)) << row.what;
    EXPECT_EQ(error.line, row.line) << row.what;
    EXPECT_FALSE(frame->GetHwnd()) << row.what;
    delete frame; // no window was made: the caller still owns it
  }
}

TEST_F(DocViewTest, AFrameDeletedWhileItsWindowStandsTakesTheWindowAlong) {
  manager.OnFileNew(*frame);
  delete frame;
  EXPECT_FALSE(win::IsWindow(hwnd));
  EXPECT_TRUE(track->Documents().empty());
}

} // namespace
