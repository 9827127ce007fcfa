// Symmetric distance matrices, their text form, and the pairwise SNP distance computed on
// bit-packed genotype planes.
#include "popgen/korDist.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <unordered_set>

#include "fileaccess/korFileIO.h"
#include "vcf/bioVCF.h"

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}

// ---------------------------------------------------------------- TSymDist

TSymDist::TSymDist(uint64_t nItems, double fillWith) {
  FnItems = static_cast<uint32_t>(nItems);
  FDistElements = nItems * (nItems + 1) / 2;
  fPwComparisons = nItems > 1 ? nItems * (nItems - 1) / 2 : 0;
  FIdOfs = nItems > 1 ? FDistElements - nItems : 0;
  FDist.assign(FDistElements, fillWith);
}

std::unique_ptr<TSymDist> TSymDist::CreateFromArray(const std::vector<std::vector<double>>& a2) {
  if (a2.empty() || a2.size() != a2[0].size()) return std::make_unique<TSymDist>();
  const uint32_t n = static_cast<uint32_t>(a2.size());
  auto d = std::make_unique<TSymDist>(n, 0.0);
  for (uint32_t i = 1; i < n; ++i)
    for (uint32_t j = 0; j <= i && j < a2[i].size(); ++j) d->SetDist(i, j, a2[i][j]);
  return d;
}

void TSymDist::DistID2PW(uint64_t id, uint64_t idOfs, uint32_t& i, uint32_t& j) {
  if (id >= idOfs) {
    i = j = static_cast<uint32_t>(id - idOfs);
    return;
  }
  // The root in extended precision, then corrected by integer arithmetic so that no position
  // below 2^64 lands in the wrong row.
  uint64_t r =
      static_cast<uint64_t>((1.0L + std::sqrt(8.0L * static_cast<long double>(id) + 1.0L)) * 0.5L);
  while (r > 1 && r * (r - 1) / 2 > id) --r;
  while ((r + 1) * r / 2 <= id) ++r;
  i = static_cast<uint32_t>(r);
  j = static_cast<uint32_t>(id - r * (r - 1) / 2);
}

double TSymDist::GetDist(uint32_t i, uint32_t j) const {
  if (i >= FnItems || j >= FnItems) return kNaN;
  return FDist[DistID(i, j, FIdOfs)];
}

void TSymDist::SetDist(uint32_t i, uint32_t j, double value) {
  if (i >= FnItems || j >= FnItems) return;
  FDist[DistID(i, j, FIdOfs)] = value;
}

void TSymDist::SetDistFromPwArray(const std::vector<TPairD>& pairs,
                                  const std::vector<double>& pwDist) {
  if (pairs.size() != fPwComparisons || pwDist.size() != fPwComparisons) return;
  for (size_t k = 0; k < pairs.size(); ++k) SetDist(pairs[k].a, pairs[k].b, pwDist[k]);
}

double TSymDist::GetElement(uint64_t offset) const {
  return offset < FDistElements ? FDist[offset] : kNaN;
}

uint64_t TSymDist::GetMinPWDistID() const {
  if (FIdOfs == 0) return 0;
  uint64_t best = 0;
  double cur = FDist[0] + 1;
  for (uint64_t p = FIdOfs; p-- > 0;)
    if (FDist[p] < cur) {
      cur = FDist[p];
      best = p;
    }
  return best;
}

void TSymDist::SetNames(const std::vector<std::string>& names) {
  if (names.size() == FnItems) FNames = names;
}

void AppendDistCell(std::string& out, double v) {
  if (std::isnan(v)) {
    out += "NA";
    return;
  }
  // Fixed notation with 9 decimals in at least 10 characters, as e2s writes it (to_chars
  // rounds the exact binary value as printf does, only faster).
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 9);
  const size_t len = static_cast<size_t>(r.ptr - buf);
  if (len < 10) out.append(10 - len, ' ');
  out.append(buf, len);
}

std::string TSymDist::LowerTriangAsStr(char itemSep, std::string_view lineBrk) const {
  std::string s;
  s.reserve(static_cast<size_t>(FDistElements) * 12 + FnItems * lineBrk.size());
  for (uint32_t i = 0; i < FnItems; ++i) {
    for (uint32_t j = 0; j <= i; ++j) {
      AppendDistCell(s, GetDist(i, j));
      s += itemSep;
    }
    s += lineBrk;
  }
  return s;
}

