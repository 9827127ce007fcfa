// INFO and FORMAT value extraction and genotype reading over the offsets of one split line.
#include "vcf/vcfXtr.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "vcf/bioVCF.h"
#include "vcf/vcfAlleles.h"
#include "vcf/vcfLine.h"

TXtrConversion DefConversion(TvcfType t) {
  switch (t) {
    case vtInt:
      return xtSInt32;
    case vtFloat:
      return xtDbl;
    case vtFlag:
      return xtUInt8;
    default:
      return xtString;
  }
}

namespace {

// Decimal integer with optional leading blanks and sign, nothing after; no wrap on overflow.
bool ParseSigned(std::string_view s, int64_t& v) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) neg = s[i++] == '-';
  if (i == s.size()) return false;
  uint64_t u = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return false;
    if (u > (uint64_t(1) << 63) / 10) return false;
    u = u * 10 + uint64_t(c - '0');
    if (u > (uint64_t(1) << 63)) return false;
  }
  if (!neg && u > uint64_t(std::numeric_limits<int64_t>::max())) return false;
  v = neg ? int64_t(0 - u) : int64_t(u);
  return true;
}

bool ParseUnsigned(std::string_view s, uint64_t& v) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && s[i] == '+') ++i;
  if (i == s.size()) return false;
  uint64_t u = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c < '0' || c > '9') return false;
    uint64_t d = uint64_t(c - '0');
    if (u > (~uint64_t(0) - d) / 10) return false;
    u = u * 10 + d;
  }
  v = u;
  return true;
}

bool ParseDouble(std::string_view s, double& v) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  if (i < s.size() && s[i] == '+') ++i;
  if (i == s.size()) return false;
  auto [p, ec] = std::from_chars(s.data() + i, s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size();
}

template <class T>
bool StoreInt(int64_t v, void* dst) {
  if (v < int64_t(std::numeric_limits<T>::min()) || v > int64_t(std::numeric_limits<T>::max()))
    return false;
  T t = T(v);
  std::memcpy(dst, &t, sizeof t);
  return true;
}

}  // namespace

// The common case first: a short run of digits, read without the general checks.
static inline bool ShortDigits(std::string_view s, int64_t& v) {
  if (s.empty() || s.size() > 9) return false;
  uint32_t u = 0;
  for (char c : s) {
    const uint32_t d = uint32_t(uint8_t(c) - uint8_t('0'));
    if (d > 9) return false;
    u = u * 10 + d;
  }
  v = int64_t(u);
  return true;
}

bool XtrConvert(std::string_view s, TXtrConversion conv, void* dst) {
  int64_t i;
  // Depths and qualities are short digit runs whatever integer type reads them.
  if (conv >= xtUInt8 && conv <= xtSInt64 && ShortDigits(s, i)) {
    switch (conv) {
      case xtSInt32:
        return StoreInt<int32_t>(i, dst);
      case xtUInt32:
        return StoreInt<uint32_t>(i, dst);
      case xtUInt16:
        return StoreInt<uint16_t>(i, dst);
      case xtUInt8:
        return StoreInt<uint8_t>(i, dst);
      case xtSInt16:
        return StoreInt<int16_t>(i, dst);
      case xtSInt8:
        return StoreInt<int8_t>(i, dst);
      case xtSInt64:
        return StoreInt<int64_t>(i, dst);
      case xtUInt64: {
        const uint64_t u = uint64_t(i);
        std::memcpy(dst, &u, 8);
        return true;
      }
      default:
        break;
    }
  }
  switch (conv) {
    case xtUInt8:
      return ParseSigned(s, i) && StoreInt<uint8_t>(i, dst);
    case xtUInt16:
      return ParseSigned(s, i) && StoreInt<uint16_t>(i, dst);
    case xtUInt32:
      return ParseSigned(s, i) && StoreInt<uint32_t>(i, dst);
    case xtUInt64: {
      uint64_t u;
      if (!ParseUnsigned(s, u)) return false;
      std::memcpy(dst, &u, 8);
      return true;
    }
    case xtSInt8:
      return ParseSigned(s, i) && StoreInt<int8_t>(i, dst);
    case xtSInt16:
      return ParseSigned(s, i) && StoreInt<int16_t>(i, dst);
    case xtSInt32:
      return ParseSigned(s, i) && StoreInt<int32_t>(i, dst);
    case xtSInt64:
      return ParseSigned(s, i) && StoreInt<int64_t>(i, dst);
    case xtSgl: {
      double d;
      if (!ParseDouble(s, d)) return false;
      if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max()))
        return false;
      float f = float(d);
      std::memcpy(dst, &f, 4);
      return true;
    }
    case xtDbl: {
      double d;
      if (!ParseDouble(s, d)) return false;
      std::memcpy(dst, &d, 8);
      return true;
    }
    default:
      return false;
  }
}

void TXtrInfFuncParam::Make(TXtrConversion conv, std::vector<uint8_t> valMissingData,
                            std::string length0PresVal, uint32_t textBytes) {
  Conversion = conv;
  BytesAllocated = conv == xtString ? textBytes : TypeSz[conv];
  ItemBytes = BytesAllocated;
  ValMissingData = std::move(valMissingData);
  L0PresVal = std::move(length0PresVal);
  Buffer.assign(BytesAllocated, 0);
  PBuffer = Buffer.data();
}

