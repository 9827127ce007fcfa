// The decoded bytes of a text file with the offsets of its line starts: plain files are
// mapped in place, gzip and BGZF files are inflated once; every line is then reached directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "vcf/bioVCFTypes.h"

// Looks at the first bytes of a file: gzip magic, and BGZF's "BC" extra subfield.
TVcfCompression VcfGuessCompression(const uint8_t* p, size_t n);
TVcfCompression VcfGuessFileCompression(const std::string& fileName);

class TVcfText {
 public:
  TVcfText() = default;
  TVcfText(const TVcfText&) = delete;
  TVcfText& operator=(const TVcfText&) = delete;
  ~TVcfText();

  // Maps or decodes the file and indexes its lines. On failure the object is empty.
  TZelErr Open(const std::string& fileName);
  // Takes text already in memory (tests, fuzzing, decoded buffers).
  void OpenMemory(std::string text);
  void Close();

  uint64_t NLines() const { return FStarts.empty() ? 0 : FStarts.size() - 1; }
  // Line i without its line break; a CR before the LF is not part of the line.
  std::string_view Line(uint64_t i) const {
    if (i >= NLines()) return {};
    uint64_t b = FStarts[i], e = FStarts[i + 1] - 1;
    if (e > b && FData[e - 1] == '\r') --e;
    return std::string_view(FData + b, e - b);
  }
  uint64_t LineStart(uint64_t i) const { return i < FStarts.size() ? FStarts[i] : FSize; }
  const char* Data() const { return FData; }
  uint64_t Size() const { return FSize; }
  TVcfCompression Compression() const { return FCompression; }
  // "\r\n" when the first line break is CR LF, else "\n".
  std::string_view LineBreak() const { return FCrLf ? "\r\n" : "\n"; }

 private:
  void BuildIndex();

  const char* FData = nullptr;
  uint64_t FSize = 0;
  void* FMap = nullptr;
  size_t FMapLen = 0;
  std::string FDecoded;
  // Start of every line plus one entry past the last line's break (or past the end).
  std::vector<uint64_t> FStarts;
  TVcfCompression FCompression = TVcfCompression::None;
  bool FCrLf = false;
};
