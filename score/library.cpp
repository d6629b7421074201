#include "score/library.h"

#include "platform/sys/library.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"
#include "score/controls/score_controls.h"
#include "score/nyvanta.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>

namespace score {
namespace {

struct State {
  bool attached = false;
  std::optional<res::Bundle> bundle;
  std::string folder;
  std::unique_ptr<CScoreController> controller;
  std::string error;
};

State& S() {
  // Freed when the library unloads; Detach has given its holdings back.
  static State state;
  return state;
}

// The classic button face.
constexpr gdi::Colour kButtonFace = gdi::Rgb(192, 192, 192);

} // namespace

bool Attach(const std::string& folder, std::string* why) {
  State& s = S();
  if (s.attached)
    return true;
  res::MissingBundleBox box;
  box.text = "rNyvanta.dll not found";
  s.bundle = res::LoadAtStart("rNyvanta", folder, box);
  if (!s.bundle) {
    *why = "rNyvanta.dll not found";
    return false;
  }
  ui::ScreenClass c;
  c.name = kControllerClass;
  c.factory = [] { return std::unique_ptr<ui::ScreenWindow>(); };
  c.background = kButtonFace;
  if (!ui::RegisterScreenClass(c)) {
    s.bundle.reset();
    *why = std::string("the window class ") + kControllerClass + " cannot be registered";
    return false;
  }
  // The display controls' classes live as long as the library.
  RegisterControlClasses();
  s.folder = folder;
  s.controller =
      std::make_unique<CScoreController>(s.bundle->String(kNoDeviceString).value_or(""));
  s.attached = true;
  return true;
}

void Detach() {
  State& s = S();
  if (!s.attached)
    return;
  s.controller.reset();
  win::UnregisterClass(kControllerClass);
  UnregisterControlClasses();
  s.bundle.reset();
  s.attached = false;
}

bool Attached() {
  return S().attached;
}

CScoreController* Controller() {
  return S().controller.get();
}

const res::Bundle* Bundle() {
  return S().bundle ? &*S().bundle : nullptr;
}

const std::string& Folder() {
  return S().folder;
}

} // namespace score

namespace {

score::CScoreController* C() {
  return score::Controller();
}

// Runs f on the controller's thread; fallback without a controller.
template <typename F> intptr_t OnController(F f, intptr_t fallback = 0) {
  score::CScoreController* c = C();
  if (!c)
    return fallback;
  return c->Call([c, f]() -> intptr_t { return f(*c); });
}

int32_t CopyText(const std::string& text, char* destination, int32_t size) {
  if (!destination || size <= 0)
    return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(destination, text.data(), n);
  destination[n] = '\0';
  return static_cast<int32_t>(n);
}

} // namespace

#define NYVANTA_EXPORT extern "C" __attribute__((visibility("default")))

NYVANTA_EXPORT int32_t Nyvanta_Attach(void) {
  std::string why;
  const bool ok = score::Attach(sys::ModuleFolder(reinterpret_cast<const void*>(&Nyvanta_Attach)),
                                &why);
  score::S().error = ok ? std::string() : why;
  return ok ? 1 : 0;
}

NYVANTA_EXPORT int32_t Nyvanta_AttachError(char* text, int32_t size) {
  return CopyText(score::S().error, text, size);
}

NYVANTA_EXPORT int32_t Nyvanta_Detach(void) {
  score::Detach();
  return 1;
}

NYVANTA_EXPORT int32_t Nyvanta_InitDLL(void* coreModule, uint32_t parent) {
  score::CScoreController* c = C();
  if (!c)
    return 0;
  c->BindCore(static_cast<sys::ModuleHandle>(coreModule));
  return c->Create(parent) ? 1 : 0;
}

NYVANTA_EXPORT void* Nyvanta_GetModuleHandle(void) {
  static sys::ModuleHandle self = [] {
    auto lib = sys::Library::Load(
        sys::ModuleFolder(reinterpret_cast<const void*>(&Nyvanta_GetModuleHandle)), "Nyvanta");
    // The library holds itself for as long as it is loaded anyway.
    return lib ? lib->Release() : nullptr;
  }();
  return self;
}

NYVANTA_EXPORT intptr_t Nyvanta_EnableScoring(intptr_t enable) {
  OnController([enable](score::CScoreController& c) { return c.EnableScoring(enable); });
  return enable;
}

NYVANTA_EXPORT int32_t Nyvanta_SetRecSetting(uint16_t n, uint32_t rate) {
  return static_cast<int32_t>(OnController(
      [n, rate](score::CScoreController& c) { return c.SetRecSetting(n, rate); }));
}

NYVANTA_EXPORT int32_t Nyvanta_SetScoreParameter(const uint8_t* parameters, uint32_t periodMs) {
  std::vector<uint8_t> copy;
  if (parameters)
    copy.assign(parameters, parameters + score::kScoreParameterSize);
  return static_cast<int32_t>(OnController([copy, periodMs](score::CScoreController& c) {
    return c.SetScoreParameter(copy.empty() ? nullptr : copy.data(), periodMs);
  }));
}

NYVANTA_EXPORT int32_t Nyvanta_ShowStatusWindow(int32_t show) {
  return static_cast<int32_t>(OnController([show](score::CScoreController& c) -> intptr_t {
    return ui::ShowWindow(c.GetHwnd(), show ? ui::SW_SHOW : ui::SW_HIDE) ? 1 : 0;
  }));
}

