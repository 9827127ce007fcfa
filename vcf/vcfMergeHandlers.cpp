// The default merge handlers and the allele and genotype merging behind them.
#include "vcf/vcfMergeHandlers.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/korStr.h"
#include "vcf/bioVCFTypes.h"
#include "vcf/vcfAlleles.h"

namespace {

constexpr uint32_t kMiss = MissingAlleleNo;
constexpr uint32_t kUnlimited = 0xFFFFFFFFu;

std::vector<std::string_view> SplitMetaLines(std::string_view t) {
  std::vector<std::string_view> r;
  if (t.empty()) return r;
  const bool lf = t.find('\n') != std::string_view::npos;
  const bool cr = t.find('\r') != std::string_view::npos;
  const char brk = lf || !cr ? '\n' : '\r';
  size_t b = 0;
  while (b < t.size()) {
    size_t e = t.find(brk, b);
    if (e == std::string_view::npos) e = t.size();
    std::string_view l = t.substr(b, e - b);
    if (lf && cr && !l.empty() && l.back() == '\r') l.remove_suffix(1);
    r.push_back(l);
    b = e + 1;
  }
  return r;
}

// "INFO" and "DP" of "##INFO=<ID=DP,...>"; false for a line that is no definition.
bool DefinitionKey(std::string_view l, std::string_view& type, std::string_view& id) {
  if (!l.starts_with("##")) return false;
  const size_t eq = l.find('=');
  if (eq == std::string_view::npos || eq + 1 >= l.size() || l[eq + 1] != '<') return false;
  type = l.substr(2, eq - 2);
  std::string_view body = l.substr(eq + 2);
  size_t p = 0;
  while (p < body.size()) {
    if (body.substr(p).starts_with("ID=")) {
      const size_t b = p + 3;
      size_t e = b;
      while (e < body.size() && body[e] != ',' && body[e] != '>') ++e;
      id = body.substr(b, e - b);
      return true;
    }
    const size_t c = body.find(',', p);
    if (c == std::string_view::npos) break;
    p = c + 1;
  }
  return false;
}

std::vector<std::string> SplitAlts(std::string_view alt) {
  TAStr r;
  Str2AStr(alt, ',', r, true);
  return r;
}

bool IsRealAllele(std::string_view a) {
  return !a.empty() && a != "." && a != "*" && a[0] != '<' &&
         a.find('[') == std::string_view::npos && a.find(']') == std::string_view::npos;
}

uint32_t IndexOf(const TVcfMergedAlleles& m, std::string_view a) {
  if (a == m.combRef) return 0;
  for (size_t i = 0; i < m.combAltAlleles.size(); ++i)
    if (m.combAltAlleles[i] == a) return uint32_t(i + 1);
  return kMiss;
}

// Writes text to the handler's output, or says how much room it needs.
TVcfMergeHandlerResult Emit(TVcfVariantMergeHandlerParams& p, std::string_view t) {
  p.out_ActualOutLength = uint32_t(t.size());
  if (t.size() > p.MaxOutLength) return vmInsufficientMemory;
  if (!p.pDefaultOut && !t.empty()) return vmFAILED;
  if (!t.empty()) std::memcpy(p.pDefaultOut, t.data(), t.size());
  p.out_PActualOut = p.pDefaultOut;
  return vmMergeOK;
}

bool ReadCount(const char* p, uint32_t l, uint64_t& v) {
  if (!p || l == 0 || l > 19) return false;
  v = 0;
  for (uint32_t i = 0; i < l; ++i) {
    const uint32_t d = uint32_t(uint8_t(p[i]) - '0');
    if (d > 9) return false;
    v = v * 10 + d;
  }
  return true;
}

TVcfMergeHandlerResult SumMerge(TVcfVariantMergeHandlerParams& p) {
  uint64_t a = 0, b = 0;
  const bool ha = ReadCount(p.pKeyValueStr1, p.LKeyValueStr1, a);
  const bool hb = ReadCount(p.pKeyValueStr2, p.LKeyValueStr2, b);
  if (!ha && !hb) return Emit(p, ".");
  uint64_t s = (ha ? a : 0) + (hb ? b : 0);
  if ((ha && a > 0xFFFFFFFFull) || (hb && b > 0xFFFFFFFFull) || s > 0xFFFFFFFFull)
    s = 0xFFFFFFFFull;
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, uint32_t(s));
  return Emit(p, std::string_view(buf, size_t(r.ptr - buf)));
}

