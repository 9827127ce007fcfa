// Mapped file: view offsets, sizes, identifiers and failures.
#include <gtest/gtest.h>

#include <cerrno>

#include "fileaccess/korMMF.h"
#include "filesTestUtil.h"

TEST(FilesMMF, MissingFileIsNotEstablished) {
  TMemMappedFile m("/nonexistent/zel/none.txt");
  EXPECT_FALSE(m.Established());
  EXPECT_EQ(m.LastOSError(), ENOENT);
  EXPECT_EQ(m.OpenView(0, 0), cMMFNoView);
}

TEST(FilesMMF, WholeSmallFileRecordsExactSize) {
  TFilesTmpDir d;
  auto p = d.Write("a.txt", std::string(100, 'x'));
  TMemMappedFile m(p);
  ASSERT_TRUE(m.Established());
  EXPECT_EQ(m.TotalFileSize(), 100);
  uint32_t id = m.OpenView(0, 0);
  ASSERT_EQ(id, 0u);
  TMMFView v = m.GetView(id);
  EXPECT_EQ(v.ViewSz, 100u);  // never the page-rounded length
  EXPECT_EQ(v.ViewPtr[99], 'x');
}

TEST(FilesMMF, OffsetsSizesAndIds) {
  TFilesTmpDir d;
  std::string s(3 * 65536 + 10, 'a');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>('a' + i % 26);
  auto p = d.Write("b.txt", s);
  TMemMappedFile m(p);
  ASSERT_TRUE(m.Established());
  EXPECT_EQ(m.OpenView(100, 10), cMMFNoView);  // not a multiple of the granularity
  EXPECT_EQ(m.NViews(), 0u);
  uint32_t a = m.OpenView(0, 65536);
  EXPECT_EQ(m.OpenView(65536, 1 << 30), cMMFNoView);  // cut to the file size, still too long
  uint32_t b = m.OpenView(65536, 0);
  ASSERT_EQ(a, 0u);
  ASSERT_EQ(b, 1u);
  TMMFView va = m.GetView(a);
  EXPECT_EQ(va.ViewOfs, 0u);
  EXPECT_EQ(va.ViewSz, 65536u);
  EXPECT_EQ(m.GetView(b).ViewPtr[0], s[65536]);
  EXPECT_EQ(m.LastView().ViewID, b);
  EXPECT_EQ(m.OpenView(3 * 65536, 65536), cMMFNoView);  // reaches past the end
  EXPECT_EQ(m.OpenView(4 * 65536, 1), cMMFNoView);      // starts past the end
  m.CloseAllViews();
  EXPECT_EQ(m.GetView(a).ViewPtr, nullptr);
  EXPECT_EQ(m.OpenView(65536 * 2, 0), 0u);  // ids restart at 0
  EXPECT_EQ(m.GetView(0).ViewSz, 65536u + 10);
  uint32_t whole = m.OpenView(0, 1 << 30);  // cut to the file size
  EXPECT_EQ(m.GetView(whole).ViewSz, s.size());
}

TEST(FilesMMF, GranularityHelpers) {
  TMemMappedFile m;
  EXPECT_EQ(TMemMappedFile::GetSysAllocGranularity() % 65536, 0u);
  uint64_t g = TMemMappedFile::GetSysAllocGranularity();
  EXPECT_TRUE(m.IsValidViewOffset(0));
  EXPECT_TRUE(m.IsValidViewOffset(g * 3));
  EXPECT_FALSE(m.IsValidViewOffset(g + 1));
  EXPECT_EQ(m.NextValidViewOffset(1), g);
  EXPECT_EQ(m.NextValidViewOffset(g), g);
  EXPECT_EQ(m.BytesAfterValidViewOffset(g + 5), 5u);
  EXPECT_EQ(m.TotalFileSize(), -1);
}

TEST(FilesMMF, DirectoryAndWriteAccessRefused) {
  TFilesTmpDir d;
  TMemMappedFile dir(d.Dir());
  EXPECT_FALSE(dir.Established());
  auto p = d.Write("c.txt", "abc");
  TMemMappedFile w(p, 0, maReadWrite);
  EXPECT_FALSE(w.Established());
}

TEST(FilesMMF, AnonymousIsWritable) {
  TMemMappedFile m = TMemMappedFile::Anonymous(4096);
  ASSERT_TRUE(m.Established());
  uint32_t id = m.OpenView(0, 0);
  ASSERT_NE(id, cMMFNoView);
  uint8_t* p = m.MutableViewPtr(id);
  ASSERT_NE(p, nullptr);
  p[4095] = 7;
  EXPECT_EQ(m.GetView(id).ViewPtr[4095], 7);
}
