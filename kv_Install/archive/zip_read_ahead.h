// Decoding ahead: while the caller writes one entry, worker threads decode
// the entries after it, each whole into memory, each through its own
// directory cursor and entry stream, so with every check the stream makes.
// Only an entry that proved whole is handed over; any other the caller reads
// itself as before, and meets its failure the same way. Made for callers
// that take the entries in directory order (the unpacking loop); any order
// works, only less ahead.
#pragma once

#include <atomic>
#include <cstdint>

#include "archive/zip_threads.h"

class ZipDirectory;

class ZipReadAhead {
 public:
  static constexpr int kWorkers = 2;
  // Decoded bytes held ahead (taken entries not counted), and the largest
  // entry decoded ahead: a larger one is left to the caller.
  static constexpr uint32_t kBudget = 32u << 20;
  static constexpr uint32_t kLargestEntry = 16u << 20;

  // Workers over the archive at data (size bytes, the whole block the reader
  // opened). Null when memory or threads cannot be had: the caller reads as
  // it would without.
  static ZipReadAhead* Start(const uint8_t* data, uint32_t size);
  // Stops the workers (an entry being decoded is given up at its next
  // chunk), waits for them, frees what they hold.
  ~ZipReadAhead();
  ZipReadAhead(const ZipReadAhead&) = delete;
  ZipReadAhead& operator=(const ZipReadAhead&) = delete;

  // The caller is at entry index: the entry's data when a worker has
  // decoded it whole (waiting for one that is at it), now the caller's to
  // delete[]; else null. Entries before index are no longer wanted.
  uint8_t* Take(uint32_t index, uint32_t* size);

 private:
  struct Slot {
    uint32_t index = 0;
    uint32_t size = 0;
    uint8_t* data = nullptr;
    enum State { kFree, kDecoding, kDone, kFailed, kAbandoned } state = kFree;
  };
  static constexpr int kSlots = 64;

  ZipReadAhead() = default;
  static void Run(void* self);
  void Work(ZipDirectory* directory);
  bool Decode(ZipDirectory* directory, Slot* slot);
  void Release(Slot* slot);  // under the lock

  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
  ZipLock lock_;
  ZipThread* threads_[kWorkers] = {};
  Slot slots_[kSlots];
  uint32_t next_ = 0;      // the next entry a worker looks at
  uint32_t held_ = 0;      // bytes of the slots in use
  std::atomic<bool> stop_{false};
};
