// TVCFFile: opening, header line and samples, meta text and key directory, gVCF guess,
// selection and the per-variant allele questions.
#include "vcf/bioVCF.h"

#include <algorithm>
#include <cstring>

#include "vcf/vcfAlleles.h"
#include "vcf/vcfLine.h"

TVCFFile::TVCFFile() { InitVCFFields(); }
TVCFFile::~TVCFFile() = default;

void TVCFFile::InitVCFFields() {
  FHdrRowOfs = ~uint64_t(0);
  FNSamples = 0;
  FNVariants = 0;
  FSampleNames.clear();
  FIsGVCF = false;
  FMetaKeyDir.Clear();
  FMetaWarnings.clear();
  FInfoDir = FFmtDir = 0xFFFFFFFFu;
  FSelectionMade = false;
  FSelection.clear();
  FSplitVar = ~uint64_t(0);
  FLine = {};
  FCols.clear();
  FNFields = 0;
}

uint64_t TVCFFile::FindHdrRowOfs() const {
  const uint64_t n = FText.NLines();
  for (uint64_t i = 0; i < n; ++i) {
    std::string_view l = FText.Line(i);
    if (l.starts_with("#CHROM")) return i;
    // Meta lines and comments come first; anything else means there is no header line.
    if (l.empty() || l[0] != '#') return ~uint64_t(0);
  }
  return ~uint64_t(0);
}

bool TVCFFile::OpenDone(const std::string& name) {
  FHdrRowOfs = FindHdrRowOfs();
  if (FHdrRowOfs == ~uint64_t(0)) {
    FLastErr = TZelErr::User(
        FText.Size() == 0 ? "Empty file, not a VCF file" : "Not a VCF file (no #CHROM header line)",
        name);
    FText.Close();
    FHdrRowOfs = ~uint64_t(0);
    return false;
  }
  FNVariants = FText.NLines() - FHdrRowOfs - 1;
  std::string_view hdr = FText.Line(FHdrRowOfs);
  std::vector<uint32_t> cols;
  size_t n = VcfSplitLine(hdr.data(), hdr.size(), cols);
  FNSamples = n < 9 ? 0 : uint32_t(n - 9);
  FSampleNames.clear();
  FSampleNames.reserve(FNSamples);
  for (size_t c = 9; c < n; ++c)
    FSampleNames.emplace_back(hdr.substr(cols[c], cols[c + 1] - 1 - cols[c]));
  return true;
}

bool TVCFFile::OpenFile(const std::string& fileName) {
  InitVCFFields();
  FLastErr.Clear();
  FFileName = fileName;
  FText.Close();
  TZelErr err = FText.Open(fileName);
  if (err) {
    FLastErr = err;
    return false;
  }
  return OpenDone(fileName);
}

bool TVCFFile::OpenText(std::string text, const std::string& name) {
  InitVCFFields();
  FLastErr.Clear();
  FFileName = name;
  FText.OpenMemory(std::move(text));
  return OpenDone(name);
}

bool TVCFFile::SetSampleNames(const std::vector<std::string>& names) {
  if (names.size() != FNSamples) return false;
  FSampleNames = names;
  return true;
}

bool TVCFFile::SplitVariant(uint64_t v) const {
  if (v >= FNVariants) return false;
  if (v != FSplitVar) {
    FLine = FText.Line(FHdrRowOfs + 1 + v);
    FNFields = uint32_t(VcfSplitLine(FLine.data(), FLine.size(), FCols));
    if (FNFields == 0) FCols.assign(1, 0);
    FSplitVar = v;
  }
  return true;
}

std::string TVCFFile::GetMetaText() const {
  if (FHdrRowOfs == ~uint64_t(0)) return {};
  uint64_t e = FText.LineStart(FHdrRowOfs);
  if (e > 0xFFFFFFFFu) return {};
  return std::string(FText.Data(), e);
}

std::vector<std::string> TVCFFile::ParseMetaText() const {
  std::string t = GetMetaText();
  std::string s;
  s.reserve(t.size());
  for (char c : t) {
    char d = c == '\r' ? '\n' : c;
    if (d == '\n' && !s.empty() && s.back() == '\n') continue;
    s.push_back(d);
  }
  if (!s.empty() && s.front() == '\n') s.erase(0, 1);
  if (!s.empty() && s.back() == '\n') s.pop_back();
  std::vector<std::string> r;
  if (s.empty()) return r;
  size_t b = 0;
  while (true) {
    size_t e = s.find('\n', b);
    r.push_back(s.substr(b, e == std::string::npos ? std::string::npos : e - b));
    if (e == std::string::npos) break;
    b = e + 1;
  }
  return r;
}

