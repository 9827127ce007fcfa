// The VCF merge: meta lines, chromosome and sample union, the walk with records paired by REF,
// gVCF block breaking, the handler steps and their retry protocol, the error record, and the
// default handlers with the genotype merge table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "vcf/bioVCF.h"
#include "vcf/vcfMerge.h"
#include "vcf/vcfMergeHandlers.h"

namespace {

const char* kHead =
    "##fileformat=VCFv4.2\n"
    "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n";

std::string Vcf(const std::string& samples, const std::string& body,
                const std::string& meta = kHead) {
  return meta + "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t" + samples + "\n" + body;
}

// The data lines (or all lines) of a merge of two texts.
struct TMergeRun {
  bool Ok = false;
  std::vector<std::string> Lines;
  TVcfMergeError Err;
  TVcfMergeStats Stats;
  TVcfMetaMergeReport Report;
};

TMergeRun Merge(const std::string& t1, const std::string& t2, TVcfMergeParams p,
                bool dataOnly = true) {
  TMergeRun r;
  TVCFFile a, b;
  EXPECT_TRUE(a.OpenText(t1, "a.vcf"));
  EXPECT_TRUE(b.OpenText(t2, "b.vcf"));
  TVcfMergeLines sink;
  if (!p.MetaExtraPtr) p.MetaExtraPtr = &r.Report;
  r.Ok = VcfMerge(a, b, sink, r.Err, p, &r.Stats);
  for (const std::string& l : sink.Lines)
    if (!dataOnly || l.empty() || l[0] != '#') r.Lines.push_back(l);
  return r;
}

TVcfMergeParams Defaults(bool andLoci = true, bool andSamples = false) {
  return VcfDefaultMergeParams(andLoci, andSamples);
}

TEST(VcfMerge, MetaLinesEachOnceFirstFileFirst) {
  const std::string t1 = "##A\n##B\n", t2 = "##B\r\n##C\r\n";
  std::vector<std::string> out;
  EXPECT_EQ(HMergeMetaText_Default(t1.data(), t2.data(), uint32_t(t1.size()), uint32_t(t2.size()),
                                   out, nullptr),
            vmMergeOK);
  EXPECT_EQ(out, (std::vector<std::string>{"##A", "##B", "##C"}));
  out = {"x"};
  EXPECT_EQ(HMergeMetaText_Default("", "", 0, 0, out, nullptr), vmMergeOK);
  EXPECT_TRUE(out.empty());
}

TEST(VcfMerge, HeaderKeepsOneFileformatAndFirstDefinitionPerId) {
  const std::string t1 =
      "##fileformat=VCFv4.2\n##INFO=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">\n";
  const std::string t2 =
      "##fileformat=VCFv4.3\n##INFO=<ID=DP,Number=1,Type=Float,Description=\"Depth\">\n"
      "##INFO=<ID=AF,Number=A,Type=Float,Description=\"Freq\">\n";
  std::vector<std::string> out;
  TVcfMetaMergeReport rep;
  HMergeMetaText_Default(t1.data(), t2.data(), uint32_t(t1.size()), uint32_t(t2.size()), out, &rep);
  EXPECT_EQ(out,
            (std::vector<std::string>{"##fileformat=VCFv4.2",
                                      "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"Depth\">",
                                      "##INFO=<ID=AF,Number=A,Type=Float,Description=\"Freq\">"}));
  ASSERT_EQ(rep.Warnings.size(), 1u);
  EXPECT_NE(rep.Warnings[0].find("INFO DP"), std::string::npos);
}

TEST(VcfMerge, DifferentAltsGiveOneListAndFile2IsRenumbered) {
  const auto r = Merge(Vcf("S1", "1\t100\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"),
                       Vcf("S2", "1\t100\t.\tA\tG\t.\t.\t.\tGT\t0/1\n"), Defaults());
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"1\t100\t.\tA\tC,G\t.\t.\t.\tGT:DP\t0/1:.\t0/2:."}));
}

