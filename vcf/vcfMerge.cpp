// The merge of two VCF files: chromosome union, sample pairing, the position walk with the
// pairing of records at a shared position, gVCF block breaking and the handler steps.
#include "vcf/vcfMerge.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "vcf/bioVCF.h"
#include "vcf/vcfAlleles.h"
#include "vcf/vcfLine.h"

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

struct TEntry {
  uint64_t Variant = 0;         // the record's variant (a piece's source record)
  uint64_t Pos = 0;             // the entry's position
  uint64_t CutEnd = vcfNone64;  // a cut block's piece end; none: the record's own END
  bool IsNew = false;           // a piece after the first: its reference base is unknown
  bool IsBlock = false;         // gVCF mode: a reference block (ALT only placeholders)
  uint64_t End = 0;             // gVCF mode: the record's last position (END, else POS)
};

// A column buffer reused for every line: B.size() is its allocated size, Len its text.
struct TBuf {
  std::vector<char> B;
  uint32_t Len = 0;
  void Set(std::string_view s) {
    if (B.size() < s.size()) B.resize(s.size() + 16);
    std::memcpy(B.data(), s.data(), s.size());
    Len = uint32_t(s.size());
  }
  void Append(std::string_view s) {
    if (B.size() < Len + s.size()) B.resize((Len + s.size()) * 2 + 16);
    std::memcpy(B.data() + Len, s.data(), s.size());
    Len += uint32_t(s.size());
  }
  std::string_view Text() const { return std::string_view(B.data(), Len); }
};

struct TSrc {
  TVCFFile* F = nullptr;
  std::vector<std::string> RefNames;
  std::vector<std::vector<TEntry>> Chrom;  // per chromosome (name order): its records
  std::vector<uint32_t> RefNameIds;        // per combined chromosome: the file's group or none
  std::vector<uint32_t> Samples;
  std::vector<uint32_t> SamplesToProcess;  // per output sample: the file's sample or none
  uint64_t FromVariant = 0, ToVariant = 0;
  // The current chromosome's entries and their position order.
  std::vector<TEntry> E;
  std::vector<uint32_t> IdPos;
  size_t LpRaw = 0;
  // The current line.
  bool In = false;
  const TEntry* Cur = nullptr;
  std::string_view Line;
  std::vector<uint32_t> Starts;
  uint32_t NCols = 0;
  std::string RefAlt;  // REF, tab, ALT of a piece (its own REF is unknown)
  const char* pRefAlt = nullptr;
  uint32_t LRef = 0, LAlt = 0;
  uint64_t BlockStart = 0;
  std::vector<uint32_t> FmtIdx;  // per FORMAT key: its item number in the line's FORMAT
  // The line's FORMAT values, key j of output sample s at j * samples + s: each sample column
  // is scanned once for all keys instead of once per key.
  std::vector<std::string_view> Vals;
  std::vector<uint32_t> KeyOfItem;  // item number -> key, or none
  bool ValsMade = false;
  char EndText[24];
  uint32_t LEndText = 0;

  std::string_view Col(uint32_t c) const {
    if (!In || c >= NCols) return {};
    return Line.substr(Starts[c], Starts[c + 1] - 1 - Starts[c]);
  }
};

bool IsRefBlockAlt(std::string_view alt) {
  if (alt.empty() || alt == ".") return false;
  size_t b = 0;
  while (b <= alt.size()) {
    size_t e = alt.find(',', b);
    if (e == std::string_view::npos) e = alt.size();
    if (e > b && !VcfIsPlaceholderAllele(alt.substr(b, e - b))) return false;
    b = e + 1;
  }
  return true;
}

bool RefsPair(std::string_view a, bool unkA, std::string_view b, bool unkB) {
  if (unkA || unkB || a == b) return true;
  return a.starts_with(b) || b.starts_with(a);
}

class TMerger {
 public:
  TMerger(TVCFFile& v1, TVCFFile& v2, IVcfMergeSink& out, TVcfMergeError& err,
          const TVcfMergeParams& p, TVcfMergeStats& st)
      : Out(out), Err(err), P(p), St(st) {
    S[0].F = &v1;
    S[1].F = &v2;
    TotalRecords = v1.NVariants() + v2.NVariants();
  }
  bool Run();

 private:
  // Every 4096 records read or walked: progress, and whether to stop.
  bool Stopped() {
    if (!P.Progress || (Ticks++ & 4095) != 0) return false;
    P.Progress->Progress(Ticks, 2 * TotalRecords);
    return P.Progress->Cancelled();
  }
  uint64_t Ticks = 0, TotalRecords = 0;
  bool Fail(TVcfMergeErrorCode code, std::string detail = {}) {
    Err.ErrorKind = code;
    Err.Detail = std::move(detail);
    return false;
  }
  bool CheckHandlers();
  bool Samples();
  bool ScanFile(TSrc& s);
  bool BuildEntries(TSrc& s, uint32_t group);
  void BreakBlocks();
  bool Walk(const std::string& chrom, bool in1, bool in2);
  bool ReadEntryRef(TSrc& s, const TEntry& e, std::string& ref);
  bool LoadLine(TSrc& s, const TEntry* e);
  // Result: 1 written, 0 left out (vmExcludeVariant), -1 failure.
  // With checkPair, 2 when the two records' REF alleles do not pair (nothing written).
  int MakeLine(const std::string& chrom, const TEntry* e1, const TEntry* e2,
               bool checkPair = false);
  int RunStep(TvcfColType kind, uint32_t& infoI, uint32_t& gtJ);
  int CallColumn(TVcfVariantMergeHandler h, TvcfColType kind, TBuf& buf, std::string_view v1,
                 std::string_view v2, bool alleles);
  int InfoStep(uint32_t i);
  int FormatStep(uint32_t j);
  void MakeFormatValues(TSrc& s);
  int HandlerFailed(TvcfColType kind, TVcfMergeHandlerResult r, const std::string& key);
  TVcfVariantMergeHandlerParams BaseParams() const;

