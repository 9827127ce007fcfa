// Helpers of the VCF tests: temporary files and gzip/BGZF copies of a text made with zlib.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace vcftest {

inline std::string WriteTemp(const std::string& name, const std::string& bytes) {
  const std::string path = ::testing::TempDir() + name;
  FILE* o = std::fopen(path.c_str(), "wb");
  EXPECT_TRUE(o);
  if (o) {
    std::fwrite(bytes.data(), 1, bytes.size(), o);
    std::fclose(o);
  }
  return path;
}

inline std::string ReadAll(const std::string& path) {
  std::string r;
  FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return r;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) r.append(buf, n);
  std::fclose(in);
  return r;
}

// BGZF written here: members of at most 64 KiB input, each a raw deflate stream with the "BC"
// extra subfield, then the empty end-of-file member.
inline std::string ToBgzf(const std::string& in) {
  std::string out;
  auto member = [&](const char* p, size_t n) {
    z_stream zs{};
    deflateInit2(&zs, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string c(deflateBound(&zs, uLong(n)), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p));
    zs.avail_in = uInt(n);
    zs.next_out = reinterpret_cast<Bytef*>(c.data());
    zs.avail_out = uInt(c.size());
    deflate(&zs, Z_FINISH);
    c.resize(zs.total_out);
    deflateEnd(&zs);
    const uint32_t crc = uint32_t(crc32(0, reinterpret_cast<const Bytef*>(p), uInt(n)));
    const uint32_t bsize = uint32_t(18 + c.size() + 8 - 1);
    const unsigned char hdr[18] = {0x1f,
                                   0x8b,
                                   8,
                                   4,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0xff,
                                   6,
                                   0,
                                   'B',
                                   'C',
                                   2,
                                   0,
                                   uint8_t(bsize),
                                   uint8_t(bsize >> 8)};
    out.append(reinterpret_cast<const char*>(hdr), 18);
    out += c;
    for (uint32_t x : {crc, uint32_t(n)})
      for (int k = 0; k < 4; ++k) out.push_back(char(x >> (8 * k)));
  };
  for (size_t o = 0; o < in.size(); o += 65280)
    member(in.data() + o, std::min<size_t>(65280, in.size() - o));
  member("", 0);
  return out;
}

inline std::string ToGzip(const std::string& in) {
  z_stream zs{};
  deflateInit2(&zs, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
  std::string c(deflateBound(&zs, uLong(in.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  zs.avail_in = uInt(in.size());
  zs.next_out = reinterpret_cast<Bytef*>(c.data());
  zs.avail_out = uInt(c.size());
  deflate(&zs, Z_FINISH);
  c.resize(zs.total_out);
  deflateEnd(&zs);
  return c;
}

}  // namespace vcftest
