// Text line buffer: lines read from files (whole, by blocks, or in parts that may cut lines),
// edited, transformed and written out with a chosen line break.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "fileaccess/korFileIO.h"

constexpr char cDefMagicChar = 4;
constexpr uint64_t cDefMaxFileReadSize = 500000000;

class Ttf {
 public:
  using TAStr = std::vector<std::string>;
  using TLineFunc = std::function<std::string(const std::string&)>;
  using TLineProc = std::function<void(std::string&)>;

  Ttf();
  ~Ttf() { UnloadAll(); }

  // --- class-level helpers
  // The file's lines; empty on any error.
  static TAStr ReadFile2Astr(const std::string& name);
  // Every line followed by CR LF; replaces the file, or appends when append is set and the file
  // exists. Returns the error code (0 = written).
  [[nodiscard]] static int WriteAStr2File(const TAStr& lines, const std::string& name,
                                          bool append = false);
  static bool TFexists(const std::string& name);

  // --- properties
  uint64_t Len() const { return FContents.size(); }
  bool BlockIO() const { return FBlockIO; }
  void SetBlockIO(bool v) { FBlockIO = v; }
  char MagicChar() const { return FMagicChar; }
  void SetMagicChar(char c) { FMagicChar = c; }
  const std::string& OutputLineBrk() const { return FOutputLineBrk; }
  void SetOutputLineBrk(const std::string& lb) { FOutputLineBrk = lb.substr(0, 2); }
  const TAStr& Contents() const { return FContents; }
  TAStr& Contents() { return FContents; }
  uint64_t MaxFileReadSize() const { return FMaxReadSz; }
  void SetMaxFileReadSize(uint64_t v) { FMaxReadSz = v ? v : cDefMaxFileReadSize; }
  uint64_t LastReadRemainder() const { return FLastPtRdRemainder; }
  uint64_t LastReadFilePos() const { return FLastPtRdFilePos; }
  const std::string& LastReadFileName() const { return FLastPtRdFN; }
  bool LastReadLineBreakAtEnd() const { return FLastPtRdEndLB; }

  // --- reading (false / error code when the file cannot be read; the lines stay as they were)
  [[nodiscard]] int ReadInFile(const std::string& name, bool byBlock = false);
  int ReadInFileByLine(const std::string& name);
  [[nodiscard]] int ReadInFileAsStr(const std::string& name, bool append = false);
  [[nodiscard]] int ReadInFileByBlock(const std::string& name, bool append = false);
  int ReadInFilePartAsStr(const std::string& name, uint64_t count, uint64_t offset,
                          bool append = false);
  [[nodiscard]] int ReadInFilePart(const std::string& name, uint64_t count, uint64_t offset,
                                   bool append, bool continueLines);
  [[nodiscard]] int ReadInNextFilePart(const std::string& name, bool append = true);
  bool UnreadFileChunk(const std::string& name) const;

  // --- writing: every line followed by OutputLineBrk(); error code, 0 = written.
  [[nodiscard]] int WriteOutFile(const std::string& name, bool append = false) const;

  // --- editing
  void AddContentsLine(const std::string& s) { FContents.push_back(s); }
  void AddLn(const std::string& s) { AddContentsLine(s); }
  void AppendToLastContentsLine(const std::string& s);
  void AppLL(const std::string& s) { AppendToLastContentsLine(s); }
  void AddEmptyContentsLines(uint64_t n) { FContents.resize(FContents.size() + n); }
  void AddEL(uint64_t n) { AddEmptyContentsLines(n); }
  void AddContentsLines(const TAStr& list);
  void InsertContentsLine(uint64_t i, const std::string& s);
  void InsertContentsLines(uint64_t i, const TAStr& list);
  void InsertEmptyContentsLines(uint64_t i, uint64_t n);
  void RemoveContentsLine(uint64_t i) { RemoveContentsLines(i, 1); }
  void RemoveContentsLines(uint64_t i, uint64_t n);
  void DeleteLastContentsLine();
  void SetLine(uint64_t i, const std::string& s);
  std::string GetLine(uint64_t i) const {
    return i < FContents.size() ? FContents[i] : std::string();
  }
  void SetContents(const TAStr& list) { FContents = list; }
  void UseContents(TAStr&& list) { FContents = std::move(list); }
  void NilContentsRef() { FContents.clear(); }
  void UnloadContents() { FContents.clear(); }
  void UnloadAll() { FContents.clear(); }
  void Update() {}
  // Index of the last line; -1 when empty.
  int64_t MaxContentsLines() const { return static_cast<int64_t>(FContents.size()) - 1; }
  uint64_t RemoveEmptyContentsLines();

  // --- copying
  void CopyContentsLines2AStr(uint64_t a, uint64_t b, TAStr& out, bool inclusive) const;
  void CopyContentsLines2TTF(uint64_t a, uint64_t b, Ttf& target, bool inclusive) const;

  // --- transforming (range clipped to the last line; nothing for first > last)
  void Apply(const TLineProc& f, uint64_t first = 0, uint64_t last = ~uint64_t(0));
  TAStr Apply2AStr(const TLineFunc& f, uint64_t first = 0, uint64_t last = ~uint64_t(0)) const;
  [[nodiscard]] int ApplyAndWriteDirect(const std::string& name, const TLineFunc& f, bool append,
                                        uint64_t first = 0, uint64_t last = ~uint64_t(0)) const;
  void ReplaceContentsChars(char c, const std::string& set, bool collapse);
  void BreakContentsLines(char c, bool keep);
  // From line `line` onwards, the first line containing text: line and 1-based position.
  bool ScanContents(const std::string& text, uint64_t& line, uint64_t& position) const;
  std::string ContentsAsString(const std::string& sep) const;
  std::string ContentsLinesAsString(const std::string& sep, uint64_t first, uint64_t last) const;

 private:
  bool FBlockIO = false;
  char FMagicChar = cDefMagicChar;
  std::string FOutputLineBrk = "\r\n";
  TAStr FContents;
  bool FLastPtRdEndLB = false;
  uint64_t FLastPtRdRemainder = 0;
  uint64_t FLastPtRdFilePos = 0;
  std::string FLastPtRdFN;
  uint64_t FMaxReadSz = cDefMaxFileReadSize;
  uint64_t FLastPtRdFileSz = 0;
};