void TXtrFmtFuncParam::MakeAndAlloc(TXtrConversion conv, uint32_t nSmp,
                                    std::vector<uint8_t> valMissingData, uint32_t textBytes) {
  Conversion = conv;
  NSmp = nSmp;
  BytesAllocated = conv == xtString ? textBytes : TypeSz[conv];
  ValMissingData = std::move(valMissingData);
  Buffer.assign(size_t(nSmp) * BytesAllocated, 0);
  ItemBytes.assign(conv == xtString ? nSmp : 1, 0);
  TagOfs = 0xFFFFFFFFu;
}

TXtrFuncRes TVCFFile::XtrInfokeyValMem(uint64_t v, const std::vector<std::string>& tags,
                                       std::vector<TXtrInfFuncParam>& params) const {
  if (tags.empty() || params.size() != tags.size()) return xtrErrInput;
  for (auto& p : params) p.ItemBytes = 0;
  std::string_view info = Column(v, vcfInfo);
  if (info.empty()) return xtrErrInput;
  for (size_t i = 0; i < tags.size(); ++i) {
    TXtrInfFuncParam& p = params[i];
    uint32_t ofs, len;
    GetPInfoKeyOfs(info, tags[i], ofs, len);
    if (ofs == 0xFFFFFFFFu) continue;
    if (len > 0) {
      std::string_view val = info.substr(ofs, len);
      bool missing = val == "." && !p.ValMissingData.empty();
      if (missing) {
        if (p.ValMissingData.size() > p.BytesAllocated) return xtrErrMemory;
        std::memcpy(p.PBuffer, p.ValMissingData.data(), p.ValMissingData.size());
        p.ItemBytes = uint32_t(p.ValMissingData.size());
      } else if (p.Conversion == xtString) {
        if (val.size() > p.BytesAllocated) return xtrErrMemory;
        std::memcpy(p.PBuffer, val.data(), val.size());
        p.ItemBytes = uint32_t(val.size());
      } else {
        if (!XtrConvert(val, p.Conversion, p.PBuffer)) return xtrErrConversion;
        p.ItemBytes = TypeSz[p.Conversion];
      }
    } else if (!p.L0PresVal.empty()) {
      if (p.L0PresVal.size() > p.BytesAllocated) return xtrErrMemory;
      std::memcpy(p.PBuffer, p.L0PresVal.data(), p.L0PresVal.size());
      p.ItemBytes = uint32_t(p.L0PresVal.size());
    }
  }
  return xtrOK;
}

namespace {

// Counts a line once per run, however often it is read.
inline void NoteLine(uint64_t& count, uint64_t& first, uint64_t& last, uint64_t v,
                     uint64_t lineNo) {
  if (last == v) return;
  last = v;
  if (count++ == 0) first = lineNo;
}

// FORMAT keys of a FORMAT text (0 when it is empty).
inline uint32_t CountFmtKeys(std::string_view fmt) {
  if (fmt.empty()) return 0;
  uint32_t k = 1;
  for (char c : fmt) k += c == ':';
  return k;
}

// Call items beyond FORMAT's keys are read by no one. The splitter counted the line's ':';
// more of them in the calls than FORMAT's keys allow in every call means some call has items
// too many (a line where such a call is offset by calls cut short is not seen). For a split
// line with sample columns.
bool CallsWithExtraItems(const char* line, const uint32_t* cols, uint32_t nFields,
                         uint32_t nColons) {
  const uint32_t nKeys = CountFmtKeys(
      std::string_view(line + cols[vcfFormat], cols[vcfFormat + 1] - 1 - cols[vcfFormat]));
  uint32_t before = 0;  // ':' of the fixed columns and FORMAT
  for (const char *q = line, *e = line + cols[vcfSample]; q < e; ++q) before += *q == ':';
  return nKeys == 0 || uint64_t(nColons - before) > uint64_t(nKeys - 1) * (nFields - vcfSample);
}

// Gives item k of the column [b, e) and moves the cursor past it. The cursor is the start of
// item ck, or null when the column has no item ck; it only moves forward while the items asked
// for come in increasing order. False when the column has fewer items (the cursor then starts
// over at b).
inline bool SeekItem(const char* b, const char* e, const char*& cur, uint32_t& ck, uint32_t k,
                     const char*& ib, const char*& ie) {
  if (k < ck) {
    cur = b;
    ck = 0;
  }
  const char* p = cur;
  for (; ck < k && p; ++ck) {
    while (p < e && *p != ':') ++p;
    p = p < e ? p + 1 : nullptr;
  }
  if (!p) {
    cur = b;
    ck = 0;
    return false;
  }
  ib = p;
  while (p < e && *p != ':') ++p;
  ie = p;
  cur = p < e ? p + 1 : nullptr;
  ck = k + 1;
  return true;
}

enum TGtParse { gtOk = 0, gtConversion = -1, gtTooMany = 2 };

// Reads the alleles of one GT text; a leading phase mark (VCF 4.4) is allowed. Alleles that
// do not fit 32 bits become 0xFFFFFFFE so they read as beyond every site's alleles.
inline TGtParse ParseGt(const char* b, const char* e, uint32_t* out, uint32_t maxP, uint32_t& p,
                        bool& unphased) {
  unphased = false;
  p = 0;
  if (b < e && (*b == '/' || *b == '|')) {
    unphased = *b == '/';
    ++b;
  }
  const char* q = b;
  while (true) {
    const char* s = q;
    uint32_t a;
    if (q < e && *q == '.') {
      a = MissingAlleleNo;
      ++q;
    } else {
      uint64_t v = 0;
      while (q < e && *q >= '0' && *q <= '9') {
        if (v < 0xFFFFFFFFull) v = v * 10 + uint64_t(*q - '0');
        ++q;
      }
      if (q == s) return gtConversion;
      a = v >= 0xFFFFFFFEull ? 0xFFFFFFFEu : uint32_t(v);
    }
    if (p >= maxP) return gtTooMany;
    out[p++] = a;
    if (q == e) return gtOk;
    if (*q == '/')
      unphased = true;
    else if (*q != '|')
      return gtConversion;
    ++q;
  }
}

}  // namespace

