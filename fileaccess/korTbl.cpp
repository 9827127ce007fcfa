// In-memory string table: rectangular construction, columns and text output.
#include "fileaccess/korTbl.h"

#include <algorithm>

std::string FaConcatAStr(const TAStr& a, const std::string& sep) {
  std::string s;
  for (size_t i = 0; i < a.size(); ++i) {
    if (i) s += sep;
    s += a[i];
  }
  return s;
}

TAStr GetTblCol(const TAAStr& tbl, uint64_t col) {
  TAStr r;
  if (tbl.empty() || tbl[0].empty() || col >= tbl[0].size()) return r;
  r.reserve(tbl.size());
  for (const auto& row : tbl) r.push_back(col < row.size() ? row[col] : std::string());
  return r;
}

TStrTbl TStrTbl::CreateEmpty(uint64_t rows, uint64_t cols) {
  TAAStr src(rows, TAStr(cols));
  return MakeEx(src, {}, {}, {});
}

TStrTbl TStrTbl::MakeEx(const TAAStr& src, const TAStr& rowNames, const TAStr& colNames,
                        const std::string& fill) {
  TStrTbl t;
  if (src.empty()) return t;
  size_t cols = 0;
  for (const auto& r : src) cols = std::max(cols, r.size());
  t.FTbl.assign(src.size(), TAStr(cols, fill));
  for (size_t i = 0; i < src.size(); ++i)
    std::copy(src[i].begin(), src[i].end(), t.FTbl[i].begin());
  if (rowNames.size() == src.size()) t.FRowNames = rowNames;
  if (colNames.size() == cols) t.FColNames = colNames;
  return t;
}

void TStrTbl::SetCol(uint64_t col, const TAStr& values) {
  if (FTbl.empty() || values.empty() || values.size() != FTbl.size()) return;
  for (const auto& r : FTbl)
    if (col >= r.size()) return;
  for (size_t i = 0; i < FTbl.size(); ++i) FTbl[i][col] = values[i];
}

TAStr TStrTbl::AsAString(const std::string& sep, bool withRowNames, bool withColNames,
                         const std::string& corner) const {
  TAStr out;
  if (FTbl.empty() || Cols() == 0) return out;
  const bool rn = withRowNames && !FRowNames.empty() && FRowNames.size() == FTbl.size();
  if (withColNames && !FColNames.empty())
    out.push_back((rn ? corner + sep : std::string()) + FaConcatAStr(FColNames, sep));
  for (size_t i = 0; i < FTbl.size(); ++i)
    out.push_back((rn ? FRowNames[i] + sep : std::string()) + FaConcatAStr(FTbl[i], sep));
  return out;
}
