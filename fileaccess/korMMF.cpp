// Read-only memory-mapped file on POSIX mmap.
#include "fileaccess/korMMF.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {
uint64_t PageSize() {
  static const uint64_t ps = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  return ps;
}
}  // namespace

TMemMappedFile::TMemMappedFile() { FSysAllocGranularity = GetSysAllocGranularity(); }

TMemMappedFile::TMemMappedFile(const std::string& fileName, uint64_t maxSize,
                               TMMFAccessMode access) {
  FSysAllocGranularity = GetSysAllocGranularity();
  FFileAccess = access;
  if (fileName.empty()) {
    *this = Anonymous(maxSize);
    return;
  }
  if (access != maRead) {  // the program never writes through a file mapping
    FLastOSError = EACCES;
    return;
  }
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    FLastOSError = errno;
    return;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    FLastOSError = errno;
    ::close(fd);
    return;
  }
  if (S_ISDIR(st.st_mode)) {
    FLastOSError = EISDIR;
    ::close(fd);
    return;
  }
  FhFile = fd;
  FFileName = fileName;
  uint64_t fsz = static_cast<uint64_t>(st.st_size);
  FMMFSz = (maxSize == 0 || maxSize > fsz) ? fsz : maxSize;
  FEstablished = true;
  FLocked = false;
}

TMemMappedFile TMemMappedFile::Anonymous(uint64_t maxSize) {
  TMemMappedFile m;
  m.FAnonymous = true;
  m.FMMFSz = maxSize;
  m.FViewAccess = maReadWrite;
  m.FFileAccess = maReadWrite;
  m.FEstablished = maxSize > 0;
  m.FLocked = !m.FEstablished;
  return m;
}

TMemMappedFile::~TMemMappedFile() { Release(); }

void TMemMappedFile::Release() {
  FLocked = true;
  CloseAllViews();
  if (FhFile >= 0) ::close(FhFile);
  FhFile = -1;
  FEstablished = false;
}

TMemMappedFile::TMemMappedFile(TMemMappedFile&& o) noexcept { *this = std::move(o); }

TMemMappedFile& TMemMappedFile::operator=(TMemMappedFile&& o) noexcept {
  if (this == &o) return *this;
  Release();
  FLocked = o.FLocked;
  FEstablished = o.FEstablished;
  FLastOSError = o.FLastOSError;
  FSysAllocGranularity = o.FSysAllocGranularity;
  FhFile = std::exchange(o.FhFile, -1);
  FAnonymous = o.FAnonymous;
  FMMFSz = o.FMMFSz;
  FFileName = std::move(o.FFileName);
  FViews = std::move(o.FViews);
  FMaps = std::move(o.FMaps);
  FViewIDs = o.FViewIDs;
  FViewAccess = o.FViewAccess;
  FFileAccess = o.FFileAccess;
  o.FViews.clear();
  o.FMaps.clear();
  o.FEstablished = false;
  o.FLocked = true;
  return *this;
}

uint32_t TMemMappedFile::GetSysAllocGranularity() {
  uint64_t g = 65536;
  while (g % PageSize() != 0) g *= 2;  // systems with pages above 64 KiB
  return static_cast<uint32_t>(g);
}

uint64_t TMemMappedFile::NextValidViewOffset(uint64_t x) const {
  uint64_t r = x % FSysAllocGranularity;
  return r == 0 ? x : x + (FSysAllocGranularity - r);
}

int64_t TMemMappedFile::TotalFileSize() const {
  if (FhFile < 0 || FFileName.empty()) return -1;
  struct stat st;
  if (fstat(FhFile, &st) != 0) return -1;
  return static_cast<int64_t>(st.st_size);
}

