// Variant selection: class narrowing, chromosome lists, ranges and listed positions, value
// selection, INFO and FORMAT filters with missing values and absent keys, depth masking, the
// selection file forms and the saved selection.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "vcf/bioVCF.h"
#include "vcf/vcfSelect.h"

namespace {

namespace fs = std::filesystem;

std::string Data(const std::string& n) { return std::string(ZEL_TEST_DATA) + "/vcf/select/" + n; }

std::string ReadAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::vector<uint64_t> Selected(const TVCFFile& f) {
  std::vector<uint64_t> r;
  for (uint64_t v = 0; v < f.NVariants(); ++v)
    if (f.IsSelected(v)) r.push_back(v);
  return r;
}

std::string Header() {
  return "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n";
}

class SelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(F.OpenFile(Data("sel.vcf")));
    F.ClearSelection(true);
    Dir = fs::temp_directory_path() / ("zel_select_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  TVCFFile F;
  fs::path Dir;
};

TEST_F(SelectTest, SnpsThenTransitionsAndDoubleInversion) {
  // As the class commands do: each keeps only the selected variants that pass.
  for (uint64_t v = 0; v < F.NVariants(); ++v)
    if (F.IsSelected(v) && !F.IsSNP(v)) F.SetSelected(v, false);
  EXPECT_EQ(Selected(F), (std::vector<uint64_t>{0, 1, 2, 4, 5, 7}));
  for (uint64_t v = 0; v < F.NVariants(); ++v)
    if (F.IsSelected(v) && !F.IsTransition(v)) F.SetSelected(v, false);
  const std::vector<uint64_t> ts{0, 2, 4, 7};
  EXPECT_EQ(Selected(F), ts);
  F.InvertSelection();
  EXPECT_EQ(Selected(F), (std::vector<uint64_t>{1, 3, 5, 6}));
  F.InvertSelection();
  EXPECT_EQ(Selected(F), ts);
  EXPECT_EQ(F.NVariantsSelected(), 4u);
}

TEST_F(SelectTest, FreshFileAndSelectArrays) {
  TVCFFile g;
  ASSERT_TRUE(g.OpenFile(Data("sel.vcf")));
  EXPECT_EQ(g.NVariantsSelected(), 8u);  // no selection yet: all
  g.SelectVariant(5, false);
  EXPECT_EQ(g.NVariantsSelected(), 7u);
  g.ClearSelection(false);
  g.Select({true, true, true});
  EXPECT_EQ(Selected(g), (std::vector<uint64_t>{0, 1, 2}));
}

TEST_F(SelectTest, ChromosomeNamesInNameOrder) {
  TVCFFile g;
  ASSERT_TRUE(g.OpenText(Header() + "chr10\t1\t.\tA\tG\t.\t.\t.\nchr2\t1\t.\tA\tG\t.\t.\t.\n"
                                    "chrX\t1\t.\tA\tG\t.\t.\t.\nchr2\t5\t.\tA\tG\t.\t.\t.\n"));
  EXPECT_EQ(g.GetSortedUniqueChromNames(), (std::vector<std::string>{"chr2", "chrX", "chr10"}));
  EXPECT_EQ(g.ChromGroups(), (std::vector<std::vector<uint64_t>>{{1, 3}, {2}, {0}}));
  EXPECT_EQ(g.GetNVariantsInChrom(0), 2u);
  EXPECT_EQ(g.GetNVariantsInChrom(3), ~uint64_t(0));
  EXPECT_EQ(g.SelectChroms({3}), 0u);
  EXPECT_EQ(g.NVariantsSelected(), 0u);
  EXPECT_EQ(g.SelectChroms({0, 2}), 3u);
  EXPECT_EQ(Selected(g), (std::vector<uint64_t>{0, 1, 3}));
}

TEST_F(SelectTest, RangeSelectsInclusiveBoundsOnly) {
  TVCFFile g;
  ASSERT_TRUE(g.OpenText(Header() + "c1\t150\t.\tA\tG\t.\t.\t.\nc2\t99\t.\tA\tG\t.\t.\t.\n"
                                    "c2\t100\t.\tA\tG\t.\t.\t.\nc2\t200\t.\tA\tG\t.\t.\t.\n"
                                    "c2\t201\t.\tA\tG\t.\t.\t.\n"));
  g.ClearSelection(true);
  EXPECT_EQ(g.SelectChromRangeOnly(g.FindChrom("c2"), 100, 200), 2u);
  EXPECT_EQ(Selected(g), (std::vector<uint64_t>{2, 3}));
  // Narrowing instead of starting over: c1 stays out, and only 200 is in both.
  EXPECT_EQ(g.SelectChromRangeOnly(g.FindChrom("c2"), 150, 300, lAnd), 1u);
  EXPECT_EQ(g.SelectChromRangeOnly(7, 1, 1000), 0u);
}

TEST_F(SelectTest, ListedPositionsMarkEveryRecordAtThem) {
  F.SelectFromChromPos({"chr2", "chrZ"}, {{100, 201}, {1}}, lSet);
  EXPECT_EQ(Selected(F), (std::vector<uint64_t>{2, 3, 5}));
  std::vector<std::string> names;
  std::vector<std::vector<uint64_t>> pos;
  F.GetAllChromPos(names, pos, false, true);
  EXPECT_EQ(VcfSelectionPosForm(names, pos), (std::vector<std::string>{"chr2\t100,100,201"}));
}

TEST_F(SelectTest, ValueSelectionChecksTheValueCount) {
  TBitField mask;
  mask.Make(8, false);
  for (uint64_t v : {1, 3, 5}) mask.ChgFieldBit(v, true);
  EXPECT_EQ(F.SelectVarByValDbl({0.2, 0.7}, 0.5, &mask, cmpG, bFalse), -1);
  EXPECT_EQ(F.NVariantsSelected(), 8u);
  EXPECT_EQ(F.SelectVarByValDbl({0.2, 0.7, 0.9}, 0.5, &mask, cmpG, bFalse), 2);
  EXPECT_EQ(Selected(F), (std::vector<uint64_t>{3, 5}));
  F.ClearSelection(true);
  EXPECT_EQ(F.SelectVarByValDbl({0.2, 0.7, 0.9}, 0.5, &mask, cmpG, bNA), 7);
}

struct TFilterCase {
  const char* Name;
  bool Info;
  const char* Key;
  TComparison Cmp;
  const char* Threshold;
  uint32_t MinSamples;
  std::vector<uint64_t> Expected;  // empty with Error set: refused
  const char* Error;
};

TEST_F(SelectTest, InfoAndFormatFiltersTable) {
  const std::vector<uint64_t> all{0, 1, 2, 3, 4, 5, 6, 7};
  const std::vector<TFilterCase> cases = {
      // v2 has DP=. (missing, never passes), v4 and v6 lack DP (kept), v7 holds INT32_MIN.
      {"INFO DP >= 10", true, "DP", cmpGE, "10", 1, {0, 3, 4, 5, 6}, nullptr},
      {"INFO DP < 10", true, "DP", cmpL, "10", 1, {1, 4, 6, 7}, nullptr},
      {"INFO DP <> 50", true, "DP", cmpNE, "50", 1, {0, 1, 4, 5, 6, 7}, nullptr},
      {"INFO MQ > 29.5", true, "MQ", cmpG, "29.5", 1, {0, 1, 3, 5, 6, 7}, nullptr},
      {"INFO MQ > 1e-3", true, "MQ", cmpG, "1e-3", 1, {0, 1, 3, 4, 5, 6, 7}, nullptr},
      {"FORMAT GQ >= 20 in 3", false, "GQ", cmpGE, "20", 3, {0, 1, 4, 5, 6}, nullptr},
      {"FORMAT GQ <= 0 in 1", false, "GQ", cmpLE, "0", 1, {4, 7}, nullptr},
      {"FORMAT GQ = 99 in 4", false, "GQ", cmpE, "99", 4, {4, 6}, nullptr},
      {"Number=A", true, "AF", cmpG, "0", 1, all, "Number=A"},
      {"String", true, "TXT", cmpG, "0", 1, all, "Type=String"},
      {"Flag", true, "FL", cmpG, "0", 1, all, "Number=0"},
      {"not in header", true, "NOPE", cmpG, "0", 1, all, "not defined"},
      {"FORMAT Number=G", false, "PL", cmpG, "0", 1, all, "Number=G"},
      {"FORMAT String", false, "GT", cmpG, "0", 1, all, "Type=String"},
  };
  for (const TFilterCase& c : cases) {
    F.ClearSelection(true);
    TVcfFilterItem item;
    item.Key = c.Key;
    item.Comparison = c.Cmp;
    TvcfKeyDescription def;
    std::vector<TVcfTagValueStr> pairs;
    const bool found = c.Info ? F.GetInfoKeyDirDefinition(c.Key, def, pairs)
                              : F.GetFmtKeyDirDefinition(c.Key, def, pairs);
    if (found && (def.kType == vtInt || def.kType == vtFloat))
      ASSERT_FALSE(ParseThreshold(c.Threshold, def.kType, item.Threshold, item.Evaluator))
          << c.Name;
    else
      item.Evaluator = EvalRelationV64_i32;
    TZelErr err;
    const int64_t r =
        c.Info ? F.InfoFilters({item}, lAnd, lAnd, 0, ~uint64_t(0), nullptr, &err)
               : F.SampleFilter(item, c.MinSamples, {}, lAnd, lAnd, 0, ~uint64_t(0), nullptr, &err);
    EXPECT_EQ(Selected(F), c.Expected) << c.Name;
    if (c.Error) {
      EXPECT_EQ(r, -1) << c.Name;
      EXPECT_NE((err.Msg + " " + err.Details).find(c.Error), std::string::npos)
          << c.Name << ": " << err.Msg << ": " << err.Details;
    } else {
      EXPECT_EQ(r, int64_t(c.Expected.size())) << c.Name;
      EXPECT_FALSE(err) << c.Name;
    }
  }
}

TEST_F(SelectTest, FilterOnlyLooksAtSelectedVariantsUnderAnd) {
  F.ClearSelection(false);
  F.SelectVariant(1, true);  // DP=9
  F.SelectVariant(5, true);  // DP=100
  TVcfFilterItem item;
  item.Key = "DP";
  ASSERT_FALSE(ParseThreshold("10", vtInt, item.Threshold, item.Evaluator));
  EXPECT_EQ(F.InfoFilters({item}, lAnd, lAnd, 0, ~uint64_t(0)), 1);
  EXPECT_EQ(Selected(F), (std::vector<uint64_t>{5}));
}

TEST_F(SelectTest, UnconvertibleValueStopsTheFilterAndKeepsTheSelection) {
  TVCFFile g;
  ASSERT_TRUE(g.OpenText(
      "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"d\">\n"
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"
      "c\t1\t.\tA\tG\t.\t.\tDP=1\nc\t2\t.\tA\tG\t.\t.\tDP=x5\nc\t3\t.\tA\tG\t.\t.\tDP=30\n"));
  g.ClearSelection(true);
  TVcfFilterItem item;
  item.Key = "DP";
  ASSERT_FALSE(ParseThreshold("10", vtInt, item.Threshold, item.Evaluator));
  TZelErr err;
  EXPECT_EQ(g.InfoFilters({item}, lAnd, lAnd, 0, ~uint64_t(0), nullptr, &err), -1);
  EXPECT_EQ(err.Details, "line 4, DP=x5");
  EXPECT_EQ(g.NVariantsSelected(), 3u);
}

TEST(SelectThreshold, ParsedWithSuccessFlag) {
  struct {
    const char* Text;
    TvcfType Type;
    const char* Error;  // null: reads
  } cases[] = {
      {"10", vtInt, nullptr},
      {"-996699", vtInt, nullptr},  // once a "not a number" mark, now a number like any other
      {"+7", vtInt, nullptr},
      {"1O", vtInt, "Threshold value does not appear to be a valid integer number: <1O>"},
      {"1.5", vtInt, "Threshold value does not appear to be a valid integer number: <1.5>"},
      {"", vtInt, "Threshold value does not appear to be a valid integer number: <>"},
      {"3000000000", vtInt,
       "Threshold value is outside the 32-bit integer range of the comparison: <3000000000>"},
      {"1e-3", vtFloat, nullptr},
      {"-999.999666999", vtFloat, nullptr},
      {"abc", vtFloat,
       "Threshold value does not appear to be a valid floating point number: <abc>"},
      {"inf", vtFloat,
       "Threshold value does not appear to be a valid floating point number: <inf>"},
  };
  for (const auto& c : cases) {
    TValue64 t{};
    TVcfEvaluator e = nullptr;
    const TZelErr err = ParseThreshold(c.Text, c.Type, t, e);
    if (c.Error) {
      EXPECT_EQ(err.Msg + ": " + err.Details, c.Error);
    } else {
      EXPECT_FALSE(err) << c.Text;
      EXPECT_NE(e, nullptr);
    }
  }
  TValue64 t{};
  TVcfEvaluator e = nullptr;
  ASSERT_FALSE(ParseThreshold("1e-3", vtFloat, t, e));
  EXPECT_DOUBLE_EQ(t.Dbl, 0.001);
}

TEST(SelectThreshold, DialogInputFilter) {
  EXPECT_EQ(ChkTypeRange("1.5e3", vtInt), "153");
  EXPECT_EQ(ChkTypeRange("1.5e3", vtFloat), "1.53");
  EXPECT_EQ(ChkTypeRange("-12a", vtInt), "-12");
  EXPECT_EQ(ChkTypeRange("abc", vtString), "abc");
  EXPECT_EQ(ChkTypeRange("", vtInt), "");
}

TEST(SelectDepth, MasksLowDepthCalls) {
  // Diploid, sample-first: depths 3, 7 (1/1), 7 (0/1), 12.
  std::vector<uint32_t> gt{0, 1, 1, 1, 0, 1, 1, 1};
  const std::vector<uint32_t> dp{3, 7, 7, 12};
  EXPECT_EQ(FilterGenotypesMinDW_SmpFirst(gt, dp, 5, 10, 2), 10u);
  const uint32_t M = MissingAlleleNo;
  EXPECT_EQ(gt, (std::vector<uint32_t>{M, M, 1, M, 0, 1, 1, 1}));
  // The same calls allele-first.
  std::vector<uint32_t> af{0, 1, 0, 1, 1, 1, 1, 1};
  EXPECT_EQ(FilterGenotypesMinDW_AlleleFirst(af, dp, 5, 10, 2), 10u);
  EXPECT_EQ(af, (std::vector<uint32_t>{M, 1, 0, 1, M, M, 1, 1}));
  std::vector<uint32_t> same{0, 1, 1, 1};
  EXPECT_EQ(FilterGenotypesMinDW_SmpFirst(same, {3, 3}, 0, 10, 2), 10u);
  EXPECT_EQ(same, (std::vector<uint32_t>{0, 1, 1, 1}));
  // Triploid below the homozygote threshold keeps only its first allele.
  std::vector<uint32_t> tri{0, 1, 2};
  EXPECT_EQ(FilterGenotypesMinDW_SmpFirst(tri, {6}, 5, 8, 3), 8u);
  EXPECT_EQ(tri, (std::vector<uint32_t>{0, M, M}));
}

TEST(SelectFiles, BitFormWrittenAndRead) {
  TBitField b;
  b.Make(10, false);
  b.ChgFieldBit(0, true);
  b.ChgFieldBit(9, true);
  EXPECT_EQ(VcfSelectionBitForm(b), "Selection1\t000000000000000A.0102");
  TBitField r;
  EXPECT_FALSE(VcfReadSelectionBitForm("Selection1\t000000000000000a.0102\r", 10, r));
  EXPECT_EQ(r.AsABool(), b.AsABool());
  const struct {
    const char* Line;
    const char* Error;
  } bad[] = {
      {"Selection1\t000000000000000B.0102", "Selection file was written for another VCF"},
      {"Selection1\t000000000000000A.01", "Selection file bit text has the wrong length"},
      {"Selection1\t000000000000000A.0106", "Selection file sets bits past the last variant"},
      {"Selection1\t000000000000000A.01G2", "Selection file bit text is not hexadecimal"},
      {"Selection1 000000000000000A.0102", "Not a selection file"},
  };
  for (const auto& c : bad) {
    TBitField keep = b;
    const TZelErr e = VcfReadSelectionBitForm(c.Line, 10, keep);
    EXPECT_EQ(e.Msg.substr(0, std::string(c.Error).size()), c.Error) << c.Line;
    EXPECT_EQ(keep.AsABool(), b.AsABool());
  }
  EXPECT_EQ(sh2d("FF"), 0xFF000000u);
  EXPECT_EQ(sh2d(""), 0xFFFFFFFFu);
  EXPECT_EQ(sh2q("000000000000000"), ~uint64_t(0));
  EXPECT_EQ(sh2q("00000001000000ff"), 0x1000000FFull);
}

TEST(SelectFiles, PositionFormRefusesBadRowsByNumber) {
  std::vector<std::string> n;
  std::vector<std::vector<uint64_t>> p;
  EXPECT_FALSE(VcfReadSelectionPosForm({"chr2\t100,250", "", "chr3\t.\r"}, n, p));
  EXPECT_EQ(n, (std::vector<std::string>{"chr2", "chr3"}));
  EXPECT_EQ(p, (std::vector<std::vector<uint64_t>>{{100, 250}, {}}));
  const TZelErr e = VcfReadSelectionPosForm({"chr2\t100", "chr3\t5,x"}, n, p);
  EXPECT_EQ(e.Msg + ": " + e.Details, "Selection file row does not parse: row 2: chr3\t5,x");
  EXPECT_EQ(n.size(), 2u);  // unchanged
  EXPECT_TRUE(VcfReadSelectionPosForm({"chr2"}, n, p));
  EXPECT_TRUE(VcfReadSelectionPosForm({"chr2\t1,,2"}, n, p));
}

TEST_F(SelectTest, SavedSelectionKeepsLineEndsAndListedSamples) {
  TVCFFile crlf;
  ASSERT_TRUE(crlf.OpenFile(Data("sel_crlf.vcf")));
  crlf.ClearSelection(false);
  crlf.SelectVariant(4, true);
  const std::vector<uint32_t> smp{3, 0};
  const std::string out = (Dir / "o.vcf").string();
  ASSERT_FALSE(VcfWriteSelection(crlf, out, &smp, 2));
  const std::string text = ReadAll(out);
  const std::string tail =
      "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tD\tA\r\n"
      "chr2\t200\tv4\tG\tA\t.\tPASS\tMQ=10\tGT\t0/0\t0/1\r\n";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_EQ(text.substr(0, 22), "##fileformat=VCFv4.2\r\n");

  // No samples left: the 8 site columns.
  const std::vector<uint32_t> none;
  ASSERT_FALSE(VcfWriteSelection(F, out, &none));
  const std::string sites = ReadAll(out);
  EXPECT_NE(sites.find("\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"
                       "chr10\t5\tv0\tA\tG\t.\tPASS\tDP=10;MQ=30.5;TXT=x\n"),
            std::string::npos);

  // Never over the open input; a bad sample number writes nothing.
  EXPECT_EQ(VcfWriteSelection(F, Data("sel.vcf"), nullptr).Msg,
            "The output file is the open input file");
  const std::vector<uint32_t> beyond{9};
  const std::string bad = (Dir / "bad.vcf").string();
  EXPECT_TRUE(VcfWriteSelection(F, bad, &beyond));
  EXPECT_FALSE(fs::exists(bad));
  EXPECT_EQ(std::distance(fs::directory_iterator(Dir), fs::directory_iterator()), 1);
}

TEST_F(SelectTest, GzNameWritesBgzfThatDecodesToThePlainText) {
  const std::string plain = (Dir / "o.vcf").string(), gz = (Dir / "o.vcf.gz").string();
  // Enough text for several blocks on several threads.
  TVCFFile big;
  std::string text = Header();
  for (int i = 0; i < 40000; ++i)
    text += "chr" + std::to_string(i % 7) + "\t" + std::to_string(i + 1) +
            "\t.\tA\tG\t.\t.\tDP=" + std::to_string(i) + "\n";
  ASSERT_TRUE(big.OpenText(text));
  ASSERT_FALSE(VcfWriteSelection(big, plain, nullptr, 3));
  ASSERT_FALSE(VcfWriteSelection(big, gz, nullptr, 3));
  const std::string raw = ReadAll(gz);
  ASSERT_GT(raw.size(), 28u);
  // BGZF: every block carries the BC extra field; the file ends in the empty block.
  EXPECT_EQ(raw.substr(12, 2), "BC");
  EXPECT_EQ(raw.substr(raw.size() - 28, 4), std::string("\x1f\x8b\x08\x04", 4));
  gzFile z = gzopen(gz.c_str(), "rb");
  ASSERT_NE(z, nullptr);
  std::string dec;
  char buf[65536];
  int n;
  while ((n = gzread(z, buf, sizeof buf)) > 0) dec.append(buf, size_t(n));
  gzclose(z);
  EXPECT_EQ(dec, ReadAll(plain));
  const std::string last = "chr1\t40000\t.\tA\tG\t.\t.\tDP=39999\n";
  EXPECT_EQ(dec.substr(dec.size() - last.size()), last);
}

TEST_F(SelectTest, SelectedLinesAndNames) {
  F.ClearSelection(false);
  F.SelectVariant(4, true);
  EXPECT_EQ(F.GetSelVariantLines({2}, true),
            (std::vector<std::string>{"#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tC",
                                      "chr2\t200\tv4\tG\tA\t.\tPASS\tMQ=10\tGT\t0/0"}));
  EXPECT_TRUE(F.GetSelVariantLines({9}, true).empty());
  EXPECT_EQ(F.GetSelVariantNames(":"), (std::vector<std::string>{"chr2:200"}));
}

}  // namespace
