// Delimited text tables: open and index a file, rows and fields, text and numeric extraction.
#include "fileaccess/korDTF.h"

#include <algorithm>

#include "fileaccess/faScan.h"

TDTF::TDTF(char delimiter) : FDelim(delimiter) {
  InitDelimF();
  FPartSz = 8 * cMaxViewSize;
}

void TDTF::InitDelimF() {
  FIsTable = false;
  FRows = 0;
  FMxCols = 0;
  FLastInputLineEndedInLineBreak = false;
}

bool TDTF::OpenAndIndexFile(const std::string& fileName, TSubindexMappingMode mode) {
  bool ok = LoadMMF(fileName, 0, FPartSz, false);
  InitDelimF();
  if (!ok) return false;
  FLineBrkStr = GuessLineBreak();
  if (FLineBrkStr.empty()) FLineBrkStr = "\r\n";
  ClearIndices();
  FSubitemIndexMode = mode;
  FDelimIdx = FLineBrk2DelimMap = cNoIdx;
  FLineBrkIdx = MakeIndex(FLineBrkStr, cNoIdx);
  if (FLineBrkIdx == cNoIdx) {
    if (!FLastError) SetError(TZelErr::User("Cannot index file", fileName));
    return false;
  }
  const std::string delim(1, FDelim);
  if (mode != smUnindexed) {
    FDelimIdx = MakeIndex(delim, cNoIdx);
    if (FDelimIdx == cNoIdx) {
      if (!FLastError) SetError(TZelErr::User("Cannot index file", fileName));
      return false;
    }
    if (mode == smIndexedAndMapped) {
      FLineBrk2DelimMap = MapIndices(FLineBrkIdx, FDelimIdx, cNoIdx);
      if (FLineBrk2DelimMap == cNoIdx) {
        SetError(TZelErr::User("Cannot index file", fileName));
        return false;
      }
    }
  }
  if (!SetSubitemMode(mode, delim, FLineBrkIdx)) {
    SetError(TZelErr("", "Cannot set field access", fileName));
    return false;
  }
  FRows = GetNItems(FLineBrkIdx);
  if (FRows > 0 && GetItemLen(FRows - 1, FLineBrkIdx) == 0) {
    --FRows;
    FLastInputLineEndedInLineBreak = true;
  }
  return true;
}

uint64_t TDTF::Cols(uint64_t row) { return row >= FRows ? 0 : GetNSubitems(row); }

uint64_t TDTF::GetMxCols() {
  if (FMxCols != 0) return FMxCols;
  uint64_t m = 0;
  for (uint64_t r = 0; r < FRows; ++r) m = std::max(m, GetNSubitems(r));
  FMxCols = m;
  return m;
}

std::vector<std::string> TDTF::GetRow(uint64_t row) {
  std::vector<std::string> r;
  if (row >= FRows) return r;
  uint64_t n = GetNSubitems(row);
  r.reserve(n);
  for (uint64_t i = 0; i < n; ++i) r.push_back(GetSubitem(row, i));
  return r;
}

std::string TDTF::ToStr(const std::string& lineBreak, const std::string& sep, uint64_t first,
                        uint64_t last) {
  std::string s;
  if (first >= FRows) return s;
  if (last >= FRows) last = FRows - 1;
  if (last < first) return s;
  for (uint64_t r = first; r <= last; ++r) {
    uint64_t n = GetNSubitems(r);
    for (uint64_t i = 0; i < n; ++i) {
      if (i) s += sep;
      s += GetSubitem(r, i);
    }
    s += lineBreak;
  }
  if (FRows == last + 1 && FLastInputLineEndedInLineBreak) s += lineBreak;
  if (s.size() >= lineBreak.size()) s.resize(s.size() - lineBreak.size());
  return s;
}

namespace {
// Digits only, no sign or blanks; anything else (or an empty field) gives def.
uint64_t ParseU64(const uint8_t* p, uint64_t n, uint64_t def) {
  if (n == 0) return def;
  uint64_t v = 0;
  for (uint64_t i = 0; i < n; ++i) {
    uint8_t c = p[i];
    if (c < '0' || c > '9') return def;
    v = v * 10 + (c - '0');
  }
  return v;
}
}  // namespace

int64_t TDTF::XtrTblD(std::vector<std::vector<uint32_t>>& table, uint64_t r0, uint64_t r1,
                      uint64_t c0, uint64_t c1, uint32_t def, bool stop) {
  if (r1 == cNoOfs) {
    if (FRows == 0) return 0;
    r1 = FRows - 1;
  }
  if (c1 == cNoOfs) {
    if (GetMxCols() == 0) return 0;
    c1 = GetMxCols() - 1;
  }
  if (r1 < r0 || c1 < c0) return -1;
  if (r1 >= FRows || c1 >= GetMxCols()) return 0;
  const uint64_t nr = r1 - r0 + 1, nc = c1 - c0 + 1;
  // Every row is checked, not only the first: a ragged table gets each short row widened.
  if (table.size() < nr) table.resize(nr);
  for (uint64_t i = 0; i < nr; ++i)
    if (table[i].size() < nc) table[i].resize(nc, def);
  int64_t defaults = 0;
  const uint8_t d = static_cast<uint8_t>(FDelim);
  for (uint64_t r = r0; r <= r1; ++r) {
    std::vector<uint32_t>& out = table[r - r0];
    uint64_t len;
    const uint8_t* p = GetItemPtr(r, len, FLineBrkIdx == cNoIdx ? 0 : FLineBrkIdx);
    uint64_t ilen = GetItemLen(r, FLineBrkIdx == cNoIdx ? 0 : FLineBrkIdx);
    if (ilen == 0) {
      std::fill(out.begin(), out.begin() + nc, def);
      if (stop) return -1;
      defaults += static_cast<int64_t>(nc);
      continue;
    }
    if (!p) return -1;
    uint64_t pos = 0;
    bool more = true;  // a field starts at pos
    for (uint64_t field = 0; field <= c1; ++field) {
      const uint8_t* fp = p;
      uint64_t fl = 0;  // fields missing at the end of a short row are empty
      if (more) {
        int64_t f = FaScanB(p + pos, len - pos, d);
        uint64_t fe = f < 0 ? len : pos + static_cast<uint64_t>(f);
        fp = p + pos;
        fl = fe - pos;
        if (f < 0)
          more = false;
        else
          pos = fe + 1;
      }
      if (field < c0) continue;
      uint64_t v = ParseU64(fp, fl, def);
      if (v > 0xFFFFFFFFull) v = def;
      const uint32_t v32 = static_cast<uint32_t>(v);
      out[field - c0] = v32;
      if (v32 == def) {
        if (stop) return -1;
        ++defaults;
      }
    }
  }
  return defaults;
}
