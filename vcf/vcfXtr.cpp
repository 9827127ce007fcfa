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
  if (conv == xtSInt32 && ShortDigits(s, i)) {
    const int32_t t = int32_t(i);
    std::memcpy(dst, &t, 4);
    return true;
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

void NoteShortLine(TXtrGtReport* r, uint64_t v, uint64_t lineNo) {
  if (!r || r->LastShortVariant == v) return;
  r->LastShortVariant = v;
  if (r->ShortLines++ == 0) r->FirstShortLine = lineNo;
}

// The k-th ':' item of [b, e): false when the column has fewer items.
inline bool NthColonItem(const char* b, const char* e, uint32_t k, const char*& ib,
                         const char*& ie) {
  const char* p = b;
  for (uint32_t i = 0; i < k; ++i) {
    while (p < e && *p != ':') ++p;
    if (p == e) return false;
    ++p;
  }
  ib = p;
  while (p < e && *p != ':') ++p;
  ie = p;
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

TXtrFuncRes TVCFFile::XtrGenotypeMem(uint64_t v, uint8_t A, uint32_t* act, uint32_t* sal,
                                     uint32_t* actualN, bool sampleFirst, bool* phase,
                                     std::span<const uint32_t> smp, TXtrGtReport* report) const {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  if (n == 0) return xtrOK;
  if ((sal && !actualN) || A == 0) return xtrErrInput;
  const size_t cells = size_t(A) * n;
  if (act) std::memset(act, 0, cells * sizeof(uint32_t));
  if (sal) std::fill(sal, sal + cells, MissingAlleleNo);
  if (actualN) std::memset(actualN, 0, size_t(n) * sizeof(uint32_t));
  if (phase) std::fill(phase, phase + n, false);
  if (!SplitVariant(v)) return xtrOK;
  const uint32_t nf = FNFields;
  const char* line = FLine.data();
  if (FNSamples > 0 && nf < 9 + FNSamples) NoteShortLine(report, v, VariantLineNo(v));
  if (nf <= vcfFormat) return xtrOK;
  std::string_view fmt(line + FCols[vcfFormat], FCols[vcfFormat + 1] - 1 - FCols[vcfFormat]);
  const uint32_t gtPos =
      fmt.size() >= 2 && fmt[0] == 'G' && fmt[1] == 'T' && (fmt.size() == 2 || fmt[2] == ':')
          ? 0
          : VcfFindItem(fmt, "GT", ':');
  if (gtPos == 0xFFFFFFFFu) return xtrOK;
  std::string_view alt(line + FCols[vcfAlt], FCols[vcfAlt + 1] - 1 - FCols[vcfAlt]);
  const uint32_t nRaw = VcfAlleleIndexMap(alt, FAlleleMap);
  const uint32_t* amap = FAlleleMap.data();
  // Without placeholders GT numbers are already GetAlleles' numbers.
  const bool identity = alt.find('<') == std::string_view::npos;
  const uint32_t maxAllele = act ? std::min<uint32_t>(nRaw, A) : nRaw;
  const uint32_t* cols = FCols.data();
  uint32_t al[256];

  for (uint32_t i = 0; i < n; ++i) {
    uint32_t s = i;
    if (!smp.empty()) {
      s = smp[i];
      if (s >= FNSamples) continue;
    }
    const uint32_t c = vcfSample + s;
    if (c >= nf) continue;
    const char* b = line + cols[c];
    const char* e = line + cols[c + 1] - 1;
    const char *gb, *ge;
    if (gtPos == 0) {
      gb = b;
      ge = b;
      while (ge < e && *ge != ':') ++ge;
    } else if (!NthColonItem(b, e, gtPos, gb, ge)) {
      continue;  // a column cut short by the writer: missing call
    }
    if (ge == gb) continue;
    uint32_t p;
    bool unphased;
    // The common form: two one-digit alleles.
    if (ge - gb == 3 && (gb[1] == '/' || gb[1] == '|') &&
        ((gb[0] >= '0' && gb[0] <= '9') || gb[0] == '.') &&
        ((gb[2] >= '0' && gb[2] <= '9') || gb[2] == '.') && A >= 2) {
      al[0] = gb[0] == '.' ? MissingAlleleNo : uint32_t(gb[0] - '0');
      al[1] = gb[2] == '.' ? MissingAlleleNo : uint32_t(gb[2] - '0');
      p = 2;
      unphased = gb[1] == '/';
    } else {
      TGtParse r = ParseGt(gb, ge, al, A, p, unphased);
      if (r != gtOk) {
        if (report) {
          report->Fail = {r == gtTooMany ? xtrErrAlleles : xtrErrConversion, v, s};
          report->FailLine = VariantLineNo(v);
        }
        return r == gtTooMany ? xtrErrAlleles : xtrErrConversion;
      }
    }
    if (phase) phase[i] = !unphased;
    if (!act && !sal) continue;
    bool bad = false, placeholder = false;
    if (identity) {
      for (uint32_t k = 0; k < p; ++k)
        if (al[k] != MissingAlleleNo && al[k] >= maxAllele) bad = true;
    } else
      for (uint32_t k = 0; k < p; ++k) {
        uint32_t a = al[k];
        if (a == MissingAlleleNo) continue;
        if (a >= nRaw) {
          bad = true;
          continue;
        }
        uint32_t m = amap[a];
        if (m == MissingAlleleNo)
          placeholder = true;
        else if (act && m >= A)
          bad = true;
        al[k] = m;
      }
    if (actualN) actualN[i] = p;
    if (bad || placeholder) {
      if (report) {
        if (bad && report->BadAlleleCalls++ == 0) report->FirstBadAlleleLine = VariantLineNo(v);
        if (!bad) ++report->PlaceholderCalls;
      }
      continue;  // every slot stays missing
    }
    for (uint32_t k = 0; k < p; ++k) {
      uint32_t a = al[k];
      if (act && a != MissingAlleleNo) ++act[size_t(a) * n + i];
      if (sal) {
        if (sampleFirst)
          sal[size_t(i) * A + k] = a;
        else
          sal[size_t(k) * n + i] = a;
      }
    }
  }
  return xtrOK;
}

TXtrFuncRes TVCFFile::XtrGtKeyMem(uint64_t v, const std::vector<std::string>& tags,
                                  std::vector<TXtrFmtFuncParam>& params,
                                  std::span<const uint32_t> smp, TXtrGtReport* report) const {
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  if (tags.empty() || params.size() != tags.size() || n == 0) return xtrErrInput;
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
  std::string_view fmt = Column(v, vcfFormat);
  if (fmt.empty()) return xtrErrInput;
  const uint32_t nf = FNFields;
  const char* line = FLine.data();
  if (FNSamples > 0 && nf < 9 + FNSamples) NoteShortLine(report, v, VariantLineNo(v));
  for (size_t k = 0; k < tags.size(); ++k) {
    params[k].TagOfs = VcfFindItem(fmt, tags[k], ':');
    if (params[k].Conversion != xtString && params[k].TagOfs != 0xFFFFFFFFu)
      params[k].ItemBytes[0] = TypeSz[params[k].Conversion];
  }
  // The keys present in this FORMAT, with their slots' base and size taken out of the loop.
  struct TKey {
    TXtrFmtFuncParam* P;
    uint8_t* Base;
    uint32_t Sz;
    uint32_t Ofs;
    TXtrConversion Conv;
  };
  TKey keys[16];
  std::vector<TKey> manyKeys;
  TKey* kp = keys;
  size_t nk = 0;
  if (tags.size() > 16) {
    manyKeys.resize(tags.size());
    kp = manyKeys.data();
  }
  for (auto& p : params)
    if (p.TagOfs != 0xFFFFFFFFu)
      kp[nk++] = {&p, p.Buffer.data(), p.SlotSize(), p.TagOfs, p.Conversion};
  if (nk == 0) return xtrOK;
  const uint32_t* cols = FCols.data();
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
    if (e - b == 1 && *b == '.') continue;  // the whole call is missing
    for (size_t k = 0; k < nk; ++k) {
      const TKey& key = kp[k];
      const char *ib, *ie;
      if (!NthColonItem(b, e, key.Ofs, ib, ie)) continue;  // trailing items dropped
      const size_t len = size_t(ie - ib);
      uint8_t* slot = key.Base + size_t(j) * key.Sz;
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
          if (report) report->Fail = {xtrErrMemory, v, s};
          return xtrErrMemory;
        }
        std::memcpy(slot, ib, len);
        p.ItemBytes[j] = uint32_t(len);
      } else if (!XtrConvert(std::string_view(ib, len), key.Conv, slot)) {
        if (report) {
          report->Fail = {xtrErrConversion, v, s};
          report->FailLine = VariantLineNo(v);
        }
        return xtrErrConversion;
      }
    }
  }
  return xtrOK;
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
