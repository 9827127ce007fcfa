// The variant selection of TVCFFile: whole-selection operations, chromosome names, groups and
// positions, selection by chromosome, range, listed positions and per-variant values, the
// INFO and FORMAT filters, and the selected lines and names.
#include "vcf/vcfSelect.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <unordered_map>

#include "base/korNum.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfAlleles.h"

namespace {

uint64_t PosOf(std::string_view pos) {
  uint64_t p = 0;
  return VcfReadPlainUInt(pos, p) ? p : 0;
}

// Marks a value "." in the numeric slots of a filter: the BCF missing integer, and a NaN.
constexpr int32_t kMissI32 = std::numeric_limits<int32_t>::min();
constexpr uint64_t kMissDblBits = 0x7FF80000000007A1ull;

std::vector<uint8_t> MissingMarker(TXtrConversion conv) {
  std::vector<uint8_t> b(TypeSz[conv]);
  if (conv == xtSInt32)
    std::memcpy(b.data(), &kMissI32, 4);
  else if (conv == xtDbl)
    std::memcpy(b.data(), &kMissDblBits, 8);
  return b;
}

std::string_view ItemAt(std::string_view text, uint32_t k, char delim) {
  size_t b = 0;
  for (uint32_t i = 0; i < k; ++i) {
    b = text.find(delim, b);
    if (b == std::string_view::npos) return {};
    ++b;
  }
  size_t e = text.find(delim, b);
  return text.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b);
}

bool RangeOk(uint64_t nVariants, uint64_t& from, uint64_t& to) {
  if (nVariants == 0) return false;
  to = std::min(to, nVariants - 1);
  return from <= to;
}

TZelErr CheckFilterKey(const TVcfFilterItem& item, bool found, const TvcfKeyDescription& def,
                       const std::vector<TVcfTagValueStr>& pairs, const char* kind) {
  const std::string k(kind);
  if (!found || pairs.empty())
    return TZelErr::User(k + " key not defined in the VCF header", item.Key);
  if (def.kNumberKind != vmnNumber || def.kNumber != 1) {
    std::string number = "?";
    for (const TVcfTagValueStr& tv : pairs)
      if (tv.Tag == "Number") number = tv.ValueStr;
    return TZelErr::User("Only " + k + " keys with Number=1 can be compared with a threshold",
                         item.Key + " has Number=" + number);
  }
  if (def.kType != vtInt && def.kType != vtFloat)
    return TZelErr::User("Only Integer and Float " + k + " keys can be compared with a threshold",
                         item.Key + " has Type=" + std::string(vcfTypeStr[def.kType]));
  if (!item.Evaluator) return TZelErr::User("No comparison given for the " + k + " key", item.Key);
  return {};
}

// Counts the samples whose slot passes, stopping at need; "." (the marker) never passes
// unless recheck says the slot holds a real value.
template <class T, TComparison C, class Recheck>
uint32_t CountPassing(const uint8_t* slots, uint32_t n, T thr, uint32_t need, Recheck&& recheck) {
  uint32_t cnt = 0;
  for (uint32_t j = 0; j < n; ++j) {
    T x;
    std::memcpy(&x, slots + size_t(j) * sizeof(T), sizeof(T));
    bool pass;
    if constexpr (std::is_same_v<T, int32_t>) {
      pass = Relation<int32_t>(x, thr, C);
      if (x == kMissI32) pass = pass && recheck(j);
    } else {
      pass = !std::isnan(x) && Relation<double>(x, thr, C);
    }
    if (pass && ++cnt >= need) return cnt;
  }
  return cnt;
}

template <class T, class Recheck>
uint32_t CountPassingAny(TComparison c, const uint8_t* slots, uint32_t n, T thr, uint32_t need,
                         Recheck&& r) {
  switch (c) {
    case cmpL:
      return CountPassing<T, cmpL>(slots, n, thr, need, r);
    case cmpLE:
      return CountPassing<T, cmpLE>(slots, n, thr, need, r);
    case cmpE:
      return CountPassing<T, cmpE>(slots, n, thr, need, r);
    case cmpGE:
      return CountPassing<T, cmpGE>(slots, n, thr, need, r);
    case cmpG:
      return CountPassing<T, cmpG>(slots, n, thr, need, r);
    case cmpNE:
      return CountPassing<T, cmpNE>(slots, n, thr, need, r);
  }
  return 0;
}

