// String and string-array utilities over the memory routines (1-based positions, 0 = none).
#include "base/korStr.h"

#include <algorithm>
#include <cstring>

const char* const LineBreakStr[4] = {"", "\r\n", "\n", "\r"};
const TPStrOrder StrOrderChoice[2] = {PStrOrder_Ch, PStrOrder_Len};

// ---- Splitting and joining ----

uint64_t PStr2AStr(const void* pv, uint64_t len, char delim, TAStr& out, bool dropTrailing) {
  out.clear();
  if (len == 0 || !pv) return 0;
  const char* p = static_cast<const char*>(pv);
  if (dropTrailing && p[len - 1] == delim) --len;
  out.reserve(fCntMemB(p, static_cast<uint8_t>(delim), len) + 1);
  uint64_t from = 0;
  for (;;) {
    const int64_t d = fScnMemBf(p + from, static_cast<uint8_t>(delim), len - from);
    if (d < 0) {
      out.emplace_back(p + from, len - from);
      break;
    }
    out.emplace_back(p + from, static_cast<uint64_t>(d));
    from += static_cast<uint64_t>(d) + 1;
  }
  return out.size();
}

uint64_t Str2AStr(std::string_view s, char delim, TAStr& out, bool dropTrailing) {
  return PStr2AStr(s.data(), s.size(), delim, out, dropTrailing);
}

TAAStr AStr2AAStr(const TAStr& a, char delim, bool dropTrailing, uint64_t first, uint64_t last) {
  TAAStr r;
  if (first >= a.size()) return r;
  last = std::min<uint64_t>(last, a.size() - 1);
  for (uint64_t i = first; i <= last; ++i) {
    TAStr row;
    Str2AStr(a[i], delim, row, dropTrailing);
    r.push_back(std::move(row));
  }
  return r;
}

TAStr CvtStr2AStr(std::string& text, std::string_view lb, bool dropFinal) {
  TAStr out;
  if (lb.empty()) lb = "\n";
  const char c = lb.back();
  // A two-character break is removed whole only where its first character is present; a bare
  // final character (mixed line ends) never takes a data byte with it.
  const bool twoChars = lb.size() >= 2 && lb[lb.size() - 2] != c;
  const char lead = twoChars ? lb[lb.size() - 2] : c;
  std::string_view t(text);
  auto pieceEnd = [&](size_t breakPos) {  // end of the data before the break at breakPos
    if (twoChars && breakPos > 0 && t[breakPos - 1] == lead) return breakPos - 1;
    return breakPos;
  };
  if (dropFinal && !t.empty() && t.back() == c) t = t.substr(0, pieceEnd(t.size() - 1));
  out.reserve(fCntMemB(t.data(), static_cast<uint8_t>(c), t.size()) + 1);
  size_t from = 0;
  for (;;) {
    const int64_t d = fScnMemBf(t.data() + from, static_cast<uint8_t>(c), t.size() - from);
    if (d < 0) {
      out.emplace_back(t.substr(from));
      break;
    }
    const size_t at = from + static_cast<size_t>(d);
    const size_t e = std::max(pieceEnd(at), from);
    out.emplace_back(t.substr(from, e - from));
    from = at + 1;
  }
  text.clear();
  return out;
}

std::string GetNthItemF(std::string_view s, uint64_t n, char delim) {
  int64_t pos;
  uint64_t len;
  const uint8_t r =
      fGetPosNthMemItemF(s.data(), s.size(), n, static_cast<uint8_t>(delim), pos, len);
  if (pos < 0) return {};
  return std::string(s.substr(static_cast<size_t>(pos) + r, len - r));
}

int64_t GetPStrItemOfs(const void* pv, const void* patv, char delim, uint64_t len, uint64_t patLen,
                       uint64_t startOfs) {
  if (!pv || !patv || patLen == 0 || len == 0) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(pv);
  const uint8_t* pat = static_cast<const uint8_t*>(patv);
  const uint8_t d = static_cast<uint8_t>(delim);
  uint64_t ofs = startOfs;
  while (ofs < len) {
    const int64_t f = patLen == 1 ? fScnMemBf(p + ofs, pat[0], len - ofs)
                                  : fFndStrBf(p + ofs, pat, len - ofs, patLen);
    if (f < 0) return -1;
    const uint64_t at = ofs + static_cast<uint64_t>(f);
    const bool startOk = at == 0 || p[at - 1] == d;
    const bool endOk = at + patLen == len || p[at + patLen] == d;
    if (startOk && endOk) return static_cast<int64_t>(fCntMemB(p, d, at));
    ofs = at + 1;
  }
  return -1;
}

