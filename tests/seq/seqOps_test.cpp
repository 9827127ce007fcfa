// Nucleotide and codon tables and the sequence operations, checked against the standard
// genetic code and IUPAC sets written out independently, and Tm values computed by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "seq/bioSeq.h"

namespace {

TEST(SeqOps, ComplementAndReverse) {
  EXPECT_EQ(ReverseComplementSeq("ATGCRYKMBVDHNSW-"), "-WSNDHBVKMRYGCAT");
  EXPECT_EQ(ComplementSeq("AUG"), "T?C");
  EXPECT_EQ(ComplementSeq("acgtrykmbvdhnsw~"), "tgcayrmkvbhdnsw~");
  EXPECT_EQ(ComplementSeq("A.1 Z"), "T????");
  EXPECT_EQ(ReverseSeq("ACGTT"), "TTGCA");
  EXPECT_EQ(ReverseComplementSeq(""), "");
  // Complementing twice gives back every IUPAC code.
  const std::string all = "ACGTRYKMBVDHNSWacgtrykmbvdhnsw-~";
  EXPECT_EQ(ComplementSeq(ComplementSeq(all)), all);
}

TEST(SeqOps, StandardCodeForAll64Codons) {
  // The standard code in the customary T, C, A, G order of each position.
  const std::string bases = "TCAG";
  const std::string aas = "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG";
  std::string dna, want;
  int k = 0;
  for (char a : bases)
    for (char b : bases)
      for (char c : bases) {
        dna += {a, b, c};
        want += aas[size_t(k++)];
      }
  EXPECT_EQ(TranslateDNA(dna, 0, 'X'), want);
  // Lower case goes through the IUPAC sets and gives the same.
  std::string lower = dna;
  for (char& c : lower) c = char(c + 32);
  EXPECT_EQ(TranslateDNA(lower, 0, 'X'), want);
}

TEST(SeqOps, AmbiguousCodonsTranslateOnlyWhenAllAgree) {
  const struct {
    const char* Codon;
    char AA;
  } cases[] = {{"GCN", 'A'}, {"ATH", 'I'}, {"ATN", 'X'}, {"TTR", 'L'}, {"YTR", 'L'},
               {"MGR", 'R'}, {"TRA", '*'}, {"TAR", '*'}, {"NNN", 'X'}, {"atg", 'M'},
               {"gcn", 'A'}, {"AT-", 'X'}, {"AUG", 'X'}, {"CNT", 'X'}, {"YTN", 'X'},
               {"AGY", 'S'}, {"WSN", 'X'}, {"RAY", 'X'}, {"CAY", 'H'}, {"---", 'X'}};
  for (const auto& c : cases)
    EXPECT_EQ(TranslateDNA(c.Codon, 0, 'X'), std::string(1, c.AA)) << c.Codon;
  EXPECT_EQ(TranslateDNA("ATN", 0, '?'), "?");
}

TEST(SeqOps, TranslatePhaseAndTrailingBases) {
  EXPECT_EQ(TranslateDNA("ATGGCNTAA", 0, 'X'), "MA*");
  EXPECT_EQ(TranslateDNA("ATGGCNTAA", 1, 'X'), "WX");
  EXPECT_EQ(TranslateDNA("ATGGCNTAA", 2, 'X'), "GX");  // GGC, NTA
  EXPECT_EQ(TranslateDNA("ATGC", 0, 'X'), "M");
  EXPECT_EQ(TranslateDNA("AT", 0, 'X'), "");
  EXPECT_EQ(TranslateDNA("ATG", 3, 'X'), "");
  EXPECT_EQ(TranslateDNA("ATG", 7, 'X'), "");
  EXPECT_EQ(TranslateDNA("", 0, 'X'), "");
}

TEST(SeqOps, ReverseTranslate) {
  EXPECT_EQ(ReverseTranslate("MW-Z", '-', '-', '?'), "ATGTGG---???");
  // Several patterns: the lower-case code of the union of each position.
  EXPECT_EQ(ReverseTranslate("LRS*", '-', '-', '?'), "ytnmgnwsntrr");
  EXPECT_EQ(ReverseTranslate("AIm.", '.', 'N', '?'), "GCNATH???NNN");
  EXPECT_EQ(ReverseTranslate("", '-', '-', '?'), "");
  // Every amino acid reverse-translates to codons that translate back to it.
  const std::string aas = "ACDEFGHIKLMNPQRSTVWY*";
  for (char a : aas) {
    const std::string dna = ReverseTranslate(std::string(1, a), '-', '-', '?');
    std::vector<T2bCodon> codons;
    const uint32_t n = CompressPAmbigDna2Codon2b(dna[0], dna[1], dna[2], codons);
    ASSERT_GT(n, 0u) << a;
    bool some = false;
    for (uint32_t i = 0; i < n; ++i) some |= GtblCodon2Aa[codons[i]] == a;
    EXPECT_TRUE(some) << a << " " << dna;
  }
}

TEST(SeqOps, Tables) {
  EXPECT_EQ(GtblDNA2Bits['A'], 0);
  EXPECT_EQ(GtblDNA2Bits['T'], 3);
  EXPECT_EQ(GtblDNA2Bits['~'], 4);
  EXPECT_EQ(GtblDNA2Bits['a'], 255);
  EXPECT_EQ(GtblAmbigNucleotide2PackedDNASet['N'], 0x0F);
  EXPECT_EQ(GtblAmbigNucleotide2PackedDNASet['r'], 0x05);
  EXPECT_EQ(GtblAmbigNucleotide2PackedDNASet['-'], 0x10);
  EXPECT_EQ(GtblAmbigNucleotide2PackedDNASet['U'], 0);
  EXPECT_EQ(GtblPackedDNASet2AmbigNucleotideCh[0x01], 'a');
  EXPECT_EQ(GtblPackedDNASet2AmbigNucleotideCh[0x0A], 'y');
  EXPECT_EQ(GtblPackedDNASet2AmbigNucleotideCh[0x10], '-');
  EXPECT_EQ(GtblPackedDNASet2AmbigNucleotideCh[0x11], 0);
  EXPECT_EQ(GtblAa2Aa3L('W'), "Trp");
  EXPECT_EQ(GtblAa2Aa3L('*'), "STP");
  EXPECT_EQ(GtblAa2Aa3L('Z'), "???");
  EXPECT_EQ(GtblAa2CodonMapId['L'], 9);
  EXPECT_EQ(GtblAmbigDNADist[0][0x01][0x05], 0.5);  // A against R
  EXPECT_EQ(GtblAmbigDNADist[0][0x03][0x0C], 1.0);  // M against K
  EXPECT_EQ(GtblAmbigDNADist[0][0][0], 1.0);
  EXPECT_EQ(GtblAmbigDNADist[0][0x10][0], -666.0);
  EXPECT_EQ(GtblAmbigDNADist[1][0x10][0x10], 0.0);
}

TEST(SeqOps, CodonCompression) {
  EXPECT_EQ(CompressPCodon2b('T', 'T', 'T'), 63);
  EXPECT_EQ(CompressPCodon2b('C', 'A', 'G'), 18);
  EXPECT_EQ(CompressPCodon2b('a', 'C', 'G'), cNoCodon);
  std::vector<T2bCodon> c;
  EXPECT_EQ(CompressPAmbigDna2Codon2b('A', 'R', 'N', c), 8u);
  EXPECT_EQ(c, (std::vector<T2bCodon>{0, 1, 2, 3, 8, 9, 10, 11}));
  EXPECT_EQ(CompressPAmbigDna2Codon2b('N', 'N', 'N', c), 64u);
  EXPECT_EQ(CompressPAmbigDna2Codon2b('A', '-', 'G', c), 0u);
  EXPECT_EQ(CompressPAmbigDna2Codon2b('A', 'x', 'G', c), 0u);
}

TEST(SeqOps, PackedSetFromAmbigString) {
  TPackedDNASet s;
  EXPECT_EQ(s.SetFromAmbigStr("AAG", 0.5), 3.0);
  EXPECT_EQ(s.b, 0x01);
  s.SetFromAmbigStr("AAG", 0);
  EXPECT_EQ(s.b, 0x05);
  EXPECT_EQ(s.SetFromAmbigStr("", 0.25), 0.25);
  EXPECT_EQ(s.b, 0);
  s.SetFromAmbigStr("RY", 0.2);  // 1/4 for each state
  EXPECT_EQ(s.b, 0x0F);
  s.SetFromAmbigStr("RY", 0.3);
  EXPECT_EQ(s.b, 0);
  s.SetFromAmbigStr("A-x", 0);
  EXPECT_EQ(s.b, 0x11);
  EXPECT_EQ(s.NStates(), 2);
  EXPECT_EQ(s.NNucStates(), 1);
}

TEST(SeqOps, RegionsSanitiseAndClip) {
  const struct {
    std::vector<TStartLengthRec> In, Out;
  } cases[] = {{{{10, 5}, {0, 5}}, {{0, 5}, {10, 5}}},
               {{{0, 5}, {5, 5}}, {{0, 10}}},
               {{{0, 10}, {3, 2}}, {{0, 10}}},
               {{{4, 2}}, {{4, 2}}},
               {{{20, 5}, {0, 3}, {2, 4}, {7, 1}}, {{0, 6}, {7, 1}, {20, 5}}}};
  for (const auto& c : cases) {
    TSeqRegion r;
    for (const auto& p : c.In) r.AddRegion(p.Start, p.Length);
    r.Sanitise();
    EXPECT_EQ(r.Parts, c.Out);
  }
  const std::string s = "ACGTACGTAC";
  TSeqRegion r;
  r.AddRegion(5, 2);
  r.AddRegion(0, 2);
  EXPECT_EQ(GetSeqRegion(s, r), "CGAC");
  r.AddRegion(8, 5);  // runs past the end: clipped
  EXPECT_EQ(GetSeqRegion(s, r), "CGACAC");
  r.AddRegion(10, 1);  // starts at the end: nothing
  EXPECT_EQ(GetSeqRegion(s, r), "");
  EXPECT_EQ(GetSeqRegion("", TSeqRegion{{{0, 1}}}), "");
  EXPECT_EQ(GetSeqRegion(s, TSeqRegion{}), "");
}

TEST(SeqOps, AnnotationFlags) {
  TAnnotationFlags f;
  EXPECT_EQ(f.GetStrand(), asStrandNA);
  f.FlagAsByte = 0x0C;  // bits 2 and 3
  EXPECT_EQ(f.GetStrand(), asPlusStrand);
  f.SetStrand(asMinusStrand);
  f.SetPhase(apPhase2);
  EXPECT_EQ(f.FlagAsByte, 0x38);
  EXPECT_EQ(f.GetStrand(), asMinusStrand);
  EXPECT_EQ(f.GetPhase(), apPhase2);
}

TEST(SeqOps, MeltingTemperatures) {
  // Values from 2(A+T) + 4(C+G) and 100.5 + 41 n/L - 820/L + 16.6 log10(0.05) by hand.
  const struct {
    const char* S;
    double Simple, Salt;
  } cases[] = {{"ACGTACGT", 24, -3.097097928022091},
               {"A", 2, -741.0970979280221},
               {"GGGGCCCC", 32, 17.40290207197791},
               {"acgtNNac", 18, -8.222097928022091},
               {"ATGCATGCATGCATGCATGC", 60, 58.402902071977906},
               {"AT GC", 12, -68.69709792802209}};
  for (const auto& c : cases) {
    EXPECT_EQ(oligo_tm_simple(c.S), c.Simple) << c.S;
    EXPECT_NEAR(oligo_tm_salt(c.S, 50), c.Salt, 1e-9) << c.S;
  }
  EXPECT_EQ(oligo_tm_simple(""), 0);
  EXPECT_TRUE(std::isnan(oligo_tm_salt("", 50)));
  EXPECT_TRUE(std::isnan(oligo_tm_salt("ACGT", 0)));
}

}  // namespace