void FoldMasks(std::vector<TBitField>& masks, TMaskLogic comb) {
  if (comb != lAnd && comb != lOr && comb != lXor) return;
  for (size_t i = 1; i < masks.size(); ++i) masks[0].Combine(masks[i], comb);
}

}  // namespace

bool EvalRelationV64_i32(TValue64 value, TValue64 threshold, TComparison comparison) {
  return Relation<int32_t>(value.i32, threshold.i32, comparison);
}

bool EvalRelationV64_Dbl(TValue64 value, TValue64 threshold, TComparison comparison) {
  if (std::isnan(value.Dbl) || std::isnan(threshold.Dbl)) return false;
  return Relation<double>(value.Dbl, threshold.Dbl, comparison);
}

bool ParseComparison(std::string_view t, TComparison& c) {
  static constexpr struct {
    std::string_view Text;
    TComparison Cmp;
  } table[] = {{"<", cmpL},   {"<=", cmpLE}, {"=", cmpE},   {"==", cmpE},
               {">=", cmpGE}, {">", cmpG},   {"<>", cmpNE}, {"!=", cmpNE}};
  for (const auto& row : table)
    if (row.Text == t) {
      c = row.Cmp;
      return true;
    }
  return false;
}

// ---- whole selection

uint64_t TVCFFile::NVariantsSelected() const {
  return FSelectionMade ? FSelection.BitsSet() : FNVariants;
}

void TVCFFile::EnsureSelection() {
  if (!FSelectionMade || FSelection.GetNBits() != FNVariants) ClearSelection(true);
}

void TVCFFile::Select(const std::vector<bool>& sel) {
  EnsureSelection();
  const uint64_t n = std::min<uint64_t>(sel.size(), FNVariants);
  for (uint64_t i = 0; i < n; ++i) FSelection.ChgFieldBit(i, sel[i]);
}

void TVCFFile::SelectVariant(uint64_t v, bool value) {
  EnsureSelection();
  if (v < FNVariants) FSelection.ChgFieldBit(v, value);
}

void TVCFFile::InvertSelection() {
  EnsureSelection();
  FSelection.NOTBits();
}

bool TVCFFile::CombineSelection(const TBitField& mask, TMaskLogic logic) {
  EnsureSelection();
  if (mask.GetNBits() != FNVariants) return false;
  FSelection.Combine(mask, logic);
  return true;
}

// ---- chromosomes

std::vector<std::string> TVCFFile::GetSortedUniqueChromNames() {
  return GetSortedUniqueChromNamesEx(false, 0, ~uint64_t(0));
}

std::vector<std::string> TVCFFile::GetSortedUniqueChromNamesEx(bool useSel, uint64_t from,
                                                               uint64_t to) {
  std::vector<std::string> names;
  if (!RangeOk(FNVariants, from, to)) return names;
  useSel = useSel && FSelectionMade && NVariantsSelected() != FNVariants;
  std::string_view last;
  bool haveLast = false;
  for (uint64_t v = from; v <= to; ++v) {
    if (useSel && !IsSelected(v)) continue;
    const std::string_view c = Column(v, vcfChrom);
    // Variants come grouped by chromosome: the same name as before needs no search.
    if (haveLast && c == last) continue;
    auto it = std::lower_bound(names.begin(), names.end(), c, VcfNameLess);
    if (it == names.end() || *it != c) it = names.insert(it, std::string(c));
    last = *it;
    haveLast = true;
  }
  return names;
}

void TVCFFile::GetChromGroups(std::vector<std::string>& names,
                              std::vector<std::vector<uint64_t>>& groups, bool useSel,
                              uint64_t from, uint64_t to) {
  groups.clear();
  if (!RangeOk(FNVariants, from, to)) return;
  if (names.empty()) names = GetSortedUniqueChromNamesEx(useSel, from, to);
  useSel = useSel && FSelectionMade && NVariantsSelected() != FNVariants;
  groups.resize(names.size());
  uint64_t lastId = vcfNone64;
  std::string lastName;
  for (uint64_t v = from; v <= to; ++v) {
    if (useSel && !IsSelected(v)) continue;
    const std::string_view c = Column(v, vcfChrom);
    if (lastId == vcfNone64 || c != lastName) {
      auto it = std::lower_bound(names.begin(), names.end(), c, VcfNameLess);
      lastId = (it != names.end() && *it == c) ? uint64_t(it - names.begin()) : vcfNone64 - 1;
      lastName.assign(c);
    }
    if (lastId < groups.size()) groups[lastId].push_back(v);
  }
  for (auto& g : groups) g.shrink_to_fit();
}