std::string ConcatAStr(const TAStr& a, std::string_view sep) { return AStr2Str(a, sep, false); }

std::string AStr2Str(const TAStr& a, std::string_view sep, bool trailing) {
  std::string r;
  size_t total = 0;
  for (const auto& s : a) total += s.size() + sep.size();
  r.reserve(total);
  for (size_t i = 0; i < a.size(); ++i) {
    r += a[i];
    if (trailing || i + 1 < a.size()) r += sep;
  }
  return r;
}

std::string PAStr2Str(const std::vector<const void*>& ptrs, const std::vector<uint32_t>& lens,
                      std::string_view sep, bool trailing) {
  std::string r;
  if (ptrs.empty() || ptrs.size() != lens.size()) return r;
  for (size_t i = 0; i < ptrs.size(); ++i) {
    r.append(static_cast<const char*>(ptrs[i]), lens[i]);
    if (trailing || i + 1 < ptrs.size()) r += sep;
  }
  return r;
}

TAStrPtrLen AStr2APtrLen(const TAStr& a) {
  TAStrPtrLen r(a.size());
  for (size_t i = 0; i < a.size(); ++i) r[i] = {a[i].data(), static_cast<uint32_t>(a[i].size())};
  return r;
}

TAStr CombineAStr(const TAAStr& columns, std::string_view sep, std::string_view prefix,
                  std::string_view suffix) {
  size_t rows = 0;
  for (const auto& c : columns) rows = std::max(rows, c.size());
  TAStr out(rows);
  for (size_t r = 0; r < rows; ++r) {
    std::string line(prefix);
    for (size_t c = 0; c < columns.size(); ++c) {
      if (c) line += sep;
      if (r < columns[c].size()) line += columns[c][r];
    }
    line += suffix;
    out[r] = std::move(line);
  }
  return out;
}

TAStr MkAStr(std::initializer_list<std::string_view> items) {
  TAStr r;
  r.reserve(items.size());
  for (auto s : items) r.emplace_back(s);
  return r;
}

void dAppAStr(TAStr& a, const TAStr& other) { a.insert(a.end(), other.begin(), other.end()); }

void MergeAStr(TAStr& a, TAStr& other) {
  a.insert(a.end(), std::make_move_iterator(other.begin()), std::make_move_iterator(other.end()));
  other.clear();
}

TAStr SelAStr(const TAStr& a, const std::vector<bool>& sel) {
  if (a.size() != sel.size()) return TAStr(a.size());
  TAStr r;
  for (size_t i = 0; i < a.size(); ++i)
    if (sel[i]) r.push_back(a[i]);
  return r;
}

void DelAStrItem(TAStr& a, uint64_t index) {
  if (index < a.size()) a.erase(a.begin() + static_cast<std::ptrdiff_t>(index));
}

void DelAStrVal(TAStr& a, std::string_view value) {
  a.erase(std::remove(a.begin(), a.end(), value), a.end());
}

// ---- Scanning, extracting, testing ----

uint64_t ScnChF(std::string_view s, char c) {
  const int64_t i = fScnMemBf(s.data(), static_cast<uint8_t>(c), s.size());
  return i < 0 ? 0 : static_cast<uint64_t>(i) + 1;
}

uint64_t ScnChR(std::string_view s, char c) {
  const int64_t i = fScnMemBr(s.data(), static_cast<uint8_t>(c), s.size());
  return i < 0 ? 0 : static_cast<uint64_t>(i) + 1;
}

uint64_t ScnChExF(std::string_view s, char c, uint64_t from) {
  if (from == 0 || from > s.size()) return 0;
  const int64_t i = fScnMemBf(s.data() + from - 1, static_cast<uint8_t>(c), s.size() - from + 1);
  return i < 0 ? 0 : static_cast<uint64_t>(i) + from;
}

uint64_t ScnChExR(std::string_view s, char c, uint64_t to) {
  to = std::min<uint64_t>(to, s.size());
  const int64_t i = fScnMemBr(s.data(), static_cast<uint8_t>(c), to);
  return i < 0 ? 0 : static_cast<uint64_t>(i) + 1;
}

