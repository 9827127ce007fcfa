// TVCFFile: opening, header line and samples, meta text and key directory, gVCF guess,
// selection and the per-variant allele questions.
#include "vcf/bioVCF.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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
  FBlankVarsBefore.clear();
  FFirstBlankLineNo = 0;
  FOpenWarnings.clear();
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
  FSplitBad = false;
  FLineErr.Clear();
  FFirstLineErr.Clear();
}

void TVCFFile::CloseText() {
  FCallTally.reset();
  FText.reset();
  std::string().swap(FMemText);
  std::string().swap(FMetaText);
  FNLines = 0;
  FCompression = TVcfCompression::None;
  FCrLf = false;
  FBom = 0;
}

namespace {

std::string Where(const std::string& fileName, uint64_t lineNo) {
  return fileName + ", line " + std::to_string(lineNo);
}

// The limit as the messages give it.
std::string SizeText(uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

}  // namespace

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
  if (i == 0 && len >= FBom) {
    p += FBom;
    len -= FBom;
  }
  if (len > 0 && p[len - 1] == '\r') --len;
  return true;
}

uint64_t TVCFFile::FindHdrRowOfs() const {
  for (uint64_t i = 0; i < FNLines; ++i) {
    // Only the first bytes of a line are looked at: a meta line may be of any length.
    uint64_t o, len;
    if (!FText->GetItemOfs(i, o, len)) return ~uint64_t(0);
    const uint64_t skip = i == 0 ? std::min<uint64_t>(FBom, len) : 0;
    const uint64_t n = std::min<uint64_t>(len - skip, 6);
    const uint8_t* q = n ? FText->OfsPtr(o + skip, n) : nullptr;
    std::string_view l(q ? reinterpret_cast<const char*>(q) : "", q ? n : 0);
    if (l == "#CHROM") return i;
    // Meta lines and comments come first (blank lines among them are passed over); anything
    // else means there is no header line.
    if (l == "\r" || (l.empty() && len == skip)) continue;
    if (l.empty() || l[0] != '#') return ~uint64_t(0);
  }
  return ~uint64_t(0);
}

bool TVCFFile::ReadHeaderLine(const std::string& name) {
  const char* hp;
  uint64_t hn;
  LineAt(FHdrRowOfs, hp, hn);
  const std::string hdr(hp, hn);
  std::vector<uint32_t> cols;
  size_t n = VcfSplitLine(hdr.data(), hdr.size(), cols);
  auto field = [&](size_t c) {
    return std::string_view(hdr).substr(cols[c], cols[c + 1] - 1 - cols[c]);
  };
  const std::string where = Where(name, FHdrRowOfs + 1);
  // A writer that ends every field with a tab leaves one empty field at the end: no sample.
  if (n > 8 && field(n - 1).empty()) {
    --n;
    FOpenWarnings.push_back(
        "The #CHROM line ends in a tab; its empty last field is not taken as "
        "a sample: " +
        where);
  }
  bool fixedOk = n >= 8;
  for (size_t c = 0; fixedOk && c < 8; ++c) fixedOk = field(c) == vcfHdrFixedCol[c];
  if (!fixedOk) {
    FLastErr = TZelErr::User(
        "The #CHROM line does not begin with the columns #CHROM POS ID REF ALT QUAL FILTER INFO",
        where);
    return false;
  }
  FNSamples = n < 9 ? 0 : uint32_t(n - 9);
  FSampleNames.clear();
  FSampleNames.reserve(FNSamples);
  for (size_t c = 9; c < n; ++c) {
    if (field(c).empty()) {
      FLastErr = TZelErr::User(
          "Empty sample name in column " + std::to_string(c + 1) + " of the #CHROM line", where);
      return false;
    }
    FSampleNames.emplace_back(field(c));
  }
  std::vector<std::string_view> sorted(FSampleNames.begin(), FSampleNames.end());
  std::sort(sorted.begin(), sorted.end());
  std::string dup;
  size_t nDup = 0;
  for (size_t i = 1; i < sorted.size(); ++i) {
    if (sorted[i] != sorted[i - 1] || (i > 1 && sorted[i - 2] == sorted[i])) continue;
    if (++nDup <= 5) dup += (dup.empty() ? "" : ", ") + std::string(sorted[i]);
  }
  if (nDup)
    FOpenWarnings.push_back("Sample names that occur more than once: " + std::to_string(nDup) +
                            " (" + dup + (nDup > 5 ? ", ..." : "") +
                            "); population maps cannot tell those samples apart: " + where);
  return true;
}

