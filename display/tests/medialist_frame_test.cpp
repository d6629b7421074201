// The frame's media lists at work: the MPEG play command and the info
// view's clips picked from their lists, the AVI/FLC mode refused while its
// list is empty, and the progress dialog while every list is built again.
#include "display/progressdlg.h"
#include "display/tests/support/frame_fixture.h"

#include "platform/sys/paths.h"
#include "platform/ui/controls/progress.h"
#include "platform/ui/dialog/dialog.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>

#include <filesystem>
#include <fstream>

using namespace display;
using namespace displaytest;

namespace {

namespace fs = std::filesystem;

class MediaListFrameTest : public FrameTest {
protected:
  // A folder of the named files, empty.
  std::string Folder(const std::string& name, std::initializer_list<const char*> files) {
    const std::string folder = dir / name;
    fs::create_directories(folder);
    for (const char* f : files)
      std::ofstream(folder + "/" + f) << "x";
    return folder;
  }
  media::mci::Script& AllowMpeg(const std::string& mode) {
    media::mci::Script& mci = ScriptDevices();
    mci.Allow({"open mpegvideo type mpegvideo", "close mpegvideo",
               "open mpegvideo style overlapped", "put mpegvideo destination",
               "set mpegvideo time format ms", "set mpegvideo video key color to 128:0:128",
               "window mpegvideo handle *", "window mpegvideo text *", "load mpegvideo *",
               "play mpegvideo repeat notify", "stop mpegvideo", "set mpegvideo video on",
               "set mpegvideo video off"});
    mci.Set("info mpegvideo product", {media::mci::kOk, kMpegProduct});
    mci.Set("status mpegvideo mode", {media::mci::kOk, mode});
    return mci;
  }
  std::vector<std::string> Loads() const {
    std::vector<std::string> out;
    for (const auto& c : script->Sent())
      if (c.starts_with("load mpegvideo"))
        out.push_back(c);
    return out;
  }
};

TEST_F(MediaListFrameTest, PlayTakesAClipOfTheMpegListAndRemembersIt) {
  const std::string clips = Folder("clips", {"train.mpg", "notes.txt"});
  AllowMpeg("stopped");
  dir.Write("config.ini", "[Words]\nDisplay=2\n[Mpeg]\nCheck=1\nCount=1\nDir1=" + clips + "\n");
  CKivo32Frame& f = Start();
  ASSERT_EQ(f.BackgroundMode(), kModeMpeg);
  ASSERT_NE(f.MpegList(), nullptr);
  EXPECT_EQ(f.MpegList()->TotalFiles(), 1);
  script->ClearSent();
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegPlay, 0);
  EXPECT_EQ(Loads(), (std::vector<std::string>{"load mpegvideo \"" + clips + "/train.mpg\""}));
  EXPECT_EQ(Ini("Mpeg", "File"), *sys::ToStoredPath(clips + "/train.mpg"));

  // The listed clip gone: the remembered file is gone too, and nothing the
  // list names is loaded.
  fs::remove(clips + "/train.mpg");
  const std::string other = dir.Write("other.mpg", "x");
  sys::IniWriteString(config, "Mpeg", "File", *sys::ToStoredPath(other));
  script->ClearSent();
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kMpegPlay, 0);
  EXPECT_EQ(Loads(), (std::vector<std::string>{"load mpegvideo \"" + other + "\""}));
}

TEST_F(MediaListFrameTest, TheClipModeNeedsAListedClipAndPlaysOneOfThemWhileASongRuns) {
  struct Row {
    const char* what;
    std::vector<const char*> clips; // in the Avi/Flc folder
    bool singing;                   // PlayStarted before the request
    int32_t mode;
    std::string picked; // the info view's video afterwards, under the folder
  } rows[] = {
      {"an empty list", {}, true, kModeStill, ""},
      {"no song", {"a.avi"}, false, kModeInfo, ""},
      {"a song", {"a.avi"}, true, kModeInfo, "a.avi"},
      {"only other files", {"a.txt", "b.wav"}, true, kModeStill, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const std::string clips = dir / "clips";
    fs::remove_all(clips);
    fs::create_directories(clips);
    for (const char* c : r.clips)
      std::ofstream(clips + "/" + c) << "x";
    dir.Write("config.ini", "[Avi/Flc]\nCount=1\nDir1=" + clips + "\n");
    CKivo32Frame& f = Start();
    if (r.singing)
      win::SendMessage(hwnd, win::WM_USER, kPlayStarted, 0);
    win::SendMessage(hwnd, win::WM_USER, kAviVideoRequest, 0);
    // What the request posted (the still mode back, the clip to play).
    win::ProcessPendingMessages();
    win::ProcessPendingMessages();
    EXPECT_EQ(f.BackgroundMode(), r.mode);
    EXPECT_EQ(f.Info()->VideoPath(), r.picked.empty() ? "" : clips + "/" + r.picked);
    Close();
    frame.reset();
  }
}

TEST_F(MediaListFrameTest, AClipRequestWithoutANameTakesAListedClip) {
  const std::string clips = Folder("clips", {"b.flc"});
  dir.Write("config.ini", "[Avi/Flc]\nCount=1\nDir1=" + clips + "\n");
  CKivo32Frame& f = Start();
  win::SendMessage(hwnd, win::WM_USER, kAviVideoRequest, 0);
  ASSERT_EQ(f.BackgroundMode(), kModeInfo);
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kPlayVideo, 0);
  EXPECT_EQ(f.Info()->VideoPath(), clips + "/b.flc");
  // A held path is played as it stands with lParam 1.
  f.Info()->VideoPath() = "/elsewhere/c.avi";
  win::SendMessage(hwnd, win::WM_COMMAND, cmd::kPlayVideo, 1);
  EXPECT_EQ(f.Info()->VideoPath(), "/elsewhere/c.avi");
}

