// threads.h -- a lock, a condition and a thread, on every system the tool is built for
//
// The mingw-w64 runtime of the Windows build has no std::thread or
// std::mutex (its thread model is win32), so the scan command uses these,
// which are the standard ones elsewhere and the system's own on Windows.
#pragma once

#include <functional>
#include <memory>

#if defined(_WIN32)
#include <windows.h>
#else
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace tessera::tool {

class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
#if defined(_WIN32)
  void Lock() { AcquireSRWLockExclusive(&lock_); }
  void Unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  friend class Condition;
  SRWLOCK lock_ = SRWLOCK_INIT;
#else
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }

 private:
  friend class Condition;
  std::mutex lock_;
#endif
};

class Locked {
 public:
  explicit Locked(Mutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~Locked() { mutex_.Unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  Mutex& mutex_;
};

class Condition {
 public:
  Condition() = default;
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;
#if defined(_WIN32)
  // With `mutex` locked; it is locked again on return.
  void Wait(Mutex& mutex) { SleepConditionVariableSRW(&condition_, &mutex.lock_, INFINITE, 0); }
  void WakeAll() { WakeAllConditionVariable(&condition_); }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
#else
  void Wait(Mutex& mutex) {
    std::unique_lock<std::mutex> lock(mutex.lock_, std::adopt_lock);
    condition_.wait(lock);
    lock.release();
  }
  void WakeAll() { condition_.notify_all(); }

 private:
  std::condition_variable condition_;
#endif
};

// Starts `work` at once on a thread of its own, unless the system has no
// thread to give (started() says so); Join waits for it to end.
class Thread {
 public:
  explicit Thread(std::function<void()> work);
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  bool started() const;
  void Join();

 private:
#if defined(_WIN32)
  std::unique_ptr<std::function<void()>> work_;
  HANDLE handle_ = nullptr;
#else
  std::thread thread_;
#endif
};

// The processors the system offers this program, at least 1.
unsigned Processors();

}  // namespace tessera::tool