void TSymDist::FindAllValuePairs(double val, std::vector<TPairD>& pairs, bool inclSelfCmp) const {
  pairs.clear();
  const uint64_t end = inclSelfCmp ? FDistElements : FIdOfs;
  for (uint64_t p = 0; p < end; ++p)
    if (FDist[p] == val) {
      TPairD pr;
      DistID2PW(p, FIdOfs, pr.a, pr.b);
      pairs.push_back(pr);
    }
}

bool TSymDist::FindNAPair(TPairD& pair) const {
  for (uint64_t p = 0; p < FIdOfs; ++p)
    if (std::isnan(FDist[p])) {
      DistID2PW(p, FIdOfs, pair.a, pair.b);
      return true;
    }
  return false;
}

uint64_t TSymDist::CountNAPairs() const {
  uint64_t c = 0;
  for (uint64_t p = 0; p < FIdOfs; ++p) c += std::isnan(FDist[p]);
  return c;
}

// ---------------------------------------------------------------- genotype score

double dist_gt_score_valid_exclude_MD(const uint32_t gtSmp1[2], const uint32_t gtSmp2[2]) {
  constexpr uint32_t M = 0xFFFFFFFFu;
  const uint32_t a0 = std::min(gtSmp1[0], gtSmp1[1]), a1 = std::max(gtSmp1[0], gtSmp1[1]);
  const uint32_t b0 = std::min(gtSmp2[0], gtSmp2[1]), b1 = std::max(gtSmp2[0], gtSmp2[1]);
  if (a0 == M || b0 == M) return -1;
  const bool aHalf = a1 == M, bHalf = b1 == M;
  if (!aHalf && !bHalf) {
    const double s1 = double(a0) + double(a1), s2 = double(b0) + double(b1);
    return s1 == s2 ? 0.0 : std::fabs(s1 - s2) / 2;
  }
  if (aHalf && bHalf) return a0 == b0 ? 0.0 : 1.0;
  const uint32_t known = aHalf ? a0 : b0;
  const uint32_t c0 = aHalf ? b0 : a0, c1 = aHalf ? b1 : a1;
  if (c0 != c1) return 0.5;
  return known == c0 ? 0.0 : 1.0;
}

// ---------------------------------------------------------------- matrix file

std::vector<std::string> DistFileLines(const TSymDist& d) {
  std::string names;
  for (size_t k = 0; k < d.GetNames().size(); ++k) {
    if (k) names += '\t';
    names += d.GetNames()[k];
  }
  return {names, d.LowerTriangAsStr('\t', "\r\n")};
}

