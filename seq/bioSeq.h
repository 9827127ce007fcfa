// Nucleotide and codon tables (IUPAC codes, the standard genetic code) and the sequence
// operations built on them: complement, reverse, translation, reverse translation, regions,
// annotation flags and oligonucleotide melting temperatures.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// ---- static definitions ----------------------------------------------------------------------

// An IUPAC code and the nucleotide characters it stands for.
struct TCh2ChSetMapping {
  char C;
  const char* S;
};

// The 15 upper-case codes, then the same 15 in lower case with the same sets.
inline constexpr TCh2ChSetMapping IUPACDegenerateNucleotides[30] = {
    {'A', "A"},   {'C', "C"},   {'G', "G"},    {'T', "T"},   {'R', "AG"},  {'Y', "CT"},
    {'M', "AC"},  {'K', "GT"},  {'S', "CG"},   {'W', "AT"},  {'H', "ACT"}, {'B', "CGT"},
    {'V', "ACG"}, {'D', "AGT"}, {'N', "ACGT"}, {'a', "A"},   {'c', "C"},   {'g', "G"},
    {'t', "T"},   {'r', "AG"},  {'y', "CT"},   {'m', "AC"},  {'k', "GT"},  {'s', "CG"},
    {'w', "AT"},  {'h', "ACT"}, {'b', "CGT"},  {'v', "ACG"}, {'d', "AGT"}, {'n', "ACGT"}};

// The characters of the states b2A, b2C, b2G, b2T and b3Gap.
inline constexpr char DefDNAXbitCh[] = "ACGT-";
enum TDNAxBitCh : uint8_t { b2A = 0, b2C = 1, b2G = 2, b2T = 3, b3Gap = 4 };

// An amino acid and the codon patterns (IUPAC, 3 characters each) that code for it.
struct TAA2CodonMapping {
  char AA;
  const char* AA3L;
  uint8_t nCodons;
  const char* Codons;  // nCodons patterns back to back
};

// The standard genetic code; "*" is the stop sign.
inline constexpr TAA2CodonMapping DefAA2CodonMapping[21] = {
    {'A', "Ala", 1, "GCN"},    {'C', "Cys", 1, "TGY"}, {'D', "Asp", 1, "GAY"},
    {'E', "Glu", 1, "GAR"},    {'F', "Phe", 1, "TTY"}, {'G', "Gly", 1, "GGN"},
    {'H', "His", 1, "CAY"},    {'I', "Ile", 1, "ATH"}, {'K', "Lys", 1, "AAR"},
    {'L', "Leu", 2, "CTNTTR"}, {'M', "Met", 1, "ATG"}, {'N', "Asn", 1, "AAY"},
    {'P', "Pro", 1, "CCN"},    {'Q', "Gln", 1, "CAR"}, {'R', "Arg", 2, "CGNAGR"},
    {'S', "Ser", 2, "AGYTCN"}, {'T', "Thr", 1, "ACN"}, {'V', "Val", 1, "GTN"},
    {'W', "Trp", 1, "TGG"},    {'Y', "Tyr", 1, "TAY"}, {'*', "STP", 3, "TAGTAATGA"}};

// ---- derived types ---------------------------------------------------------------------------

inline constexpr uint8_t TPackedDNASetUsedBits = 0x1F;

// A set of nucleotide states: bit 0 A, 1 C, 2 G, 3 T, 4 gap.
struct TPackedDNASet {
  uint8_t b = 0;
  uint8_t NStates() const { return uint8_t(__builtin_popcount(b & TPackedDNASetUsedBits)); }
  uint8_t NNucStates() const { return uint8_t(__builtin_popcount(b & 0x0F)); }
  // Each character contributes 1/k to each of the k states of its set; a state is in the
  // result when its share of the length exceeds thresh (0: the union). Returns the length
  // of S, or thresh when S is empty.
  double SetFromAmbigStr(std::string_view S, double thresh);
};

