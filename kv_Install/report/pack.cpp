#include "report/pack.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

// Growth beyond this would no longer be describable by the int32 sizes of
// the serialised form.
constexpr int64_t kMaxDataBytes = INT32_MAX;

void PutWord(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
  at[2] = static_cast<uint8_t>(value >> 16);
  at[3] = static_cast<uint8_t>(value >> 24);
}

// Makes room for `total` elements of `v`; false, with `v` unchanged, when the
// heap cannot give the memory. The program is built without exceptions, so a
// vector that fails to allocate would end it: the heap is asked first, without
// throwing, for the block reserve() then takes (twice the capacity, so that
// appending row by row stays linear, else exactly `total`). Sizes stay far
// below max_size(), so growth cannot fail for its length.
template <typename T>
bool Reserve(std::vector<T>& v, size_t total) {
  if (total <= v.capacity()) return true;
  size_t want = std::max(total, std::min(2 * v.capacity(), v.max_size()));
  void* probe = ::operator new(want * sizeof(T), std::nothrow);
  if (probe == nullptr) {
    want = total;
    probe = ::operator new(want * sizeof(T), std::nothrow);
    if (probe == nullptr) return false;
  }
  ::operator delete(probe);
  v.reserve(want);
  return true;
}

// Appends `count` bytes of `fill`; false when memory runs out.
bool Grow(PackBytes& data, int64_t count, uint8_t fill) {
  if (count == 0) return true;
  if (static_cast<int64_t>(data.size()) + count > kMaxDataBytes) return false;
  if (!Reserve(data, data.size() + static_cast<size_t>(count))) return false;
  data.insert(data.end(), static_cast<size_t>(count), fill);
  return true;
}

}  // namespace

bool CPack::Fail(const char* message) {
  m_strLastError = message;
  return false;
}

bool CPack::Consistent() const {
  return static_cast<int64_t>(m_nRowSize) * m_nRowCount <= static_cast<int64_t>(m_data.size());
}

int CPack::FindField(int32_t id, int64_t* offset) const {
  int64_t sum = 0;
  for (size_t i = 0; i < m_fields.size(); ++i) {
    if (m_fields[i].id == id) {
      *offset = sum;
      return static_cast<int>(i);
    }
    sum += m_fields[i].Length();
  }
  return -1;
}

int64_t CPack::SerialisedSize() const {
  return 16 * (static_cast<int64_t>(m_fields.size()) + 1) + static_cast<int64_t>(m_nRowSize) * m_nRowCount;
}

bool CPack::LocateField(int32_t row, int32_t id, int32_t type, int32_t length, size_t* offset,
                        PackField* field) {
  if (row < 0 || row > m_nRowCount) return Fail("index error");
  if (m_nState == kClosed) return Fail("use state error");
  // A negative length would shrink the row layout; a longer one than the
  // descriptor can hold would make the descriptor lie about the row layout.
  if (length < 0) return Fail("length error");
  if (length > kPackMaxFieldLength) return Fail("length too big");

  int64_t fieldOffset = 0;
  const int index = FindField(id, &fieldOffset);
  if (index >= 0) {
    const PackField& existing = m_fields[static_cast<size_t>(index)];
    if (existing.Type() != type) return Fail("Datatype error");
    if (row == m_nRowCount && m_nRowCount != 0) {
      if (m_nRowCount == INT32_MAX) return Fail("index error");
      m_nState = kRows;
      if (!Grow(m_data, m_nRowSize, 0x00) ||
          static_cast<int64_t>(m_data.size()) < (static_cast<int64_t>(m_nRowCount) + 1) * m_nRowSize) {
        return Fail("memory error");
      }
      ++m_nRowCount;
    }
    *offset = static_cast<size_t>(static_cast<int64_t>(row) * m_nRowSize + fieldOffset);
    if (field != nullptr) *field = existing;
    return true;
  }

  if (m_nState == kRows) return Fail("adDate etntype error");
  if (row != 0) return Fail("index error");
  if (static_cast<int64_t>(m_nRowSize) + length > INT32_MAX) return Fail("memory error");

  m_nState = kDefining;
  PackField added;
  added.typeAndLength = (static_cast<uint32_t>(type) & 0x3F) | ((static_cast<uint32_t>(length) & 0x3FFFFFF) << 6);
  added.id = id;
  const int64_t oldRowSize = m_nRowSize;
  if (!Reserve(m_fields, m_fields.size() + 1)) return Fail("memory error");
  m_fields.push_back(added);
  if (!Grow(m_data, length, '0') || static_cast<int64_t>(m_data.size()) < oldRowSize + length) {
    m_fields.pop_back();
    return Fail("memory error");
  }
  m_nRowSize += length;
  m_nRowCount = 1;
  *offset = static_cast<size_t>(oldRowSize);
  if (field != nullptr) *field = added;
  return true;
}

