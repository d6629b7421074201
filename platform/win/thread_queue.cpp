// The per-thread queue and its delivery: on the thread's Qt event loop when
// there is a Qt application, else by the waits of this layer's own loops.
#include "platform/sys/log.h"
#include "platform/win/dispatch.h"
#include "platform/win/internal.h"
#include "platform/win/timer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace win::detail {
namespace {

// Posted messages delivered per turn of the Qt loop before it gets a chance
// at its own events.
constexpr size_t kBudget = 512;

// Trivially destructible, so still readable after the holder is gone.
thread_local bool tHolderGone = false;

struct QueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  ~QueueHolder() {
    if (queue)
      queue->Close();
    queue.reset();
    tHolderGone = true;
  }
};
thread_local QueueHolder tQueue;

// The receive time of the sent message being handled on this thread.
thread_local int64_t tReceivedNs = 0;

// Sets the receive time for one delivery and restores the outer one, since a
// handler that sends and waits delivers further sends meanwhile.
class ReceiveTimeScope {
public:
  explicit ReceiveTimeScope(int64_t ns) : outer_(tReceivedNs) { tReceivedNs = ns; }
  ~ReceiveTimeScope() { tReceivedNs = outer_; }
  ReceiveTimeScope(const ReceiveTimeScope&) = delete;
  ReceiveTimeScope& operator=(const ReceiveTimeScope&) = delete;

private:
  const int64_t outer_;
};

// Qt runs and forgets its post routines when an application object ends, so
// the routine is added again for every application the main thread makes.
// Only the main thread touches this.
bool postRoutineAdded = false;

void OnApplicationGone() {
  postRoutineAdded = false;
  if (!tHolderGone && tQueue.queue)
    tQueue.queue->DropPump();
}

bool DeliverPosted(ThreadQueue& q, Msg& msg) {
  if (q.Filtered(msg))
    return false;
  DispatchMessage(msg);
  return true;
}

} // namespace

// Delivers the queue on the owner thread's Qt loop: the queue's event
// descriptor wakes it for messages, a precise timer for the window timers.
// Nothing crosses threads through Qt itself: what is handed over is under
// the queue's own lock.
class QueuePump : public QObject {
public:
  explicit QueuePump(ThreadQueue* queue, int eventFd)
      : queue_(queue), notifier_(eventFd, QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, this, [this] {
      queue_->Drain();
      queue_->Pump(kBudget);
    });
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] {
      queue_->PumpTimers();
      queue_->ScheduleTimer();
    });
  }

  QTimer timer_;

private:
  ThreadQueue* queue_;
  QSocketNotifier notifier_;
};

ThreadQueue::ThreadQueue() : owner(std::this_thread::get_id()) {
  eventFd_.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!eventFd_)
    std::perror("win: eventfd");
}

ThreadQueue::~ThreadQueue() = default;