  IVcfMergeSink& Out;
  TVcfMergeError& Err;
  const TVcfMergeParams& P;
  TVcfMergeStats& St;
  TSrc S[2];
  std::vector<std::string> CombRefNames, CombSampleNames;
  uint32_t NTotalSamples = 0;
  bool GvcfMode = false, HaveChromBoth = false, GvcfPatchChrom = false;
  uint32_t EndKey = kNone;
  std::string NewFmtString;
  TBuf Buf[8];  // CHROM, POS, ID, REF+ALT, QUAL, FILTER, INFO, FORMAT
  std::vector<TBuf> SmpBuf;
  std::vector<uint32_t> SmpSaved;
  uint32_t InfoWritten = 0, GtWritten = 0;
  std::vector<bool> GtKeyOn;
  bool GtAllOn = true;
  std::string LineText;
  uint64_t PosNum = 0;
};

TVcfVariantMergeHandlerParams TMerger::BaseParams() const {
  TVcfVariantMergeHandlerParams h;
  h.ExtraPtr = P.VariantExtraPtr;
  h.pRefAlt1 = S[0].In ? S[0].pRefAlt : nullptr;
  h.pRefAlt2 = S[1].In ? S[1].pRefAlt : nullptr;
  h.LRef1 = S[0].In ? S[0].LRef : 0;
  h.LAlt1 = S[0].In ? S[0].LAlt : 0;
  h.LRef2 = S[1].In ? S[1].LRef : 0;
  h.LAlt2 = S[1].In ? S[1].LAlt : 0;
  if (GvcfMode) {
    h.gVcfMode = true;
    h.Pos = uint32_t(PosNum);
    h.BlockStart1 = S[0].In ? uint32_t(S[0].BlockStart) : 0;
    h.BlockStart2 = S[1].In ? uint32_t(S[1].BlockStart) : 0;
  }
  return h;
}

bool TMerger::CheckHandlers() {
  if (P.HandlerOrder.empty()) return Fail(meNoHandler, "no handler steps");
  if (P.InfoKeyHandlers.size() != P.InfoKeysToMerge.size())
    return Fail(meNoHandler, "INFO keys and handlers differ in number");
  if (P.GtKeyHandlers.size() != P.GtKeysToMerge.size())
    return Fail(meNoHandler, "FORMAT keys and handlers differ in number");
  bool alleles = false;
  uint32_t nInfo = 0, nGt = 0;
  for (TvcfColType c : P.HandlerOrder) {
    switch (c) {
      case vcfID:
        if (!P.IdHandler) return Fail(meNoHandler, "no ID handler");
        break;
      case vcfRef:
      case vcfAlt:
        if (!P.AlleleHandler) return Fail(meNoHandler, "no allele handler");
        alleles = true;
        break;
      case vcfQual:
        if (!P.QualHandler) return Fail(meNoHandler, "no QUAL handler");
        break;
      case vcfFilter:
        if (!P.FilterHandler) return Fail(meNoHandler, "no FILTER handler");
        break;
      case vcfInfo:
        if (nInfo < P.InfoKeyHandlers.size() && !P.InfoKeyHandlers[nInfo])
          return Fail(meNoHandler, "no handler for INFO key " + P.InfoKeysToMerge[nInfo]);
        ++nInfo;
        break;
      case vcfFormat:
      case vcfSample:
        if (nGt < P.GtKeyHandlers.size() && !P.GtKeyHandlers[nGt])
          return Fail(meNoHandler, "no handler for FORMAT key " + P.GtKeysToMerge[nGt]);
        ++nGt;
        break;
      default:
        break;
    }
  }
  // Without the allele step a line would lack its REF and ALT columns.
  if (!alleles) return Fail(meNoHandler, "no allele step");
  return true;
}

