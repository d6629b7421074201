#include "sequencer/engine/notices.h"

#include "platform/ui/modal/messagebox.h"
#include "sequencer/engine/state.h"

#include <atomic>

namespace seq {
namespace {

std::atomic<NoticePoster> poster{nullptr};

void ShowSystemBox(const char* text, const char* caption) {
  ui::MessageBox(text, caption, ui::MB_OK, 0);
}

std::atomic<MessageBoxShower> shower{&ShowSystemBox};

} // namespace

void SetNoticePoster(NoticePoster p) {
  poster.store(p, std::memory_order_release);
}

void PostNotice(uint32_t message, uint64_t wParam, int64_t lParam) {
  NoticePoster p = poster.load(std::memory_order_acquire);
  if (p)
    p(State().window.Load(), message, wParam, lParam);
}

void PostEndNotify(int64_t lParam) {
  PostNotice(kPavikWmUser, State().endCode.Load(), lParam);
}

void PostProgressNotify(int64_t lParam) {
  PostNotice(kPavikWmUser, State().progressCode.Load(), lParam);
}

void PostMeterNotify() {
  PostNotice(kPavikWmUser, State().meterCode.Load(), 100);
}

void PostRealTimeEvent(uint16_t track, uint32_t postValue) {
  // The post value is the player core's signed song event index.
  PostNotice(State().realTimeMessage.Load(), track, static_cast<int32_t>(postValue));
}

void SetMessageBoxShower(MessageBoxShower s) {
  shower.store(s ? s : &ShowSystemBox, std::memory_order_release);
}

void ShowErrorBox(const char* text, const char* caption) {
  shower.load(std::memory_order_acquire)(text, caption);
}

} // namespace seq

extern "C" void Pavik32_SetNoticePoster(PavikNoticePoster p) {
  seq::SetNoticePoster(p);
}