// What genotype reading writes, and what it knows about the split line.
struct TVCFFile::TGtWalk {
  uint8_t A = 0;
  uint32_t* Act = nullptr;
  uint32_t* Sal = nullptr;
  uint32_t* ActualN = nullptr;
  bool SampleFirst = true;
  bool* Phase = nullptr;
  uint32_t N = 0;            // calls reported
  uint32_t Pos = vcfNone32;  // GT's item in this line's FORMAT; none: every call missing
  const uint32_t* AMap = nullptr;
  uint32_t NRaw = 0;
  uint32_t MaxAllele = 0;
  bool Identity = true;

  // Checks the outputs and resets them: counts 0, alleles missing, ploidy 0, unphased.
  TXtrFuncRes Reset(uint8_t a, uint32_t* act, uint32_t* sal, uint32_t* actualN, bool sampleFirst,
                    bool* phase, uint32_t n) {
    if ((sal && !actualN) || a == 0) return xtrErrInput;
    A = a;
    Act = act;
    Sal = sal;
    ActualN = actualN;
    SampleFirst = sampleFirst;
    Phase = phase;
    N = n;
    const size_t cells = size_t(A) * n;
    if (act) std::memset(act, 0, cells * sizeof(uint32_t));
    if (sal) std::fill(sal, sal + cells, MissingAlleleNo);
    if (actualN) std::memset(actualN, 0, size_t(n) * sizeof(uint32_t));
    if (phase) std::fill(phase, phase + n, false);
    return xtrOK;
  }

  // Where GT sits in the split line's FORMAT and how its allele numbers map to GetAlleles'.
  void Prepare(const TVCFFile& f) {
    Pos = vcfNone32;
    if (f.FNFields <= vcfFormat) return;
    std::string_view fmt = f.Column(f.FSplitVar, vcfFormat);
    Pos = fmt.size() >= 2 && fmt[0] == 'G' && fmt[1] == 'T' && (fmt.size() == 2 || fmt[2] == ':')
              ? 0
              : VcfFindItem(fmt, "GT", ':');
    if (Pos == vcfNone32) return;
    std::string_view alt = f.Column(f.FSplitVar, vcfAlt);
    NRaw = VcfAlleleIndexMap(alt, f.FAlleleMap);
    AMap = f.FAlleleMap.data();
    // Without placeholders GT numbers are already GetAlleles' numbers.
    Identity = alt.find('<') == std::string_view::npos;
    MaxAllele = Act ? std::min<uint32_t>(NRaw, A) : NRaw;
  }

  // Call i's GT text [gb, ge) into the outputs; s is its sample, for the report. Any form:
  // ploidy up to A, a leading phase mark, placeholders (the common form is read in line by
  // WalkCalls).
  __attribute__((noinline)) TXtrFuncRes ReadAny(const TVCFFile& f, uint32_t i, const char* gb,
                                                const char* ge, uint64_t v, uint32_t s,
                                                TXtrGtReport* report) {
    if (ge == gb) return xtrOK;
    uint32_t al[256];
    uint32_t p;
    bool unphased;
    TGtParse r = ParseGt(gb, ge, al, A, p, unphased);
    if (r != gtOk) {
      const TXtrFuncRes res = r == gtTooMany ? xtrErrAlleles : xtrErrConversion;
      if (report) {
        report->Fail = {res, v, s, vcfNone32};
        report->FailLine = f.VariantLineNo(v);
      }
      return res;
    }
    if (Phase) Phase[i] = !unphased;
    if (!Act && !Sal) return xtrOK;
    bool bad = false, placeholder = false;
    if (Identity) {
      for (uint32_t k = 0; k < p; ++k)
        if (al[k] != MissingAlleleNo && al[k] >= MaxAllele) bad = true;
    } else {
      for (uint32_t k = 0; k < p; ++k) {
        uint32_t a = al[k];
        if (a == MissingAlleleNo) continue;
        if (a >= NRaw) {
          bad = true;
          continue;
        }
        uint32_t m = AMap[a];
        if (m == MissingAlleleNo)
          placeholder = true;
        else if (Act && m >= A)
          bad = true;
        al[k] = m;
      }
    }
    if (ActualN) ActualN[i] = p;
    if (bad || placeholder) {
      if (report) {
        if (bad && report->BadAlleleCalls++ == 0) report->FirstBadAlleleLine = f.VariantLineNo(v);
        if (!bad) ++report->PlaceholderCalls;
      }
      return xtrOK;  // every slot stays missing
    }
    for (uint32_t k = 0; k < p; ++k) {
      uint32_t a = al[k];
      if (Act && a != MissingAlleleNo) ++Act[size_t(a) * N + i];
      if (Sal) {
        if (SampleFirst)
          Sal[size_t(i) * A + k] = a;
        else
          Sal[size_t(k) * N + i] = a;
      }
    }
    return xtrOK;
  }
};