std::string_view AltOf(const char* pRefAlt, uint32_t lRef, uint32_t lAlt) {
  if (!pRefAlt) return {};
  return std::string_view(pRefAlt + lRef + 1, lAlt);
}

bool OnlyPlaceholders(std::string_view alt) {
  if (alt.empty() || alt == ".") return false;
  for (const std::string& a : SplitAlts(alt))
    if (!VcfIsPlaceholderAllele(a)) return false;
  return true;
}

// The merged list of the current line, kept while the samples of one line are merged.
struct TAlleleCache {
  std::string Key1, Key2;
  TVcfMergedAlleles A;
  bool Ok = false;
};

const TAlleleCache& CachedAlleles(const TVcfVariantMergeHandlerParams& p) {
  thread_local TAlleleCache c;
  const std::string_view k1(p.pRefAlt1, p.LRef1 + 1 + p.LAlt1);
  const std::string_view k2(p.pRefAlt2, p.LRef2 + 1 + p.LAlt2);
  if (k1 != c.Key1 || k2 != c.Key2 || c.Key1.empty()) {
    c.Key1.assign(k1);
    c.Key2.assign(k2);
    c.Ok = VcfMergeAlleleLists(k1.substr(0, p.LRef1), k1.substr(p.LRef1 + 1), k2.substr(0, p.LRef2),
                               k2.substr(p.LRef2 + 1), true, c.A);
  }
  return c;
}

// The number of alleles of a genotype text ("0/1" 2, "." 1, "" 0).
uint32_t Ploidy(std::string_view g) {
  if (g.empty()) return 0;
  uint32_t n = 1;
  for (size_t i = 0; i < g.size(); ++i)
    if ((g[i] == '/' || g[i] == '|') && i + 1 < g.size()) ++n;
  return n;
}

bool SplitGenotype(std::string_view g, std::vector<uint32_t>& out, bool& missingSide) {
  out.clear();
  size_t b = 0;
  std::vector<std::string_view> items;
  while (b < g.size()) {
    size_t e = b;
    while (e < g.size() && g[e] != '/' && g[e] != '|') ++e;
    items.push_back(g.substr(b, e - b));
    b = e + 1;
  }
  missingSide = items.empty() || (items.size() == 1 && items[0] == ".");
  for (std::string_view it : items) {
    uint64_t v = 0;
    out.push_back(VcfReadPlainUInt(it, v) && v < kMiss ? uint32_t(v) : kMiss);
  }
  return !items.empty();
}

}  // namespace

