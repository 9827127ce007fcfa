// Malformed VCF text: each fault is an error naming the file and line, or a warning with its
// count, and never a silent wrong picture; the same outcome plain, gzip and BGZF.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/vcf/vcfTestUtil.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfSummary.h"

namespace {

std::string Data(const std::string& name) {
  return std::string(ZEL_TEST_DATA "/vcf/strict/") + name;
}

std::string Replaced(std::string s, const std::string& path) {
  for (size_t at; (at = s.find(path)) != std::string::npos;) s.replace(at, path.size(), "FILE");
  return s;
}

// Everything a reader of the file learns: opening, its warnings, the walk over every call.
std::vector<std::string> Outcome(const std::string& path) {
  std::vector<std::string> r;
  TVCFFile f;
  if (!f.OpenFile(path)) {
    r.push_back("open: " + f.LastError().Msg + ": " + f.LastError().Details);
  } else {
    r.push_back(std::to_string(f.NSamples()) + " x " + std::to_string(f.NVariants()));
    for (const std::string& w : f.OpenWarnings()) r.push_back(w);
    TVcfGtSummary s;
    TZelErr err;
    if (!VcfSummariseGenotypes(f, s, err)) {
      r.push_back("read: " + err.Msg + ": " + err.Details);
    } else {
      r.push_back("calls " + std::to_string(s.Calls) + " called " + std::to_string(s.Called) +
                  " missing " + std::to_string(s.Missing));
      const TXtrGtReport& p = s.Report;
      if (p.ShortLines)
        r.push_back("short " + std::to_string(p.ShortLines) + " at " +
                    std::to_string(p.FirstShortLine));
      if (p.LongLines)
        r.push_back("long " + std::to_string(p.LongLines) + " at " +
                    std::to_string(p.FirstLongLine));
      if (p.ExtraItemLines)
        r.push_back("extra " + std::to_string(p.ExtraItemLines) + " at " +
                    std::to_string(p.FirstExtraItemLine));
    }
  }
  for (std::string& l : r) l = Replaced(l, path);
  return r;
}

struct TCase {
  const char* File;
  std::vector<std::string> Want;
};

const std::string kFixed = "#CHROM POS ID REF ALT QUAL FILTER INFO";
const std::string kPosRange = " is not a whole number from 0 to 9223372036854775807";

const std::vector<TCase>& Cases() {
  static const std::vector<TCase> cases = {
      // Blank lines are left out of the variants; line numbers stay those of the file.
      {"blank_lines.vcf",
       {"2 x 3", "3 blank lines in the data section are not variants (first at line 6): FILE",
        "read: Genotype does not read: FILE, line 9, sample S2"}},
      {"blank_crlf.vcf",
       {"2 x 2", "1 blank lines in the data section are not variants (first at line 6): FILE",
        "calls 4 called 4 missing 0"}},
      {"joined.vcf", {"open: Header line inside the data (two files joined?): FILE, line 6"}},
      {"spaces.vcf", {"2 x 2", "read: Fewer than 8 tab-separated columns: FILE, line 6"}},
      {"pos_text.vcf", {"2 x 1", "read: POS \"abc\"" + kPosRange + ": FILE, line 5"}},
      {"pos_negative.vcf", {"2 x 2", "read: POS \"-5\"" + kPosRange + ": FILE, line 6"}},
      {"pos_overflow.vcf",
       {"2 x 1", "read: POS \"9223372036854775808\"" + kPosRange + ": FILE, line 5"}},
      {"pos_edges.vcf", {"2 x 2", "calls 4 called 4 missing 0"}},
      {"nul.vcf", {"2 x 2", "read: Binary data at line 6: FILE"}},
      {"control.vcf", {"2 x 1", "read: Binary data at line 5: FILE"}},
      {"extra_columns.vcf", {"2 x 3", "calls 6 called 6 missing 0", "long 2 at 5"}},
      // Line 6 has sample columns without FORMAT: its calls are missing.
      {"extra_subfields.vcf", {"2 x 4", "calls 8 called 6 missing 2", "extra 3 at 5"}},
      {"hdr_short.vcf",
       {"open: The #CHROM line does not begin with the columns " + kFixed + ": FILE, line 4"}},
      {"hdr_names.vcf",
       {"open: The #CHROM line does not begin with the columns " + kFixed + ": FILE, line 4"}},
      {"bom.vcf", {"2 x 1", "calls 2 called 2 missing 0"}},
      {"trailing_tab.vcf",
       {"2 x 1",
        "The #CHROM line ends in a tab; its empty last field is not taken as a sample: FILE, "
        "line 4",
        "calls 2 called 2 missing 0"}},
      {"empty_sample.vcf",
       {"open: Empty sample name in column 11 of the #CHROM line: FILE, line 4"}},
      {"dup_samples.vcf",
       {"3 x 1",
        "Sample names that occur more than once: 1 (S1); population maps cannot tell those "
        "samples apart: FILE, line 4",
        "calls 3 called 3 missing 0"}},
  };
  return cases;
}

TEST(Strict, EachFaultHasItsOutcomePlainGzipAndBgzf) {
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.File);
    EXPECT_EQ(Outcome(Data(c.File)), c.Want);
    const std::string text = vcftest::ReadAll(Data(c.File));
    ASSERT_FALSE(text.empty());
    for (const char* ext : {".gz", ".bgz"}) {
      SCOPED_TRACE(ext);
      const std::string path = vcftest::WriteTemp(
          std::string("zel_strict_") + c.File + ext,
          std::string(ext) == ".gz" ? vcftest::ToGzip(text) : vcftest::ToBgzf(text));
      EXPECT_EQ(Outcome(path), c.Want);
      std::remove(path.c_str());
    }
  }
}

