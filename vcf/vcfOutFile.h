// A text output file written through a temporary file in the target's folder and renamed
// into place only when everything was written; a name ending in ".gz" is written as BGZF
// (blocks as bgzip writes them, with the end-of-file block), compressed on several threads.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "fileaccess/korFileIO.h"

class TVcfOutFile {
 public:
  TVcfOutFile() = default;
  ~TVcfOutFile() { Abort(); }
  TVcfOutFile(const TVcfOutFile&) = delete;
  TVcfOutFile& operator=(const TVcfOutFile&) = delete;

  // threads 0: all cores. BGZF when the name ends in ".gz" (any case).
  TZelErr Open(const std::string& fileName, unsigned threads = 0);
  void Write(std::string_view text);
  // Flushes, closes and renames into place; on any failure the target is left as it was.
  TZelErr Commit();
  // Drops the temporary file (nothing when committed or never opened).
  void Abort();
  bool IsBgzf() const { return FBgzf; }

 private:
  void FlushBuffer(bool final);
  void WriteRaw(const void* p, size_t n);

  std::unique_ptr<TFileOut> FOut;
  std::string FName;
  bool FBgzf = false;
  unsigned FThreads = 1;
  std::string FBuf;
  size_t FBufCap = 0;
  TZelErr FErr;
};