TEST(VcfMerge, BlockIsCutAtTheOtherFilesRecord) {
  const std::string meta = std::string(kHead) +
                           "##ALT=<ID=NON_REF,Description=\"Any other allele\">\n"
                           "##INFO=<ID=END,Number=1,Type=Integer,Description=\"End\">\n";
  const auto r = Merge(Vcf("S1", "1\t100\t.\tA\t<NON_REF>\t.\t.\tEND=200\tGT\t0/0\n", meta),
                       Vcf("S2", "1\t150\t.\tG\tT\t.\t.\t.\tGT\t0/1\n", meta), Defaults(false));
  ASSERT_TRUE(r.Ok);
  EXPECT_TRUE(r.Stats.GvcfMode);
  EXPECT_EQ(r.Lines, (std::vector<std::string>{
                         "1\t100\t.\tA\t<NON_REF>\t.\t.\tEND=149\tGT:DP\t0/0:.\t./.:.",
                         "1\t150\t.\tG\tT\t.\t.\t.\tGT:DP\t0/0:.\t0/1:.",
                         "1\t151\t.\tN\t<NON_REF>\t.\t.\tEND=200\tGT:DP\t0/0:.\t./.:."}));
}

TEST(VcfMerge, BlocksOfBothFilesAreCutAlike) {
  const std::string meta = std::string(kHead) + "##ALT=<ID=*,Description=\"Any\">\n";
  const auto r =
      Merge(Vcf("S1", "1\t100\t.\tA\t<*>\t.\t.\tEND=200\tGT\t0/0\n", meta),
            Vcf("S2", "1\t150\t.\tC\t<*>\t.\t.\tEND=300\tGT\t0/0\n", meta), Defaults(false));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines,
            (std::vector<std::string>{"1\t100\t.\tA\t<*>\t.\t.\tEND=149\tGT:DP\t0/0:.\t./.:.",
                                      "1\t150\t.\tC\t<*>\t.\t.\tEND=200\tGT:DP\t0/0:.\t0/0:.",
                                      "1\t201\t.\tN\t<*>\t.\t.\tEND=300\tGT:DP\t./.:.\t0/0:."}));
}

TEST(VcfMerge, NoBlockIsCutWithoutGvcfMode) {
  const std::string meta = std::string(kHead) + "##ALT=<ID=*,Description=\"Any\">\n";
  TVcfMergeParams p = Defaults(false);
  p.GvcfModeAuto = false;
  const auto r = Merge(Vcf("S1", "1\t100\t.\tA\t<*>\t.\t.\tEND=200\tGT\t0/0\n", meta),
                       Vcf("S2", "1\t150\t.\tC\tT\t.\t.\t.\tGT\t0/1\n", meta), p);
  ASSERT_TRUE(r.Ok);
  EXPECT_FALSE(r.Stats.GvcfMode);
  EXPECT_EQ(r.Lines,
            (std::vector<std::string>{"1\t100\t.\tA\t<*>\t.\t.\tEND=200\tGT:DP\t0/0:.\t./.:.",
                                      "1\t150\t.\tC\tT\t.\t.\t.\tGT:DP\t./.:.\t0/1:."}));
}

TEST(VcfMerge, StructuralVariantsAreNotCut) {
  const std::string meta = std::string(kHead) + "##ALT=<ID=*,Description=\"Any\">\n";
  const auto r = Merge(Vcf("S1",
                           "1\t100\t.\tA\t<DEL>\t.\t.\tEND=200\tGT\t0/1\n"
                           "1\t300\t.\tA\t<*>\t.\t.\t.\tGT\t0/0\n",
                           meta),
                       Vcf("S2", "1\t150\t.\tC\tT\t.\t.\t.\tGT\t0/1\n", meta), Defaults(false));
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines,
            (std::vector<std::string>{"1\t100\t.\tA\t<DEL>\t.\t.\tEND=200\tGT:DP\t0/1:.\t./.:.",
                                      "1\t150\t.\tC\tT\t.\t.\t.\tGT:DP\t./.:.\t0/1:.",
                                      "1\t300\t.\tA\t<*>\t.\t.\t.\tGT:DP\t0/0:.\t./.:."}));
}