bool TMerger::Samples() {
  const uint32_t n1 = S[0].F->NSamples(), n2 = S[1].F->NSamples();
  const std::vector<uint32_t>* inc[2] = {&P.Vcf1SamplesToInclude, &P.Vcf2SamplesToInclude};
  for (int f = 0; f < 2; ++f) {
    TSrc& s = S[f];
    const uint32_t n = f ? n2 : n1;
    if (inc[f]->empty()) {
      s.Samples.resize(n);
      for (uint32_t i = 0; i < n; ++i) s.Samples[i] = i;
    } else {
      for (uint32_t i : *inc[f])
        if (i < n) s.Samples.push_back(i);
    }
    if (s.Samples.empty()) return Fail(meNoSamplesToCombine, f ? "file 2" : "file 1");
  }
  const auto& names1 = S[0].F->SampleNamesRef();
  const auto& names2 = S[1].F->SampleNamesRef();
  std::vector<bool> used2(S[1].Samples.size(), false);
  for (uint32_t a : S[0].Samples) {
    uint32_t partner = kNone;
    for (size_t k = 0; k < S[1].Samples.size(); ++k)
      if (!used2[k] && names2[S[1].Samples[k]] == names1[a]) {
        partner = uint32_t(k);
        break;
      }
    if (P.ANDCombineSamples && partner == kNone) continue;
    S[0].SamplesToProcess.push_back(a);
    S[1].SamplesToProcess.push_back(partner == kNone ? kNone : S[1].Samples[partner]);
    if (partner != kNone) used2[partner] = true;
    CombSampleNames.push_back(names1[a]);
  }
  if (!P.ANDCombineSamples) {
    std::vector<std::string_view> taken1;
    for (uint32_t a : S[0].Samples) taken1.push_back(names1[a]);
    std::sort(taken1.begin(), taken1.end());
    for (uint32_t b : S[1].Samples) {
      if (std::binary_search(taken1.begin(), taken1.end(), std::string_view(names2[b]))) continue;
      S[0].SamplesToProcess.push_back(kNone);
      S[1].SamplesToProcess.push_back(b);
      CombSampleNames.push_back(names2[b]);
    }
  }
  NTotalSamples = uint32_t(CombSampleNames.size());
  if (NTotalSamples == 0) return Fail(meNoSamplesToCombine, "no sample name in both files");
  return true;
}

// One pass over the file's variants gives the chromosome groups and every record's position,
// so a line is read once before the walk and once in it.
bool TMerger::ScanFile(TSrc& s) {
  TVCFFile& f = *s.F;
  const uint64_t nv = f.NVariants();
  uint64_t from = s.FromVariant, to = std::min(s.ToVariant, nv ? nv - 1 : 0);
  std::vector<std::string> names;
  std::vector<std::vector<TEntry>> groups;
  if (nv > 0 && from <= to) {
    const bool useSel = P.useSelection && f.SelectionMade() && f.NVariantsSelected() != nv;
    std::unordered_map<std::string, uint32_t> ids;
    std::string lastName;
    uint32_t lastId = kNone;
    for (uint64_t v = from; v <= to; ++v) {
      if (useSel && !f.IsSelected(v)) continue;
      if (Stopped()) return Fail(meCancelled);
      if (!f.ReadVariant(v)) {
        Err.ErrorLine1 = &s == &S[0] ? f.VariantItem(v) : 0;
        Err.ErrorLine2 = &s == &S[1] ? f.VariantItem(v) : 0;
        return Fail(meMiscError, f.LineError().Msg + ": " + f.LineError().Details);
      }
      const std::string_view c = f.Column(v, vcfChrom);
      if (lastId == kNone || c != lastName) {
        lastName.assign(c);
        auto it = ids.find(lastName);
        if (it == ids.end()) {
          it = ids.emplace(lastName, uint32_t(names.size())).first;
          names.push_back(lastName);
          groups.emplace_back();
        }
        lastId = it->second;
      }
      uint64_t pos = 0;
      (void)VcfReadPlainUInt(f.Column(v, vcfPos), pos);
      TEntry e{v, pos, vcfNone64, false, false, pos};
      if (GvcfMode) {
        uint64_t b = 0, end = 0;
        const std::string_view alt = f.Column(v, vcfAlt);
        VcfGetBlockCoord(f.Column(v, vcfPos), f.Column(v, vcfRef), alt, f.Column(v, vcfInfo), b,
                         end, false, false, nullptr);
        e.End = end == vcfNone64 || end < pos ? pos : end;
        e.IsBlock = IsRefBlockAlt(alt);
      }
      groups[lastId].push_back(e);
    }
  }
  std::vector<uint32_t> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return VcfNameLess(names[a], names[b]); });
  s.RefNames.clear();
  s.Chrom.clear();
  for (uint32_t i : order) {
    s.RefNames.push_back(std::move(names[i]));
    s.Chrom.push_back(std::move(groups[i]));
  }
  return true;
}

bool TMerger::BuildEntries(TSrc& s, uint32_t group) {
  s.E.clear();
  s.IdPos.clear();
  if (group != kNone) s.E = std::move(s.Chrom[group]);
  s.LpRaw = s.E.size();
  s.IdPos.resize(s.E.size());
  for (size_t i = 0; i < s.IdPos.size(); ++i) s.IdPos[i] = uint32_t(i);
  // Stable: records at one position keep their file order.
  std::stable_sort(s.IdPos.begin(), s.IdPos.end(),
                   [&](uint32_t a, uint32_t b) { return s.E[a].Pos < s.E[b].Pos; });
  return true;
}

