// GFF3 annotation files: feature lines, directives and comments; attributes with their
// percent escapes decoded.
#include "seq/bioGFF3.h"

#include <charconv>
#include <exception>
#include <memory>

#include "fileaccess/bioBGZF.h"
#include "fileaccess/korFileIO.h"

namespace {

std::string_view TrimSpaces(std::string_view s) {
  while (!s.empty() && s.front() == gff3WhiteSpace) s.remove_prefix(1);
  while (!s.empty() && s.back() == gff3WhiteSpace) s.remove_suffix(1);
  return s;
}

int HexVal(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Splits s at sep; a final empty item after a trailing separator is dropped.
std::vector<std::string_view> SplitDropTrailing(std::string_view s, char sep) {
  std::vector<std::string_view> r;
  size_t from = 0;
  while (true) {
    const size_t at = s.find(sep, from);
    if (at == std::string_view::npos) {
      if (from < s.size() || r.empty()) r.push_back(s.substr(from));
      break;
    }
    r.push_back(s.substr(from, at - from));
    from = at + 1;
  }
  return r;
}

bool ReadPosition(std::string_view s, int64_t& v) {
  if (s == ".") {
    v = 0;
    return true;
  }
  if (s.empty() || s.front() < '0' || s.front() > '9') return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

bool ReadScore(std::string_view s, double& v) {
  if (s == ".") {
    v = MissingScore;
    return true;
  }
  if (s.empty()) return false;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && end == s.data() + s.size();
}

// The offending text as it appears in an error message (long values are cut).
std::string Quoted(std::string_view s) {
  // Built by appending: GCC 12 warns falsely about the copy in "\"" + std::string (-Wrestrict).
  std::string q = "\"";
  q.append(s.substr(0, 40));
  if (s.size() > 40) q += "...";
  q += '"';
  return q;
}

}  // namespace

bool IsGff3AttributeTagCh(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

std::string TGFF3AttributeFieldEx::GetParsedTagValue(std::string_view Tag,
                                                     uint64_t SubValue) const {
  for (const TGFF3AttributeField& a : ParsedAttributes)
    if (a.Tag == Tag) return SubValue < a.ValuesAsStr.size() ? a.ValuesAsStr[SubValue] : "";
  return {};
}

// ---------------------------------------------------------------- one load

struct TGFF3File::TLoad {
  std::string Name;  // file name for errors; empty for lines given in memory
  std::vector<TGFF3Entry> Features;
  std::vector<std::string> Meta, Comments;
  bool InFasta = false;
  bool SawLine = false;  // any non-blank line
  TZelErr Err;
  uint64_t ErrLine = 0;
  bool ParseAttr = true, Unescape = true;

  std::string Where(uint64_t line) const {
    return (Name.empty() ? "" : Name + " ") + "line " + std::to_string(line);
  }
  bool Fail(uint64_t line, std::string msg) {
    Err = TZelErr::User(std::move(msg), Where(line));
    ErrLine = line;
    return false;
  }

  // One line without its LF; false on a bad line.
  bool Line(std::string_view s, uint64_t lineNo) {
    if (InFasta) return true;
    while (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    if (s.find_first_not_of(" \t") == std::string_view::npos) return true;
    SawLine = true;
    switch (GetCommentType(s)) {
      case ctMetaLineStart: {
        std::string_view d = s.substr(2);
        Meta.emplace_back(d);
        // The sequences that follow are FASTA, not features.
        while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.remove_suffix(1);
        if (d == "FASTA") InFasta = true;
        return true;
      }
      case ctNormalLineStart:
        Comments.emplace_back(s.substr(1));
        return true;
      default:
        break;
    }
    std::string_view col[9];
    size_t n = 0, from = 0;
    while (true) {
      const size_t at = s.find('\t', from);
      const std::string_view c = s.substr(from, at == std::string_view::npos ? s.npos : at - from);
      if (n < 9) col[n] = c;
      ++n;
      if (at == std::string_view::npos) break;
      from = at + 1;
    }
    if (n != 9)
      return Fail(lineNo, "Not a GFF3 feature line (" + std::to_string(n) + " columns, 9 needed)");
    TGFF3Entry e;
    const std::string_view seqName = TrimSpaces(col[0]);
    e.SeqName = Unescape ? UnescapeGff3Str(seqName) : std::string(seqName);
    e.Source = TrimSpaces(col[1]);
    e.FeatureStr = TrimSpaces(col[2]);
    const std::string_view start = TrimSpaces(col[3]), end = TrimSpaces(col[4]),
                           score = TrimSpaces(col[5]), strand = TrimSpaces(col[6]),
                           phase = TrimSpaces(col[7]);
    if (!ReadPosition(start, e.FtStart))
      return Fail(lineNo, "GFF3 start " + Quoted(start) + " is not a position");
    if (!ReadPosition(end, e.FtEnd))
      return Fail(lineNo, "GFF3 end " + Quoted(end) + " is not a position");
    if (!ReadScore(score, e.Score))
      return Fail(lineNo, "GFF3 score " + Quoted(score) + " is not a number");
    e.Strand = strand.empty() ? gff3StrandUnknown : GetGff3Strand(strand.front());
    e.Phase = phase.empty() ? gff3PhaseIrrelevant : GetGff3Phase(phase.front());
    std::string attr(col[8]);
    e.Attributes = ParseAttributes(attr, ParseAttr, Unescape);
    Features.push_back(std::move(e));
    return true;
  }
};

// ---------------------------------------------------------------- TGFF3File

TGFF3File::TGFF3File(bool ParseAttributes, bool HandleEscapedChars)
    : FDoParseAttributes(ParseAttributes), FHandleEscapedCh(HandleEscapedChars) {}

bool TGFF3File::Finish(TLoad& ld) {
  if (!ld.Err && !ld.SawLine) ld.Err = TZelErr::User("Empty file, not a GFF3 file", ld.Name);
  if (ld.Err) {
    FParseError = true;
    FLastErrorLine = ld.ErrLine;
    FLastErr = ld.Err;
    return false;
  }
  FParseError = false;
  FLastErrorLine = 0;
  FLastErr.Clear();
  if (ld.Features.capacity() > 2 * ld.Features.size() + 1024) ld.Features.shrink_to_fit();
  // Appended to what earlier loads brought.
  if (FFeatures.empty()) {
    FFeatures = std::move(ld.Features);
  } else {
    for (auto& f : ld.Features) FFeatures.push_back(std::move(f));
  }
  FMetaComments.insert(FMetaComments.end(), ld.Meta.begin(), ld.Meta.end());
  FCommentLines.insert(FCommentLines.end(), ld.Comments.begin(), ld.Comments.end());
  return true;
}

bool TGFF3File::LoadGFFfromAStr(const std::vector<std::string>& A) {
  TLoad ld;
  ld.ParseAttr = FDoParseAttributes;
  ld.Unescape = FHandleEscapedCh;
  ld.Features.reserve(A.size());
  for (size_t i = 0; i < A.size() && !ld.InFasta; ++i)
    if (!ld.Line(A[i], i + 1)) break;
  return Finish(ld);
}

bool TGFF3File::LoadFromText(std::string_view text, const std::string& name) {
  TLoad ld;
  ld.Name = name;
  ld.ParseAttr = FDoParseAttributes;
  ld.Unescape = FHandleEscapedCh;
  uint64_t lineNo = 0;
  size_t from = 0;
  while (from < text.size() && !ld.InFasta) {
    size_t at = text.find('\n', from);
    if (at == std::string_view::npos) at = text.size();
    if (!ld.Line(text.substr(from, at - from), ++lineNo)) break;
    from = at + 1;
  }
  return Finish(ld);
}

bool TGFF3File::LoadFromFile(const std::string& fileName) {
  TLoad ld;
  ld.Name = fileName;
  ld.ParseAttr = FDoParseAttributes;
  ld.Unescape = FHandleEscapedCh;
  auto fail = [&](TZelErr e) {
    ld.Err = std::move(e);
    return Finish(ld);
  };
  if (!DoesFileExist(fileName)) return fail(TZelErr::User("File not found", fileName));
  if (FileSizeOf(fileName) == 0)
    return fail(TZelErr::User("Empty file, not a GFF3 file", fileName));
  TMMTF text;
  // Lines are read in order: a plain file comes through a read window.
  text.SetReadWindow(uint64_t(1) << 20);
  TZelErr err;
  if (!ZelLoadAndIndex(text, fileName, err, "\n"))
    return fail(err ? err : TZelErr::User("Cannot open file", fileName));
  const uint64_t n = text.GetNItems(0);
  // Mostly one feature per line: one allocation instead of a series of moves. Lines of a
  // FASTA tail make this too much; only address space is taken until it is used, and the
  // rest is given back below.
  try {
    ld.Features.reserve(n);
  } catch (const std::exception&) {
  }
  for (uint64_t i = 0; i < n && !ld.InFasta; ++i) {
    uint64_t ofs, len;
    text.GetItemOfs(i, ofs, len, 0);
    const uint8_t* p = len ? text.OfsPtr(ofs, len) : nullptr;
    if (len && !p) {
      const TZelErr d = text.Decoder() ? text.Decoder()->LastError() : TZelErr();
      return fail(d ? d : TZelErr::User("Cannot read file", fileName));
    }
    if (!ld.Line(std::string_view(reinterpret_cast<const char*>(p), len), i + 1)) break;
  }
  return Finish(ld);
}

TGFF3File::TCommentType TGFF3File::GetCommentType(std::string_view line) {
  if (line.empty() || line[0] != '#') return ctNone;
  return line.size() > 1 && line[1] == '#' ? ctMetaLineStart : ctNormalLineStart;
}

TGFF3AttributeFieldEx TGFF3File::ParseAttributes(std::string& c, bool ParseCompletely,
                                                 bool unescape) {
  TGFF3AttributeFieldEx r;
  if (c == "." || c.empty()) {
    c.clear();
    return r;
  }
  if (!ParseCompletely) {
    r.UnparsedAttributes = std::move(c);
    c.clear();
    return r;
  }
  for (std::string_view item : SplitDropTrailing(c, ';')) {
    const size_t eq = item.find('=');
    const std::string_view tagText = item.substr(0, eq);
    const std::string_view valText = eq == std::string_view::npos ? "" : item.substr(eq + 1);
    TGFF3AttributeField a;
    if (!tagText.empty() || !valText.empty()) {
      for (char ch : tagText)
        if (IsGff3AttributeTagCh(ch)) a.Tag.push_back(ch);
      if (!valText.empty())
        for (std::string_view v : SplitDropTrailing(valText, ','))
          a.ValuesAsStr.push_back(unescape ? UnescapeGff3Str(v) : std::string(v));
      if (unescape) a.Tag = UnescapeGff3Str(a.Tag);
    }
    r.ParsedAttributes.push_back(std::move(a));
  }
  c.clear();
  return r;
}

TGFF3Strand TGFF3File::GetGff3Strand(char c) {
  switch (c) {
    case '+':
      return gff3PosStrand;
    case '-':
      return gff3NegStrand;
    case '.':
      return gff3StrandIrrelevant;
    default:
      return gff3StrandUnknown;
  }
}

TGFF3Phase TGFF3File::GetGff3Phase(char c) {
  switch (c) {
    case '0':
      return gff3Phase0;
    case '1':
      return gff3Phase1;
    case '2':
      return gff3Phase2;
    default:
      return gff3PhaseIrrelevant;
  }
}

std::string TGFF3File::UnescapeGff3Str(std::string_view S) {
  std::string r;
  r.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    const char c = S[i];
    if (c == '%' && i + 2 < S.size() && HexVal(S[i + 1]) >= 0 && HexVal(S[i + 2]) >= 0) {
      const char b = char(HexVal(S[i + 1]) * 16 + HexVal(S[i + 2]));
      if (b != '\0') r.push_back(b);
      i += 2;
      continue;
    }
    if (c != '\0') r.push_back(c);
  }
  return r;
}
