#include "platform/media/virtual_time.h"

#include <algorithm>

namespace media {

uint32_t VirtualTime::NowMs() {
  std::lock_guard lock(mutex_);
  return static_cast<uint32_t>(now_);
}

uint32_t VirtualTime::SetPeriodicEvent(uint32_t periodMs, uint32_t, TimerCallback callback) {
  if (periodMs == 0 || !callback)
    return 0;
  std::lock_guard lock(mutex_);
  auto event = std::make_shared<Event>();
  event->id = nextId_++;
  if (nextId_ == 0)
    nextId_ = 1;
  event->periodMs = periodMs;
  event->dueMs = now_ + periodMs;
  event->callback = std::move(callback);
  events_[event->id] = event;
  ++created_;
  maxLive_ = std::max(maxLive_, static_cast<int>(events_.size()));
  return event->id;
}

bool VirtualTime::KillEvent(uint32_t id) {
  std::unique_lock lock(mutex_);
  if (events_.erase(id) == 0)
    return false;
  // From another thread, a callback in progress finishes before the kill
  // returns; from inside the callback the kill returns at once.
  if (runningId_ == id && runningThread_ != std::this_thread::get_id())
    idle_.wait(lock, [&] { return runningId_ != id; });
  return true;
}

bool VirtualTime::BeginPeriod(uint32_t ms) {
  if (ms == 0)
    return false;
  std::lock_guard lock(mutex_);
  ++openPeriods_;
  return true;
}

bool VirtualTime::EndPeriod(uint32_t ms) {
  if (ms == 0)
    return false;
  std::lock_guard lock(mutex_);
  --openPeriods_;
  return true;
}

int VirtualTime::LiveEvents() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(events_.size());
}

void VirtualTime::Delay(uint32_t ms) {
  std::lock_guard lock(mutex_);
  now_ += ms;
}

std::shared_ptr<VirtualTime::Event> VirtualTime::NextDueLocked() {
  std::shared_ptr<Event> best;
  for (auto& [id, event] : events_) {
    if (!best || event->dueMs < best->dueMs)
      best = event; // the map is in creation order, so ties keep the older event
  }
  return best;
}

void VirtualTime::RunLocked(std::unique_lock<std::mutex>& lock,
                            const std::shared_ptr<Event>& event) {
  now_ = std::max(now_, event->dueMs);
  event->dueMs += event->periodMs;
  runningId_ = event->id;
  runningThread_ = std::this_thread::get_id();
  lock.unlock();
  event->callback();
  lock.lock();
  runningId_ = 0;
  idle_.notify_all();
}

void VirtualTime::Advance(uint32_t ms) {
  std::unique_lock lock(mutex_);
  const uint64_t target = now_ + ms;
  for (;;) {
    auto event = NextDueLocked();
    if (!event || event->dueMs > target)
      break;
    RunLocked(lock, event);
  }
  now_ = std::max(now_, target);
}

bool VirtualTime::RunNextEvent() {
  std::unique_lock lock(mutex_);
  auto event = NextDueLocked();
  if (!event)
    return false;
  RunLocked(lock, event);
  return true;
}

int VirtualTime::OpenPeriods() {
  std::lock_guard lock(mutex_);
  return openPeriods_;
}

int VirtualTime::EventsCreated() {
  std::lock_guard lock(mutex_);
  return created_;
}

int VirtualTime::MaxLiveEvents() {
  std::lock_guard lock(mutex_);
  return maxLive_;
}

uint32_t VirtualTime::PeriodOf(uint32_t id) {
  std::lock_guard lock(mutex_);
  auto it = events_.find(id);
  return it == events_.end() ? 0 : it->second->periodMs;
}

} // namespace media
