// Delimited text tables over an indexed text file: rows are lines, columns the fields between
// one delimiter byte. TTabDTF is the tab-separated form (base of the VCF file class).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fileaccess/korMMTF.h"

constexpr uint64_t cMaxViewSize = 0x40000000;  // 1 GiB
constexpr char cTabDelimiter = '\t';

class TDTF : public TMMTF {
 public:
  explicit TDTF(char delimiter);
  ~TDTF() override = default;

  char Delimiter() const { return FDelim; }
  uint64_t Rows() const { return FRows; }
  uint64_t MxCols() { return GetMxCols(); }
  const std::string& LineBrkStr() const { return FLineBrkStr; }
  uint32_t LineBrkIdx() const { return FLineBrkIdx; }
  uint32_t DelimIdx() const { return FDelimIdx; }
  bool LastInputLineEndedInLineBreak() const { return FLastInputLineEndedInLineBreak; }

  void InitDelimF();
  // Maps and indexes the file (parts of PartSize(), default 8 GiB). false with LastError() set
  // when the file cannot be mapped or any index cannot be built.
  [[nodiscard]] virtual bool OpenAndIndexFile(const std::string& fileName,
                                              TSubindexMappingMode mode);
  virtual uint64_t Cols(uint64_t row);
  uint64_t GetMxCols();
  virtual std::vector<std::string> GetRow(uint64_t row);
  virtual std::string ToStr(const std::string& lineBreak, const std::string& sep, uint64_t first,
                            uint64_t last);
  // Numeric block rows r0..r1, columns c0..c1 (all ones: to the last). Returns the number of
  // default values stored, -1 for an invalid range, an unreachable row or (stop set) the first
  // default. Every table row is sized to the block's width, so ragged input tables are safe.
  virtual int64_t XtrTblD(std::vector<std::vector<uint32_t>>& table, uint64_t r0, uint64_t r1,
                          uint64_t c0, uint64_t c1, uint32_t def, bool stop);
  virtual void CloseFile() { CloseMMF(); }

 protected:
  char FDelim;
  std::string FLineBrkStr;
  uint32_t FLineBrkIdx = cNoIdx;
  uint32_t FDelimIdx = cNoIdx;
  uint32_t FLineBrk2DelimMap = cNoIdx;
  uint64_t FRows = 0;
  uint64_t FMxCols = 0;
  bool FIsTable = false;
  bool FLastInputLineEndedInLineBreak = false;
};

class TTabDTF : public TDTF {
 public:
  TTabDTF() : TDTF(cTabDelimiter) {}
};
