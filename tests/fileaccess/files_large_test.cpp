// A sparse 6 GiB file: offsets, lengths and item numbers beyond 32 bits.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "fileaccess/korDTF.h"
#include "fileaccess/korIdx.h"
#include "filesTestUtil.h"

namespace {
constexpr uint64_t kGiB = uint64_t(1) << 30;

bool PutAt(int fd, uint64_t ofs, const std::string& s) {
  return pwrite(fd, s.data(), s.size(), static_cast<off_t>(ofs)) == static_cast<ssize_t>(s.size());
}
}  // namespace

TEST(FilesLarge, SparseSixGiBFileIndexedAndRead) {
  TFilesTmpDir d;
  const std::string p = d.Path("sparse6g.tsv");
  const uint64_t size = 6 * kGiB;
  {
    int fd = open(p.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
      close(fd);
      GTEST_SKIP() << "no room for a sparse 6 GiB file here";
    }
    bool ok = PutAt(fd, 0, "#h\n") &&                   // the line break is found at once
              PutAt(fd, 5 * kGiB - 2, "p\tq\ncd\n") &&  // a line of 5 GiB across parts
              PutAt(fd, size - 21, "\nchr1\t100\tA\nlast\tline");
    close(fd);
    ASSERT_TRUE(ok);
  }
  TTabDTF f;
  f.SetPartSize(kGiB);
  ASSERT_TRUE(f.OpenAndIndexFile(p, smUnindexed)) << f.LastError().Msg;
  EXPECT_EQ(f.FileSize(), size);
  EXPECT_EQ(f.NMMFParts(), 6u);
  ASSERT_EQ(f.LineBrkStr(), "\n");
  const TCompactIndex* ci = f.Index(0);
  ASSERT_NE(ci, nullptr);
  EXPECT_EQ(ci->Idx.ItemSize(), 5);  // > 4 GiB needs 5-byte offsets
  ASSERT_EQ(ci->Idx.Count(), 5u);
  EXPECT_EQ(ci->Idx.Get(0), 2u);
  EXPECT_EQ(ci->Idx.Get(1), 5 * kGiB + 1);
  EXPECT_EQ(ci->Idx.Get(2), 5 * kGiB + 4);
  EXPECT_EQ(ci->Idx.Get(3), size - 21);
  EXPECT_EQ(ci->Idx.Get(4), size - 10);
  ASSERT_EQ(f.Rows(), 6u);
  EXPECT_EQ(f.GetItem(0), "#h");
  uint64_t o, l;
  // Line 1 is the hole's zeros up to the break after 5 GiB: a length beyond 32 bits.
  ASSERT_TRUE(f.GetItemOfs(1, o, l));
  EXPECT_EQ(o, 3u);
  EXPECT_EQ(l, 5 * kGiB - 2);
  EXPECT_EQ(f.GetItemLen(1), 5 * kGiB - 2);
  EXPECT_EQ(f.GetItem(2), "cd");
  EXPECT_EQ(f.GetItemLen(3), kGiB - 26);  // the hole up to the last lines
  EXPECT_EQ(f.GetRow(4).back(), "A");
  EXPECT_EQ(f.GetSubitem(4, 1), "100");
  EXPECT_EQ(f.GetRow(5), (std::vector<std::string>{"last", "line"}));
  EXPECT_EQ(f.RawOfsPtr(size - 1, 2), nullptr);
  ASSERT_NE(f.RawOfsPtr(size - 4, 4), nullptr);
  EXPECT_EQ(std::memcmp(f.RawOfsPtr(size - 4, 4), "line", 4), 0);
  ASSERT_NE(f.RawOfsPtr(5 * kGiB - 2, 3), nullptr);  // across the 5 GiB part boundary
  EXPECT_EQ(std::memcmp(f.RawOfsPtr(5 * kGiB - 2, 3), "p\tq", 3), 0);
  // The index survives a save and reload with its wide entries.
  const std::string ip = d.Path("sparse6g.idx");
  ASSERT_TRUE(f.SaveIndicesToFile(ip, 1, false));
  TTabDTF g;
  ASSERT_TRUE(g.LoadMMF(p, 0, kGiB, true));
  ASSERT_EQ(g.LoadIndicesFromFile(ip), 1u) << g.LastError().Msg;
  EXPECT_EQ(g.GetItem(5), "last\tline");
}
