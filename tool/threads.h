// threads.h -- a lock, a condition and a thread, on every system the tool is built for, and hand-overs made of them
//
// The mingw-w64 runtime of the Windows build has no std::thread or
// std::mutex (its thread model is win32), so the scan command uses these,
// which are the standard ones elsewhere and the system's own on Windows.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

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
  void WakeOne() { WakeConditionVariable(&condition_); }
  void WakeAll() { WakeAllConditionVariable(&condition_); }

 private:
  CONDITION_VARIABLE condition_ = CONDITION_VARIABLE_INIT;
#else
  void Wait(Mutex& mutex) {
    std::unique_lock<std::mutex> lock(mutex.lock_, std::adopt_lock);
    condition_.wait(lock);
    lock.release();
  }
  void WakeOne() { condition_.notify_one(); }
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

// Work handed from one thread to several. A push wakes one idle taker, and
// only when one is idle.
template <class T>
class WorkQueue {
 public:
  void Push(T item) {
    Locked lock(mutex_);
    items_.push_back(std::move(item));
    if (idle_ > 0) ready_.WakeOne();
  }
  // Waits for an item; false once the queue is closed and empty.
  bool Pop(T& item) {
    Locked lock(mutex_);
    while (items_.empty() && !closed_) {
      ++idle_;
      ready_.Wait(mutex_);
      --idle_;
    }
    if (items_.empty()) return false;
    item = std::move(items_.front());
    items_.pop_front();
    return true;
  }
  void Close() {
    Locked lock(mutex_);
    closed_ = true;
    ready_.WakeAll();
  }

 private:
  Mutex mutex_;
  Condition ready_;
  std::deque<T> items_;
  unsigned idle_ = 0;
  bool closed_ = false;
};

// The results of numbered tasks (tickets 0, 1, 2, ...), written in the order
// of their tickets whichever finishes first, with at most `window` tickets
// given out and not yet written. A result that finishes early is kept, and
// written by the thread that writes the one before it, so no thread waits
// for its turn unless it chooses to (WaitTurn); each wait is ended by the
// one event that lets that thread go on.
template <class Result>
class InOrder {
 public:
  explicit InOrder(std::size_t window) : window_(window), slots_(new Slot[window]) {}

  // For the thread that gives out tickets: waits until `count` tickets
  // from `ticket` on are within the window, so that it is not woken for
  // each one.
  void WaitForRoom(uint64_t ticket, std::size_t count = 1) {
    Locked lock(mutex_);
    room_after_ = ticket + std::min(count, window_);
    while (room_after_ > turn_.load(std::memory_order_relaxed) + window_) room_.Wait(mutex_);
    room_after_ = 0;
  }

  // Whether WaitForRoom(ticket) would go on at once.
  bool HasRoom(uint64_t ticket) const { return ticket < turn_.load(std::memory_order_acquire) + window_; }

  // Whether every ticket before this one has been written: the holder of
  // the turn may write before it finishes.
  bool IsTurn(uint64_t ticket) const { return turn_.load(std::memory_order_acquire) == ticket; }

  void WaitTurn(uint64_t ticket) {
    Locked lock(mutex_);
    Slot& slot = slots_[ticket % window_];
    while (turn_.load(std::memory_order_relaxed) != ticket) {
      slot.waiting = true;
      slot.turn.Wait(mutex_);
    }
    slot.waiting = false;
  }

  // Hands over the result of `ticket`. When it is its turn, `write` is
  // called with it on this thread, then with every result already finished
  // after it, in order; otherwise the result is kept for later.
  template <class Write>
  void Finish(uint64_t ticket, Result result, Write&& write) {
    mutex_.Lock();
    if (turn_.load(std::memory_order_relaxed) != ticket) {
      slots_[ticket % window_].result.emplace(std::move(result));
      mutex_.Unlock();
      return;
    }
    for (;;) {
      mutex_.Unlock();
      write(result);
      mutex_.Lock();
      const uint64_t next = turn_.load(std::memory_order_relaxed) + 1;
      turn_.store(next, std::memory_order_release);
      if (room_after_ != 0 && room_after_ <= next + window_) room_.WakeOne();
      Slot& slot = slots_[next % window_];
      if (!slot.result) {
        if (slot.waiting) slot.turn.WakeOne();
        break;
      }
      result = std::move(*slot.result);
      slot.result.reset();
    }
    mutex_.Unlock();
  }

 private:
  struct Slot {
    std::optional<Result> result;
    bool waiting = false;
    Condition turn;
  };

  const std::size_t window_;
  std::unique_ptr<Slot[]> slots_;
  Mutex mutex_;
  std::atomic<uint64_t> turn_{0};  // the ticket written next
  Condition room_;
  uint64_t room_after_ = 0;  // while the giver waits: the end of the room it waits for
};

}  // namespace tessera::tool
