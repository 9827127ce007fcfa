// gzip and BGZF on-disk records: format detection, BGZF block header checks, whole-block
// inflate, and error texts that name the file, the offset and zlib's own message.
#include "fileaccess/gzFormat.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <unistd.h>
#include <zlib.h>

#include <cstring>
#include <memory>

namespace {

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

struct TDeflateFree {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, TDeflateFree> d(
      libdeflate_alloc_decompressor());
  return d.get();
}

// libdeflate says only "bad data"; zlib knows what is wrong. This runs on the error path
// only, to put zlib's own words into the report.
std::string ZlibDiagnose(const uint8_t* cdata, uint32_t csize, uint32_t isize) {
  z_stream s{};
  if (inflateInit2(&s, -15) != Z_OK) return ZErrText(Z_MEM_ERROR);
  std::unique_ptr<uint8_t[]> out(new uint8_t[size_t(isize) + 1]);
  s.next_in = const_cast<Bytef*>(cdata);
  s.avail_in = csize;
  s.next_out = out.get();
  s.avail_out = isize + 1;
  int r = inflate(&s, Z_FINISH);
  uint64_t produced = s.total_out;
  std::string why;
  if (r == Z_STREAM_END) {
    why = produced == isize ? "decoded data differs from the block"
                            : "decoded size " + std::to_string(produced) + " differs from ISIZE " +
                                  std::to_string(isize);
  } else if (r == Z_BUF_ERROR && s.avail_out == 0) {
    why = "more decoded data than ISIZE " + std::to_string(isize);
  } else if (r == Z_BUF_ERROR) {
    why = "unexpected end of compressed data";
  } else {
    why = s.msg ? s.msg : ZErrText(r);
  }
  inflateEnd(&s);
  return why;
}

}  // namespace

TZCompressionType GuessZCompressionMem(const uint8_t* p, uint64_t n) {
  if (!p || n < 4) return zcNotZCompressed;
  uint32_t v = Le32(p);
  if (v == BgzfBlockStartSig) return zcBGZF;
  if ((v & 0xFFFFFF) == 0x088B1F) return zcGZ;
  return zcNotZCompressed;
}

TZCompressionType GuessZCompression(const std::string& fileName) {
  int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return zcNotZCompressed;
  uint8_t b[8];
  ssize_t n = ::pread(fd, b, sizeof b, 0);
  ::close(fd);
  if (n < 8) return zcNotZCompressed;
  return GuessZCompressionMem(b, uint64_t(n));
}

