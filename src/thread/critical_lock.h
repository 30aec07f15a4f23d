#pragma once
// The one kind of lock in the system: recursive for the thread that holds it, so a holder may call
// back into code that takes the same lock.
#include <mutex>

class CCriticalLock {
 public:
  CCriticalLock() = default;
  CCriticalLock(const CCriticalLock&) = delete;
  CCriticalLock& operator=(const CCriticalLock&) = delete;

  void Lock() { mutex_.lock(); }
  bool TryLock() { return mutex_.try_lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::recursive_mutex mutex_;
};

// Holds a CCriticalLock for the guard's lifetime.
class CScopedLock {
 public:
  explicit CScopedLock(CCriticalLock& lock) : lock_(lock) { lock_.Lock(); }
  ~CScopedLock() { lock_.Unlock(); }
  CScopedLock(const CScopedLock&) = delete;
  CScopedLock& operator=(const CScopedLock&) = delete;

 private:
  CCriticalLock& lock_;
};