bool TVCFFile::NoHeaderLineInData(const std::string& name) {
  // Indexing counted the lines that begin with "#"; when the header holds fewer, one is among
  // the data (typically two files joined), and only then are the data lines looked at.
  uint64_t inHeader = 0;
  for (uint64_t i = 0; i <= FHdrRowOfs; ++i) {
    uint64_t o, len;
    if (!FText->GetItemOfs(i, o, len) || len == 0) continue;
    const uint8_t* q = FText->OfsPtr(o, 1);
    inHeader += q && *q == '#';
  }
  if (FText->WatchedItemStarts() <= inHeader) return true;
  for (uint64_t i = FHdrRowOfs + 1; i < FNLines; ++i) {
    uint64_t o, len;
    if (!FText->GetItemOfs(i, o, len) || len == 0) continue;
    const uint8_t* q = FText->OfsPtr(o, 1);
    if (q && *q == '#') {
      FLastErr =
          TZelErr::User("Header line inside the data (two files joined?)", Where(name, i + 1));
      return false;
    }
  }
  return true;
}

bool TVCFFile::FindBlankLines() {
  // From the line index alone: an empty line is two line breaks in a row. Only lines of one
  // byte are read (a CR of a CR LF file).
  const TCompactIndex* ix = FText->Index(0);
  if (!ix) return true;
  const TOfsArray& a = ix->Idx;
  const uint64_t nIdx = a.Count();
  const uint64_t end = FText->DecodedFileSize();
  uint64_t blanks = 0;
  for (uint64_t i = FHdrRowOfs + 1; i < FNLines; ++i) {
    const uint64_t s = a.Get(i - 1) + 1;
    const uint64_t e = i < nIdx ? a.Get(i) : end;
    if (e - s > 1) continue;
    if (e - s == 1) {
      const uint8_t* q = FText->OfsPtr(s, 1);
      if (!q || *q != '\r') continue;
    }
    if (FBlankVarsBefore.empty()) FFirstBlankLineNo = i + 1;
    FBlankVarsBefore.push_back(i - FHdrRowOfs - 1 - blanks);
    ++blanks;
  }
  if (blanks)
    FOpenWarnings.push_back(std::to_string(blanks) +
                            " blank lines in the data section are not variants (first at line " +
                            std::to_string(FFirstBlankLineNo) + "): " + FFileName);
  return true;
}

uint64_t TVCFFile::BlanksBefore(uint64_t v) const {
  return uint64_t(std::upper_bound(FBlankVarsBefore.begin(), FBlankVarsBefore.end(), v) -
                  FBlankVarsBefore.begin());
}

