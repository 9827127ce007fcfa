// Nucleotide and codon tables and the sequence operations built on them.
#include "seq/bioSeq.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

using seqtbl::TByteTbl;

// Expands three IUPAC characters into plain codons (first position slowest); the count, at
// most 64, or 0 for a gap or a character without a code.
constexpr uint32_t ExpandCodon(uint8_t c1, uint8_t c2, uint8_t c3, T2bCodon* out) {
  const uint8_t s1 = GtblAmbigNucleotide2PackedDNASet[c1] & 0x0F;
  const uint8_t s2 = GtblAmbigNucleotide2PackedDNASet[c2] & 0x0F;
  const uint8_t s3 = GtblAmbigNucleotide2PackedDNASet[c3] & 0x0F;
  // A gap or a character without a code has no nucleotide states: the product is 0.
  if (!s1 || !s2 || !s3) return 0;
  uint32_t n = 0;
  for (int a = 0; a < 4; ++a) {
    if (!(s1 & (1 << a))) continue;
    for (int b = 0; b < 4; ++b) {
      if (!(s2 & (1 << b))) continue;
      for (int c = 0; c < 4; ++c)
        if (s3 & (1 << c)) out[n++] = T2bCodon(a * 16 + b * 4 + c);
    }
  }
  return n;
}

constexpr std::array<char, 64> MakeCodon2Aa() {
  std::array<char, 64> t{};
  for (auto& v : t) v = 'X';
  for (const auto& m : DefAA2CodonMapping)
    for (int k = 0; k < m.nCodons; ++k) {
      T2bCodon codons[64] = {};
      const char* p = m.Codons + 3 * k;
      const uint32_t n = ExpandCodon(uint8_t(p[0]), uint8_t(p[1]), uint8_t(p[2]), codons);
      for (uint32_t i = 0; i < n; ++i) t[codons[i]] = m.AA;
    }
  return t;
}

constexpr std::array<std::array<std::array<double, 32>, 32>, 2> MakeDist() {
  std::array<std::array<std::array<double, 32>, 32>, 2> d{};
  for (int t = 0; t < 2; ++t) {
    const int used = t == 0 ? 16 : 32;
    for (int a = 0; a < 32; ++a)
      for (int b = 0; b < 32; ++b) {
        if (a >= used || b >= used) {
          d[size_t(t)][size_t(a)][size_t(b)] = -666;
          continue;
        }
        const int both = __builtin_popcount(unsigned(a & b));
        const int either = __builtin_popcount(unsigned(a | b));
        d[size_t(t)][size_t(a)][size_t(b)] = either == 0 ? 1.0 : 1.0 - double(both) / either;
      }
  }
  return d;
}

// The reverse translation of every byte that is an amino-acid code (3 characters each).
struct TRevTbl {
  std::array<std::array<char, 3>, 256> Codon{};
};

constexpr TRevTbl MakeRevTbl() {
  TRevTbl r{};
  for (const auto& m : DefAA2CodonMapping) {
    auto& out = r.Codon[uint8_t(m.AA)];
    if (m.nCodons == 1) {
      for (int p = 0; p < 3; ++p) out[size_t(p)] = m.Codons[p];
      continue;
    }
    // Union of the states of every pattern at each position (SetFromAmbigStr with 0).
    for (int p = 0; p < 3; ++p) {
      uint8_t set = 0;
      for (int k = 0; k < m.nCodons; ++k)
        set |= GtblAmbigNucleotide2PackedDNASet[uint8_t(m.Codons[3 * k + p])];
      out[size_t(p)] = char(GtblPackedDNASet2AmbigNucleotideCh[set]);
    }
  }
  return r;
}

constexpr TRevTbl kRevTbl = MakeRevTbl();

}  // namespace

constexpr std::array<char, 64> kCodon2Aa = MakeCodon2Aa();
const std::array<char, 64> GtblCodon2Aa = kCodon2Aa;
const std::array<std::array<std::array<double, 32>, 32>, 2> GtblAmbigDNADist = MakeDist();

std::string_view GtblAa2Aa3L(uint8_t aa) {
  const uint8_t id = GtblAa2CodonMapId[aa];
  return id == 255 ? std::string_view("???") : std::string_view(DefAA2CodonMapping[id].AA3L, 3);
}

double TPackedDNASet::SetFromAmbigStr(std::string_view S, double thresh) {
  b = 0;
  if (S.empty()) return thresh;
  double share[5] = {0, 0, 0, 0, 0};
  for (char c : S) {
    const uint8_t set = GtblAmbigNucleotide2PackedDNASet[uint8_t(c)];
    const int k = __builtin_popcount(set);
    if (k == 0) continue;
    for (int s = 0; s < 5; ++s)
      if (set & (1 << s)) share[s] += 1.0 / k;
  }
  const double len = double(S.size());
  for (int s = 0; s < 5; ++s)
    if (share[s] / len > thresh) b |= uint8_t(1u << s);
  return len;
}

