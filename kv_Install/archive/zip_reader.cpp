// The handle layer over the directory cursor and the entry streams: checks
// the handle, caches the last record handed out, and owns the base folder,
// the password and the extraction output buffer.
#include "archive/zip_reader.h"

#include <cstring>
#include <new>

#include "archive/zip_directory.h"
#include "archive/zip_platform.h"
#include "archive/zip_read_ahead.h"
#include "archive/zip_reader_entry.h"
#include "base/mbcs.h"

namespace {

constexpr int32_t kReaderKind = 1;

}  // namespace

struct ZipReader {
  ZipDirectory* directory = nullptr;
  ZipEntryInfo cachedEntry{};
  int32_t cachedIndex = -1;
  char* password = nullptr;
  uint8_t* outputBuffer = nullptr;
  char baseFolder[kZipNameSize] = {};
  ZipReadAhead* readAhead = nullptr;
  // The open entry when a worker decoded it whole: read from here.
  uint8_t* decoded = nullptr;
  uint32_t decodedSize = 0;
  uint32_t decodedAt = 0;

  void DropDecoded() {
    delete[] decoded;
    decoded = nullptr;
  }
  ~ZipReader() {
    delete readAhead;  // its workers end before the directory goes
    DropDecoded();
    delete directory;
    delete[] password;
    delete[] outputBuffer;
  }
};

struct ZipHandle {
  int32_t kind;  // first, so a handle of another kind is told apart
  ZipReader reader;
};

namespace {

// ZRES_OK, or why the handle cannot be used.
uint32_t CheckHandle(const ZipHandle* handle) {
  if (handle == nullptr) return ZRES_BAD_ARGUMENT;
  if (handle->kind != kReaderKind) return ZRES_WRONG_HANDLE;
  return ZRES_OK;
}

// The current folder, ending in a separator. Left empty when it does not fit
// with its separator: relative paths then resolve against the current folder
// all the same.
void FillBaseFolder(char* base) {
  ZipCurrentFolder(base, kZipNameSize);
  base[kZipNameSize - 1] = '\0';
  const size_t length = std::strlen(base);
  if (length == 0) return;
  const char* last = base;
  for (const char* p = base; *p != '\0'; p = MbcsNext(p)) last = p;
  if (*last == '\\' || *last == '/') return;
  if (length + 2 > static_cast<size_t>(kZipNameSize)) {
    base[0] = '\0';
    return;
  }
  base[length] = '\\';
  base[length + 1] = '\0';
}

}  // namespace

const char* ZipResultName(uint32_t result) {
  switch (result) {
    case ZRES_OK: return "ZRES_OK";
    case ZRES_CANNOT_OPEN: return "ZRES_CANNOT_OPEN";
    case ZRES_WRITE_FAILED: return "ZRES_WRITE_FAILED";
    case ZRES_BAD_HEADER: return "ZRES_BAD_HEADER";
    case ZRES_READ_FAILED: return "ZRES_READ_FAILED";
    case ZRES_BAD_PASSWORD: return "ZRES_BAD_PASSWORD";
    case ZRES_BAD_ARGUMENT: return "ZRES_BAD_ARGUMENT";
    case ZRES_WRONG_HANDLE: return "ZRES_WRONG_HANDLE";
    case ZRES_DECOMPRESS_FAILED: return "ZRES_DECOMPRESS_FAILED";
    case ZRES_BAD_DATA: return "ZRES_BAD_DATA";
    case ZRES_BAD_NAME: return "ZRES_BAD_NAME";
    case ZRES_FILE_HELD: return "ZRES_FILE_HELD";
    case ZRES_LINK_IN_PATH: return "ZRES_LINK_IN_PATH";
    default: break;
  }
  static const char kDigits[] = "0123456789ABCDEF";
  static char unknown[] = "ZRES_0x00000000";  // one thread only, like the reader
  for (int i = 0; i < 8; ++i) unknown[7 + i] = kDigits[(result >> (28 - 4 * i)) & 15];
  return unknown;
}

ZipHandle* ZipOpenMemory(const void* data, uint32_t size) {
  ZipHandle* handle = new (std::nothrow) ZipHandle;
  if (handle == nullptr) return nullptr;
  handle->kind = kReaderKind;
  FillBaseFolder(handle->reader.baseFolder);
  handle->reader.directory = ZipDirectory::Open(static_cast<const uint8_t*>(data), size);
  if (handle->reader.directory == nullptr) {
    delete handle;
    return nullptr;
  }
  return handle;
}

