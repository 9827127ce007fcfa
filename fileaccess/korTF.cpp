// Text line buffer: reading files as lines (whole, by blocks, in parts), editing, writing.
#include "fileaccess/korTF.h"

#include <algorithm>
#include <cstddef>

namespace {

// The line break of a text: from its first LF (CR LF when a CR precedes it), else CR when
// there is one, else empty. Unlike the string-level guess, a final LF counts: a block that
// holds one line with its line break must still be split.
std::string GuessLB(const std::string& s) {
  size_t lf = s.find('\n');
  if (lf != std::string::npos) return (lf > 0 && s[lf - 1] == '\r') ? "\r\n" : "\n";
  return s.find('\r') != std::string::npos ? "\r" : "";
}

// Splits text at every lb (the pieces between them; (number of lb) + 1 pieces). With dropFinal
// a final lb gives no empty last piece. The text is emptied.
std::vector<std::string> SplitLB(std::string& text, const std::string& lb, bool dropFinal) {
  std::vector<std::string> out;
  size_t from = 0;
  for (;;) {
    size_t at = text.find(lb, from);
    if (at == std::string::npos) break;
    out.emplace_back(text, from, at - from);
    from = at + lb.size();
  }
  if (!(dropFinal && from == text.size() && !out.empty())) out.emplace_back(text, from);
  text.clear();
  return out;
}

}  // namespace

Ttf::Ttf() = default;

Ttf::TAStr Ttf::ReadFile2Astr(const std::string& name) {
  TAStr r;
  if (ReadTextFile(name, r) != 0) r.clear();
  return r;
}

int Ttf::WriteAStr2File(const TAStr& lines, const std::string& name, bool append) {
  Ttf t;
  t.FContents = lines;
  return t.WriteOutFile(name, append);
}

bool Ttf::TFexists(const std::string& name) { return DoesFileExist(name); }

// ---------------------------------------------------------------- reading

int Ttf::ReadInFile(const std::string& name, bool byBlock) {
  return (byBlock || FBlockIO) ? ReadInFileByBlock(name, false) : ReadInFileByLine(name);
}

int Ttf::ReadInFileByLine(const std::string& name) {
  TAStr r;
  int e = ReadTextFile(name, r);
  if (e == 0) FContents = std::move(r);
  return e;
}

int Ttf::ReadInFileAsStr(const std::string& name, bool append) {
  std::string s;
  uint64_t sz;
  int e = ReadFile(name, s, sz);
  if (e != 0) return e;
  if (!append) FContents.clear();
  FContents.push_back(std::move(s));
  return 0;
}

int Ttf::ReadInFileByBlock(const std::string& name, bool append) {
  int e = ReadInFileAsStr(name, append);
  if (e != 0) return e;
  std::string lb = GuessLB(FContents.back());
  if (lb.empty()) return 0;
  std::string text = std::move(FContents.back());
  FContents.pop_back();
  TAStr parts = SplitLB(text, lb, false);
  for (auto& p : parts) FContents.push_back(std::move(p));
  return 0;
}

int Ttf::ReadInFilePartAsStr(const std::string& name, uint64_t count, uint64_t offset,
                             bool append) {
  std::string s;
  uint64_t got, after;
  int e = ReadFilePart(name, s, got, after, offset, count);
  if (e != 0) return e;
  if (!append) FContents.clear();
  FContents.push_back(std::move(s));
  FLastPtRdFN = name;
  FLastPtRdFilePos = offset + got;
  FLastPtRdRemainder = after;
  FLastPtRdFileSz = offset + got + after;
  return 0;
}