TEST(VcfMerge, ChromosomesInNameOrderAndLociAndOr) {
  const std::string a = Vcf("S1",
                            "chr10\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"
                            "chr2\t7\t.\tA\tC\t.\t.\t.\tGT\t1/1\n"
                            "chrX\t9\t.\tA\tC\t.\t.\t.\tGT\t0/0\n");
  const std::string b = Vcf("S1",
                            "chr2\t7\t.\tA\tC\t.\t.\t.\tGT\t1/1\n"
                            "chr2\t8\t.\tG\tT\t.\t.\t.\tGT\t0/1\n"
                            "chr10\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n");
  const auto both = Merge(a, b, Defaults(true));
  ASSERT_TRUE(both.Ok);
  EXPECT_EQ(both.Lines, (std::vector<std::string>{"chr2\t7\t.\tA\tC\t.\t.\t.\tGT:DP\t1/1:.",
                                                  "chr10\t5\t.\tA\tC\t.\t.\t.\tGT:DP\t0/1:."}));
  const auto either = Merge(a, b, Defaults(false));
  ASSERT_TRUE(either.Ok);
  EXPECT_EQ(either.Lines, (std::vector<std::string>{"chr2\t7\t.\tA\tC\t.\t.\t.\tGT:DP\t1/1:.",
                                                    "chr2\t8\t.\tG\tT\t.\t.\t.\tGT:DP\t0/1:.",
                                                    "chrX\t9\t.\tA\tC\t.\t.\t.\tGT:DP\t0/0:.",
                                                    "chr10\t5\t.\tA\tC\t.\t.\t.\tGT:DP\t0/1:."}));
}

TEST(VcfMerge, NoCommonChromosomeGivesHeaderOnly) {
  const auto r = Merge(Vcf("S1", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"),
                       Vcf("S2", "2\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"), Defaults(), false);
  ASSERT_TRUE(r.Ok);
  ASSERT_EQ(r.Lines.size(), 3u);
  EXPECT_EQ(r.Lines[2], "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\tS1\tS2");
}

TEST(VcfMerge, SamplesPairByNameWithAndOr) {
  const std::string a = Vcf("X\tY", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n");
  const std::string b = Vcf("Z\tX", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/0\t0/1\n");
  const auto orS = Merge(a, b, Defaults(true, false), false);
  ASSERT_TRUE(orS.Ok);
  EXPECT_EQ(orS.Lines.back(), "1\t5\t.\tA\tC\t.\t.\t.\tGT:DP\t0/1:.\t1/1:.\t0/0:.");
  EXPECT_EQ(orS.Lines[orS.Lines.size() - 2].substr(46), "X\tY\tZ");
  const auto andS = Merge(a, b, Defaults(true, true), false);
  ASSERT_TRUE(andS.Ok);
  EXPECT_EQ(andS.Lines.back(), "1\t5\t.\tA\tC\t.\t.\t.\tGT:DP\t0/1:.");
  const auto none = Merge(a, Vcf("Q", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/0\n"), Defaults(true, true));
  EXPECT_FALSE(none.Ok);
  EXPECT_EQ(none.Err.ErrorKind, meNoSamplesToCombine);
  EXPECT_TRUE(none.Lines.empty());
}

TEST(VcfMerge, RecordsAtOnePositionPairByRefNotOrder) {
  const auto r = Merge(Vcf("S1",
                           "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"
                           "1\t5\t.\tGT\tG\t.\t.\t.\tGT\t1/1\n"),
                       Vcf("S2",
                           "1\t5\t.\tGT\tG\t.\t.\t.\tGT\t0/1\n"
                           "1\t5\t.\tA\tT\t.\t.\t.\tGT\t1/1\n"),
                       Defaults());
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"1\t5\t.\tA\tC,T\t.\t.\t.\tGT:DP\t0/1:.\t2/2:.",
                                               "1\t5\t.\tGT\tG\t.\t.\t.\tGT:DP\t1/1:.\t0/1:."}));
  EXPECT_EQ(r.Stats.UnpairedRecords, 0u);
}

TEST(VcfMerge, UnmatchedRefsAreWrittenApartOrLeftOut) {
  const std::string a = Vcf("S1", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n");
  const std::string b = Vcf("S2", "1\t5\t.\tG\tT\t.\t.\t.\tGT\t1/1\n");
  const auto orL = Merge(a, b, Defaults(false));
  ASSERT_TRUE(orL.Ok);
  EXPECT_EQ(orL.Lines, (std::vector<std::string>{"1\t5\t.\tA\tC\t.\t.\t.\tGT:DP\t0/1:.\t./.:.",
                                                 "1\t5\t.\tG\tT\t.\t.\t.\tGT:DP\t./.:.\t1/1:."}));
  EXPECT_EQ(orL.Stats.UnpairedRecords, 2u);
  EXPECT_EQ(orL.Stats.FirstUnpaired, "1:5");
  const auto andL = Merge(a, b, Defaults(true));
  ASSERT_TRUE(andL.Ok);
  EXPECT_TRUE(andL.Lines.empty());
}

TEST(VcfMerge, ShorterRefIsExtendedNotTurnedIntoAnAllele) {
  const auto r = Merge(Vcf("S1", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"),
                       Vcf("S2", "1\t5\t.\tAT\tA\t.\t.\t.\tGT\t0/1\n"), Defaults());
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"1\t5\t.\tAT\tCT,A\t.\t.\t.\tGT:DP\t0/1:.\t0/2:."}));
}

TEST(VcfMerge, File1IsRenumberedWhenItsPlaceholderLeavesTheList) {
  const auto r = Merge(Vcf("S1", "1\t5\t.\tA\t<*>,C\t.\t.\t.\tGT\t0/2\n"),
                       Vcf("S2", "1\t5\t.\tA\tG\t.\t.\t.\tGT\t1/1\n"), Defaults());
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"1\t5\t.\tA\tC,G\t.\t.\t.\tGT:DP\t0/1:.\t2/2:."}));
}