void ThreadQueue::SignalLocked() {
  if (signalled_ || !eventFd_)
    return;
  signalled_ = true;
  uint64_t one = 1;
  while (::write(eventFd_.Get(), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void ThreadQueue::WakeLocked(bool forPost) {
  // A thread waiting for an answer takes no posted messages; LeaveSendWait
  // wakes it for them afterwards.
  if (forPost && sendWaiters_ > 0 && !loopWaiting_)
    return;
  SignalLocked();
}

void ThreadQueue::Drain() {
  sys::MutexLock lock(mu);
  uint64_t count;
  while (::read(eventFd_.Get(), &count, sizeof count) < 0 && errno == EINTR) {
  }
  signalled_ = false;
}

bool ThreadQueue::Post(const Msg& msg) {
  sys::MutexLock lock(mu);
  if (closed_)
    return false;
  posted_.push_back(msg);
  WakeLocked(true);
  return true;
}

bool ThreadQueue::PushSend(IncomingSend&& send) {
  sys::MutexLock lock(mu);
  if (closed_)
    return false;
  sends_.push_back(std::move(send));
  WakeLocked(false);
  return true;
}

void ThreadQueue::CompleteLocal(LocalReply& reply, bool delivered, LResult result) {
  sys::MutexLock lock(mu);
  reply.done = true;
  reply.delivered = delivered;
  reply.result = result;
  WakeLocked(false);
}

void ThreadQueue::WakeForTimers() {
  sys::MutexLock lock(mu);
  if (!closed_)
    WakeLocked(true);
}

size_t ThreadQueue::PostedCount() {
  sys::MutexLock lock(mu);
  return posted_.size();
}

bool ThreadQueue::DeliverOneSend() {
  IncomingSend send;
  {
    sys::MutexLock lock(mu);
    if (sends_.empty())
      return false;
    send = std::move(sends_.front());
    sends_.pop_front();
  }
  auto rec = Reg().LookupOwn(send.hwnd);
  if (!rec) {
    Answer(send, false, 0);
    return true;
  }
  LParam lParam = send.lParam;
  CopyData copy;
  if (send.hasCopyData) {
    copy.kind = send.copyKind;
    copy.size = static_cast<uint32_t>(send.bytes.size());
    copy.data = send.bytes.data();
    lParam = reinterpret_cast<LParam>(&copy);
  }
  LResult result = 0;
  {
    ReceiveTimeScope receiveTime(send.receivedNs);
    result = CallWindow(rec, send.message, send.wParam, lParam);
  }
  Answer(send, true, result);
  return true;
}

int ThreadQueue::Pump(size_t budget) {
  int delivered = 0;
  size_t postedTaken = 0;
  for (;;) {
    if (DeliverOneSend()) {
      ++delivered;
      if (LoopDone())
        break;
      continue;
    }
    if (postedTaken >= budget)
      break;
    Msg msg;
    {
      sys::MutexLock lock(mu);
      if (posted_.empty())
        break;
      msg = posted_.front();
      posted_.pop_front();
    }
    ++postedTaken;
    ++delivered;
    if (msg.message == WM_QUIT && msg.hwnd == 0) {
      QuitInnermost(static_cast<int>(msg.wParam));
      break;
    }
    DeliverPosted(*this, msg);
    if (LoopDone())
      break;
  }
  if (!LoopDone())
    PumpTimers();
  sys::MutexLock lock(mu);
  if (!posted_.empty() || !sends_.empty())
    WakeLocked(true);
  return delivered;
}

bool ThreadQueue::Filtered(Msg& msg) {
  for (size_t i = 0; i < filters_.size(); ++i) {
    std::shared_ptr<MessageFilter> filter = filters_[i].second;
    bool consumed = false;
    try {
      consumed = (*filter)(msg);
    } catch (...) {
      sys::Warn("win", "a message filter threw on message 0x%04x", msg.message);
    }
    if (consumed)
      return true;
  }
  return false;
}

int ThreadQueue::AddFilter(MessageFilter filter) {
  const int id = nextFilterId_++;
  filters_.emplace_back(id, std::make_shared<MessageFilter>(std::move(filter)));
  return id;
}

bool ThreadQueue::RemoveFilter(int id) {
  auto it = std::find_if(filters_.begin(), filters_.end(),
                         [id](const auto& f) { return f.first == id; });
  if (it == filters_.end())
    return false;
  filters_.erase(it);
  return true;
}

bool ThreadQueue::LoopDone() {
  if (loops_.empty())
    return false;
  LoopFrame* top = loops_.back();
  if (!top->quit && top->done && (*top->done)()) {
    top->quit = true;
    if (top->qt)
      top->qt->exit(0);
  }
  return top->quit;
}

void ThreadQueue::QuitInnermost(int code) {
  if (loops_.empty()) {
    pendingQuit_ = code;
    return;
  }
  LoopFrame* top = loops_.back();
  top->quit = true;
  top->code = code;
  if (top->qt)
    top->qt->exit(code);
}

std::optional<int> ThreadQueue::TakePendingQuit() {
  std::optional<int> code = pendingQuit_;
  pendingQuit_.reset();
  return code;
}

void ThreadQueue::ArmTimer(Hwnd hwnd, uint32_t id, uint64_t periodMs, uint64_t dueMs) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const TimerEntry& t) { return t.hwnd == hwnd && t.id == id; });
  if (it != timers_.end()) {
    it->periodMs = periodMs;
    it->dueMs = dueMs;
    it->seq = ++timerSeq_;
  } else {
    timers_.push_back(TimerEntry{hwnd, id, periodMs, dueMs, ++timerSeq_, 0});
  }
  ScheduleTimer();
}