TVcfMergeHandlerResult HMergeMetaText_Default(const char* pMetaText1, const char* pMetaText2,
                                              uint32_t lMetaText1, uint32_t lMetaText2,
                                              std::vector<std::string>& out, void* extraPtr) {
  out.clear();
  if (lMetaText1 == 0 && lMetaText2 == 0) return vmMergeOK;
  auto* report = static_cast<TVcfMetaMergeReport*>(extraPtr);
  const auto l1 = SplitMetaLines(std::string_view(pMetaText1, lMetaText1));
  const auto l2 = SplitMetaLines(std::string_view(pMetaText2, lMetaText2));
  std::vector<std::string_view> seen;
  std::vector<std::pair<std::string, std::string_view>> defs;  // "TYPE\tID" -> line
  bool fileformat = false;
  for (std::string_view l : l1) {
    if (l.empty()) continue;
    out.emplace_back(l);
    seen.push_back(l);
    fileformat = fileformat || l.starts_with("##fileformat=");
    std::string_view type, id;
    if (DefinitionKey(l, type, id))
      defs.emplace_back(std::string(type) + "\t" + std::string(id), l);
  }
  std::sort(seen.begin(), seen.end());
  std::sort(defs.begin(), defs.end());
  for (std::string_view l : l2) {
    if (l.empty() || std::binary_search(seen.begin(), seen.end(), l)) continue;
    if (fileformat && l.starts_with("##fileformat=")) continue;
    std::string_view type, id;
    if (DefinitionKey(l, type, id)) {
      const std::string key = std::string(type) + "\t" + std::string(id);
      auto it = std::lower_bound(defs.begin(), defs.end(), key,
                                 [](const std::pair<std::string, std::string_view>& d,
                                    const std::string& k) { return d.first < k; });
      if (it != defs.end() && it->first == key) {
        if (report)
          report->Warnings.push_back("The second file defines " + std::string(type) + " " +
                                     std::string(id) + " differently; the first file's kept");
        continue;
      }
    }
    out.emplace_back(l);
  }
  return vmMergeOK;
}

TVcfMergeHandlerResult HInfoMerge_Default(TVcfVariantMergeHandlerParams& p) {
  std::string t;
  if (p.LKeyValueStr1) t.assign(p.pKeyValueStr1, p.LKeyValueStr1);
  if (p.LKeyValueStr1 && p.LKeyValueStr2) t += ',';
  if (p.LKeyValueStr2) t.append(p.pKeyValueStr2, p.LKeyValueStr2);
  return Emit(p, t);
}

TVcfMergeHandlerResult HInfoSumMerge(TVcfVariantMergeHandlerParams& p) { return SumMerge(p); }

TVcfMergeHandlerResult HGtDPMerge_Default(TVcfVariantMergeHandlerParams& p) { return SumMerge(p); }

TVcfMergeHandlerResult HInfoEndMerge(TVcfVariantMergeHandlerParams& p) {
  const bool in1 = p.LRef1 + p.LAlt1 + 1 > 2, in2 = p.LRef2 + p.LAlt2 + 1 > 2;
  const bool blk1 = in1 && OnlyPlaceholders(AltOf(p.pRefAlt1, p.LRef1, p.LAlt1));
  const bool blk2 = in2 && OnlyPlaceholders(AltOf(p.pRefAlt2, p.LRef2, p.LAlt2));
  const std::string_view v1(p.pKeyValueStr1 ? p.pKeyValueStr1 : "", p.LKeyValueStr1);
  const std::string_view v2(p.pKeyValueStr2 ? p.pKeyValueStr2 : "", p.LKeyValueStr2);
  std::string_view v;
  if (!v1.empty() && !v2.empty())
    v = blk1 && !blk2 ? v2 : v1;
  else if (!v1.empty())
    v = in2 && blk1 && !blk2 ? std::string_view() : v1;
  else if (!v2.empty())
    v = in1 && blk2 && !blk1 ? std::string_view() : v2;
  if (v.empty()) return vmExcludeInfoTag;
  return Emit(p, v);
}

