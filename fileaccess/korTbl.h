// In-memory table of 8-bit strings with optional row and column names (population maps).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using TAStr = std::vector<std::string>;
using TAAStr = std::vector<TAStr>;

// Cell [i][col] of every row; empty when the table or row 0 is empty or col is beyond row 0.
// Rows shorter than row 0 give an empty cell.
TAStr GetTblCol(const TAAStr& tbl, uint64_t col);

struct TStrTbl {
  TAAStr FTbl;
  TAStr FRowNames;
  TAStr FColNames;

  TStrTbl() = default;
  explicit TStrTbl(TAAStr tbl) : FTbl(std::move(tbl)) {}

  // rows x cols empty strings, no names.
  static TStrTbl CreateEmpty(uint64_t rows, uint64_t cols);
  // Rectangular copy of src (short rows filled with fill); names kept only when their counts
  // match the rows / columns.
  static TStrTbl MakeEx(const TAAStr& src, const TAStr& rowNames, const TAStr& colNames,
                        const std::string& fill);
  uint64_t Rows() const { return FTbl.size(); }
  uint64_t Cols() const { return FTbl.empty() ? 0 : FTbl[0].size(); }
  // Sets column col of every row; ignored unless values has one entry per row and col exists
  // in every row.
  void SetCol(uint64_t col, const TAStr& values);
  TAStr GetCol(uint64_t col) const { return GetTblCol(FTbl, col); }
  TAStr AsAString(const std::string& sep, bool withRowNames, bool withColNames,
                  const std::string& corner) const;
};

// Elements joined with sep.
std::string FaConcatAStr(const TAStr& a, const std::string& sep);