void TVCFFile::MakeChromCache() {
  if (FChromCache.Made) return;
  FChromCache.Names.clear();
  GetChromGroups(FChromCache.Names, FChromCache.Groups, false, 0, ~uint64_t(0));
  FChromCache.Made = true;
}

void TVCFFile::GetAllChromGroups(std::vector<std::string>& names,
                                 std::vector<std::vector<uint64_t>>& groups, bool keepCopy) {
  if (FChromCache.Made) {
    names = FChromCache.Names;
    groups = FChromCache.Groups;
    return;
  }
  names.clear();
  GetChromGroups(names, groups, false, 0, ~uint64_t(0));
  if (keepCopy) {
    FChromCache.Names = names;
    FChromCache.Groups = groups;
    FChromCache.Made = true;
  }
}

const std::vector<std::string>& TVCFFile::ChromNames() {
  MakeChromCache();
  return FChromCache.Names;
}

const std::vector<std::vector<uint64_t>>& TVCFFile::ChromGroups() {
  MakeChromCache();
  return FChromCache.Groups;
}

uint64_t TVCFFile::FindChrom(std::string_view name) {
  const auto& names = ChromNames();
  auto it = std::lower_bound(names.begin(), names.end(), name, VcfNameLess);
  return it != names.end() && *it == name ? uint64_t(it - names.begin()) : vcfNone64;
}

void TVCFFile::GetAllChromPos(std::vector<std::string>& names,
                              std::vector<std::vector<uint64_t>>& chromPos, bool ignoreSel,
                              bool doSort) {
  MakeChromCache();
  names = FChromCache.Names;
  chromPos.assign(names.size(), {});
  if (!ignoreSel) EnsureSelection();
  for (size_t c = 0; c < names.size(); ++c) {
    for (uint64_t v : FChromCache.Groups[c])
      if (ignoreSel || IsSelected(v)) chromPos[c].push_back(PosOf(Column(v, vcfPos)));
    if (doSort) std::sort(chromPos[c].begin(), chromPos[c].end());
  }
}

uint64_t TVCFFile::GetNVariantsInChrom(uint64_t id) {
  const auto& g = ChromGroups();
  return id < g.size() ? g[id].size() : ~uint64_t(0);
}

uint64_t TVCFFile::SelectChroms(const std::vector<uint64_t>& ids, TMaskLogic logic) {
  const auto& g = ChromGroups();
  TBitField mask;
  mask.Make(FNVariants, false);
  for (uint64_t id : ids)
    if (id < g.size())
      for (uint64_t v : g[id]) mask.ChgFieldBit(v, true);
  CombineSelection(mask, logic);
  return logic == lSet ? mask.BitsSet() : NVariantsSelected();
}

uint64_t TVCFFile::SelectChromRangeOnly(uint64_t id, uint64_t fromPos, uint64_t toPos,
                                        TMaskLogic logic) {
  const auto& g = ChromGroups();
  TBitField mask;
  mask.Make(FNVariants, false);
  if (id < g.size())
    for (uint64_t v : g[id]) {
      const uint64_t p = PosOf(Column(v, vcfPos));
      if (p >= fromPos && p <= toPos) mask.ChgFieldBit(v, true);
    }
  CombineSelection(mask, logic);
  return NVariantsSelected();
}

void TVCFFile::SelectFromChromPos(const std::vector<std::string>& selNames,
                                  const std::vector<std::vector<uint64_t>>& selPos,
                                  TMaskLogic mode) {
  if (selNames.empty() || selNames.size() != selPos.size() || FNVariants == 0) return;
  EnsureSelection();
  const auto& g = ChromGroups();
  TBitField mask;
  mask.Make(FNVariants, false);
  std::vector<std::pair<uint64_t, uint64_t>> byPos;  // POS, variant
  for (size_t i = 0; i < selNames.size(); ++i) {
    if (selPos[i].empty()) continue;
    const uint64_t id = FindChrom(selNames[i]);
    if (id == vcfNone64) continue;
    byPos.clear();
    for (uint64_t v : g[id]) byPos.emplace_back(PosOf(Column(v, vcfPos)), v);
    std::sort(byPos.begin(), byPos.end());
    for (uint64_t p : selPos[i]) {
      auto it = std::lower_bound(byPos.begin(), byPos.end(), std::make_pair(p, uint64_t(0)));
      for (; it != byPos.end() && it->first == p; ++it) mask.ChgFieldBit(it->second, true);
    }
  }
  FSelection.Combine(mask, mode);
}

