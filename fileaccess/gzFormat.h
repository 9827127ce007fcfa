// gzip and BGZF on-disk records: format detection, BGZF block header checks, whole-block
// inflate, and error texts that name the file, the offset and zlib's own message.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/zelError.h"

enum TZCompressionType : uint8_t { zcNotZCompressed = 0, zcGZ = 1, zcBGZF = 2 };

// First four bytes of every BGZF block: gzip magic 1F 8B, method 8, flags FEXTRA only.
inline constexpr uint32_t BgzfBlockStartSig = 0x04088B1F;
// The "BC" extra subfield with a 2-byte payload (BSIZE).
inline constexpr uint32_t BgzfExtraFieldSig = 0x00024342;
// Largest decoded size of one BGZF block.
inline constexpr uint32_t BgzfMaxBlockDataSize = 65536;

// Bit numbers of the gzip header's FLG byte.
enum TGzHdrFlags : uint8_t { gzFTEXT = 0, gzFHCRC = 1, gzFEXTRA = 2, gzFNAME = 3, gzFCOMMENT = 4 };

#pragma pack(push, 1)
struct TGzMinHeader {
  uint8_t ID1, ID2, CM, FLG;
  uint32_t MTIME;
  uint8_t XFL, OS;
};
struct TBGZFHdr {
  TGzMinHeader Gz;
  uint16_t XLEN;
};
struct TRCF1952ExtraSubField {
  uint8_t SI1, SI2;
  uint16_t SLEN;
  uint16_t BSIZE;
};
struct TGzTrailer {
  uint32_t CRC32;
  uint32_t ISIZE;
};
#pragma pack(pop)
static_assert(sizeof(TGzMinHeader) == 10 && sizeof(TBGZFHdr) == 12 && sizeof(TGzTrailer) == 8);

// Returns the address of raw file bytes [ofs, ofs + len), or null when they cannot be read.
using TRawOfsPtrFn = std::function<const uint8_t*(uint64_t ofs, uint64_t len)>;

// Classifies the first bytes of a file; fewer than 4 bytes is never compressed.
TZCompressionType GuessZCompressionMem(const uint8_t* p, uint64_t n);
// Reads the first 8 bytes of the file; a missing or short file is not compressed.
TZCompressionType GuessZCompression(const std::string& fileName);

// One BGZF block as found in the file.
struct TBgzfBlockInfo {
  uint64_t BlockOfs = 0;   // raw offset of the block's first header byte
  uint64_t CDataOfs = 0;   // raw offset of its deflate data
  uint32_t CSize = 0;      // bytes of deflate data
  uint32_t BlockSize = 0;  // whole block, header and trailer included (BSIZE + 1)
  uint32_t Crc = 0;        // CRC32 of the decoded bytes, from the trailer
  uint32_t ISize = 0;      // decoded bytes, from the trailer
};

enum class TBgzfParse : uint8_t { Ok, Truncated, Bad };

// Checks the block that starts at ofs. Every byte is known to exist before it is read; all
// lengths are computed in 32 or 64 bits. On failure why holds the reason (no file name).
TBgzfParse ParseBgzfBlock(const TRawOfsPtrFn& raw, uint64_t fileSz, uint64_t ofs,
                          TBgzfBlockInfo& out, std::string& why);

// Inflates one BGZF block's deflate data into exactly isize bytes at dst and checks its CRC.
// Safe to call from several threads at once. On failure why holds zlib's message.
[[nodiscard]] bool InflateBgzfBlock(const uint8_t* cdata, uint32_t csize, uint32_t crc,
                                    uint32_t isize, uint8_t* dst, std::string& why);

// Inflates raw deflate data into exactly `expected` bytes at dst + dstOfs: true at once when
// expected is 0, false when fewer than expected bytes are free or the data does not decode to
// exactly that size (why then holds zlib's message when given).
[[nodiscard]] bool BGZDecompressEx(const uint8_t* src, uint64_t srcLen, uint8_t* dst,
                                   uint64_t dstOfs, uint64_t expected, uint64_t dstSize,
                                   std::string* why = nullptr);

// zlib's own text for a return code (-1 .. -6), as zlib words it.
std::string ZErrText(int code);

// The one error form for damaged or unreadable compressed input: names the file and offset.
TZelErr GzError(const std::string& what, const std::string& fileName, uint64_t ofs,
                const std::string& why);
