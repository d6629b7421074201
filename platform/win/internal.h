// Inside the window layer: the process's table of windows and classes, the
// per-thread message queue, and the process's socket endpoint through which
// other processes reach its windows.
#pragma once

#include "platform/sys/mutex.h"
#include "platform/sys/unique_fd.h"
#include "platform/win/loop.h"
#include "platform/win/messages.h"
#include "platform/win/window.h"
#include "platform/win/window_table.h"
#include "platform/win/wire.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

class QObject;
class QEventLoop;

namespace win {

struct WindowAccess {
  static void SetHwnd(Window& w, Hwnd h) { w.hwnd_ = h; }
};

namespace detail {

class ThreadQueue;
struct ServerConn;

using Clock = std::chrono::steady_clock;
using Deadline = std::optional<Clock::time_point>;

// How long a sender polls for its answer before it sleeps: waking a sleeping
// thread costs about as much as the whole round trip.
inline constexpr auto kSendSpin = std::chrono::microseconds(50);

// Handles: the process slot in the high bits, a counter in the low 15.
inline constexpr int kIndexBits = 15;
inline constexpr uint32_t kMaxIndex = (1u << kIndexBits) - 1;
inline constexpr uint32_t kMaxSlot = 0xFFFF;
inline uint32_t SlotOf(Hwnd h) {
  return h >> kIndexBits;
}

bool EqualsNoCase(std::string_view a, std::string_view b);
bool ManualClockInstalled();

// Where the answer to a message sent from a thread of this process goes.
struct LocalReply {
  std::shared_ptr<ThreadQueue> sender;
  // Guarded by sender->mu.
  bool done = false;
  bool delivered = false;
  LResult result = 0;
};

// A sent message waiting for its window's thread.
struct IncomingSend {
  Hwnd hwnd = 0;
  uint32_t message = 0;
  WParam wParam = 0;
  LParam lParam = 0;
  bool hasCopyData = false;
  uintptr_t copyKind = 0;
  std::vector<uint8_t> bytes;
  std::shared_ptr<LocalReply> local;  // sender in this process
  std::shared_ptr<ServerConn> remote; // sender in another process
  uint32_t requestId = 0;
  int64_t receivedNs = 0; // CLOCK_MONOTONIC when read off the socket; 0 in-process
};

struct TimerEntry {
  Hwnd hwnd = 0;
  uint32_t id = 0;
  uint64_t periodMs = 1;
  uint64_t dueMs = 0;
  uint64_t seq = 0;
  uint64_t round = 0;
};

struct LoopFrame {
  QEventLoop* qt = nullptr;
  const std::function<bool()>* done = nullptr;
  bool quit = false;
  int code = 0;
};

// The messages of one thread: posted messages and incoming sends (any
// thread pushes, the owner takes), and the owner's timers, filters and
// running loops.
class ThreadQueue : public std::enable_shared_from_this<ThreadQueue> {
public:
  ThreadQueue();
  ~ThreadQueue();

  // Any thread. False once the owner thread has ended.
  bool Post(const Msg& msg);
  bool PushSend(IncomingSend&& send);
  // Records the answer to a message this (sender) thread sent.
  void CompleteLocal(LocalReply& reply, bool delivered, LResult result);
  void WakeForTimers();

  // Owner thread.
  bool DeliverOneSend();
  // Delivers sends, up to budget posted messages, and due timers.
  int Pump(size_t budget);
  void PumpTimers();
  // Waits until a send, a reply or (forLoop) any message arrives, or an
  // extra descriptor is readable, or timeoutMs (-1: no limit) passes.
  // Returns the revents of extraFd.
  short Wait(int timeoutMs, bool forLoop, int extraFd);
  // Resets the event descriptor after it woke the Qt loop.
  void Drain();
  void EnterSendWait();
  void LeaveSendWait();
  size_t PostedCount();
  void EnsurePump();
  void DropPump();
  void ScheduleTimer();
  std::optional<uint64_t> NextTimerDue() const;
  void Close();
  // The owner's timers: (re)arms the timer id of hwnd to fall due at dueMs
  // and every periodMs after; drops one, or all of a window. Each
  // reschedules the next wake.
  void ArmTimer(Hwnd hwnd, uint32_t id, uint64_t periodMs, uint64_t dueMs);
  bool DropTimer(Hwnd hwnd, uint32_t id);
  void DropTimersOf(Hwnd hwnd);

  const std::thread::id owner;
  sys::Mutex mu;

  // The owner's message filters, in the order added; true when one took msg.
  int AddFilter(MessageFilter filter);
  bool RemoveFilter(int id);
  bool Filtered(Msg& msg);
  // The owner's running loops, innermost last. A quit with no loop running
  // waits for the next loop, which returns its code at once.
  void EnterLoop(LoopFrame* frame) { loops_.push_back(frame); }
  void LeaveLoop() { loops_.pop_back(); }
  std::optional<int> TakePendingQuit();
  void QuitInnermost(int code);
  // The innermost loop has been asked to end, or its done() holds now.
  bool LoopDone();
  bool HasPump() const { return pump_ != nullptr; }

private:
  // The owner thread's own state.
  std::vector<TimerEntry> timers_;
  uint64_t timerSeq_ = 0;
  uint64_t timerRound_ = 0;
  std::vector<std::pair<int, std::shared_ptr<MessageFilter>>> filters_;
  int nextFilterId_ = 1;
  std::vector<LoopFrame*> loops_;
  std::optional<int> pendingQuit_;
  QObject* pump_ = nullptr; // the owner thread's Qt delivery, set under mu

  void WakeLocked(bool forPost) REQUIRES(mu);
  void SignalLocked() REQUIRES(mu);

