// Operations on 8-bit strings and string arrays: splitting, joining, trimming, replacing,
// scanning, number arrays, two sort orders, searching and de-duplication with counts.
// Positions in this unit are 1-based and 0 means "none" (unlike the 0-based memory routines).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/korBase.h"

using TAStr = std::vector<std::string>;
using TAAStr = std::vector<TAStr>;
using TADw = std::vector<uint32_t>;
using TAQw = std::vector<uint64_t>;

struct TStrPtrLen {
  const char* Ptr = nullptr;
  uint32_t Len = 0;
};
using TAStrPtrLen = std::vector<TStrPtrLen>;

enum TLineBreakStyle : uint8_t { lbUnknown = 0, lbDOS = 1, lbUNIX = 2, lbMac = 3 };
extern const char* const LineBreakStr[4];
inline constexpr std::string_view DefaultLineBreak = "\r\n";

// ---- Splitting and joining ----
uint64_t PStr2AStr(const void* p, uint64_t len, char delim, TAStr& out, bool dropTrailing);
uint64_t Str2AStr(std::string_view s, char delim, TAStr& out, bool dropTrailing);
TAAStr AStr2AAStr(const TAStr& a, char delim, bool dropTrailing, uint64_t first, uint64_t last);
// Splits text into lines at the last character of lineBreak, removing a whole two-character
// break only where it is present; text is emptied.
TAStr CvtStr2AStr(std::string& text, std::string_view lineBreak, bool dropFinal);
std::string GetNthItemF(std::string_view s, uint64_t n, char delim);
int64_t GetPStrItemOfs(const void* p, const void* pat, char delim, uint64_t len, uint64_t patLen,
                       uint64_t startOfs);
std::string ConcatAStr(const TAStr& a, std::string_view sep);
std::string AStr2Str(const TAStr& a, std::string_view sep, bool trailing);
std::string PAStr2Str(const std::vector<const void*>& ptrs, const std::vector<uint32_t>& lens,
                      std::string_view sep, bool trailing);
TAStrPtrLen AStr2APtrLen(const TAStr& a);
TAStr CombineAStr(const TAAStr& columns, std::string_view sep, std::string_view prefix,
                  std::string_view suffix);
TAStr MkAStr(std::initializer_list<std::string_view> items);
void dAppAStr(TAStr& a, const TAStr& other);
void MergeAStr(TAStr& a, TAStr& other);
TAStr SelAStr(const TAStr& a, const std::vector<bool>& sel);
void DelAStrItem(TAStr& a, uint64_t index);
void DelAStrVal(TAStr& a, std::string_view value);

// ---- Scanning, extracting, testing (1-based positions, 0 = none) ----
uint64_t ScnChF(std::string_view s, char c);
uint64_t ScnChR(std::string_view s, char c);
uint64_t ScnChExF(std::string_view s, char c, uint64_t from);
inline constexpr uint64_t ToEnd = ~uint64_t(0);
uint64_t ScnChExR(std::string_view s, char c, uint64_t to);
uint64_t CntCh(std::string_view s, char c);
uint64_t CntChEx(std::string_view s, char c, uint64_t from, uint64_t to);
uint64_t FndStrF(std::string_view s, std::string_view sub);
uint64_t FndStrExF(std::string_view s, std::string_view sub, uint64_t from);
uint64_t FndStrR(std::string_view s, std::string_view sub);
int64_t FndAStrItemF(const TAStr& a, std::string_view s, uint64_t start);
std::string SubStr(std::string_view s, uint64_t from, uint64_t count);
std::string StrRgn(std::string_view s, uint64_t from, uint64_t to);
std::string TrcStrF(std::string_view s, uint64_t n);
std::string TrcStrAtDelimF(std::string_view s, char c);
std::string TrcAppStrR(std::string_view s, uint64_t n, std::string_view prefix,
                       std::string_view suffix);
bool BrkStrF(std::string_view s, char c, std::string& left, std::string& right);
bool BrkStrR(std::string_view s, char c, std::string& left, std::string& right);
bool NxtStrRgn(std::string_view s, char open, char close, uint64_t& start, uint64_t& end,
               uint64_t from, uint64_t to);
