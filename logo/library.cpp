#include "logo/library.h"

#include "logo/bivane.h"
#include "platform/media/mci.h"
#include "platform/media/sequencer.h"
#include "platform/res/bundle.h"
#include "platform/res/dialog_resource.h"
#include "platform/sys/ascii.h"
#include "platform/sys/library.h"
#include "platform/sys/log.h"
#include "platform/ui/window/screen.h"

#include <cstdlib>
#include <memory>
#include <optional>

namespace logo {
namespace {

namespace mci = media::mci;

constexpr uint32_t kImageName = 1;
constexpr uint32_t kAboutFont = 3;
constexpr uint32_t kMusicName = 4;
constexpr int kTemplate = 130;
constexpr const char* kNoticeClass = "BivaneMusicNotice";

// The window that hears the music's end.
class NoticeWindow : public win::Window {
public:
  win::LResult WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) override;
};

struct State {
  bool attached = false;
  std::optional<res::Bundle> bundle;
  std::string folder;
  std::string iniPath;
  Settings settings;
  std::string imagePath;
  CLogoDialog* dialog = nullptr;
  mci::DeviceId music = 0;
  NoticeWindow notice;
};

State& S() {
  // Freed when the library unloads; Detach has given its holdings back.
  static State state;
  return state;
}

bool NineXFamily() {
  const char* setting = std::getenv("VEXO_PLATFORM");
  return setting && sys::EqualIgnoringAsciiCase(setting, "9x");
}

win::LResult NoticeWindow::WindowProc(uint32_t message, win::WParam wParam, win::LParam lParam) {
  if (message == win::MM_MCINOTIFY && static_cast<mci::DeviceId>(lParam) == S().music &&
      wParam != mci::kNotifySuperseded)
    ReleaseMusic();
  return win::DefWindowProc(GetHwnd(), message, wParam, lParam);
}

std::string Text(uint32_t id) {
  return S().bundle ? S().bundle->StringBytes(id) : std::string();
}

void PlayKey(std::string_view key) {
  State& s = S();
  if (auto path = MusicPath(s.iniPath, key, s.folder, Text(kMusicName)))
    StartMusic(*path);
}

void Forget(CLogoDialog* dialog) {
  if (S().dialog == dialog)
    S().dialog = nullptr;
}

void DestroyOpenDialog() {
  if (CLogoDialog* d = S().dialog) {
    S().dialog = nullptr;
    if (d->GetMode() == Mode::About)
      ReleaseMusic();
    if (d->GetHwnd())
      win::DestroyWindow(d->GetHwnd()); // the object deletes itself after
    else
      delete d;
  }
}

CLogoDialog* OpenNew(Mode mode) {
  State& s = S();
  DialogSetup setup;
  setup.mode = mode;
  setup.custom = s.settings.Custom();
  setup.blackness = s.settings.blackness != 0;
  setup.intervalMs = static_cast<uint32_t>(s.settings.timeMs);
  setup.imagePath = s.imagePath;
  setup.fontSpec = Text(kAboutFont);
  for (uint32_t i = 0; i < setup.texts.size(); ++i)
    setup.texts[i] = Text(kFirstAboutText + i);
  if (mode == Mode::About)
    setup.onClose = [] { ReleaseMusic(); };
  auto* dialog = new CLogoDialog(std::move(setup));
  s.dialog = dialog;
  // The object tells the library when it goes, whichever way it is closed.
  dialog->SetGoneCallback([dialog] { Forget(dialog); });
  std::string caption = "Bivane";
  std::string why;
  if (s.bundle)
    if (auto t = res::LoadDialogTemplate(*s.bundle, kTemplate, &why))
      caption = t->caption;
  if (!dialog->Create(caption)) {
    s.dialog = nullptr;
    delete dialog;
    return nullptr;
  }
  return s.dialog;
}

} // namespace

