#include "display/mpeg.h"

#include "display/mci.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

namespace display {

bool MpegPlayer::Command(const std::string& command) {
  return open_ && MciSendString(command, nullptr, 128, window_) == kMciOk;
}

bool MpegPlayer::Detect(win::Hwnd window) {
  present_ = false;
  if (MciSendString("open mpegvideo type mpegvideo", nullptr, 128, window) != kMciOk)
    return false;
  std::string product;
  if (MciSendString("info mpegvideo product", &product, 128, window) == kMciOk)
    present_ = product == kMpegProduct;
  MciSendString("close mpegvideo", nullptr, 128, window);
  return present_;
}

bool MpegPlayer::Open(win::Hwnd window, std::string_view title) {
  if (!present_)
    return false;
  auto send = [&](const std::string& c) {
    return MciSendString(c, nullptr, 128, window) == kMciOk;
  };
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
  if (!Command("load mpegvideo " + std::string(file)))
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
  return open_ && MciSendString("set mpegvideo video off") == kMciOk;
}
bool MpegPlayer::VideoOn() {
  return open_ && MciSendString("set mpegvideo video on") == kMciOk;
}

bool MpegPlayer::ModeIs(std::string_view mode) {
  std::string answer;
  if (!open_ || MciSendString("status mpegvideo mode", &answer, 11, window_) != kMciOk)
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