// Only reference blocks are divided; every record of the other file (a block, a variant,
// a structural variant) sets cut points at its start and after its end.
void TMerger::BreakBlocks() {
  std::vector<uint64_t> cuts[2];
  for (int f = 0; f < 2; ++f) {
    const TSrc& s = S[f];
    for (size_t i = 0; i < s.LpRaw; ++i) {
      cuts[1 - f].push_back(s.E[i].Pos);
      cuts[1 - f].push_back(s.E[i].End + 1);
    }
  }
  for (int f = 0; f < 2; ++f) {
    std::sort(cuts[f].begin(), cuts[f].end());
    cuts[f].erase(std::unique(cuts[f].begin(), cuts[f].end()), cuts[f].end());
  }
  bool cut = false;
  for (int f = 0; f < 2; ++f) {
    TSrc& s = S[f];
    for (size_t i = 0; i < s.LpRaw; ++i) {
      if (!s.E[i].IsBlock) continue;
      const uint64_t b = s.E[i].Pos, e = s.E[i].End;
      auto it = std::upper_bound(cuts[f].begin(), cuts[f].end(), b);
      if (it == cuts[f].end() || *it > e) continue;
      cut = true;
      s.E[i].CutEnd = *it - 1;
      const uint64_t v = s.E[i].Variant;
      for (; it != cuts[f].end() && *it <= e; ++it) {
        const auto nx = it + 1;
        const uint64_t pe = (nx != cuts[f].end() && *nx <= e) ? *nx - 1 : e;
        s.E.push_back(TEntry{v, *it, pe, true, false, pe});
      }
    }
    if (s.E.size() != s.LpRaw) {
      s.IdPos.resize(s.E.size());
      for (size_t i = 0; i < s.IdPos.size(); ++i) s.IdPos[i] = uint32_t(i);
      std::stable_sort(s.IdPos.begin(), s.IdPos.end(),
                       [&](uint32_t a, uint32_t c) { return s.E[a].Pos < s.E[c].Pos; });
    }
  }
  GvcfPatchChrom = cut;
}

bool TMerger::ReadEntryRef(TSrc& s, const TEntry& e, std::string& ref) {
  ref.clear();
  if (e.IsNew) return true;
  if (!s.F->ReadVariant(e.Variant)) {
    Err.ErrorLine1 = &s == &S[0] ? s.F->VariantItem(e.Variant) : 0;
    Err.ErrorLine2 = &s == &S[1] ? s.F->VariantItem(e.Variant) : 0;
    return Fail(meMiscError, s.F->LineError().Msg + ": " + s.F->LineError().Details);
  }
  ref.assign(s.F->Column(e.Variant, vcfRef));
  return true;
}

bool TMerger::LoadLine(TSrc& s, const TEntry* e) {
  s.In = e != nullptr;
  s.Cur = e;
  if (!e) {
    s.NCols = 0;
    s.pRefAlt = nullptr;
    s.LRef = s.LAlt = 0;
    return true;
  }
  if (!s.F->ReadVariant(e->Variant)) {
    Err.ErrorLine1 = &s == &S[0] ? s.F->VariantItem(e->Variant) : 0;
    Err.ErrorLine2 = &s == &S[1] ? s.F->VariantItem(e->Variant) : 0;
    return Fail(meMiscError, s.F->LineError().Msg + ": " + s.F->LineError().Details);
  }
  s.Line = s.F->VariantLine(e->Variant);
  s.NCols = uint32_t(VcfSplitLine(s.Line.data(), s.Line.size(), s.Starts));
  const std::string_view ref = s.Col(vcfRef), alt = s.Col(vcfAlt);
  if (e->IsNew) {
    s.RefAlt = P.OutputUnkRefAllele;
    s.LRef = uint32_t(s.RefAlt.size());
    s.RefAlt += '\t';
    s.RefAlt += P.OutputUnkAltAllele.empty() ? alt : std::string_view(P.OutputUnkAltAllele);
    s.LAlt = uint32_t(s.RefAlt.size()) - s.LRef - 1;
    s.pRefAlt = s.RefAlt.data();
  } else {
    s.pRefAlt = ref.data();
    s.LRef = uint32_t(ref.size());
    s.LAlt = uint32_t(alt.size());
  }
  uint64_t bs = 0;
  (void)VcfReadPlainUInt(s.Col(vcfPos), bs);
  s.BlockStart = bs;
  return true;
}

int TMerger::HandlerFailed(TvcfColType kind, TVcfMergeHandlerResult r, const std::string& key) {
  Err.ErrorCol = uint8_t(kind);
  Err.ErrorKey = key;
  Err.InLine1 = S[0].In;
  Err.InLine2 = S[1].In;
  Err.ErrorLine1 = S[0].In ? S[0].F->VariantItem(S[0].Cur->Variant) : 0;
  Err.ErrorLine2 = S[1].In ? S[1].F->VariantItem(S[1].Cur->Variant) : 0;
  if (r == vmFAILED) {
    Err.ErrorKind = meHandler;
    Err.HandlerError = vmFAILED;
  } else if (r == vmInsufficientMemory) {
    Err.ErrorKind = meMemoryError;
    Err.HandlerError = r;
  } else {
    Err.ErrorKind = meLogicError;
    Err.HandlerError = r;
  }
  return -1;
}

int TMerger::CallColumn(TVcfVariantMergeHandler h, TvcfColType kind, TBuf& buf, std::string_view v1,
                        std::string_view v2, bool alleles) {
  TVcfVariantMergeHandlerParams hp = BaseParams();
  if (!alleles) {
    hp.pKeyValueStr1 = v1.empty() ? nullptr : v1.data();
    hp.LKeyValueStr1 = uint32_t(v1.size());
    hp.pKeyValueStr2 = v2.empty() ? nullptr : v2.data();
    hp.LKeyValueStr2 = uint32_t(v2.size());
  }
  if (buf.B.size() < 64) buf.B.resize(64);
  while (true) {
    hp.pDefaultOut = buf.B.data();
    hp.MaxOutLength = uint32_t(buf.B.size());
    hp.out_PActualOut = hp.pDefaultOut;
    hp.out_ActualOutLength = 0;
    const TVcfMergeHandlerResult r = h(hp);
    if (r == vmMergeOK) {
      if (hp.out_PActualOut != buf.B.data()) {
        const std::string t(hp.out_PActualOut, hp.out_ActualOutLength);
        buf.Set(t);
      } else {
        buf.Len = hp.out_ActualOutLength;
      }
      return 1;
    }
    if (r == vmExcludeVariant) return 0;
    if (r == vmInsufficientMemory) {
      if (hp.out_ActualOutLength <= hp.MaxOutLength) return HandlerFailed(kind, r, {});
      buf.B.resize(hp.out_ActualOutLength);
      continue;
    }
    return HandlerFailed(kind, r, {});
  }
}