namespace {

TZelErr LineErr(const std::string& msg, const std::string& fileName, uint64_t line) {
  return TZelErr::User(msg, fileName + ", line " + std::to_string(line));
}

// Next line of text from pos without its LF and a CR before it; false at the end.
bool NextLine(std::string_view text, size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  size_t e = text.find('\n', pos);
  if (e == std::string_view::npos) e = text.size();
  line = text.substr(pos, e - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = e + 1;
  return true;
}

}  // namespace

namespace {

// A plain decimal of at most 15 digits, as the matrix files hold them ("0.123456789"): its
// digits as an integer over a power of ten. Both are exact doubles and the division rounds
// once, so this is the nearest double, the value from_chars gives; it is only much quicker.
// False for anything else (a sign, an exponent, more digits), which from_chars then reads.
bool PlainDecimal(std::string_view c, double& v) {
  static constexpr double kPow10[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  uint64_t w = 0;
  int digits = 0, decimals = -1;
  for (const char ch : c) {
    if (ch == '.') {
      if (decimals >= 0) return false;
      decimals = 0;
      continue;
    }
    const unsigned d = unsigned(uint8_t(ch) - uint8_t('0'));
    if (d > 9 || ++digits > 15) return false;
    w = w * 10 + d;
    if (decimals >= 0) ++decimals;
  }
  if (digits == 0) return false;
  v = double(w) / kPow10[decimals < 0 ? 0 : decimals];
  return true;
}

}  // namespace

TZelErr ReadDistText(std::string_view text, const std::string& fileName, TDistFileRead& out) {
  out = TDistFileRead();
  size_t pos = 0;
  std::string_view line;
  if (!NextLine(text, pos, line) || line.empty())
    return LineErr("Distance matrix without item names", fileName, 1);
  std::vector<std::string> names;
  for (size_t b = 0;;) {
    size_t e = line.find('\t', b);
    if (e == std::string_view::npos) e = line.size();
    names.emplace_back(line.substr(b, e - b));
    if (names.back().empty()) return LineErr("Distance matrix item name missing", fileName, 1);
    if (e == line.size()) break;
    b = e + 1;
  }
  if (names.size() > 0xFFFFFFFEull) return LineErr("Too many items", fileName, 1);
  const uint32_t n = static_cast<uint32_t>(names.size());
  // Every row must be there before the matrix is allocated: the names line alone could
  // otherwise ask for any amount of memory.
  {
    uint64_t lines = 1;
    for (size_t p = pos; p < text.size() && lines <= n;) {
      size_t e = text.find('\n', p);
      if (e == std::string_view::npos) e = text.size();
      ++lines;
      p = e + 1;
    }
    if (lines < uint64_t(n) + 1)
      return LineErr(
          "Distance matrix ends before row " + std::to_string(lines) + " of " + std::to_string(n),
          fileName, lines + 1);
  }
  auto d = std::make_unique<TSymDist>(n, 0.0);
  for (uint32_t r = 0; r < n; ++r) {
    const uint64_t lineNo = uint64_t(r) + 2;
    NextLine(text, pos, line);
    uint32_t cells = 0;
    size_t b = 0;
    while (b < line.size()) {
      size_t e = line.find('\t', b);
      if (e == std::string_view::npos)
        return LineErr("Distance matrix row does not end with a tab after its last cell", fileName,
                       lineNo);
      if (cells > r)
        return LineErr("Distance matrix row has more than " + std::to_string(r + 1) + " cells",
                       fileName, lineNo);
      std::string_view cell = line.substr(b, e - b);
      while (!cell.empty() && cell.front() == ' ') cell.remove_prefix(1);
      double v;
      if (cell == "NA") {
        if (cells == r) return LineErr("Distance matrix diagonal is not 0", fileName, lineNo);
        v = kNaN;
      } else {
        if (!PlainDecimal(cell, v)) {
          auto res = std::from_chars(cell.data(), cell.data() + cell.size(), v);
          if (cell.empty() || res.ec != std::errc() || res.ptr != cell.data() + cell.size())
            return LineErr("Distance matrix cell " + std::to_string(cells + 1) +
                               " is not a number: \"" + std::string(cell) + "\"",
                           fileName, lineNo);
          if (!std::isfinite(v))
            return LineErr(
                "Distance matrix cell " + std::to_string(cells + 1) + " is not a finite number",
                fileName, lineNo);
          if (v < 0)
            return LineErr("Distance matrix cell " + std::to_string(cells + 1) + " is negative",
                           fileName, lineNo);
        }
        if (cells == r && v != 0)
          return LineErr("Distance matrix diagonal is not 0", fileName, lineNo);
      }
      d->SetDist(r, cells, v);
      ++cells;
      b = e + 1;
    }
    if (cells != r + 1)
      return LineErr("Distance matrix row has " + std::to_string(cells) + " cells instead of " +
                         std::to_string(r + 1),
                     fileName, lineNo);
  }
  for (uint64_t lineNo = uint64_t(n) + 2; NextLine(text, pos, line); ++lineNo)
    if (!line.empty()) return LineErr("Text after the last distance matrix row", fileName, lineNo);
  std::unordered_set<std::string> seen;
  for (const std::string& nm : names)
    if (!seen.insert(nm).second)
      out.Warnings.push_back("Distance matrix names \"" + nm + "\" more than once (" + fileName +
                             ", line 1)");
  d->SetNames(names);
  out.Dist = std::move(d);
  return {};
}

TZelErr ReadDistFile(const std::string& fileName, TDistFileRead& out) {
  out = TDistFileRead();
  if (!DoesFileExist(fileName)) return TZelErr::User("Distance matrix file not found", fileName);
  THugeArr<char> text;
  uint64_t size = 0;
  if (int e = ReadFileHuge(fileName, text, size); e != 0)
    return TZelErr::User("Cannot read distance matrix file", fileName + ": " + FioErrorText(e));
  return ReadDistText(std::string_view(text.get(), size), fileName, out);
}

// ---------------------------------------------------------------- pairwise SNP distance

namespace {

// Loci are gathered in blocks of kWords 64-bit words; per sample and word three planes: the
// call is scored (P), its dosage is at least 1 (B1), it is 2 (B2). A half-missing call scores
// exactly as the homozygous call of its known allele, so it takes that dosage. The score of
// two calls is |x - y| / 2 = (popcount of B1 differences + popcount of B2 differences) / 2 over
// the loci both score.
constexpr uint32_t kWords = 64;
constexpr uint32_t kStride = kWords * 3;
constexpr uint32_t kTile = 64;

template <class TPop>
inline __attribute__((always_inline)) void TileBody(const uint64_t* pl, uint32_t words, uint32_t i0,
                                                    uint32_t i1, uint32_t j0, uint32_t j1,
                                                    uint64_t* diff, uint64_t* cnt, TPop pop) {
  for (uint32_t i = i0; i < i1; ++i) {
    const uint64_t* a = pl + size_t(i) * kStride;
    const uint32_t jEnd = std::min(j1, i);
    const uint64_t row = uint64_t(i) * (i - 1) / 2;
    for (uint32_t j = j0; j < jEnd; ++j) {
      const uint64_t* b = pl + size_t(j) * kStride;
      uint64_t d = 0, c = 0;
      for (uint32_t w = 0; w < words; ++w) {
        const uint64_t m = a[w] & b[w];
        c += pop(m);
        d += pop((a[kWords + w] ^ b[kWords + w]) & m) +
             pop((a[2 * kWords + w] ^ b[2 * kWords + w]) & m);
      }
      diff[row + j] += d;
      cnt[row + j] += c;
    }
  }
}

__attribute__((target("popcnt"))) void TilePopcnt(const uint64_t* pl, uint32_t words, uint32_t i0,
                                                  uint32_t i1, uint32_t j0, uint32_t j1,
                                                  uint64_t* diff, uint64_t* cnt) {
  TileBody(pl, words, i0, i1, j0, j1, diff, cnt,
           [](uint64_t x) { return uint64_t(__builtin_popcountll(x)); });
}

// Where the processor counts the bits of whole vectors: eight words of each plane at a time.
__attribute__((target("avx512f,avx512vpopcntdq"))) void TileVPopcnt(const uint64_t* pl,
                                                                    uint32_t words, uint32_t i0,
                                                                    uint32_t i1, uint32_t j0,
                                                                    uint32_t j1, uint64_t* diff,
                                                                    uint64_t* cnt) {
  const uint32_t vw = words & ~7u;
  for (uint32_t i = i0; i < i1; ++i) {
    const uint64_t* a = pl + size_t(i) * kStride;
    const uint32_t jEnd = std::min(j1, i);
    const uint64_t row = uint64_t(i) * (i - 1) / 2;
    for (uint32_t j = j0; j < jEnd; ++j) {
      const uint64_t* b = pl + size_t(j) * kStride;
      __m512i c = _mm512_setzero_si512(), d = _mm512_setzero_si512();
      for (uint32_t w = 0; w < vw; w += 8) {
        const __m512i m = _mm512_and_si512(_mm512_loadu_si512(a + w), _mm512_loadu_si512(b + w));
        c = _mm512_add_epi64(c, _mm512_popcnt_epi64(m));
        const __m512i x1 = _mm512_xor_si512(_mm512_loadu_si512(a + kWords + w),
                                            _mm512_loadu_si512(b + kWords + w));
        const __m512i x2 = _mm512_xor_si512(_mm512_loadu_si512(a + 2 * kWords + w),
                                            _mm512_loadu_si512(b + 2 * kWords + w));
        d = _mm512_add_epi64(d, _mm512_popcnt_epi64(_mm512_and_si512(x1, m)));
        d = _mm512_add_epi64(d, _mm512_popcnt_epi64(_mm512_and_si512(x2, m)));
      }
      uint64_t lanes[16];
      _mm512_storeu_si512(lanes, c);
      _mm512_storeu_si512(lanes + 8, d);
      uint64_t cs = 0, ds = 0;
      for (int k = 0; k < 8; ++k) {
        cs += lanes[k];
        ds += lanes[8 + k];
      }
      for (uint32_t w = vw; w < words; ++w) {
        const uint64_t m = a[w] & b[w];
        cs += uint64_t(__builtin_popcountll(m));
        ds += uint64_t(__builtin_popcountll((a[kWords + w] ^ b[kWords + w]) & m)) +
              uint64_t(__builtin_popcountll((a[2 * kWords + w] ^ b[2 * kWords + w]) & m));
      }
      diff[row + j] += ds;
      cnt[row + j] += cs;
    }
  }
}

void TilePortable(const uint64_t* pl, uint32_t words, uint32_t i0, uint32_t i1, uint32_t j0,
                  uint32_t j1, uint64_t* diff, uint64_t* cnt) {
  TileBody(pl, words, i0, i1, j0, j1, diff, cnt, [](uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return (x * 0x0101010101010101ull) >> 56;
  });
}

using TTileFn = void (*)(const uint64_t*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t,
                         uint64_t*, uint64_t*);

// Adds one block's pair sums: tiles of kTile samples so that both tiles' planes stay in cache;
// tile rows are handed out from the largest (most pairs) down.
void AddBlock(const uint64_t* pl, uint32_t words, uint32_t n, unsigned threads, TTileFn fn,
              uint64_t* diff, uint64_t* cnt) {
  const uint32_t nt = (n + kTile - 1) / kTile;
  std::atomic<uint32_t> next{0};
  auto work = [&]() {
    for (;;) {
      const uint32_t k = next.fetch_add(1);
      if (k >= nt) return;
      const uint32_t ti = nt - 1 - k;
      const uint32_t i0 = ti * kTile, i1 = std::min(n, i0 + kTile);
      for (uint32_t tj = 0; tj <= ti; ++tj)
        fn(pl, words, i0, i1, tj * kTile, (tj + 1) * kTile, diff, cnt);
    }
  };
  const unsigned t = std::min<unsigned>(threads, nt);
  if (t <= 1) {
    work();
    return;
  }
  std::vector<std::thread> pool;
  for (unsigned k = 1; k < t; ++k) pool.emplace_back(work);
  work();
  for (auto& th : pool) th.join();
}

// Dosage by XtrBiallelicCallsMem's pair code (3 * first + second allele, 2 missing): a
// half-missing call counts as the homozygous call of its known allele; both missing: not
// scored.
constexpr uint8_t kDoseOfPair[9] = {0, 1, 0, 1, 2, 2, 0, 2, TVCFFile::DoseNotScored};

// One word of a sample's three planes from its 64 dosage codes (loci of the word in order):
// scored (code below 3), dosage at least 1, dosage 2.
using TPackFn = void (*)(const uint8_t* code, uint64_t* q);

void PackPortable(const uint8_t* code, uint64_t* q) {
  uint64_t p = 0, b1 = 0, b2 = 0;
  for (uint32_t k = 0; k < 64; ++k) {
    const uint64_t c = code[k];
    p |= uint64_t(c < 3) << k;
    b1 |= uint64_t(c == 1 || c == 2) << k;
    b2 |= uint64_t(c == 2) << k;
  }
  q[0] = p;
  q[kWords] = b1;
  q[2 * kWords] = b2;
}

__attribute__((target("avx2"))) inline uint32_t EqMask(const uint8_t* code, char c) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(code));
  return uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(x, _mm256_set1_epi8(c))));
}

