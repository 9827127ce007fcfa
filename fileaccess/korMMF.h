// Read-only memory-mapped file: views of a file at offsets that are multiples of a fixed
// granularity, with the exact file size recorded (POSIX mmap underneath).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TMMFAccessMode : uint8_t { maRead = 0, maWrite = 1, maReadWrite = 2 };

// One open view. ViewSz is the number of file bytes reachable through ViewPtr, never the
// page-rounded mapping length: bytes past the end of the file are never handed out, because
// touching them on Linux raises SIGBUS.
struct TMMFView {
  const uint8_t* ViewPtr = nullptr;
  uint64_t ViewSz = 0;
  uint64_t ViewOfs = 0;
  uint32_t ViewID = 0;
};

constexpr uint32_t cMMFNoView = 0xFFFFFFFFu;

class TMemMappedFile {
 public:
  // Not usable until opened: Established() is false.
  TMemMappedFile();
  // Opens fileName read-only. maxSize 0 means the whole file; a larger maxSize is cut to the
  // file size. Only maRead is supported for files: the program never writes through a mapping
  // (writers go through a temporary file and a rename). On failure Established() is false and
  // LastOSError() holds errno (ENOENT = 2 for a missing file).
  explicit TMemMappedFile(const std::string& fileName, uint64_t maxSize = 0,
                          TMMFAccessMode access = maRead);
  // Anonymous read-write memory of maxSize bytes (views are writable through MutableViewPtr).
  static TMemMappedFile Anonymous(uint64_t maxSize);
  ~TMemMappedFile();
  TMemMappedFile(const TMemMappedFile&) = delete;
  TMemMappedFile& operator=(const TMemMappedFile&) = delete;
  TMemMappedFile(TMemMappedFile&& o) noexcept;
  TMemMappedFile& operator=(TMemMappedFile&& o) noexcept;

  bool Established() const { return FEstablished; }
  bool Locked() const { return FLocked; }
  int LastOSError() const { return FLastOSError; }
  const std::string& FileName() const { return FFileName; }
  uint64_t MMFSize() const { return FMMFSz; }
  uint32_t NViews() const { return static_cast<uint32_t>(FViews.size()); }

  // A view of [offset, offset + size) (size 0: to the end of the mapping). Returns the view id
  // or cMMFNoView when offset is not a multiple of the granularity or the range reaches past
  // the end of the mapping. Ids restart at 0 after CloseAllViews.
  uint32_t OpenView(uint64_t offset, uint64_t size);
  TMMFView GetView(uint32_t id) const;        // all zeros when there is none
  uint32_t GetViewOffset(uint32_t id) const;  // position in the view list or cMMFNoView
  TMMFView LastView() const;                  // all zeros when there is none
  void CloseAllViews();
  // Writable address of a view of an anonymous mapping; nullptr for file mappings.
  uint8_t* MutableViewPtr(uint32_t id) const;
  // Lets the system drop resident pages of [p, p + len) inside an open view of a file; the
  // bytes stay readable (they are faulted in again from the page cache). Keeps the resident
  // memory of a long sequential scan at a constant.
  void DropPages(const uint8_t* p, uint64_t len) const;

  // Offset of the first byte at or after ofs that is not in a hole of a sparse file (the file
  // size when only a hole follows); ofs itself when the system cannot tell.
  uint64_t DataOffsetFrom(uint64_t ofs) const;

  // Reads n bytes at ofs into dst (pread); the number read, or -1 on a system error.
  int64_t ReadAt(uint64_t ofs, void* dst, uint64_t n) const;

  // Exact size of the file in bytes, or -1 without a file.
  int64_t TotalFileSize() const;
  static uint32_t GetSysAllocGranularity();  // 65536, a multiple of every page size in use
  bool IsValidViewOffset(uint64_t x) const { return x % FSysAllocGranularity == 0; }
  uint64_t NextValidViewOffset(uint64_t x) const;
  uint64_t BytesAfterValidViewOffset(uint64_t x) const { return x % FSysAllocGranularity; }
  void SetFileAccessPermissions(TMMFAccessMode mode) { FFileAccess = mode; }

 private:
  struct TMapping {
    void* Base = nullptr;  // page-aligned mmap result
    size_t MapLen = 0;     // length given to mmap
  };
  void Release();

  bool FLocked = true;
  bool FEstablished = false;
  int FLastOSError = 0;
  uint32_t FSysAllocGranularity = 65536;
  int FhFile = -1;
  bool FAnonymous = false;
  uint64_t FMMFSz = 0;
  std::string FFileName;
  std::vector<TMMFView> FViews;
  std::vector<TMapping> FMaps;  // parallel to FViews
  uint32_t FViewIDs = 0;
  TMMFAccessMode FViewAccess = maRead;
  TMMFAccessMode FFileAccess = maRead;
};
