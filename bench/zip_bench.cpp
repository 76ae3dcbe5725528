// Reading the reference payload through the ZIP reader against the floor of
// what any reader must do: raw inflate of the same streams into 16 KiB
// chunks plus the CRC-32 of the output.
//
// Every allocation of this program goes through the operator new below, and
// the reader routes zlib's allocations through operator new too, so while a
// reader pass is tracked the counters see all of the reader's memory: the
// peak of live bytes and the largest single block.
//
//   zip_bench --archive1x=PATH --archive2x=PATH [benchmark flags]
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "archive/zip_reader.h"

namespace {

// Allocation accounting. Each block carries a header with its size and
// whether it was made while tracking, so blocks from before the tracked pass
// never count against it.
struct Tracker {
  bool on = false;
  size_t live = 0;
  size_t peak = 0;
  size_t largest = 0;
  size_t count = 0;
};
Tracker g_tracker;

constexpr size_t kHeader = 16;

void* Allocate(size_t size) {
  char* block = static_cast<char*>(std::malloc(size + kHeader));
  if (block == nullptr) return nullptr;
  reinterpret_cast<size_t*>(block)[0] = size;
  reinterpret_cast<size_t*>(block)[1] = g_tracker.on ? 1 : 0;
  if (g_tracker.on) {
    g_tracker.live += size;
    g_tracker.count += 1;
    if (g_tracker.live > g_tracker.peak) g_tracker.peak = g_tracker.live;
    if (size > g_tracker.largest) g_tracker.largest = size;
  }
  return block + kHeader;
}

void Release(void* p) {
  if (p == nullptr) return;
  char* block = static_cast<char*>(p) - kHeader;
  if (reinterpret_cast<size_t*>(block)[1] != 0) g_tracker.live -= reinterpret_cast<size_t*>(block)[0];
  std::free(block);
}

}  // namespace

void* operator new(size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Release(p); }

namespace {

struct StreamInfo {
  uint64_t offset, compressed, uncompressed, crc, method;
};

struct Payload {
  std::string bytes;
  std::vector<StreamInfo> streams;
};

std::string g_paths[2];

const Payload& Load(int which) {
  static Payload payloads[2];
  Payload& p = payloads[which];
  if (p.bytes.empty()) {
    std::ifstream in(g_paths[which], std::ios::binary);
    p.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::ifstream index(g_paths[which] + ".index");
    StreamInfo s;
    while (index >> s.offset >> s.compressed >> s.uncompressed >> s.crc >> s.method) p.streams.push_back(s);
    if (p.bytes.empty() || p.streams.empty()) {
      std::fprintf(stderr, "zip_bench: cannot read %s and its index\n", g_paths[which].c_str());
      std::exit(1);
    }
  }
  return p;
}

// Every entry through ZipOpenEntry / ZipReadEntry / ZipCloseEntry into a
// 16 KiB sink. Returns the bytes delivered, or 0 on any failure.
uint64_t ReadWithReader(const Payload& p, uint8_t* sink) {
  ZipHandle* h = ZipOpenMemory(p.bytes.data(), static_cast<uint32_t>(p.bytes.size()));
  if (h == nullptr) return 0;
  ZipEntryInfo info{};
  ZipGetEntry(h, -1, &info);
  const int32_t count = info.index;
  uint64_t total = 0;
  bool ok = count == static_cast<int32_t>(p.streams.size());
  for (int32_t i = 0; i < count && ok; ++i) {
    ok = ZipGetEntry(h, i, &info) == ZRES_OK && ZipOpenEntry(h, i) == ZST_OK;
    for (bool end = false; ok && !end;) {
      const int32_t n = ZipReadEntry(h, sink, kZipBufferSize, &end);
      ok = n > 0 || (n == 0 && end);
      total += static_cast<uint32_t>(n);
    }
    ok = ZipCloseEntry(h) == ZST_OK && ok;
  }
  ZipClose(h);
  return ok ? total : 0;
}

// The floor: inflate each stream in place into the same 16 KiB chunks and
// run the CRC over the output.
uint64_t ReadWithZlib(const Payload& p, uint8_t* sink) {
  uint64_t total = 0;
  for (const StreamInfo& s : p.streams) {
    const Bytef* in = reinterpret_cast<const Bytef*>(p.bytes.data()) + s.offset;
    uLong crc = 0;
    if (s.method == 0) {
      crc = crc32(0, in, static_cast<uInt>(s.uncompressed));
      total += s.uncompressed;
    } else {
      z_stream z{};
      inflateInit2(&z, -MAX_WBITS);
      z.next_in = const_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(s.compressed);
      int ret = Z_OK;
      while (ret == Z_OK) {
        z.next_out = sink;
        z.avail_out = kZipBufferSize;
        ret = inflate(&z, Z_NO_FLUSH);
        const uInt produced = kZipBufferSize - z.avail_out;
        crc = crc32(crc, sink, produced);
        total += produced;
      }
      inflateEnd(&z);
      if (ret != Z_STREAM_END) return 0;
    }
    if (crc != s.crc) return 0;
  }
  return total;
}

void Report(benchmark::State& state, const Payload& p, uint64_t bytes) {
  if (bytes == 0) state.SkipWithError("reading the payload failed");
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["archive_bytes"] = static_cast<double>(p.bytes.size());
  state.counters["entries"] = static_cast<double>(p.streams.size());
}

void BM_Reader(benchmark::State& state) {
  const Payload& p = Load(static_cast<int>(state.range(0)));
  static uint8_t sink[kZipBufferSize];
  // One tracked pass, outside the timing, for the reader's memory.
  g_tracker = Tracker{};
  g_tracker.on = true;
  const uint64_t tracked = ReadWithReader(p, sink);
  g_tracker.on = false;
  uint64_t bytes = tracked;
  for (auto _ : state) {
    bytes = ReadWithReader(p, sink);
    benchmark::DoNotOptimize(bytes);
  }
  Report(state, p, bytes);
  state.counters["peak_heap"] = static_cast<double>(g_tracker.peak);
  state.counters["largest_alloc"] = static_cast<double>(g_tracker.largest);
  state.counters["allocations"] = static_cast<double>(g_tracker.count);
  state.counters["leaked"] = static_cast<double>(g_tracker.live);
}

void BM_Floor(benchmark::State& state) {
  const Payload& p = Load(static_cast<int>(state.range(0)));
  static uint8_t sink[kZipBufferSize];
  uint64_t bytes = 0;
  for (auto _ : state) {
    bytes = ReadWithZlib(p, sink);
    benchmark::DoNotOptimize(bytes);
  }
  Report(state, p, bytes);
}

BENCHMARK(BM_Reader)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Floor)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--archive1x=", 12) == 0) {
      g_paths[0] = argv[i] + 12;
    } else if (std::strncmp(argv[i], "--archive2x=", 12) == 0) {
      g_paths[1] = argv[i] + 12;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (g_paths[0].empty() || g_paths[1].empty()) {
    std::fprintf(stderr, "usage: %s --archive1x=PATH --archive2x=PATH [benchmark flags]\n", argv[0]);
    return 2;
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
