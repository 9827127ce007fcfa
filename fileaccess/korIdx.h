// Index files: the indexes of an indexed text file (and a decoder's block table) written to a
// file and read back, validated against the bytes present and the data file they describe.
#pragma once

#include <cstdint>
#include <string>

#include "fileaccess/korMMTF.h"

// Layout (all little-endian, no gaps):
//   set header (8 bytes): NIndices u16, NFlags u16 (1 = decoder block follows), NReservedBytes u32
//   NReservedBytes bytes; this program writes a 24-byte identity record there:
//     "ZELX" u32 version(1) u64 raw data file size u64 data file modification time (ns)
//   decoder block when NFlags != 0 (see TCompressedIndexDataHeader)
//   compact index blocks: NIndexItems u64, LIndexedStringWithNullTerminator u32,
//     BytesPerIndexItem u8, separator bytes + one 0 byte, NIndexItems * width bytes of offsets
struct TCompactIndexSetHeader {
  uint16_t NIndices = 0;
  uint16_t NFlags = 0;
  uint32_t NReservedBytes = 0;
};
constexpr uint64_t cCompactIndexSetHeaderSz = 8;
constexpr uint64_t cCompactIndexHeaderSz = 13;
constexpr uint32_t cIdxIdentityMagic = 0x584C455A;  // "ZELX"
constexpr uint32_t cIdxIdentitySz = 24;
// Separators longer than this are refused when reading (a real separator is 1 or 2 bytes).
constexpr uint32_t cMaxIndexedStrLen = 4096;

struct TCompactIndexHeader {
  uint64_t NIndexItems = 0;
  uint32_t LIndexedStringWithNullTerminator = 0;
  uint8_t BytesPerIndexItem = 0;
  uint64_t IdxSize() const { return NIndexItems * BytesPerIndexItem; }
};

// Header of the decoder block (18 bytes), followed by N u16 compressed sizes, N u32 decoded
// sizes, N compressed offsets of CDataOfsItemSz bytes and N decoded offsets of
// DecompressedFileOfsItemSz bytes: 18 + N * (6 + w1 + w2) bytes in all.
struct TCompressedIndexDataHeader {
  uint64_t NRecords = 0;
  uint64_t TotalDecompressedSize = 0;
  uint8_t CDataOfsItemSz = 0;
  uint8_t DecompressedFileOfsItemSz = 0;
};
constexpr uint64_t cCompressedIndexDataHeaderSz = 18;

// Little-endian helpers for writers and readers of these blocks.
void IdxPutLE(std::string& out, uint64_t v, unsigned width);
uint64_t IdxGetLE(const uint8_t* p, unsigned width);

// Appends one compact index block to out; false when the index is empty of a separator or its
// width is not 1..8.
[[nodiscard]] bool CompactIndexToBuf(const TCompactIndex& idx, std::string& out);
// Reads one compact index block from the avail bytes at p into idx. Returns the block length or
// cNoOfs when the block is damaged: the header must fit, the separator length must be 1 ..
// cMaxIndexedStrLen with its 0 terminator in place, the width 1..8, the entries must fit avail
// (checked before allocating), increase strictly, and every occurrence must end inside
// dataSz bytes (the decoded size of the file the index describes). idx is untouched on failure.
[[nodiscard]] uint64_t CompactIndexFromBuf(TCompactIndex& idx, const uint8_t* p, uint64_t avail,
                                           uint64_t dataSz);

// File forms of the two: append one block to fileName (through a temporary file renamed into
// place) / read one block at offset. LoadFromFile returns the block length or cNoOfs.
[[nodiscard]] bool CompactIndexSaveToFile(const TCompactIndex& idx, const std::string& fileName);
[[nodiscard]] uint64_t CompactIndexLoadFromFile(TCompactIndex& idx, const std::string& fileName,
                                                uint64_t offset, uint64_t dataSz);
