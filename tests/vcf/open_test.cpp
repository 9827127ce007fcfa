// Opening VCF files: real-world shapes, compressed and CR LF copies, and input that is not VCF.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vcf/bioVCF.h"

namespace {

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA "/vcf/") + name; }

struct TShape {
  const char* File;
  uint32_t Samples;
  uint64_t Variants;
};

class Shapes : public ::testing::TestWithParam<TShape> {};

TEST_P(Shapes, Open) {
  const TShape& s = GetParam();
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(Data(s.File))) << f.LastError().Msg;
  EXPECT_EQ(f.NSamples(), s.Samples);
  EXPECT_EQ(f.NVariants(), s.Variants);
  // Every variant's genotypes read without error (missing where absent).
  std::vector<uint32_t> sal(4 * (s.Samples + 1)), ploidy(s.Samples + 1);
  for (uint64_t v = 0; v < f.NVariants(); ++v)
    EXPECT_EQ(f.XtrGenotypeMem(v, 4, nullptr, sal.data(), ploidy.data(), true, nullptr), xtrOK);
}

INSTANTIATE_TEST_SUITE_P(RealWorld, Shapes,
                         ::testing::Values(TShape{"basic.vcf", 3, 4},
                                           TShape{"sites_only.vcf", 0, 2},
                                           TShape{"header_only.vcf", 2, 0},
                                           TShape{"no_samples_format.vcf", 0, 1},
                                           TShape{"short_format.vcf", 4, 1}, TShape{"sv.vcf", 2, 4},
                                           TShape{"gvcf.vcf", 1, 4}, TShape{"haploid.vcf", 3, 3},
                                           TShape{"truncated.vcf", 3, 2}));

std::vector<std::string> AllColumns(TVCFFile& f) {
  std::vector<std::string> r;
  for (uint64_t v = 0; v < f.NVariants(); ++v)
    for (uint32_t c = 0; c < f.NColumns(v); ++c) r.emplace_back(f.Column(v, c));
  return r;
}

TEST(Open, CompressedAndCrLfCopiesAreIdentical) {
  TVCFFile plain;
  ASSERT_TRUE(plain.OpenFile(Data("basic.vcf")));
  EXPECT_EQ(plain.Compression(), TVcfCompression::None);
  const std::vector<std::string> cols = AllColumns(plain);
  const struct {
    const char* File;
    TVcfCompression Comp;
  } copies[] = {{"basic.vcf.gz", TVcfCompression::Gzip},
                {"basic.vcf.bgz", TVcfCompression::Bgzf},
                {"basic_2members.vcf.gz", TVcfCompression::Gzip},
                {"basic_crlf.vcf", TVcfCompression::None}};
  for (const auto& c : copies) {
    SCOPED_TRACE(c.File);
    TVCFFile f;
    ASSERT_TRUE(f.OpenFile(Data(c.File))) << f.LastError().Msg;
    EXPECT_EQ(f.Compression(), c.Comp);
    EXPECT_EQ(f.NSamples(), plain.NSamples());
    EXPECT_EQ(f.NVariants(), plain.NVariants());
    EXPECT_EQ(f.SampleNames(), plain.SampleNames());
    EXPECT_EQ(AllColumns(f), cols);
  }
  // No CR in the last sample name or the last column.
  EXPECT_EQ(plain.SampleNames().back(), "S3");
}

TEST(Open, NotVcfIsRefusedNamingTheFile) {
  for (const char* name : {"not_vcf.vcf", "empty.vcf", "binary.vcf", "does_not_exist.vcf"}) {
    SCOPED_TRACE(name);
    TVCFFile f;
    EXPECT_FALSE(f.OpenFile(Data(name)));
    EXPECT_TRUE(f.LastError().IsError());
    EXPECT_EQ(f.LastError().Sender, "U");
    EXPECT_NE(f.LastError().Details.find(name), std::string::npos);
    EXPECT_EQ(f.NVariants(), 0u);
    EXPECT_EQ(f.NSamples(), 0u);
  }
}

TEST(Open, CorruptCompressedDataIsAnError) {
  TVCFFile f;
  // A gzip header followed by garbage.
  std::string bytes("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03garbagegarbage", 24);
  EXPECT_FALSE(f.OpenText(bytes));  // in memory it is not decoded: plain bytes, no header
  const std::string tmp = ::testing::TempDir() + "zel_corrupt.vcf.gz";
  FILE* o = std::fopen(tmp.c_str(), "wb");
  ASSERT_TRUE(o);
  std::fwrite(bytes.data(), 1, bytes.size(), o);
  std::fclose(o);
  EXPECT_FALSE(f.OpenFile(tmp));
  EXPECT_NE(f.LastError().Msg.find("ompressed"), std::string::npos) << f.LastError().Msg;
  // Truncated BGZF.
  FILE* in = std::fopen(Data("basic.vcf.bgz").c_str(), "rb");
  ASSERT_TRUE(in);
  char buf[4096];
  size_t n = std::fread(buf, 1, sizeof buf, in);
  std::fclose(in);
  o = std::fopen(tmp.c_str(), "wb");
  std::fwrite(buf, 1, n / 2, o);
  std::fclose(o);
  EXPECT_FALSE(f.OpenFile(tmp));
  EXPECT_TRUE(f.LastError().IsError());
}

TEST(Open, HeaderColumnsAndVariantAccess) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(Data("basic.vcf")));
  EXPECT_EQ(f.HeaderRowLine(), 9u);
  EXPECT_EQ(f.SampleNames(), (std::vector<std::string>{"S1", "S2", "S3"}));
  EXPECT_EQ(f.Column(1, vcfAlt), "T,A");
  EXPECT_EQ(f.Column(1, vcfSample + 2), "1/2:16:60");
  EXPECT_EQ(f.Column(0, 99), "");
  EXPECT_EQ(f.GetVariantItemStrRaw(4), "");
  EXPECT_EQ(f.Column(4, 0), "");
  EXPECT_EQ(f.VariantLineNo(0), 11u);
  EXPECT_FALSE(f.SetSampleNames({"a", "b", "c", "d"}));
  EXPECT_TRUE(f.SetSampleNames({"a", "b", "c"}));
  EXPECT_EQ(f.SampleNames()[2], "c");
}

TEST(Open, ShapesOfHeaderLine) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\n1\t1\t.\tA\tG\t.\t.\t.\tGT\n"
      "1\t2\t.\tA\tG\t.\t.\t.\tGT\n1\t3\t.\tA\tG\t.\t.\t.\tGT"));
  EXPECT_EQ(f.NSamples(), 0u);
  EXPECT_EQ(f.NVariants(), 3u);
  EXPECT_EQ(f.GetVariantItemStrRaw(3), "");
  // A data line before any header line: not a VCF.
  EXPECT_FALSE(f.OpenText("1\t1\t.\tA\tG\n#CHROM\tPOS\n"));
}

TEST(Open, SelectionAndBadPos) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(Data("bad_pos.vcf")));
  f.ClearSelection(true);
  EXPECT_EQ(f.NSelected(), 1u);
  uint64_t s = 0, e = 0;
  ASSERT_TRUE(f.GetBlockCoord(0, s, e, true, false));
  EXPECT_EQ(s, ~uint64_t(0));  // a POS that does not read is no number
  EXPECT_EQ(f.LenRefOnlyBlock(0), 0u);
}

}  // namespace
