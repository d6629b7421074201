#include "display/mpeg.h"

#include "platform/media/mci.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

namespace display {
namespace {

bool Send(const std::string& command, win::Hwnd notify) {
  return media::mci::SendString(command, nullptr, 128, notify) == media::mci::kOk;
}

} // namespace

bool MpegPlayer::Command(const std::string& command) {
  return open_ && Send(command, window_);
}

bool MpegPlayer::Detect(win::Hwnd window) {
  present_ = false;
  lastOpenResult_ = media::mci::SendString("open mpegvideo type mpegvideo", nullptr, 128, window);
  if (lastOpenResult_ != media::mci::kOk)
    return false;
  std::string product;
  if (media::mci::SendString("info mpegvideo product", &product, 128, window) == media::mci::kOk)
    present_ = product == kMpegProduct;
  Send("close mpegvideo", window);
  return present_;
}

bool MpegPlayer::Open(win::Hwnd window, std::string_view title) {
  if (!present_)
    return false;
  auto send = [&](const std::string& c) { return Send(c, window); };
  if (!send("open mpegvideo style overlapped"))
    return false;
  const bool ok = send("window mpegvideo handle " + std::to_string(window)) &&
                  send("window mpegvideo text " + std::string(title)) &&
                  send("put mpegvideo destination") && send("set mpegvideo time format ms") &&
                  send("set mpegvideo video key color to 128:0:128");
  if (!ok) {
    send("close mpegvideo");
    return false;
  }
  if (auto cls = win::GetClassName(window))
    ui::SetClassBackground(*cls, kMpegKeyColour);
  window_ = window;
  open_ = true;
  loaded_ = false;
  return true;
}

void MpegPlayer::Close() {
  if (!open_)
    return;
  Command("close mpegvideo");
  open_ = false;
  loaded_ = false;
}

bool MpegPlayer::Load(std::string_view file) {
  // Quoted, so that blanks and long paths reach the device whole.
  if (!Command("load mpegvideo " + media::mci::QuoteWord(file, true)))
    return false;
  loaded_ = true;
  return true;
}

bool MpegPlayer::Play() {
  return Command("play mpegvideo repeat notify");
}
bool MpegPlayer::Stop() {
  return Command("stop mpegvideo");
}
bool MpegPlayer::SeekStart() {
  return Command("seek mpegvideo to start");
}
bool MpegPlayer::SeekEnd() {
  return Command("seek mpegvideo to end");
}
bool MpegPlayer::Forward(int32_t n) {
  return Command("seek mpegvideo forward by " + std::to_string(n));
}
bool MpegPlayer::Backward(int32_t n) {
  return Command("seek mpegvideo backward by " + std::to_string(n));
}
bool MpegPlayer::Resume() {
  return Command("resume mpegvideo notify");
}
bool MpegPlayer::Slow(int32_t n) {
  return Command("play mpegvideo slow " + std::to_string(n) + " notify");
}
bool MpegPlayer::Pause() {
  return Command("pause mpegvideo");
}
bool MpegPlayer::Configure() {
  return Command("configure mpegvideo");
}
bool MpegPlayer::Fit() {
  return Command("put mpegvideo destination");
}
bool MpegPlayer::VideoOff() {
  return open_ && Send("set mpegvideo video off", 0);
}
bool MpegPlayer::VideoOn() {
  return open_ && Send("set mpegvideo video on", 0);
}

bool MpegPlayer::ModeIs(std::string_view mode) {
  std::string answer;
  if (!open_ || media::mci::SendString("status mpegvideo mode", &answer, kModeAnswerSize,
                                       window_) != media::mci::kOk)
    return false;
  return answer == mode;
}

bool MpegPlayer::IsPlaying() {
  return ModeIs("playing");
}
bool MpegPlayer::IsPaused() {
  return ModeIs("paused");
}
bool MpegPlayer::IsStopped() {
  return ModeIs("stopped");
}
bool MpegPlayer::Audio(bool on) {
  return Command(on ? "setaudio mpegvideo on" : "setaudio mpegvideo off");
}

} // namespace display
