#include "score/controller.h"

#include "platform/ui/modal/messagebox.h"
#include "platform/win/dispatch.h"
#include "platform/win/timer.h"
#include "platform/win/window.h"
#include "score/capture_rules.h"
#include "score/score_parameters.h"
#include "score/verdict.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>

namespace score {
namespace {

// A call carried over from another thread: lParam holds a Task*.
constexpr uint32_t kCallMessage = win::WM_APP + 0x1A3;
// How long a caller on another thread waits for the controller's thread.
constexpr auto kCallWait = std::chrono::seconds(2);
constexpr uint32_t kWsTabStop = 0x00010000u;

struct Task {
  std::function<intptr_t()> f;
  std::promise<intptr_t> result;
};

int LowWord(ui::LParam l) {
  return static_cast<int>(static_cast<uint32_t>(l) & 0xFFFF);
}
int HighWord(ui::LParam l) {
  return static_cast<int>((static_cast<uint32_t>(l) >> 16) & 0xFFFF);
}

} // namespace

CScoreController::CScoreController(std::string noDeviceText)
    : noDeviceText_(std::move(noDeviceText)) {
  CheckDevices();
  format_ = media::WaveFormat::Pcm(22050, 8, 1);
  ApplyFormat();
  NewBuffer(static_cast<uint16_t>(engine_.TransformLength()));
}

CScoreController::~CScoreController() {
  if (GetHwnd())
    win::DestroyWindow(GetHwnd());
  CloseDevice();
}

void CScoreController::BindCore(sys::ModuleHandle module) {
  core_.Bind(module);
}

bool CScoreController::Create(win::Hwnd parent) {
  if (GetHwnd())
    return true;
  win::CreateParams p;
  p.className = kControllerClass;
  p.title = kControllerTitle;
  p.style = win::WS_CHILD;
  p.parent = parent;
  p.width = 200;
  p.height = 300;
  p.object = this;
  return win::CreateWindow(p) != 0;
}

bool CScoreController::OnOwnThread() const {
  return GetHwnd() && win::GetWindowObject(GetHwnd()) == this;
}

intptr_t CScoreController::Call(const std::function<intptr_t()>& f) {
  if (!GetHwnd() || OnOwnThread())
    return f();
  // Posted and waited for within a bound, so that a controller thread that
  // is itself waiting for the caller cannot hang both.
  auto* task = new std::shared_ptr<Task>(std::make_shared<Task>());
  (*task)->f = f;
  std::future<intptr_t> result = (*task)->result.get_future();
  std::shared_ptr<Task> keep = *task;
  if (!win::PostMessage(GetHwnd(), kCallMessage, 0, reinterpret_cast<win::LParam>(task))) {
    delete task;
    return 0;
  }
  if (result.wait_for(kCallWait) != std::future_status::ready) {
    // The task runs later on its own copy of the call.
    return 0;
  }
  return result.get();
}

intptr_t CScoreController::EnableScoring(intptr_t enable) {
  enable_ = enable;
  return enable;
}

void CScoreController::NewBuffer(uint16_t n) {
  (void)n;
  recordBytes_ = static_cast<uint32_t>(engine_.BlockBytes());
  buffer_.assign(recordBytes_ + 1000, 0);
}

bool CScoreController::ApplyFormat() {
  score::CaptureFormat f;
  f.rate = format_.rate;
  f.bits = format_.bits;
  f.channels = format_.channels;
  const bool ok = engine_.SetFormat(f);
  recordBytes_ = static_cast<uint32_t>(engine_.BlockBytes());
  if (buffer_.size() < recordBytes_ + 1000)
    buffer_.assign(recordBytes_ + 1000, 0);
  return ok;
}

int32_t CScoreController::SetRecSetting(uint16_t n, uint32_t rate) {
  if (scoring_)
    return 0;
  if (n != 0) {
    if (!engine_.SetTransformLength(n))
      return 0;
    NewBuffer(n);
  }
  if (rate != 0)
    format_ = media::WaveFormat::Pcm(StandardCaptureRate(rate), 8, 1);
  ApplyFormat();
  return 1;
}

int32_t CScoreController::SetScoreParameter(const uint8_t* block, uint32_t periodMs) {
  if (block) {
    auto p = ReadScoreParameters(std::span<const uint8_t>(block, kScoreParameterSize));
    if (!p || !engine_.SetParameters(*p))
      return 0;
  }
  if (periodMs == 0)
    return 1;
  if (scoring_ && timerRunning_ && periodMs != periodMs_)
    win::SetTimer(GetHwnd(), kBlockTimer, periodMs);
  periodMs_ = periodMs;
  return 1;
}

bool CScoreController::OpenDevice() {
  if (open_)
    return true;
  media::WaveInHandle h = 0;
  const uint32_t r = media::WaveIn().Open(currentDevice_, format_, GetHwnd(), &h);
  if (r != media::kWaveOk) {
    error_ = media::WaveInErrorText(r);
    return false;
  }
  handle_ = h;
  open_ = true;
  return true;
}

void CScoreController::StopInput() {
  if (open_) {
    // Every queued buffer comes back, so that the device may close.
    media::WaveIn().Reset(handle_);
    media::WaveIn().Unprepare(handle_, &header_);
  }
  recording_ = false;
}

void CScoreController::CloseDevice() {
  if (!open_)
    return;
  StopInput();
  media::WaveIn().Close(handle_);
  handle_ = 0;
  open_ = false;
  recording_ = false;
}

int32_t CScoreController::StartScoring() {
  engine_.Start();
  blocks_ = 0;
  listeners_.Notify();
  if (!Enabled())
    return 0;
  std::string missing;
  if (!core_.Complete(&missing)) {
    error_ = "the player core lacks " + missing;
    return 0;
  }
  // A set-up made by this start is undone when the device does not open.
  const bool setUpBefore = mixer_.SetUpActive();
  if (mixer_.Available())
    mixer_.SetUp();
  if (!OpenDevice()) {
    if (!setUpBefore)
      mixer_.Restore();
    engine_.Stop();
    return 0;
  }
  if (!scoring_ || !timerRunning_) {
    scoring_ = 1;
    timerRunning_ = win::SetTimer(GetHwnd(), kBlockTimer, periodMs_) != 0;
  }
  paused_ = 0;
  return 1;
}

int32_t CScoreController::TerminateScoring() {
  if (mixer_.Available())
    mixer_.Restore();
  if (!scoring_)
    return 0;
  CloseDevice();
  scoring_ = 0;
  engine_.Stop();
  if (timerRunning_)
    win::KillTimer(GetHwnd(), kBlockTimer);
  timerRunning_ = false;
  paused_ = 0;
  listeners_.Notify();
  return 1;
}

int32_t CScoreController::PauseScoring(int32_t pause) {
  if (!scoring_)
    return 0;
  if (pause) {
    CloseDevice();
    if (timerRunning_)
      win::KillTimer(GetHwnd(), kBlockTimer);
    timerRunning_ = false;
    paused_ = 1;
    return 1;
  }
  if (!OpenDevice())
    return 0;
  timerRunning_ = win::SetTimer(GetHwnd(), kBlockTimer, periodMs_) != 0;
  paused_ = 0;
  return 1;
}

int32_t CScoreController::Calculate() const {
  return Enabled() ? engine_.Score() : 0;
}

float CScoreController::CalculateFloat() const {
  return Enabled() ? engine_.ScoreFloat() : 0.0f;
}

int32_t CScoreController::PlayVerdict(const std::string& folder) const {
  return PlayVerdictOf(CalculateFloat(), folder);
}

int32_t CScoreController::PlayVerdictOf(float value, const std::string& folder) const {
  if (!Enabled())
    return 0;
  score::PlayVerdict(static_cast<int32_t>(value), folder);
  return 1;
}

void CScoreController::SetCurrentDevice(int16_t device) {
  currentDevice_ = device == deviceCount_ ? static_cast<int16_t>(media::kWaveMapper) : device;
}

void CScoreController::CheckDevices() {
  const int count = media::WaveIn().Count();
  deviceCount_ = static_cast<int16_t>(std::clamp(count, 0, 0x7FFF));
  if (count <= 0) {
    ui::MessageBox(noDeviceText_, "Nyvanta", ui::MB_OK | ui::MB_ICONEXCLAMATION);
    return;
  }
  for (int d = 0; d < std::min(count, kMaxWaveInDevices); ++d) {
    media::WaveInCaps caps;
    if (!media::WaveIn().Caps(d, &caps)) {
      ui::MessageBox(media::WaveInErrorText(media::kWaveBadDevice), "Nyvanta",
                     ui::MB_OK | ui::MB_ICONEXCLAMATION);
      continue;
    }
    caps_[static_cast<size_t>(d)] = caps;
    format_ = CaptureFormatFromCaps(caps);
  }
  ApplyFormat();
}

uint8_t CScoreController::DeviceName(char* destination, int16_t device) const {
  if (!destination || device < 0 || device >= std::min<int>(deviceCount_, kMaxWaveInDevices))
    return 0;
  const auto& name = caps_[static_cast<size_t>(device)].name;
  const size_t length = strnlen(name.data(), name.size() - 1);
  std::memcpy(destination, name.data(), length);
  destination[length] = '\0';
  return static_cast<uint8_t>(length + 1);
}

std::span<const uint8_t> CScoreController::Block() const {
  return {buffer_.data(), std::min<size_t>(lastRecorded_, buffer_.size())};
}

void CScoreController::StartBlock() {
  if (recording_ || !open_)
    return;
  header_.data = buffer_.data();
  header_.size = recordBytes_;
  if (media::WaveIn().Prepare(handle_, &header_) != media::kWaveOk)
    return;
  if (media::WaveIn().Add(handle_, &header_) != media::kWaveOk ||
      media::WaveIn().Start(handle_) != media::kWaveOk) {
    media::WaveIn().Reset(handle_);
    media::WaveIn().Unprepare(handle_, &header_);
    return;
  }
  recording_ = true;
  if (core_.Complete(nullptr))
    player_ = core_.Read();
}

void CScoreController::BlockDone(media::WaveInHeader* header) {
  // A notice of a buffer given back by a stop, or of an earlier capture,
  // finds no block being recorded.
  if (header != &header_ || !recording_ || !(header_.flags.load() & media::kHeaderDone))
    return;
  media::WaveIn().Stop(handle_);
  media::WaveIn().Unprepare(handle_, &header_);
  recording_ = false;
  lastRecorded_ = std::min<uint32_t>(header_.bytesRecorded.load(), recordBytes_);
  if (!scoring_ || paused_)
    return;
  engine_.AnalyseBlock(Block(), player_);
  ++blocks_;
  listeners_.Notify();
}

void CScoreController::DestroyStatusWindow() {
  if (statusWindow_ && win::IsWindow(statusWindow_))
    win::DestroyWindow(statusWindow_);
  statusWindow_ = 0;
  statusObject_ = nullptr;
}

ui::LResult CScoreController::OnMessage(uint32_t message, ui::WParam wParam, ui::LParam lParam) {
  switch (message) {
  case win::WM_CREATE:
    mixer_.Open(GetHwnd());
    break;
  case win::WM_DESTROY:
    if (scoring_)
      TerminateScoring();
    mixer_.Close();
    CloseDevice();
    statusWindow_ = 0;
    statusObject_ = nullptr;
    break;
  case win::WM_TIMER:
    if (wParam == kBlockTimer) {
      StartBlock();
      return 0;
    }
    break;
  case media::MM_WIM_DATA:
    BlockDone(reinterpret_cast<media::WaveInHeader*>(lParam));
    return 0;
  case media::MM_MIXM_CONTROL_CHANGE:
    if (scoring_)
      mixer_.ControlChanged(static_cast<uint32_t>(lParam));
    return 0;
  case media::MM_MIXM_LINE_CHANGE:
    return 0;
  case win::WM_USER:
    if (wParam == kScoreTerminate) {
      TerminateScoring();
      return 0;
    }
    break;
  case win::WM_SHOWWINDOW:
    if (wParam) {
      if (!statusWindow_ && win::IsClassRegistered(kStatusClass)) {
        const auto client = ui::GetClientRect(GetHwnd());
        win::CreateParams p;
        p.className = kStatusClass;
        p.title = "Disp";
        p.style = win::WS_CHILD | win::WS_VISIBLE | kWsTabStop;
        p.parent = GetHwnd();
        p.id = kStatusWindowId;
        p.width = client ? client->Width() : 200;
        p.height = client ? client->Height() : 300;
        statusWindow_ = win::CreateWindow(p);
        if (statusWindow_)
          win::SendMessage(statusWindow_, win::WM_COMMAND, kQueryControlObject,
                           reinterpret_cast<win::LParam>(&statusObject_));
      }
    } else {
      DestroyStatusWindow();
    }
    break;
  case win::WM_SIZE:
    if (statusWindow_)
      ui::MoveWindow(statusWindow_, 0, 0, LowWord(lParam), HighWord(lParam));
    break;
  case kCallMessage: {
    auto* task = reinterpret_cast<std::shared_ptr<Task>*>(lParam);
    const intptr_t r = (*task)->f();
    (*task)->result.set_value(r);
    delete task;
    return r;
  }
  default:
    break;
  }
  return Default(message, wParam, lParam);
}

} // namespace score
