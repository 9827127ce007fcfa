// Plain file routines: whole-file and part reads, existence, first bytes, and writers that
// always go through a temporary file in the target's folder renamed into place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/korHugeMem.h"

// Error codes: 0 success, errno values for system errors, -1 for bad arguments or short writes.
constexpr int cFioBadArgs = -1;

bool DoesFileExist(const std::string& name);  // exists and is not a directory
// Both names reach the same file (links and other spellings included); false if either is
// missing.
bool IsSameFile(const std::string& a, const std::string& b);
// Size in bytes, or -1.
int64_t FileSizeOf(const std::string& name);
// Modification time in ns since the epoch, or 0.
uint64_t FileMTimeNs(const std::string& name);
// First 8 bytes, little-endian; def when unreadable or shorter than 8 bytes.
uint64_t PeekFileStart(const std::string& name, uint64_t def);
[[nodiscard]] int ReadFile(const std::string& name, std::string& out, uint64_t& size);
// The same into a buffer that is neither cleared first nor on small pages: for files of
// hundreds of megabytes that are parsed once.
[[nodiscard]] int ReadFileHuge(const std::string& name, THugeArr<char>& out, uint64_t& size);
// Lines without their CR, LF or CR LF; a final line break gives no empty last line.
[[nodiscard]] int ReadTextFile(const std::string& name, std::vector<std::string>& out);
// min(count, size - offset) bytes from offset. offset >= size: empty, 0 read, 0 after. An error
// gives empty, 0 read, size - offset after (0 when unknown).
[[nodiscard]] int ReadFilePart(const std::string& name, std::string& out, uint64_t& bytesRead,
                               uint64_t& bytesAfter, uint64_t offset, uint64_t count);

constexpr uint64_t cFioAppend = ~uint64_t(0);  // position value meaning "append"

struct TFioBlock {
  const void* Ptr = nullptr;
  uint64_t Size = 0;
};
// Writes strings (each followed by strSep) and blocks (each followed by blockSep), pairwise
// interleaved, to name. position cFioAppend appends to an existing file, anything else
// creates or replaces it. The result goes to a temporary file in the same folder which is
// renamed into place only when every write and the close succeeded, so a reader that has the
// old file mapped keeps valid bytes and a failed write leaves the old file untouched.
[[nodiscard]] int WriteFileDataEx(const std::string& name, const std::vector<std::string>& strs,
                                  const std::vector<TFioBlock>& blocks, const std::string& strSep,
                                  const std::string& blockSep, uint64_t position, bool joined);
[[nodiscard]] int WriteFileDataStr(const std::string& name, const std::vector<std::string>& strs,
                                   const std::string& sep, uint64_t position);
[[nodiscard]] int WriteFileDataItem(const std::string& name, const void* p, uint64_t size,
                                    uint64_t position);

// Where a writer's bytes go: a temporary file in the target's folder, renamed over the target
// by Commit (and removed when Commit is never reached), so a failed write leaves the old file
// untouched and a reader that has it mapped keeps valid bytes. A target that exists and is no
// regular file (a device such as /dev/null or /dev/stdout, a pipe) is written directly.
class TFileOut {
 public:
  explicit TFileOut(const std::string& target);
  ~TFileOut();
  TFileOut(const TFileOut&) = delete;
  TFileOut& operator=(const TFileOut&) = delete;
  int Fd() const { return FFd; }  // -1 when the output could not be opened (see Err)
  int Err() const { return FErr; }
  bool Direct() const { return FDirect; }  // the target itself is written
  // Writes all n bytes; 0 or an error code (the open's error when the output is not open).
  [[nodiscard]] int Write(const void* p, uint64_t n);
  // Flushes what was written to the disk (a later Commit then finds little to flush), so that
  // a worker thread can wait for the disk instead of the thread that commits in order; 0 or an
  // error code.
  [[nodiscard]] int Sync();
  // Gives the file the permissions the target has (or a new file would get), flushes, closes
  // and renames it over the target; 0 or an error code of these routines.
  [[nodiscard]] int Commit();

 private:
  std::string FTarget, FTmp;
  int FFd = -1;
  int FErr = 0;
  bool FDirect = false;
  bool FCommitted = false;
  uint64_t FWritten = 0, FQueued = 0;  // bytes written by Write; of them, sent to the disk
};

// The system's text for an error code of these routines.
std::string FioErrorText(int code);