// A codon as a number 0..63 (first base * 16 + second * 4 + third, A C G T = 0 1 2 3).
using T2bCodon = uint8_t;
inline constexpr T2bCodon cNoCodon = 255;

struct TStartLengthRec {
  uint32_t Start = 0;  // 0-based
  uint32_t Length = 0;
  bool operator==(const TStartLengthRec&) const = default;
};

// A region of a sequence in one or more parts.
struct TSeqRegion {
  std::vector<TStartLengthRec> Parts;
  void AddRegion(uint32_t Start, uint32_t Length) { Parts.push_back({Start, Length}); }
  // Sorts the parts by start and merges those that overlap or touch.
  void Sanitise();
};

enum TAnnoFlagBit : uint8_t {
  afbStartIncomplete = 0,
  afbEndIncomplete = 1,
  afbStrand = 2,  // 2 bits
  afbStrandKnown = 3,
  afbPhaseBit1 = 4,  // 2 bits
  afbPhaseBit2 = 5,
  afbIsCircular = 6,
  afbIsComplex = 7
};
enum TAnnoStrandInfo : uint8_t {
  asStrandNA = 0,
  asStrandUnknown = 1,
  asMinusStrand = 2,
  asPlusStrand = 3
};
enum TAnnoPhaseInfo : uint8_t { apPhaseUnknown = 0, apPhase0 = 1, apPhase1 = 2, apPhase2 = 3 };

struct TAnnotationFlags {
  uint8_t FlagAsByte = 0;
  TAnnoStrandInfo GetStrand() const { return TAnnoStrandInfo((FlagAsByte >> afbStrand) & 3); }
  TAnnoPhaseInfo GetPhase() const { return TAnnoPhaseInfo((FlagAsByte >> afbPhaseBit1) & 3); }
  void SetStrand(TAnnoStrandInfo s) {
    FlagAsByte = uint8_t((FlagAsByte & ~(3u << afbStrand)) | (unsigned(s) << afbStrand));
  }
  void SetPhase(TAnnoPhaseInfo p) {
    FlagAsByte = uint8_t((FlagAsByte & ~(3u << afbPhaseBit1)) | (unsigned(p) << afbPhaseBit1));
  }
};

// ---- global tables (built at compile time, read-only) ----------------------------------------

namespace seqtbl {

using TByteTbl = std::array<uint8_t, 256>;

constexpr uint8_t Up(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 32) : c; }

constexpr TByteTbl MakeComplement() {
  TByteTbl t{};
  for (auto& v : t) v = '?';
  const char pairs[] = "ATCGRYKMBVDH";
  for (int i = 0; i < 12; i += 2) {
    const uint8_t a = uint8_t(pairs[i]), b = uint8_t(pairs[i + 1]);
    t[a] = b;
    t[b] = a;
    t[a + 32] = uint8_t(b + 32);
    t[b + 32] = uint8_t(a + 32);
  }
  for (char c : {'S', 'W', 'N'}) {
    t[uint8_t(c)] = uint8_t(c);
    t[uint8_t(c + 32)] = uint8_t(c + 32);
  }
  t['-'] = '-';
  t['~'] = '~';
  return t;
}

constexpr TByteTbl MakeDNA2Bits() {
  TByteTbl t{};
  for (auto& v : t) v = 255;
  t['A'] = 0;
  t['C'] = 1;
  t['G'] = 2;
  t['T'] = 3;
  t['-'] = 4;
  t['~'] = 4;
  return t;
}

constexpr TByteTbl MakeAmbig2Set() {
  TByteTbl t{};
  for (const auto& m : IUPACDegenerateNucleotides)
    for (int s = 0; s < 5; ++s)
      for (const char* p = m.S; *p; ++p)
        if (*p == DefDNAXbitCh[s]) t[uint8_t(m.C)] |= uint8_t(1u << s);
  t['-'] = 0x10;
  return t;
}

