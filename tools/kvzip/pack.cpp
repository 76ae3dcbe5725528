#include "pack.h"

#include <dirent.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "base/gbk_text.h"
#include "LzmaEnc.h"

namespace {

constexpr uint16_t kStored = 0, kDeflated = 8, kLzma = 14;
constexpr uint16_t kUtf8Flag = 0x800;
constexpr uint16_t kMadeBy = 63;  // MS-DOS host: the external attributes are Windows' own bits
constexpr uint32_t kMaxDictionary = 64u << 20;  // what the installer's reader takes
constexpr uint8_t kSdkVersion[2] = {9, 22};

struct PackEntry {
  std::string path;  // on disk
  std::string name;  // in the archive, '/'-separated, a folder's ending in '/'
  bool folder = false;
  bool utf8 = false;
  struct stat info {};
  uint16_t method = kStored;
  uint32_t crc = 0;
  uint32_t size = 0;
  std::vector<uint8_t> data;  // as stored in the archive
};

void* Allocate(void*, size_t size) { return ::operator new(size, std::nothrow); }
void Free(void*, void* address) { ::operator delete(address); }
ISzAlloc g_alloc = {Allocate, Free};

void Put16(std::vector<uint8_t>* out, uint32_t v) {
  out->push_back(static_cast<uint8_t>(v));
  out->push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Lists dir (its path on disk, its name in the archive) depth first, each
// folder before what it holds, in byte order of the names.
bool Walk(const std::string& dir, const std::string& prefix, std::vector<PackEntry>* entries) {
  DIR* handle = ::opendir(dir.c_str());
  if (handle == nullptr) {
    std::fprintf(stderr, "kvzip: cannot list %s\n", dir.c_str());
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(handle)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
  }
  ::closedir(handle);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    PackEntry entry;
    entry.path = dir + "/" + n;
    if (::lstat(entry.path.c_str(), &entry.info) != 0) {
      std::fprintf(stderr, "kvzip: cannot read %s\n", entry.path.c_str());
      return false;
    }
    entry.folder = S_ISDIR(entry.info.st_mode);
    if (!entry.folder && !S_ISREG(entry.info.st_mode)) {
      std::fprintf(stderr, "kvzip: %s is neither a file nor a folder (a link?): not packed\n", entry.path.c_str());
      return false;
    }
    if (!entry.folder && static_cast<uint64_t>(entry.info.st_size) >= 0xFFFFFFFFull) {
      std::fprintf(stderr, "kvzip: %s is 4 GiB or more: the installer's archive cannot hold it\n",
                   entry.path.c_str());
      return false;
    }
    // GBK where every character fits (ASCII names are the same in both);
    // else the UTF-8 name as it is, flagged.
    std::string gbk;
    const std::string utf8 = prefix + n;
    if (Utf8ToGbk(utf8, &gbk)) {
      entry.name = gbk;
    } else {
      std::u16string check;
      if (!Utf8ToUtf16(utf8, &check)) {
        std::fprintf(stderr, "kvzip: the name %s is not UTF-8\n", entry.path.c_str());
        return false;
      }
      entry.name = utf8;
      entry.utf8 = true;
    }
    if (entry.folder) entry.name += '/';
    const std::string path = entry.path;
    const bool folder = entry.folder;
    entries->push_back(std::move(entry));
    if (folder && !Walk(path, utf8 + "/", entries)) return false;
  }
  return true;
}

// The smallest dictionary of the sizes LZMA encoders use (2^n or 3 * 2^n)
// that holds the whole file, within the reader's limit.
uint32_t FittedDictionary(uint32_t size) {
  for (uint32_t i = 11; i < 26; ++i) {
    if (size <= (2u << i)) return 2u << i;
    if (size <= (3u << i)) return 3u << i;
  }
  return kMaxDictionary;
}

// The ZIP data of an LZMA entry, or empty when it would not be smaller than
// the file.
std::vector<uint8_t> LzmaData(const std::vector<uint8_t>& file) {
  if (file.size() <= 9) return {};
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = 9;
  props.dictSize = FittedDictionary(static_cast<uint32_t>(file.size()));
  props.fb = 273;
  props.numThreads = 1;
  std::vector<uint8_t> out(file.size());
  SizeT streamSize = out.size() - 9;
  SizeT propsSize = LZMA_PROPS_SIZE;
  const SRes res = LzmaEncode(out.data() + 9, &streamSize, file.data(), file.size(), &props, out.data() + 4,
                              &propsSize, 0, nullptr, &g_alloc, &g_alloc);
  if (res != SZ_OK || propsSize != LZMA_PROPS_SIZE) return {};
  out[0] = kSdkVersion[0];
  out[1] = kSdkVersion[1];
  out[2] = LZMA_PROPS_SIZE;
  out[3] = 0;
  out.resize(9 + streamSize);
  return out;
}

std::vector<uint8_t> DeflateData(const std::vector<uint8_t>& file) {
  z_stream z{};
  if (deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::vector<uint8_t> out(deflateBound(&z, file.size()));
  z.next_in = const_cast<Bytef*>(file.data());
  z.avail_in = static_cast<uInt>(file.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  const int ret = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return ret == Z_STREAM_END && out.size() < file.size() ? out : std::vector<uint8_t>{};
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* data) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data->insert(data->end(), chunk, chunk + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

bool Compress(PackEntry* entry, bool useDeflate) {
  std::vector<uint8_t> file;
  if (!ReadFile(entry->path, &file) || file.size() >= 0xFFFFFFFFull) {
    std::fprintf(stderr, "kvzip: cannot read %s\n", entry->path.c_str());
    return false;
  }
  entry->size = static_cast<uint32_t>(file.size());
  entry->crc = static_cast<uint32_t>(crc32(0, file.data(), static_cast<uInt>(file.size())));
  std::vector<uint8_t> packed = useDeflate ? DeflateData(file) : LzmaData(file);
  if (!packed.empty() && packed.size() < file.size()) {
    entry->method = useDeflate ? kDeflated : kLzma;
    entry->data = std::move(packed);
  } else {
    entry->data = std::move(file);
  }
  return true;
}

uint32_t DosTime(time_t t) {
  struct tm local {};
  if (::localtime_r(&t, &local) == nullptr || local.tm_year < 80) return (1u << 21) | (1u << 16);  // 1980-01-01
  if (local.tm_year > 207) local.tm_year = 207;
  return static_cast<uint32_t>((local.tm_year - 80) << 25 | (local.tm_mon + 1) << 21 | local.tm_mday << 16 |
                               local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
}

uint32_t UnixTime(time_t t) {
  if (t < 0) return 0;
  return t > 0x7FFFFFFF ? 0x7FFFFFFFu : static_cast<uint32_t>(t);
}

// Read-only when the owner may not write it; folders and files as Windows
// marks them.
uint32_t DosAttributes(const PackEntry& e) {
  const uint32_t readOnly = (e.info.st_mode & S_IWUSR) ? 0 : 0x01;
  return (e.folder ? 0x10 : 0x20) | readOnly;
}

}  // namespace

int PackFolder(const char* folder, const char* archive, bool useDeflate) {
  std::vector<PackEntry> entries;
  struct stat top {};
  if (::stat(folder, &top) != 0 || !S_ISDIR(top.st_mode)) {
    std::fprintf(stderr, "kvzip: %s is not a folder\n", folder);
    return 1;
  }
  if (!Walk(folder, "", &entries)) return 1;

  // Files are compressed in parallel, one per core at a time.
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&] {
      for (size_t i; (i = next++) < entries.size() && !failed;) {
        if (!entries[i].folder && !Compress(&entries[i], useDeflate)) failed = true;
      }
    });
  }
  for (std::thread& t : threads) t.join();
  if (failed) return 1;

  std::vector<uint8_t> out, directory;
  for (PackEntry& e : entries) {
    if (out.size() >= 0xFFFFFFFFull - 512 - e.data.size()) {
      std::fprintf(stderr, "kvzip: %s: the archive would pass 4 GiB\n", archive);
      return 1;
    }
    const uint32_t offset = static_cast<uint32_t>(out.size());
    const uint16_t needed = e.method == kLzma ? 63 : e.method == kDeflated ? 20 : 10;
    const uint16_t flags = e.utf8 ? kUtf8Flag : 0;
    const uint32_t dos = DosTime(e.info.st_mtime);
    const uint32_t compressed = static_cast<uint32_t>(e.data.size());
    // Local header: the "UT" block with the write and access times.
    Put32(&out, 0x04034b50);
    Put16(&out, needed);
    Put16(&out, flags);
    Put16(&out, e.method);
    Put32(&out, dos);
    Put32(&out, e.crc);
    Put32(&out, compressed);
    Put32(&out, e.size);
    Put16(&out, static_cast<uint32_t>(e.name.size()));
    Put16(&out, 13);
    out.insert(out.end(), e.name.begin(), e.name.end());
    Put16(&out, 0x5455);
    Put16(&out, 9);
    out.push_back(3);
    Put32(&out, UnixTime(e.info.st_mtime));
    Put32(&out, UnixTime(e.info.st_atime));
    out.insert(out.end(), e.data.begin(), e.data.end());
    // Central header: the write time alone, as the format has it.
    Put32(&directory, 0x02014b50);
    Put16(&directory, kMadeBy);
    Put16(&directory, needed);
    Put16(&directory, flags);
    Put16(&directory, e.method);
    Put32(&directory, dos);
    Put32(&directory, e.crc);
    Put32(&directory, compressed);
    Put32(&directory, e.size);
    Put16(&directory, static_cast<uint32_t>(e.name.size()));
    Put16(&directory, 9);
    Put16(&directory, 0);
    Put16(&directory, 0);
    Put16(&directory, 0);
    Put32(&directory, DosAttributes(e));
    Put32(&directory, offset);
    directory.insert(directory.end(), e.name.begin(), e.name.end());
    Put16(&directory, 0x5455);
    Put16(&directory, 5);
    directory.push_back(3);
    Put32(&directory, UnixTime(e.info.st_mtime));
    std::vector<uint8_t>().swap(e.data);
  }
  if (entries.size() > 0xFFFF || out.size() + directory.size() + 22 > 0xFFFFFFFFull) {
    std::fprintf(stderr, "kvzip: %s: too many entries or too large for an archive without ZIP64\n", archive);
    return 1;
  }
  const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
  out.insert(out.end(), directory.begin(), directory.end());
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, static_cast<uint32_t>(entries.size()));
  Put16(&out, static_cast<uint32_t>(entries.size()));
  Put32(&out, static_cast<uint32_t>(directory.size()));
  Put32(&out, directoryOffset);
  Put16(&out, 0);

  FILE* f = std::fopen(archive, "wb");
  const bool written = f != nullptr && std::fwrite(out.data(), 1, out.size(), f) == out.size();
  if (f != nullptr && std::fclose(f) != 0) f = nullptr;
  if (!written || f == nullptr) {
    std::fprintf(stderr, "kvzip: cannot write %s\n", archive);
    std::remove(archive);
    return 1;
  }
  return 0;
}
