// A mutex the compiler checks: fields marked GUARDED_BY(m) may be touched
// only while m is held, and a function marked REQUIRES(m) only called so.
// Clang's -Wthread-safety enforces the marks; other compilers ignore them.
#pragma once

#include <mutex>

#if defined(__clang__)
#define VEXO_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define VEXO_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) VEXO_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY VEXO_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) VEXO_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) VEXO_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) VEXO_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) VEXO_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VEXO_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) VEXO_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) VEXO_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS VEXO_THREAD_ATTRIBUTE(no_thread_safety_analysis)

namespace sys {

class CAPABILITY("mutex") Mutex {
public:
  void lock() ACQUIRE() { m_.lock(); }
  void unlock() RELEASE() { m_.unlock(); }
  bool try_lock() TRY_ACQUIRE(true) { return m_.try_lock(); }

private:
  std::mutex m_;
};

// Holds a Mutex for its scope.
class SCOPED_CAPABILITY MutexLock {
public:
  explicit MutexLock(Mutex& m) ACQUIRE(m) : m_(m) { m_.lock(); }
  ~MutexLock() RELEASE() { m_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

private:
  Mutex& m_;
};

} // namespace sys