// The FORMAT tags asked for, with their slots' base and size taken out of the call loop.
struct TVCFFile::TKeyWalk {
  struct TKey {
    TXtrFmtFuncParam* P;
    uint8_t* Base;
    uint32_t Sz;
    uint32_t Ofs;
    TXtrConversion Conv;
    uint32_t Tag;
  };
  TKey Few[16];
  std::vector<TKey> Many;
  TKey* Keys = Few;
  size_t NK = 0;

  // Checks the records and resets every reported slot to the missing value (or zero bytes).
  static TXtrFuncRes Reset(std::vector<TXtrFmtFuncParam>& params, uint32_t n) {
    for (auto& p : params) {
      if (p.NSmp < n) return xtrErrInput;
      const uint32_t sz = p.SlotSize();
      const bool text = p.Conversion == xtString;
      if (!text && p.ValMissingData.size() > sz) return xtrErrMemory;
      if (text) {
        std::fill(p.ItemBytes.begin(), p.ItemBytes.begin() + n, 0u);
      } else {
        // One slot made, then copied: the reset runs for every variant.
        uint8_t* first = p.Slot(0);
        std::memset(first, 0, sz);
        if (!p.ValMissingData.empty())
          std::memcpy(first, p.ValMissingData.data(), p.ValMissingData.size());
        if (sz == 4) {
          uint32_t w;
          std::memcpy(&w, first, 4);
          uint32_t* q = reinterpret_cast<uint32_t*>(first);
          if ((reinterpret_cast<uintptr_t>(q) & 3) == 0)
            std::fill(q, q + n, w);
          else
            for (uint32_t j = 1; j < n; ++j) std::memcpy(p.Slot(j), first, 4);
        } else {
          for (uint32_t j = 1; j < n; ++j) std::memcpy(p.Slot(j), first, sz);
        }
      }
      p.TagOfs = 0xFFFFFFFFu;
      if (!text) p.ItemBytes.assign(1, 0);
    }
    return xtrOK;
  }

  // Finds every tag in the line's FORMAT text.
  void Prepare(std::string_view fmt, const std::vector<std::string>& tags,
               std::vector<TXtrFmtFuncParam>& params) {
    for (size_t k = 0; k < tags.size(); ++k) {
      params[k].TagOfs = VcfFindItem(fmt, tags[k], ':');
      if (params[k].Conversion != xtString && params[k].TagOfs != 0xFFFFFFFFu)
        params[k].ItemBytes[0] = TypeSz[params[k].Conversion];
    }
    if (tags.size() > 16) {
      Many.resize(tags.size());
      Keys = Many.data();
    }
    NK = 0;
    for (size_t k = 0; k < params.size(); ++k) {
      TXtrFmtFuncParam& p = params[k];
      if (p.TagOfs != 0xFFFFFFFFu)
        Keys[NK++] = {&p, p.Buffer.data(), p.SlotSize(), p.TagOfs, p.Conversion, uint32_t(k)};
    }
  }
};