uint64_t CntCh(std::string_view s, char c) {
  return fCntMemB(s.data(), static_cast<uint8_t>(c), s.size());
}

uint64_t CntChEx(std::string_view s, char c, uint64_t from, uint64_t to) {
  if (from == 0 || from > s.size()) return 0;
  to = std::min<uint64_t>(to, s.size());
  if (to < from) return 0;
  return fCntMemB(s.data() + from - 1, static_cast<uint8_t>(c), to - from + 1);
}

uint64_t FndStrF(std::string_view s, std::string_view sub) { return FndStrExF(s, sub, 1); }

uint64_t FndStrExF(std::string_view s, std::string_view sub, uint64_t from) {
  if (from == 0 || from > s.size()) return 0;
  const int64_t i = fFndStrBf(s.data() + from - 1, sub.data(), s.size() - from + 1, sub.size());
  return i < 0 ? 0 : static_cast<uint64_t>(i) + from;
}

uint64_t FndStrR(std::string_view s, std::string_view sub) {
  const int64_t i = fFndStrBr(s.data(), sub.data(), s.size(), sub.size());
  return i < 0 ? 0 : static_cast<uint64_t>(i) + 1;
}

int64_t FndAStrItemF(const TAStr& a, std::string_view s, uint64_t start) {
  for (uint64_t i = start; i < a.size(); ++i)
    if (a[i] == s) return static_cast<int64_t>(i);
  return -1;
}

std::string SubStr(std::string_view s, uint64_t from, uint64_t count) {
  if (from == 0 || from > s.size()) return {};
  return std::string(s.substr(from - 1, count));
}

std::string StrRgn(std::string_view s, uint64_t from, uint64_t to) {
  if (from == 0 || from > to || from > s.size()) return {};
  to = std::min<uint64_t>(to, s.size());
  return std::string(s.substr(from - 1, to - from + 1));
}

std::string TrcStrF(std::string_view s, uint64_t n) { return std::string(s.substr(0, n)); }

std::string TrcStrAtDelimF(std::string_view s, char c) {
  const uint64_t i = ScnChF(s, c);
  return std::string(i ? s.substr(0, i - 1) : s);
}

std::string TrcAppStrR(std::string_view s, uint64_t n, std::string_view prefix,
                       std::string_view suffix) {
  if (s.size() <= n) return std::string(s);
  std::string r(prefix);
  r += s.substr(s.size() - n);
  r += suffix;
  return r;
}

bool BrkStrF(std::string_view s, char c, std::string& left, std::string& right) {
  const uint64_t i = ScnChF(s, c);
  if (!i) {
    left = std::string(s);
    right.clear();
    return false;
  }
  left = std::string(s.substr(0, i - 1));
  right = std::string(s.substr(i));
  return true;
}

bool BrkStrR(std::string_view s, char c, std::string& left, std::string& right) {
  const uint64_t i = ScnChR(s, c);
  if (!i) {
    left.clear();
    right = std::string(s);
    return false;
  }
  left = std::string(s.substr(0, i - 1));
  right = std::string(s.substr(i));
  return true;
}

bool NxtPStrRgn(const void* pv, uint64_t len, char open, char close, uint64_t& start, uint64_t& end,
                uint64_t from, uint64_t to) {
  start = end = 0;
  std::string_view s(static_cast<const char*>(pv), pv ? len : 0);
  to = std::min<uint64_t>(to, s.size());
  if (from >= to) return false;
  start = ScnChExF(s, open, std::max<uint64_t>(from, 1));
  if (start == 0 || start >= to) return false;
  end = ScnChExF(s, close, start + 1);
  return end != 0 && end <= to;
}

bool NxtStrRgn(std::string_view s, char open, char close, uint64_t& start, uint64_t& end,
               uint64_t from, uint64_t to) {
  return NxtPStrRgn(s.data(), s.size(), open, close, start, end, from, to);
}

bool StrEq(std::string_view a, std::string_view b) {
  return a.size() == b.size() && fScnNtEqBf(a.data(), b.data(), a.size()) < 0;
}

bool IsAStrEq(const TAStr& a, const TAStr& b) { return a == b; }

