// Random access into plain gzip streams: one full pass records inflate access points (bit
// position plus the preceding 32 KiB) so that any decoded offset is reached from the nearest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/zelError.h"
#include "base/zelProgress.h"
#include "fileaccess/gzFormat.h"
#include "fileaccess/korMMTF.h"

inline constexpr uint32_t GzWindowSize = 32768;
// Decoded bytes between two access points (the points fall on deflate block boundaries).
inline constexpr uint64_t GzAccessPointSpan = 0x800000;

struct TGzAccessPoint {
  uint64_t dcOfs = 0;   // decoded offset of the point
  uint64_t cOfsFB = 0;  // raw offset of the first whole compressed byte after the point
  uint8_t bits = 0;     // bits of the byte before cOfsFB that still belong to the point (0..7)
  std::vector<uint8_t> window;  // up to 32 KiB of this member's decoded text before the point
};

struct TGzipAccessPointList {
  std::vector<TGzAccessPoint> list;
  uint64_t TotalDecompressedSz = 0;
  uint32_t NMembers = 0;
  uint32_t NUsed() const { return uint32_t(list.size()); }
  void Clear() {
    list.clear();
    TotalDecompressedSz = 0;
    NMembers = 0;
  }
};

// Inflates the whole file once (every member, each one's CRC and length checked by zlib) and
// records a point at least every span decoded bytes; the decoded text goes to sink when set
// (a false return stops the pass). Returns 0, or a negative zlib code with err naming fileName,
// the offset and zlib's message. The list is cleared on failure.
[[nodiscard]] int MakeGzip32kIndex(const TRawOfsPtrFn& raw, uint64_t fileSz,
                                   TGzipAccessPointList& pts, const std::string& fileName,
                                   TZelErr& err, uint64_t span = GzAccessPointSpan,
                                   IZelProgress* progress = nullptr,
                                   const TDecodedTextSink& sink = {});

// Extracts len decoded bytes from ofs into dst, starting at the nearest point before ofs and
// crossing member boundaries. Returns the number of bytes placed (less than len only when the
// data ends first) or a negative zlib code with why and errOfs (raw offset) set. Reentrant:
// several threads may extract at once when raw is safe to call from them.
int64_t GzIndexedExtract(const TRawOfsPtrFn& raw, uint64_t fileSz, const TGzipAccessPointList& pts,
                         uint64_t ofs, uint64_t len, uint8_t* dst, std::string& why,
                         uint64_t& errOfs);