bool VcfMergeAlleleLists(std::string_view ref1, std::string_view alt1, std::string_view ref2,
                         std::string_view alt2, bool tryOmit, TVcfMergedAlleles& m) {
  m = TVcfMergedAlleles();
  std::vector<std::string> a1 = SplitAlts(alt1), a2 = SplitAlts(alt2);
  m.AltAlleles2 = a2;
  std::string r1(ref1), r2(ref2);
  if (r1 == "<*>" && r2 != "<*>") r1 = r2;
  if (r2 == "<*>") r2 = r1;
  if (r1 != r2) {
    // The shorter REF takes the longer one's remaining bases, and so do its alleles.
    const bool ext1 = r2.starts_with(r1);
    if (!ext1 && !r1.starts_with(r2)) return false;
    std::string& shortRef = ext1 ? r1 : r2;
    const std::string& longRef = ext1 ? r2 : r1;
    const std::string suffix = longRef.substr(shortRef.size());
    for (std::string& a : ext1 ? a1 : a2)
      if (IsRealAllele(a)) a += suffix;
    shortRef = longRef;
  }
  m.combRef = r1;
  m.Ref2 = r2;
  bool placeholder = false;
  auto add = [&](const std::string& a) {
    if (a == "." || a.empty()) return;
    if (VcfIsPlaceholderAllele(a)) {
      placeholder = true;
      return;
    }
    if (a == m.combRef) return;
    if (std::find(m.combAltAlleles.begin(), m.combAltAlleles.end(), a) != m.combAltAlleles.end())
      return;
    m.combAltAlleles.push_back(a);
  };
  for (const std::string& a : a1) add(a);
  for (const std::string& a : a2) add(a);
  if (placeholder && (m.combAltAlleles.empty() || !tryOmit)) m.combAltAlleles.push_back("<*>");
  if (m.combAltAlleles.empty()) m.combAltAlleles.push_back(".");
  auto mapOf = [&](const std::vector<std::string>& alts, std::vector<uint32_t>& map) {
    map.assign(1, 0);
    for (const std::string& a : alts) {
      uint32_t k = a == "." ? kMiss : IndexOf(m, a);
      if (k == kMiss && VcfIsPlaceholderAllele(a)) k = IndexOf(m, "<*>");
      map.push_back(k);
    }
  };
  mapOf(a1, m.Map1);
  mapOf(a2, m.Map2);
  for (size_t n = 0; n < m.Map1.size(); ++n) m.Identity1 = m.Identity1 && m.Map1[n] == n;
  return true;
}

uint32_t GetMergedRefAltAlleles(const char* pRefAlt1, const char* pRefAlt2, uint32_t LRef1,
                                uint32_t LRef2, uint32_t LAlt1, uint32_t LAlt2,
                                std::string& combRef, std::vector<std::string>& combAltAlleles,
                                std::string& Ref2, std::vector<std::string>& AltAlleles2,
                                bool TryOmitNonRefAlt) {
  TVcfMergedAlleles m;
  const std::string_view t1(pRefAlt1, LRef1 + 1 + LAlt1), t2(pRefAlt2, LRef2 + 1 + LAlt2);
  if (!VcfMergeAlleleLists(t1.substr(0, LRef1), t1.substr(LRef1 + 1), t2.substr(0, LRef2),
                           t2.substr(LRef2 + 1), TryOmitNonRefAlt, m))
    return 0;
  combRef = m.combRef;
  combAltAlleles = m.combAltAlleles;
  Ref2 = m.Ref2;
  AltAlleles2 = m.AltAlleles2;
  return uint32_t(combAltAlleles.size() + 1);
}

TVcfMergeHandlerResult HMergeAlleles_Default(TVcfVariantMergeHandlerParams& p) {
  if (!p.pDefaultOut) return vmFAILED;
  p.out_PActualOut = p.pDefaultOut;
  const uint32_t l1 = p.LRef1 + p.LAlt1 + 1, l2 = p.LRef2 + p.LAlt2 + 1;
  const bool both = l1 > 2 && l2 > 2;
  const bool identical = both && l1 == l2 && std::memcmp(p.pRefAlt1, p.pRefAlt2, l1) == 0;
  if (!both || identical) {
    if (identical || l1 > l2) return Emit(p, std::string_view(p.pRefAlt1, l1));
    return Emit(p, std::string_view(p.pRefAlt2, l2));
  }
  if (uint64_t(l1) + l2 + 1 > p.MaxOutLength) {
    p.out_ActualOutLength = l1 + l2 + 1;
    // A reconciled REF lengthens the alleles: the real need is known only after merging.
    const TAlleleCache& c = CachedAlleles(p);
    if (c.Ok) {
      uint32_t n = uint32_t(c.A.combRef.size()) + 1;
      for (size_t i = 0; i < c.A.combAltAlleles.size(); ++i)
        n += uint32_t(c.A.combAltAlleles[i].size()) + (i ? 1 : 0);
      p.out_ActualOutLength = std::max(p.out_ActualOutLength, n);
    }
    return vmInsufficientMemory;
  }
  const TAlleleCache& c = CachedAlleles(p);
  if (!c.Ok) return vmFAILED;
  std::string t = c.A.combRef;
  t += '\t';
  for (size_t i = 0; i < c.A.combAltAlleles.size(); ++i) {
    if (i) t += ',';
    t += c.A.combAltAlleles[i];
  }
  return Emit(p, t);
}

