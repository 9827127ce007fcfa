// Allele classification over REF/ALT/INFO texts, as a table of real-world shapes.
#include <gtest/gtest.h>

#include "vcf/bioVCF.h"
#include "vcf/vcfAlleles.h"

namespace {

struct TAlleleCase {
  const char* Ref;
  const char* Alt;
  uint32_t NAlleles;
  bool Snp, Biallelic, Ts, Tv, Indel, Polymorphic, Nondegenerate, Symbolic, Placeholder;
};

// clang-format off
const TAlleleCase kCases[] = {
  // ref   alt              n  snp    bi     ts     tv     indel  poly   nondeg sym    plh
  {"A",  "G",              2, true,  true,  true,  false, false, true,  true,  false, false},
  {"a",  "g",              2, true,  true,  true,  false, false, true,  true,  false, false},
  {"C",  "T",              2, true,  true,  true,  false, false, true,  true,  false, false},
  {"A",  "C",              2, true,  true,  false, true,  false, true,  true,  false, false},
  {"G",  "t",              2, true,  true,  false, true,  false, true,  true,  false, false},
  {"A",  "*",              2, true,  true,  false, false, false, true,  false, false, false},
  {"A",  "<*>",            1, false, false, false, false, false, false, true,  true,  true},
  {"A",  "C,<NON_REF>",    2, true,  true,  false, true,  false, true,  true,  true,  true},
  {"G",  "<NON_REF>,A",    2, true,  true,  true,  false, false, false, true,  true,  true},
  {"AT", "A",              2, false, true,  false, false, true,  true,  true,  false, false},
  {"A",  "AGG",            2, false, true,  false, false, true,  true,  true,  false, false},
  {"AT", "GC",             2, false, true,  false, false, false, true,  true,  false, false},
  {"A",  "<DEL>",          2, false, true,  false, false, false, false, true,  true,  false},
  {"N",  "A",              2, true,  true,  false, false, false, true,  false, false, false},
  {"A",  "N",              2, true,  true,  false, false, false, true,  false, false, false},
  {"A",  "C,G",            3, true,  false, false, false, false, true,  true,  false, false},
  {"A",  "C,G,T",          4, true,  false, false, false, false, true,  true,  false, false},
  {"A",  ".",              1, false, false, false, false, false, false, true,  false, false},
  {"A",  "<DUP>,C",        3, false, false, false, false, false, false, true,  true,  false},
  {"A",  "<*>,<NON_REF>",  1, false, false, false, false, false, false, true,  true,  true},
  {"A",  "A",              2, true,  true,  false, false, false, true,  true,  false, false},
};
// clang-format on

class AlleleTable : public ::testing::TestWithParam<TAlleleCase> {};

TEST_P(AlleleTable, Classifies) {
  const TAlleleCase& c = GetParam();
  SCOPED_TRACE(std::string(c.Ref) + "/" + c.Alt);
  EXPECT_EQ(VcfGetNAlleles(c.Alt), c.NAlleles);
  EXPECT_EQ(VcfGetAlleles(c.Ref, c.Alt).size(), c.NAlleles);
  EXPECT_EQ(VcfIsSNP(c.Ref, c.Alt), c.Snp);
  EXPECT_EQ(VcfIsBiallelic(c.Alt), c.Biallelic);
  EXPECT_EQ(VcfIsTransition(c.Ref, c.Alt), c.Ts);
  EXPECT_EQ(VcfIsTransversion(c.Ref, c.Alt), c.Tv);
  EXPECT_EQ(VcfIsIndel(c.Ref, c.Alt, "DP=3"), c.Indel);
  EXPECT_EQ(VcfIsPolymorphic(c.Ref, c.Alt), c.Polymorphic);
  EXPECT_EQ(VcfIsNondegenerate(c.Ref, c.Alt), c.Nondegenerate);
  EXPECT_EQ(VcfHasSymbolicAllele(c.Ref, c.Alt), c.Symbolic);
  EXPECT_EQ(VcfHasUnkNonRefAltAllele(c.Alt), c.Placeholder);
}

INSTANTIATE_TEST_SUITE_P(Shapes, AlleleTable, ::testing::ValuesIn(kCases));

TEST(Alleles, GetAllelesDropsPlaceholdersKeepsOtherSymbols) {
  EXPECT_EQ(VcfGetAlleles("C", "A,<NON_REF>"), (std::vector<std::string>{"C", "A"}));
  EXPECT_EQ(VcfGetAlleles("A", "<DUP>,C"), (std::vector<std::string>{"A", "<DUP>", "C"}));
  EXPECT_EQ(VcfGetAlleles("A", "C,"), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(VcfGetNAlleles(""), 0u);
}

TEST(Alleles, IndelKeyNeedsKeyBoundaries) {
  EXPECT_TRUE(VcfIsIndel("A", "G", "DP=3;INDEL"));
  EXPECT_TRUE(VcfIsIndel("A", "G", "INDEL;DP=3"));
  EXPECT_FALSE(VcfIsIndel("A", "G", "NOINDEL;DP=3"));
  EXPECT_FALSE(VcfIsIndel("A", "G", "DP=3;INDELS=2"));
  EXPECT_FALSE(VcfIsIndel("A", "G", "CALLER=INDEL"));
}

TEST(Alleles, PlaceholderSearchNeedsTheWholeSymbol) {
  EXPECT_FALSE(VcfHasUnkNonRefAltAllele("A,<"));
  EXPECT_FALSE(VcfHasUnkNonRefAltAllele("A,<NON"));
  EXPECT_TRUE(VcfHasUnkNonRefAltAllele("<DEL>,<*>"));
}

TEST(Alleles, ReferenceBlockLength) {
  EXPECT_EQ(VcfLenRefOnlyBlock("1000", "<NON_REF>", "END=1050"), 51u);
  EXPECT_EQ(VcfLenRefOnlyBlock("1000", "<NON_REF>", "DP=3"), 1u);
  EXPECT_EQ(VcfLenRefOnlyBlock("1000", "<NON_REF>", "END=999"), 0u);  // END before POS
  EXPECT_EQ(VcfLenRefOnlyBlock("1000", "<NON_REF>", "END=x"), 0u);
  EXPECT_EQ(VcfLenRefOnlyBlock("1x", "<NON_REF>", "END=5"), 0u);
  EXPECT_EQ(VcfLenRefOnlyBlock("1000", "G", "END=1050"), 0u);
  EXPECT_EQ(VcfLenRefOnlyBlock("1000", "<NON_REF>", "XEND=1050"), 1u);
}

TEST(Alleles, BlockCoordinates) {
  uint64_t s = 0, e = 0;
  bool has = true;
  EXPECT_FALSE(VcfGetBlockCoord("10", "A", "G", "", s, e, true, false, &has));
  ASSERT_TRUE(VcfGetBlockCoord("10", "ACG", "A", "", s, e, false, true, &has));
  EXPECT_EQ(s, 10u);
  EXPECT_EQ(e, 12u);
  EXPECT_FALSE(has);
  ASSERT_TRUE(VcfGetBlockCoord("10", "A", "<*>", "END=20", s, e, true, false, &has));
  EXPECT_EQ(e, 20u);
  EXPECT_TRUE(has);
  ASSERT_TRUE(VcfGetBlockCoord("1x", "A", "<*>", "", s, e, true, false, &has));
  EXPECT_EQ(s, ~uint64_t(0));
}

TEST(Alleles, InfoKeySearch) {
  uint32_t ofs, len;
  GetPInfoKeyOfs("NDP=3;DP=7", "DP", ofs, len);
  EXPECT_EQ(ofs, 9u);
  EXPECT_EQ(len, 1u);
  GetPInfoKeyOfs("DB;DP=7", "DB", ofs, len);
  EXPECT_EQ(ofs, 2u);
  EXPECT_EQ(len, 0u);
  GetPInfoKeyOfs("DP=7", "AN", ofs, len);
  EXPECT_EQ(ofs, 0xFFFFFFFFu);
}

TEST(Alleles, NucMatrixCountsBiallelicSnps) {
  TVCFFile f;
  ASSERT_TRUE(
      f.OpenText("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"
                 "1\t1\t.\tA\tG\t.\t.\t.\n1\t2\t.\ta\tg\t.\t.\t.\n1\t3\t.\tC\tT\t.\t.\t.\n"
                 "1\t4\t.\tC\tT,G\t.\t.\t.\n1\t5\t.\tAT\tA\t.\t.\t.\n1\t6\t.\tA\tN\t.\t.\t.\n"));
  double m[4][4];
  EXPECT_EQ(f.GetNucMatrix(m, 0, ~uint64_t(0)), 3u);
  EXPECT_NEAR(m[0][2], 2.0 / 3, 1e-12);
  EXPECT_NEAR(m[2][0], 2.0 / 3, 1e-12);
  EXPECT_NEAR(m[1][3], 1.0 / 3, 1e-12);
  EXPECT_EQ(m[0][0], 0.0);
  TVCFFile none;
  ASSERT_TRUE(
      none.OpenText("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n1\t1\t.\tA\t.\t.\t.\t.\n"));
  EXPECT_EQ(none.GetNucMatrix(m, 0, 5), 0u);
  EXPECT_EQ(m[0][2], 0.0);
}

}  // namespace