void TSeqRegion::Sanitise() {
  if (Parts.size() < 2) return;
  std::stable_sort(
      Parts.begin(), Parts.end(),
      [](const TStartLengthRec& a, const TStartLengthRec& b) { return a.Start < b.Start; });
  size_t kept = 0;
  for (size_t i = 1; i < Parts.size(); ++i) {
    TStartLengthRec& k = Parts[kept];
    const uint64_t kEnd = uint64_t(k.Start) + k.Length;  // one past the kept part
    const TStartLengthRec& p = Parts[i];
    if (p.Start <= kEnd) {
      const uint64_t pEnd = uint64_t(p.Start) + p.Length;
      if (pEnd > kEnd) k.Length = uint32_t(std::min<uint64_t>(pEnd - k.Start, UINT32_MAX));
    } else {
      Parts[++kept] = p;
    }
  }
  Parts.resize(kept + 1);
}

std::string ComplementSeq(std::string_view Seq) {
  std::string r(Seq.size(), '\0');
  for (size_t i = 0; i < Seq.size(); ++i) r[i] = char(GtblComplement[uint8_t(Seq[i])]);
  return r;
}

std::string ReverseSeq(std::string_view Seq) { return std::string(Seq.rbegin(), Seq.rend()); }

std::string ReverseComplementSeq(std::string_view Seq) {
  std::string r(Seq.size(), '\0');
  const size_t n = Seq.size();
  for (size_t i = 0; i < n; ++i) r[i] = char(GtblComplement[uint8_t(Seq[n - 1 - i])]);
  return r;
}

std::string GetSeqRegion(std::string_view S, const TSeqRegion& Region) {
  if (S.empty() || Region.Parts.empty()) return {};
  uint64_t total = 0;
  for (const auto& p : Region.Parts) {
    if (p.Start >= S.size()) return {};
    total += std::min<uint64_t>(p.Length, S.size() - p.Start);
  }
  std::string r;
  r.reserve(total);
  for (const auto& p : Region.Parts) r.append(S.substr(p.Start, p.Length));
  return r;
}

T2bCodon CompressPCodon2b(char c1, char c2, char c3) {
  const uint8_t a = GtblDNA2Bits[uint8_t(c1)], b = GtblDNA2Bits[uint8_t(c2)],
                c = GtblDNA2Bits[uint8_t(c3)];
  if (a > 3 || b > 3 || c > 3) return cNoCodon;
  return T2bCodon(a * 16 + b * 4 + c);
}

uint32_t CompressPAmbigDna2Codon2b(char c1, char c2, char c3, std::vector<T2bCodon>& Codons2b) {
  T2bCodon tmp[64];
  const uint32_t n = ExpandCodon(uint8_t(c1), uint8_t(c2), uint8_t(c3), tmp);
  if (Codons2b.size() < n) Codons2b.resize(n);
  std::copy(tmp, tmp + n, Codons2b.begin());
  return n;
}

std::string TranslateDNA(std::string_view CodingDNASeq, uint32_t PhaseOffset,
                         char UntranslatableAACh) {
  if (CodingDNASeq.size() <= PhaseOffset) return {};
  const size_t n = (CodingDNASeq.size() - PhaseOffset) / 3;
  std::string r(n, '\0');
  const char* p = CodingDNASeq.data() + PhaseOffset;
  T2bCodon codons[64];
  for (size_t i = 0; i < n; ++i, p += 3) {
    const T2bCodon c = CompressPCodon2b(p[0], p[1], p[2]);
    if (c != cNoCodon) {
      r[i] = GtblCodon2Aa[c];
      continue;
    }
    const uint32_t k = ExpandCodon(uint8_t(p[0]), uint8_t(p[1]), uint8_t(p[2]), codons);
    char aa = k ? GtblCodon2Aa[codons[0]] : UntranslatableAACh;
    for (uint32_t j = 1; j < k; ++j)
      if (GtblCodon2Aa[codons[j]] != aa) {
        aa = UntranslatableAACh;
        break;
      }
    r[i] = aa;
  }
  return r;
}

std::string ReverseTranslate(std::string_view aaSeq, char AAGapCh, char DnaGapCh, char NoAAChVal) {
  std::string r(aaSeq.size() * 3, '\0');
  for (size_t i = 0; i < aaSeq.size(); ++i) {
    const uint8_t a = uint8_t(aaSeq[i]);
    char* o = &r[3 * i];
    if (GtblAa2CodonMapId[a] == 255) {
      const char f = aaSeq[i] == AAGapCh ? DnaGapCh : NoAAChVal;
      o[0] = o[1] = o[2] = f;
    } else {
      o[0] = kRevTbl.Codon[a][0];
      o[1] = kRevTbl.Codon[a][1];
      o[2] = kRevTbl.Codon[a][2];
    }
  }
  return r;
}

double oligo_tm_simple(std::string_view S) {
  uint64_t at = 0, cg = 0;
  for (char c : S) {
    const uint8_t u = seqtbl::Up(uint8_t(c));
    if (u == 'A' || u == 'T') ++at;
    if (u == 'C' || u == 'G') ++cg;
  }
  return 2.0 * double(at) + 4.0 * double(cg);
}

double oligo_tm_salt(std::string_view S, double SaltConc) {
  if (S.empty() || !(SaltConc > 0)) return std::numeric_limits<double>::quiet_NaN();
  uint64_t cg = 0;
  for (char c : S) {
    const uint8_t u = seqtbl::Up(uint8_t(c));
    if (u == 'C' || u == 'G') ++cg;
  }
  const long double L = (long double)S.size(), n = (long double)cg;
  const long double tm =
      100.5L + 41.0L * n / L - 820.0L / L + 16.6L * std::log10((long double)SaltConc / 1000.0L);
  return double(tm);
}