TEST(VcfMerge, DepthsAreSummedAndAbsentStaysMissing) {
  const std::string meta = std::string(kHead) +
                           "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"D\">\n"
                           "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"D\">\n";
  const auto r = Merge(Vcf("S1\tS2",
                           "1\t5\t.\tA\tC\t.\t.\tDP=10\tGT:DP\t0/1:7\t0/1:10\n"
                           "1\t6\t.\tA\tC\t.\t.\tDP=4294967295\tGT:DP\t0/1:.\t0/1\n",
                           meta),
                       Vcf("S1\tS2",
                           "1\t5\t.\tA\tC\t.\t.\tDP=12\tGT:DP\t0/1:5\t0/1:.\n"
                           "1\t6\t.\tA\tC\t.\t.\tDP=3\tGT\t0/1\t0/1\n",
                           meta),
                       Defaults());
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines,
            (std::vector<std::string>{"1\t5\t.\tA\tC\t.\t.\tDP=22\tGT:DP\t0/1:12\t0/1:10",
                                      "1\t6\t.\tA\tC\t.\t.\tDP=4294967295\tGT:DP\t0/1:.\t0/1:."}));
}

// A handler that names a key's value when found, for the INFO and FORMAT step tests.
TVcfMergeHandlerResult HJoinBar(TVcfVariantMergeHandlerParams& p) {
  std::string t = std::string(p.pKeyValueStr1 ? p.pKeyValueStr1 : "", p.LKeyValueStr1) + "|" +
                  std::string(p.pKeyValueStr2 ? p.pKeyValueStr2 : "", p.LKeyValueStr2);
  p.out_ActualOutLength = uint32_t(t.size());
  if (t.size() > p.MaxOutLength) return vmInsufficientMemory;
  std::memcpy(p.pDefaultOut, t.data(), t.size());
  return vmMergeOK;
}

int gCalls = 0;
// Asks for 200 bytes the first time whatever it is offered, then writes 200 bytes.
TVcfMergeHandlerResult HWide(TVcfVariantMergeHandlerParams& p) {
  ++gCalls;
  p.out_ActualOutLength = 200;
  if (p.MaxOutLength < 200) return vmInsufficientMemory;
  std::memset(p.pDefaultOut, 'w', 200);
  return vmMergeOK;
}
TVcfMergeHandlerResult HLiar(TVcfVariantMergeHandlerParams& p) {
  p.out_ActualOutLength = 1;
  return vmInsufficientMemory;
}
TVcfMergeHandlerResult HDropPos6(TVcfVariantMergeHandlerParams& p) {
  if (p.LKeyValueStr1 && std::string_view(p.pKeyValueStr1, p.LKeyValueStr1) == "drop")
    return vmExcludeVariant;
  return HJoinBar(p);
}
TVcfMergeHandlerResult HFail(TVcfVariantMergeHandlerParams&) { return vmFAILED; }
TVcfMergeHandlerResult HExcludeGt(TVcfVariantMergeHandlerParams&) { return vmExcludeGtTag; }

