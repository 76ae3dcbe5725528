#include <windows.h>

#include <new>

#include "archive/zip_threads.h"

struct ZipLock::Impl {
  CRITICAL_SECTION section;
  CONDITION_VARIABLE condition;
};

ZipLock::ZipLock() : impl_(new (std::nothrow) Impl) {
  if (impl_ == nullptr) return;
  ::InitializeCriticalSection(&impl_->section);
  ::InitializeConditionVariable(&impl_->condition);
}

ZipLock::~ZipLock() {
  if (impl_ == nullptr) return;
  ::DeleteCriticalSection(&impl_->section);
  delete impl_;
}

void ZipLock::Enter() { ::EnterCriticalSection(&impl_->section); }
void ZipLock::Leave() { ::LeaveCriticalSection(&impl_->section); }
void ZipLock::Wait() { (void)::SleepConditionVariableCS(&impl_->condition, &impl_->section, INFINITE); }
void ZipLock::WakeAll() { ::WakeAllConditionVariable(&impl_->condition); }

struct ZipThread {
  HANDLE handle;
  void (*run)(void*);
  void* context;
};

namespace {

DWORD WINAPI ThreadMain(LPVOID parameter) {
  ZipThread* thread = static_cast<ZipThread*>(parameter);
  thread->run(thread->context);
  return 0;
}

}  // namespace

ZipThread* ZipStartThread(void (*run)(void*), void* context) {
  ZipThread* thread = new (std::nothrow) ZipThread{nullptr, run, context};
  if (thread == nullptr) return nullptr;
  thread->handle = ::CreateThread(nullptr, 64 * 1024, ThreadMain, thread, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread->handle == nullptr) {
    delete thread;
    return nullptr;
  }
  return thread;
}

void ZipJoinThread(ZipThread* thread) {
  (void)::WaitForSingleObject(thread->handle, INFINITE);
  ::CloseHandle(thread->handle);
  delete thread;
}
