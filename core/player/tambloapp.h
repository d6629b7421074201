// The player core library's application object: what the library takes when
// it starts (its single-instance guard, its resource bundle, the link
// library of the platform with its 66 operations, the bank manager, the
// notification window's class) and gives back when it ends.
#pragma once

#include "core/player/bankmanager.h"
#include "core/player/mididevices.h"
#include "core/player/scoretable.h"
#include "core/songdata.h"
#include "platform/res/bundle.h"
#include "platform/sys/instance.h"
#include "platform/sys/library.h"
#include "sequencer/link/mplay_table.h"

#include <optional>
#include <string>

namespace core {

// The name of the single-instance guard, one per user session.
inline constexpr const char* kInstanceName = "Tamblo";
// The window class of the player core's notification window.
inline constexpr const char* kNotifyWindowClass = "MSG_TAMBLO";

class CTambloApp {
public:
  // folder: where the library's file lies; its resource bundle, link
  // library and bank manager are loaded from there.
  explicit CTambloApp(std::string folder);
  CTambloApp(const CTambloApp&) = delete;
  CTambloApp& operator=(const CTambloApp&) = delete;

  // Starts the library; false when it must refuse its load, with the reason
  // in StartError(). Steps that had succeeded are undone.
  bool InitInstance();
  // Gives back what InitInstance took; nothing when this instance does not
  // hold the guard.
  void ExitInstance();

  // 1 when another instance holds the guard or it cannot be taken, else 0
  // (and this instance holds it).
  int CheckSingleInstance();
  // 1 when all 66 names were bound, 0 at the first missing one.
  int BindLinkLibrary(sys::ModuleHandle module);
  // Binds the score library's names that the module has; 1.
  int BindScoreLibrary(sys::ModuleHandle module);

  bool Started() const { return started_; }
  const std::string& StartError() const { return startError_; }
  const std::string& Folder() const { return folder_; }
  const res::Bundle* Resources() const { return resources_ ? &*resources_ : nullptr; }
  BankManager& Bank() { return bankManager_; }

  wendra::MplayTable linkTable;
  ScoreTable scoreTable;

private:
  bool Refuse(std::string reason);
  bool LoadLinkLibrary();
  bool RegisterNotifyWindowClass();
  void ReleaseAll();

  std::string folder_;
  std::optional<sys::InstanceGuard> instanceMapping_;
  std::optional<res::Bundle> resources_;
  BankManager bankManager_;
  bool classRegistered_ = false;
  bool editorStarted_ = false;
  bool started_ = false;
  std::string instanceError_;
  std::string missingName_;
  std::string startError_;
};

// The song editor's share of the library's start and end (its document
// templates); set by the editor's code where the library links it in.
struct EditorHooks {
  bool (*start)(const res::Bundle& bundle, std::string* error) = nullptr;
  void (*end)() = nullptr;
};
void SetEditorHooks(EditorHooks hooks);

// The library's application object, for the folder of the module that holds
// this code.
CTambloApp& TheApp();
// The one song in memory.
CSongData& TheSong();
// The process-wide MIDI output device list, over TheApp()'s link table.
CMidiOutDeviceList& MidiOutDevices();

} // namespace core