uint32_t TMemMappedFile::OpenView(uint64_t offset, uint64_t size) {
  if (!FEstablished || !IsValidViewOffset(offset)) return cMMFNoView;
  if (FMMFSz == 0) {
    int64_t t = TotalFileSize();
    if (t <= 0) return cMMFNoView;
    FMMFSz = static_cast<uint64_t>(t);
  }
  if (size > FMMFSz) size = FMMFSz;
  if (offset >= FMMFSz) return cMMFNoView;
  if (size == 0) size = FMMFSz - offset;
  if (size > FMMFSz - offset) return cMMFNoView;
  if (size > SIZE_MAX) return cMMFNoView;
  void* p;
  if (FAnonymous) {
    // One anonymous region backs the whole mapping; views are windows into it.
    if (FMaps.empty() || FMaps[0].Base == nullptr) {
      p = mmap(nullptr, FMMFSz, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (p == MAP_FAILED) {
        FLastOSError = errno;
        return cMMFNoView;
      }
      FViews.push_back({static_cast<const uint8_t*>(p), FMMFSz, 0, FViewIDs++});
      FMaps.push_back({p, static_cast<size_t>(FMMFSz)});
      if (offset == 0 && size == FMMFSz) return FViews.back().ViewID;
    }
    const uint8_t* base = static_cast<const uint8_t*>(FMaps[0].Base);
    FViews.push_back({base + offset, size, offset, FViewIDs});
    FMaps.push_back({nullptr, 0});  // shares the first region
    return FViewIDs++;
  }
  p = mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_SHARED, FhFile,
           static_cast<off_t>(offset));
  if (p == MAP_FAILED) {
    FLastOSError = errno;
    return cMMFNoView;
  }
  FViews.push_back({static_cast<const uint8_t*>(p), size, offset, FViewIDs});
  FMaps.push_back({p, static_cast<size_t>(size)});
  return FViewIDs++;
}

uint32_t TMemMappedFile::GetViewOffset(uint32_t id) const {
  if (FViews.empty() || id > FViewIDs) return cMMFNoView;
  uint64_t start = id < FViews.size() ? id : FViews.size() - 1;
  for (uint64_t i = start + 1; i-- > 0;)
    if (FViews[i].ViewID == id) return static_cast<uint32_t>(i);
  return cMMFNoView;
}

TMMFView TMemMappedFile::GetView(uint32_t id) const {
  uint32_t i = GetViewOffset(id);
  return i == cMMFNoView ? TMMFView{} : FViews[i];
}

TMMFView TMemMappedFile::LastView() const { return FViews.empty() ? TMMFView{} : FViews.back(); }

uint8_t* TMemMappedFile::MutableViewPtr(uint32_t id) const {
  if (!FAnonymous) return nullptr;
  uint32_t i = GetViewOffset(id);
  return i == cMMFNoView ? nullptr : const_cast<uint8_t*>(FViews[i].ViewPtr);
}

void TMemMappedFile::DropPages(const uint8_t* p, uint64_t len) const {
  if (FAnonymous || len == 0) return;
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  uintptr_t ps = PageSize();
  uintptr_t lo = (a + ps - 1) & ~(ps - 1);  // whole pages inside the range only
  uintptr_t hi = (a + len) & ~(ps - 1);
  if (hi > lo) madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_DONTNEED);
}

uint64_t TMemMappedFile::DataOffsetFrom(uint64_t ofs) const {
  if (FhFile < 0 || FAnonymous) return ofs;
  off_t r = lseek(FhFile, static_cast<off_t>(ofs), SEEK_DATA);
  if (r >= 0) return static_cast<uint64_t>(r) > ofs ? static_cast<uint64_t>(r) : ofs;
  if (errno == ENXIO && ofs < FMMFSz) return FMMFSz;  // nothing but a hole up to the end
  return ofs;
}

int64_t TMemMappedFile::ReadAt(uint64_t ofs, void* dst, uint64_t n) const {
  if (FhFile < 0) return -1;
  uint64_t got = 0;
  while (got < n) {
    ssize_t r =
        pread(FhFile, static_cast<char*>(dst) + got, n - got, static_cast<off_t>(ofs + got));
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    got += static_cast<uint64_t>(r);
  }
  return static_cast<int64_t>(got);
}

void TMemMappedFile::CloseAllViews() {
  for (auto& m : FMaps)
    if (m.Base) munmap(m.Base, m.MapLen);
  FMaps.clear();
  FViews.clear();
  FViewIDs = 0;
}