TVcfMergeHandlerResult HGtGTMerge_Default(TVcfVariantMergeHandlerParams& p) {
  const uint32_t l1 = p.LRef1 + p.LAlt1 + 1, l2 = p.LRef2 + p.LAlt2 + 1;
  if (l1 <= 2 && l2 <= 2) return vmFAILED;
  const std::string_view g1(p.pKeyValueStr1 ? p.pKeyValueStr1 : "", p.LKeyValueStr1);
  const std::string_view g2(p.pKeyValueStr2 ? p.pKeyValueStr2 : "", p.LKeyValueStr2);
  const bool e1 = g1.empty() || g1[0] == '.', e2 = g2.empty() || g2[0] == '.';
  const uint32_t need = std::max<uint32_t>(3, 2 * (p.LKeyValueStr1 + p.LKeyValueStr2) + 1);
  if (need > p.MaxOutLength) {
    p.out_ActualOutLength = need;
    return vmInsufficientMemory;
  }
  if (e1 && e2) {
    // Missing at the larger ploidy either side shows; two absent values: "./.".
    uint32_t n = std::max(Ploidy(g1), Ploidy(g2));
    if (n == 0) n = 2;
    std::string t = ".";
    for (uint32_t i = 1; i < n; ++i) t += "/.";
    return Emit(p, t);
  }
  if (l1 <= 2) return Emit(p, g2);
  if (l2 <= 2) return Emit(p, g1);
  const bool identical = l1 == l2 && std::memcmp(p.pRefAlt1, p.pRefAlt2, l1) == 0;
  std::string merged;
  if (identical) {
    if (e1) return Emit(p, g2);
    if (e2 || g1 == g2) return Emit(p, g1);
    const TAlleleCache& same = CachedAlleles(p);
    if (!same.Ok || !MergeGenotypesUnphased(g1, g2, same.A, merged, 1, 2)) return vmFAILED;
    return Emit(p, merged);
  }
  const TAlleleCache& c = CachedAlleles(p);
  if (!c.Ok) return vmFAILED;
  if (e2 && c.A.Identity1) return Emit(p, g1);
  if (!MergeGenotypesUnphased(g1, g2, c.A, merged, 1, 2)) return vmFAILED;
  return Emit(p, merged);
}

bool MergeGenotypesUnphased(std::string_view g1, std::string_view g2, const TVcfMergedAlleles& m,
                            std::string& out, uint32_t minPloidy, uint32_t maxPloidy) {
  out = ".";
  if (m.combRef.empty() || m.combRef == "." || m.combAltAlleles.empty()) return false;
  std::vector<uint32_t> a, b;
  bool missA = false, missB = false;
  const bool hasA = SplitGenotype(g1, a, missA), hasB = SplitGenotype(g2, b, missB);
  if (!hasA && !hasB) return false;
  // A side that is only missing is missing at the other side's ploidy.
  if (missA) a.assign(missB ? std::max<size_t>(1, b.size()) : b.size(), kMiss);
  if (missB) b.assign(a.size(), kMiss);
  if (a.size() != b.size()) return false;
  auto renumber = [](std::vector<uint32_t>& g, const std::vector<uint32_t>& map) {
    for (uint32_t& n : g) {
      if (n == kMiss) continue;
      if (n >= map.size()) return false;
      n = map[n];
    }
    return true;
  };
  if (!renumber(a, m.Map1) || !renumber(b, m.Map2)) return false;
  std::vector<uint32_t> r = MergeUnphasedGenotypeLists(a, b);
  if (r.size() > maxPloidy) return false;
  while (r.size() < minPloidy) r.push_back(kMiss);
  out.clear();
  for (size_t i = 0; i < r.size(); ++i) {
    if (i) out += '/';
    if (r[i] == kMiss)
      out += '.';
    else
      out += std::to_string(r[i]);
  }
  return true;
}