TBgzfParse ParseBgzfBlock(const TRawOfsPtrFn& raw, uint64_t fileSz, uint64_t ofs,
                          TBgzfBlockInfo& out, std::string& why) {
  if (ofs > fileSz || fileSz - ofs < sizeof(TBGZFHdr)) {
    why = "truncated BGZF block header";
    return TBgzfParse::Truncated;
  }
  const uint8_t* h = raw(ofs, sizeof(TBGZFHdr));
  if (!h) {
    why = "cannot read the file";
    return TBgzfParse::Bad;
  }
  if (Le32(h) != BgzfBlockStartSig) {
    why = "no BGZF block signature";
    return TBgzfParse::Bad;
  }
  uint32_t xlen = Le16(h + 10);
  if (xlen < 6) {
    why = "BGZF extra field shorter than 6 bytes";
    return TBgzfParse::Bad;
  }
  if (fileSz - ofs - sizeof(TBGZFHdr) < xlen) {
    why = "truncated BGZF extra field";
    return TBgzfParse::Truncated;
  }
  const uint8_t* x = raw(ofs + sizeof(TBGZFHdr), xlen);
  if (!x) {
    why = "cannot read the file";
    return TBgzfParse::Bad;
  }
  // Other subfields may come before "BC": walk each by its own length.
  bool found = false;
  uint32_t bsize = 0;
  uint32_t i = 0;
  while (i < xlen) {
    if (xlen - i < 4) {
      why = "BGZF extra subfield header cut short";
      return TBgzfParse::Bad;
    }
    uint32_t slen = Le16(x + i + 2);
    if (xlen - i - 4 < slen) {
      why = "BGZF extra subfield longer than the extra field";
      return TBgzfParse::Bad;
    }
    if (x[i] == 'B' && x[i + 1] == 'C' && slen == 2 && !found) {
      found = true;
      bsize = Le16(x + i + 4);
    }
    i += 4 + slen;
  }
  if (!found) {
    why = "no BGZF block size subfield";
    return TBgzfParse::Bad;
  }
  // BSIZE is the block length minus 1: header (12 + XLEN), data, trailer (8).
  if (bsize < xlen + 19) {
    why = "BGZF block size smaller than its header and trailer";
    return TBgzfParse::Bad;
  }
  uint32_t blockSize = bsize + 1;
  uint32_t csize = bsize - xlen - 19;
  if (fileSz - ofs < blockSize) {
    why = "truncated BGZF block";
    return TBgzfParse::Truncated;
  }
  uint64_t cdataOfs = ofs + sizeof(TBGZFHdr) + xlen;
  const uint8_t* t = raw(cdataOfs + csize, sizeof(TGzTrailer));
  if (!t) {
    why = "cannot read the file";
    return TBgzfParse::Bad;
  }
  uint32_t isize = Le32(t + 4);
  if (isize > BgzfMaxBlockDataSize) {
    why = "BGZF block ISIZE " + std::to_string(isize) + " exceeds 65536";
    return TBgzfParse::Bad;
  }
  out.BlockOfs = ofs;
  out.CDataOfs = cdataOfs;
  out.CSize = csize;
  out.BlockSize = blockSize;
  out.Crc = Le32(t);
  out.ISize = isize;
  return TBgzfParse::Ok;
}

bool InflateBgzfBlock(const uint8_t* cdata, uint32_t csize, uint32_t crc, uint32_t isize,
                      uint8_t* dst, std::string& why) {
  size_t actual = 0;
  uint8_t dummy = 0;
  libdeflate_result r = libdeflate_deflate_decompress(ThreadDecompressor(), cdata, csize,
                                                      isize ? dst : &dummy, isize, &actual);
  if (r != LIBDEFLATE_SUCCESS || actual != isize) {
    why = ZlibDiagnose(cdata, csize, isize);
    return false;
  }
  if (uint32_t(libdeflate_crc32(0, dst, isize)) != crc) {
    why = "incorrect data check";
    return false;
  }
  return true;
}

bool BGZDecompressEx(const uint8_t* src, uint64_t srcLen, uint8_t* dst, uint64_t dstOfs,
                     uint64_t expected, uint64_t dstSize, std::string* why) {
  if (expected == 0) return true;
  if (!dst || dstOfs > dstSize || dstSize - dstOfs < expected) return false;
  size_t actual = 0;
  libdeflate_result r = libdeflate_deflate_decompress(ThreadDecompressor(), src, srcLen,
                                                      dst + dstOfs, expected, &actual);
  if (r == LIBDEFLATE_SUCCESS && actual == expected) return true;
  if (why && srcLen <= 0xFFFFFFFFu && expected <= 0xFFFFFFFFu)
    *why = ZlibDiagnose(src, uint32_t(srcLen), uint32_t(expected));
  return false;
}

std::string ZErrText(int code) {
  switch (code) {
    case Z_ERRNO:
      return "file error";
    case Z_STREAM_ERROR:
      return "stream error";
    case Z_DATA_ERROR:
      return "data error";
    case Z_MEM_ERROR:
      return "insufficient memory";
    case Z_BUF_ERROR:
      return "buffer error";
    case Z_VERSION_ERROR:
      return "incompatible version";
    default:
      return "error " + std::to_string(code);
  }
}

TZelErr GzError(const std::string& what, const std::string& fileName, uint64_t ofs,
                const std::string& why) {
  std::string name = fileName.empty() ? std::string("(unnamed)") : fileName;
  return TZelErr::User(what, name + " at offset " + std::to_string(ofs) + ": " + why);
}