bool NxtPStrRgn(const void* p, uint64_t len, char open, char close, uint64_t& start, uint64_t& end,
                uint64_t from, uint64_t to);
bool StrEq(std::string_view a, std::string_view b);
bool IsAStrEq(const TAStr& a, const TAStr& b);
bool StrEndsWithLineBreak(std::string_view s, std::string_view lineBreak);
TLineBreakStyle GuessLineBreakStyle(std::string_view s);

// ---- Changing characters ----
std::string RepCh(char c, uint64_t n);
std::string RplCh(std::string_view s, char oldC, char newC);
std::string RplChs(std::string_view s, const TChSet& set, char c);
void dRplChs(std::string& s, const TChSet& set, char c);
uint64_t dFmtStr(std::string& s, const TChSet& set, char c, bool trim);
uint64_t FmtStr(std::string_view s, const TChSet& set, char c, std::string& result, bool trim);
std::string ExclChs(std::string_view s, const TChSet& set);
std::string InclChs(std::string_view s, const TChSet& set);
std::string TrmStrLR(std::string_view s, const TChSet& set);
std::string RmvCscCh(std::string_view s, char c);
std::string UpStr(std::string_view s);
std::string RevStr(std::string_view s);
std::string RplStrF(std::string_view s, std::string_view oldS, std::string_view newS, bool all);
// In text (up to its first zero byte, or whole), every oldC := newC inside (outside = false) or
// outside (outside = true) the regions delimited by open and close.
void pRplRgnCh(std::string& text, char oldC, char newC, char open, char close, bool outside);

// ---- Arrays of numbers and tables ----
uint64_t CvtAStr2ADw(const TAStr& a, TADw& out, uint32_t def);
uint64_t CvtAStr2AQw(const TAStr& a, TAQw& out, uint64_t def);
TAStr CvtADw2AStr(const TADw& a);
TAStr CvtAQw2AStr(const TAQw& a);
TAStr CvtADbl2AStr(const std::vector<double>& a, int decimals, int width);
void dAAStr2Tbl(TAAStr& table, uint64_t width);
TAAStr AAStr2Tbl(const TAAStr& table, uint64_t width);

// ---- Orders, sorting, searching, de-duplication ----
// Length order: shorter first, then bytes unsigned. Character order: bytes unsigned over the
// common prefix, then shorter first.
TOrder8 StrOrder_Len(std::string_view a, std::string_view b);
TOrder8 StrOrder_Ch(std::string_view a, std::string_view b);
TOrder8 PStrOrder_Len(const TStrPtrLen& a, const TStrPtrLen& b);
TOrder8 PStrOrder_Ch(const TStrPtrLen& a, const TStrPtrLen& b);
using TPStrOrder = TOrder8 (*)(const TStrPtrLen& a, const TStrPtrLen& b);
extern const TPStrOrder StrOrderChoice[2];  // [0] character order, [1] length order
void QSortAStr_Len(TAStr& a);
void QSortAStr_Ch(TAStr& a);
void QSortAStr(TAStr& a, bool byLength);
bool IsAStrSorted(const TAStr& a, int64_t lastIndex, bool byLength);
int64_t BinSearchAStr_Len(const TAStr& a, std::string_view s, bool exact, int64_t low,
                          int64_t high);
int64_t BinSearchAStr_Ch(const TAStr& a, std::string_view s, bool exact, int64_t low, int64_t high);
int64_t BinSearchAStr(const TAStr& a, std::string_view s, bool byLength, bool exact, int64_t low,
                      int64_t high);
int64_t BinSearchAStrPtrLen(const TAStrPtrLen& a, const void* p, uint32_t len, bool byLength,
                            bool exact, int64_t low, int64_t high);
TADw GetIdxAStr_Len(const TAStr& a);
int64_t BinSearchIdxAStr_Len(const TADw& index, const TAStr& a, std::string_view s, bool exact,
                             int64_t low, int64_t high);
uint64_t RmvSrtAStrDup(TAStr& a);
uint64_t RmvSrtAStrDupAndCnt(TAStr& a, TADw& counts);
