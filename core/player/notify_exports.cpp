// The exports of the notification window and the display protocol; nothing
// crosses them as an exception.
#include "core/player/notify_exports.h"

#include "core/player/notifywnd.h"

namespace {

template <typename F> int32_t Guarded(F f, int32_t failed) {
  try {
    return f();
  } catch (...) {
    return failed;
  }
}

} // namespace

using core::TheNotifyWnd;

extern "C" {

int32_t tamblo_RegisterStopMsg(uint32_t w) {
  return TheNotifyWnd().AddStopClient(w);
}
int32_t tamblo_RegisterProgMsg(uint32_t w) {
  return TheNotifyWnd().AddProgClient(w);
}
int32_t tamblo_RegisterMiscMsg(uint32_t w) {
  return TheNotifyWnd().AddMiscClient(w);
}
int32_t tamblo_RegisterEventMsg(uint32_t w) {
  return TheNotifyWnd().AddEventClient(w);
}
int32_t tamblo_RegisterNotifications(uint32_t w) {
  return TheNotifyWnd().AddNotifyClient(w);
}
int32_t tamblo_UnregisterStopMsg(uint32_t w) {
  return TheNotifyWnd().RemoveStopClient(w);
}
int32_t tamblo_UnregisterProgMsg(uint32_t w) {
  return TheNotifyWnd().RemoveProgClient(w);
}
int32_t tamblo_UnregisterMiscMsg(uint32_t w) {
  return TheNotifyWnd().RemoveMiscClient(w);
}
int32_t tamblo_UnregisterEventMsg(uint32_t w) {
  return TheNotifyWnd().RemoveEventClient(w);
}
int32_t tamblo_UnregisterNotifications(uint32_t w) {
  return TheNotifyWnd().RemoveNotifyClient(w);
}

int32_t tamblo_TitleTransmit(uint32_t w) {
  return Guarded([&] { return core::TitleTransmit(w); }, -1);
}
int32_t tamblo_LyricTransmit(uint32_t w) {
  return Guarded([&] { return core::LyricTransmit(w); }, -1);
}
int32_t tamblo_LineInfoTransmit(uint32_t w, int16_t line) {
  return Guarded([&] { return core::LineInfoTransmit(w, line); }, -1);
}
int32_t tamblo_RTEventTransmit(uint32_t w, int16_t track, int32_t index) {
  return Guarded([&] { return core::RTEventTransmit(w, track, index); }, -1);
}
int32_t tamblo_LyricTextTransmit(uint32_t w) {
  return Guarded([&] { return core::LyricTextTransmit(w); }, -1);
}
uint32_t tamblo_GetLyricWnd(void) {
  return core::DisplayWindow();
}

int32_t tamblo_DisplayTitle(const char* pageFile) {
  return Guarded([&] { return core::DisplayTitle(pageFile); }, 0);
}
int32_t tamblo_ClearHtm(void) {
  return Guarded([&] { return core::ClearHtm(); }, 0);
}
int32_t tamblo_DisplayHtm(const char* text) {
  return Guarded([&] { return core::DisplayHtm(text); }, 0);
}

} // extern "C"