bool CPack::PutBytes(const void* source, int32_t length, int32_t id, int32_t row) {
  if (!Consistent()) return false;
  if (length < 0) return Fail("length error");
  if (length > kPackMaxBytesLength) return Fail("length too big");
  size_t offset = 0;
  PackField field;
  if (!LocateField(row, id, PACK_TYPE_BYTES, length, &offset, &field)) return false;
  const size_t count = static_cast<size_t>(std::min(length, field.Length()));
  if (count > 0) std::memcpy(m_data.data() + offset, source, count);
  return true;
}

bool CPack::PutRecord(int32_t id, int32_t row, const PackRecord& record) {
  if (!Consistent()) return false;
  // A field of this id defined shorter (through LocateField) cannot take the
  // 28 bytes: refused before anything changes, as PutPack refuses.
  constexpr int32_t kRecordLength = static_cast<int32_t>(sizeof(uint32_t) * std::tuple_size<PackRecord>::value);
  int64_t fieldOffset = 0;
  const int index = FindField(id, &fieldOffset);
  if (index >= 0) {
    const PackField& existing = m_fields[static_cast<size_t>(index)];
    if (existing.Type() == PACK_TYPE_RECORD && existing.Length() != kRecordLength) return Fail("record length error");
  }
  size_t offset = 0;
  if (!LocateField(row, id, PACK_TYPE_RECORD, kRecordLength, &offset)) return false;
  for (size_t i = 0; i < record.size(); ++i) PutWord(m_data.data() + offset + 4 * i, record[i]);
  return true;
}

bool CPack::PutPack(int32_t row, int32_t id, const CPack& inner) {
  if (&inner == this) return Fail("this error");
  if (!Consistent()) return false;
  const int64_t length = inner.SerialisedSize();
  if (length < 1) return false;
  if (length > kPackMaxFieldLength) return Fail("length too big");

  // An existing field keeps its length: an inner pack of another size would
  // either leave stale bytes or run into the next field, so it is refused
  // before anything changes.
  int64_t fieldOffset = 0;
  const int index = FindField(id, &fieldOffset);
  if (index >= 0) {
    const PackField& existing = m_fields[static_cast<size_t>(index)];
    if (existing.Type() == PACK_TYPE_PACK && existing.Length() != length) return Fail("pack length error");
  }

  size_t offset = 0;
  if (!LocateField(row, id, PACK_TYPE_PACK, static_cast<int32_t>(length), &offset)) return false;
  PackBytes serialised;
  if (!inner.GetAllPackData(serialised) || static_cast<int64_t>(serialised.size()) != length) {
    return Fail("pack getallpackdata error");
  }
  std::memcpy(m_data.data() + offset, serialised.data(), serialised.size());
  return true;
}

bool CPack::GetAllPackData(PackBytes& out) const {
  const int64_t total = SerialisedSize();
  // The total is at most 16 x (fields + 1) plus the data's own size, far
  // below max_size(); only the heap can refuse it.
  if (total > static_cast<int64_t>(out.max_size()) || !Reserve(out, static_cast<size_t>(total))) return false;
  out.assign(static_cast<size_t>(total), 0);
  PutWord(&out[0], static_cast<uint32_t>(m_nRowSize));
  PutWord(&out[4], static_cast<uint32_t>(m_nRowCount));
  PutWord(&out[8], static_cast<uint32_t>(m_fields.size()));
  uint8_t* at = out.data() + 16;
  for (const PackField& field : m_fields) {
    PutWord(at, field.typeAndLength);
    PutWord(at + 8, static_cast<uint32_t>(field.id));
    at += 16;
  }
  if (m_nRowCount != 0) {
    const int64_t rows = std::min(static_cast<int64_t>(m_nRowSize) * m_nRowCount, static_cast<int64_t>(m_data.size()));
    if (rows > 0) std::memcpy(at, m_data.data(), static_cast<size_t>(rows));
  }
  return true;
}