bool StrEndsWithLineBreak(std::string_view s, std::string_view lb) {
  if (lb.empty() || lb.size() > 2 || s.size() < lb.size()) return false;
  return s.substr(s.size() - lb.size()) == lb;
}

TLineBreakStyle GuessLineBreakStyle(std::string_view s) {
  if (s.empty()) return lbUnknown;
  const uint64_t lf = ScnChF(s, '\n');
  if (!lf) return ScnChF(s, '\r') ? lbMac : lbUnknown;
  if (lf == s.size()) return lbUnknown;
  return lf >= 2 && s[lf - 2] == '\r' ? lbDOS : lbUNIX;
}

// ---- Changing characters ----

std::string RepCh(char c, uint64_t n) { return std::string(n, c); }

std::string RplCh(std::string_view s, char oldC, char newC) {
  std::string r(s);
  fRplMemB(r.data(), static_cast<uint8_t>(oldC), static_cast<uint8_t>(newC), r.size());
  return r;
}

std::string RplChs(std::string_view s, const TChSet& set, char c) {
  std::string r(s);
  dRplChs(r, set, c);
  return r;
}

void dRplChs(std::string& s, const TChSet& set, char c) {
  fRplMemAnySB(s.data(), set, static_cast<uint8_t>(c), s.size());
}

uint64_t dFmtStr(std::string& s, const TChSet& set, char c, bool trim) {
  dRplChs(s, set, c);
  s.resize(fRmvCscB(s.data(), s.data(), static_cast<uint8_t>(c), s.size()));
  if (trim) {
    if (!s.empty() && s.front() == c) s.erase(0, 1);
    if (!s.empty() && s.back() == c) s.pop_back();
  }
  return CntCh(s, c);
}

uint64_t FmtStr(std::string_view s, const TChSet& set, char c, std::string& result, bool trim) {
  result = std::string(s);
  return dFmtStr(result, set, c, trim);
}

std::string ExclChs(std::string_view s, const TChSet& set) {
  std::string r(s.size(), '\0');
  r.resize(fRmvMemAnySB(s.data(), set, s.size(), r.data()));
  return r;
}

std::string InclChs(std::string_view s, const TChSet& set) { return ExclChs(s, NotSCh(set)); }

std::string TrmStrLR(std::string_view s, const TChSet& set) {
  const int64_t a = fScnMemAnyNtSBf(s.data(), set, s.size());
  if (a < 0) return {};
  const int64_t b = fScnMemAnyNtSBr(s.data(), set, s.size());
  return std::string(s.substr(static_cast<size_t>(a), static_cast<size_t>(b - a + 1)));
}

std::string RmvCscCh(std::string_view s, char c) {
  std::string r(s.size(), '\0');
  r.resize(fRmvCscB(s.data(), r.data(), static_cast<uint8_t>(c), s.size()));
  return r;
}

std::string UpStr(std::string_view s) {
  std::string r(s);
  for (char& ch : r)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  return r;
}

std::string RevStr(std::string_view s) { return std::string(s.rbegin(), s.rend()); }

std::string RplStrF(std::string_view s, std::string_view oldS, std::string_view newS, bool all) {
  if (s.empty() || oldS.empty() || s.size() < oldS.size()) return std::string(s);
  std::string r;
  size_t from = 0;
  for (;;) {
    const int64_t f = fFndStrBf(s.data() + from, oldS.data(), s.size() - from, oldS.size());
    if (f < 0) break;
    r.append(s.substr(from, static_cast<size_t>(f)));
    r.append(newS);
    from += static_cast<size_t>(f) + oldS.size();
    if (!all) break;
  }
  r.append(s.substr(from));
  return r;
}

void pRplRgnCh(std::string& text, char oldC, char newC, char open, char close, bool outside) {
  const size_t n = std::min(text.size(), std::strlen(text.c_str()));
  bool inside = false;
  for (size_t i = 0; i < n; ++i) {
    char& ch = text[i];
    if (!inside && ch == open) {
      inside = true;
      continue;
    }
    if (inside && ch == close) {
      inside = false;
      continue;
    }
    if (ch == oldC && inside != outside) ch = newC;
  }
}

// ---- Arrays of numbers and tables ----