bool TVCFFile::OpenDone(const std::string& name) {
  // n separators make n + 1 items; a break at the very end adds no line.
  const uint64_t nSep = FText->GetNItems(0) - 1;
  FNLines = nSep + (FText->GetItemLen(nSep) > 0 ? 1 : 0);
  auto fail = [&]() {
    TZelErr err = std::move(FLastErr);
    InitVCFFields();
    CloseText();
    FLastErr = std::move(err);
    return false;
  };
  // A UTF-8 byte-order mark (some editors write one) is read as if it were not there.
  if (FNLines > 0 && FText->GetItemLen(0) >= 3) {
    const uint8_t* q = FText->OfsPtr(0, 3);
    if (q && std::memcmp(q, "\xEF\xBB\xBF", 3) == 0) FBom = 3;
  }
  FHdrRowOfs = FindHdrRowOfs();
  if (FHdrRowOfs == ~uint64_t(0)) {
    FLastErr = TZelErr::User(
        FNLines == 0 ? "Empty file, not a VCF file" : "Not a VCF file (no #CHROM header line)",
        name);
    return fail();
  }
  // Refused before any of it is read: the header is copied whole below.
  for (uint64_t i = 0; i <= FHdrRowOfs; ++i)
    if (FText->GetItemLen(i) > cMaxHeaderLineLen) {
      FLastErr = TZelErr::User(std::string(i < FHdrRowOfs ? "Meta" : "#CHROM") +
                                   " line longer than the limit of " + SizeText(cMaxHeaderLineLen),
                               Where(name, i + 1));
      return fail();
    }
  // Header text is kept as a copy: line pointers do not outlive the next read.
  FMetaText.clear();
  for (uint64_t i = 0; i < FHdrRowOfs; ++i) {
    uint64_t len = 0;
    const uint8_t* q = FText->GetItemPtr(i, len);
    if (q && i == 0 && len >= FBom) {
      q += FBom;
      len -= FBom;
    }
    if (q) FMetaText.append(reinterpret_cast<const char*>(q), len);
    FMetaText.push_back('\n');
    if (i == 0) FCrLf = len > 0 && q[len - 1] == '\r';
  }
  const char* hp;
  uint64_t hn;
  LineAt(FHdrRowOfs, hp, hn);
  if (FHdrRowOfs == 0) FCrLf = FText->GetItemLen(0) > hn + FBom;
  if (!ReadHeaderLine(name)) return fail();
  if (!NoHeaderLineInData(name)) return fail();
  FindBlankLines();
  FNVariants = FNLines - FHdrRowOfs - 1 - FBlankVarsBefore.size();
  return true;
}

bool TVCFFile::OpenFile(const std::string& fileName) {
  InitVCFFields();
  CloseText();
  FLastErr.Clear();
  FFileName = fileName;
  // Said as the system says it: a directory or an unreadable file is not "not found".
  struct stat st {};
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int code = fd < 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : errno;
    if (fd >= 0) ::close(fd);
    FLastErr = TZelErr::User("Cannot open file", fileName + ": " + std::strerror(code));
    return false;
  }
  ::close(fd);
  auto text = std::make_unique<TMMTF>();
  // Variants are mostly read in order: a plain file comes through a read window that stays in
  // the processor's cache (a quarter faster than first touches of the mapping).
  text->SetReadWindow(uint64_t(256) << 10);
  text->SetItemStartWatch('#');
  std::unique_ptr<TVcfTallyBuilder> tally;
  if (FTallyPlan) {
    tally = std::make_unique<TVcfTallyBuilder>(std::move(*FTallyPlan));
    FTallyPlan.reset();
    text->SetLineVisitor(tally.get());
  }
  TZelErr err;
  const bool loaded = ZelLoadAndIndex(*text, fileName, err, "\n", 0, FPartSz);
  text->SetLineVisitor(nullptr);
  if (!loaded) {
    FLastErr = err ? err : TZelErr::User("Cannot open file", fileName);
    return false;
  }
  if (auto* z = dynamic_cast<TZCompressedFile*>(text->Decoder().get()))
    FCompression = z->ZCompressionType() == zcBGZF ? TVcfCompression::Bgzf : TVcfCompression::Gzip;
  const bool tallied = tally && text->LineVisitorRan();
  FText = std::move(text);
  if (!OpenDone(fileName)) return false;
  if (tallied) {
    std::unique_ptr<TVcfCallTally> t = tally->Finish();
    // Made for the samples the plan was made for, over the lines the index holds.
    if (t && t->NLines() == FNLines && t->Plan().SampleNames == FSampleNames)
      FCallTally = std::move(t);
  }
  return true;
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
  FText->SetItemStartWatch('#');
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
    const uint8_t* q = FText->GetItemPtr(VariantItem(v), len);
    const char* p = q ? reinterpret_cast<const char*>(q) : "";
    if (!q) len = 0;
    // Lines are mostly read in order: ask for the next one (taken as long as this one) while
    // this one is worked on, so that its bytes come from the cache when it is split. A
    // prefetch never faults, wherever the next line lies.
    const uintptr_t next = reinterpret_cast<uintptr_t>(p) + len + 1;
    for (uint64_t o = 0; o < len && o < 16384; o += 64)
      __builtin_prefetch(reinterpret_cast<const void*>(next + o));
    bool ctrl = false;
    FNFields = uint32_t(VcfSplitLineChecked(p, len, FCols, ctrl, FNColons));
    FSplitVar = v;
    // What every reader relies on is checked here, in the pass that splits the line.
    if (FNFields < 8 || ctrl || p[0] == '#') return CheckSplitLine(v, ctrl);
    if (len > 0 && p[len - 1] == '\r') {
      // Looked at after the split, when the line's end is already in the cache: a CR before
      // the line break belongs to no column.
      --len;
      FCols[FNFields] = uint32_t(len + 1);
    }
    FLine = p;
    FLineLen = uint32_t(len);
    FSplitBad = false;
    // POS: the usual short run of digits is accepted here, anything else looked at closely.
    const uint32_t pb = FCols[vcfPos], pe = FCols[vcfPos + 1] - 1;
    bool digits = pe > pb && pe - pb < 19;
    for (uint32_t i = pb; digits && i < pe; ++i) digits = uint8_t(p[i] - '0') <= 9;
    if (!digits) return CheckSplitLine(v, false);
    return true;
  }
  return !FSplitBad;
}

