// The pack format: layout rules, failure messages and the serialised form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "report/pack.h"

namespace {

uint32_t WordAt(const PackBytes& bytes, size_t offset) {
  return static_cast<uint32_t>(bytes.at(offset)) | static_cast<uint32_t>(bytes.at(offset + 1)) << 8 |
         static_cast<uint32_t>(bytes.at(offset + 2)) << 16 | static_cast<uint32_t>(bytes.at(offset + 3)) << 24;
}

PackBytes Serialise(const CPack& pack) {
  PackBytes out{0xEE, 0xEE};  // stale content must not survive
  EXPECT_TRUE(pack.GetAllPackData(out));
  return out;
}

std::string RowText(const CPack& pack, int row, size_t offset, size_t length) {
  const auto* at = pack.Data().data() + static_cast<size_t>(row) * pack.RowSize() + offset;
  return std::string(reinterpret_cast<const char*>(at), length);
}

TEST(Pack, EmptyPackIsSixteenZeroBytes) {
  CPack pack;
  EXPECT_EQ(Serialise(pack), PackBytes(16, 0));
  EXPECT_EQ(pack.GetState(), CPack::kEmpty);
  EXPECT_EQ(pack.LastError(), "");
}

TEST(Pack, FirstValueFixesTheFieldLengthForLaterRows) {
  CPack pack;
  ASSERT_TRUE(pack.PutBytes("abcd", 4, 7, 0));
  ASSERT_TRUE(pack.PutBytes("xy", 2, 9, 0));
  EXPECT_EQ(pack.RowSize(), 6);
  EXPECT_EQ(pack.GetState(), CPack::kDefining);

  ASSERT_TRUE(pack.PutBytes("LONGER", 6, 7, 1));  // cut to 4
  EXPECT_EQ(pack.GetState(), CPack::kRows);
  ASSERT_TRUE(pack.PutBytes("Q", 1, 9, 1));       // the rest stays 0x00
  ASSERT_TRUE(pack.PutBytes("z", 1, 7, 2));       // row 2 appended by a later field's write
  EXPECT_EQ(pack.RowCount(), 3);
  EXPECT_EQ(RowText(pack, 0, 0, 6), "abcdxy");
  EXPECT_EQ(RowText(pack, 1, 0, 6), std::string("LONGQ\0", 6));
  EXPECT_EQ(RowText(pack, 2, 0, 6), std::string("z\0\0\0\0\0", 6));

  // Overwriting an existing row with a shorter value keeps its old tail.
  ASSERT_TRUE(pack.PutBytes("AB", 2, 7, 0));
  EXPECT_EQ(RowText(pack, 0, 0, 6), "ABcdxy");
}

TEST(Pack, ZeroLengthFieldAddsADescriptorButNoRowBytes) {
  CPack pack;
  ASSERT_TRUE(pack.PutBytes("", 0, 5, 0));
  ASSERT_TRUE(pack.PutBytes("ab", 2, 6, 0));
  ASSERT_TRUE(pack.PutBytes(nullptr, 0, 5, 1));
  const PackBytes out = Serialise(pack);
  ASSERT_EQ(out.size(), 16u + 32u + 4u);
  EXPECT_EQ(WordAt(out, 0), 2u);        // row size
  EXPECT_EQ(WordAt(out, 4), 2u);        // rows
  EXPECT_EQ(WordAt(out, 16), 0x02u);    // length 0, type 2
  EXPECT_EQ(WordAt(out, 32), 0x82u);    // length 2, type 2
  EXPECT_EQ(std::string(out.begin() + 48, out.end()), std::string("ab\0\0", 4));
}

TEST(Pack, LengthLimitIsSixtyMillionExactly) {
  std::vector<char> big(60000001, 'x');
  CPack pack;
  EXPECT_FALSE(pack.PutBytes(big.data(), 60000001, 1, 0));
  EXPECT_EQ(pack.LastError(), "length too big");
  EXPECT_EQ(pack.Fields().size(), 0u);

  ASSERT_TRUE(pack.PutBytes(big.data(), 60000000, 1, 0));
  EXPECT_EQ(pack.RowSize(), 60000000);
  EXPECT_EQ(pack.Fields()[0].typeAndLength, (60000000u << 6) | 2u);
}

TEST(Pack, NegativeLengthsAreRefusedWithoutChange) {
  CPack pack;
  ASSERT_TRUE(pack.PutBytes("abcd", 4, 1, 0));
  EXPECT_FALSE(pack.PutBytes("abcd", -1, 2, 0));
  EXPECT_EQ(pack.LastError(), "length error");
  EXPECT_FALSE(pack.PutBytes("abcd", -4, 1, 1));
  size_t offset = 0;
  EXPECT_FALSE(pack.LocateField(0, 3, PACK_TYPE_BYTES, -8, &offset));
  EXPECT_EQ(pack.RowSize(), 4);
  EXPECT_EQ(pack.RowCount(), 1);
  EXPECT_EQ(pack.Fields().size(), 1u);
}

TEST(Pack, WrongTypeForAnIdLeavesThePackUnchanged) {
  CPack pack;
  ASSERT_TRUE(pack.PutBytes("abcd", 4, 1, 0));
  const PackBytes before = Serialise(pack);
  EXPECT_FALSE(pack.PutRecord(1, 1, PackRecord{}));  // would also have appended row 1
  EXPECT_EQ(pack.LastError(), "Datatype error");
  EXPECT_EQ(Serialise(pack), before);
  EXPECT_EQ(pack.GetState(), CPack::kDefining);
}

TEST(Pack, RowAndLayoutRules) {
  CPack pack;
  // New fields only on row 0.
  EXPECT_FALSE(pack.PutBytes("a", 1, 1, 1));
  EXPECT_EQ(pack.LastError(), "index error");
  ASSERT_TRUE(pack.PutBytes("a", 1, 1, 0));
  EXPECT_FALSE(pack.PutBytes("b", 1, 2, 1));
  EXPECT_EQ(pack.LastError(), "index error");
  EXPECT_FALSE(pack.PutBytes("b", 1, 1, -1));
  EXPECT_EQ(pack.LastError(), "index error");
  // Beyond the next row.
  EXPECT_FALSE(pack.PutBytes("b", 1, 1, 2));
  EXPECT_EQ(pack.LastError(), "index error");
  EXPECT_EQ(pack.RowCount(), 1);
  // Once a second row exists the layout is frozen, even on row 0.
  ASSERT_TRUE(pack.PutBytes("b", 1, 1, 1));
  EXPECT_FALSE(pack.PutBytes("c", 1, 2, 0));
  EXPECT_EQ(pack.LastError(), "adDate etntype error");
  EXPECT_EQ(pack.Fields().size(), 1u);
  // A successful put does not clear the last error.
  ASSERT_TRUE(pack.PutBytes("d", 1, 1, 0));
  EXPECT_EQ(pack.LastError(), "adDate etntype error");
}

TEST(Pack, NewFieldBytesAreCharacterZeroAppendedRowsAreZeroBytes) {
  CPack pack;
  size_t offset = 99;
  PackField field;
  ASSERT_TRUE(pack.LocateField(0, 4, PACK_TYPE_BYTES, 3, &offset, &field));
  EXPECT_EQ(offset, 0u);
  EXPECT_EQ(field.Length(), 3);
  ASSERT_TRUE(pack.LocateField(0, 5, PACK_TYPE_BYTES, 2, &offset, &field));
  EXPECT_EQ(offset, 3u);
  ASSERT_TRUE(pack.LocateField(1, 5, PACK_TYPE_BYTES, 2, &offset, &field));
  EXPECT_EQ(offset, 8u);
  EXPECT_EQ(std::string(pack.Data().begin(), pack.Data().end()), std::string("00000\0\0\0\0\0", 10));
}

TEST(Pack, PuttingAPackIntoItselfFails) {
  CPack pack;
  ASSERT_TRUE(pack.PutBytes("a", 1, 1, 0));
  EXPECT_FALSE(pack.PutPack(0, 2, pack));
  EXPECT_EQ(pack.LastError(), "this error");
  EXPECT_EQ(pack.Fields().size(), 1u);
}

TEST(Pack, NestedPackCarriesTheInnerSerialisedForm) {
  CPack inner;
  ASSERT_TRUE(inner.PutBytes("hi", 2, 42, 0));
  const PackBytes innerBytes = Serialise(inner);
  ASSERT_EQ(innerBytes.size(), 34u);

  CPack outer;
  ASSERT_TRUE(outer.PutRecord(10, 0, PackRecord{1, 2, 3, 4, 5, 6, 0xFFFFFFFFu}));
  ASSERT_TRUE(outer.PutPack(0, 11, inner));
  const PackBytes out = Serialise(outer);
  ASSERT_EQ(out.size(), 16u + 32u + 28u + 34u);
  EXPECT_EQ(WordAt(out, 0), 62u);
  EXPECT_EQ(WordAt(out, 8), 2u);
  EXPECT_EQ(WordAt(out, 16), (28u << 6) | 8u);
  EXPECT_EQ(WordAt(out, 24), 10u);
  EXPECT_EQ(WordAt(out, 32), (34u << 6) | 1u);
  EXPECT_EQ(WordAt(out, 40), 11u);
  EXPECT_EQ(WordAt(out, 48 + 24), 0xFFFFFFFFu);
  EXPECT_EQ(PackBytes(out.begin() + 76, out.end()), innerBytes);
}

TEST(Pack, PackIntoAnExistingFieldMustMatchItsLength) {
  CPack small, other, larger;
  ASSERT_TRUE(small.PutBytes("ab", 2, 1, 0));
  ASSERT_TRUE(other.PutBytes("cd", 2, 1, 0));
  ASSERT_TRUE(larger.PutBytes("abc", 3, 1, 0));

  CPack outer;
  ASSERT_TRUE(outer.PutBytes("x", 1, 5, 0));
  ASSERT_TRUE(outer.PutPack(0, 6, small));
  ASSERT_TRUE(outer.PutPack(1, 6, other));  // same size: a new row
  const PackBytes before = Serialise(outer);
  EXPECT_FALSE(outer.PutPack(2, 6, larger));
  EXPECT_EQ(outer.LastError(), "pack length error");
  EXPECT_FALSE(outer.PutPack(0, 6, CPack{}));
  EXPECT_EQ(Serialise(outer), before);  // no row appended, nothing overwritten
  EXPECT_EQ(outer.RowCount(), 2);
}

// A record field defined shorter than 28 bytes, last in the row so that an
// unchecked write would run past the data (ASan would stop it).
TEST(Pack, RecordIntoAShortRecordFieldIsRefused) {
  CPack pack;
  size_t offset = 0;
  ASSERT_TRUE(pack.LocateField(0, 7, PACK_TYPE_RECORD, 8, &offset));
  const PackBytes before = Serialise(pack);
  for (int32_t row : {0, 1}) {
    EXPECT_FALSE(pack.PutRecord(7, row, PackRecord{1, 2, 3, 4, 5, 6, 7})) << row;
    EXPECT_EQ(pack.LastError(), "record length error");
    EXPECT_EQ(Serialise(pack), before) << row;  // no row appended, nothing written
  }
}

}  // namespace
