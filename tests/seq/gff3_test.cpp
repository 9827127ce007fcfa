// GFF3 files: feature columns, attributes with their escapes, directives and comments, the
// FASTA tail, and bad lines named by their line number; plain, gzip and BGZF.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "seq/bioGFF3.h"

namespace {

const std::string kData = ZEL_TEST_DATA "/seq/";

using TAttrs = std::vector<TGFF3AttributeField>;

TAttrs Parse(std::string col, bool unescape = true) {
  return TGFF3File::ParseAttributes(col, true, unescape).ParsedAttributes;
}

TEST(Gff3, OneFeatureLine) {
  TGFF3File g;
  ASSERT_TRUE(g.LoadGFFfromAStr({"chr1\tsrc\tgene\t100\t200\t.\t+\t.\tID=g1;Name=x"}));
  ASSERT_EQ(g.NFeatures(), 1u);
  const TGFF3Entry& e = g.Features()[0];
  EXPECT_EQ(e.SeqName, "chr1");
  EXPECT_EQ(e.Source, "src");
  EXPECT_EQ(e.FeatureStr, "gene");
  EXPECT_EQ(e.FtStart, 100);
  EXPECT_EQ(e.FtEnd, 200);
  EXPECT_TRUE(std::isinf(e.Score) && e.Score > 0);
  EXPECT_EQ(e.Strand, gff3PosStrand);
  EXPECT_EQ(e.Phase, gff3PhaseIrrelevant);
  EXPECT_EQ(e.Attributes.ParsedAttributes, (TAttrs{{"ID", {"g1"}}, {"Name", {"x"}}}));
  EXPECT_EQ(e.Attributes.GetParsedTagValue("Name", 0), "x");
  EXPECT_EQ(e.Attributes.GetParsedTagValue("Name", 1), "");
  EXPECT_EQ(e.Attributes.GetParsedTagValue("name", 0), "");
}

TEST(Gff3, Attributes) {
  EXPECT_EQ(Parse("ID=a;;Note=b,c,"), (TAttrs{{"ID", {"a"}}, {"", {}}, {"Note", {"b", "c"}}}));
  EXPECT_EQ(Parse("my-tag=v"), (TAttrs{{"mytag", {"v"}}}));
  EXPECT_EQ(Parse("Note=a%3Bb;Name=%41"), (TAttrs{{"Note", {"a;b"}}, {"Name", {"A"}}}));
  // Lower-case escapes too; an escaped comma stays inside its value; %25 is a literal "%".
  EXPECT_EQ(Parse("Note=x%3by%2Cz,w;P=100%25"),
            (TAttrs{{"Note", {"x;y,z", "w"}}, {"P", {"100%"}}}));
  EXPECT_EQ(Parse("Note=a%3Bb", false), (TAttrs{{"Note", {"a%3Bb"}}}));
  EXPECT_EQ(Parse("flag;ID="), (TAttrs{{"flag", {}}, {"ID", {}}}));
  EXPECT_EQ(Parse("=v;"), (TAttrs{{"", {"v"}}}));
  EXPECT_TRUE(Parse(".").empty());
  EXPECT_TRUE(Parse("").empty());
  std::string c = "ID=a";
  const TGFF3AttributeFieldEx raw = TGFF3File::ParseAttributes(c, false);
  EXPECT_EQ(raw.UnparsedAttributes, "ID=a");
  EXPECT_TRUE(raw.ParsedAttributes.empty());
  EXPECT_TRUE(c.empty());
}

TEST(Gff3, Unescape) {
  const struct {
    const char* In;
    const char* Out;
  } cases[] = {{"%41%42", "AB"}, {"%3b%3B", ";;"}, {"%2541", "%41"}, {"%G1", "%G1"},
               {"%4", "%4"},     {"a%", "a%"},     {"%00x", "x"},    {"%e2%82%ac", "\xe2\x82\xac"}};
  for (const auto& c : cases) EXPECT_EQ(TGFF3File::UnescapeGff3Str(c.In), c.Out) << c.In;
  EXPECT_EQ(TGFF3File::UnescapeGff3Str(std::string("a\0b", 3)), "ab");
}

TEST(Gff3, StrandPhaseAndNumbers) {
  TGFF3File g;
  ASSERT_TRUE(g.LoadGFFfromAStr({"c\ts\tCDS\t 5000000000 \t5000000300\t-1.5e2\t-\t2\tID=x",
                                 "c\ts\tCDS\t.\t.\t0\t?\t1\t.", "c\ts\tCDS\t1\t2\t.\t\t\t."}));
  const auto& f = g.Features();
  ASSERT_EQ(f.size(), 3u);
  EXPECT_EQ(f[0].FtStart, 5000000000);  // 64-bit coordinates
  EXPECT_EQ(f[0].FtEnd, 5000000300);
  EXPECT_EQ(f[0].Score, -150.0);
  EXPECT_EQ(f[0].Strand, gff3NegStrand);
  EXPECT_EQ(f[0].Phase, gff3Phase2);
  EXPECT_EQ(f[1].FtStart, 0);
  EXPECT_EQ(f[1].Score, 0.0);
  EXPECT_EQ(f[1].Strand, gff3StrandUnknown);
  EXPECT_EQ(f[1].Phase, gff3Phase1);
  EXPECT_TRUE(f[1].Attributes.ParsedAttributes.empty());
  EXPECT_EQ(f[2].Strand, gff3StrandUnknown);
  EXPECT_EQ(f[2].Phase, gff3PhaseIrrelevant);
  EXPECT_EQ(TGFF3File::GetGff3Strand('.'), gff3StrandIrrelevant);
  EXPECT_EQ(TGFF3File::GetGff3Phase('3'), gff3PhaseIrrelevant);
}

TEST(Gff3, HashIsDataOutsideCommentLines) {
  TGFF3File g;
  ASSERT_TRUE(g.LoadGFFfromAStr({"##gff-version 3", "#a comment",
                                 "c#1\ts\tge#ne\t1\t2\t.\t+\t.\tNote=see #3",
                                 "c\ts\tg\t1\t2\t.\t+\t.\t#x"}));
  EXPECT_EQ(g.MetaComments(), (std::vector<std::string>{"gff-version 3"}));
  EXPECT_EQ(g.CommentLines(), (std::vector<std::string>{"a comment"}));
  ASSERT_EQ(g.NFeatures(), 2u);
  const TGFF3Entry& e = g.Features()[0];
  EXPECT_EQ(e.SeqName, "c#1");
  EXPECT_EQ(e.FeatureStr, "ge#ne");
  EXPECT_EQ(e.Attributes.GetParsedTagValue("Note", 0), "see #3");
  // Not a trailing comment: the attribute column, whose tag keeps its letters.
  EXPECT_EQ(g.Features()[1].Attributes.ParsedAttributes, (TAttrs{{"x", {}}}));
  // A "#" never cuts a line short: a tenth column is still a tenth column.
  TGFF3File h;
  EXPECT_FALSE(h.LoadGFFfromAStr({"c\ts\tg\t1\t2\t.\t+\t.\tID=a\t#x"}));
  EXPECT_EQ(h.LastError().Msg, "Not a GFF3 feature line (10 columns, 9 needed)");
}

TEST(Gff3, BadLinesAreNamedAndNothingIsKept) {
  const struct {
    std::vector<std::string> Lines;
    uint64_t Line;
    std::string Msg;
  } cases[] = {{{"##gff-version 3", "c\ts\tg\t1\t2\t.\t+\t.\tID=a", "", "c\ts\tg\t1\t2\t.\t+\t."},
                4,
                "Not a GFF3 feature line (8 columns, 9 needed)"},
               {{"c\ts\tg\t1x\t2\t.\t+\t.\t."}, 1, "GFF3 start \"1x\" is not a position"},
               {{"", "c\ts\tg\t1\t-2\t.\t+\t.\t."}, 2, "GFF3 end \"-2\" is not a position"},
               {{"c\ts\tg\t1\t99999999999999999999\t.\t+\t.\t."},
                1,
                "GFF3 end \"99999999999999999999\" is not a position"},
               {{"c\ts\tg\t\t2\t.\t+\t.\t."}, 1, "GFF3 start \"\" is not a position"},
               {{"c\ts\tg\t1\t2\tabc\t+\t.\t."}, 1, "GFF3 score \"abc\" is not a number"},
               {{"c\ts\tg\t1\t2\t1.5x\t+\t.\t."}, 1, "GFF3 score \"1.5x\" is not a number"},
               {{">seq", "ACGT"}, 1, "Not a GFF3 feature line (1 columns, 9 needed)"},
               {{"", " ", "\t"}, 0, "Empty file, not a GFF3 file"},
               {{}, 0, "Empty file, not a GFF3 file"}};
  for (const auto& c : cases) {
    TGFF3File g;
    EXPECT_FALSE(g.LoadGFFfromAStr(c.Lines)) << c.Msg;
    EXPECT_TRUE(g.ParseError());
    EXPECT_EQ(g.LastErrorLine(), c.Line) << c.Msg;
    EXPECT_EQ(g.LastError().Msg, c.Msg);
    if (c.Line) {
      EXPECT_EQ(g.LastError().Details, "line " + std::to_string(c.Line));
    }
    EXPECT_EQ(g.NFeatures(), 0u);
    EXPECT_TRUE(g.MetaComments().empty());
  }
  TGFF3File g;
  EXPECT_FALSE(g.LoadFromFile(kData + "bad_cols.gff3"));
  EXPECT_EQ(g.LastError().Msg, "Not a GFF3 feature line (8 columns, 9 needed)");
  EXPECT_EQ(g.LastError().Details, kData + "bad_cols.gff3 line 5");
}

TEST(Gff3, RealStyleFileInEveryCompression) {
  for (const char* name : {"real.gff3", "real.gff3.gz", "real.gff3.bgz"}) {
    TGFF3File g;
    ASSERT_TRUE(g.LoadFromFile(kData + name)) << name << ": " << g.LastError().Msg;
    ASSERT_EQ(g.NFeatures(), 10u) << name;
    EXPECT_EQ(g.MetaComments(),
              (std::vector<std::string>{"gff-version 3", "sequence-region chrX%3Bv2 1 20000", "#",
                                        "FASTA"}));
    EXPECT_EQ(g.CommentLines(), (std::vector<std::string>{" written by hand for the tests"}));
    const auto& f = g.Features();
    std::string types;
    for (const auto& e : f) types += e.FeatureStr + " ";
    EXPECT_EQ(types, "gene mRNA exon exon CDS CDS gene mRNA exon CDS ");
    EXPECT_EQ(f[0].SeqName, "chrX;v2");
    EXPECT_EQ(f[0].Attributes.ParsedAttributes, (TAttrs{{"ID", {"gene:zx1"}},
                                                        {"Name", {"zx1"}},
                                                        {"Alias", {"ZX-1", "zx one"}},
                                                        {"Note", {"kinase, putative"}}}));
    EXPECT_EQ(f[5].FtStart, 5001);
    EXPECT_EQ(f[5].Phase, gff3Phase2);
    EXPECT_EQ(f[9].Phase, gff3Phase1);
    EXPECT_EQ(f[9].Strand, gff3NegStrand);
    EXPECT_EQ(f[9].Attributes.GetParsedTagValue("Name", 0), "zx2-protein");
    EXPECT_EQ(f[6].Score, 87.5);
    EXPECT_EQ(f[6].Attributes.GetParsedTagValue("Note", 0), "see #4 & more");
    EXPECT_EQ(f[6].Attributes.GetParsedTagValue("Dbxref", 1), "HGNC:7");
  }
}

TEST(Gff3, CrLfAndMissingFiles) {
  TGFF3File g;
  ASSERT_TRUE(g.LoadFromText("##gff-version 3\r\nc\ts\tg\t1\t2\t.\t+\t0\tID=a\r\n", "t"));
  ASSERT_EQ(g.NFeatures(), 1u);
  EXPECT_EQ(g.Features()[0].Attributes.GetParsedTagValue("ID", 0), "a");
  EXPECT_EQ(g.Features()[0].Phase, gff3Phase0);
  EXPECT_EQ(g.MetaComments()[0], "gff-version 3");
  TGFF3File m;
  EXPECT_FALSE(m.LoadFromFile(kData + "no_such.gff3"));
  EXPECT_EQ(m.LastError().Msg, "File not found");
}

}  // namespace