int TMerger::InfoStep(uint32_t i) {
  const std::string& key = P.InfoKeysToMerge[i];
  std::string_view val[2];
  bool found[2] = {false, false};
  for (int f = 0; f < 2; ++f) {
    TSrc& s = S[f];
    if (!s.In) continue;
    if (i == EndKey && GvcfPatchChrom && s.Cur->CutEnd != vcfNone64) {
      const std::string t = std::to_string(s.Cur->CutEnd);
      std::memcpy(s.EndText, t.data(), t.size());
      s.LEndText = uint32_t(t.size());
      val[f] = std::string_view(s.EndText, s.LEndText);
      found[f] = true;
      continue;
    }
    const std::string_view info = s.Col(vcfInfo);
    uint32_t ofs = kNone, len = 0;
    GetPInfoKeyOfs(info, key, ofs, len);
    if (ofs != kNone) {
      found[f] = true;
      val[f] = info.substr(ofs, len);
    }
  }
  if (!found[0] && !found[1] && !P.ProcessInfoTagEvenIfAbsent) return 1;
  TBuf& b = Buf[vcfInfo - 1];
  const uint32_t before = InfoWritten ? b.Len : 0;
  const std::string_view sep = InfoWritten ? ";" : "";
  const bool eq = (found[0] || found[1]) && (!val[0].empty() || !val[1].empty());
  const uint32_t prefix = uint32_t(before + sep.size() + key.size() + (eq ? 1 : 0));
  TVcfVariantMergeHandlerParams hp = BaseParams();
  hp.pKeyValueStr1 = val[0].empty() ? nullptr : val[0].data();
  hp.LKeyValueStr1 = uint32_t(val[0].size());
  hp.pKeyValueStr2 = val[1].empty() ? nullptr : val[1].data();
  hp.LKeyValueStr2 = uint32_t(val[1].size());
  if (P.ExtraPtrExpectsCounters && P.VariantExtraPtr)
    static_cast<TVcfMrgExtraPtrWithCounters*>(P.VariantExtraPtr)->InfoCounter = i;
  uint32_t room = 32;
  while (true) {
    if (b.B.size() < prefix + room) b.B.resize(prefix + room);
    b.Len = before;
    b.Append(sep);
    b.Append(key);
    if (eq) b.Append("=");
    hp.pDefaultOut = b.B.data() + prefix;
    hp.MaxOutLength = uint32_t(b.B.size()) - prefix;
    hp.out_PActualOut = hp.pDefaultOut;
    hp.out_ActualOutLength = 0;
    const TVcfMergeHandlerResult r = P.InfoKeyHandlers[i](hp);
    if (r == vmMergeOK) {
      b.Len = prefix + hp.out_ActualOutLength;
      ++InfoWritten;
      return 1;
    }
    if (r == vmExcludeInfoTag) {
      b.Len = before;
      if (!InfoWritten) b.Set(".");
      return 1;
    }
    if (r == vmExcludeVariant) return 0;
    if (r == vmInsufficientMemory) {
      if (hp.out_ActualOutLength <= hp.MaxOutLength) return HandlerFailed(vcfInfo, r, key);
      room = hp.out_ActualOutLength;
      continue;
    }
    return HandlerFailed(vcfInfo, r, key);
  }
}

void TMerger::MakeFormatValues(TSrc& s) {
  s.ValsMade = true;
  const size_t nk = P.GtKeysToMerge.size();
  s.FmtIdx.assign(nk, kNone);
  if (!s.In || s.NCols <= vcfFormat) return;
  // Only the slots of the file's samples are written here and read by the FORMAT step.
  if (s.Vals.size() < nk * NTotalSamples) s.Vals.resize(nk * NTotalSamples);
  const std::string_view fmt = s.Col(vcfFormat);
  s.KeyOfItem.clear();
  for (size_t j = 0; j < nk; ++j) {
    const uint32_t k = VcfFindItem(fmt, P.GtKeysToMerge[j], ':');
    s.FmtIdx[j] = k;
    if (k == kNone) continue;
    if (s.KeyOfItem.size() <= k) s.KeyOfItem.resize(k + 1, kNone);
    s.KeyOfItem[k] = uint32_t(j);
  }
  const uint32_t nItems = uint32_t(s.KeyOfItem.size());
  if (nItems == 0) return;
  const char* line = s.Line.data();
  for (uint32_t o = 0; o < NTotalSamples; ++o) {
    const uint32_t smp = s.SamplesToProcess[o];
    if (smp == kNone) continue;
    for (size_t j = 0; j < nk; ++j) s.Vals[j * NTotalSamples + o] = {};
    if (vcfSample + smp >= s.NCols) continue;
    const uint32_t c = vcfSample + smp;
    uint32_t b = s.Starts[c];
    const uint32_t e = s.Starts[c + 1] - 1;
    // Items are a few bytes: a plain loop beats a library search per item.
    for (uint32_t item = 0; item < nItems && b <= e; ++item) {
      uint32_t q = b;
      while (q < e && line[q] != ':') ++q;
      const uint32_t key = s.KeyOfItem[item];
      if (key != kNone && q > b) s.Vals[size_t(key) * NTotalSamples + o] = {line + b, q - b};
      b = q + 1;
    }
  }
}