  sys::UniqueFd eventFd_;
  bool signalled_ GUARDED_BY(mu) = false;
  bool closed_ GUARDED_BY(mu) = false;
  int sendWaiters_ GUARDED_BY(mu) = 0;
  bool loopWaiting_ GUARDED_BY(mu) = false;
  std::deque<Msg> posted_ GUARDED_BY(mu);
  std::deque<IncomingSend> sends_ GUARDED_BY(mu);
};

// The calling thread's queue, made on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();
// Answers a sent message that will not be delivered, or was.
void Answer(IncomingSend& send, bool delivered, LResult result);

struct WindowRec {
  Hwnd hwnd = 0;
  std::string className;
  uint32_t id = 0;
  uint32_t exStyle = 0;
  uint64_t createdNs = 0;
  std::shared_ptr<ThreadQueue> queue;
  std::thread::id owner;
  // Guarded by the registry's mutex.
  std::string title;
  Hwnd parent = 0;
  uint32_t style = 0;
  // Owner thread only.
  Window* object = nullptr;
  std::unique_ptr<Window> owned;
  int callDepth = 0;
  bool destroying = false;
  bool finalized = false;
};

struct FindHit {
  Hwnd hwnd = 0;
  uint64_t createdNs = 0;
};

struct Description {
  Hwnd parent = 0;
  uint32_t pid = 0;
  uint32_t style = 0;
  std::string className;
  std::string title;
};

// Every window, window class and thread queue of the process. Its members are
// reached only through these methods, each taking the registry's lock; the
// records' title, parent and style change only here, under that lock.
class Registry {
public:
  std::shared_ptr<WindowRec> Lookup(Hwnd h);
  // The window if it belongs to the calling thread and is not finalized.
  std::shared_ptr<WindowRec> LookupOwn(Hwnd h);
  FindHit FindLocal(Hwnd parent, const std::optional<std::string>& className,
                    const std::optional<std::string>& title);
  std::optional<Description> Describe(Hwnd h);

  void AddWindow(const std::shared_ptr<WindowRec>& rec);
  void RemoveWindow(Hwnd h);
  // Removes and returns the windows the thread owns.
  std::vector<std::shared_ptr<WindowRec>> TakeThreadWindows(std::thread::id owner);
  // The calling thread's windows whose parent is the given one, oldest first.
  std::vector<std::shared_ptr<WindowRec>> OwnChildren(Hwnd parent);
  // Every window as the window table publishes it.
  void ListWindows(std::vector<table::Entry>& out);

  // Each returns false for an unknown window; `changed` tells whether the
  // value differed (set only on success).
  bool SetTitle(Hwnd h, std::string_view title, bool& changed);
  bool SetId(Hwnd h, uint32_t id);
  uint32_t Style(Hwnd h);
  bool SetStyle(Hwnd h, uint32_t style);
  bool SetParent(WindowRec& rec, Hwnd parent);

  // Class names compare ignoring ASCII case.
  bool AddClass(const WindowClass& windowClass);
  bool RemoveClass(std::string_view name);
  std::shared_ptr<const WindowClass> FindClass(std::string_view name);

  void AddQueue(const std::shared_ptr<ThreadQueue>& queue);
  // Every live queue but the one given.
  std::vector<std::shared_ptr<ThreadQueue>> OtherQueues(const std::shared_ptr<ThreadQueue>& self);

private:
  sys::Mutex mu_;
  std::unordered_map<Hwnd, std::shared_ptr<WindowRec>> windows_ GUARDED_BY(mu_);
  std::map<std::string, std::shared_ptr<const WindowClass>>
      classes_ GUARDED_BY(mu_); // lower-case names
  std::vector<std::weak_ptr<ThreadQueue>> queues_ GUARDED_BY(mu_);
};
Registry& Reg();

// Calls the window's object (owner thread), holding off its deletion while
// the call runs; exceptions stop here.
LResult CallWindow(const std::shared_ptr<WindowRec>& rec, uint32_t message, WParam wParam,
                   LParam lParam);
// Removes windows of an ending thread without messages.
void DropThreadWindows(std::thread::id owner);

// The process's endpoint: its slots of handles, its listening socket in the
// session's window folder and the thread that reads from other processes.
// Started by the first window; false when the runtime folder is unusable.
bool EnsureEndpoint();
// A fresh handle of this process, 0 when none can be had.
Hwnd AllocateHandle();
// Rewrites this process's table of windows in the session's folder; called
// after every change that a search of another process can see (a window
// made or gone, its title or parent changed). The caller holds no lock.
void PublishWindows();
bool IsLocalHandle(Hwnd h);
// Answers a message sent from another process.
void ReplyRemote(ServerConn& conn, uint32_t requestId, bool delivered, LResult result);

// Other processes, reached from any thread through its own connections.
struct RemoteAnswer {
  bool delivered = false;
  LResult result = 0;
};
struct CopyPayload {
  uintptr_t kind = 0;
  const void* data = nullptr;
  uint32_t size = 0;
};
RemoteAnswer RemoteSend(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam,
                        const CopyPayload* copy, Deadline deadline);
bool RemotePost(Hwnd hwnd, uint32_t message, WParam wParam, LParam lParam);
// A window of another process, from the published tables (style left 0);
// asks its process only when that has published no window of its slot.
std::optional<Description> RemoteDescribe(Hwnd hwnd);
// The best match in every other live process of the session, from their
// published tables: never waits for a process.
FindHit RemoteFind(Hwnd parent, const std::optional<std::string>& className,
                   const std::optional<std::string>& title);

} // namespace detail
} // namespace win
