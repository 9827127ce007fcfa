// Plain file routines; every writer goes through a temporary file renamed into place.
#include "fileaccess/korFileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct TFd {
  int fd = -1;
  explicit TFd(int f) : fd(f) {}
  ~TFd() {
    if (fd >= 0) ::close(fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
};

int PreadAll(int fd, char* dst, uint64_t count, uint64_t offset, uint64_t& got) {
  got = 0;
  while (got < count) {
    ssize_t n = ::pread(fd, dst + got, count - got > (1u << 30) ? (1u << 30) : count - got,
                        static_cast<off_t>(offset + got));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<uint64_t>(n);
  }
  return 0;
}

int WriteAll(int fd, const void* p, uint64_t n) {
  const char* c = static_cast<const char*>(p);
  while (n > 0) {
    ssize_t w = ::write(fd, c, n > (1u << 30) ? (1u << 30) : n);
    if (w < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (w == 0) return cFioBadArgs;
    c += w;
    n -= static_cast<uint64_t>(w);
  }
  return 0;
}

}  // namespace

bool DoesFileExist(const std::string& name) {
  struct stat st;
  return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

int64_t FileSizeOf(const std::string& name) {
  struct stat st;
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return -1;
  return st.st_size;
}

uint64_t FileMTimeNs(const std::string& name) {
  struct stat st;
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000ull +
         static_cast<uint64_t>(st.st_mtim.tv_nsec);
}

uint64_t PeekFileStart(const std::string& name, uint64_t def) {
  TFd f(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (f.fd < 0) return def;
  unsigned char b[8];
  uint64_t got;
  if (PreadAll(f.fd, reinterpret_cast<char*>(b), 8, 0, got) != 0 || got < 8) return def;
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return v;
}

namespace {

// Reads a whole file (not a folder) into the buffer alloc(size) gives (nullptr: out of memory);
// got is what was read, less than size when the file shrank meanwhile.
template <class TAlloc>
int ReadWhole(const std::string& name, TAlloc alloc, uint64_t& got) {
  got = 0;
  TFd f(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (f.fd < 0) return errno;
  struct stat st;
  if (fstat(f.fd, &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  const uint64_t n = static_cast<uint64_t>(st.st_size);
  char* p = alloc(n);
  if (!p) return ENOMEM;
  return PreadAll(f.fd, p, n, 0, got);
}

}  // namespace

int ReadFile(const std::string& name, std::string& out, uint64_t& size) {
  out.clear();
  size = 0;
  std::string buf;
  uint64_t got;
  const int e = ReadWhole(
      name,
      [&buf](uint64_t n) -> char* {
        try {
          buf.resize(n);
        } catch (const std::bad_alloc&) {
          return nullptr;
        }
        return buf.data();
      },
      got);
  if (e != 0) return e;
  buf.resize(got);
  out = std::move(buf);
  size = got;
  return 0;
}

int ReadFileHuge(const std::string& name, THugeArr<char>& out, uint64_t& size) {
  out.reset();
  size = 0;
  THugeArr<char> buf;
  uint64_t got;
  const int e = ReadWhole(
      name,
      [&buf](uint64_t n) {
        buf = MakeHugeArr<char>(n);
        return buf.get();
      },
      got);
  if (e != 0) return e;
  out = std::move(buf);
  size = got;
  return 0;
}

int ReadTextFile(const std::string& name, std::vector<std::string>& out) {
  std::string s;
  uint64_t sz;
  int e = ReadFile(name, s, sz);
  if (e != 0) {
    out.clear();
    return e;
  }
  std::vector<std::string> lines;
  size_t i = 0, start = 0;
  const size_t n = s.size();
  while (i < n) {
    char c = s[i];
    if (c == '\n' || c == '\r') {
      lines.emplace_back(s, start, i - start);
      if (c == '\r' && i + 1 < n && s[i + 1] == '\n') ++i;
      start = ++i;
    } else {
      const void* nl = memchr(s.data() + i, '\n', n - i);
      const void* cr = memchr(s.data() + i, '\r',
                              (nl ? static_cast<const char*>(nl) : s.data() + n) - (s.data() + i));
      const char* stop = static_cast<const char*>(cr ? cr : (nl ? nl : s.data() + n));
      i = static_cast<size_t>(stop - s.data());
    }
  }
  if (start < n) lines.emplace_back(s, start, n - start);
  out = std::move(lines);
  return 0;
}

int ReadFilePart(const std::string& name, std::string& out, uint64_t& bytesRead,
                 uint64_t& bytesAfter, uint64_t offset, uint64_t count) {
  out.clear();
  bytesRead = 0;
  bytesAfter = 0;
  TFd f(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
  if (f.fd < 0) return errno;
  struct stat st;
  if (fstat(f.fd, &st) != 0) return errno;
  uint64_t size = static_cast<uint64_t>(st.st_size);
  if (offset >= size) return 0;
  uint64_t n = count < size - offset ? count : size - offset;
  std::string buf;
  try {
    buf.resize(n);
  } catch (const std::bad_alloc&) {
    bytesAfter = size - offset;
    return ENOMEM;
  }
  uint64_t got;
  int e = PreadAll(f.fd, buf.data(), n, offset, got);
  if (e != 0 || got != n) {
    bytesAfter = size - offset;
    return e != 0 ? e : EIO;
  }
  out = std::move(buf);
  bytesRead = n;
  bytesAfter = size - offset - n;
  return 0;
}

int WriteFileDataEx(const std::string& name, const std::vector<std::string>& strs,
                    const std::vector<TFioBlock>& blocks, const std::string& strSep,
                    const std::string& blockSep, uint64_t position, bool joined) {
  if (name.empty()) return cFioBadArgs;
  if (!strs.empty() && !blocks.empty() && strs.size() != blocks.size()) return cFioBadArgs;
  TFileOut tmp(name);
  if (tmp.Fd() < 0) return tmp.Err();
  if (position == cFioAppend && !tmp.Direct() && DoesFileExist(name)) {
    // Appending copies the old content first: the file may be mapped by a reader, so it is
    // replaced as a whole instead of being written in place.
    TFd src(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (src.fd < 0) return errno;
    std::string buf(1 << 20, '\0');
    for (;;) {
      ssize_t r = ::read(src.fd, buf.data(), buf.size());
      if (r < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      if (r == 0) break;
      int e = WriteAll(tmp.Fd(), buf.data(), static_cast<uint64_t>(r));
      if (e != 0) return e;
    }
  }
  const size_t n = strs.empty() ? blocks.size() : strs.size();
  std::string joinedBuf;
  for (size_t i = 0; i < n; ++i) {
    int e = 0;
    if (!strs.empty()) {
      if (joined && !strSep.empty()) {
        joinedBuf.assign(strs[i]);
        joinedBuf += strSep;
        e = WriteAll(tmp.Fd(), joinedBuf.data(), joinedBuf.size());
      } else {
        if (!strs[i].empty()) e = WriteAll(tmp.Fd(), strs[i].data(), strs[i].size());
        if (e == 0 && !strSep.empty()) e = WriteAll(tmp.Fd(), strSep.data(), strSep.size());
      }
    }
    if (e == 0 && !blocks.empty()) {
      if (blocks[i].Ptr && blocks[i].Size) e = WriteAll(tmp.Fd(), blocks[i].Ptr, blocks[i].Size);
      if (e == 0 && !blockSep.empty()) e = WriteAll(tmp.Fd(), blockSep.data(), blockSep.size());
    }
    if (e != 0) return e;
  }
  return tmp.Commit();
}

int WriteFileDataStr(const std::string& name, const std::vector<std::string>& strs,
                     const std::string& sep, uint64_t position) {
  return WriteFileDataEx(name, strs, {}, sep, {}, position, true);
}

int WriteFileDataItem(const std::string& name, const void* p, uint64_t size, uint64_t position) {
  return WriteFileDataEx(name, {}, {TFioBlock{p, size}}, {}, {}, position, false);
}

std::string FioErrorText(int code) {
  if (code == 0) return "no error";
  if (code == cFioBadArgs) return "incomplete write or invalid arguments";
  return std::strerror(code);
}

TFileOut::TFileOut(const std::string& target) : FTarget(target) {
  struct stat st;
  if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
    // A device or a pipe (/dev/null, /dev/stdout, a FIFO) is written where it is: renaming a
    // file over it would replace the device node itself.
    FDirect = true;
    FFd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    if (FFd < 0) FErr = errno;
    return;
  }
  std::string dir = ".";
  auto slash = target.find_last_of('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : target.substr(0, slash);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  FTmp = (dir == "/" ? "/" : dir + "/") + "." + base + ".tmpXXXXXX";
  FFd = mkostemp(FTmp.data(), O_CLOEXEC);
  if (FFd < 0) {
    FErr = errno;
    FTmp.clear();
  }
}

TFileOut::~TFileOut() {
  if (FFd >= 0) ::close(FFd);
  if (!FCommitted && !FTmp.empty()) ::unlink(FTmp.c_str());
}

int TFileOut::Write(const void* p, uint64_t n) {
  if (FFd < 0) return FErr ? FErr : cFioBadArgs;
  if (const int e = WriteAll(FFd, p, n)) return e;
  FWritten += n;
  // Every few megabytes the written part is sent to the disk without waiting, so the flush
  // before the rename in Commit waits for the last piece only, not for the whole file while
  // the caller could have gone on working. Advice only: its failure changes nothing.
  constexpr uint64_t kQueueStep = uint64_t(2) << 20;
  if (!FDirect && FWritten - FQueued >= kQueueStep) {
    sync_file_range(FFd, off_t(FQueued), off_t(FWritten - FQueued), SYNC_FILE_RANGE_WRITE);
    FQueued = FWritten;
  }
  return 0;
}

int TFileOut::Sync() {
  if (FFd < 0) return FErr ? FErr : cFioBadArgs;
  if (FDirect) return 0;
  if (fsync(FFd) != 0 && errno != EINVAL && errno != EROFS) return errno;
  return 0;
}

int TFileOut::Commit() {
  if (FFd < 0) return FErr ? FErr : cFioBadArgs;
  if (FDirect) {
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0) return errno;
    FCommitted = true;
    return 0;
  }
  struct stat st;
  mode_t mode;
  if (::stat(FTarget.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t um = umask(0);
    umask(um);
    mode = 0666 & ~um;
  }
  if (fchmod(FFd, mode) != 0) return errno;
  if (fsync(FFd) != 0 && errno != EINVAL && errno != EROFS) return errno;
  const int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0) return errno;
  if (::rename(FTmp.c_str(), FTarget.c_str()) != 0) return errno;
  FCommitted = true;
  return 0;
}
