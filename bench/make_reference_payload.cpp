// Writes a reference payload for the benchmarks: an archive shaped like the
// installer's payload (97 entries: 89 deflated files and 8 stored folders,
// MS-DOS host, an NTFS block in every central header, no comment), about
// 18.6 MB compressed at scale 1. Files range from a few hundred bytes to
// megabytes, some text-like, some random bytes that do not deflate.
// Deterministic: the same scale gives the same bytes.
//
//   make_reference_payload OUT.zip SCALE
//
// Also writes OUT.zip.index, one line per entry: "data-offset compressed-size
// uncompressed-size crc32 method", which the benchmark's zlib floor reads.
#include <zlib.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "zip_builder.h"

namespace {

constexpr uint64_t kTargetCompressed = 18637294;  // the payload's size at scale 1
constexpr uint32_t kDosTime = ((2023u - 1980) << 9 | 3 << 5 | 14) << 16 | (9 << 11 | 26 << 5 | 26);

struct Random {
  uint64_t state;
  uint64_t Next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ULL;
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
};

std::string Noise(Random& r, size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i += 8) {
    const uint64_t v = r.Next();
    for (size_t k = 0; k < 8 && i + k < n; ++k) s[i + k] = static_cast<char>(v >> (8 * k));
  }
  return s;
}

// Configuration, log and script-like text: a vocabulary with numbers mixed in.
std::string Text(Random& r, size_t n) {
  static const char* const kWords[] = {"client", "update", "server", "=", "version", "[section]", "\r\n", "path",
                                       "Kelvane", "data", "video", "picture", "0x", "true", "false", "timeout",
                                       "channel", "res", "<item", "/>", "name=\"", "\"", "  ", "config"};
  std::string s;
  s.reserve(n + 32);
  while (s.size() < n) {
    const uint64_t v = r.Next();
    s += kWords[v % 24];
    if ((v >> 8) % 5 == 0) s += std::to_string((v >> 16) % 100000);
    s += ' ';
  }
  s.resize(n);
  return s;
}

// Executable-like: runs of structure between stretches of noise.
std::string Binary(Random& r, size_t n) {
  std::string s;
  s.reserve(n + 4096);
  while (s.size() < n) {
    s += (r.Next() & 1) ? Noise(r, 256 + r.Next() % 2048) : Text(r, 256 + r.Next() % 4096);
  }
  s.resize(n);
  return s;
}

struct Item {
  std::string name;
  std::string data;
  bool folder;
};