// One walk over the calls of the split line: for each reported call the GT item and the
// asked tags' items are reached by one cursor that only moves forward while their positions
// increase (GT first, as VCF writes it).
template <bool kGt, bool kKeys>
TXtrFuncRes TVCFFile::WalkCalls(uint64_t v, TGtWalk* gt, TKeyWalk* kw,
                                std::span<const uint32_t> smp, TXtrGtReport* report) const {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());

  const uint32_t nf = FNFields;
  const char* line = FLine;
  const uint32_t* cols = FCols.data();
  // The values of the common cases in locals: the stores into the caller's arrays might
  // otherwise alias them and force them to be read again for every call.
  uint32_t gtPos = vcfNone32, maxAllele = 0, nOut = 0;
  uint32_t *act = nullptr, *sal = nullptr, *actualN = nullptr;
  bool* phase = nullptr;
  bool gtFast = false, sampleFirst = true;
  size_t stride = 0;
  if constexpr (kGt) {
    gtPos = gt->Pos;
    gtFast = gt->Identity && gt->A >= 2;
    maxAllele = gt->MaxAllele;
    act = gt->Act;
    sal = gt->Sal;
    actualN = gt->ActualN;
    phase = gt->Phase;
    sampleFirst = gt->SampleFirst;
    nOut = gt->N;
    stride = gt->A;
  }
  uint8_t* intSlots = nullptr;  // the one tag asked for, when it is an integer
  uint32_t intOfs = 0;
  if constexpr (kKeys) {
    if (kw->NK == 1 && kw->Keys[0].Conv == xtSInt32) {
      intSlots = kw->Keys[0].Base;
      intOfs = kw->Keys[0].Ofs;
    }
  }
  for (uint32_t j = 0; j < n; ++j) {
    uint32_t s = j;
    if (!smp.empty()) {
      s = smp[j];
      if (s >= FNSamples) continue;
    }
    const uint32_t c = vcfSample + s;
    if (c >= nf) continue;
    const char* b = line + cols[c];
    const char* e = line + cols[c + 1] - 1;
    const char* cur = b;
    uint32_t ck = 0;
    const char *ib = nullptr, *ie = nullptr;
    bool gtItem = false;
    if (kGt && gtPos == 0 && e - b >= 3 && (e - b == 3 || b[3] == ':') && b[0] != ':' &&
        (b[1] == '/' || b[1] == '|') && b[2] != ':') {
      // GT first and two alleles of one byte, as nearly always: no scan for its end.
      ib = b;
      ie = b + 3;
      cur = e - b == 3 ? nullptr : b + 4;
      ck = 1;
      gtItem = true;
    } else if (kGt && gtPos != vcfNone32) {
      // A column cut short by the writer before GT: missing call.
      gtItem = SeekItem(b, e, cur, ck, gtPos, ib, ie);
    }
    if (gtItem) {
      // The common form, two one-digit alleles of a site without placeholders, in line.
      const bool three = gtFast && ie - ib == 3;
      const uint32_t d0 = three ? uint32_t(uint8_t(ib[0]) - uint8_t('0')) : 99;
      const uint32_t d2 = three ? uint32_t(uint8_t(ib[2]) - uint8_t('0')) : 99;
      if (three && (ib[1] == '/' || ib[1] == '|') && (d0 <= 9 || ib[0] == '.') &&
          (d2 <= 9 || ib[2] == '.')) {
        if (phase) phase[j] = ib[1] == '|';
        if (act || sal) {
          const uint32_t a0 = d0 > 9 ? MissingAlleleNo : d0;
          const uint32_t a1 = d2 > 9 ? MissingAlleleNo : d2;
          if (actualN) actualN[j] = 2;
          if ((a0 != MissingAlleleNo && a0 >= maxAllele) ||
              (a1 != MissingAlleleNo && a1 >= maxAllele)) {
            // Every slot stays missing.
            if (report && report->BadAlleleCalls++ == 0)
              report->FirstBadAlleleLine = VariantLineNo(v);
          } else {
            if (act) {
              if (a0 != MissingAlleleNo) ++act[size_t(a0) * nOut + j];
              if (a1 != MissingAlleleNo) ++act[size_t(a1) * nOut + j];
            }
            if (sal) {
              if (sampleFirst) {
                sal[size_t(j) * stride] = a0;
                sal[size_t(j) * stride + 1] = a1;
              } else {
                sal[j] = a0;
                sal[size_t(nOut) + j] = a1;
              }
            }
          }
        }
      } else if (const TXtrFuncRes r = gt->ReadAny(*this, j, ib, ie, v, s, report); r != xtrOK) {
        return r;
      }
    }
    if constexpr (kKeys) {
      if (e - b == 1 && *b == '.') continue;  // the whole call is missing
      if (intSlots && ck == intOfs && cur) {
        // The cursor is at the item: a plain count (1 to 9 digits, such as a depth) is read
        // in the same pass that finds the item's end.
        uint32_t u = 0;
        const char* q = cur;
        const char* qe = e - q > 9 ? q + 9 : e;
        uint32_t d;
        while (q < qe && (d = uint32_t(uint8_t(*q) - uint8_t('0'))) <= 9) {
          u = u * 10 + d;
          ++q;
        }
        if (q > cur && (q == e || *q == ':')) {
          const int32_t t = int32_t(u);
          std::memcpy(intSlots + size_t(j) * 4, &t, 4);
          continue;
        }
      }
      for (size_t k = 0; k < kw->NK; ++k) {
        const TKeyWalk::TKey& key = kw->Keys[k];
        uint8_t* slot = key.Base + size_t(j) * key.Sz;
        if (!SeekItem(b, e, cur, ck, key.Ofs, ib, ie)) continue;  // trailing items dropped
        const size_t len = size_t(ie - ib);
        if (key.Conv == xtSInt32 && len - 1 < 9) {
          // A plain count such as a depth: digits only, read in place.
          uint32_t u = 0;
          const char* q = ib;
          for (; q < ie; ++q) {
            const uint32_t d = uint32_t(uint8_t(*q) - uint8_t('0'));
            if (d > 9) break;
            u = u * 10 + d;
          }
          if (q == ie) {
            const int32_t t = int32_t(u);
            std::memcpy(slot, &t, 4);
            continue;
          }
        }
        if (len == 1 && *ib == '.') {
          TXtrFmtFuncParam& p = *key.P;
          if (key.Conv == xtString && !p.ValMissingData.empty()) {
            if (p.ValMissingData.size() > p.BytesAllocated) return xtrErrMemory;
            std::memcpy(slot, p.ValMissingData.data(), p.ValMissingData.size());
            p.ItemBytes[j] = uint32_t(p.ValMissingData.size());
          }
          continue;
        }
        if (key.Conv == xtString) {
          TXtrFmtFuncParam& p = *key.P;
          if (len > p.BytesAllocated) {
            if (report) report->Fail = {xtrErrMemory, v, s, key.Tag};
            return xtrErrMemory;
          }
          std::memcpy(slot, ib, len);
          p.ItemBytes[j] = uint32_t(len);
        } else if (!XtrConvert(std::string_view(ib, len), key.Conv, slot)) {
          if (report) {
            report->Fail = {xtrErrConversion, v, s, key.Tag};
            report->FailLine = VariantLineNo(v);
          }
          return xtrErrConversion;
        }
      }
    }
  }
  return xtrOK;
}

// Column counts of the split line against the header, and malformed lines, for the report.
void TVCFFile::NoteLineShape(uint64_t v, TXtrGtReport* r) const {
  if (!r) return;
  const uint32_t want = vcfSample + FNSamples;
  if (FNSamples > 0 && FNFields < want)
    NoteLine(r->ShortLines, r->FirstShortLine, r->LastShortVariant, v, VariantLineNo(v));
  else if (FNFields > want && FNSamples > 0)
    NoteLine(r->LongLines, r->FirstLongLine, r->LastLongVariant, v, VariantLineNo(v));
  if (FNFields > vcfSample && CallsWithExtraItems(FLine, FCols.data(), FNFields, FNColons))
    NoteLine(r->ExtraItemLines, r->FirstExtraItemLine, r->LastExtraItemVariant, v,
             VariantLineNo(v));
}

