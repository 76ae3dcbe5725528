// CPack: a small self-describing table of fixed-width rows, the body format of
// the TCP install log. Each column (field) has a 32-bit id, a 6-bit type code
// and a byte length fixed when the field is first written. A serialised pack
// can be stored as one field of another pack, so packs nest.
//
// Serialised form (all integers little-endian):
//   0   row size          4   row count
//   8   field count N     12  0
//   16  N descriptors of 16 bytes: word (type | length << 6), 0, id, 0
//   16 + 16 N             the rows, row count x row size bytes
//
// Every operation returns true or false; a failure keeps its message in
// LastError(). The installer only writes packs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int32_t PACK_TYPE_PACK = 1;
constexpr int32_t PACK_TYPE_BYTES = 2;
constexpr int32_t PACK_TYPE_RECORD = 8;

// Longest byte string PutBytes accepts.
constexpr int32_t kPackMaxBytesLength = 60000000;
// Longest field the 26-bit length of a descriptor can describe.
constexpr int32_t kPackMaxFieldLength = 0x3FFFFFF;

// One column, 16 bytes on the wire.
struct PackField {
  uint32_t typeAndLength = 0;  // bits 0-5 type code, bits 6-31 length in bytes
  int32_t id = 0;

  int32_t Type() const { return static_cast<int32_t>(typeAndLength & 0x3F); }
  int32_t Length() const { return static_cast<int32_t>(typeAndLength >> 6); }
};

// The 28-byte command record of a PACK_TYPE_RECORD field.
using PackRecord = std::array<uint32_t, 7>;

using PackBytes = std::vector<uint8_t>;

class CPack {
 public:
  enum State : uint16_t { kEmpty = 0, kDefining = 1, kRows = 2, kClosed = 3 };

  // Where field `id` of `row` starts in the data (*offset), defining the field
  // (row 0 only, before a second row exists) or appending the row (row equal
  // to the row count) when needed. A new field's bytes are filled with '0',
  // an appended row's with 0x00.
  bool LocateField(int32_t row, int32_t id, int32_t type, int32_t length, size_t* offset,
                   PackField* field = nullptr);

  // A byte string of type 2. The first write fixes the field's length; later
  // rows take at most that many bytes, and a shorter value leaves the rest of
  // the field as it was.
  bool PutBytes(const void* source, int32_t length, int32_t id, int32_t row);
  // A 28-byte record of type 8.
  bool PutRecord(int32_t id, int32_t row, const PackRecord& record);
  // The serialised form of `inner`, type 1. Into a row of an existing field
  // only when the inner pack's size equals the field's length.
  bool PutPack(int32_t row, int32_t id, const CPack& inner);

  // The serialised form; `out` is resized to exactly its length.
  bool GetAllPackData(PackBytes& out) const;

  int32_t RowCount() const { return m_nRowCount; }
  int32_t RowSize() const { return m_nRowSize; }
  State GetState() const { return static_cast<State>(m_nState); }
  const std::vector<PackField>& Fields() const { return m_fields; }
  const std::string& LastError() const { return m_strLastError; }
  const PackBytes& Data() const { return m_data; }

  // Size of the serialised form.
  int64_t SerialisedSize() const;

 private:
  bool Fail(const char* message);
  // Row size x row count fits in the data.
  bool Consistent() const;
  // Index of the field with this id, and its offset within a row; -1 if none.
  int FindField(int32_t id, int64_t* offset) const;

  int32_t m_nRowCount = 0;
  int32_t m_nRowSize = 0;
  uint16_t m_nState = kEmpty;
  std::vector<PackField> m_fields;
  std::string m_strLastError;
  PackBytes m_data;
};