NYVANTA_EXPORT int32_t Nyvanta_GetStatus(void) {
  return static_cast<int32_t>(OnController([](score::CScoreController& c) { return c.Scoring(); }));
}

NYVANTA_EXPORT int32_t Nyvanta_StartScoring(void) {
  return static_cast<int32_t>(
      OnController([](score::CScoreController& c) { return c.StartScoring(); }));
}

NYVANTA_EXPORT int32_t Nyvanta_TerminateScoring(void) {
  return static_cast<int32_t>(
      OnController([](score::CScoreController& c) { return c.TerminateScoring(); }));
}

NYVANTA_EXPORT int32_t Nyvanta_PauseScoring(int32_t pause) {
  return static_cast<int32_t>(
      OnController([pause](score::CScoreController& c) { return c.PauseScoring(pause); }));
}

NYVANTA_EXPORT int32_t Nyvanta_GetPausedStatus(void) {
  return static_cast<int32_t>(OnController([](score::CScoreController& c) { return c.Paused(); }));
}

NYVANTA_EXPORT int32_t Nyvanta_Calculate(void) {
  return static_cast<int32_t>(
      OnController([](score::CScoreController& c) { return c.Calculate(); }));
}

NYVANTA_EXPORT float Nyvanta_CalculateFloat(void) {
  auto value = std::make_shared<float>(0.0f);
  OnController([value](score::CScoreController& c) -> intptr_t {
    *value = c.CalculateFloat();
    return 1;
  });
  return *value;
}

NYVANTA_EXPORT int32_t Nyvanta_PP(void) {
  const std::string folder = score::Folder();
  return static_cast<int32_t>(
      OnController([folder](score::CScoreController& c) { return c.PlayVerdict(folder); }));
}

NYVANTA_EXPORT int16_t Nyvanta_GetNumCheck(void) {
  return static_cast<int16_t>(OnController(
      [](score::CScoreController& c) -> intptr_t { return c.Engine().VoiceChecks(); }));
}

NYVANTA_EXPORT int32_t Nyvanta_wiGetNumWAVDevices(void) {
  return static_cast<int32_t>(
      OnController([](score::CScoreController& c) -> intptr_t { return c.DeviceCount(); }));
}

NYVANTA_EXPORT void Nyvanta_wiSetCurDev(int16_t device) {
  OnController([device](score::CScoreController& c) -> intptr_t {
    c.SetCurrentDevice(device);
    return 1;
  });
}

NYVANTA_EXPORT int16_t Nyvanta_wiGetCurDev(void) {
  return static_cast<int16_t>(OnController(
      [](score::CScoreController& c) -> intptr_t { return c.CurrentDevice(); }, -1));
}

NYVANTA_EXPORT void Nyvanta_wiCheckWaveInDev(void) {
  OnController([](score::CScoreController& c) -> intptr_t {
    c.CheckDevices();
    return 1;
  });
}

NYVANTA_EXPORT uint8_t Nyvanta_wiGetWAVDevName(char* destination, int16_t device) {
  auto name = std::make_shared<std::array<char, 32>>();
  const auto n = static_cast<uint8_t>(
      OnController([name, device](score::CScoreController& c) -> intptr_t {
        return c.DeviceName(name->data(), device);
      }));
  if (n && destination)
    std::memcpy(destination, name->data(), n);
  return n;
}

NYVANTA_EXPORT int32_t Nyvanta_AddListener(uint32_t window) {
  return static_cast<int32_t>(OnController(
      [window](score::CScoreController& c) -> intptr_t { return c.Listeners().Add(window); }));
}

NYVANTA_EXPORT void Nyvanta_RemoveListener(uint32_t window) {
  OnController([window](score::CScoreController& c) -> intptr_t {
    c.Listeners().Remove(window);
    return 1;
  });
}

NYVANTA_EXPORT int32_t Nyvanta_GetCounters(NyvantaCounters* counters, int32_t size) {
  if (!counters || size != static_cast<int32_t>(sizeof(NyvantaCounters)))
    return 0;
  auto record = std::make_shared<NyvantaCounters>();
  OnController([record](score::CScoreController& c) -> intptr_t {
    NyvantaCounters& out = *record;
    const score::PitchEngine& e = c.Engine();
    out.score = e.ScoreFloat();
    out.status = e.SingingStatus();
    out.amplitude = e.Amplitude();
    out.frequency = e.Frequency();
    out.note = e.Note();
    out.pitchChecks = e.PitchChecks();
    out.errorCount = e.ErrorCount();
    out.errorSum = e.ErrorSum();
    out.voiceChecks = e.VoiceChecks();
    out.voiceHits = e.VoiceHits();
    out.emptyChecks = e.EmptyChecks();
    out.emptyHits = e.EmptyHits();
    out.blocks = c.Blocks();
    out.recording = c.Recording() ? 1 : 0;
    return 1;
  });
  *counters = *record;
  return size;
}

NYVANTA_EXPORT int32_t Nyvanta_GetLastError(char* text, int32_t size) {
  auto error = std::make_shared<std::string>();
  OnController([error](score::CScoreController& c) -> intptr_t {
    *error = c.LastError();
    return 1;
  });
  return CopyText(*error, text, size);
}