// A variant that cannot be read: a malformed line is an input error (LineError() says which),
// a variant beyond the last none.
TXtrFuncRes TVCFFile::LineFail(uint64_t v, TXtrGtReport* r) const {
  if (v >= FNVariants) return xtrOK;
  if (r) {
    r->Fail = {xtrErrInput, v, 0, vcfNone32};
    r->FailLine = VariantLineNo(v);
    r->LineFault = true;
  }
  return xtrErrInput;
}

TXtrFuncRes TVCFFile::XtrGenotypeMem(uint64_t v, uint8_t A, uint32_t* act, uint32_t* sal,
                                     uint32_t* actualN, bool sampleFirst, bool* phase,
                                     std::span<const uint32_t> smp, TXtrGtReport* report) const {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  if (n == 0) return xtrOK;
  TGtWalk gt;
  if (TXtrFuncRes r = gt.Reset(A, act, sal, actualN, sampleFirst, phase, n); r != xtrOK) return r;
  if (!SplitVariant(v)) return LineFail(v, report);
  NoteLineShape(v, report);
  gt.Prepare(*this);
  if (gt.Pos == vcfNone32) return xtrOK;
  return WalkCalls<true, false>(v, &gt, nullptr, smp, report);
}

TXtrFuncRes TVCFFile::XtrGtKeyMem(uint64_t v, const std::vector<std::string>& tags,
                                  std::vector<TXtrFmtFuncParam>& params,
                                  std::span<const uint32_t> smp, TXtrGtReport* report) const {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  if (tags.empty() || params.size() != tags.size() || n == 0) return xtrErrInput;
  if (TXtrFuncRes r = TKeyWalk::Reset(params, n); r != xtrOK) return r;
  if (!SplitVariant(v)) return v < FNVariants ? LineFail(v, report) : xtrErrInput;
  NoteLineShape(v, report);
  std::string_view fmt = Column(v, vcfFormat);
  if (fmt.empty()) return xtrErrInput;
  TKeyWalk kw;
  kw.Prepare(fmt, tags, params);
  if (kw.NK == 0) return xtrOK;
  return WalkCalls<false, true>(v, nullptr, &kw, smp, report);
}

TXtrFuncRes TVCFFile::XtrGenotypeAndKeysMem(uint64_t v, uint8_t A, uint32_t* act, uint32_t* sal,
                                            uint32_t* actualN, bool sampleFirst, bool* phase,
                                            const std::vector<std::string>& tags,
                                            std::vector<TXtrFmtFuncParam>& params,
                                            std::span<const uint32_t> smp,
                                            TXtrGtReport* report) const {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  if (n == 0) return xtrOK;
  if (params.size() != tags.size()) return xtrErrInput;
  TGtWalk gt;
  if (TXtrFuncRes r = gt.Reset(A, act, sal, actualN, sampleFirst, phase, n); r != xtrOK) return r;
  if (TXtrFuncRes r = TKeyWalk::Reset(params, n); r != xtrOK) return r;
  if (!SplitVariant(v)) return LineFail(v, report);
  NoteLineShape(v, report);
  gt.Prepare(*this);
  TKeyWalk kw;
  const std::string_view fmt = Column(v, vcfFormat);
  if (!fmt.empty()) kw.Prepare(fmt, tags, params);
  if (kw.NK == 0)
    return gt.Pos == vcfNone32 ? xtrOK : WalkCalls<true, false>(v, &gt, nullptr, smp, report);
  if (gt.Pos == vcfNone32) return WalkCalls<false, true>(v, nullptr, &kw, smp, report);
  return WalkCalls<true, true>(v, &gt, &kw, smp, report);
}

namespace {
// Dosage of a call from its two alleles as XtrGenotypeMem lists them (A = 2).
inline uint8_t DoseOf(uint32_t a0, uint32_t a1) {
  const uint32_t lo = std::min(a0, a1), hi = std::max(a0, a1);
  if (lo > 1 || (hi > 1 && hi != MissingAlleleNo)) return TVCFFile::DoseNotScored;
  return uint8_t(lo + (hi == MissingAlleleNo ? lo : hi));
}

// A call's depth: DP's item read as a number, 0 when absent or not a number.
uint32_t CallDepth(const char* b, const char* e, uint32_t dpPos) {
  const char* cur = b;
  uint32_t ck = 0;
  const char *ib, *ie;
  uint32_t x = 0;
  if (!SeekItem(b, e, cur, ck, dpPos, ib, ie)) return 0;
  return XtrConvert(std::string_view(ib, size_t(ie - ib)), xtUInt32, &x) ? x : 0;
}
}  // namespace

