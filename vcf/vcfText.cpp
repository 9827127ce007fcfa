// The decoded bytes of a text file with the offsets of its line starts.
#include "vcf/vcfText.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

std::string_view VcfCompressionName(TVcfCompression c) {
  switch (c) {
    case TVcfCompression::Gzip:
      return "gzip";
    case TVcfCompression::Bgzf:
      return "BGZF";
    default:
      return "none";
  }
}

TVcfCompression VcfGuessCompression(const uint8_t* p, size_t n) {
  if (n < 18 || p[0] != 0x1f || p[1] != 0x8b || p[2] != 8) return TVcfCompression::None;
  if ((p[3] & 4) == 0) return TVcfCompression::Gzip;
  size_t xlen = size_t(p[10]) | (size_t(p[11]) << 8);
  size_t i = 12, end = 12 + xlen;
  if (end > n) return TVcfCompression::Gzip;
  // Walk the extra subfields by their own lengths: "BC" need not come first.
  while (i + 4 <= end) {
    size_t slen = size_t(p[i + 2]) | (size_t(p[i + 3]) << 8);
    if (p[i] == 'B' && p[i + 1] == 'C' && slen == 2) return TVcfCompression::Bgzf;
    i += 4 + slen;
  }
  return TVcfCompression::Gzip;
}

TVcfCompression VcfGuessFileCompression(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return TVcfCompression::None;
  uint8_t buf[512];
  ssize_t n = ::read(fd, buf, sizeof buf);
  ::close(fd);
  return n > 0 ? VcfGuessCompression(buf, size_t(n)) : TVcfCompression::None;
}

TVcfText::~TVcfText() { Close(); }

void TVcfText::Close() {
  if (FMap) ::munmap(FMap, FMapLen);
  FMap = nullptr;
  FMapLen = 0;
  FData = nullptr;
  FSize = 0;
  std::string().swap(FDecoded);
  std::vector<uint64_t>().swap(FStarts);
  FCompression = TVcfCompression::None;
  FCrLf = false;
}

namespace {

// Inflates every member of a gzip stream (BGZF is a series of members); a stream that ends
// inside a member is an error, so a truncated file never reads as a shorter one.
TZelErr Inflate(const std::string& fileName, const uint8_t* src, size_t n, std::string& out) {
  z_stream zs{};
  if (inflateInit2(&zs, 15 + 32) != Z_OK) return TZelErr("VCF", "Cannot start decoder", fileName);
  out.clear();
  out.reserve(n * 4);
  size_t pos = 0;
  int rc = Z_OK;
  const size_t chunk = size_t(1) << 20;
  while (pos < n) {
    zs.next_in = const_cast<Bytef*>(src + pos);
    size_t avail = n - pos;
    zs.avail_in = uInt(avail > (1u << 30) ? (1u << 30) : avail);
    size_t before = zs.avail_in;
    size_t old = out.size();
    out.resize(old + chunk);
    zs.next_out = reinterpret_cast<Bytef*>(out.data() + old);
    zs.avail_out = uInt(chunk);
    rc = inflate(&zs, Z_NO_FLUSH);
    out.resize(old + (chunk - zs.avail_out));
    pos += before - zs.avail_in;
    if (rc == Z_STREAM_END) {
      // Another member may follow; trailing zero padding is tolerated.
      while (pos < n && src[pos] == 0) ++pos;
      if (pos < n) inflateReset(&zs);
      continue;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      std::string msg = zs.msg ? zs.msg : "inflate failed";
      inflateEnd(&zs);
      return TZelErr::User("Corrupt compressed data (" + msg + ") at byte " + std::to_string(pos),
                           fileName);
    }
    if (rc == Z_BUF_ERROR && zs.avail_in == 0 && before == 0) break;
  }
  inflateEnd(&zs);
  if (rc != Z_STREAM_END)
    return TZelErr::User("Compressed data ends early at byte " + std::to_string(n), fileName);
  return {};
}

}  // namespace

TZelErr TVcfText::Open(const std::string& fileName) {
  Close();
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return TZelErr::User(std::string("Cannot open file (") + std::strerror(errno) + ")", fileName);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return TZelErr::User("Not a regular file", fileName);
  }
  size_t len = size_t(st.st_size);
  void* map = nullptr;
  if (len > 0) {
    map = ::mmap(nullptr, len, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) {
      int e = errno;
      ::close(fd);
      return TZelErr::User(std::string("Cannot map file (") + std::strerror(e) + ")", fileName);
    }
    ::madvise(map, len, MADV_SEQUENTIAL);
  }
  ::close(fd);
  auto* bytes = static_cast<const uint8_t*>(map);
  TVcfCompression comp = VcfGuessCompression(bytes, len);
  if (comp == TVcfCompression::None) {
    FMap = map;
    FMapLen = len;
    FData = static_cast<const char*>(map);
    FSize = len;
  } else {
    std::string decoded;
    TZelErr err = Inflate(fileName, bytes, len, decoded);
    ::munmap(map, len);
    if (err) return err;
    FDecoded = std::move(decoded);
    FData = FDecoded.data();
    FSize = FDecoded.size();
  }
  FCompression = comp;
  BuildIndex();
  return {};
}

void TVcfText::OpenMemory(std::string text) {
  Close();
  FDecoded = std::move(text);
  FData = FDecoded.data();
  FSize = FDecoded.size();
  BuildIndex();
}

void TVcfText::BuildIndex() {
  FStarts.clear();
  FStarts.reserve(FSize / 256 + 2);
  FStarts.push_back(0);
  const char* p = FData;
  const char* end = FData + FSize;
  while (p < end) {
    const void* q = std::memchr(p, '\n', size_t(end - p));
    if (!q) break;
    p = static_cast<const char*>(q) + 1;
    FStarts.push_back(uint64_t(p - FData));
  }
  // A last line without a line break still counts; a break at the very end adds no line.
  if (FStarts.back() < FSize) FStarts.push_back(FSize + 1);
  if (FStarts.size() >= 2) {
    uint64_t e = FStarts[1] - 1;
    FCrLf = e > 0 && e < FSize && FData[e] == '\n' && FData[e - 1] == '\r';
  }
}
