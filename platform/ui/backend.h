// Where a piece of the interface goes: message boxes, dialogs, file dialogs
// and pop-up menus each ask one slot for their backend. A process or a test
// puts a backend in the slot; while it is empty the slot's chooser picks one
// (Qt where someone can see it, otherwise a quiet stand-in).
//
// Threads: Set and Current may be called from any thread; the backend handed
// out stays alive for the caller even if another thread replaces it.
#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace ui {

template <class T> class BackendSlot {
public:
  using Chooser = std::shared_ptr<T> (*)();

  explicit BackendSlot(Chooser choose) : choose_(choose) {}
  BackendSlot(const BackendSlot&) = delete;
  BackendSlot& operator=(const BackendSlot&) = delete;

  // Puts backend in place for every later use (null goes back to
  // choosing); returns the one it replaces.
  std::shared_ptr<T> Set(std::shared_ptr<T> backend) {
    std::lock_guard lock(mutex_);
    std::swap(current_, backend);
    return backend;
  }

  // The backend put in place, else the chooser's.
  std::shared_ptr<T> Current() const {
    {
      std::lock_guard lock(mutex_);
      if (current_)
        return current_;
    }
    return choose_();
  }

private:
  mutable std::mutex mutex_;
  std::shared_ptr<T> current_; // guarded by mutex_
  Chooser choose_;
};

// Puts a backend in T's slot (T::Slot()) for the life of the object, then
// puts back the one it replaced.
template <class T> class ScopedBackend {
public:
  explicit ScopedBackend(std::shared_ptr<T> backend)
      : previous_(T::Slot().Set(std::move(backend))) {}
  ~ScopedBackend() { T::Slot().Set(std::move(previous_)); }
  ScopedBackend(const ScopedBackend&) = delete;
  ScopedBackend& operator=(const ScopedBackend&) = delete;

private:
  std::shared_ptr<T> previous_;
};

} // namespace ui
