// Bit fields, aligned memory blocks and packed integer arrays.
#include <gtest/gtest.h>

#include <random>

#include "base/korStruc.h"

namespace {

TEST(BitField, MakeCountNot) {
  TBitField f;
  f.Make(10, true, 16);
  ASSERT_EQ(f.NUsedBytes(), 2u);
  EXPECT_EQ(f.BasePtr()[0], 0xFF);
  EXPECT_EQ(f.BasePtr()[1], 0x03);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(f.BasePtr()) % 16, 0u);
  EXPECT_EQ(f.BitsSet(), 10u);
  f.NOTBits();
  EXPECT_EQ(f.BitsSet(), 0u);
  EXPECT_EQ(f.BasePtr()[1], 0x00);
  EXPECT_FALSE(f.GetFieldBit(10));
  f.ChgFieldBit(10, true);  // past the end: ignored
  EXPECT_EQ(f.BitsSet(), 0u);
  f.ChgFieldBit(9, true);
  EXPECT_TRUE(f.Bit(9));
  f.SetFromListN({0, 3, 99}, true);
  EXPECT_EQ(f.BitsSet(), 3u);
  EXPECT_EQ(f.AsABool().size(), 10u);
  f.Clear();
  EXPECT_EQ(f.NBits(), 0u);
  EXPECT_EQ(f.BasePtr(), nullptr);
  EXPECT_EQ(f.BitsSet(), 0u);
}

TEST(BitField, CombineRules) {
  TBitField a, b, c;
  a.Make(10, false);
  b.Make(11, true);
  a.Combine(b, lOr);  // different sizes: nothing
  EXPECT_EQ(a.BitsSet(), 0u);
  c.Make(10, true);
  c.ChgFieldBit(2, false);
  a.Combine(c, lNot);
  EXPECT_EQ(a.BitsSet(), 1u);
  EXPECT_TRUE(a.Bit(2));
  EXPECT_EQ(c.BitsSet(), 9u);  // other unchanged
  a.ChgFieldBit(5, true);
  EXPECT_FALSE(c.Bit(2));  // independent memory
  a.Combine(c, lSet);
  EXPECT_EQ(a.BitsSet(), 9u);
  a.Combine(c, lXor);
  EXPECT_EQ(a.BitsSet(), 0u);
}

TEST(BitField, LongerOtherNeverSetsBitsPastTheEnd) {
  TBitField self, longer;
  self.Make(10, false);
  longer.Make(24, true);
  self.ORBits(longer);
  EXPECT_EQ(self.BitsSet(), 10u);
  EXPECT_EQ(self.BasePtr()[1], 0x03);
  self.Make(10, false);
  self.XORBits(longer);
  EXPECT_EQ(self.BitsSet(), 10u);
  // A shorter other leaves the extra bytes of self unchanged.
  TBitField big, small;
  big.Make(24, true);
  small.Make(8, false);
  big.ANDBits(small);
  EXPECT_EQ(big.BitsSet(), 16u);
}

TEST(BitField, CopiesAreIndependent) {
  TBitField a;
  a.Make(100, false, 64);
  a.ChgFieldBit(42, true);
  TBitField b = a;
  b.ChgFieldBit(43, true);
  EXPECT_FALSE(a.Bit(43));
  EXPECT_EQ(reinterpret_cast<uintptr_t>(b.BasePtr()) % 64, 0u);
  TBitField c;
  c.CopyFrom(b);
  EXPECT_EQ(c.BitsSet(), 2u);
}

TEST(ManagedMem, AlignmentAndResize) {
  EXPECT_EQ(EffectiveAlignment(0), 1u);
  EXPECT_EQ(EffectiveAlignment(3), 4u);
  EXPECT_EQ(EffectiveAlignment(16), 16u);
  EXPECT_EQ(EffectiveAlignment(24), 32u);
  TManagedMemA m;
  m.Reserve(100, 3);
  EXPECT_EQ(m.FAlignTo, 4u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(m.Ptr()) % 4, 0u);
  m.Reserve(10, 64);
  for (int i = 0; i < 10; ++i) m.Ptr()[i] = static_cast<uint8_t>(i);
  m.Resize(5000);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(m.Ptr()) % 64, 0u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(m.Ptr()[i], i);
  TManagedMemA copy = m;
  EXPECT_NE(copy.Ptr(), m.Ptr());
  EXPECT_EQ(copy.Ptr()[9], 9);
  m.Resize(0);
  EXPECT_EQ(m.Ptr(), nullptr);
}