void ZipSetPassword(ZipHandle* handle, const char* password) {
  if (CheckHandle(handle) != ZRES_OK) return;
  ZipReader& reader = handle->reader;
  delete[] reader.password;
  reader.password = nullptr;
  if (password == nullptr) return;
  const size_t length = std::strlen(password);
  reader.password = new (std::nothrow) char[length + 1];
  if (reader.password != nullptr) std::memcpy(reader.password, password, length + 1);
}

uint32_t ZipGetEntry(ZipHandle* handle, int32_t index, ZipEntryInfo* info) {
  const uint32_t check = CheckHandle(handle);
  if (check != ZRES_OK) return check;
  ZipReader& reader = handle->reader;
  ZipDirectory& dir = *reader.directory;
  if (index < -1 || (index >= 0 && static_cast<uint32_t>(index) >= dir.EntryCount())) return ZRES_BAD_ARGUMENT;
  if (info == nullptr) return ZRES_BAD_ARGUMENT;
  if (index == reader.cachedIndex && index != -1) {
    *info = reader.cachedEntry;
    return ZRES_OK;
  }
  if (index == -1) {
    std::memset(info, 0, sizeof *info);
    info->index = static_cast<int32_t>(dir.EntryCount());
    return ZRES_OK;
  }

  // A central header that cannot be read, a name too long for the record, a
  // local header that disagrees: the entry cannot be handed out.
  ZipLocalLayout layout;
  if (dir.MoveTo(static_cast<uint32_t>(index)) != ZST_OK || dir.Name() == nullptr ||
      dir.CheckLocalHeader(&layout) != ZST_OK) {
    return ZRES_BAD_HEADER;
  }
  const uint8_t* extra = dir.Source().View(layout.extraOffset + dir.PrefixLength(), layout.extraLength);
  if (extra == nullptr) return ZRES_READ_FAILED;

  const ZipCentralHeader& h = dir.Header();
  ZipEntryInfo entry{};
  entry.index = index;
  std::memcpy(entry.name, dir.Name(), sizeof entry.name);
  // A UTF-8 name becomes GBK before it is cleaned: scanned as GBK, its bytes
  // would pair up wrongly and could swallow a separator.
  if ((h.flags & kZipUtf8NameFlag) != 0 && !Utf8NameToGbk(entry.name)) return ZRES_BAD_NAME;
  CleanEntryName(entry.name);
  entry.attributes = ZipAttributes(h.versionMadeBy, h.externalAttributes);
  entry.compressedSize = static_cast<int32_t>(h.compressedSize);
  entry.uncompressedSize = static_cast<int32_t>(h.uncompressedSize);
  ZipEntryTimes(h.dosDateTime, extra, layout.extraLength, &entry);
  reader.cachedEntry = entry;
  reader.cachedIndex = index;
  *info = entry;
  return ZRES_OK;
}

uint32_t ZipGetEntryCrc(ZipHandle* handle, int32_t index, uint32_t* crc) {
  ZipEntryInfo info;
  const uint32_t got = index >= 0 ? ZipGetEntry(handle, index, &info) : ZRES_BAD_ARGUMENT;
  if (got != ZRES_OK || crc == nullptr) return got != ZRES_OK ? got : ZRES_BAD_ARGUMENT;
  ZipDirectory& dir = *handle->reader.directory;
  if (dir.MoveTo(static_cast<uint32_t>(index)) != ZST_OK) return ZRES_BAD_HEADER;
  *crc = dir.Header().crc32;
  return ZRES_OK;
}

uint32_t ZipClose(ZipHandle* handle) {
  const uint32_t check = CheckHandle(handle);
  if (check != ZRES_OK) return check;
  handle->kind = 0;
  delete handle;
  return ZRES_OK;
}

int32_t ZipOpenEntry(ZipHandle* handle, int32_t index) {
  if (CheckHandle(handle) != ZRES_OK) return ZST_BAD_PARAM;
  ZipReader& reader = handle->reader;
  ZipDirectory& dir = *reader.directory;
  if (index < 0 || static_cast<uint32_t>(index) >= dir.EntryCount()) return ZST_BAD_PARAM;
  (void)dir.CloseStream();  // at most one open entry; its status is the old entry's
  reader.DropDecoded();
  if (reader.readAhead != nullptr && reader.password == nullptr) {
    reader.decoded = reader.readAhead->Take(static_cast<uint32_t>(index), &reader.decodedSize);
    reader.decodedAt = 0;
    if (reader.decoded != nullptr) return ZST_OK;
  }
  const int32_t status = dir.MoveTo(static_cast<uint32_t>(index));
  if (status != ZST_OK) return status;
  return dir.OpenStream(reader.password);
}

