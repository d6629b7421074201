#include "core/player/tambloapp.h"
#include "core/player/waverecorder.h"

#include "core/player/notifywnd.h"
#include "core/player/platform_family.h"
#include "core/player/waveplayer.h"
#include "platform/win/window.h"

#include <memory>

namespace core {
namespace {

using AttachResult = int32_t (*)(char* reason, uint32_t size);

EditorHooks& Editor() {
  static EditorHooks hooks;
  return hooks;
}

} // namespace

void SetEditorHooks(EditorHooks hooks) {
  Editor() = hooks;
}

CTambloApp::CTambloApp(std::string folder) : folder_(std::move(folder)) {}

int CTambloApp::CheckSingleInstance() {
  std::string error;
  instanceMapping_ = sys::InstanceGuard::TryAcquire(kInstanceName, &error);
  if (instanceMapping_)
    return 0;
  instanceError_ = error;
  return 1;
}

int CTambloApp::BindLinkLibrary(sys::ModuleHandle module) {
  missingName_.clear();
  return wendra::BindMplay(module, linkTable, &missingName_) ? 1 : 0;
}

int CTambloApp::BindScoreLibrary(sys::ModuleHandle module) {
  scoreTable.Bind(module);
  return 1;
}

bool CTambloApp::InitInstance() {
  if (started_)
    return true;
  startError_.clear();
  if (CheckSingleInstance())
    return Refuse("instance guard refused: " + instanceError_);

  res::MissingBundleBox box;
  box.text = "rTamblo.dll not found";
  resources_ = res::LoadAtStart("rTamblo", folder_, box);
  if (!resources_)
    return Refuse("rTamblo.dll not found");

  if (!LoadLinkLibrary())
    return false;

  if (bankManager_.LoadBankManager(folder_))
    TheSong().bankHooks = &bankManager_;
  TheSong().editNotice = &SongEdited;

  if (!RegisterNotifyWindowClass())
    return Refuse(std::string("the window class \"") + kNotifyWindowClass +
                  "\" cannot be registered");
  if (Editor().start) {
    std::string error;
    if (!Editor().start(*resources_, &error))
      return Refuse(error);
    editorStarted_ = true;
  }
  TheWavePlayer().InitWaveOut();
  SetEmbeddedWavePlayer(PlayWaveEvent);
  SetWaveDeviceDone([](win::WParam flag, win::LParam device) {
    return TheWaveRecorder().OnDeviceNotice(flag, device);
  });
  started_ = true;
  return true;
}

bool CTambloApp::LoadLinkLibrary() {
  const char* name = LinkLibraryName(CurrentPlatformFamily());
  std::string error;
  auto library = sys::Library::Load(folder_, name, &error);
  if (!library)
    return Refuse(std::string(name) + " cannot be loaded: " + error);
  const std::string reportName = std::string(name) + "_AttachResult";
  if (auto report = reinterpret_cast<AttachResult>(library->Find(reportName.c_str()))) {
    char reason[512] = {};
    if (!report(reason, sizeof reason))
      return Refuse(std::string(name) + " refused its load: " + reason);
  }
  if (!BindLinkLibrary(library->Handle()))
    return Refuse(std::string(name) + " lacks " + missingName_);
  // Kept until the process ends.
  library->Release();
  return true;
}

bool CTambloApp::RegisterNotifyWindowClass() {
  // The notification window's object is attached when it is created.
  classRegistered_ =
      win::RegisterClass({kNotifyWindowClass, 0, [] { return std::make_unique<win::Window>(); }});
  return classRegistered_;
}

bool CTambloApp::Refuse(std::string reason) {
  startError_ = std::move(reason);
  // A refused start holds nothing, so that a later start in this or another
  // process is not shut out by it.
  ReleaseAll();
  return false;
}

void CTambloApp::ReleaseAll() {
  if (editorStarted_ && Editor().end)
    Editor().end();
  editorStarted_ = false;
  SetEmbeddedWavePlayer(nullptr);
  TheWavePlayer().Stop();
  SetWaveDeviceDone(nullptr);
  TheWaveRecorder().Close();
  resources_.reset();
  instanceMapping_.reset();
  if (TheSong().bankHooks == &bankManager_)
    TheSong().bankHooks = nullptr;
  TheSong().editNotice = nullptr;
  bankManager_.RestoreDefaultUserBank();
  bankManager_.FreeBankManager();
  // The class's factory lies in this library, which may be unloaded next.
  if (classRegistered_)
    win::UnregisterClass(kNotifyWindowClass);
  classRegistered_ = false;
  // The link library stays loaded, but a library that ended calls nothing.
  linkTable = wendra::MplayTable{};
  scoreTable.Clear();
  started_ = false;
}

void CTambloApp::ExitInstance() {
  if (!instanceMapping_)
    return;
  resources_.reset();
  instanceMapping_.reset();
  TheSong().FreeAll();
  ReleaseAll();
}

CTambloApp& TheApp() {
  static CTambloApp* app =
      new CTambloApp(sys::ModuleFolder(reinterpret_cast<const void*>(&TheApp)));
  return *app;
}

CSongData& TheSong() {
  static CSongData* song = new CSongData;
  return *song;
}

CMidiOutDeviceList& MidiOutDevices() {
  static CMidiOutDeviceList* list = new CMidiOutDeviceList(TheApp().linkTable);
  return *list;
}

} // namespace core