__attribute__((target("avx2"))) void PackAvx2(const uint8_t* code, uint64_t* q) {
  const uint64_t none = EqMask(code, 3) | uint64_t(EqMask(code + 32, 3)) << 32;
  const uint64_t one = EqMask(code, 1) | uint64_t(EqMask(code + 32, 1)) << 32;
  const uint64_t two = EqMask(code, 2) | uint64_t(EqMask(code + 32, 2)) << 32;
  q[0] = ~none;
  q[kWords] = one | two;
  q[2 * kWords] = two;
}

__attribute__((target("avx512f,avx512bw"))) void PackAvx512(const uint8_t* code, uint64_t* q) {
  const __m512i x = _mm512_loadu_si512(code);
  const __mmask64 p = _mm512_cmplt_epu8_mask(x, _mm512_set1_epi8(3));
  q[0] = uint64_t(p);
  q[kWords] = uint64_t(_mm512_mask_cmpneq_epu8_mask(p, x, _mm512_setzero_si512()));
  q[2 * kWords] = uint64_t(_mm512_cmpeq_epu8_mask(x, _mm512_set1_epi8(2)));
}

}  // namespace

TZelErr PW_SNPDist_Diploid_Unweighted_AsDist(TVCFFile& vcf, uint32_t minDPAll, uint32_t minDPHom,
                                             unsigned threads, IZelProgress* progress,
                                             std::unique_ptr<TSymDist>& out, TPwDistStats& stats) {
  (void)minDPHom;  // see the header: it cannot change a score
  out.reset();
  stats = TPwDistStats();
  if (!vcf.SelectionMade()) vcf.ClearSelection(true);
  const uint32_t n = vcf.NSamples();
  const uint64_t nv = vcf.NVariants();
  const uint64_t nPairs = n > 1 ? uint64_t(n) * (n - 1) / 2 : 0;
  std::vector<uint64_t> diff(nPairs, 0), cnt(nPairs, 0);
  std::vector<uint64_t> planes(size_t(n) * kStride, 0);
  const bool useDp = minDPAll > 0;
  const TTileFn fn = __builtin_cpu_supports("avx512vpopcntdq") ? TileVPopcnt
                     : __builtin_cpu_supports("popcnt")        ? TilePopcnt
                                                               : TilePortable;
  const TPackFn packFn = __builtin_cpu_supports("avx512bw") ? PackAvx512
                         : __builtin_cpu_supports("avx2")   ? PackAvx2
                                                            : PackPortable;
  if (threads == 0) threads = 1;
  TXtrGtReport rep;
  uint32_t loc = 0;  // loci in the current block
  // The dosage codes of the current 64 loci, 64 bytes per sample: each locus writes one byte
  // per sample, and every 64 loci each sample's bytes become one word of its three planes.
  std::vector<uint8_t> codes(size_t(n) * 64, TVCFFile::DoseNotScored);
  std::vector<uint8_t> pairs(n);
  std::vector<uint32_t> depth(useDp ? n : 0);
  auto pack = [&]() {
    const uint32_t w = (loc - 1) >> 6;
    for (uint32_t s = 0; s < n; ++s)
      packFn(codes.data() + size_t(s) * 64, planes.data() + size_t(s) * kStride + w);
    std::fill(codes.begin(), codes.end(), TVCFFile::DoseNotScored);
  };
  // With more than one thread a full block is summed while the next one is read: the reading
  // thread fills one plane buffer while workers sum the other.
  std::vector<uint64_t> busy(planes.size());
  struct TJoin {
    std::thread T;
    ~TJoin() {
      if (T.joinable()) T.join();
    }
  } inflight;
  auto flush = [&]() {
    if (loc == 0) return;
    if (loc & 63) pack();
    const uint32_t words = (loc + 63) / 64;
    loc = 0;
    if (n < 2) return;
    if (inflight.T.joinable()) inflight.T.join();
    std::swap(planes, busy);
    if (threads > 1)
      inflight.T = std::thread([&, words] {
        AddBlock(busy.data(), words, n, threads - 1, fn, diff.data(), cnt.data());
      });
    else
      AddBlock(busy.data(), words, n, 1, fn, diff.data(), cnt.data());
  };
  for (uint64_t v = 0; v < nv; ++v) {
    if (progress && (v & 0xFFF) == 0) {
      progress->Progress(v, nv);
      if (progress->Cancelled()) return TZelErr::User("Cancelled");
    }
    if (!vcf.IsSelected(v)) continue;
    if (!vcf.IsSNP(v) || !vcf.IsPolymorphic(v) || !vcf.IsNondegenerate(v) || !vcf.IsBiallelic(v))
      continue;
    bool depthKey = false;
    uint8_t* const code = codes.data() + (loc & 63);
    if (vcf.XtrBiallelicCallsMem(v, pairs.data(), useDp ? depth.data() : nullptr, &depthKey,
                                 &rep)) {
      // Every call in the common form: the dosage of each pair of alleles, masked by depth.
      for (uint32_t s = 0; s < n; ++s) {
        const uint8_t c = kDoseOfPair[pairs[s]];
        code[size_t(s) * 64] = useDp && depth[s] < minDPAll ? TVCFFile::DoseNotScored : c;
      }
    } else if (vcf.XtrDosageMem(v, code, 64, minDPAll, &depthKey, &rep) != xtrOK) {
      return TZelErr("PW_SNPDist_Diploid_Unweighted", "No valid GT tag found",
                     "Input seen: <" + std::string(vcf.VariantLine(v)) + ">");
    }
    if (useDp && depthKey) ++stats.DepthSeen;
    ++stats.UsedSnps;
    if ((++loc & 63) == 0) pack();
    if (loc == kWords * 64) flush();
  }
  flush();
  if (inflight.T.joinable()) inflight.T.join();
  stats.Report = rep;
  if (progress) progress->Progress(nv, nv);
  auto d = std::make_unique<TSymDist>(n, 0.0);
  double* e = d->Data();
  for (uint64_t p = 0; p < nPairs; ++p) {
    if (cnt[p] == 0) {
      e[p] = kNaN;
      ++stats.NAPairs;
    } else {
      e[p] = (0.5 * double(diff[p])) / double(cnt[p]);
    }
  }
  d->SetNames(vcf.SampleNamesRef());
  out = std::move(d);
  return {};
}