std::vector<uint32_t> MergeUnphasedGenotypeLists(const std::vector<uint32_t>& A,
                                                 const std::vector<uint32_t>& B) {
  std::vector<uint32_t> vals(A);
  vals.insert(vals.end(), B.begin(), B.end());
  std::sort(vals.begin(), vals.end());
  vals.resize(RmvSrtArrayDwDup(vals));
  auto count = [](const std::vector<uint32_t>& g, uint32_t v) {
    return uint32_t(std::count(g.begin(), g.end(), v));
  };
  const uint32_t mA = count(A, kMiss), mB = count(B, kMiss);
  std::vector<uint32_t> cA, cB;
  uint32_t uA = 0, uB = 0;
  for (uint32_t v : vals) {
    cA.push_back(count(A, v));
    cB.push_back(count(B, v));
    if (v != kMiss) {
      uA += cA.back() == 0;
      uB += cB.back() == 0;
    }
  }
  for (size_t i = 0; i < vals.size(); ++i) {
    if (mA > 0 && mA >= uA && cA[i] == 0) cA[i] = kUnlimited;
    if (mB > 0 && mB >= uB && cB[i] == 0) cB[i] = kUnlimited;
  }
  const size_t n = std::max(A.size(), B.size());
  std::vector<uint32_t> r;
  for (size_t i = 0; i < vals.size() && r.size() < n; ++i) {
    if (vals[i] == kMiss) continue;
    for (uint32_t k = std::min(cA[i], cB[i]); k > 0 && r.size() < n; --k) r.push_back(vals[i]);
  }
  while (r.size() < n) r.push_back(kMiss);
  return r;
}

uint32_t RmvSrtArrayDwDup(std::vector<uint32_t>& a) {
  if (a.size() < 2) return uint32_t(a.size());
  size_t w = 1;
  for (size_t i = 1; i < a.size(); ++i)
    if (a[i] != a[w - 1]) a[w++] = a[i];
  a.resize(w);
  return uint32_t(w);
}

TVcfMergeParams VcfDefaultMergeParams(bool andLoci, bool andSamples) {
  TVcfMergeParams p;
  p.MetaInfoHandler = HMergeMetaText_Default;
  p.AlleleHandler = HMergeAlleles_Default;
  // END is merged too: without it a reference block, a cut piece or a structural variant
  // would lose its extent.
  p.InfoKeysToMerge = {"DP", "END"};
  p.InfoKeyHandlers = {HInfoSumMerge, HInfoEndMerge};
  p.GtKeysToMerge = {"GT", "DP"};
  p.GtKeyHandlers = {HGtGTMerge_Default, HGtDPMerge_Default};
  p.HandlerOrder = {vcfRef, vcfInfo, vcfInfo, vcfFormat, vcfFormat};
  p.ProcessInfoTagEvenIfAbsent = false;
  p.ProcessGtTagEvenIfAbsent = true;
  p.useSelection = true;
  p.ANDCombineLoci = andLoci;
  p.ANDCombineSamples = andSamples;
  p.GvcfModeAuto = true;
  p.OutputUnkRefAllele = "N";
  p.OutputUnkAltAllele.clear();
  return p;
}