bool ThreadQueue::DropTimer(Hwnd hwnd, uint32_t id) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const TimerEntry& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers_.end())
    return false;
  timers_.erase(it);
  ScheduleTimer();
  return true;
}

void ThreadQueue::DropTimersOf(Hwnd hwnd) {
  std::erase_if(timers_, [&](const TimerEntry& t) { return t.hwnd == hwnd; });
  ScheduleTimer();
}

void ThreadQueue::PumpTimers() {
  if (timers_.empty())
    return;
  uint64_t now = TimerNowMs();
  uint64_t round = ++timerRound_;
  for (;;) {
    // Each due timer ticks once per round, earliest first; a handler may
    // kill or set timers, so the choice is made afresh every time.
    TimerEntry* best = nullptr;
    for (auto& t : timers_) {
      if (t.round == round || t.dueMs > now)
        continue;
      if (!best || t.dueMs < best->dueMs || (t.dueMs == best->dueMs && t.seq < best->seq))
        best = &t;
    }
    if (!best)
      break;
    best->round = round;
    best->dueMs += best->periodMs;
    if (best->dueMs <= now)
      best->dueMs = now + best->periodMs;
    Msg msg{best->hwnd, WM_TIMER, best->id, 0, static_cast<uint32_t>(now)};
    DeliverPosted(*this, msg);
  }
}

std::optional<uint64_t> ThreadQueue::NextTimerDue() const {
  std::optional<uint64_t> next;
  for (const auto& t : timers_)
    if (!next || t.dueMs < *next)
      next = t.dueMs;
  return next;
}

void ThreadQueue::ScheduleTimer() {
  auto* p = static_cast<QueuePump*>(pump_);
  if (!p)
    return;
  auto next = NextTimerDue();
  if (!next || ManualClockInstalled()) {
    p->timer_.stop();
    return;
  }
  uint64_t now = TimerNowMs();
  uint64_t wait = *next > now ? *next - now : 0;
  p->timer_.start(static_cast<int>(std::min<uint64_t>(wait, 1u << 30)));
}

short ThreadQueue::Wait(int timeoutMs, bool forLoop, int extraFd) {
  {
    sys::MutexLock lock(mu);
    if (!sends_.empty() || (forLoop && !posted_.empty()))
      return 0;
    if (forLoop)
      loopWaiting_ = true;
  }
  pollfd fds[2] = {{eventFd_.Get(), POLLIN, 0}, {extraFd, POLLIN, 0}};
  int n = ::poll(fds, extraFd >= 0 ? 2 : 1, timeoutMs);
  sys::MutexLock lock(mu);
  if (forLoop)
    loopWaiting_ = false;
  if (n > 0 && (fds[0].revents & POLLIN)) {
    uint64_t count;
    while (::read(eventFd_.Get(), &count, sizeof count) < 0 && errno == EINTR) {
    }
    signalled_ = false;
  }
  return n > 0 && extraFd >= 0 ? fds[1].revents : 0;
}

void ThreadQueue::EnterSendWait() {
  sys::MutexLock lock(mu);
  ++sendWaiters_;
}

void ThreadQueue::LeaveSendWait() {
  sys::MutexLock lock(mu);
  if (--sendWaiters_ == 0 && !posted_.empty())
    WakeLocked(true);
}

void ThreadQueue::EnsurePump() {
  if (pump_ || !QCoreApplication::instance())
    return;
  if (QThread::currentThread() == QCoreApplication::instance()->thread() && !postRoutineAdded) {
    qAddPostRoutine(OnApplicationGone);
    postRoutineAdded = true;
  }
  // A thread that Qt did not start gets its event dispatcher from its first
  // event loop.
  if (!QAbstractEventDispatcher::instance()) {
    QEventLoop make;
  }
  auto* p = new QueuePump(this, eventFd_.Get());
  sys::MutexLock lock(mu);
  pump_ = p;
  if (!posted_.empty() || !sends_.empty())
    WakeLocked(true);
}

void ThreadQueue::DropPump() {
  QObject* p;
  {
    sys::MutexLock lock(mu);
    p = pump_;
    pump_ = nullptr;
  }
  delete p;
}