bool Attach(const std::string& folder) {
  State& s = S();
  if (s.attached)
    return true;
  res::MissingBundleBox box;
  box.text = "rBivane.dll is not found!";
  s.bundle = res::LoadAtStart("rBivane", folder, box);
  if (!s.bundle)
    return false;
  s.attached = true;
  s.folder = folder;
  const char* configDir = std::getenv("VEXO_CONFIG_DIR");
  s.iniPath = ConfigPathIn(configDir && *configDir ? std::string(configDir) : folder);
  s.settings = ReadSettings(s.iniPath);
  static const bool registered = win::RegisterClass(
      {kNoticeClass, 0, [] { return std::unique_ptr<win::Window>(); }});
  (void)registered;
  if (!s.notice.GetHwnd()) {
    win::CreateParams p;
    p.className = kNoticeClass;
    p.parent = win::kHwndMessage;
    p.object = &s.notice;
    win::CreateWindow(p);
  }
  if (!mci::IsDeviceTypeRegistered(kMusicDeviceType))
    media::RegisterSequencerDevice();
  PlayKey("Music");
  s.imagePath = ImagePath(s.settings, folder, Text(kImageName)).value_or(std::string());
  return true;
}

void Detach() {
  State& s = S();
  if (!s.attached)
    return;
  DestroyOpenDialog();
  ReleaseMusic();
  if (s.notice.GetHwnd())
    win::DestroyWindow(s.notice.GetHwnd());
  s.bundle.reset();
  s.attached = false;
}

bool Attached() {
  return S().attached;
}

const Settings& CurrentSettings() {
  return S().settings;
}

const std::string& ImagePathInUse() {
  return S().imagePath;
}

CLogoDialog* OpenDialog() {
  return S().dialog;
}

uint32_t MusicDevice() {
  return S().music;
}

void StartMusic(const std::string& path) {
  ReleaseMusic();
  if (!NineXFamily())
    return;
  mci::OpenParams open;
  open.type = kMusicDeviceType;
  open.element = path;
  mci::DeviceId id = 0;
  if (mci::Open(open, &id) != mci::kOk || !id)
    return;
  S().music = id;
  std::string port;
  if (mci::SendCommand(id, "status port", &port, 64) != mci::kOk ||
      mci::SendCommand(id, "play from 0 notify", nullptr, 0, S().notice.GetHwnd()) != mci::kOk)
    ReleaseMusic();
}

void ReleaseMusic() {
  State& s = S();
  if (!s.music)
    return;
  const mci::DeviceId id = s.music;
  s.music = 0;
  mci::SendCommand(id, "close");
}

} // namespace logo

extern "C" {

__attribute__((visibility("default"))) int32_t Bivane_Attach(void) {
  return logo::Attach(sys::ModuleFolder(reinterpret_cast<const void*>(&Bivane_Attach))) ? 1 : 0;
}

__attribute__((visibility("default"))) int32_t Bivane_Detach(void) {
  logo::Detach();
  return 1;
}

__attribute__((visibility("default"))) uint32_t LaunchLogo(uint32_t) {
  if (!logo::Attached())
    return 0;
  if (logo::CLogoDialog* open = logo::OpenDialog()) {
    ui::SetForegroundWindow(open->GetHwnd());
    return 0;
  }
  logo::CLogoDialog* d = logo::OpenNew(logo::Mode::Logo);
  return d ? d->GetHwnd() : 0;
}

__attribute__((visibility("default"))) void DrawTextLogo(const char* text) {
  if (logo::CLogoDialog* d = logo::OpenDialog(); d && text)
    d->DrawTextLine(text);
}

__attribute__((visibility("default"))) void SinkDownLogo(void) {
  logo::DestroyOpenDialog();
}

__attribute__((visibility("default"))) void LaunchAboutDlg(uint32_t) {
  if (!logo::Attached())
    return;
  logo::DestroyOpenDialog();
  logo::ReleaseMusic();
  logo::PlayKey("MusicAbout");
  logo::OpenNew(logo::Mode::About);
}

__attribute__((visibility("default"))) void LogoMusicOff(void) {
  logo::ReleaseMusic();
}

} // extern "C"