TXtrFuncRes TVCFFile::XtrDosageMem(uint64_t v, uint8_t* code, size_t stride, uint32_t minDepth,
                                   bool* depthKey, TXtrGtReport* report) const {
  static_assert(DoseNotScored == 3);
  if (depthKey) *depthKey = false;
  const uint32_t n = FNSamples;
  if (n == 0) return xtrOK;
  if (!SplitVariant(v)) return LineFail(v, report);
  NoteLineShape(v, report);
  // The general path reads one call at a time into this pair.
  uint32_t pair[2], ploidy = 0;
  TGtWalk gt;
  if (TXtrFuncRes r = gt.Reset(2, nullptr, pair, &ploidy, true, nullptr, 1); r != xtrOK) return r;
  gt.Prepare(*this);
  uint32_t dpPos = vcfNone32;
  if (FNFields > vcfFormat) dpPos = VcfFindItem(Column(v, vcfFormat), "DP", ':');
  if (depthKey) *depthKey = dpPos != vcfNone32;
  const uint32_t nf = FNFields;
  const uint32_t nn = gt.Pos == vcfNone32 || nf <= vcfSample ? 0 : std::min(n, nf - vcfSample);
  for (uint32_t j = nn; j < n; ++j) code[size_t(j) * stride] = DoseNotScored;
  if (nn == 0) return xtrOK;
  const char* line = FLine;
  const uint32_t* cols = FCols.data() + vcfSample;
  for (uint32_t j = 0; j < nn; ++j) {
    // One call at a time through the general walk, as the allele lists read it.
    pair[0] = pair[1] = MissingAlleleNo;
    const uint32_t one = j;
    if (TXtrFuncRes r = WalkCalls<true, false>(v, &gt, nullptr, {&one, 1}, report); r != xtrOK)
      return r;
    uint8_t c = DoseOf(pair[0], pair[1]);
    if (c != DoseNotScored && minDepth > 0) {
      const char* b = line + cols[j];
      const uint32_t depth = dpPos == vcfNone32 ? 0 : CallDepth(b, line + cols[j + 1] - 1, dpPos);
      if (depth < minDepth) c = DoseNotScored;
    }
    code[size_t(j) * stride] = c;
  }
  return xtrOK;
}

namespace {
// A plain count of 1 to 9 digits in [q, e): true with its value, or an empty item or "."
// (depth 0). False for anything else.
inline bool PlainDepth(const char* q, const char* e, uint32_t& depth) {
  depth = 0;
  if (e == q || (e - q == 1 && *q == '.')) return true;
  if (e - q > 9) return false;
  uint32_t u = 0;
  for (; q < e; ++q) {
    const uint32_t d = uint32_t(uint8_t(*q) - uint8_t('0'));
    if (d > 9) return false;
    u = u * 10 + d;
  }
  depth = u;
  return true;
}

}  // namespace

uint32_t VcfCommonFormSite(std::string_view format, std::string_view alt) {
  if (format.size() < 2 || format[0] != 'G' || format[1] != 'T' ||
      (format.size() > 2 && format[2] != ':'))
    return 0;
  // Without placeholders GT numbers are already the site's allele numbers.
  if (alt.find('<') != std::string_view::npos) return 0;
  thread_local std::vector<uint32_t> map;
  const uint32_t n = VcfAlleleIndexMap(alt, map);
  return n >= 2 && n <= 9 ? n : 0;
}

bool VcfCommonCallsOfLine(const char* line, uint32_t lineLen, const uint32_t* cols, uint32_t nCalls,
                          uint32_t dpPos, uint32_t nAlleles, uint8_t* pair, uint32_t* depth) {
  if (nAlleles < 2 || nAlleles > 9) return false;
  const char* const lineEnd = line + lineLen;
  const uint32_t w = nAlleles + 1;
  const uint8_t missing = uint8_t(nAlleles * w + nAlleles);
  // Allele byte less '.': '.' 0 (missing), '/' 1 (not taken), '0' 2, '1' 3, ...
  uint8_t slot[12];
  slot[0] = uint8_t(nAlleles);
  for (uint32_t t = 1; t < 12; ++t) slot[t] = t >= 2 && t - 2 < nAlleles ? uint8_t(t - 2) : 0xFF;
  for (uint32_t j = 0; j < nCalls; ++j) {
    const char* b = line + cols[j];
    const uint32_t len = cols[j + 1] - 1 - cols[j];
    if (len == 1 && b[0] == '.') {  // the whole call missing
      pair[j] = missing;
      if (depth) depth[j] = 0;
      continue;
    }
    if (len < 3 || (b[1] != '/' && b[1] != '|') || (len > 3 && b[3] != ':')) return false;
    const uint32_t t0 = uint32_t(uint8_t(b[0]) - uint8_t('.'));
    const uint32_t t2 = uint32_t(uint8_t(b[2]) - uint8_t('.'));
    if (t0 >= 12 || t2 >= 12 || ((slot[t0] | slot[t2]) & 0x80)) return false;
    pair[j] = uint8_t(w * slot[t0] + slot[t2]);
    if (!depth) continue;
    const char* e = b + len;
    if (dpPos == vcfNone32) {
      depth[j] = 0;
    } else if (dpPos == 1) {
      // GT:DP as nearly always: the item right after the genotype.
      const char* q = len > 3 ? b + 4 : e;
      // One to three digits ended by ':' or the call's end, read as one word: a loop over a
      // count of one or two digits guesses its end wrong about every other call.
      if (q + 4 <= lineEnd && q < e) {
        uint32_t w;
        std::memcpy(&w, q, 4);
        const uint32_t x = w ^ 0x30303030u;  // digits become 0 .. 9
        const uint32_t notDigit = (((x & 0x7F7F7F7Fu) + 0x76767676u) | x) & 0x80808080u;
        const uint32_t nd = notDigit ? uint32_t(__builtin_ctz(notDigit)) / 8 : 4;
        if (nd >= 1 && nd <= 3 && (q + nd == e || q[nd] == ':')) {
          uint32_t u = x << (8 * (4 - nd));  // right-aligned, zeros in front
          u = u * 10 + (u >> 8);
          depth[j] = (u & 0xFF) * 100 + ((u >> 16) & 0xFF);
          continue;
        }
      }
      const char* qe = q;
      while (qe < e && *qe != ':') ++qe;
      if (!PlainDepth(q, qe, depth[j])) return false;
    } else {
      const char* cur = b;
      uint32_t ck = 0;
      const char *ib, *ie;
      if (!SeekItem(b, e, cur, ck, dpPos, ib, ie))
        depth[j] = 0;
      else if (!PlainDepth(ib, ie, depth[j]))
        return false;
    }
  }
  return true;
}

