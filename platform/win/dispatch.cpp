// Send and post: straight to the procedure on the window's own thread, through
// the owner thread's queue within the process, or over the owner process's
// socket.
#include "platform/win/dispatch.h"

#include "platform/win/internal.h"
#include "platform/win/timer.h"

namespace win {
namespace {

using namespace detail;

std::optional<LResult> SendLocalElsewhere(const std::shared_ptr<WindowRec>& rec, uint32_t message,
                                          WParam wParam, LParam lParam, const CopyPayload* copy,
                                          const Deadline& deadline) {
  auto self = CurrentQueue();
  auto reply = std::make_shared<LocalReply>();
  reply->sender = self;
  IncomingSend send;
  send.hwnd = rec->hwnd;
  send.message = message;
  send.wParam = wParam;
  send.lParam = lParam;
  if (copy) {
    // By value, so that a sender that gave up leaves nothing dangling.
    send.hasCopyData = true;
    send.copyKind = copy->kind;
    auto* bytes = static_cast<const uint8_t*>(copy->data);
    send.bytes.assign(bytes, bytes + copy->size);
  }
  send.local = reply;
  if (!rec->queue->PushSend(std::move(send)))
    return std::nullopt;
  self->EnterSendWait();
  std::optional<LResult> out;
  auto spinUntil = Clock::now() + kSendSpin;
  for (;;) {
    while (self->DeliverOneSend()) {
    }
    {
      sys::MutexLock lock(self->mu);
      if (reply->done) {
        if (reply->delivered)
          out = reply->result;
        break;
      }
    }
    int timeout = -1;
    if (deadline) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0)
        break;
      timeout = static_cast<int>(std::min<int64_t>(left.count() + 1, 1 << 30));
    }
    if (Clock::now() < spinUntil) {
      std::this_thread::yield();
      continue;
    }
    self->Wait(timeout, false, -1);
  }
  self->LeaveSendWait();
  return out;
}

std::optional<LResult> SendImpl(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam,
                                const CopyPayload* copy, const Deadline& deadline) {
  if (hwnd == 0 || hwnd == kHwndMessage)
    return std::nullopt;
  if (copy && (copy->size > kMaxCopyDataSize || (copy->size && !copy->data)))
    return std::nullopt;
  if (!IsLocalHandle(hwnd)) {
    RemoteAnswer answer = RemoteSend(hwnd, message, wParam, lParam, copy, deadline);
    return answer.delivered ? std::optional(answer.result) : std::nullopt;
  }
  auto rec = Reg().Lookup(hwnd);
  if (!rec)
    return std::nullopt;
  if (rec->owner != std::this_thread::get_id())
    return SendLocalElsewhere(rec, message, wParam, lParam, copy, deadline);
  if (rec->finalized)
    return std::nullopt;
  CopyData data;
  if (copy) {
    data.kind = copy->kind;
    data.size = copy->size;
    data.data = copy->data;
    lParam = reinterpret_cast<LParam>(&data);
  }
  return CallWindow(rec, message, wParam, lParam);
}

Deadline After(uint32_t timeoutMs) {
  return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace

LResult SendMessage(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_COPYDATA) {
    // Without a size the bytes cannot be copied; pass what lParam describes.
    const CopyData* data = AsCopyData(lParam);
    if (!data)
      return 0;
    CopyPayload copy{data->kind, data->data, data->size};
    return SendImpl(hwnd, message, wParam, 0, &copy, std::nullopt).value_or(0);
  }
  return SendImpl(hwnd, message, wParam, lParam, nullptr, std::nullopt).value_or(0);
}

std::optional<LResult> SendMessageTimeout(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam,
                                          uint32_t timeoutMs) {
  if (message == WM_COPYDATA) {
    const CopyData* data = AsCopyData(lParam);
    if (!data)
      return std::nullopt;
    CopyPayload copy{data->kind, data->data, data->size};
    return SendImpl(hwnd, message, wParam, 0, &copy, After(timeoutMs));
  }
  return SendImpl(hwnd, message, wParam, lParam, nullptr, After(timeoutMs));
}

LResult SendCopyData(Hwnd hwnd, Hwnd from, uintptr_t kind, const void* data, uint32_t size) {
  CopyPayload copy{kind, data, size};
  return SendImpl(hwnd, WM_COPYDATA, from, 0, &copy, std::nullopt).value_or(0);
}

std::optional<LResult> SendCopyDataTimeout(Hwnd hwnd, Hwnd from, uintptr_t kind, const void* data,
                                           uint32_t size, uint32_t timeoutMs) {
  CopyPayload copy{kind, data, size};
  return SendImpl(hwnd, WM_COPYDATA, from, 0, &copy, After(timeoutMs));
}

bool PostMessage(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam) {
  if (hwnd == 0 || hwnd == kHwndMessage || message == WM_COPYDATA)
    return false;
  if (!IsLocalHandle(hwnd))
    return RemotePost(hwnd, message, wParam, lParam);
  auto rec = Reg().Lookup(hwnd);
  if (!rec)
    return false;
  return rec->queue->Post(Msg{hwnd, message, wParam, lParam, static_cast<uint32_t>(TimerNowMs())});
}

} // namespace win