bool TVCFFile::MakeKeyDir(bool initPredefined, bool makeFromMetaText, bool fallback,
                          std::string_view overrideMetaText) {
  bool result = false;
  if (initPredefined) {
    FInfoDir = FMetaKeyDir.InitKeyType("INFO", vcfiReservedINFOKeys.data(),
                                       uint32_t(vcfiReservedINFOKeys.size()));
    FFmtDir = FMetaKeyDir.InitKeyType("FORMAT", vcfgReservedGenotypeKeys.data(),
                                      uint32_t(vcfgReservedGenotypeKeys.size()));
  }
  if (makeFromMetaText) {
    std::string own;
    std::string_view text = overrideMetaText;
    if (text.empty()) {
      own = GetMetaText();
      text = own;
    }
    if (text.empty()) {
      result = true;
    } else {
      TVcfMetaKeyDir fresh;
      FMetaWarnings.clear();
      result = MakeVcfMetaKeyDir(text, fresh, FText.LineBreak(), false, &FMetaWarnings);
      FMetaKeyDir.MergeWith(fresh);
    }
    FInfoDir = FMetaKeyDir.FindKeyType("INFO");
    FFmtDir = FMetaKeyDir.FindKeyType("FORMAT");
  }
  if (fallback) {
    if (FInfoDir == 0xFFFFFFFFu)
      FInfoDir = FMetaKeyDir.InitKeyType("INFO", vcfiReservedINFOKeys.data(),
                                         uint32_t(vcfiReservedINFOKeys.size()));
    if (FFmtDir == 0xFFFFFFFFu)
      FFmtDir = FMetaKeyDir.InitKeyType("FORMAT", vcfgReservedGenotypeKeys.data(),
                                        uint32_t(vcfgReservedGenotypeKeys.size()));
    // Adding a key type re-sorts the list: find both again.
    FInfoDir = FMetaKeyDir.FindKeyType("INFO");
    FFmtDir = FMetaKeyDir.FindKeyType("FORMAT");
  }
  return result;
}

static bool LookupDef(const TVcfMetaKeyDir& dir, uint32_t pos, std::string_view key,
                      TvcfKeyDescription& def, std::vector<TVcfTagValueStr>& pairs) {
  if (pos >= dir.N) return false;
  const TVcfKeyDirectory& kd = dir.Definitions[pos];
  uint32_t id = kd.GetKeyID(key);
  if (id == 0xFFFFFFFFu) return false;
  // Predefined directories hold names only: the key is known but has no description.
  if (id < kd.KeyDef.size())
    def = kd.KeyDef[id];
  else
    def.kID = std::string(key);
  if (id < kd.TagValuePairs.size()) pairs = kd.TagValuePairs[id];
  return true;
}

bool TVCFFile::GetInfoKeyDirDefinition(std::string_view key, TvcfKeyDescription& def,
                                       std::vector<TVcfTagValueStr>& pairs) {
  def = {};
  pairs.clear();
  if (FInfoDir == 0xFFFFFFFFu) MakeKeyDir(false, true, true);
  return LookupDef(FMetaKeyDir, FInfoDir, key, def, pairs);
}

bool TVCFFile::GetFmtKeyDirDefinition(std::string_view key, TvcfKeyDescription& def,
                                      std::vector<TVcfTagValueStr>& pairs) {
  def = {};
  pairs.clear();
  if (FFmtDir == 0xFFFFFFFFu) MakeKeyDir(false, true, true);
  return LookupDef(FMetaKeyDir, FFmtDir, key, def, pairs);
}

bool TVCFFile::GuessIsGVCF(bool forceMakeDir, bool updateVCFState) {
  if (forceMakeDir || FMetaKeyDir.N == 0 || !FMetaKeyDir.IsValid) MakeKeyDir(false, true, true);
  bool answer = false;
  uint32_t alt = FMetaKeyDir.FindKeyType("ALT");
  if (alt != 0xFFFFFFFFu) {
    const auto& kd = FMetaKeyDir.Definitions[alt];
    answer = kd.GetKeyID("*") != 0xFFFFFFFFu || kd.GetKeyID("NON_REF") != 0xFFFFFFFFu;
  }
  // Only ALT is needed: reach it byte by byte (the columns before it are short) and look for
  // a '<' there before asking about placeholders.
  for (uint64_t v = 0; !answer && v < FNVariants; ++v) {
    std::string_view l = VariantLine(v);
    const char* p = l.data();
    const char* e = p + l.size();
    int tabs = 0;
    while (p < e && tabs < vcfAlt) tabs += *p++ == '\t';
    if (tabs < vcfAlt) continue;
    const char* a = p;
    bool lt = false;
    while (p < e && *p != '\t') lt |= *p++ == '<';
    if (lt) answer = VcfHasUnkNonRefAltAllele(std::string_view(a, size_t(p - a)));
  }
  if (updateVCFState) FIsGVCF = answer;
  return answer;
}