TVcfMergeParams Steps() {
  TVcfMergeParams p;
  p.AlleleHandler = HMergeAlleles_Default;
  p.InfoKeysToMerge = {"K", "Q"};
  p.InfoKeyHandlers = {HDropPos6, HJoinBar};
  p.GtKeysToMerge = {"GT", "X", "DP"};
  p.GtKeyHandlers = {HGtGTMerge_Default, HJoinBar, HGtDPMerge_Default};
  p.HandlerOrder = {vcfRef, vcfInfo, vcfInfo, vcfFormat, vcfFormat, vcfFormat};
  return p;
}

const std::string kStepsA = Vcf("S1",
                                "1\t5\t.\tA\tC\t.\t.\tK=a\tGT:DP\t0/1:3\n"
                                "1\t6\t.\tA\tC\t.\t.\tK=drop\tGT\t0/1\n"
                                "1\t7\t.\tA\tC\t.\t.\t.\tGT\t0/1\n");
const std::string kStepsB = Vcf("S1",
                                "1\t5\t.\tA\tC\t.\t.\tQ\tGT:DP\t0/1:4\n"
                                "1\t6\t.\tA\tC\t.\t.\t.\tGT\t0/1\n"
                                "1\t7\t.\tA\tC\t.\t.\t.\tGT\t0/1\n");

TEST(VcfMergeSteps, InfoAndFormatStepsAndExcludedVariant) {
  const auto r = Merge(kStepsA, kStepsB, Steps());
  ASSERT_TRUE(r.Ok);
  // Q is found without a value: no "="; X is in neither FORMAT: "." in place; line 6 dropped.
  EXPECT_EQ(r.Lines, (std::vector<std::string>{"1\t5\t.\tA\tC\t.\t.\tK=a|;Q|\tGT:X:DP\t0/1:.:7",
                                               "1\t7\t.\tA\tC\t.\t.\t.\tGT:X:DP\t0/1:.:."}));
  TVcfMergeParams p = Steps();
  p.ProcessInfoTagEvenIfAbsent = true;
  p.ProcessGtTagEvenIfAbsent = true;
  const auto all = Merge(kStepsA, kStepsB, p);
  ASSERT_TRUE(all.Ok);
  EXPECT_EQ(all.Lines[1], "1\t7\t.\tA\tC\t.\t.\tK|;Q|\tGT:X:DP\t0/1:|:.");
}

TEST(VcfMergeSteps, NoFormatKeysLeaveEmptyColumns) {
  TVcfMergeParams p = Steps();
  p.GtKeysToMerge.clear();
  p.GtKeyHandlers.clear();
  const auto r = Merge(kStepsA, kStepsB, p);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines[1], "1\t7\t.\tA\tC\t.\t.\t.\t\t");
}

TEST(VcfMergeSteps, ExcludedFormatKeyLeavesTheFormatColumn) {
  TVcfMergeParams p = Steps();
  p.GtKeyHandlers[1] = HExcludeGt;
  p.ProcessGtTagEvenIfAbsent = true;
  const auto r = Merge(kStepsA, kStepsB, p);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Lines[0], "1\t5\t.\tA\tC\t.\t.\tK=a|;Q|\tGT:DP\t0/1:7");
}

TEST(VcfMergeSteps, TooLittleRoomIsGivenAndTheStepRunsAgain) {
  TVcfMergeParams p = Steps();
  p.InfoKeyHandlers[1] = HWide;
  p.GtKeyHandlers[1] = HWide;
  p.ProcessGtTagEvenIfAbsent = true;
  gCalls = 0;
  const auto r = Merge(kStepsA, kStepsB, p);
  ASSERT_TRUE(r.Ok);
  const std::string w(200, 'w');
  EXPECT_EQ(r.Lines[0], "1\t5\t.\tA\tC\t.\t.\tK=a|;Q" + w + "\tGT:X:DP\t0/1:" + w + ":7");
  // Each buffer grows once and is kept: line 5 retries its INFO and FORMAT step once; line 7
  // (line 6 is dropped by K) calls X once and has no Q.
  EXPECT_EQ(gCalls, 5);
  p.GtKeyHandlers[1] = HLiar;
  const auto bad = Merge(kStepsA, kStepsB, p);
  EXPECT_FALSE(bad.Ok);
  EXPECT_EQ(bad.Err.ErrorKind, meMemoryError);
}