int TMerger::FormatStep(uint32_t j) {
  const std::string& key = P.GtKeysToMerge[j];
  if (!S[0].ValsMade) MakeFormatValues(S[0]);
  if (!S[1].ValsMade) MakeFormatValues(S[1]);
  const bool any = S[0].FmtIdx[j] != kNone || S[1].FmtIdx[j] != kNone;
  const std::string_view sep = GtWritten ? ":" : "";
  if (!any && !P.ProcessGtTagEvenIfAbsent) {
    // Written as missing in place, so the keys after it keep their places.
    for (TBuf& b : SmpBuf) {
      b.Append(sep);
      b.Append(".");
    }
    ++GtWritten;
    return 1;
  }
  if (P.ExtraPtrExpectsCounters && P.VariantExtraPtr)
    static_cast<TVcfMrgExtraPtrWithCounters*>(P.VariantExtraPtr)->GtCounter = j;
  TVcfVariantMergeHandlerParams hp = BaseParams();
  const TVcfVariantMergeHandler h = P.GtKeyHandlers[j];
  for (uint32_t s = 0; s < NTotalSamples; ++s) {
    const size_t at = size_t(j) * NTotalSamples + s;
    std::string_view val[2];
    for (int f = 0; f < 2; ++f)
      if (S[f].FmtIdx[j] != kNone && S[f].SamplesToProcess[s] != kNone) val[f] = S[f].Vals[at];
    hp.pKeyValueStr1 = val[0].empty() ? nullptr : val[0].data();
    hp.LKeyValueStr1 = uint32_t(val[0].size());
    hp.pKeyValueStr2 = val[1].empty() ? nullptr : val[1].data();
    hp.LKeyValueStr2 = uint32_t(val[1].size());
    if (P.ExtraPtrExpectsCounters && P.VariantExtraPtr)
      static_cast<TVcfMrgExtraPtrWithCounters*>(P.VariantExtraPtr)->SampleCounter = s;
    TBuf& b = SmpBuf[s];
    SmpSaved[s] = b.Len;
    if (!sep.empty()) b.Append(sep);
    if (b.B.size() < b.Len + 16) b.B.resize(b.Len + 32);
    while (true) {
      hp.pDefaultOut = b.B.data() + b.Len;
      hp.MaxOutLength = uint32_t(b.B.size()) - b.Len;
      hp.out_PActualOut = hp.pDefaultOut;
      hp.out_ActualOutLength = 0;
      const TVcfMergeHandlerResult r = h(hp);
      if (r == vmMergeOK) {
        b.Len += hp.out_ActualOutLength;
        break;
      }
      if (r == vmInsufficientMemory) {
        if (hp.out_ActualOutLength <= hp.MaxOutLength) return HandlerFailed(vcfFormat, r, key);
        b.B.resize(size_t(b.Len) + hp.out_ActualOutLength);
        continue;
      }
      if (r == vmExcludeGtTag) {
        for (uint32_t t = 0; t <= s; ++t) SmpBuf[t].Len = SmpSaved[t];
        GtKeyOn[j] = false;
        GtAllOn = false;
        return 1;
      }
      if (r == vmExcludeVariant) return 0;
      return HandlerFailed(vcfFormat, r, key);
    }
  }
  ++GtWritten;
  return 1;
}

int TMerger::RunStep(TvcfColType kind, uint32_t& infoI, uint32_t& gtJ) {
  switch (kind) {
    case vcfID:
      return CallColumn(P.IdHandler, kind, Buf[vcfID], S[0].Col(vcfID), S[1].Col(vcfID), false);
    case vcfRef:
    case vcfAlt:
      return CallColumn(P.AlleleHandler, kind, Buf[vcfRef], {}, {}, true);
    case vcfQual:
      return CallColumn(P.QualHandler, kind, Buf[vcfQual - 1], S[0].Col(vcfQual), S[1].Col(vcfQual),
                        false);
    case vcfFilter:
      return CallColumn(P.FilterHandler, kind, Buf[vcfFilter - 1], S[0].Col(vcfFilter),
                        S[1].Col(vcfFilter), false);
    case vcfInfo:
      if (infoI >= P.InfoKeysToMerge.size()) return 1;
      return InfoStep(infoI++);
    case vcfFormat:
    case vcfSample:
      if (gtJ >= P.GtKeysToMerge.size()) return 1;
      return FormatStep(gtJ++);
    default:
      return 1;
  }
}

