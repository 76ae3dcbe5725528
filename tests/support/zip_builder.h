// Builds small ZIP archives in memory for the reader's tests: every header
// field can be overridden, so each malformed archive is one line in a table.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ziptest {

inline uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  const uint32_t date = static_cast<uint32_t>((year - 1980) << 9 | month << 5 | day);
  const uint32_t time = static_cast<uint32_t>(hour << 11 | minute << 5 | second / 2);
  return date << 16 | time;
}

inline uint64_t FileTimeOfUnix(int64_t seconds) {
  return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

inline std::string Le16(uint32_t v) { return std::string{char(v & 0xFF), char(v >> 8 & 0xFF)}; }
inline std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// Raw deflate (no zlib header), as ZIP stores it.
inline std::string Deflate(const std::string& data, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
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

inline uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// An extra-field block: ID, size, data.
inline std::string ExtraBlock(uint32_t id, const std::string& data) {
  return Le16(id) + Le16(static_cast<uint32_t>(data.size())) + data;
}

// A "UT" block with the given flags and times (write, access, creation order).
inline std::string UtBlock(uint8_t flags, const std::vector<int32_t>& times) {
  std::string data(1, char(flags));
  for (int32_t t : times) data += Le32(static_cast<uint32_t>(t));
  return ExtraBlock(0x5455, data);
}

// Traditional PKWARE encryption of data with its 12-byte header.
inline std::string Encrypt(const std::string& data, const std::string& password, uint8_t checkByte) {
  uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};
  const z_crc_t* table = get_crc_table();
  auto update = [&](uint8_t c) {
    keys[0] = table[(keys[0] ^ c) & 0xFF] ^ (keys[0] >> 8);
    keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813u + 1;
    keys[2] = table[(keys[2] ^ (keys[1] >> 24)) & 0xFF] ^ (keys[2] >> 8);
  };
  for (char c : password) update(static_cast<uint8_t>(c));
  std::string plain = "0123456789a" + std::string(1, char(checkByte)) + data;
  std::string out;
  for (char c : plain) {
    const uint32_t temp = (keys[2] & 0xFFFF) | 2;
    out += char(static_cast<uint8_t>(c) ^ static_cast<uint8_t>((temp * (temp ^ 1)) >> 8));
    update(static_cast<uint8_t>(c));
  }
  return out;
}

struct Entry {
  Entry() = default;
  Entry(std::string n, std::string d) : name(std::move(n)), data(std::move(d)) {}
  std::string name;
  std::string data;
  uint32_t method = 8;
  uint32_t flags = 0;
  uint32_t versionMadeBy = 20;  // host 0 (MS-DOS)
  uint32_t external = 0x20;
  uint32_t dosDateTime = Dos(2021, 6, 15, 10, 30, 20);
  std::string localExtra;
  std::string centralExtra;
  std::string comment;
  std::string password;  // non-empty: encrypt (and set flag bit 0)
  // Overrides of what would be written; the compressed bytes are used as
  // they stand when given.
  std::optional<std::string> compressed;
  std::optional<uint32_t> crc, compressedSize, uncompressedSize;
  std::optional<uint32_t> localCrc, localCompressedSize, localUncompressedSize;
  std::optional<uint32_t> localFlags, localMethod, localNameLength, localExtraLength;
  std::optional<uint32_t> centralNameLength, localHeaderOffset;
  uint32_t localSignature = 0x04034B50;
  uint32_t centralSignature = 0x02014B50;
};

struct Archive {
  Archive() = default;
  explicit Archive(std::vector<Entry> e) : entries(std::move(e)) {}
  std::vector<Entry> entries;
  std::string prefix;   // bytes in front of the archive; offsets stay relative to the archive proper
  std::string comment;  // archive comment after the end record
  std::string trailer;  // bytes after the comment that the comment length does not count
  std::optional<uint32_t> disk, centralDisk, entriesHere, entriesTotal, centralSize, centralOffset;
  std::optional<uint32_t> commentLength;
};

inline std::string Build(const Archive& a) {
  std::string body, central;
  for (const Entry& e : a.entries) {
    std::string stored = e.method == 8 ? Deflate(e.data) : e.data;
    const uint32_t crc = e.crc.value_or(Crc(e.data));
    uint32_t flags = e.flags;
    if (!e.password.empty()) {
      flags |= 1;
      const uint8_t check = (flags & 8) ? uint8_t(e.dosDateTime >> 8) : uint8_t(crc >> 24);
      stored = Encrypt(stored, e.password, check);
    }
    if (e.compressed) stored = *e.compressed;
    const uint32_t csize = e.compressedSize.value_or(static_cast<uint32_t>(stored.size()));
    const uint32_t usize = e.uncompressedSize.value_or(static_cast<uint32_t>(e.data.size()));
    const uint32_t offset = static_cast<uint32_t>(body.size());
    body += Le32(e.localSignature) + Le16(20) + Le16(e.localFlags.value_or(flags)) +
            Le16(e.localMethod.value_or(e.method)) + Le32(e.dosDateTime) + Le32(e.localCrc.value_or(crc)) +
            Le32(e.localCompressedSize.value_or(csize)) + Le32(e.localUncompressedSize.value_or(usize)) +
            Le16(e.localNameLength.value_or(static_cast<uint32_t>(e.name.size()))) +
            Le16(e.localExtraLength.value_or(static_cast<uint32_t>(e.localExtra.size()))) + e.name + e.localExtra +
            stored;
    central += Le32(e.centralSignature) + Le16(e.versionMadeBy) + Le16(20) + Le16(flags) + Le16(e.method) +
               Le32(e.dosDateTime) + Le32(crc) + Le32(csize) + Le32(usize) +
               Le16(e.centralNameLength.value_or(static_cast<uint32_t>(e.name.size()))) +
               Le16(static_cast<uint32_t>(e.centralExtra.size())) + Le16(static_cast<uint32_t>(e.comment.size())) +
               Le16(0) + Le16(0) + Le32(e.external) + Le32(e.localHeaderOffset.value_or(offset)) + e.name + e.centralExtra + e.comment;
  }
  const uint32_t count = static_cast<uint32_t>(a.entries.size());
  const std::string end = Le32(0x06054B50) + Le16(a.disk.value_or(0)) + Le16(a.centralDisk.value_or(0)) +
                          Le16(a.entriesHere.value_or(count)) + Le16(a.entriesTotal.value_or(count)) +
                          Le32(a.centralSize.value_or(static_cast<uint32_t>(central.size()))) +
                          Le32(a.centralOffset.value_or(static_cast<uint32_t>(body.size()))) +
                          Le16(a.commentLength.value_or(static_cast<uint32_t>(a.comment.size())));
  return a.prefix + body + central + end + a.comment + a.trailer;
}

// One-entry archive after a change to its entry.
inline std::string BuildOne(const std::function<void(Entry&)>& change, Entry entry = Entry{"f.txt", "hello, world\n"}) {
  change(entry);
  return Build(Archive{{entry}});
}

// Text that deflates well, of n bytes, varied by seed.
inline std::string Text(size_t n, unsigned seed = 1) {
  std::string s;
  s.reserve(n);
  uint32_t x = seed * 2654435761u + 1;
  static const char* const kWords[] = {"setup ", "Kelvane ", "client ", "update\n", "data ", "0x5C ", "folder "};
  while (s.size() < n) {
    x = x * 1103515245u + 12345u;
    s += kWords[(x >> 16) % 7];
  }
  s.resize(n);
  return s;
}

// Bytes that do not deflate.
inline std::string Noise(size_t n, unsigned seed = 7) {
  std::string s(n, '\0');
  uint32_t x = seed;
  for (char& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = char(x);
  }
  return s;
}

}  // namespace ziptest
