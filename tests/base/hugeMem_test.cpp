// Huge-page-advised buffers: usable memory of the asked size, large ones on a 2 MB boundary,
// a size that cannot be represented refused instead of wrapping round.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "base/korHugeMem.h"

TEST(HugeMem, AlignedWhenLargeAndRefusedWhenTooLarge) {
  constexpr size_t kMB = size_t(1) << 20;
  for (size_t bytes : {size_t(2), 100 * size_t(1024), 2 * kMB, 5 * kMB + 3}) {
    SCOPED_TRACE(bytes);
    THugeArr<uint8_t> a = MakeHugeArr<uint8_t>(bytes);
    ASSERT_TRUE(a);
    if (bytes >= 2 * kMB) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(a.get()) % (2 * kMB), 0u);
    }
    a[0] = 1;
    a[bytes - 1] = 2;  // the last byte is there (ASan checks the size)
    EXPECT_EQ(a[0] + a[bytes - 1], 3);
  }
  EXPECT_FALSE(MakeHugeArr<double>(size_t(-1) / 4));
  THugeVec<uint64_t> v(3 * kMB / 8);
  std::iota(v.begin(), v.end(), 0);
  EXPECT_EQ(v.back(), 3 * kMB / 8 - 1);
  EXPECT_THROW(THugeAlloc<double>().allocate(size_t(-1) / 4), std::bad_array_new_length);
}
