// The little the reader's read-ahead needs of threads: a lock with one
// condition, and threads that are started and joined. Windows' own calls in
// the Windows build (the win32 thread model has no std::thread), POSIX
// threads in the native one.
#pragma once

class ZipLock {
 public:
  // ok() is false when the system could not give one.
  ZipLock();
  ~ZipLock();
  ZipLock(const ZipLock&) = delete;
  ZipLock& operator=(const ZipLock&) = delete;
  bool ok() const { return impl_ != nullptr; }
  void Enter();
  void Leave();
  // Leaves, waits until woken (or spuriously), enters again.
  void Wait();
  void WakeAll();

 private:
  struct Impl;
  Impl* impl_;
};

struct ZipThread;
// Starts run(context) on a thread of its own; null when it cannot be had.
ZipThread* ZipStartThread(void (*run)(void*), void* context);
// Waits for the thread's end and frees it.
void ZipJoinThread(ZipThread* thread);