int Ttf::ReadInFilePart(const std::string& name, uint64_t count, uint64_t offset, bool append,
                        bool continueLines) {
  bool haveHeld = false;
  std::string held;
  if (continueLines && append && !FContents.empty() && name == FLastPtRdFN &&
      offset == FLastPtRdFilePos && !FLastPtRdEndLB) {
    held = std::move(FContents.back());
    FContents.pop_back();
    haveHeld = true;
  }
  int e = ReadInFilePartAsStr(name, count, offset, append);
  if (e != 0) {
    if (haveHeld) FContents.push_back(std::move(held));
    return e;
  }
  std::string part = std::move(FContents.back());
  FContents.pop_back();
  if (haveHeld && !held.empty() && held.back() == '\r') {
    // A held line ends with the CR that closed the previous part: with an LF after it the
    // pair was cut by the part boundary, without one it was a lone CR. Either way the held
    // line is complete.
    held.pop_back();
    FContents.push_back(std::move(held));
    haveHeld = false;
    held.clear();
    if (!part.empty() && part[0] == '\n') part.erase(0, 1);
    if (part.empty()) {
      FLastPtRdEndLB = true;
      return 0;
    }
  }
  // A CR that ends a part with more bytes to come may be the first half of a CR LF pair: keep
  // it on the last line until the next part shows what follows.
  const bool crPending = FLastPtRdRemainder > 0 && !part.empty() && part.back() == '\r';
  if (crPending) part.pop_back();
  std::string lb = GuessLB(part);
  TAStr pieces;
  if (lb.empty()) {
    pieces.push_back(std::move(part));
    FLastPtRdEndLB = false;
  } else {
    FLastPtRdEndLB =
        part.size() >= lb.size() && part.compare(part.size() - lb.size(), lb.size(), lb) == 0;
    pieces = SplitLB(part, lb, true);
  }
  if (pieces.empty()) pieces.emplace_back();
  if (crPending) {
    if (FLastPtRdEndLB) pieces.emplace_back();
    pieces.back().push_back('\r');
    FLastPtRdEndLB = false;
  }
  if (haveHeld) pieces[0] = held + pieces[0];
  for (auto& p : pieces) FContents.push_back(std::move(p));
  return 0;
}

bool Ttf::UnreadFileChunk(const std::string& name) const {
  return name == FLastPtRdFN && FLastPtRdRemainder > 0;
}

int Ttf::ReadInNextFilePart(const std::string& name, bool append) {
  uint64_t ofs = UnreadFileChunk(name) ? FLastPtRdFilePos : 0;
  return ReadInFilePart(name, FMaxReadSz, ofs, append, true);
}

// ---------------------------------------------------------------- writing

int Ttf::WriteOutFile(const std::string& name, bool append) const {
  return WriteFileDataStr(name, FContents, FOutputLineBrk, append ? cFioAppend : 0);
}

// ---------------------------------------------------------------- editing

void Ttf::AppendToLastContentsLine(const std::string& s) {
  if (FContents.empty())
    FContents.push_back(s);
  else
    FContents.back() += s;
}

void Ttf::AddContentsLines(const TAStr& list) {
  FContents.insert(FContents.end(), list.begin(), list.end());
}

void Ttf::InsertContentsLine(uint64_t i, const std::string& s) {
  i = std::min<uint64_t>(i, FContents.size());
  FContents.insert(FContents.begin() + static_cast<ptrdiff_t>(i), s);
}

void Ttf::InsertContentsLines(uint64_t i, const TAStr& list) {
  i = std::min<uint64_t>(i, FContents.size());
  FContents.insert(FContents.begin() + static_cast<ptrdiff_t>(i), list.begin(), list.end());
}

void Ttf::InsertEmptyContentsLines(uint64_t i, uint64_t n) {
  i = std::min<uint64_t>(i, FContents.size());
  FContents.insert(FContents.begin() + static_cast<ptrdiff_t>(i), n, std::string());
}

void Ttf::RemoveContentsLines(uint64_t i, uint64_t n) {
  if (i >= FContents.size()) return;
  n = std::min<uint64_t>(n, FContents.size() - i);
  FContents.erase(FContents.begin() + static_cast<ptrdiff_t>(i),
                  FContents.begin() + static_cast<ptrdiff_t>(i + n));
}

void Ttf::DeleteLastContentsLine() {
  if (!FContents.empty()) FContents.pop_back();
}

void Ttf::SetLine(uint64_t i, const std::string& s) {
  if (i < FContents.size()) FContents[i] = s;
}

uint64_t Ttf::RemoveEmptyContentsLines() {
  size_t before = FContents.size();
  FContents.erase(std::remove_if(FContents.begin(), FContents.end(),
                                 [](const std::string& s) { return s.empty(); }),
                  FContents.end());
  return before - FContents.size();
}