TEST(VcfMergeSteps, FailureRecordsLinesColumnAndKey) {
  TVcfMergeParams p = Steps();
  p.GtKeyHandlers[2] = HFail;
  p.ProcessGtTagEvenIfAbsent = true;
  TVCFFile a, b;
  ASSERT_TRUE(a.OpenText(kStepsA));
  ASSERT_TRUE(b.OpenText(kStepsB));
  TVcfMergeLines sink;
  TVcfMergeError err;
  EXPECT_FALSE(VcfMerge(a, b, sink, err, p));
  EXPECT_EQ(err.ErrorKind, meHandler);
  EXPECT_EQ(err.HandlerError, vmFAILED);
  EXPECT_EQ(err.ErrorCol, vcfFormat);
  EXPECT_EQ(err.ErrorKey, "DP");
  EXPECT_EQ(err.ErrorLine1, 3u);  // meta line, header line, then the first variant
  EXPECT_EQ(err.ErrorLine2, 3u);
  EXPECT_TRUE(sink.Lines.empty());
}

TEST(VcfMergeSteps, CountersFollowTheSteps) {
  static std::vector<std::string> seen;
  seen.clear();
  TVcfMergeParams p = Steps();
  TVcfMrgExtraPtrWithCounters c;
  p.ExtraPtrExpectsCounters = true;
  p.VariantExtraPtr = &c;
  p.ANDCombineLoci = true;
  p.GtKeyHandlers[1] = [](TVcfVariantMergeHandlerParams& h) {
    const auto* k = static_cast<TVcfMrgExtraPtrWithCounters*>(h.ExtraPtr);
    seen.push_back(std::to_string(k->GtCounter) + "/" + std::to_string(k->SampleCounter));
    return HJoinBar(h);
  };
  p.ProcessGtTagEvenIfAbsent = true;
  const auto r = Merge(kStepsA, Vcf("S1\tS2", "1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\t1/1\n"), p);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(seen, (std::vector<std::string>{"1/0", "1/1"}));
}

TEST(VcfMergeSteps, ChecksBeforeTheWalk) {
  struct TCase {
    const char* Name;
    void (*Edit)(TVcfMergeParams&);
    TVcfMergeErrorCode Code;
  };
  const TCase cases[] = {
      {"no steps", [](TVcfMergeParams& p) { p.HandlerOrder.clear(); }, meNoHandler},
      {"no allele step", [](TVcfMergeParams& p) { p.HandlerOrder = {vcfInfo}; }, meNoHandler},
      {"absent handler", [](TVcfMergeParams& p) { p.HandlerOrder.push_back(vcfQual); },
       meNoHandler},
      {"absent INFO handler", [](TVcfMergeParams& p) { p.InfoKeyHandlers[0] = nullptr; },
       meNoHandler},
      {"no sample to take", [](TVcfMergeParams& p) { p.Vcf2SamplesToInclude = {7}; },
       meNoSamplesToCombine},
  };
  for (const TCase& c : cases) {
    TVcfMergeParams p = Steps();
    p.MetaInfoHandler = HMergeMetaText_Default;
    c.Edit(p);
    const auto r = Merge(kStepsA, kStepsB, p, false);
    EXPECT_FALSE(r.Ok) << c.Name;
    EXPECT_EQ(r.Err.ErrorKind, c.Code) << c.Name;
    EXPECT_TRUE(r.Lines.empty()) << c.Name;
  }
  const auto noSamples = Merge(kStepsA,
                               "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\t"
                               "FILTER\tINFO\n1\t5\t.\tA\tC\t.\t.\t.\n",
                               Steps());
  EXPECT_EQ(noSamples.Err.ErrorKind, meInputEmpty);
}

TEST(VcfMergeSteps, AppendAddsNoHeaderAndNoMetaHandlerNoHeader) {
  TVCFFile a, b;
  ASSERT_TRUE(a.OpenText(kStepsA));
  ASSERT_TRUE(b.OpenText(kStepsB));
  TVcfMergeParams p = Steps();
  p.MetaInfoHandler = HMergeMetaText_Default;
  p.AppendVcfLines = true;
  TVcfMergeLines sink;
  sink.Lines = {"earlier"};
  sink.Before = 1;
  TVcfMergeError err;
  ASSERT_TRUE(VcfMerge(a, b, sink, err, p));
  EXPECT_EQ(sink.Lines.size(), 3u);
  EXPECT_EQ(sink.Lines[1].substr(0, 4), "1\t5\t");
  TVcfMergeLines bare;
  p = Steps();
  ASSERT_TRUE(VcfMerge(a, b, bare, err, p));
  EXPECT_EQ(bare.Lines.size(), 2u);
}