TEST(Strict, BlankLinesKeepVariantNumbersAndLineNumbersApart) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(Data("blank_lines.vcf")));
  EXPECT_EQ(f.NBlankLines(), 3u);
  EXPECT_EQ(f.FirstBlankLineNo(), 6u);
  const uint64_t lines[] = {5, 7, 9};
  const char* pos[] = {"100", "200", "300"};
  for (uint64_t v = 0; v < 3; ++v) {
    EXPECT_EQ(f.VariantLineNo(v), lines[v]);
    EXPECT_EQ(f.Column(v, vcfPos), pos[v]);
  }
  EXPECT_EQ(f.Column(3, vcfPos), "");
  f.ClearSelection(true);
  EXPECT_EQ(f.NSelected(), 3u);
  // Readers without an error result leave a malformed line out; the file remembers it.
  TVCFFile n;
  ASSERT_TRUE(n.OpenFile(Data("pos_negative.vcf")));
  EXPECT_FALSE(n.FirstLineError());
  EXPECT_EQ(n.GetGtKeysPresent(0, 1), (std::vector<std::string>{"DP", "GT"}));
  EXPECT_EQ(n.FirstLineError().Details, Data("pos_negative.vcf") + ", line 6");
  // The BOM file's header is read as if the mark were not there.
  TVCFFile b;
  ASSERT_TRUE(b.OpenFile(Data("bom.vcf")));
  TvcfKeyDescription def;
  std::vector<TVcfTagValueStr> pairs;
  EXPECT_TRUE(b.GetFmtKeyDirDefinition("DP", def, pairs));
  EXPECT_EQ(b.ParseMetaText().front(), "##fileformat=VCFv4.2");
}

TEST(Strict, DirectoryAndUnreadableFileSaySo) {
  TVCFFile f;
  const std::string dir = ::testing::TempDir() + "zel_strict_dir.vcf";
  ::mkdir(dir.c_str(), 0700);
  EXPECT_FALSE(f.OpenFile(dir));
  EXPECT_EQ(f.LastError().Msg, "Cannot open file");
  EXPECT_EQ(f.LastError().Details, dir + ": Is a directory");
  ::rmdir(dir.c_str());
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  const std::string path = vcftest::WriteTemp("zel_strict_noread.vcf", "##x\n");
  ::chmod(path.c_str(), 0);
  EXPECT_FALSE(f.OpenFile(path));
  EXPECT_EQ(f.LastError().Details, path + ": Permission denied");
  std::remove(path.c_str());
}

// A meta line of 6 GiB, made as a sparse file: refused at once, without reading the line.
TEST(Strict, HugeMetaLineIsRefusedWithoutReadingIt) {
  const std::string path = ::testing::TempDir() + "zel_strict_huge_meta.vcf";
  const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  const std::string head = "##padding=";
  const std::string tail =
      "\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\n"
      "1\t100\t.\tA\tG\t.\t.\t.\tGT\t0/1\n1\t200\t.\tA\tG\t.\t.\t.\tGT\t1/1\n";
  const off_t hole = off_t(6) << 30;
  bool ok = ::write(fd, head.data(), head.size()) == ssize_t(head.size()) &&
            ::pwrite(fd, tail.data(), tail.size(), hole) == ssize_t(tail.size());
  ::close(fd);
  ASSERT_TRUE(ok);
  TVCFFile f;
  EXPECT_FALSE(f.OpenFile(path));
  EXPECT_EQ(f.LastError().Msg, "Meta line longer than the limit of 64 MiB");
  EXPECT_EQ(f.LastError().Details, path + ", line 1");
  std::remove(path.c_str());
}

}  // namespace