int64_t TVCFFile::SelectVarByValDbl(const std::vector<double>& value, double thresh,
                                    const TBitField* msk, TComparison cmp, TBool defIfNoValue) {
  if (FNVariants == 0 || value.empty()) return 0;
  if (msk && msk->GetNBits() != FNVariants) return -1;
  if (value.size() != (msk ? msk->BitsSet() : FNVariants)) return -1;
  EnsureSelection();
  uint64_t j = 0;
  for (uint64_t v = 0; v < FNVariants; ++v) {
    if (!msk || msk->GetFieldBit(v)) {
      const double x = value[j++];
      if (IsSelected(v))
        FSelection.ChgFieldBit(v, !std::isnan(x) && Relation<double>(x, thresh, cmp));
    } else if (defIfNoValue != bNA) {
      FSelection.ChgFieldBit(v, defIfNoValue == bTrue);
    }
  }
  return int64_t(NVariantsSelected());
}

// ---- filters

int64_t TVCFFile::InfoFilters(const std::vector<TVcfFilterItem>& task, TMaskLogic selMode,
                              TMaskLogic combMode, uint64_t from, uint64_t to,
                              const TXtrConversion* typeConv, TZelErr* err) {
  TZelErr localErr;
  TZelErr& e = err ? *err : localErr;
  e.Clear();
  if (task.empty() || !RangeOk(FNVariants, from, to)) return -1;
  EnsureSelection();
  const size_t nk = task.size();
  std::vector<std::string> tags(nk);
  std::vector<TXtrInfFuncParam> params(nk);
  std::vector<bool> markMissing(nk);
  std::vector<TBitField> masks(nk);
  for (size_t k = 0; k < nk; ++k) {
    const TVcfFilterItem& it = task[k];
    TvcfKeyDescription def;
    std::vector<TVcfTagValueStr> pairs;
    const bool found = GetInfoKeyDirDefinition(it.Key, def, pairs);
    if ((e = CheckFilterKey(it, found, def, pairs, "INFO"))) return -1;
    const TXtrConversion conv = typeConv ? typeConv[def.kType] : DefConversion(def.kType);
    if (conv != xtSInt32 && conv != xtDbl) {
      e = TZelErr::User("Only Integer and Float INFO keys can be compared with a threshold",
                        it.Key);
      return -1;
    }
    markMissing[k] = it.KeyPresentMissingValue.empty();
    params[k].Make(conv, markMissing[k] ? MissingMarker(conv) : it.KeyPresentMissingValue,
                   it.info_KeyPresentAsFlag);
    tags[k] = it.Key;
    masks[k].Make(FNVariants, false);
  }
  for (uint64_t v = from; v <= to; ++v) {
    if (selMode == lAnd && !IsSelected(v)) continue;
    if (!SplitVariant(v)) {
      e = FLineErr;
      return -1;
    }
    const std::string_view info = Column(v, vcfInfo);
    TXtrFuncRes r = info.empty() ? xtrOK : XtrInfokeyValMem(v, tags, params);
    if (info.empty())
      for (auto& p : params) p.ItemBytes = 0;
    if (r != xtrOK) {
      // Name the value that failed.
      std::string detail = "line " + std::to_string(VariantLineNo(v));
      for (size_t k = 0; k < nk; ++k) {
        uint32_t ofs, len;
        GetPInfoKeyOfs(info, tags[k], ofs, len);
        if (ofs == 0xFFFFFFFFu) continue;
        uint8_t tmp[8];
        const std::string_view val = info.substr(ofs, len);
        if (len > 0 && val != "." && !XtrConvert(val, params[k].Conversion, tmp)) {
          detail += ", " + tags[k] + "=" + std::string(val);
          break;
        }
      }
      e = TZelErr::User("INFO value does not convert to its header Type", detail);
      return -1;
    }
    for (size_t k = 0; k < nk; ++k) {
      const TXtrInfFuncParam& p = params[k];
      bool bit;
      if (p.ItemBytes == 0) {
        const TBool m = task[k].KeyMissingMskValue;
        bit = m == bNA ? IsSelected(v) : m == bTrue;
      } else {
        TValue64 x{};
        std::memcpy(&x, p.PBuffer, std::min<uint32_t>(p.ItemBytes, 8));
        bool missing = false;
        if (markMissing[k] && p.ItemBytes == p.ValMissingData.size() &&
            std::memcmp(p.PBuffer, p.ValMissingData.data(), p.ValMissingData.size()) == 0) {
          uint32_t ofs, len;
          GetPInfoKeyOfs(info, tags[k], ofs, len);
          missing = info.substr(ofs, len) == ".";
        }
        bit = !missing && task[k].Evaluator(x, task[k].Threshold, task[k].Comparison);
      }
      if (bit) masks[k].ChgFieldBit(v, true);
    }
  }
  FoldMasks(masks, combMode);
  FSelection.Combine(masks[0], selMode);
  return int64_t(NVariantsSelected());
}

