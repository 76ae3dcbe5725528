#include <pthread.h>

#include <new>

#include "archive/zip_threads.h"

struct ZipLock::Impl {
  pthread_mutex_t mutex;
  pthread_cond_t condition;
};

ZipLock::ZipLock() : impl_(new (std::nothrow) Impl) {
  if (impl_ == nullptr) return;
  if (pthread_mutex_init(&impl_->mutex, nullptr) != 0) {
    delete impl_;
    impl_ = nullptr;
    return;
  }
  if (pthread_cond_init(&impl_->condition, nullptr) != 0) {
    pthread_mutex_destroy(&impl_->mutex);
    delete impl_;
    impl_ = nullptr;
  }
}

ZipLock::~ZipLock() {
  if (impl_ == nullptr) return;
  pthread_cond_destroy(&impl_->condition);
  pthread_mutex_destroy(&impl_->mutex);
  delete impl_;
}

void ZipLock::Enter() { pthread_mutex_lock(&impl_->mutex); }
void ZipLock::Leave() { pthread_mutex_unlock(&impl_->mutex); }
void ZipLock::Wait() { pthread_cond_wait(&impl_->condition, &impl_->mutex); }
void ZipLock::WakeAll() { pthread_cond_broadcast(&impl_->condition); }

struct ZipThread {
  pthread_t thread;
  void (*run)(void*);
  void* context;
};

namespace {

void* ThreadMain(void* parameter) {
  ZipThread* thread = static_cast<ZipThread*>(parameter);
  thread->run(thread->context);
  return nullptr;
}

}  // namespace

ZipThread* ZipStartThread(void (*run)(void*), void* context) {
  ZipThread* thread = new (std::nothrow) ZipThread{pthread_t(), run, context};
  if (thread == nullptr) return nullptr;
  if (pthread_create(&thread->thread, nullptr, ThreadMain, thread) != 0) {
    delete thread;
    return nullptr;
  }
  return thread;
}

void ZipJoinThread(ZipThread* thread) {
  pthread_join(thread->thread, nullptr);
  delete thread;
}