// The progress dialog as a rebuild of the lists shows it.
class RebuildDialogTest : public FrameTest {
protected:
  static ProgressDlg* OpenDialog() {
    const win::Hwnd h = win::FindWindow(ui::kDialogClass, "Please wait");
    return h ? dynamic_cast<ProgressDlg*>(win::GetWindowObject(h)) : nullptr;
  }
};

TEST_F(RebuildDialogTest, ItNamesEachFolderStaysOpenAndGoesWhenTheBuildEnds) {
  ui::ScopedDialogBackend scoped(std::make_shared<ui::QtDialogs>());
  std::vector<std::string> folders;
  for (const char* name : {"first", "second", "third"}) {
    folders.push_back(dir / name);
    fs::create_directories(folders.back());
    for (int i = 0; i < 4; ++i)
      std::ofstream(folders.back() + "/p" + std::to_string(i) + ".bmp") << "x";
  }
  for (size_t i = 0; i < folders.size(); ++i)
    sys::IniWriteString(config, "Image", "Dir" + std::to_string(i + 1), folders[i]);
  sys::IniWriteString(config, "Image", "Count", "3");
  sys::IniWriteString(config, "Image", "Build", "1");
  MediaList list(MediaKind::Image);
  ASSERT_TRUE(list.Load(config));

  std::vector<std::string> shownFolders;
  win::Hwnd seen = 0;
  int steps = 0;
  bool grabbed = false;
  const std::string png = std::string(VEXO_TESTS_DIR) + "/artefacts/kivo32-progress.png";
  fs::create_directories(fs::path(png).parent_path());
  fs::remove(png);
  int before = 0; // the lists read again before the dialog opens
  list.onStep = [&] {
    ProgressDlg* dlg = OpenDialog();
    if (!dlg) {
      EXPECT_EQ(steps, 0) << "the dialog shows until the end";
      ++before;
      return;
    }
    ++steps;
    seen = dlg->GetHwnd();
    auto* second = qobject_cast<QLabel*>(dlg->ItemWidget(ProgressDlg::kItemSecondText));
    ASSERT_NE(second, nullptr);
    const std::string folder = second->text().toStdString();
    if (shownFolders.empty() || shownFolders.back() != folder)
      shownFolders.push_back(folder);
    EXPECT_EQ(qobject_cast<QLabel*>(dlg->ItemWidget(ProgressDlg::kItemFirstText))->text(),
              "Building the lists of background pictures and videos...");
    dlg->PressEscape();
    dlg->PressEnter();
    EXPECT_FALSE(dlg->Ended());
    if (steps == 12) { // halfway: the second folder's list read back
      EXPECT_EQ(qobject_cast<QProgressBar*>(dlg->ItemWidget(ProgressDlg::kItemProgress))->value(),
                12);
      grabbed = dlg->Widget()->grab().save(QString::fromStdString(png));
    }
  };
  list.RebuildAll(config, ResourceModule());
  EXPECT_EQ(before, 12);
  EXPECT_EQ(steps, 24) << "each name written and read back";
  EXPECT_EQ(shownFolders, folders);
  EXPECT_TRUE(grabbed);
  QImage image(QString::fromStdString(png));
  EXPECT_FALSE(image.isNull());
  EXPECT_FALSE(win::IsWindow(seen)) << "the dialog is destroyed";
  EXPECT_EQ(OpenDialog(), nullptr);
  EXPECT_EQ(sys::IniGetString(config, "Image", "Build", "gone"), "gone");
  EXPECT_EQ(list.TotalFiles(), 12);
}

TEST_F(RebuildDialogTest, FiftyThousandStepsFillTheBarOnce) {
  ui::ScopedDialogBackend scoped(std::make_shared<ui::ScriptedDialogs>());
  const std::string folder = dir / "many";
  fs::create_directories(folder);
  for (int i = 0; i < 25000; ++i)
    std::ofstream(folder + "/p" + std::to_string(i) + ".gif");
  sys::IniWriteString(config, "Image", "Count", "1");
  sys::IniWriteString(config, "Image", "Dir1", folder);
  MediaList list(MediaKind::Image);
  list.Load(config);
  int steps = 0, last = -1, high = 0, backwards = 0, fullEarly = 0;
  ui::ProgressBar* bar = nullptr;
  list.onStep = [&] {
    if (!bar) {
      ProgressDlg* dlg = OpenDialog();
      if (!dlg)
        return; // the lists read again before the dialog opens
      bar = dlg->Item<ui::ProgressBar>(ProgressDlg::kItemProgress);
      ASSERT_NE(bar, nullptr);
      high = bar->RangeHigh();
      EXPECT_EQ(bar->RangeLow(), 0);
    }
    ++steps;
    backwards += bar->Position() < last;
    fullEarly += steps < 50000 && bar->Position() >= high;
    last = bar->Position();
  };
  ::testing::internal::CaptureStderr();
  list.RebuildAll(config, ResourceModule());
  const std::string echoed = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(steps, 50000);
  EXPECT_EQ(high, 50000);
  EXPECT_EQ(last, high) << "full at the last step";
  EXPECT_EQ(backwards, 0);
  EXPECT_EQ(fullEarly, 0);
  EXPECT_NE(echoed.find("[100%]"), std::string::npos);
  EXPECT_EQ(OpenDialog(), nullptr);
}

} // namespace