std::vector<Item> Items(double scale) {
  Random r{0x6B76736574757021ULL};
  std::vector<Item> items;
  const char* const folders[] = {"datafile/", "pic/", "videoPicture/", "videoPicture/big/", "videoPicture/small/",
                                 "videoPicture/thumb/", "videoPicture/frames/", "Microsoft.VC90.CRT/"};
  for (const char* f : folders) items.push_back({f, "", true});
  auto size = [&](double lo, double hi) {
    return static_cast<size_t>(std::exp(std::log(lo) + r.Unit() * (std::log(hi) - std::log(lo))) * scale);
  };
  items.push_back({"config.ini", Text(r, size(400, 900)), false});
  items.push_back({"version.data", "1.8.3.2107" + std::string(22, ' ') + Text(r, 200), false});
  items.push_back({"kvClient.exe", Binary(r, size(1.5e6, 2.5e6)), false});
  items.push_back({"kvUpdate.exe", Binary(r, size(4e5, 8e5)), false});
  items.push_back({"kv_Uninstall.exe", Binary(r, size(1e5, 2e5)), false});
  for (int i = 0; i < 20; ++i) items.push_back({"kvlib" + std::to_string(i) + ".dll", Binary(r, size(2e4, 1.2e6)), false});
  for (int i = 0; i < 3; ++i) {
    items.push_back({std::string("Microsoft.VC90.CRT/msvc") + "prm"[i] + "90.dll", Binary(r, size(1e5, 6e5)), false});
  }
  for (int i = 0; i < 16; ++i) items.push_back({"datafile/table" + std::to_string(i) + ".dat", Text(r, size(300, 4e5)), false});
  for (int i = 0; i < 20; ++i) items.push_back({"pic/skin_" + std::to_string(i) + ".png", Noise(r, size(500, 6e4)), false});
  const char* const sub[] = {"big/", "small/", "thumb/", "frames/"};
  for (int i = 0; i < 24; ++i) {
    items.push_back({std::string("videoPicture/") + sub[i % 4] + "clip_" + std::to_string(i) + "_preview.jpg",
                     Noise(r, size(2e3, 3e5)), false});
  }
  // 88 files so far; the last one, a media file that does not deflate,
  // brings the compressed total to the payload's size.
  uint64_t compressed = 0;
  for (const Item& item : items) compressed += item.folder ? 0 : ziptest::Deflate(item.data).size();
  const uint64_t target = static_cast<uint64_t>(kTargetCompressed * scale);
  const uint64_t overhead = 97 * (30 + 46 + 36 + 40) + 22;
  const uint64_t rest = target > compressed + overhead + 4096 ? target - compressed - overhead : 4096;
  items.push_back({"videoPicture/intro.dat", Noise(r, rest - rest / 1000), false});
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUT.zip SCALE\n", argv[0]);
    return 2;
  }
  const double scale = std::atof(argv[2]);
  std::string body, central, index;
  const std::vector<Item> items = Items(scale);
  for (const Item& item : items) {
    const std::string stored = item.folder ? std::string() : ziptest::Deflate(item.data);
    const uint32_t method = item.folder ? 0 : 8;
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size())));
    const uint32_t offset = static_cast<uint32_t>(body.size());
    body += ziptest::Le32(0x04034B50);
    body += ziptest::Le16(item.folder ? 10 : 20);
    body += ziptest::Le16(0);
    body += ziptest::Le16(method);
    body += ziptest::Le32(kDosTime);
    body += ziptest::Le32(crc);
    body += ziptest::Le32(static_cast<uint32_t>(stored.size()));
    body += ziptest::Le32(static_cast<uint32_t>(item.data.size()));
    body += ziptest::Le16(static_cast<uint32_t>(item.name.size()));
    body += ziptest::Le16(0);
    body += item.name;
    index += std::to_string(body.size()) + " " + std::to_string(stored.size()) + " " +
             std::to_string(item.data.size()) + " " + std::to_string(crc) + " " + std::to_string(method) + "\n";
    body += stored;
    central += ziptest::Le32(0x02014B50);
    central += ziptest::Le16(63);
    central += ziptest::Le16(item.folder ? 10 : 20);
    central += ziptest::Le16(0);
    central += ziptest::Le16(method);
    central += ziptest::Le32(kDosTime);
    central += ziptest::Le32(crc);
    central += ziptest::Le32(static_cast<uint32_t>(stored.size()));
    central += ziptest::Le32(static_cast<uint32_t>(item.data.size()));
    central += ziptest::Le16(static_cast<uint32_t>(item.name.size()));
    central += ziptest::Le16(36);
    central += ziptest::Le16(0);
    central += ziptest::Le16(0);
    central += ziptest::Le16(0);
    central += ziptest::Le32(item.folder ? 0x10 : 0x20);
    central += ziptest::Le32(offset);
    central += item.name;
    central += ziptest::Le16(0x000A);  // NTFS times: reserved, tag 1, size 24, three FILETIMEs
    central += ziptest::Le16(32);
    central += ziptest::Le32(0);
    central += ziptest::Le16(1);
    central += ziptest::Le16(24);
    for (int i = 0; i < 3; ++i) {
      central += ziptest::Le32(0x5A3C1D00);
      central += ziptest::Le32(0x01D95660);
    }
  }
  std::string end;
  end += ziptest::Le32(0x06054B50);
  end += ziptest::Le16(0);
  end += ziptest::Le16(0);
  end += ziptest::Le16(static_cast<uint32_t>(items.size()));
  end += ziptest::Le16(static_cast<uint32_t>(items.size()));
  end += ziptest::Le32(static_cast<uint32_t>(central.size()));
  end += ziptest::Le32(static_cast<uint32_t>(body.size()));
  end += ziptest::Le16(0);
  const std::string archive = body + central + end;
  const std::string indexPath = std::string(argv[1]) + ".index";
  FILE* f = std::fopen(argv[1], "wb");
  FILE* g = std::fopen(indexPath.c_str(), "wb");
  if (f == nullptr || g == nullptr || std::fwrite(archive.data(), 1, archive.size(), f) != archive.size() ||
      std::fwrite(index.data(), 1, index.size(), g) != index.size() || std::fclose(f) != 0 || std::fclose(g) != 0) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %zu entries, %zu bytes\n", argv[1], items.size(), archive.size());
  return 0;
}
