// TVCFFile: opening, header line and samples, meta text and key directory, gVCF guess,
// selection and the per-variant allele questions.
#include "vcf/bioVCF.h"

#include <algorithm>
#include <cstring>

#include "fileaccess/bioBGZF.h"
#include "vcf/vcfAlleles.h"
#include "vcf/vcfLine.h"

std::string_view VcfCompressionName(TVcfCompression c) {
  switch (c) {
    case TVcfCompression::Gzip:
      return "gzip";
    case TVcfCompression::Bgzf:
      return "BGZF";
    default:
      return "none";
  }
}

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
  FSelection.Clear();
  FChromCache.Clear();
  FSplitVar = ~uint64_t(0);
  FLine = "";
  FLineLen = 0;
  FCols.clear();
  FNFields = 0;
}

void TVCFFile::CloseText() {
  FText.reset();
  std::string().swap(FMemText);
  std::string().swap(FMetaText);
  FNLines = 0;
  FCompression = TVcfCompression::None;
  FCrLf = false;
}

bool TVCFFile::LineAt(uint64_t i, const char*& p, uint64_t& len) const {
  p = "";
  len = 0;
  if (i >= FNLines) return false;
  const uint8_t* q = FText->GetItemPtr(i, len);
  if (!q) {  // empty, or not readable: an empty line
    len = 0;
    return true;
  }
  p = reinterpret_cast<const char*>(q);
  if (len > 0 && p[len - 1] == '\r') --len;
  return true;
}

uint64_t TVCFFile::FindHdrRowOfs() const {
  for (uint64_t i = 0; i < FNLines; ++i) {
    const char* p;
    uint64_t n;
    LineAt(i, p, n);
    std::string_view l(p, n);
    if (l.starts_with("#CHROM")) return i;
    // Meta lines and comments come first; anything else means there is no header line.
    if (l.empty() || l[0] != '#') return ~uint64_t(0);
  }
  return ~uint64_t(0);
}

bool TVCFFile::OpenDone(const std::string& name) {
  // n separators make n + 1 items; a break at the very end adds no line.
  const uint64_t nSep = FText->GetNItems(0) - 1;
  FNLines = nSep + (FText->GetItemLen(nSep) > 0 ? 1 : 0);
  FHdrRowOfs = FindHdrRowOfs();
  if (FHdrRowOfs == ~uint64_t(0)) {
    FLastErr = TZelErr::User(
        FNLines == 0 ? "Empty file, not a VCF file" : "Not a VCF file (no #CHROM header line)",
        name);
    CloseText();
    return false;
  }
  FNVariants = FNLines - FHdrRowOfs - 1;
  // Header text is kept as a copy: line pointers do not outlive the next read.
  FMetaText.clear();
  for (uint64_t i = 0; i < FHdrRowOfs; ++i) {
    uint64_t len = 0;
    const uint8_t* q = FText->GetItemPtr(i, len);
    if (q) FMetaText.append(reinterpret_cast<const char*>(q), len);
    FMetaText.push_back('\n');
    if (i == 0) FCrLf = len > 0 && q[len - 1] == '\r';
  }
  const char* hp;
  uint64_t hn;
  LineAt(FHdrRowOfs, hp, hn);
  if (FHdrRowOfs == 0) FCrLf = FText->GetItemLen(0) > hn;
  const std::string hdr(hp, hn);
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
  CloseText();
  FLastErr.Clear();
  FFileName = fileName;
  auto text = std::make_unique<TMMTF>();
  // Variants are mostly read in order: a plain file comes through a read window that stays in
  // the processor's cache (a quarter faster than first touches of the mapping).
  text->SetReadWindow(uint64_t(256) << 10);
  TZelErr err;
  if (!ZelLoadAndIndex(*text, fileName, err, "\n", 0, FPartSz)) {
    FLastErr = err ? err : TZelErr::User("Cannot open file", fileName);
    return false;
  }
  if (auto* z = dynamic_cast<TZCompressedFile*>(text->Decoder().get()))
    FCompression = z->ZCompressionType() == zcBGZF ? TVcfCompression::Bgzf : TVcfCompression::Gzip;
  FText = std::move(text);
  return OpenDone(fileName);
}

bool TVCFFile::OpenText(std::string text, const std::string& name) {
  InitVCFFields();
  CloseText();
  FLastErr.Clear();
  FFileName = name;
  if (text.empty()) {
    FLastErr = TZelErr::User("Empty file, not a VCF file", name);
    return false;
  }
  FMemText = std::move(text);
  FText = std::make_unique<TMMTF>();
  FText->MemAttach(reinterpret_cast<const uint8_t*>(FMemText.data()), FMemText.size());
  if (FText->MakeIndex("\n") == cNoIdx) {
    FLastErr = FText->LastError() ? FText->LastError() : TZelErr::User("Cannot index text", name);
    CloseText();
    return false;
  }
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
    uint64_t len = 0;
    const uint8_t* q = FText->GetItemPtr(FHdrRowOfs + 1 + v, len);
    const char* p = q ? reinterpret_cast<const char*>(q) : "";
    if (!q) len = 0;
    // Lines are mostly read in order: ask for the next one (taken as long as this one) while
    // this one is worked on, so that its bytes come from the cache when it is split. A
    // prefetch never faults, wherever the next line lies.
    const uintptr_t next = reinterpret_cast<uintptr_t>(p) + len + 1;
    for (uint64_t o = 0; o < len && o < 16384; o += 64)
      __builtin_prefetch(reinterpret_cast<const void*>(next + o));
    FNFields = uint32_t(VcfSplitLine(p, len, FCols));
    if (FNFields == 0) {
      // Not splittable (beyond 4 GiB): read as an empty line.
      FCols.assign(1, 0);
      p = "";
      len = 0;
    } else if (len > 0 && p[len - 1] == '\r') {
      // Looked at after the split, when the line's end is already in the cache: a CR before
      // the line break belongs to no column.
      --len;
      FCols[FNFields] = uint32_t(len + 1);
    }
    FLine = p;
    FLineLen = uint32_t(len);
    FSplitVar = v;
  }
  return true;
}

std::string TVCFFile::GetMetaText() const { return FMetaText; }

std::vector<std::string> TVCFFile::ParseMetaText() const {
  const std::string& t = FMetaText;
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
    std::string_view text = overrideMetaText;
    if (text.empty()) text = FMetaText;
    if (text.empty()) {
      result = true;
    } else {
      TVcfMetaKeyDir fresh;
      FMetaWarnings.clear();
      result = MakeVcfMetaKeyDir(text, fresh, FCrLf ? "\r\n" : "\n", false, &FMetaWarnings);
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
  const uint64_t nv = std::min(FNVariants, cGVcfGuessLines);
  for (uint64_t v = 0; !answer && v < nv; ++v) {
    const std::string_view alt = Column(v, vcfAlt);
    if (alt.find('<') != std::string_view::npos) answer = VcfHasUnkNonRefAltAllele(alt);
  }
  if (updateVCFState) FIsGVCF = answer;
  return answer;
}

void TVCFFile::ClearSelection(bool selectAll) {
  FSelection.Make(FNVariants, selectAll);
  FSelectionMade = true;
}

void TVCFFile::SetSelected(uint64_t v, bool on) {
  if (!FSelectionMade) ClearSelection(false);
  FSelection.ChgFieldBit(v, on);
}

uint64_t TVCFFile::NSelected() const { return FSelection.BitsSet(); }

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