void ThreadQueue::Close() {
  std::deque<IncomingSend> pending;
  QObject* p;
  {
    sys::MutexLock lock(mu);
    closed_ = true;
    pending.swap(sends_);
    posted_.clear();
    p = pump_;
    pump_ = nullptr;
  }
  for (auto& send : pending)
    Answer(send, false, 0);
  delete p;
  timers_.clear();
  filters_.clear();
  DropThreadWindows(owner);
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (tHolderGone) // the thread is ending: a queue that nothing will keep
    return std::make_shared<ThreadQueue>();
  if (!tQueue.queue) {
    tQueue.queue = std::make_shared<ThreadQueue>();
    Reg().AddQueue(tQueue.queue);
  }
  return tQueue.queue;
}

void Answer(IncomingSend& send, bool delivered, LResult result) {
  if (send.local) {
    send.local->sender->CompleteLocal(*send.local, delivered, result);
    send.local.reset();
  } else if (send.remote) {
    ReplyRemote(*send.remote, send.requestId, delivered, result);
    send.remote.reset();
  }
}

} // namespace win::detail

namespace win {

using namespace detail;

int RunMessageLoop() {
  auto q = CurrentQueue();
  q->EnsurePump();
  if (std::optional<int> code = q->TakePendingQuit())
    return *code;
  LoopFrame frame;
  q->EnterLoop(&frame);
  if (q->HasPump()) {
    QEventLoop loop;
    frame.qt = &loop;
    q->ScheduleTimer();
    q->Pump(kBudget);
    if (!frame.quit)
      loop.exec();
  } else {
    while (!frame.quit) {
      q->Pump(kBudget);
      if (frame.quit)
        break;
      int timeout = -1;
      if (auto next = q->NextTimerDue(); next && !ManualClockInstalled()) {
        uint64_t now = TimerNowMs();
        timeout = static_cast<int>(std::min<uint64_t>(*next > now ? *next - now : 0, 1u << 30));
      }
      q->Wait(timeout, true, -1);
    }
  }
  q->LeaveLoop();
  return frame.code;
}

void PostQuitMessage(int code) {
  CurrentQueue()->Post(Msg{0, WM_QUIT, static_cast<WParam>(code), 0, 0});
}

bool RunMessageLoopUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
  auto q = CurrentQueue();
  q->EnsurePump();
  if (done())
    return true;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  LoopFrame frame;
  frame.done = &done;
  q->EnterLoop(&frame);
  if (q->HasPump()) {
    QEventLoop loop;
    frame.qt = &loop;
    QTimer check;
    check.setInterval(5);
    QObject::connect(&check, &QTimer::timeout, [&] {
      if (frame.quit)
        return;
      if (done() || Clock::now() >= deadline) {
        frame.quit = true;
        loop.exit(0);
      }
    });
    q->ScheduleTimer();
    q->Pump(kBudget);
    if (!frame.quit && !done()) {
      check.start();
      loop.exec();
    }
  } else {
    while (!frame.quit && Clock::now() < deadline) {
      q->Pump(kBudget);
      if (frame.quit || done())
        break;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      int timeout = static_cast<int>(std::clamp<int64_t>(left.count(), 0, 5));
      q->Wait(timeout, true, -1);
    }
  }
  q->LeaveLoop();
  return done();
}

int ProcessPendingMessages() {
  auto q = CurrentQueue();
  return q->Pump(q->PostedCount());
}

int AddMessageFilter(MessageFilter filter) {
  return CurrentQueue()->AddFilter(std::move(filter));
}

bool PassMessageFilters(Msg& msg) {
  return CurrentQueue()->Filtered(msg);
}

bool RemoveMessageFilter(int id) {
  return CurrentQueue()->RemoveFilter(id);
}

uint32_t CurrentMessageReceiveTimeMs() {
  return static_cast<uint32_t>(detail::tReceivedNs / 1'000'000);
}

LResult DispatchMessage(const Msg& msg) {
  auto rec = Reg().LookupOwn(msg.hwnd);
  if (!rec)
    return 0;
  detail::ReceiveTimeScope receiveTime(0);
  return CallWindow(rec, msg.message, msg.wParam, msg.lParam);
}

} // namespace win
