// Modal runs: the save mode and filter index of file dialogs (scripted and
// Qt offscreen), the hooks around every dialog, box and file dialog, and a
// dialog whose owner is destroyed while it runs.
#include "platform/sys/tests/scratch_folder.h"
#include "platform/ui/modal/filedialog.h"
#include "platform/ui/modal/modal_hook.h"
#include "platform/ui/tests/support/dialog_form.h"

#include <QFileDialog>

#include <filesystem>

using namespace ui;
using namespace uitest;

namespace {

constexpr const char* kSongFilter =
    "Song (*.vx3)|*.vx3|Basic (*.sb3)|*.sb3|Sweet (*.sw3)|*.sw3|MIDI (*.mid)|*.mid||";

TEST(FileDialogRuns, ScriptedRequestsAreRecordedAndAnswersCarryTheirIndex) {
  auto files = std::make_shared<ScriptedFileDialog>();
  ScopedFileDialogBackend scoped(files);
  files->Answer("/songs/a.sw3", 3);
  files->Answer("/songs/b.vx3");
  files->Answer("");

  OpenFileRequest save;
  save.filter = kSongFilter;
  save.filterIndex = 2;
  save.initialFolder = "/songs";
  save.title = "Save As";
  EXPECT_EQ(GetSaveFileName(save), (FileChoice{"/songs/a.sw3", 3}));
  OpenFileRequest open = save;
  open.filterIndex = 4;
  EXPECT_EQ(GetOpenFileName(open), "/songs/b.vx3");
  EXPECT_EQ(GetSaveFileName(save), std::nullopt); // cancelled
  EXPECT_EQ(GetSaveFileName(save), std::nullopt); // nothing queued

  auto shown = files->Shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_TRUE(shown[0].save);
  EXPECT_EQ(shown[0].filter, kSongFilter);
  EXPECT_EQ(shown[0].filterIndex, 2);
  EXPECT_EQ(shown[0].initialFolder, "/songs");
  EXPECT_FALSE(shown[1].save);
  EXPECT_EQ(shown[1].filterIndex, 4);
}

using QtModalTest = ScreenTest;

TEST_F(QtModalTest, TheSaveDialogStartsOnItsFilterAndTakesANewName) {
  sys::test::ScratchFolder folder;
  struct Row {
    const char* what;
    int startIndex;
    int pickIndex; // 0: keep the one it started on
    int wantIndex;
  } rows[] = {
      {"second filter kept", 2, 0, 2},
      {"changed to the third", 1, 3, 3},
      {"an index beyond the filter starts on the first", 9, 0, 1},
  };
  for (const Row& row : rows) {
    QString startedOn;
    bool saveMode = false;
    auto qt = std::make_shared<QtFileDialog>([&](QFileDialog& d) {
      startedOn = d.selectedNameFilter();
      saveMode = d.acceptMode() == QFileDialog::AcceptSave;
      if (row.pickIndex)
        d.selectNameFilter(d.nameFilters()[row.pickIndex - 1]);
      d.selectFile("fresh.vx3");
      QMetaObject::invokeMethod(&d, "accept", Qt::DirectConnection);
    });
    ScopedFileDialogBackend scoped(qt);
    OpenFileRequest request;
    request.filter = kSongFilter;
    request.filterIndex = row.startIndex;
    request.initialFolder = folder.Path();
    auto choice = GetSaveFileName(request);
    ASSERT_TRUE(choice) << row.what;
    EXPECT_TRUE(saveMode) << row.what;
    const int start = row.startIndex <= 4 ? row.startIndex : 1;
    EXPECT_EQ(startedOn.toStdString(), ParseFileFilter(kSongFilter)[start - 1].name + " (" +
                                           ParseFileFilter(kSongFilter)[start - 1].patterns[0] +
                                           ")")
        << row.what;
    EXPECT_EQ(choice->filterIndex, row.wantIndex) << row.what;
    EXPECT_EQ(std::filesystem::path(choice->path),
              std::filesystem::path(folder.Path()) / "fresh.vx3")
        << row.what;
    EXPECT_FALSE(std::filesystem::exists(choice->path)) << row.what;
  }
}

TEST(ModalHooks, RunAroundEveryDialogBoxAndFileDialogInOrder) {
  StartRuntime();
  auto boxes = std::make_shared<ScriptedMessageBox>();
  ScopedMessageBoxBackend scopedBoxes(boxes);
  auto files = std::make_shared<ScriptedFileDialog>();
  ScopedFileDialogBackend scopedFiles(files);
  auto dialogs = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scopedDialogs(dialogs);

  std::vector<std::string> seen;
  const int first = AddModalHook([&](bool in) { seen.push_back(in ? "a+" : "a-"); });
  const int second = AddModalHook([&](bool in) { seen.push_back(in ? "b+" : "b-"); });
  int inside = 0;
  boxes->Answer(IDOK);
  MessageBox("text", "caption");
  GetSaveFileName({});
  GetOpenFileName({});
  LogDialog dialog(Form());
  dialog.onInit = [&](LogDialog&) { inside = static_cast<int>(seen.size()); };
  dialog.DoModal();
  RemoveModalHook(first);
  MessageBox("text", "caption");
  EXPECT_TRUE(RemoveModalHook(second));
  EXPECT_FALSE(RemoveModalHook(second));
  MessageBox("text", "caption");

  const std::vector<std::string> around = {"a+", "b+", "b-", "a-"};
  std::vector<std::string> want;
  for (int i = 0; i < 4; ++i)
    want.insert(want.end(), around.begin(), around.end());
  want.insert(want.end(), {"b+", "b-"});
  EXPECT_EQ(seen, want);
  EXPECT_EQ(inside, 14); // the dialog initialised between its hooks
}

// A window that deletes itself once its window is gone, and runs a modal
// dialog of its own from a command.
class SelfOwnedWindow : public ScreenWindow {
public:
  int* result = nullptr;
  bool* alive = nullptr;
  ~SelfOwnedWindow() override { *alive = false; }
  void Detached() override { delete this; }

protected:
  LResult OnMessage(uint32_t message, WParam wParam, LParam lParam) override {
    if (message == win::WM_COMMAND) {
      // Closing arrives while the dialog runs.
      win::PostMessage(GetHwnd(), win::WM_CLOSE);
      LogDialog dialog(Form());
      const int r = dialog.DoModal(GetHwnd());
      answered_ = r; // the object still stands here
      *result = answered_;
      return 0;
    }
    return Default(message, wParam, lParam);
  }

private:
  int answered_ = 0;
};

TEST_F(QtModalTest, DestroyingTheOwnerOfARunningDialogEndsItAsCancelled) {
  auto dialogs = std::make_shared<ScriptedDialogs>();
  ScopedDialogBackend scoped(dialogs);
  dialogs->Expect({DialogStep::TypeInto(1001, "one"), DialogStep::TypeInto(1001, "two"),
                   DialogStep::PressEnter()});
  int result = 0;
  bool alive = true;
  auto* w = new SelfOwnedWindow;
  w->result = &result;
  w->alive = &alive;
  win::CreateParams p;
  p.className = kPlainClass;
  p.style = win::WS_POPUP;
  p.width = p.height = 100;
  p.object = w;
  const Hwnd h = win::CreateWindow(p);
  ASSERT_NE(h, 0u);
  win::SendMessage(h, win::WM_COMMAND, 1, 0);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_FALSE(win::IsWindow(h));
  EXPECT_FALSE(alive);
  auto runs = dialogs->Runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].stepsLeft, 2u); // ended after the first step
  EXPECT_EQ(runs[0].result, IDCANCEL);
  EXPECT_FALSE(runs[0].cancelledAtEnd);
}

} // namespace

namespace {

TEST_F(QtModalTest, AQtBoxWhoseOwnerIsDestroyedEndsAsCancelled) {
  LogWindow owner;
  const Hwnd h = Create(owner, kPlainClass, win::WS_POPUP | win::WS_VISIBLE, {0, 0, 120, 80});
  ASSERT_NE(GetWidget(h), nullptr);
  // Once the box is up its owner goes.
  auto* timer = new QTimer(QCoreApplication::instance());
  timer->setInterval(1);
  QObject::connect(timer, &QTimer::timeout, [timer, h] {
    if (!QApplication::activeModalWidget())
      return;
    timer->stop();
    timer->deleteLater();
    win::DestroyWindow(h);
  });
  timer->start();
  const int answer = QtMessageBox().Show({"Save the song?", "Editor", MB_YESNOCANCEL, h});
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_FALSE(win::IsWindow(h));
}

} // namespace