void TVCFFile::ClearSelection(bool selectAll) {
  FSelection.assign((FNVariants + 63) / 64, selectAll ? ~uint64_t(0) : 0);
  if (selectAll && (FNVariants & 63)) FSelection.back() = (uint64_t(1) << (FNVariants & 63)) - 1;
  FSelectionMade = true;
}

void TVCFFile::SetSelected(uint64_t v, bool on) {
  if (!FSelectionMade) ClearSelection(false);
  if (v >= FNVariants) return;
  if (on)
    FSelection[v >> 6] |= uint64_t(1) << (v & 63);
  else
    FSelection[v >> 6] &= ~(uint64_t(1) << (v & 63));
}

uint64_t TVCFFile::NSelected() const {
  uint64_t n = 0;
  for (uint64_t w : FSelection) n += uint64_t(__builtin_popcountll(w));
  return n;
}

std::vector<std::string> TVCFFile::GetAlleles(uint64_t v) const {
  return VcfGetAlleles(Column(v, vcfRef), Column(v, vcfAlt));
}
uint32_t TVCFFile::GetNAlleles(uint64_t v) const { return VcfGetNAlleles(Column(v, vcfAlt)); }
bool TVCFFile::IsAltAllelePresent(uint64_t v) const {
  return VcfIsAltAllelePresent(Column(v, vcfAlt));
}
bool TVCFFile::IsPolymorphic(uint64_t v) const {
  return VcfIsPolymorphic(Column(v, vcfRef), Column(v, vcfAlt));
}
bool TVCFFile::IsSNP(uint64_t v) const { return VcfIsSNP(Column(v, vcfRef), Column(v, vcfAlt)); }
bool TVCFFile::IsBiallelic(uint64_t v) const { return VcfIsBiallelic(Column(v, vcfAlt)); }
bool TVCFFile::IsTransition(uint64_t v) const {
  return VcfIsTransition(Column(v, vcfRef), Column(v, vcfAlt));
}
bool TVCFFile::IsTransversion(uint64_t v) const {
  return VcfIsTransversion(Column(v, vcfRef), Column(v, vcfAlt));
}
bool TVCFFile::IsIndel(uint64_t v) const {
  return VcfIsIndel(Column(v, vcfRef), Column(v, vcfAlt), Column(v, vcfInfo));
}
bool TVCFFile::IsNondegenerate(uint64_t v) const {
  return VcfIsNondegenerate(Column(v, vcfRef), Column(v, vcfAlt));
}
bool TVCFFile::HasSymbolicAllele(uint64_t v) const {
  return VcfHasSymbolicAllele(Column(v, vcfRef), Column(v, vcfAlt));
}
bool TVCFFile::HasUnkNonRefAltAllele(uint64_t v) const {
  return VcfHasUnkNonRefAltAllele(Column(v, vcfAlt));
}
uint32_t TVCFFile::LenRefOnlyBlock(uint64_t v) const {
  return VcfLenRefOnlyBlock(Column(v, vcfPos), Column(v, vcfAlt), Column(v, vcfInfo));
}
bool TVCFFile::GetBlockCoord(uint64_t v, uint64_t& s, uint64_t& e, bool onlyRefOnlyBlocks,
                             bool evalREFLenIfENDless, bool* hasENDTag) const {
  return VcfGetBlockCoord(Column(v, vcfPos), Column(v, vcfRef), Column(v, vcfAlt),
                          Column(v, vcfInfo), s, e, onlyRefOnlyBlocks, evalREFLenIfENDless,
                          hasENDTag);
}

uint64_t TVCFFile::GetNucMatrix(double m[4][4], uint64_t from, uint64_t to) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) m[i][j] = 0;
  if (FNVariants == 0) return 0;
  to = std::min(to, FNVariants - 1);
  if (from > FNVariants || to < from) return 0;
  if (!FSelectionMade) ClearSelection(true);
  auto code = [](char c) -> int {
    switch (c) {
      case 'A':
      case 'a':
        return 0;
      case 'C':
      case 'c':
        return 1;
      case 'G':
      case 'g':
        return 2;
      case 'T':
      case 't':
        return 3;
      default:
        return -1;
    }
  };
  uint64_t cnt[4][4] = {};
  for (uint64_t v = from; v <= to; ++v) {
    if (!IsSelected(v)) continue;
    std::string_view ref = Column(v, vcfRef), alt = Column(v, vcfAlt);
    if (!VcfIsSNP(ref, alt) || !VcfIsBiallelic(alt)) continue;
    std::vector<std::string> al = VcfGetAlleles(ref, alt);
    if (al.size() < 2 || al[0].empty() || al[1].empty()) continue;
    int r = code(al[0][0]), a = code(al[1][0]);
    if (r >= 0 && a >= 0) ++cnt[r][a];
  }
  uint64_t total = 0;
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j) total += cnt[i][j] + cnt[j][i];
  if (total == 0) return 0;
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      m[i][j] = m[j][i] = double(cnt[i][j] + cnt[j][i]) / double(total);
  return total;
}