bool ZipStartReadAhead(ZipHandle* handle) {
  if (CheckHandle(handle) != ZRES_OK) return false;
  ZipReader& reader = handle->reader;
  if (reader.readAhead == nullptr) {
    const MemorySource& source = reader.directory->Source();
    reader.readAhead = ZipReadAhead::Start(source.View(0, source.Length()), source.Length());
  }
  return reader.readAhead != nullptr;
}

namespace {

// A read of an entry a worker decoded whole: as the stream would hand it out.
int32_t ReadDecoded(ZipReader& reader, uint8_t* buffer, uint32_t capacity, bool* end) {
  if (capacity > INT32_MAX) capacity = INT32_MAX;
  const uint32_t left = reader.decodedSize - reader.decodedAt;
  const uint32_t n = capacity < left ? capacity : left;
  if (n != 0) std::memcpy(buffer, reader.decoded + reader.decodedAt, n);
  reader.decodedAt += n;
  *end = reader.decodedAt == reader.decodedSize;
  return static_cast<int32_t>(n);
}

}  // namespace

int32_t ZipReadEntry(ZipHandle* handle, void* buffer, uint32_t capacity, bool* end) {
  bool ignored;
  if (end == nullptr) end = &ignored;
  *end = false;
  if (CheckHandle(handle) != ZRES_OK) return ZST_BAD_PARAM;
  if (handle->reader.decoded != nullptr) {
    if (buffer == nullptr && capacity != 0) return ZST_BAD_PARAM;
    return ReadDecoded(handle->reader, static_cast<uint8_t*>(buffer), capacity, end);
  }
  ZipEntryStream* stream = handle->reader.directory->Stream();
  if (stream == nullptr || (buffer == nullptr && capacity != 0)) return ZST_BAD_PARAM;
  return stream->Read(static_cast<uint8_t*>(buffer), capacity, end);
}

int32_t ZipCloseEntry(ZipHandle* handle) {
  if (CheckHandle(handle) != ZRES_OK) return ZST_BAD_PARAM;
  if (handle->reader.decoded != nullptr) {
    handle->reader.DropDecoded();
    return ZST_OK;
  }
  return handle->reader.directory->CloseStream();
}

const char* ZipBaseFolder(ZipHandle* handle) {
  if (CheckHandle(handle) != ZRES_OK) return nullptr;
  return handle->reader.baseFolder;
}

uint8_t* ZipOutputBuffer(ZipHandle* handle) {
  if (CheckHandle(handle) != ZRES_OK) return nullptr;
  ZipReader& reader = handle->reader;
  if (reader.outputBuffer == nullptr) reader.outputBuffer = new (std::nothrow) uint8_t[kZipBufferSize];
  return reader.outputBuffer;
}

namespace {

uint32_t ResultOfStatus(int32_t status) {
  switch (status) {
    case ZST_OK: return ZRES_OK;
    case ZST_BAD_PASSWORD: return ZRES_BAD_PASSWORD;
    case ZST_CRC_MISMATCH:
    case ZST_BAD_DATA: return ZRES_BAD_DATA;
    default: return ZRES_DECOMPRESS_FAILED;
  }
}

}  // namespace

uint32_t ZipVerifyEntry(ZipHandle* handle, int32_t index) {
  if (index < 0 && CheckHandle(handle) == ZRES_OK) return ZRES_BAD_ARGUMENT;
  ZipEntryInfo info;
  const uint32_t got = ZipGetEntry(handle, index, &info);
  if (got != ZRES_OK) return got;
  uint8_t* buffer = ZipOutputBuffer(handle);
  if (buffer == nullptr) return ZRES_DECOMPRESS_FAILED;
  if (ZipOpenEntry(handle, index) != ZST_OK) return ZRES_DECOMPRESS_FAILED;
  uint32_t result = ZRES_OK;
  for (;;) {
    bool end = false;
    const int32_t count = ZipReadEntry(handle, buffer, kZipBufferSize, &end);
    if (count < 0) {
      result = ResultOfStatus(count);
      break;
    }
    if (end) break;
    if (count == 0) {
      result = ZRES_DECOMPRESS_FAILED;
      break;
    }
  }
  const uint32_t closed = ResultOfStatus(ZipCloseEntry(handle));
  return result != ZRES_OK ? result : closed;
}