int64_t TVCFFile::InfoKeyPresentFilter(const std::string& key, TZelErr* err) {
  TZelErr localErr;
  TZelErr& e = err ? *err : localErr;
  e.Clear();
  EnsureSelection();
  TBitField keep;
  keep.Make(FNVariants, false);
  for (uint64_t v = 0; v < FNVariants; ++v) {
    if (!IsSelected(v)) continue;
    if (!SplitVariant(v)) {
      e = FLineErr;
      return -1;
    }
    uint32_t ofs, len;
    GetPInfoKeyOfs(Column(v, vcfInfo), key, ofs, len);
    if (ofs != 0xFFFFFFFFu) keep.ChgFieldBit(v, true);
  }
  FSelection.Combine(keep, lAnd);
  return int64_t(NVariantsSelected());
}

int64_t TVCFFile::SampleFilters(const std::vector<TVcfFilterItem>& task, uint32_t minPass,
                                const std::vector<uint32_t>& smp, TMaskLogic selMode,
                                TMaskLogic combMode, uint64_t from, uint64_t to,
                                const TXtrConversion* typeConv, TZelErr* err) {
  TZelErr localErr;
  TZelErr& e = err ? *err : localErr;
  e.Clear();
  if (task.empty() || !RangeOk(FNVariants, from, to)) return -1;
  for (uint32_t s : smp)
    if (s >= FNSamples) {
      e = TZelErr::User("Sample number beyond the VCF's samples", std::to_string(s));
      return -1;
    }
  const uint32_t n = smp.empty() ? FNSamples : uint32_t(smp.size());
  EnsureSelection();
  const size_t nk = task.size();
  std::vector<std::string> tags(nk);
  std::vector<TXtrFmtFuncParam> params(nk);
  std::vector<bool> markMissing(nk);
  std::vector<TBitField> masks(nk);
  for (size_t k = 0; k < nk; ++k) {
    const TVcfFilterItem& it = task[k];
    TvcfKeyDescription def;
    std::vector<TVcfTagValueStr> pairs;
    const bool found = GetFmtKeyDirDefinition(it.Key, def, pairs);
    if ((e = CheckFilterKey(it, found, def, pairs, "FORMAT"))) return -1;
    const TXtrConversion conv = typeConv ? typeConv[def.kType] : DefConversion(def.kType);
    if (conv != xtSInt32 && conv != xtDbl) {
      e = TZelErr::User("Only Integer and Float FORMAT keys can be compared with a threshold",
                        it.Key);
      return -1;
    }
    markMissing[k] = it.KeyPresentMissingValue.empty();
    params[k].MakeAndAlloc(conv, std::max<uint32_t>(n, 1),
                           markMissing[k] ? MissingMarker(conv) : it.KeyPresentMissingValue);
    tags[k] = it.Key;
    masks[k].Make(FNVariants, false);
  }
  const std::span<const uint32_t> smpSpan(smp.data(), smp.size());
  TXtrGtReport report;
  for (uint64_t v = from; v <= to; ++v) {
    if (selMode == lAnd && !IsSelected(v)) continue;
    if (!SplitVariant(v)) {
      e = FLineErr;
      return -1;
    }
    const bool hasFormat = n > 0 && !Column(v, vcfFormat).empty();
    TXtrFuncRes r = hasFormat ? XtrGtKeyMem(v, tags, params, smpSpan, &report) : xtrOK;
    if (r != xtrOK) {
      std::string detail = "line " + std::to_string(VariantLineNo(v));
      if (report.Fail.Tag < nk && report.Fail.Smp < FNSamples)
        detail += ", sample " + FSampleNames[report.Fail.Smp] + ", " + tags[report.Fail.Tag];
      e = TZelErr::User("FORMAT value does not convert to its header Type", detail);
      return -1;
    }
    for (size_t k = 0; k < nk; ++k) {
      const TXtrFmtFuncParam& p = params[k];
      bool bit;
      if (!hasFormat || p.TagOfs == 0xFFFFFFFFu) {
        const TBool m = task[k].KeyMissingMskValue;
        bit = m == bNA ? IsSelected(v) : m == bTrue;
      } else {
        const TVcfFilterItem& it = task[k];
        const uint32_t need = std::max<uint32_t>(it.fmt_MinNPassingSamples, minPass);
        uint32_t cnt = 0;
        if (it.Evaluator == EvalRelationV64_i32 && p.Conversion == xtSInt32) {
          // A slot holding the marker is "." unless its text says otherwise.
          auto recheck = [&](uint32_t j) {
            if (!markMissing[k]) return true;
            const uint32_t s = smp.empty() ? j : smp[j];
            const std::string_view t = ItemAt(Column(v, vcfSample + s), p.TagOfs, ':');
            return !t.empty() && t != ".";
          };
          cnt = CountPassingAny<int32_t>(it.Comparison, p.Buffer.data(), n, it.Threshold.i32, need,
                                         recheck);
        } else if (it.Evaluator == EvalRelationV64_Dbl && p.Conversion == xtDbl) {
          cnt = CountPassingAny<double>(it.Comparison, p.Buffer.data(), n, it.Threshold.Dbl, need,
                                        [](uint32_t) { return true; });
        } else {
          const uint32_t sz = p.SlotSize();
          for (uint32_t j = 0; j < n && cnt < need; ++j) {
            TValue64 x{};
            std::memcpy(&x, p.Slot(j), std::min<uint32_t>(sz, 8));
            if (markMissing[k] && std::memcmp(p.Slot(j), p.ValMissingData.data(), sz) == 0)
              continue;
            if (it.Evaluator(x, it.Threshold, it.Comparison)) ++cnt;
          }
        }
        bit = cnt >= need;
      }
      if (bit) masks[k].ChgFieldBit(v, true);
    }
  }
  FoldMasks(masks, combMode);
  FSelection.Combine(masks[0], selMode);
  return int64_t(NVariantsSelected());
}

