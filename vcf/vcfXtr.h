// Result codes, conversions and the caller-owned parameter records of INFO/FORMAT value
// extraction; the records are made once per run and reused for every variant.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/bioVCFTypes.h"

enum TXtrFuncRes : int8_t {
  xtrErrConversion = -1,
  xtrOK = 0,
  xtrErrMemory = 1,
  xtrErrAlleles = 2,
  xtrErrInput = 3,
};

struct TXtrFuncResEx {
  TXtrFuncRes Res = xtrOK;
  uint64_t Variant = 0;
  uint64_t Smp = 0;
  uint32_t Tag = vcfNone32;  // position of the failing FORMAT tag in the caller's list; GT: none
};

enum TXtrConversion : uint8_t {
  xtString = 0,
  xtUInt8 = 1,
  xtUInt16 = 2,
  xtUInt32 = 3,
  xtUInt64 = 4,
  xtSInt8 = 5,
  xtSInt16 = 6,
  xtSInt32 = 7,
  xtSInt64 = 8,
  xtSgl = 9,
  xtDbl = 10,
};

inline constexpr uint8_t TypeSz[11] = {0, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8};

TXtrConversion DefConversion(TvcfType t);

// Converts text into dst (TypeSz[conv] bytes). Values that do not fit the target type, any
// trailing text, lists and empty text fail: nothing is ever wrapped into range.
bool XtrConvert(std::string_view text, TXtrConversion conv, void* dst);

struct TXtrInfFuncParam {
  uint8_t* PBuffer = nullptr;
  uint32_t BytesAllocated = 0;
  uint32_t ItemBytes = 0;  // out: bytes written for the current variant; 0 = absent
  TXtrConversion Conversion = xtString;
  std::vector<uint8_t> ValMissingData;  // stored when the value is "."
  std::string L0PresVal;                // stored when the key is present without a value
  std::vector<uint8_t> Buffer;          // owns PBuffer's memory

  // textBytes: buffer size for xtString values.
  void Make(TXtrConversion conv, std::vector<uint8_t> valMissingData, std::string length0PresVal,
            uint32_t textBytes = 0);
};

struct TXtrFmtFuncParam {
  // Numeric: one buffer of n slots of the item size. Text: n buffers of BytesAllocated bytes.
  std::vector<uint8_t> Buffer;
  uint32_t BytesAllocated = 0;
  std::vector<uint32_t> ItemBytes;  // numeric: one entry; text: one per reported sample
  uint32_t TagOfs = 0xFFFFFFFFu;    // out: position in FORMAT, 0xFFFFFFFF = absent
  TXtrConversion Conversion = xtString;
  std::vector<uint8_t> ValMissingData;
  uint32_t NSmp = 0;

  void MakeAndAlloc(TXtrConversion conv, uint32_t nSmp, std::vector<uint8_t> valMissingData,
                    uint32_t textBytes = 64);
  uint8_t* Slot(uint32_t j) { return Buffer.data() + size_t(j) * SlotSize(); }
  const uint8_t* Slot(uint32_t j) const { return Buffer.data() + size_t(j) * SlotSize(); }
  uint32_t SlotSize() const { return Conversion == xtString ? BytesAllocated : TypeSz[Conversion]; }
  template <class T>
  T Value(uint32_t j) const {
    T v;
    __builtin_memcpy(&v, Slot(j), sizeof(T));
    return v;
  }
  std::string_view Text(uint32_t j) const {
    return std::string_view(reinterpret_cast<const char*>(Slot(j)), ItemBytes[j]);
  }
};

// What genotype reading met beyond its result code, summed over the calls of a run so the
// command can report each kind once.
struct TXtrGtReport {
  uint64_t BadAlleleCalls = 0;  // allele numbers beyond the site's alleles: call missing
  uint64_t FirstBadAlleleLine = 0;
  uint64_t PlaceholderCalls = 0;  // calls naming <*> or <NON_REF>: missing
  uint64_t ShortLines = 0;        // lines with fewer columns than the header
  uint64_t FirstShortLine = 0;
  uint64_t LastShortVariant = ~uint64_t(0);
  uint64_t LongLines = 0;  // lines with more sample columns than the header names: ignored
  uint64_t FirstLongLine = 0;
  uint64_t LastLongVariant = ~uint64_t(0);
  // Lines with calls of more items than FORMAT has keys, or sample columns without FORMAT.
  uint64_t ExtraItemLines = 0;
  uint64_t FirstExtraItemLine = 0;
  uint64_t LastExtraItemVariant = ~uint64_t(0);
  TXtrFuncResEx Fail;      // where the last failure happened
  uint64_t FailLine = 0;   // its line number in the file, from 1
  bool LineFault = false;  // the failure is a malformed line: TVCFFile::LineError() says how
};

// Line-level pieces of TVCFFile::XtrBiallelicCallsMem, for readers that split lines themselves.
// GT first in FORMAT, no placeholder among the alleles and at most 9 of them: a site whose
// calls may be in the common form. Its number of alleles (2 .. 9), else 0.
uint32_t VcfCommonFormSite(std::string_view format, std::string_view alt);
// The nCalls calls whose columns start at line + cols[j] (cols as VcfSplitLine gives them,
// from the first sample column on) in the common form of a site of nAlleles alleles: pair[j]
// is (nAlleles + 1) * first + second allele, nAlleles standing for missing; dpPos: DP's item
// in FORMAT (vcfNone32: none). False when a call or DP is in another form.
bool VcfCommonCallsOfLine(const char* line, uint32_t lineLen, const uint32_t* cols, uint32_t nCalls,
                          uint32_t dpPos, uint32_t nAlleles, uint8_t* pair, uint32_t* depth);
// A line with one column per sample and no call of more items than FORMAT has keys: a line
// the genotype report has nothing to say about.
bool VcfLineShapeUsual(const char* line, const uint32_t* cols, uint32_t nFields, uint32_t nColons,
                       uint32_t nSamples);
