// The header key directory read from meta-information lines.
#include <gtest/gtest.h>

#include "vcf/bioVCF.h"
#include "vcf/vcfMeta.h"

namespace {

const TVcfKeyDirectory& Dir(const TVcfMetaKeyDir& d, const char* type) {
  const uint32_t p = d.FindKeyType(type);
  EXPECT_NE(p, 0xFFFFFFFFu) << type;
  return d.Definitions[p];
}

TEST(Header, InfoDefinition) {
  TVcfMetaKeyDir d;
  ASSERT_TRUE(MakeVcfMetaKeyDir(
      "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"Total depth\">\n", d, "", false));
  const TVcfKeyDirectory& info = Dir(d, "INFO");
  ASSERT_EQ(info.N, 1u);
  const TvcfKeyDescription& k = info.KeyDef[0];
  EXPECT_EQ(k.kID, "DP");
  EXPECT_EQ(k.kNumberKind, vmnNumber);
  EXPECT_EQ(k.kNumber, 1);
  EXPECT_EQ(k.kType, vtInt);
  EXPECT_EQ(k.kDescription, "Total depth");
  EXPECT_EQ(info.TagValuePairs[0].size(), 4u);
}

TEST(Header, QuotedCommasAndEscapedQuotesStayInOneValue) {
  TVcfMetaKeyDir d;
  ASSERT_TRUE(MakeVcfMetaKeyDir(
      "##INFO=<ID=AF,Number=A,Type=Float,Description=\"Freq, \\\"per\\\" ALT, allele\">\n", d, "",
      false));
  const TVcfKeyDirectory& info = Dir(d, "INFO");
  EXPECT_EQ(info.TagValuePairs[0].size(), 4u);
  EXPECT_EQ(info.KeyDef[0].kDescription, "Freq, \"per\" ALT, allele");
  EXPECT_EQ(info.KeyDef[0].kNumberKind, vmnAllele);
}

TEST(Header, NumberKinds) {
  TVcfMetaKeyDir d;
  ASSERT_TRUE(
      MakeVcfMetaKeyDir("##INFO=<ID=a,Number=A,Type=Integer>\n"
                        "##INFO=<ID=g,Number=G,Type=Integer>\n"
                        "##INFO=<ID=u,Number=.,Type=Integer>\n"
                        "##INFO=<ID=r,Number=R,Type=Integer>\n"
                        "##INFO=<ID=n,Number=-1,Type=Integer>\n",
                        d, "", false));
  const TVcfKeyDirectory& info = Dir(d, "INFO");
  EXPECT_EQ(info.KeyDef[0].kNumberKind, vmnAllele);
  EXPECT_EQ(info.KeyDef[0].kNumber, -1);
  EXPECT_EQ(info.KeyDef[1].kNumberKind, vmnGenotype);
  EXPECT_EQ(info.KeyDef[2].kNumberKind, vmnUnknown);
  EXPECT_EQ(info.KeyDef[3].kNumberKind, vmnNumber);
  EXPECT_EQ(info.KeyDef[3].kNumber, 999);
  EXPECT_EQ(info.KeyDef[4].kNumberKind, vmnUnknown);
}

TEST(Header, SingleItemBracketsGiveTheIdAsKey) {
  TVcfMetaKeyDir d;
  ASSERT_TRUE(
      MakeVcfMetaKeyDir("##fileformat=VCFv4.2\r\n##contig=<ID=chr1>\r\n##FILTER=<ID=q10>\r\n##"
                        "contig=<ID=chr2,length=5>\r\n",
                        d, "", false));
  EXPECT_EQ(Dir(d, "fileformat").Keys, std::vector<std::string>{"VCFv4.2"});
  EXPECT_EQ(Dir(d, "contig").Keys, (std::vector<std::string>{"chr1", "chr2"}));
  EXPECT_EQ(Dir(d, "FILTER").Keys, std::vector<std::string>{"q10"});
  // Key types in name order: shorter first.
  EXPECT_EQ(d.KeyTypes, (std::vector<std::string>{"FILTER", "contig", "fileformat"}));
}

TEST(Header, UnknownTypeDropsOnlyThatDefinition) {
  TVcfMetaKeyDir d;
  std::vector<std::string> warnings;
  ASSERT_TRUE(
      MakeVcfMetaKeyDir("##INFO=<ID=DP,Number=1,Type=Integer>\n"
                        "##INFO=<ID=XX,Number=1,Type=string>\n"
                        "##FORMAT=<ID=GT,Number=1,Type=String>\n",
                        d, "", false, &warnings));
  EXPECT_EQ(Dir(d, "INFO").Keys, std::vector<std::string>{"DP"});
  EXPECT_EQ(Dir(d, "FORMAT").Keys, std::vector<std::string>{"GT"});
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("line 2"), std::string::npos);
}

TEST(Header, DuplicateIdsAndLookup) {
  TVcfMetaKeyDir d;
  ASSERT_TRUE(MakeVcfMetaKeyDir(
      "##INFO=<ID=DP,Number=1,Type=Integer>\n##INFO=<ID=DP,Number=1,Type=Float>\n", d, "", false));
  EXPECT_EQ(Dir(d, "INFO").N, 2u);
  EXPECT_NE(Dir(d, "INFO").GetKeyID("DP"), 0xFFFFFFFFu);
  EXPECT_EQ(Dir(d, "INFO").GetKeyID("D"), 0xFFFFFFFFu);
}

TEST(Header, NothingToParse) {
  TVcfMetaKeyDir d;
  EXPECT_FALSE(MakeVcfMetaKeyDir("", d, "", false));
  EXPECT_FALSE(MakeVcfMetaKeyDir("#comment\n##x\n", d, "", false));
  EXPECT_FALSE(d.IsValid);
}

TEST(Header, FileLookupAndGvcf) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(ZEL_TEST_DATA "/vcf/gvcf.vcf"));
  TvcfKeyDescription def;
  std::vector<TVcfTagValueStr> pairs;
  ASSERT_TRUE(f.GetFmtKeyDirDefinition("MIN_DP", def, pairs));
  EXPECT_EQ(def.kType, vtInt);
  EXPECT_TRUE(f.GetInfoKeyDirDefinition("END", def, pairs));
  EXPECT_FALSE(f.GetInfoKeyDirDefinition("NOPE", def, pairs));
  EXPECT_TRUE(f.GuessIsGVCF(false, true));
  EXPECT_TRUE(f.IsGVcf());

  TVCFFile star;  // no ALT header: found from the data
  ASSERT_TRUE(star.OpenFile(ZEL_TEST_DATA "/vcf/gvcf_star.vcf"));
  EXPECT_TRUE(star.GuessIsGVCF(false, true));
  TVCFFile plain;
  ASSERT_TRUE(plain.OpenFile(ZEL_TEST_DATA "/vcf/basic.vcf"));
  EXPECT_FALSE(plain.GuessIsGVCF(false, true));
}

TEST(Header, MetaText) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenFile(ZEL_TEST_DATA "/vcf/basic_crlf.vcf"));
  std::vector<std::string> lines = f.ParseMetaText();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "##fileformat=VCFv4.2");
  TvcfKeyDescription def;
  std::vector<TVcfTagValueStr> pairs;
  ASSERT_TRUE(f.GetInfoKeyDirDefinition("AF", def, pairs));
  EXPECT_EQ(def.kType, vtFloat);
  TVCFFile first;
  ASSERT_TRUE(first.OpenText("#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\n"));
  EXPECT_EQ(first.GetMetaText(), "");
  EXPECT_EQ(first.NVariants(), 0u);
}

}  // namespace