int64_t TVCFFile::SampleFilter(const TVcfFilterItem& item, uint32_t minPass,
                               const std::vector<uint32_t>& smp, TMaskLogic selMode,
                               TMaskLogic combMode, uint64_t from, uint64_t to,
                               const TXtrConversion* typeConv, TZelErr* err) {
  return SampleFilters({item}, minPass, smp, selMode, combMode, from, to, typeConv, err);
}

// ---- selected lines and names

std::vector<std::string> TVCFFile::GetSelVariantLines(const std::vector<uint32_t>& smp,
                                                      bool withHeader) {
  std::vector<std::string> lines;
  if (FNVariants == 0 || (NVariantsSelected() == 0 && !withHeader)) return lines;
  for (uint32_t s : smp)
    if (s >= FNSamples) return lines;
  EnsureSelection();
  if (withHeader) {
    if (smp.empty()) {
      const char* p;
      uint64_t n;
      LineAt(FHdrRowOfs, p, n);
      lines.emplace_back(p, n);
    } else {
      std::string h;
      for (std::string_view c : vcfHdrPredefCol) h += (h.empty() ? "" : "\t") + std::string(c);
      for (uint32_t s : smp) h += "\t" + FSampleNames[s];
      lines.push_back(std::move(h));
    }
  }
  for (uint64_t v = 0; v < FNVariants; ++v) {
    if (!IsSelected(v)) continue;
    const std::string_view line = VariantLine(v);
    if (smp.empty()) {
      lines.emplace_back(line);
      continue;
    }
    std::string l;
    if (NColumns(v) > vcfFormat) {
      const std::string_view fmt = Column(v, vcfFormat);
      l.assign(line.data(), size_t(fmt.data() + fmt.size() - line.data()));
    } else {
      l.assign(line);
    }
    for (uint32_t s : smp) {
      l += '\t';
      l += Column(v, vcfSample + s);
    }
    lines.push_back(std::move(l));
  }
  return lines;
}

std::vector<std::string> TVCFFile::GetSelVariantNames(std::string_view delim) {
  std::vector<std::string> names;
  const bool all = !FSelectionMade;
  for (uint64_t v = 0; v < FNVariants; ++v) {
    if (!all && !IsSelected(v)) continue;
    const std::string_view c = Column(v, vcfChrom), p = Column(v, vcfPos);
    if (c.empty() || p.empty()) return {};
    std::string n(c);
    n += delim;
    n += p;
    names.push_back(std::move(n));
  }
  return names;
}
