// Random access into plain gzip streams: one full pass records inflate access points (bit
// position plus the preceding 32 KiB) so that any decoded offset is reached from the nearest.
#include "fileaccess/gzAccessPoints.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Raw bytes are fed in pieces of this size; the mapping makes larger pieces free, and fewer
// refills keep inflate on its fast path.
constexpr uint64_t kInChunk = 0x10000;
// Decoded bytes produced per inflate call in the indexing pass (plus the kept window).
constexpr uint64_t kOutChunk = 0x40000;

struct TInflateGuard {
  z_stream* s;
  ~TInflateGuard() { inflateEnd(s); }
};

// After a member ends at raw offset `at`: the next member's offset, fileSz when the file ends
// there (trailing zero bytes, as written by some tape and block tools, count as the end), or
// cNoMember with why set when something else follows.
constexpr uint64_t kNoMember = ~uint64_t(0);
uint64_t NextMemberStart(const TRawOfsPtrFn& raw, uint64_t fileSz, uint64_t at, std::string& why) {
  if (at > fileSz) {
    why = "unexpected end of file in the gzip trailer";
    return kNoMember;
  }
  if (at == fileSz) return fileSz;
  if (fileSz - at >= 2) {
    const uint8_t* p = raw(at, 2);
    if (!p) {
      why = "cannot read the file";
      return kNoMember;
    }
    if (p[0] == 0x1F && p[1] == 0x8B) return at;
  }
  for (uint64_t pos = at; pos < fileSz;) {
    uint64_t n = std::min(kInChunk, fileSz - pos);
    const uint8_t* p = raw(pos, n);
    if (!p) {
      why = "cannot read the file";
      return kNoMember;
    }
    for (uint64_t i = 0; i < n; ++i)
      if (p[i]) {
        why = "data after the end of a gzip member is not a gzip member";
        return kNoMember;
      }
    pos += n;
  }
  return fileSz;
}

}  // namespace

int MakeGzip32kIndex(const TRawOfsPtrFn& raw, uint64_t fileSz, TGzipAccessPointList& pts,
                     const std::string& fileName, TZelErr& err, uint64_t span,
                     IZelProgress* progress, const TDecodedTextSink& sink) {
  pts.Clear();
  err.Clear();
  z_stream s{};
  if (inflateInit2(&s, 47) != Z_OK) {
    err = GzError("Cannot decompress gzip file", fileName, 0, ZErrText(Z_MEM_ERROR));
    return Z_MEM_ERROR;
  }
  TInflateGuard guard{&s};
  std::unique_ptr<uint8_t[]> buf(new uint8_t[GzWindowSize + kOutChunk]);
  const uint64_t bufSz = GzWindowSize + kOutChunk;
  uint64_t have = 0;       // decoded bytes in buf (the newest at the end)
  uint64_t pos = 0;        // raw offset of the next byte to feed
  uint64_t totOut = 0;     // decoded bytes so far
  uint64_t memberOut = 0;  // decoded offset where the current member began
  uint64_t lastPoint = 0;  // decoded offset of the newest point
  uint64_t nextReport = 0;
  pts.NMembers = 1;

  auto fail = [&](int code, const std::string& why) {
    uint64_t at = pos - s.avail_in;
    pts.Clear();
    bool cut = why == "unexpected end of file" || why.find("trailer") != std::string::npos;
    err = GzError(cut ? "Truncated gzip file" : "Damaged gzip file", fileName, at, why);
    return code;
  };

  for (;;) {
    if (s.avail_in == 0) {
      if (pos >= fileSz) return fail(Z_DATA_ERROR, "unexpected end of file");
      uint64_t n = std::min(kInChunk, fileSz - pos);
      const uint8_t* p = raw(pos, n);
      if (!p) return fail(Z_ERRNO, "cannot read the file");
      s.next_in = const_cast<Bytef*>(p);
      s.avail_in = uInt(n);
      pos += n;
    }
    if (have == bufSz) {
      std::memmove(buf.get(), buf.get() + have - GzWindowSize, GzWindowSize);
      have = GzWindowSize;
    }
    s.next_out = buf.get() + have;
    s.avail_out = uInt(bufSz - have);
    int r = inflate(&s, Z_BLOCK);
    uint64_t produced = (bufSz - have) - s.avail_out;
    have += produced;
    totOut += produced;
    if (sink && produced && (r == Z_OK || r == Z_STREAM_END || r == Z_BUF_ERROR) &&
        !sink(buf.get() + have - produced, produced, totOut - produced, pos - s.avail_in))
      return fail(Z_ERRNO, "stopped");
    if (r == Z_NEED_DICT) return fail(Z_DATA_ERROR, "preset dictionary not supported");
    if (r == Z_MEM_ERROR || r == Z_DATA_ERROR || r == Z_STREAM_ERROR)
      return fail(r, s.msg ? s.msg : ZErrText(r));
    if (r == Z_STREAM_END) {
      std::string why;
      uint64_t next = NextMemberStart(raw, fileSz, pos - s.avail_in, why);
      if (next == kNoMember) return fail(Z_DATA_ERROR, why);
      if (next == fileSz) break;
      inflateReset(&s);
      s.avail_in = 0;
      pos = next;
      memberOut = totOut;
      ++pts.NMembers;
      continue;
    }
    bool atBoundary = (s.data_type & 128) && !(s.data_type & 64);
    if (atBoundary && (pts.list.empty() || totOut - lastPoint > span)) {
      TGzAccessPoint pt;
      pt.dcOfs = totOut;
      pt.cOfsFB = pos - s.avail_in;
      pt.bits = uint8_t(s.data_type & 7);
      uint64_t winLen = std::min<uint64_t>({GzWindowSize, have, totOut - memberOut});
      pt.window.assign(buf.get() + have - winLen, buf.get() + have);
      pts.list.push_back(std::move(pt));
      lastPoint = totOut;
    }
    if (progress && pos >= nextReport) {
      progress->Progress(pos, fileSz);
      nextReport = pos + (fileSz >> 6) + 1;
      if (progress->Cancelled()) return fail(Z_ERRNO, "cancelled");
    }
  }
  if (pts.list.empty()) {
    pts.Clear();
    err = GzError("Damaged gzip file", fileName, 0, "no deflate data");
    return Z_DATA_ERROR;
  }
  pts.TotalDecompressedSz = totOut;
  return Z_OK;
}