TEST(VcfMergeHandlers, AlleleLists) {
  struct TCase {
    const char *R1, *A1, *R2, *A2, *Ref, *Alts;
  };
  const TCase cases[] = {
      {"A", "C", "A", "G", "A", "C,G"},
      {"<*>", "<NON_REF>", "A", "C", "A", "C"},  // the placeholder gives way to a real allele
      {"A", "<*>", "A", "<*>", "A", "<*>"},
      {"A", ".", "A", ".", "A", "."},
      {"A", "C", "ATT", "A,AT", "ATT", "CTT,A,AT"},
  };
  for (const TCase& c : cases) {
    TVcfMergedAlleles m;
    ASSERT_TRUE(VcfMergeAlleleLists(c.R1, c.A1, c.R2, c.A2, true, m)) << c.R1 << c.A1;
    std::string alts;
    for (const std::string& a : m.combAltAlleles) alts += (alts.empty() ? "" : ",") + a;
    EXPECT_EQ(m.combRef, c.Ref);
    EXPECT_EQ(alts, c.Alts) << c.R1 << " " << c.A1 << " + " << c.R2 << " " << c.A2;
  }
  TVcfMergedAlleles m;
  EXPECT_FALSE(VcfMergeAlleleLists("A", "C", "G", "T", true, m));
}

TEST(VcfMergeHandlers, IdenticalAllelesAreCopied) {
  const std::string t = "A\t<*>";
  char out[64];
  TVcfVariantMergeHandlerParams p;
  p.pRefAlt1 = p.pRefAlt2 = t.data();
  p.LRef1 = p.LRef2 = 1;
  p.LAlt1 = p.LAlt2 = 3;
  p.pDefaultOut = out;
  p.MaxOutLength = 2;
  EXPECT_EQ(HMergeAlleles_Default(p), vmInsufficientMemory);
  EXPECT_EQ(p.out_ActualOutLength, 5u);
  p.MaxOutLength = sizeof out;
  ASSERT_EQ(HMergeAlleles_Default(p), vmMergeOK);
  EXPECT_EQ(std::string(p.out_PActualOut, p.out_ActualOutLength), t);
}

TEST(VcfMergeHandlers, InfoJoinAndDepthSum) {
  struct TCase {
    TVcfVariantMergeHandler H;
    const char *V1, *V2, *Out;
  };
  const TCase cases[] = {
      {HInfoMerge_Default, "10", "12", "10,12"},
      {HInfoMerge_Default, "10", "", "10"},
      {HGtDPMerge_Default, "10", ".", "10"},
      {HGtDPMerge_Default, "7", "5", "12"},
      {HGtDPMerge_Default, "", "", "."},
      {HGtDPMerge_Default, ".", ".", "."},
      {HInfoSumMerge, "4294967295", "3", "4294967295"},
  };
  for (const TCase& c : cases) {
    char out[32];
    TVcfVariantMergeHandlerParams p;
    p.pKeyValueStr1 = c.V1;
    p.LKeyValueStr1 = uint32_t(std::strlen(c.V1));
    p.pKeyValueStr2 = c.V2;
    p.LKeyValueStr2 = uint32_t(std::strlen(c.V2));
    p.pDefaultOut = out;
    p.MaxOutLength = 1;
    const auto first = c.H(p);
    if (std::strlen(c.Out) > 1) {
      EXPECT_EQ(first, vmInsufficientMemory) << c.V1 << "+" << c.V2;
    }
    p.MaxOutLength = sizeof out;
    ASSERT_EQ(c.H(p), vmMergeOK);
    EXPECT_EQ(std::string(out, p.out_ActualOutLength), c.Out) << c.V1 << "+" << c.V2;
  }
}

