// Opening VCF files: real-world shapes, compressed and CR LF copies, and input that is not VCF.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/korCpu.h"
#include "tests/vcf/vcfTestUtil.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfLine.h"
#include "vcf/vcfSummary.h"

namespace {

using vcftest::ReadAll;
using vcftest::ToBgzf;
using vcftest::ToGzip;
using vcftest::WriteTemp;

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
                                           TShape{"gvcf.vcf", 1, 4}, TShape{"haploid.vcf", 3, 3}));

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

TEST(Open, DamagedCompressedFilesAreErrorsNamingTheFile) {
  const std::string bgzf = ReadAll(Data("basic.vcf.bgz"));
  const std::string gz = ReadAll(Data("basic.vcf.gz"));
  ASSERT_GT(bgzf.size(), 40u);
  ASSERT_GT(gz.size(), 40u);
  const struct {
    const char* Name;
    std::string Bytes;
  } cases[] = {
      {"zel_garbage.vcf.gz",
       std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03garbagegarbage", 24)},
      {"zel_cut.vcf.bgz", bgzf.substr(0, bgzf.size() / 2)},
      {"zel_cut.vcf.gz", gz.substr(0, gz.size() / 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string path = WriteTemp(c.Name, c.Bytes);
    TVCFFile f;
    ASSERT_TRUE(f.OpenFile(Data("basic.vcf")));
    EXPECT_FALSE(f.OpenFile(path));
    EXPECT_EQ(f.LastError().Sender, "U");
    EXPECT_NE(f.LastError().Details.find(path), std::string::npos) << f.LastError().Details;
    EXPECT_EQ(f.NVariants(), 0u);
    EXPECT_EQ(f.Column(0, 0), "");
    std::remove(path.c_str());
  }
  // In memory nothing is decoded: gzip bytes are plain bytes without a header line.
  TVCFFile f;
  EXPECT_FALSE(f.OpenText(cases[0].Bytes));
}

// Larger than one decoded region of a compressed file and than many mapped parts of a plain
// one, with one line longer than a part: lines read the same in any order.
TEST(Open, LinesReadAcrossPartsAndDecodedRegions) {
  std::vector<std::string> lines;
  std::string text = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int s = 0; s < 40; ++s) text += "\tS" + std::to_string(s);
  text += '\n';
  uint64_t x = 12345;
  while (text.size() < 9500000) {
    std::string l = "1\t" + std::to_string(lines.size() + 1) + "\t.\tA\tG\t.\t.\t";
    l += lines.size() == 700 ? std::string(200000, 'I') : "NS=40";
    l += "\tGT:DP";
    for (int s = 0; s < 40; ++s) {
      x = x * 6364136223846793005ull + 1442695040888963407ull;
      l += "\t" + std::to_string((x >> 33) & 1) + "/" + std::to_string((x >> 34) & 1) + ":" +
           std::to_string((x >> 40) % 100);
    }
    text += l + '\n';
    lines.push_back(std::move(l));
  }
  const struct {
    const char* Name;
    std::string Bytes;
    uint64_t PartSz;
  } copies[] = {{"zel_big.vcf", text, 65536},
                {"zel_big.vcf.bgz", ToBgzf(text), 0},
                {"zel_big.vcf.gz", ToGzip(text), 0}};
  for (const auto& c : copies) {
    SCOPED_TRACE(c.Name);
    TVCFFile f;
    f.SetPartSize(c.PartSz);
    const std::string path = WriteTemp(c.Name, c.Bytes);
    ASSERT_TRUE(f.OpenFile(path)) << f.LastError().Details;
    std::remove(path.c_str());  // the open file stays readable
    ASSERT_EQ(f.NVariants(), lines.size());
    EXPECT_EQ(f.NSamples(), 40u);
    for (uint64_t v = 0; v < lines.size(); ++v)
      if (f.VariantLine(v) != lines[v]) FAIL() << "line of variant " << v;
    // Jumping back and forth: a column view stays valid while the same variant is read.
    for (uint64_t k = 0; k < 400; ++k) {
      const uint64_t v = (k * 7919) % lines.size();
      const std::string_view pos = f.Column(v, vcfPos);
      EXPECT_EQ(f.Column(v, vcfSample + 39), lines[v].substr(lines[v].rfind('\t') + 1));
      EXPECT_EQ(pos, std::to_string(v + 1));
    }
  }
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
  // A POS that does not read makes the line malformed: every column reads as empty.
  EXPECT_FALSE(f.ReadVariant(0));
  EXPECT_EQ(f.LineError().Details, Data("bad_pos.vcf") + ", line 3");
  uint64_t s = 0, e = 0;
  EXPECT_FALSE(f.GetBlockCoord(0, s, e, true, false));
  EXPECT_EQ(f.LenRefOnlyBlock(0), 0u);
}

}  // namespace

namespace {

// The splitter against a plain scan: lines of every length around its 16-, 32- and 64-byte
// blocks, tabs sparse, dense (every byte) and absent, with a reused vector; the 16-byte form
// and, where the processor has it, the AVX2 form.
class Split : public testing::TestWithParam<TSIMDLevel> {
 protected:
  void SetUp() override {
    if (GetParam() == AVX2 && !(SelectionCPU().HasAVX2 && SelectionCPU().OSEnabledYMM))
      GTEST_SKIP() << "no AVX2 here";
    Saved = AllowSSE;
    AllowSSE = GetParam();
  }
  void TearDown() override { AllowSSE = Saved; }
  TSIMDLevel Saved = NoSIMD;
};
INSTANTIATE_TEST_SUITE_P(Levels, Split, testing::Values(SSE2, AVX2));

TEST_P(Split, FieldStartsMatchAPlainScan) {
  std::vector<uint32_t> starts;
  uint64_t x = 99;
  for (size_t len = 0; len < 300; ++len)
    for (int density : {0, 3, 10, 100}) {
      std::string l(len, 'a');
      for (char& c : l) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        if (density && int((x >> 33) % 100) < density) c = '\t';
      }
      if (density == 100) l.assign(len, '\t');
      std::vector<uint32_t> want{0};
      for (size_t i = 0; i < len; ++i)
        if (l[i] == '\t') want.push_back(uint32_t(i + 1));
      want.push_back(uint32_t(len + 1));
      const size_t n = VcfSplitLine(l.data(), l.size(), starts);
      ASSERT_EQ(n + 1, want.size()) << len << " " << density;
      EXPECT_TRUE(std::equal(want.begin(), want.end(), starts.begin())) << len << " " << density;
      // The checked split: same starts, plus the ':' count and any control byte but tab and
      // CR, wherever in the line (SIMD blocks and the tail).
      if (len == 0) continue;
      const size_t at = size_t(x >> 20) % len;
      // Bytes from 0x80 (UTF-8 text) are no control bytes; one also stands first in the line
      // beside the one put, so that a block can hold both.
      for (char put : {':', '\r', '\0', '\x1f', ' ', '\x7f', '\x80', '\xe9', '\xff'}) {
        std::string m = l;
        if (m[0] != '\t') m[0] = '\xc3';
        m[at] = put;
        const uint32_t colons = uint32_t(std::count(m.begin(), m.end(), ':'));
        const bool ctrl = put == '\0' || put == '\x1f';
        std::vector<uint32_t> w2{0};
        for (size_t i = 0; i < len; ++i)
          if (m[i] == '\t') w2.push_back(uint32_t(i + 1));
        bool gotCtrl = !ctrl;
        uint32_t gotColons = 99;
        const size_t n2 = VcfSplitLineChecked(m.data(), m.size(), starts, gotCtrl, gotColons);
        ASSERT_EQ(n2, w2.size()) << len << " " << at;
        EXPECT_EQ(gotCtrl, ctrl) << len << " " << at << " " << int(put);
        EXPECT_EQ(gotColons, colons) << len << " " << at;
      }
    }
}

}  // namespace