TEST(MemArray, StoreReadCompress) {
  TMemArray a;
  a.Make(3, 8);
  a.Set(0, 1);
  a.Set(1, 300);
  a.Set(2, 70000);
  EXPECT_EQ(a.Compress(), 3u);
  EXPECT_EQ(a.ItemSize(), 3);
  EXPECT_EQ(a[0], 1u);
  EXPECT_EQ(a[1], 300u);
  EXPECT_EQ(a[2], 70000u);
  EXPECT_EQ(a[3], 0u);
  EXPECT_EQ(a.GetItemPtr(3), nullptr);
  a.SetMaskedQ(9, 5, 3);  // ignored
  EXPECT_EQ(a.ExportArrayD(), (std::vector<uint32_t>{1, 300, 70000}));
  EXPECT_EQ(a.ExportArrayW()[2], static_cast<uint16_t>(70000));
  a.Resize(5);
  EXPECT_EQ(a[1], 300u);
  EXPECT_EQ(a[4], 0u);
  TMemArray empty;
  EXPECT_EQ(empty.Compress(), 0u);
  EXPECT_TRUE(empty.ExportArrayD().empty());
}

TEST(MemArray, WriteNeverSpillsIntoTheNextItem) {
  TMemArray a;
  a.Make(3, 2, 1);
  a.Set(0, 0xFFFF);
  a.Set(1, 0x1234);
  a.SetMaskedQ(0, 0xAABBCCDDull, 8);
  EXPECT_EQ(a[0], 0xCCDDu);
  EXPECT_EQ(a[1], 0x1234u);
}

TEST(MemArray, ReadsStayInsideTheAllocation) {
  // Every item of every width and padding reads back exactly (ASan watches the 8-byte loads).
  std::mt19937_64 rng(3);
  for (uint8_t w = 1; w <= 8; ++w)
    for (uint8_t pad = 0; pad < 3; ++pad)
      for (uint64_t n : {1u, 2u, 7u, 33u}) {
        TMemArray a;
        a.Make(n, w, pad, 1);
        std::vector<uint64_t> vals(n);
        for (uint64_t i = 0; i < n; ++i) {
          vals[i] = rng() & ValQNBitMasks[w];
          a.Set(i, vals[i]);
        }
        for (uint64_t i = 0; i < n; ++i) ASSERT_EQ(a[i], vals[i]);
        a.Compress();
        for (uint64_t i = 0; i < n; ++i) ASSERT_EQ(a[i], vals[i]);
      }
  std::vector<uint32_t> src = {5, 6, 7};
  TMemArray b;
  b.MakeFrom(3, 1, src.data(), 4);
  EXPECT_EQ(b[2], 7u);
}

TEST(MemArray, BinarySearch) {
  TMemArray a;
  a.Make(4, 1);
  const uint64_t v[] = {1, 3, 7, 9};
  for (int i = 0; i < 4; ++i) a.Set(static_cast<uint64_t>(i), v[i]);
  EXPECT_EQ(a.BinSearch(5, true, 0, 99), -1);
  const int64_t near = a.BinSearch(5, false, 0, 99);
  EXPECT_TRUE(near == 1 || near == 2);
  EXPECT_EQ(a.BinSearch(9, true, 0, 99), 3);
  EXPECT_EQ(a.BinSearch(1, true, 0, 3), 0);
  TMemArray e;
  EXPECT_EQ(e.BinSearch(1, true, 0, 9), -1);
}

TEST(MemArray, SetValQN) {
  uint8_t buf[16] = {};
  SetValQN(buf, 0x0102030405ull, 5);
  EXPECT_EQ(buf[4], 1);
  EXPECT_EQ(buf[5], 0);
  SetValQN(buf, 0xFF, 9);  // ignored
  EXPECT_EQ(buf[0], 5);
  SetValQNEx(buf, 0xAB, 2, 3);
  EXPECT_EQ(buf[6], 0xAB);
}

}  // namespace