// The genotype table of the merge, through the GT handler. Rows marked "changed" differ from
// the plain multiset rule: a call that is only missing stands for the other side's ploidy
// (so a sample called by one file keeps its call, renumbered), and the ploidy of the result
// is the inputs' ploidy instead of a fixed 2.
struct TGtRow {
  const char* Alleles2;  // file 2's ALT; file 1 is always A to C
  const char* Gt1;       // "" is an absent value
  const char* Gt2;
  const char* Out;  // "FAIL": the handler fails
  const char* Note;
};

class GtTable : public ::testing::TestWithParam<TGtRow> {};

TEST_P(GtTable, Merge) {
  const TGtRow& r = GetParam();
  const std::string ra1 = "A\tC", ra2 = std::string("A\t") + r.Alleles2;
  char out[64];
  TVcfVariantMergeHandlerParams p;
  p.pRefAlt1 = ra1.data();
  p.LRef1 = 1;
  p.LAlt1 = 1;
  p.pRefAlt2 = ra2.data();
  p.LRef2 = 1;
  p.LAlt2 = uint32_t(ra2.size() - 2);
  p.pKeyValueStr1 = *r.Gt1 ? r.Gt1 : nullptr;
  p.LKeyValueStr1 = uint32_t(std::strlen(r.Gt1));
  p.pKeyValueStr2 = *r.Gt2 ? r.Gt2 : nullptr;
  p.LKeyValueStr2 = uint32_t(std::strlen(r.Gt2));
  p.pDefaultOut = out;
  p.MaxOutLength = sizeof out;
  const TVcfMergeHandlerResult res = HGtGTMerge_Default(p);
  if (std::string(r.Out) == "FAIL") {
    EXPECT_EQ(res, vmFAILED) << r.Note;
    return;
  }
  ASSERT_EQ(res, vmMergeOK) << r.Note;
  EXPECT_EQ(std::string(out, p.out_ActualOutLength), r.Out) << r.Note;
}

INSTANTIATE_TEST_SUITE_P(
    VcfMergeHandlers, GtTable,
    ::testing::Values(
        TGtRow{"C", "0/1", "0/1", "0/1", "identical alleles, equal calls"},
        TGtRow{"C", "0/0", "0/1", "0/.", "identical alleles, conflicting calls"},
        TGtRow{"C", "0/1", "1/1", "1/.", "identical alleles, conflicting calls"},
        TGtRow{"C", "0/.", "1/.", "0/1", "half calls complete each other"},
        TGtRow{"C", "", "0/1", "0/1", "file 1 empty"},
        TGtRow{"G", "", "0/1", "0/2",
               "changed (was ./.): a sample only file 2 calls keeps its call, renumbered"},
        TGtRow{"G", "", "1/1", "2/2", "renumbered into the merged list"},
        TGtRow{"G", "0/1", "", "0/1", "file 2 empty"}, TGtRow{"C", "", "", "./.", "both absent"},
        TGtRow{"G", "", "", "./.", "both absent, any alleles"},
        TGtRow{"G", "0/1/1", "0/1/1", "FAIL", "more than two alleles after merging"},
        TGtRow{"G", ".", "1", "2", "changed (was 2/.): haploid calls stay haploid"},
        TGtRow{"C", ".", "1/1", "1/1", "missing against a call keeps the call"},
        TGtRow{"G", ".", ".", ".", "changed (was ./.): missing at the inputs' ploidy"},
        TGtRow{"G", "0|1", "0|1", "0/.", "phase is dropped; C and G conflict"},
        TGtRow{"G", "0/1", "0/3", "FAIL", "an allele file 2 does not have"}));

TEST(VcfMergeHandlers, GenotypeListMerge) {
  const uint32_t M = MissingAlleleNo;
  EXPECT_EQ(MergeUnphasedGenotypeLists({0, M}, {1, M}), (std::vector<uint32_t>{0, 1}));
  EXPECT_EQ(MergeUnphasedGenotypeLists({0, 0}, {0, 1}), (std::vector<uint32_t>{0, M}));
  EXPECT_EQ(MergeUnphasedGenotypeLists({M, M}, {2, 2}), (std::vector<uint32_t>{2, 2}));
  std::vector<uint32_t> a{1, 1, 2, 3, 3, 3};
  EXPECT_EQ(RmvSrtArrayDwDup(a), 3u);
  EXPECT_EQ(a, (std::vector<uint32_t>{1, 2, 3}));
}

}  // namespace