bool VcfLineShapeUsual(const char* line, const uint32_t* cols, uint32_t nFields, uint32_t nColons,
                       uint32_t nSamples) {
  return nSamples != 0 && nFields == vcfSample + nSamples &&
         !CallsWithExtraItems(line, cols, nFields, nColons);
}

bool TVCFFile::XtrBiallelicCallsMem(uint64_t v, uint8_t* pair, uint32_t* depth, bool* depthKey,
                                    TXtrGtReport* report) const {
  if (depthKey) *depthKey = false;
  const uint32_t n = FNSamples;
  if (n == 0 || !SplitVariant(v) || FNFields <= vcfFormat) return false;
  const std::string_view fmt = Column(v, vcfFormat);
  if (VcfCommonFormSite(fmt, Column(v, vcfAlt)) != 2) return false;
  const uint32_t dpPos = VcfFindItem(fmt, "DP", ':');
  if (depthKey) *depthKey = dpPos != vcfNone32;
  NoteLineShape(v, report);
  const uint32_t nf = FNFields;
  const uint32_t nn = nf <= vcfSample ? 0 : std::min(n, nf - vcfSample);
  for (uint32_t j = nn; j < n; ++j) {
    pair[j] = 8;
    if (depth) depth[j] = 0;
  }
  return VcfCommonCallsOfLine(FLine, FLineLen, FCols.data() + vcfSample, nn, dpPos, 2, pair, depth);
}

namespace {
void InsertSorted(std::vector<std::string>& list, std::string_view key) {
  auto it =
      std::lower_bound(list.begin(), list.end(), key,
                       [](const std::string& a, std::string_view b) { return VcfNameLess(a, b); });
  if (it == list.end() || *it != key) list.insert(it, std::string(key));
}
}  // namespace

std::vector<std::string> TVCFFile::GetInfoKeysPresent(uint64_t from, uint64_t to) {
  std::vector<std::string> r;
  if (FNVariants == 0) return r;
  to = std::min(to, FNVariants - 1);
  const bool useSel = FSelectionMade && NSelected() != FNVariants;
  for (uint64_t v = from; v <= to; ++v) {
    if (useSel && !IsSelected(v)) continue;
    std::string_view info = Column(v, vcfInfo);
    if (info == "." || info.empty()) continue;
    size_t b = 0;
    while (b <= info.size()) {
      size_t e = info.find(';', b);
      if (e == std::string_view::npos) e = info.size();
      std::string_view item = info.substr(b, e - b);
      item = item.substr(0, item.find('='));
      if (!item.empty()) InsertSorted(r, item);
      b = e + 1;
    }
  }
  return r;
}

std::vector<std::string> TVCFFile::GetGtKeysPresent(uint64_t from, uint64_t to) {
  std::vector<std::string> r;
  if (FNVariants == 0) return r;
  to = std::min(to, FNVariants - 1);
  const bool useSel = FSelectionMade && NSelected() != FNVariants;
  for (uint64_t v = from; v <= to; ++v) {
    if (useSel && !IsSelected(v)) continue;
    std::string_view fmt = Column(v, vcfFormat);
    if (fmt.empty()) continue;
    size_t b = 0;
    while (b <= fmt.size()) {
      size_t e = fmt.find(':', b);
      if (e == std::string_view::npos) e = fmt.size();
      if (e > b) InsertSorted(r, fmt.substr(b, e - b));
      b = e + 1;
    }
  }
  return r;
}

std::vector<uint64_t> TVCFFile::SampleSummaryMissingGtCalls(std::span<const uint32_t> smp) {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  std::vector<uint64_t> cnt(n, 0);
  if (n == 0) return cnt;
  if (!FSelectionMade) ClearSelection(true);
  const uint8_t A = 255;
  std::vector<uint32_t> sal(size_t(A) * n), ploidy(n);
  for (uint64_t v = 0; v < FNVariants; ++v) {
    if (!IsSelected(v)) continue;
    TXtrFuncRes r = XtrGenotypeMem(v, A, nullptr, sal.data(), ploidy.data(), true, nullptr, smp);
    if (r != xtrOK) continue;  // an unreadable genotype is an error, not a missing call
    const uint32_t nf = NColumns(v);
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t s = smp.empty() ? i : smp[i];
      if (s >= FNSamples || vcfSample + s >= nf) continue;  // absent column: not counted
      bool allMissing = true;
      for (uint32_t k = 0; k < ploidy[i]; ++k)
        if (sal[size_t(i) * A + k] != MissingAlleleNo) allMissing = false;
      if (allMissing) ++cnt[i];
    }
  }
  return cnt;
}