constexpr TByteTbl MakeSet2Ambig() {
  const TByteTbl fwd = MakeAmbig2Set();
  TByteTbl inv{};
  // Later bytes win: where both cases share a set, the lower-case code is kept.
  for (int c = 0; c < 256; ++c)
    if (fwd[size_t(c)] != 0) inv[fwd[size_t(c)]] = uint8_t(c);
  inv[0x10] = '-';
  return inv;
}

constexpr TByteTbl MakeAa2CodonMapId() {
  TByteTbl t{};
  for (auto& v : t) v = 255;
  for (uint8_t i = 0; i < 21; ++i) t[uint8_t(DefAA2CodonMapping[i].AA)] = i;
  return t;
}

}  // namespace seqtbl

inline constexpr seqtbl::TByteTbl GtblComplement = seqtbl::MakeComplement();
inline constexpr char GtblXbitCh[] = "ACGT-";
inline constexpr char Gtbl2bitCh[] = "ACGT";
inline constexpr seqtbl::TByteTbl GtblDNA2Bits = seqtbl::MakeDNA2Bits();
inline constexpr seqtbl::TByteTbl GtblAmbigNucleotide2PackedDNASet = seqtbl::MakeAmbig2Set();
inline constexpr seqtbl::TByteTbl GtblPackedDNASet2AmbigNucleotideCh = seqtbl::MakeSet2Ambig();
inline constexpr const TAA2CodonMapping* GtblAA2CodonMap = DefAA2CodonMapping;
inline constexpr seqtbl::TByteTbl GtblAa2CodonMapId = seqtbl::MakeAa2CodonMapId();

// The three-letter code of a one-letter amino-acid code, "???" for bytes that are none.
std::string_view GtblAa2Aa3L(uint8_t aa);
// The amino acid of a plain codon ("*" for stop, "X" where no pattern covers it).
extern const std::array<char, 64> GtblCodon2Aa;
// 1 - shared/either states of two packed sets: [0] over nucleotide bits only (sets 0..15),
// [1] with the gap bit; 1 where both are empty, -666 outside the used range.
extern const std::array<std::array<std::array<double, 32>, 32>, 2> GtblAmbigDNADist;

// ---- operations ------------------------------------------------------------------------------

std::string ComplementSeq(std::string_view Seq);
std::string ReverseSeq(std::string_view Seq);
std::string ReverseComplementSeq(std::string_view Seq);

// The parts of S in Parts order, concatenated; a part that runs past the end of S is cut at
// the end. Empty when S or the region is empty or any part starts at or after the end of S.
std::string GetSeqRegion(std::string_view S, const TSeqRegion& Region);

// A plain upper-case codon, or cNoCodon.
T2bCodon CompressPCodon2b(char c1, char c2, char c3);
// The plain codons three IUPAC characters stand for (first position slowest, A C G T order);
// Codons2b is grown to hold them. 0 for a gap or a character without a code.
uint32_t CompressPAmbigDna2Codon2b(char c1, char c2, char c3, std::vector<T2bCodon>& Codons2b);

// Translates the whole codons from PhaseOffset on; an ambiguous codon gives its amino acid
// only when every codon it stands for gives the same one, else UntranslatableAACh.
std::string TranslateDNA(std::string_view CodingDNASeq, uint32_t PhaseOffset,
                         char UntranslatableAACh);
// Three characters per amino acid: its pattern, or the IUPAC code (lower case) of the union
// of its patterns' characters per position; AAGapCh gives DnaGapCh x 3, other characters
// NoAAChVal x 3.
std::string ReverseTranslate(std::string_view aaSeq, char AAGapCh, char DnaGapCh, char NoAAChVal);

// 2 per A or T plus 4 per C or G (case-insensitive), in degrees Celsius.
double oligo_tm_simple(std::string_view S);
// 100.5 + 41 n/L - 820/L + 16.6 log10(SaltConc/1000) with L the length and n the C and G;
// NaN for an empty S or a salt concentration (mM) that is not positive.
double oligo_tm_salt(std::string_view S, double SaltConc);
