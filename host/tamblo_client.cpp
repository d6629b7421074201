#include "host/tamblo_client.h"

#include "host/library_client.h"
#include "platform/sys/bytes.h"
#include "platform/win/loop.h"

#include <array>
#include <cstring>
#include <vector>

namespace host {
namespace {

constexpr int kCapsSize = 52;
constexpr int kNameSize = 32;

std::vector<Binding> Bindings(TambloExports& t) {
  return {
      {"Tamblo_Attach", Slot(t.Attach)},
      {"Tamblo_AttachError", Slot(t.AttachError)},
      {"Tamblo_Detach", Slot(t.Detach)},
      {"tamblo_InitDLL", Slot(t.InitDLL)},
      {"tamblo_LoadFile", Slot(t.LoadFile)},
      {"tamblo_CloseFile", Slot(t.CloseFile)},
      {"tamblo_Play", Slot(t.Play)},
      {"tamblo_GetLyricWnd", Slot(t.GetLyricWnd)},
      {"tamblo_Stop", Slot(t.Stop)},
      {"tamblo_SetDefaultMidiOutDevice", Slot(t.SetDefaultMidiOutDevice)},
      {"tamblo_RegisterStopMsg", Slot(t.RegisterStopMsg)},
      {"tamblo_RegisterProgMsg", Slot(t.RegisterProgMsg)},
      {"tamblo_UnregisterStopMsg", Slot(t.UnregisterStopMsg)},
      {"tamblo_UnregisterProgMsg", Slot(t.UnregisterProgMsg)},
      {"tamblo_TitleTransmit", Slot(t.TitleTransmit)},
      {"tamblo_ProcessMessageFilter", Slot(t.ProcessMessageFilter)},
      {"Tamblo_PreTranslateMessage", Slot(t.PreTranslateMessage)},
      {"mplay_SetTempoModifier", Slot(t.SetTempoModifier)},
      {"mplay_SetKeyModifier", Slot(t.SetKeyModifier)},
      {"mplay_GetPlayTime", Slot(t.GetPlayTime)},
      {"mplay_GetcMidiPlayFlag", Slot(t.GetcMidiPlayFlag)},
      {"mplay_moGetNumMIDDevices", Slot(t.moGetNumMIDDevices)},
      {"mplay_moGetCurDev", Slot(t.moGetCurDev)},
      {"mplay_moGetMIDDevName", Slot(t.moGetMIDDevName)},
      {"mplay_moGetMIDDevCaps", Slot(t.moGetMIDDevCaps)},
      {"tamblo_SetDefaultUserSynth", Slot(t.SetDefaultUserSynth)},
      {"tamblo_GetDefaultUserSynth", Slot(t.GetDefaultUserSynth)},
      {"tamblo_RecordWave", Slot(t.RecordWave)},
      {"tamblo_PlayWave", Slot(t.PlayWave)},
      {"tamblo_StopWave", Slot(t.StopWave)},
      {"tamblo_SaveWave", Slot(t.SaveWave)},
      {"tamblo_OpenWave", Slot(t.OpenWave)},
      {"tamblo_CloseWave", Slot(t.CloseWave)},
      {"tamblo_GetRecStatus", Slot(t.GetRecStatus)},
      {"tamblo_GetPlayStatus", Slot(t.GetPlayStatus)},
      {"tamblo_SetRecSetting", Slot(t.SetRecSetting)},
      {"tamblo_OpenEditor", Slot(t.OpenEditor)},
      {"tamblo_CloseEditor", Slot(t.CloseEditor)},
  };
}

} // namespace

std::unique_ptr<TambloClient> TambloClient::Start(const std::string& folder, std::string* error) {
  std::string why;
  auto library = sys::Library::Load(folder, "Tamblo", &why);
  if (!library) {
    *error = "the player core cannot be loaded: " + why;
    return nullptr;
  }
  std::unique_ptr<TambloClient> client(new TambloClient(std::move(*library)));
  if (!BindAndAttach(client->library_, Bindings(client->exports_), client->exports_, "player core",
                     error))
    return nullptr;
  client->attached_ = true;
  return client;
}

bool TambloClient::Init(win::Hwnd parent, win::Hwnd hostNotify, std::string* error,
                        sys::ModuleHandle scoreModule) {
  if (!exports_.InitDLL(library_.Handle(), scoreModule, parent, hostNotify, "vexo3")) {
    *error = "the player core could not be initialised";
    return false;
  }
  // As a host must: every message goes past the player core's filters.
  const TambloExports& t = exports_;
  filter_ = win::AddMessageFilter([&t](win::Msg& msg) {
    return t.ProcessMessageFilter(0, &msg) != 0 || t.PreTranslateMessage(&msg) != 0;
  });
  return true;
}

TambloClient::~TambloClient() {
  if (filter_)
    win::RemoveMessageFilter(filter_);
  if (attached_)
    exports_.Detach();
  // Kept loaded until the process ends, as the link library and the engine
  // it loaded are: what the library made for the process stays reachable.
  library_.Release();
}

std::optional<DeviceInfo> DescribeDevice(const TambloExports& t, int device) {
  if (device < 0 || device >= t.moGetNumMIDDevices())
    return std::nullopt;
  std::array<uint8_t, kCapsSize> caps{};
  t.moGetMIDDevCaps(caps.data(), static_cast<int16_t>(device));
  sys::ByteReader r(caps.data(), caps.size());
  r.Skip(2);
  DeviceInfo info;
  info.productId = r.U16LE().value_or(0);
  std::array<char, kNameSize> name{};
  t.moGetMIDDevName(name.data(), static_cast<int16_t>(device));
  info.name.assign(name.data(), strnlen(name.data(), name.size()));
  return info;
}

} // namespace host
