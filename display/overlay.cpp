#include "display/overlay.h"

#include "platform/media/mci.h"
#include "platform/sys/ini.h"
#include "platform/ui/window/screen.h"
#include "platform/win/window.h"

#include <cstdlib>

namespace display {
namespace {

bool Ok(std::string_view command, std::string* answer = nullptr) {
  return media::mci::SendString(command, answer) == media::mci::kOk;
}

} // namespace

bool OverlayCard::Probe() {
  available_ = false;
  model_ = false;
  if (!Ok("open overlay style overlapped"))
    return false;
  std::string product;
  if (Ok("info overlay product", &product))
    model_ = product == kOverlayModel;
  Ok("close overlay");
  available_ = true;
  return true;
}

bool OverlayCard::Open(win::Hwnd window, std::string_view windowText) {
  if (open_)
    return true;
  std::string handle;
  if (!Ok("open overlay style overlapped"))
    return false;
  const bool opened = Ok("window overlay handle " + std::to_string(window)) &&
                      Ok("status overlay window handle", &handle) &&
                      Ok("window overlay text " + std::string(windowText)) &&
                      Ok("set overlay video key on");
  if (!opened) {
    Ok("close overlay");
    return false;
  }
  cardWindow_ = static_cast<win::Hwnd>(std::strtoul(handle.c_str(), nullptr, 10));
  std::string type;
  if (model_) {
    Ok("set overlay video key color to 255:0:255");
    keyColour_ = gdi::Rgb(255, 0, 255);
  } else if (Ok("capability overlay card type", &type) && std::atoi(type.c_str()) == 3) {
    Ok("set overlay card type to 3");
    Ok("set overlay video key color to 128:0:128");
    keyColour_ = gdi::Rgb(128, 0, 128);
  } else {
    keyColour_ = 0;
  }
  if (auto cls = win::GetClassName(window))
    ui::SetClassBackground(*cls, keyColour_);
  open_ = true;
  return true;
}

void OverlayCard::Close() {
  if (!open_)
    return;
  Ok("close overlay");
  open_ = false;
}

bool OverlayCard::Place(int32_t width, int32_t height) {
  if (!open_)
    return false;
  return Ok("put overlay destination at " + std::to_string(positions_.destX) + " " +
            std::to_string(positions_.destY) + " " + std::to_string(width) + " " +
            std::to_string(height));
}

bool OverlayCard::SelectSource(int32_t source) {
  return Ok("set overlay source number to " + std::to_string(source == 2 ? 3 : source));
}

bool OverlayCard::SetPictureValue(std::string_view name, int32_t value) {
  return Ok("set overlay " + std::string(name) + " to " + std::to_string(value));
}

bool OverlayCard::VideoOn() {
  return open_ && Ok("set overlay video on");
}

bool OverlayCard::VideoOff() {
  return open_ && Ok("set overlay video off");
}

void OverlayCard::ReadPositions(const std::string& configPath) {
  positions_ = ReadOverlaySettings(configPath);
}

bool OverlayCard::WritePositions(const std::string& configPath) const {
  return WriteOverlayPositions(configPath, positions_);
}

} // namespace display
