#include "archive/zip_read_ahead.h"

#include <new>

#include "archive/zip_directory.h"
#include "archive/zip_reader.h"
#include "archive/zip_stream.h"

ZipReadAhead* ZipReadAhead::Start(const uint8_t* data, uint32_t size) {
  ZipReadAhead* self = new (std::nothrow) ZipReadAhead;
  if (self == nullptr) return nullptr;
  if (!self->lock_.ok()) {
    delete self;
    return nullptr;
  }
  self->data_ = data;
  self->size_ = size;
  int started = 0;
  for (ZipThread*& thread : self->threads_) {
    thread = ZipStartThread(Run, self);
    if (thread != nullptr) ++started;
  }
  if (started == 0) {
    delete self;
    return nullptr;
  }
  return self;
}

ZipReadAhead::~ZipReadAhead() {
  if (lock_.ok()) {
    lock_.Enter();
    stop_ = true;
    lock_.WakeAll();
    lock_.Leave();
  }
  for (ZipThread* thread : threads_) {
    if (thread != nullptr) ZipJoinThread(thread);
  }
  for (Slot& slot : slots_) delete[] slot.data;
}

void ZipReadAhead::Run(void* self) {
  ZipReadAhead* ahead = static_cast<ZipReadAhead*>(self);
  ZipDirectory* directory = ZipDirectory::Open(ahead->data_, ahead->size_);
  if (directory == nullptr) return;  // the caller reads everything itself
  ahead->Work(directory);
  delete directory;
}

void ZipReadAhead::Release(Slot* slot) {
  held_ -= slot->size;
  delete[] slot->data;
  *slot = Slot();
}

// Picks the next entry worth decoding ahead: compressed, unencrypted, not
// empty, within the largest size and the budget, with a free slot.
void ZipReadAhead::Work(ZipDirectory* directory) {
  lock_.Enter();
  while (!stop_) {
    Slot* slot = nullptr;
    for (Slot& s : slots_) {
      if (s.state == Slot::kFree) {
        slot = &s;
        break;
      }
    }
    const uint32_t index = next_;
    if (slot == nullptr || index >= directory->EntryCount()) {
      lock_.Wait();
      continue;
    }
    if (directory->MoveTo(index) != ZST_OK) {
      stop_ = true;  // no entry from here on can be read: the caller finds out itself
      break;
    }
    const ZipCentralHeader& h = directory->Header();
    const bool worth = h.method != 0 && (h.flags & 1) == 0 && h.uncompressedSize != 0 &&
                       h.uncompressedSize <= kLargestEntry;
    if (!worth) {
      ++next_;
      continue;
    }
    if (held_ + h.uncompressedSize > kBudget) {
      lock_.Wait();  // until the caller takes some
      continue;
    }
    ++next_;
    slot->index = index;
    slot->size = h.uncompressedSize;
    slot->state = Slot::kDecoding;
    held_ += slot->size;
    lock_.Leave();
    const bool whole = Decode(directory, slot);
    lock_.Enter();
    if (slot->state == Slot::kAbandoned) {
      Release(slot);
    } else {
      slot->state = whole ? Slot::kDone : Slot::kFailed;
    }
    lock_.WakeAll();
  }
  lock_.Leave();
}

// Outside the lock: the slot's data are this worker's until it says so.
bool ZipReadAhead::Decode(ZipDirectory* directory, Slot* slot) {
  slot->data = new (std::nothrow) uint8_t[slot->size];
  if (slot->data == nullptr || directory->OpenStream(nullptr) != ZST_OK) return false;
  ZipEntryStream* stream = directory->Stream();
  uint32_t done = 0;
  bool end = false;
  while (!end && !stop_) {
    const uint32_t chunk = slot->size - done < 65536 ? slot->size - done : 65536;
    const int32_t count = stream->Read(slot->data + done, chunk, &end);
    if (count < 0 || (count == 0 && !end)) break;
    done += static_cast<uint32_t>(count);
  }
  const int32_t closed = directory->CloseStream();
  return end && done == slot->size && closed == ZST_OK;
}

uint8_t* ZipReadAhead::Take(uint32_t index, uint32_t* size) {
  *size = 0;
  uint8_t* data = nullptr;
  lock_.Enter();
  if (next_ <= index) next_ = index + 1;
  for (;;) {
    Slot* found = nullptr;
    for (Slot& s : slots_) {
      if (s.state == Slot::kFree || s.state == Slot::kAbandoned) continue;
      if (s.index < index) {
        // Passed by: a worker still at it frees it when it stops.
        if (s.state == Slot::kDecoding) {
          s.state = Slot::kAbandoned;
        } else {
          Release(&s);
        }
      } else if (s.index == index) {
        found = &s;
      }
    }
    if (found == nullptr || found->state == Slot::kFailed) {
      if (found != nullptr) Release(found);
      break;
    }
    if (found->state == Slot::kDone) {
      data = found->data;
      *size = found->size;
      found->data = nullptr;
      Release(found);
      break;
    }
    lock_.Wait();  // a worker is decoding it
  }
  lock_.WakeAll();
  lock_.Leave();
  return data;
}