namespace {

// A file that ends with its last call, without a line break, exactly at a page end: nothing
// reads past the call.
TEST(Open, LastCallAtThePageEnd) {
  // An empty DP is no depth: a conversion error, as anywhere else in the file.
  const struct {
    const char* Last;
    bool Reads;
  } cases[] = {{"0/1:5", true},     {"0/1:", false}, {"", true},      {".", true},
               {"0/1:12345", true}, {"1", true},     {"0/1:5:", true}};
  for (const auto& [last, reads] : cases) {
    SCOPED_TRACE(last);
    std::string t = "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\tS2\n";
    const std::string tail = std::string("\tGT:DP\t0/0:3\t") + last;
    std::string l = "1\t5\t.\tA\tG\t.\t.\t";
    l += std::string(8192 - t.size() - l.size() - tail.size(), 'X') + tail;
    t += l;
    ASSERT_EQ(t.size(), 8192u);
    TVCFFile f;
    const std::string path = WriteTemp("zel_page_end.vcf", t);
    ASSERT_TRUE(f.OpenFile(path));
    std::remove(path.c_str());
    TVcfGtSummary s;
    TZelErr err;
    EXPECT_EQ(VcfSummariseGenotypes(f, s, err), reads) << err.Msg;
    EXPECT_EQ(f.Column(0, vcfSample + 1), last);
  }
}

}  // namespace