// ---------------------------------------------------------------- copying

void Ttf::CopyContentsLines2AStr(uint64_t a, uint64_t b, TAStr& out, bool inclusive) const {
  out.clear();
  if (FContents.empty()) return;
  const uint64_t last = FContents.size() - 1;
  if (a > last && b > last) return;
  if (b > last) b = last;
  if (a > last) a = last;
  const bool down = a > b;
  uint64_t n = (down ? a - b : b - a) + 1;
  if (!inclusive) {
    if (n < 3) return;
    n -= 2;
    a = down ? a - 1 : a + 1;
  }
  out.reserve(n);
  for (uint64_t k = 0; k < n; ++k) out.push_back(FContents[down ? a - k : a + k]);
}

void Ttf::CopyContentsLines2TTF(uint64_t a, uint64_t b, Ttf& target, bool inclusive) const {
  TAStr r;
  CopyContentsLines2AStr(a, b, r, inclusive);
  target.FContents = std::move(r);
}

// ---------------------------------------------------------------- transforming

void Ttf::Apply(const TLineProc& f, uint64_t first, uint64_t last) {
  if (FContents.empty()) return;
  last = std::min<uint64_t>(last, FContents.size() - 1);
  for (uint64_t i = first; i <= last && i < FContents.size(); ++i) f(FContents[i]);
}

Ttf::TAStr Ttf::Apply2AStr(const TLineFunc& f, uint64_t first, uint64_t last) const {
  TAStr r;
  if (FContents.empty()) return r;
  last = std::min<uint64_t>(last, FContents.size() - 1);
  for (uint64_t i = first; i <= last && i < FContents.size(); ++i) r.push_back(f(FContents[i]));
  return r;
}

int Ttf::ApplyAndWriteDirect(const std::string& name, const TLineFunc& f, bool append,
                             uint64_t first, uint64_t last) const {
  if (FContents.empty() || first > last || first >= FContents.size()) return 0;
  TAStr r = Apply2AStr(f, first, last);
  return WriteFileDataStr(name, r, FOutputLineBrk, append ? cFioAppend : 0);
}

void Ttf::ReplaceContentsChars(char c, const std::string& set, bool collapse) {
  bool in[256] = {};
  for (unsigned char ch : set) in[ch] = true;
  for (auto& s : FContents) {
    if (s.empty()) continue;
    for (auto& ch : s)
      if (in[static_cast<unsigned char>(ch)]) ch = c;
    if (collapse) {
      std::string o;
      o.reserve(s.size());
      for (size_t i = 0; i < s.size(); ++i)
        if (!(i > 0 && s[i] == c && s[i - 1] == c)) o.push_back(s[i]);
      s = std::move(o);
    }
  }
}

void Ttf::BreakContentsLines(char c, bool keep) {
  TAStr out;
  out.reserve(FContents.size());
  for (const auto& s : FContents) {
    size_t start = 0;
    for (;;) {
      size_t p = s.find(c, start);
      if (p == std::string::npos) {
        out.push_back(s.substr(start));
        break;
      }
      out.push_back(s.substr(start, p - start + (keep ? 1 : 0)));
      start = p + 1;
    }
  }
  FContents = std::move(out);
}

bool Ttf::ScanContents(const std::string& text, uint64_t& line, uint64_t& position) const {
  for (uint64_t i = line; i < FContents.size(); ++i) {
    size_t p = FContents[i].find(text);
    if (p != std::string::npos) {
      line = i;
      position = p + 1;
      return true;
    }
  }
  line = 0;
  position = 0;
  return false;
}

std::string Ttf::ContentsAsString(const std::string& sep) const {
  return FContents.empty() ? std::string() : ContentsLinesAsString(sep, 0, FContents.size() - 1);
}

std::string Ttf::ContentsLinesAsString(const std::string& sep, uint64_t first,
                                       uint64_t last) const {
  std::string r;
  if (FContents.empty()) return r;
  last = std::min<uint64_t>(last, FContents.size() - 1);
  for (uint64_t i = first; i <= last; ++i) {
    r += FContents[i];
    r += sep;
  }
  return r;
}