int TMerger::MakeLine(const std::string& chrom, const TEntry* e1, const TEntry* e2,
                      bool checkPair) {
  if (!LoadLine(S[0], e1) || !LoadLine(S[1], e2)) return -1;
  if (checkPair && !RefsPair(S[0].Col(vcfRef), e1->IsNew, S[1].Col(vcfRef), e2->IsNew)) return 2;
  S[0].ValsMade = S[1].ValsMade = false;
  // A piece's reference base is unknown: beside the other file's record it takes that REF.
  if (e1 && e2 && e1->IsNew != e2->IsNew) {
    TSrc& unk = e1->IsNew ? S[0] : S[1];
    const TSrc& known = e1->IsNew ? S[1] : S[0];
    std::string alt(unk.RefAlt.substr(unk.LRef + 1));
    unk.RefAlt.assign(known.pRefAlt, known.LRef);
    unk.LRef = known.LRef;
    unk.RefAlt += '\t';
    unk.RefAlt += alt;
    unk.pRefAlt = unk.RefAlt.data();
  }
  Buf[vcfChrom].Set(chrom);
  if (e1 && e1->IsNew)
    Buf[vcfPos].Set(std::to_string(e1->Pos));
  else if (e1)
    Buf[vcfPos].Set(S[0].Col(vcfPos));
  else if (e2->IsNew)
    Buf[vcfPos].Set(std::to_string(e2->Pos));
  else
    Buf[vcfPos].Set(S[1].Col(vcfPos));
  PosNum = e1 ? e1->Pos : e2->Pos;
  for (int c = vcfID; c <= vcfInfo - 1; ++c) Buf[c].Set(".");
  for (TBuf& b : SmpBuf) b.Len = 0;
  InfoWritten = GtWritten = 0;
  if (!GtAllOn) {
    std::fill(GtKeyOn.begin(), GtKeyOn.end(), true);
    GtAllOn = true;
  }
  uint32_t infoI = 0, gtJ = 0;
  for (TvcfColType k : P.HandlerOrder) {
    const int r = RunStep(k, infoI, gtJ);
    if (r <= 0) return r;
  }
  LineText.clear();
  for (int c = 0; c < 7; ++c) {
    LineText.append(Buf[c].Text());
    LineText += '\t';
  }
  if (GtAllOn) {
    LineText += NewFmtString;
  } else {
    bool first = true;
    for (size_t j = 0; j < P.GtKeysToMerge.size(); ++j)
      if (GtKeyOn[j]) {
        if (!first) LineText += ':';
        LineText += P.GtKeysToMerge[j];
        first = false;
      }
  }
  for (const TBuf& b : SmpBuf) {
    LineText += '\t';
    LineText.append(b.Text());
  }
  Out.AddLine(LineText);
  ++St.DataLines;
  return 1;
}

bool TMerger::Walk(const std::string& chrom, bool in1, bool in2) {
  TSrc& a = S[0];
  TSrc& b = S[1];
  size_t k1 = 0, k2 = 0;
  const size_t n1 = in1 ? a.IdPos.size() : 0, n2 = in2 ? b.IdPos.size() : 0;
  std::vector<const TEntry*> r1, r2;
  std::vector<std::string> ref1, ref2;
  std::vector<bool> used2;
  while (k1 < n1 || k2 < n2) {
    if (Stopped()) return Fail(meCancelled);
    uint64_t pos;
    if (k1 >= n1)
      pos = b.E[b.IdPos[k2]].Pos;
    else if (k2 >= n2)
      pos = a.E[a.IdPos[k1]].Pos;
    else
      pos = std::min(a.E[a.IdPos[k1]].Pos, b.E[b.IdPos[k2]].Pos);
    r1.clear();
    r2.clear();
    while (k1 < n1 && a.E[a.IdPos[k1]].Pos == pos) r1.push_back(&a.E[a.IdPos[k1++]]);
    while (k2 < n2 && b.E[b.IdPos[k2]].Pos == pos) r2.push_back(&b.E[b.IdPos[k2++]]);
    if (r1.empty() || r2.empty()) {
      if (P.ANDCombineLoci) continue;
      for (const TEntry* e : r1)
        if (MakeLine(chrom, e, nullptr) < 0) return false;
      for (const TEntry* e : r2)
        if (MakeLine(chrom, nullptr, e) < 0) return false;
      continue;
    }
    if (r1.size() == 1 && r2.size() == 1) {
      const int m = MakeLine(chrom, r1[0], r2[0], true);
      if (m < 0) return false;
      if (m != 2) continue;
    }
    // Records at one position pair by their REF alleles, not by their order in the files.
    ref1.resize(r1.size());
    ref2.resize(r2.size());
    for (size_t i = 0; i < r1.size(); ++i)
      if (!ReadEntryRef(a, *r1[i], ref1[i])) return false;
    for (size_t i = 0; i < r2.size(); ++i)
      if (!ReadEntryRef(b, *r2[i], ref2[i])) return false;
    used2.assign(r2.size(), false);
    auto unpaired = [&](const TEntry* e) {
      ++St.UnpairedRecords;
      if (St.FirstUnpaired.empty()) St.FirstUnpaired = chrom + ":" + std::to_string(e->Pos);
    };
    for (size_t i = 0; i < r1.size(); ++i) {
      size_t j = 0;
      for (; j < r2.size(); ++j)
        if (!used2[j] && RefsPair(ref1[i], r1[i]->IsNew, ref2[j], r2[j]->IsNew)) break;
      if (j < r2.size()) {
        used2[j] = true;
        if (MakeLine(chrom, r1[i], r2[j]) < 0) return false;
        continue;
      }
      unpaired(r1[i]);
      if (!P.ANDCombineLoci && MakeLine(chrom, r1[i], nullptr) < 0) return false;
    }
    for (size_t j = 0; j < r2.size(); ++j) {
      if (used2[j]) continue;
      unpaired(r2[j]);
      if (!P.ANDCombineLoci && MakeLine(chrom, nullptr, r2[j]) < 0) return false;
    }
  }
  return true;
}