uint64_t CvtAStr2ADw(const TAStr& a, TADw& out, uint32_t def) {
  out.assign(a.size(), def);
  if (a.empty()) return def;
  uint64_t bad = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    bool ok;
    const uint64_t v = ps2q_cf(a[i].data(), a[i].size(), ok);
    if (ok)
      out[i] = static_cast<uint32_t>(v);
    else
      ++bad;
  }
  return bad;
}

uint64_t CvtAStr2AQw(const TAStr& a, TAQw& out, uint64_t def) {
  out.assign(a.size(), def);
  if (a.empty()) return def;
  uint64_t bad = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    bool ok;
    const uint64_t v = ps2q_cf(a[i].data(), a[i].size(), ok);
    if (ok)
      out[i] = v;
    else
      ++bad;
  }
  return bad;
}

TAStr CvtADw2AStr(const TADw& a) {
  TAStr r;
  r.reserve(a.size());
  for (uint32_t v : a) r.push_back(d2s(v));
  return r;
}

TAStr CvtAQw2AStr(const TAQw& a) {
  TAStr r;
  r.reserve(a.size());
  for (uint64_t v : a) r.push_back(q2s(v));
  return r;
}

TAStr CvtADbl2AStr(const std::vector<double>& a, int decimals, int width) {
  TAStr r;
  r.reserve(a.size());
  for (double v : a) r.push_back(e2sX(v, decimals, width));
  return r;
}

void dAAStr2Tbl(TAAStr& table, uint64_t width) {
  if (width == ~uint64_t(0)) {
    width = 0;
    for (const auto& row : table) width = std::max<uint64_t>(width, row.size());
  }
  for (auto& row : table) row.resize(width);
}

TAAStr AAStr2Tbl(const TAAStr& table, uint64_t width) {
  TAAStr r(table);
  dAAStr2Tbl(r, width);
  return r;
}

// ---- Orders, sorting, searching, de-duplication ----

TOrder8 StrOrder_Len(std::string_view a, std::string_view b) {
  return fMemOrderBf(a.data(), b.data(), a.size(), b.size());
}

TOrder8 StrOrder_Ch(std::string_view a, std::string_view b) {
  const size_t n = std::min(a.size(), b.size());
  const int64_t i = fScnNtEqBf(a.data(), b.data(), n);
  if (i >= 0)
    return static_cast<uint8_t>(a[static_cast<size_t>(i)]) >
                   static_cast<uint8_t>(b[static_cast<size_t>(i)])
               ? oGreater
               : oLess;
  if (a.size() == b.size()) return oSame;
  return a.size() < b.size() ? oLess : oGreater;
}

TOrder8 PStrOrder_Len(const TStrPtrLen& a, const TStrPtrLen& b) {
  return StrOrder_Len(std::string_view(a.Ptr, a.Len), std::string_view(b.Ptr, b.Len));
}

TOrder8 PStrOrder_Ch(const TStrPtrLen& a, const TStrPtrLen& b) {
  return StrOrder_Ch(std::string_view(a.Ptr, a.Len), std::string_view(b.Ptr, b.Len));
}

namespace {

// The positions of a's strings in the given order.
template <TOrder8 (*Order)(std::string_view, std::string_view)>
TADw SortedIdxAStr(const TAStr& a) {
  TADw idx(a.size());
  for (uint32_t i = 0; i < idx.size(); ++i) idx[i] = i;
  if (a.size() >= 2)
    QSrtIdx(
        idx, a.data(), sizeof(std::string),
        [](const void* x, const void* y) {
          return Order(*static_cast<const std::string*>(x), *static_cast<const std::string*>(y));
        },
        0, static_cast<int64_t>(idx.size()) - 1);
  return idx;
}

// std::string is swapped byte-wise by the sort; libstdc++ strings hold a pointer to their own
// small buffer, so sort an index and permute instead.
void PermuteAStr(TAStr& a, const TADw& idx) {
  TAStr r;
  r.reserve(a.size());
  for (uint32_t i : idx) r.push_back(std::move(a[i]));
  a.swap(r);
}

}  // namespace

void QSortAStr_Len(TAStr& a) { PermuteAStr(a, GetIdxAStr_Len(a)); }

void QSortAStr_Ch(TAStr& a) { PermuteAStr(a, SortedIdxAStr<StrOrder_Ch>(a)); }

void QSortAStr(TAStr& a, bool byLength) {
  if (byLength)
    QSortAStr_Len(a);
  else
    QSortAStr_Ch(a);
}

