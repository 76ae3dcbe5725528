// A small ZIP writer for the archive tests: stored or deflated entries with
// chosen attributes, host, times and (on purpose) wrong CRC-32 values.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct TestEntry {
  std::string name;
  std::string data;
  uint16_t method = 8;
  uint32_t externalAttributes = 0x20;
  uint16_t dosDate = (40 << 9) | (1 << 5) | 2;  // 2020-01-02
  uint16_t dosTime = (3 << 11) | (4 << 5) | 3;  // 03:04:06
  bool wrongCrc = false;
};

inline TestEntry FolderEntry(const std::string& name) {
  TestEntry entry;
  entry.name = name;
  entry.method = 0;
  entry.externalAttributes = 0x10;
  return entry;
}

inline TestEntry FileEntry(const std::string& name, const std::string& data, uint32_t attributes = 0x20) {
  TestEntry entry;
  entry.name = name;
  entry.data = data;
  entry.externalAttributes = attributes;
  return entry;
}

namespace zip_builder_detail {
inline void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
inline std::string RawDeflate(const std::string& data) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}
}  // namespace zip_builder_detail

// A single-disk archive with MS-DOS host (version made by 20), no extras.
inline std::string BuildZip(const std::vector<TestEntry>& entries) {
  using namespace zip_builder_detail;
  std::string out, central;
  for (const TestEntry& e : entries) {
    const std::string packed = e.method == 8 ? RawDeflate(e.data) : e.data;
    uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(e.data.data()), static_cast<uInt>(e.data.size()));
    if (e.wrongCrc) crc ^= 0x1;
    const uint32_t offset = static_cast<uint32_t>(out.size());
    Put32(out, 0x04034B50);
    Put16(out, 20);
    Put16(out, 0);
    Put16(out, e.method);
    Put16(out, e.dosTime);
    Put16(out, e.dosDate);
    Put32(out, crc);
    Put32(out, static_cast<uint32_t>(packed.size()));
    Put32(out, static_cast<uint32_t>(e.data.size()));
    Put16(out, static_cast<uint32_t>(e.name.size()));
    Put16(out, 0);
    out += e.name;
    out += packed;

    Put32(central, 0x02014B50);
    Put16(central, 20);
    Put16(central, 20);
    Put16(central, 0);
    Put16(central, e.method);
    Put16(central, e.dosTime);
    Put16(central, e.dosDate);
    Put32(central, crc);
    Put32(central, static_cast<uint32_t>(packed.size()));
    Put32(central, static_cast<uint32_t>(e.data.size()));
    Put16(central, static_cast<uint32_t>(e.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, e.externalAttributes);
    Put32(central, offset);
    central += e.name;
  }
  const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  out += central;
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put16(out, static_cast<uint32_t>(entries.size()));
  Put32(out, static_cast<uint32_t>(central.size()));
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}