bool TMerger::Run() {
  Err = TVcfMergeError();
  if (S[0].F->NSamples() == 0 || S[1].F->NSamples() == 0)
    return Fail(meInputEmpty,
                S[0].F->NSamples() == 0 ? "file 1 has no samples" : "file 2 has no samples");
  if (P.GvcfModeAuto) {
    S[0].F->GuessIsGVCF(false, true);
    S[1].F->GuessIsGVCF(false, true);
  }
  GvcfMode = S[0].F->IsGVcf() || S[1].F->IsGVcf();
  St.GvcfMode = GvcfMode;
  if (!CheckHandlers()) return false;
  // Chromosomes: the union of both files' names, in name order.
  S[0].FromVariant = P.FromVcf1Variant;
  S[0].ToVariant = P.ToVcf1Variant;
  S[1].FromVariant = P.FromVcf2Variant;
  S[1].ToVariant = P.ToVcf2Variant;
  for (TSrc& s : S) {
    s.F->ForgetLineErrors();
    if (!ScanFile(s)) return false;
    CombRefNames.insert(CombRefNames.end(), s.RefNames.begin(), s.RefNames.end());
  }
  std::sort(CombRefNames.begin(), CombRefNames.end(), VcfNameLess);
  CombRefNames.erase(std::unique(CombRefNames.begin(), CombRefNames.end()), CombRefNames.end());
  if (CombRefNames.empty()) return Fail(meRefNameError, "no chromosome to merge");
  for (TSrc& s : S) {
    s.RefNameIds.assign(CombRefNames.size(), kNone);
    for (size_t c = 0; c < CombRefNames.size(); ++c) {
      auto it =
          std::lower_bound(s.RefNames.begin(), s.RefNames.end(), CombRefNames[c], VcfNameLess);
      if (it != s.RefNames.end() && *it == CombRefNames[c])
        s.RefNameIds[c] = uint32_t(it - s.RefNames.begin());
    }
  }
  if (!Samples()) return false;

  if (P.MetaInfoHandler && (!P.AppendVcfLines || Out.LinesBefore() == 0)) {
    const std::string m1 = S[0].F->GetMetaText(), m2 = S[1].F->GetMetaText();
    std::vector<std::string> meta;
    (void)P.MetaInfoHandler(m1.data(), m2.data(), uint32_t(m1.size()), uint32_t(m2.size()), meta,
                            P.MetaExtraPtr);
    for (const std::string& l : meta) Out.AddLine(l);
    std::string hdr;
    for (size_t c = 0; c < vcfHdrPredefCol.size(); ++c) {
      if (c) hdr += '\t';
      hdr += vcfHdrPredefCol[c];
    }
    for (const std::string& n : CombSampleNames) hdr += "\t" + n;
    Out.AddLine(hdr);
  }

  for (size_t j = 0; j < P.GtKeysToMerge.size(); ++j) {
    if (j) NewFmtString += ':';
    NewFmtString += P.GtKeysToMerge[j];
  }
  GtKeyOn.assign(P.GtKeysToMerge.size(), true);
  SmpBuf.resize(NTotalSamples);
  SmpSaved.resize(NTotalSamples);
  for (TBuf& b : SmpBuf) b.B.resize(32);
  for (size_t i = 0; i < P.InfoKeysToMerge.size(); ++i)
    if (P.InfoKeysToMerge[i] == "END") {
      EndKey = uint32_t(i);
      break;
    }

  for (size_t c = 0; c < CombRefNames.size(); ++c) {
    const bool in1 = S[0].RefNameIds[c] != kNone, in2 = S[1].RefNameIds[c] != kNone;
    if (P.ANDCombineLoci && !(in1 && in2)) continue;
    HaveChromBoth = in1 && in2;
    GvcfPatchChrom = false;
    if (!BuildEntries(S[0], S[0].RefNameIds[c]) || !BuildEntries(S[1], S[1].RefNameIds[c]))
      return false;
    if (GvcfMode && HaveChromBoth) BreakBlocks();
    if (!Walk(CombRefNames[c], in1, in2)) return false;
  }
  return true;
}

}  // namespace

bool VcfMerge(TVCFFile& vcf1, TVCFFile& vcf2, IVcfMergeSink& out, TVcfMergeError& errorDetails,
              const TVcfMergeParams& p, TVcfMergeStats* stats) {
  TVcfMergeStats local;
  TVcfMergeStats& st = stats ? *stats : local;
  st = TVcfMergeStats();
  TMerger m(vcf1, vcf2, out, errorDetails, p, st);
  return m.Run();
}

std::string_view VcfMergeErrorName(TVcfMergeErrorCode code) {
  switch (code) {
    case meOK:
      return "no error";
    case meInputEmpty:
      return "input without samples";
    case meHandler:
      return "values cannot be merged";
    case meNoHandler:
      return "handler missing";
    case meRefNameError:
      return "no chromosome to merge";
    case meNoSamplesToCombine:
      return "no samples to combine";
    case meImplicitAssumptionsViolated:
      return "assumption violated";
    case meMemoryError:
      return "handler asked for no more room than it had";
    case meLogicError:
      return "handler result out of place";
    case meMiscError:
      return "line cannot be read";
    case meCancelled:
      return "cancelled";
  }
  return "unknown error";
}