bool IsAStrSorted(const TAStr& a, int64_t lastIndex, bool byLength) {
  lastIndex = std::min<int64_t>(lastIndex, static_cast<int64_t>(a.size()) - 1);
  for (int64_t i = 1; i <= lastIndex; ++i) {
    const TOrder8 o = byLength
                          ? StrOrder_Len(a[static_cast<size_t>(i - 1)], a[static_cast<size_t>(i)])
                          : StrOrder_Ch(a[static_cast<size_t>(i - 1)], a[static_cast<size_t>(i)]);
    if (o > 0) return false;
  }
  return true;
}

namespace {
template <class Order>
int64_t BinSearchStrings(const TAStr& a, std::string_view s, bool exact, int64_t low, int64_t high,
                         Order order) {
  if (low < 0) low = 0;
  high = std::min<int64_t>(high, static_cast<int64_t>(a.size()) - 1);
  return BinSrc(
      a.data(), sizeof(std::string), &s,
      [&](const void* x, const void* y) -> TOrder8 {
        // The key is a string_view; items are strings.
        const std::string_view xs = x == &s ? s : *static_cast<const std::string*>(x);
        const std::string_view ys = y == &s ? s : *static_cast<const std::string*>(y);
        return order(xs, ys);
      },
      low, high, exact);
}
}  // namespace

int64_t BinSearchAStr_Len(const TAStr& a, std::string_view s, bool exact, int64_t low,
                          int64_t high) {
  return BinSearchStrings(a, s, exact, low, high, StrOrder_Len);
}

int64_t BinSearchAStr_Ch(const TAStr& a, std::string_view s, bool exact, int64_t low,
                         int64_t high) {
  return BinSearchStrings(a, s, exact, low, high, StrOrder_Ch);
}

int64_t BinSearchAStr(const TAStr& a, std::string_view s, bool byLength, bool exact, int64_t low,
                      int64_t high) {
  return byLength ? BinSearchAStr_Len(a, s, exact, low, high)
                  : BinSearchAStr_Ch(a, s, exact, low, high);
}

int64_t BinSearchAStrPtrLen(const TAStrPtrLen& a, const void* p, uint32_t len, bool byLength,
                            bool exact, int64_t low, int64_t high) {
  if (low < 0) low = 0;
  high = std::min<int64_t>(high, static_cast<int64_t>(a.size()) - 1);
  const TStrPtrLen key{static_cast<const char*>(p), len};
  const TPStrOrder order = StrOrderChoice[byLength ? 1 : 0];
  return BinSrc(
      a.data(), sizeof(TStrPtrLen), &key,
      [order](const void* x, const void* y) {
        return order(*static_cast<const TStrPtrLen*>(x), *static_cast<const TStrPtrLen*>(y));
      },
      low, high, exact);
}

TADw GetIdxAStr_Len(const TAStr& a) { return SortedIdxAStr<StrOrder_Len>(a); }

int64_t BinSearchIdxAStr_Len(const TADw& index, const TAStr& a, std::string_view s, bool exact,
                             int64_t low, int64_t high) {
  if (index.size() != a.size() || a.empty()) return -1;
  if (low < 0) low = 0;
  high = std::min<int64_t>(high, static_cast<int64_t>(a.size()) - 1);
  if (high < low) return -1;
  const std::string key(s);
  return BinSrcIdx(
      index, a.data(), sizeof(std::string), &key,
      [](const void* x, const void* y) {
        return StrOrder_Len(*static_cast<const std::string*>(x),
                            *static_cast<const std::string*>(y));
      },
      low, high, exact);
}

uint64_t RmvSrtAStrDup(TAStr& a) {
  TADw counts;
  return RmvSrtAStrDupAndCnt(a, counts);
}

uint64_t RmvSrtAStrDupAndCnt(TAStr& a, TADw& counts) {
  counts.clear();
  if (a.empty()) return 0;
  size_t w = 0;
  counts.push_back(1);
  for (size_t i = 1; i < a.size(); ++i) {
    if (a[i] == a[w]) {
      ++counts[w];
    } else {
      ++w;
      if (w != i) a[w] = std::move(a[i]);
      counts.push_back(1);
    }
  }
  a.resize(w + 1);
  return a.size();
}