int64_t GzIndexedExtract(const TRawOfsPtrFn& raw, uint64_t fileSz, const TGzipAccessPointList& pts,
                         uint64_t ofs, uint64_t len, uint8_t* dst, std::string& why,
                         uint64_t& errOfs) {
  errOfs = 0;
  if (len == 0) return 0;
  if (!dst) {
    why = ZErrText(Z_BUF_ERROR);
    return Z_BUF_ERROR;
  }
  if (pts.list.empty()) {
    why = "no access points";
    return Z_DATA_ERROR;
  }
  auto it = std::upper_bound(pts.list.begin(), pts.list.end(), ofs,
                             [](uint64_t v, const TGzAccessPoint& p) { return v < p.dcOfs; });
  if (it == pts.list.begin()) {
    why = "offset before the first access point";
    return Z_DATA_ERROR;
  }
  const TGzAccessPoint& pt = *(it - 1);

  z_stream s{};
  if (inflateInit2(&s, -15) != Z_OK) {
    why = ZErrText(Z_MEM_ERROR);
    return Z_MEM_ERROR;
  }
  TInflateGuard guard{&s};
  uint64_t pos = pt.cOfsFB;
  auto fail = [&](int code, const std::string& w) -> int64_t {
    why = w;
    errOfs = pos - s.avail_in;
    return code;
  };
  if (pt.bits) {
    const uint8_t* b = pt.cOfsFB ? raw(pt.cOfsFB - 1, 1) : nullptr;
    if (!b) return fail(Z_DATA_ERROR, "cannot read the file");
    inflatePrime(&s, pt.bits, *b >> (8 - pt.bits));
  }
  if (!pt.window.empty()) inflateSetDictionary(&s, pt.window.data(), uInt(pt.window.size()));

  bool rawMode = true;  // a raw deflate stream: its member's trailer is skipped by hand
  uint64_t skip = ofs - pt.dcOfs;
  uint64_t got = 0;
  std::unique_ptr<uint8_t[]> discard;
  if (skip) discard.reset(new uint8_t[GzWindowSize]);
  while (got < len) {
    if (s.avail_in == 0) {
      if (pos >= fileSz) return fail(Z_DATA_ERROR, "unexpected end of file");
      uint64_t n = std::min(kInChunk, fileSz - pos);
      const uint8_t* p = raw(pos, n);
      if (!p) return fail(Z_DATA_ERROR, "cannot read the file");
      s.next_in = const_cast<Bytef*>(p);
      s.avail_in = uInt(n);
      pos += n;
    }
    uInt room;
    if (skip) {
      room = uInt(std::min<uint64_t>(skip, GzWindowSize));
      s.next_out = discard.get();
    } else {
      room = uInt(std::min<uint64_t>(len - got, 0x40000000));
      s.next_out = dst + got;
    }
    s.avail_out = room;
    int r = inflate(&s, Z_NO_FLUSH);
    uint64_t produced = room - s.avail_out;
    if (skip)
      skip -= produced;
    else
      got += produced;
    if (r == Z_NEED_DICT) return fail(Z_DATA_ERROR, "preset dictionary not supported");
    if (r == Z_MEM_ERROR || r == Z_DATA_ERROR || r == Z_STREAM_ERROR)
      return fail(r, s.msg ? s.msg : ZErrText(r));
    if (r == Z_STREAM_END) {
      uint64_t at = pos - s.avail_in + (rawMode ? sizeof(TGzTrailer) : 0);
      std::string w;
      uint64_t next = NextMemberStart(raw, fileSz, at, w);
      if (next == kNoMember) return fail(Z_DATA_ERROR, w);
      if (next == fileSz) break;
      // The next member is read with its header and checked against its own trailer.
      if (inflateReset2(&s, 31) != Z_OK) return fail(Z_STREAM_ERROR, ZErrText(Z_STREAM_ERROR));
      rawMode = false;
      s.avail_in = 0;
      pos = next;
    }
  }
  return int64_t(got);
}