// The slow side of SplitVariant: a line that failed its quick checks, or a POS that is not a
// short run of digits. Sets FLineErr for a malformed line.
bool TVCFFile::CheckSplitLine(uint64_t v, bool ctrl) const {
  const uint64_t lineNo = VariantLineNo(v);
  auto bad = [&](TZelErr e) {
    FLineErr = std::move(e);
    if (!FFirstLineErr) FFirstLineErr = FLineErr;
    FSplitBad = true;
    FCols.assign(2, 0);
    FCols[1] = 1;
    FNFields = 0;
    FLine = "";
    FLineLen = 0;
    return false;
  };
  if (FNFields == 0) {
    const uint64_t len = FText->GetItemLen(VariantItem(v));
    return bad(TZelErr::User(len ? "Line longer than 4 GiB" : "Line cannot be read",
                             Where(FFileName, lineNo)));
  }
  uint64_t len = 0;
  const uint8_t* q = FText->GetItemPtr(VariantItem(v), len);
  const char* p = q ? reinterpret_cast<const char*>(q) : "";
  if (len > 0 && p[0] == '#')
    return bad(
        TZelErr::User("Header line inside the data (two files joined?)", Where(FFileName, lineNo)));
  if (ctrl) return bad(TZelErr::User("Binary data at line " + std::to_string(lineNo), FFileName));
  if (FNFields < 8)
    return bad(TZelErr::User("Fewer than 8 tab-separated columns", Where(FFileName, lineNo)));
  // POS: 0 (telomeres) to 2^63-1.
  const std::string_view pos(p + FCols[vcfPos], FCols[vcfPos + 1] - 1 - FCols[vcfPos]);
  static constexpr std::string_view kMax = "9223372036854775807";
  bool ok = !pos.empty() && pos.size() <= kMax.size();
  for (char c : pos) ok = ok && c >= '0' && c <= '9';
  if (ok && pos.size() == kMax.size()) ok = pos <= kMax;
  if (!ok) {
    std::string shown(pos.substr(0, 24));
    if (pos.size() > 24) shown += "...";
    return bad(
        TZelErr::User("POS \"" + shown + "\" is not a whole number from 0 to " + std::string(kMax),
                      Where(FFileName, lineNo)));
  }
  // A well-formed line whose POS is long (many leading zeros, or above 18 digits).
  if (len > 0 && p[len - 1] == '\r') {
    --len;
    FCols[FNFields] = uint32_t(len + 1);
  }
  FLine = p;
  FLineLen = uint32_t(len);
  FSplitBad = false;
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
