// The player core as a host sees it: the library Tamblo loaded by name from
// a folder, its start, and the exports this host calls, bound by name.
#pragma once

#include "platform/sys/library.h"
#include "platform/win/messages.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace host {

struct TambloExports {
  int32_t (*Attach)() = nullptr;
  int32_t (*AttachError)(char* text, int32_t size) = nullptr;
  int32_t (*Detach)() = nullptr;
  int32_t (*InitDLL)(void* instance, void* scoreModule, uint32_t parent, uint32_t hostNotify,
                     const char* name) = nullptr;
  int32_t (*LoadFile)(const char* path, int32_t kind) = nullptr;
  int32_t (*CloseFile)() = nullptr;
  int32_t (*Play)() = nullptr;
  int32_t (*Stop)() = nullptr;
  int32_t (*SetDefaultMidiOutDevice)(const char* name, uint16_t productId) = nullptr;
  int32_t (*RegisterStopMsg)(uint32_t window) = nullptr;
  int32_t (*RegisterProgMsg)(uint32_t window) = nullptr;
  int32_t (*UnregisterStopMsg)(uint32_t window) = nullptr;
  int32_t (*UnregisterProgMsg)(uint32_t window) = nullptr;
  int32_t (*TitleTransmit)(uint32_t window) = nullptr;
  int32_t (*ProcessMessageFilter)(int32_t code, void* msg) = nullptr;
  int32_t (*PreTranslateMessage)(void* msg) = nullptr;
  void (*SetTempoModifier)(int16_t value) = nullptr;
  void (*SetKeyModifier)(int16_t value) = nullptr;
  uint32_t (*GetPlayTime)() = nullptr;
  uint32_t (*GetLyricWnd)() = nullptr;
  uint8_t (*GetcMidiPlayFlag)() = nullptr;
  uint16_t (*moGetNumMIDDevices)() = nullptr;
  int16_t (*moGetCurDev)() = nullptr;
  uint8_t (*moGetMIDDevName)(char* destination, int16_t device) = nullptr;
  void (*moGetMIDDevCaps)(uint8_t* destination, int16_t device) = nullptr;
  int32_t (*SetDefaultUserSynth)(uint32_t flag, const char* path) = nullptr;
  int32_t (*GetDefaultUserSynth)(uint32_t* flag, char* path) = nullptr;
  int32_t (*RecordWave)() = nullptr;
  int32_t (*PlayWave)() = nullptr;
  int32_t (*StopWave)() = nullptr;
  int32_t (*SaveWave)() = nullptr;
  int32_t (*OpenWave)() = nullptr;
  int32_t (*CloseWave)() = nullptr;
  int32_t (*GetRecStatus)() = nullptr;
  int32_t (*GetPlayStatus)() = nullptr;
  int32_t (*SetRecSetting)(uint32_t rate, uint16_t bits, uint16_t channels) = nullptr;
  int32_t (*OpenEditor)() = nullptr;
  int32_t (*CloseEditor)() = nullptr;
};

// Song file kind: by the file's extension.
constexpr int32_t kKindByExtension = 2000;

class TambloClient {
public:
  // Loads Tamblo from folder, binds its exports and starts it; nullopt, with
  // the reason in *error, when any of it fails.
  static std::unique_ptr<TambloClient> Start(const std::string& folder, std::string* error);
  ~TambloClient();
  TambloClient(const TambloClient&) = delete;
  TambloClient& operator=(const TambloClient&) = delete;

  // tamblo_InitDLL with the host's windows (and the singing score's module
  // when one is loaded); routes the host's messages through the player
  // core's filters from then on.
  bool Init(win::Hwnd parent, win::Hwnd hostNotify, std::string* error,
            sys::ModuleHandle scoreModule = nullptr);
  sys::ModuleHandle Module() const { return library_.Handle(); }

  const TambloExports& Exports() const { return exports_; }

private:
  explicit TambloClient(sys::Library library) : library_(std::move(library)) {}

  sys::Library library_;
  TambloExports exports_;
  bool attached_ = false;
  int filter_ = 0;
};

// A device's name and product identifier, from the capability record.
struct DeviceInfo {
  std::string name;
  uint16_t productId = 0;
};
std::optional<DeviceInfo> DescribeDevice(const TambloExports& t, int device);

} // namespace host
