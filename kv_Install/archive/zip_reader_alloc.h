// Every allocation of the reader, zlib's included, goes through the global
// operator new, so a program can account for the reader's memory in one place.
#pragma once

#include <zlib.h>

#include <new>

inline voidpf ZipZlibAlloc(voidpf, uInt items, uInt size) {
  return ::operator new(static_cast<size_t>(items) * size, std::nothrow);
}

inline void ZipZlibFree(voidpf, voidpf address) { ::operator delete(address); }
