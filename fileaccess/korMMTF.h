// Indexed text file: a file of any size mapped in parts, indexed once by the offsets of a
// separator (line breaks, tabs) so that items (lines) and subitems (fields) are reached
// directly; an optional decoder turns compressed raw bytes into the text that is indexed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/zelError.h"
#include "base/zelProgress.h"
#include "fileaccess/korMMF.h"

constexpr uint64_t cNoOfs = ~uint64_t(0);       // "no offset" / "no limit"
constexpr uint32_t cNoIdx = 0xFFFFFFFFu;        // "no index" / "append"
constexpr uint64_t cDefMMFPartSz = 0x40000000;  // 1 GiB

// Bytes needed to hold v (1 for 0..255, 2 for 256..65535, ..., 8).
inline uint8_t FaReqB64(uint64_t v) {
  uint8_t n = 1;
  while (n < 8 && (v >> (8 * n)) != 0) ++n;
  return n;
}

// Unsigned little-endian values packed at a fixed width of 1..8 bytes each. The storage keeps
// 8 spare bytes at its end so that every entry can be read and written as one 8-byte word.
class TMMTFIndexWriter;  // korMMTF.cpp: the index under construction in TMMTF::MakeIndex

class TOfsArray {
 public:
  TOfsArray() = default;
  explicit TOfsArray(uint8_t width, uint64_t count = 0) { Make(width, count); }
  ~TOfsArray();
  TOfsArray(const TOfsArray& o);
  TOfsArray& operator=(const TOfsArray& o);
  TOfsArray(TOfsArray&& o) noexcept;
  TOfsArray& operator=(TOfsArray&& o) noexcept;

  void Make(uint8_t width, uint64_t count);  // width clamped to 1..8; entries zeroed
  void Clear() { Make(FWidth, 0); }
  void Resize(uint64_t count);   // keeps the first min(old, count) entries, new ones zero
  void Reserve(uint64_t count);  // capacity only; throws std::bad_alloc when memory is out
  void ShrinkToFit();
  // Keeps the entries at a smaller width (values must fit it), in place.
  void Narrow(uint8_t width);
  uint64_t Count() const { return FCount; }
  uint64_t Capacity() const { return FCap; }
  uint8_t ItemSize() const { return FWidth; }
  uint64_t MaxVal() const { return FWidth == 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * FWidth)) - 1; }
  uint64_t Get(uint64_t i) const {
    uint64_t v;
    __builtin_memcpy(&v, FData + i * FWidth, 8);
    return FWidth == 8 ? v : v & ((uint64_t(1) << (8 * FWidth)) - 1);
  }
  void Set(uint64_t i, uint64_t v);
  // Appends v, growing the capacity by up to growBy entries (at least 1) when full.
  void Push(uint64_t v, uint64_t growBy);
  const uint8_t* Data() const { return FData; }
  uint8_t* Data() { return FData; }
  uint64_t ByteSize() const { return FCount * FWidth; }
  // First position whose value is >= v (Count() when none). Values must be increasing.
  uint64_t LowerBound(uint64_t v) const;
  // Replaces the contents by count entries of ItemSize() bytes from p (packed, little-endian).
  void Assign(const uint8_t* p, uint64_t count);

 private:
  friend class TMMTF;
  friend class TMMTFIndexWriter;
  void Realloc(uint64_t cap);
  // malloc'ed so that growth of a large index is a remap of pages, not a copy.
  uint8_t* FData = nullptr;
  uint64_t FCount = 0;
  uint64_t FCap = 0;
  uint8_t FWidth = 1;
};

// One index: the offset of the first byte of every occurrence of IndexedStr, increasing.
// n entries describe n + 1 items (see TMMTF::GetItemOfs).
struct TCompactIndex {
  TOfsArray Idx;
  std::string IndexedStr;
};

// For every entry of the reference index RefIdx: the position in the query index QueryIdx of
// the first query entry at or after it; OffIndexVal (all ones of the width) when none.
struct TIndexPosMapping {
  TOfsArray QueryPos;
  uint32_t QueryIdx = cNoIdx;
  uint32_t RefIdx = cNoIdx;
  uint64_t OffIndexVal = 0;
};

enum TSubindexMappingMode : uint8_t { smUnindexed = 0, smIndexed = 1, smIndexedAndMapped = 2 };

// Decoded text handed over in file order while it is produced: n bytes at p that begin at
// decodedOfs, produced from the raw bytes before rawOfs. Returns false to stop the decoding.
using TDecodedTextSink =
    std::function<bool(const uint8_t* p, uint64_t n, uint64_t decodedOfs, uint64_t rawOfs)>;

// Called on the thread that decoded a block, right after it, while its bytes are still in that
// processor's cache: k is the block's position in the call (from 0). Calls for different blocks
// run at the same time.
using TBlockDecodedHook =
    std::function<void(uint64_t k, const uint8_t* p, uint64_t n, uint64_t decodedOfs)>;

// The text of a file decoded in pieces on several threads at once, for an owner that indexes
// while the decoder builds its table. Pieces are numbered in file order; a piece in progress
// holds one of Slots slots (the owner keeps what it gathers from a piece there).
struct TParallelTextScan {
  uint32_t Slots = 0;  // pieces in progress at most; set by the owner, at least 1
  // On a worker: a piece starts (or starts again) in slot; forget what the slot gathered.
  std::function<void(uint32_t slot)> Begin;
  // On a worker: the piece's text in order; ofs counts from the piece's first decoded byte.
  std::function<void(uint32_t slot, const uint8_t* p, uint64_t n, uint64_t ofs)> Text;
  // One call at a time, pieces in file order: the piece in slot is decodedLen bytes from
  // decodedOfs on, and its raw bytes end before rawEnd. Returns false to stop the decoding.
  std::function<bool(uint32_t slot, uint64_t decodedOfs, uint64_t decodedLen, uint64_t rawEnd)>
      Commit;
};

// Sees every line of a text once, in the pass that indexes it, when that pass decodes the file
// (a gzip or BGZF file indexed by a one-byte separator, in pieces on several threads or in
// order): an owner that needs each line once then takes it there instead of decoding the file
// again. Lines come without their separator.
class ITextLineVisitor {
 public:
  virtual ~ITextLineVisitor() = default;
  // Before the pass: pieces in progress at most (slots 0 .. n - 1).
  virtual void Slots(uint32_t n) = 0;
  // On a worker: the piece in slot starts (or starts again); forget what the slot gathered.
  virtual void Begin(uint32_t slot) = 0;
  // On a worker, in order: a line that starts after the piece's first separator and ends in
  // the piece.
  virtual void Line(uint32_t slot, const char* p, uint64_t n) = 0;
  // One call at a time, pieces in file order, for a piece that holds a separator: the line
  // that ends at its first separator (begun in earlier pieces, or at the piece's start) is
  // `joined`; the lines Line gave for the slot follow it.
  virtual void Commit(uint32_t slot, const char* joined, uint64_t n) = 0;
  // After the last piece: the text's last line when no separator ends it (n 0: none).
  virtual void End(const char* p, uint64_t n) = 0;
};

// One call of IRawDataDecoder::DecodeBlockRange. The caller fills the first four fields and
// DecodedOfs; the decoder fills the rest.
struct TRawDataDecodeBlockParams {
  uint64_t MaxAllowedBlocks = cNoOfs;  // most blocks to decode in this call; all ones = no limit
  uint64_t MaxAllowedRawOfs = cNoOfs;  // last raw offset the blocks may reach; all ones = no limit
  uint8_t* pBuffer = nullptr;          // destination
  uint64_t BufferSz = 0;
  uint64_t nBlocksDecoded = 0;
  uint64_t DecodedOfs = 0;  // decoded offset of the first decoded byte
  uint64_t DecodedSize = 0;
  uint64_t TotalBlocksLeft = cNoOfs;  // blocks after the last decoded one; all ones until known
  TBlockDecodedHook OnBlockDecoded;   // optional, set by the caller
  // With OnBlockDecoded: the caller needs the blocks only in the hook. The decoder may then
  // decode into space of its own and leave pBuffer unfilled and unattached (it must still
  // call the hook for every block it counts as decoded).
  bool HookOnly = false;
};

// Returns the address of raw file bytes [offset, offset + length), or nullptr.
using TRawOfsPtrFunc = std::function<const uint8_t*(uint64_t offset, uint64_t length)>;
// Reads raw file bytes [offset, offset + n) into dst; returns the count read or -1. Safe to
// call from several threads at once.
using TRawReadFunc = std::function<int64_t(uint64_t offset, void* dst, uint64_t n)>;
// Attaches bytes to the owner as its current data (nullptr/0 detaches).
using TMemAttachFunc = std::function<void(const uint8_t* p, uint64_t size)>;

// A decoder between the raw (compressed) bytes of a mapped file and the text that TMMTF
// indexes. All offsets given to and returned by the owner are decoded offsets.
//
// What a decoder must provide:
// - InitialiseDecoder is called by the owner's LoadMMF after the raw file is mapped. Keep both
//   functions; read raw bytes only through rawOfsPtr (it may remap the owner's view, so a raw
//   pointer is valid only until the next call of rawOfsPtr). Build the block table here and
//   return false (with LastError set) when the file is damaged.
// - GetDecodedFileSz: the exact decoded size once initialised.
// - OfsPtr(ofs, len): the address of decoded bytes [ofs, ofs + len), valid until the next call
//   of any decoder or owner access routine; nullptr when the range is not inside the decoded
//   file or cannot be decoded. A decoder may call memAttach with the region it returns.
// - DecodeBlockRange(first, params): clear nBlocksDecoded and DecodedSize, set TotalBlocksLeft
//   to all ones; return false without a buffer or block table. Take blocks from `first` on
//   while fewer than MaxAllowedBlocks are taken, their decoded sizes fit BufferSz together and
//   each block's last raw byte is at or before MaxAllowedRawOfs; decode them into pBuffer, set
//   DecodedOfs (decoded offset of block `first`), DecodedSize, nBlocksDecoded, TotalBlocksLeft
//   (blocks after the last taken one, 0 when none), then call memAttach(pBuffer, DecodedSize).
//   Return true only when blocks are left, the block limit did not stop the call, and the next
//   block's raw bytes start inside the allowed raw range. A block that does not fit BufferSz
//   is not taken (nBlocksDecoded 0, TotalBlocksLeft > 0): the owner then grows the buffer. A
//   decode failure returns false with nBlocksDecoded 0 and LastError set.
// - SaveDecoderIndexToBuf appends the decoder block of an index file (little-endian; see
//   korIdx.h) to `out`; false when there is no table.
// - LoadDecoderIndexFromBuf reads that block from the `avail` bytes at p and returns its length,
//   or cNoOfs when it is damaged: every header field must be checked against `avail` before
//   anything is allocated; offsets must increase; the decoded total must match the sizes.
//   When params.OnBlockDecoded is set, call it for every decoded block on the thread that
//   decoded it.
// - MemAttach is told about raw bytes the owner attached (informational).
// - CanInitialiseWithSink / InitialiseDecoderWithSink (optional): a decoder that must decode the
//   whole file to build its table (gzip) may instead initialise while handing that pass's text
//   to sink in file order, so that the owner indexes in the same pass.
// - CanInitialiseInParallel / InitialiseDecoderInParallel (optional): a decoder whose table can
//   be built from pieces of the file on several threads hands each piece's text to the owner
//   on the thread that decoded it (see TParallelTextScan), so that the file is read once and
//   no thread waits for another.
class IRawDataDecoder {
 public:
  virtual ~IRawDataDecoder() = default;
  virtual void MemAttach(const uint8_t* p, uint64_t size) = 0;
  [[nodiscard]] virtual bool InitialiseDecoder(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                               uint64_t rawFileSz) = 0;
  // The owner offers positional reads of the raw file before initialising the decoder and
  // withdraws them (nullptr) when it closes the file. Where paging is virtualised, the first
  // touch of a mapped page costs about a microsecond, more than copying the page, so passes
  // over the whole file read rather than map.
  virtual void SetRawReader(TRawReadFunc) {}
  virtual bool CanInitialiseWithSink() const { return false; }
  [[nodiscard]] virtual bool InitialiseDecoderWithSink(TRawOfsPtrFunc, TMemAttachFunc, uint64_t,
                                                       const TDecodedTextSink&) {
    return false;
  }
  virtual bool CanInitialiseInParallel() const { return false; }
  [[nodiscard]] virtual bool InitialiseDecoderInParallel(TRawOfsPtrFunc, TMemAttachFunc, uint64_t,
                                                         const TParallelTextScan&) {
    return false;
  }
  virtual const uint8_t* OfsPtr(uint64_t decodedOfs, uint64_t length) = 0;
  virtual uint64_t GetDecodedFileSz() = 0;
  // Decoded offsets of the first and last byte held in the decoder's buffer; cNoOfs for both
  // when none.
  virtual void GetDecodedRegionsOfs(uint64_t& first, uint64_t& last) = 0;
  virtual bool DecodeBlockRange(uint64_t firstBlock, TRawDataDecodeBlockParams& params) = 0;
  [[nodiscard]] virtual uint64_t LoadDecoderIndexFromBuf(const uint8_t* p, uint64_t avail) = 0;
  [[nodiscard]] virtual bool SaveDecoderIndexToBuf(std::string& out) = 0;
  // The last failure ("ERROR [U]: Msg: Details." material); empty when none.
  virtual TZelErr LastError() const { return {}; }
  // What the last initialisation found worth telling without failing (plain sentences naming
  // the file), e.g. a BGZF file without its end-of-file block; the loading command logs them.
  virtual std::vector<std::string> Warnings() const { return {}; }
};

// One part of the mapped file.
struct TMMFPart {
  uint64_t StartOffset = 0;
  uint64_t Size = 0;
};

// Indexed text file. Offsets, lengths, counts and item numbers are unsigned 64-bit; cNoOfs is
// "none". Index identifiers are 32-bit positions, cNoIdx "none" or "append".
// Pointers returned by OfsPtr, RawOfsPtr and GetItemPtr are valid until the next access
// routine of this object (an access may remap the file).
class TMMTF {
 public:
  TMMTF();
  virtual ~TMMTF();
  TMMTF(const TMMTF&) = delete;
  TMMTF& operator=(const TMMTF&) = delete;

  // --- settings
  void SetIndexParams(uint8_t minItemSz, uint64_t resizeBy, uint64_t initLen, bool mayOverlap,
                      uint8_t alignment, uint8_t padding);
  // A null decoder is ignored; bufferSz 0 gives 64 MiB, below 64 KiB gives 64 KiB.
  void SetDecoder(std::shared_ptr<IRawDataDecoder> decoder, uint64_t bufferSz = 0);
  std::shared_ptr<IRawDataDecoder> Decoder() const { return FRawDataDecoder; }
  // Off: LoadMMF leaves the decoder for the next MakeIndex to initialise, which lets a decoder
  // that decodes the whole file for its table (gzip) build the index in that same pass. Until
  // then the decoded text cannot be read.
  void SetAutoInitialiseDecoderOnLoadMMF(bool v) { FAutoInitialiseDecoderOnLoadMMF = v; }
  // Part size used by routines that choose it themselves (TDTF::OpenAndIndexFile); rounded up
  // to the granularity at load. Tests set small parts to exercise part boundaries.
  void SetPartSize(uint64_t sz) { FPartSz = sz ? sz : cDefMMFPartSz; }
  uint64_t PartSize() const { return FPartSz; }
  void SetProgress(IZelProgress* progress) { FProgress = progress; }
  // Non-zero: items of a plain file read in order come through a window of this size filled
  // by pread rather than through the mapping. Where paging is virtualised the first touch of a
  // mapped page costs more than copying it; a window that stays in the processor's cache
  // makes the copy cheap.
  void SetReadWindow(uint64_t sz) { FReadWindowSz = sz; }
  // A byte (0..255) or -1 (off, the default). With a byte set, MakeIndex by a one-byte
  // separator also counts the items whose first byte it is, in the same pass (a VCF reader
  // learns so whether a header line hides among the data lines without reading them again).
  void SetItemStartWatch(int byte) { FItemStartWatch = byte; }
  // Items of the last such MakeIndex whose first byte is the watched one (item 0 included).
  uint64_t WatchedItemStarts() const { return FWatchedItemStarts; }
  // Offered every line by the next MakeIndex that decodes the file as it indexes (null:
  // none). LineVisitorRan tells whether the last MakeIndex did so to the end.
  void SetLineVisitor(ITextLineVisitor* v) { FLineVisitor = v; }
  bool LineVisitorRan() const { return FLineVisitorRan; }

  // --- properties
  uint64_t FileSize() const { return FFileSz; }
  uint64_t DecodedFileSize() { return GetDecodedFileSz(); }
  bool HasDecoder() const { return FRedirectRawDataToDecoder; }
  const uint8_t* PRawContents() const { return FPDataStart; }
  uint64_t DataSize() const { return FDataSz; }
  bool DenyReload() const { return FDenyReloads; }
  void SetDenyReload(bool v) { FDenyReloads = v; }
  const std::string& LastLoadedMMFileName() const { return FLastLoadedMMFileName; }
  uint32_t NMMFParts() const { return static_cast<uint32_t>(FMMFParts.size()); }
  uint32_t CurrMMFPart() const { return FCurrMMFPart; }
  uint64_t FileChunkSz() const { return FFileChunkSz; }
  // Why the last failing operation failed (file name in Details); empty after success.
  const TZelErr& LastError() const { return FLastError; }
  // Warnings of the loaded file (its decoder's, see IRawDataDecoder::Warnings).
  std::vector<std::string> LoadWarnings() const {
    return FRawDataDecoder ? FRawDataDecoder->Warnings() : std::vector<std::string>();
  }

  // --- virtual operations
  virtual uint64_t GetDecodedFileSz();
  // Writes the first min(count, maxCount) indexes (and the decoder's block table when asked and
  // a decoder is set) to fileName through a temporary file renamed into place.
  [[nodiscard]] virtual bool SaveIndicesToFile(const std::string& fileName,
                                               uint32_t maxCount = cNoIdx, bool withDecoder = true);
  // Number of indexes loaded, or cNoIdx when the file is missing, damaged, or does not fit the
  // loaded data file (stale). The current indexes stay untouched on failure. Needs LoadMMF.
  [[nodiscard]] virtual uint32_t LoadIndicesFromFile(const std::string& fileName);
  // The same from the sz bytes of an index file at p; fileName only names it in errors.
  [[nodiscard]] uint32_t LoadIndicesFromBuf(const uint8_t* p, uint64_t sz,
                                            const std::string& fileName = {});
  [[nodiscard]] virtual bool LoadMMF(const std::string& fileName, uint64_t start = 0,
                                     uint64_t partSz = cDefMMFPartSz, bool deferLoad = false);
  virtual bool LoadNextMMFPart();
  virtual bool LoadNextPart() { return LoadNextMMFPart(); }
  virtual void CloseMMF();
  virtual const uint8_t* OfsPtr(uint64_t offset, uint64_t length);
  virtual std::string GetItem(uint64_t item, uint32_t index = 0);
  virtual uint64_t GetNItems(uint32_t index = 0) const;
  virtual uint64_t GetItemLen(uint64_t item, uint32_t index = 0);
  // nullptr and length 0 for an item that does not exist, is empty or cannot be reached.
  virtual const uint8_t* GetItemPtr(uint64_t item, uint64_t& length, uint32_t index = 0);
  virtual const uint8_t* GetItemPtr64(uint64_t item, uint64_t& length, uint32_t index = 0) {
    return GetItemPtr(item, length, index);
  }
  // false (offset cNoOfs, length 0) when the index or the item does not exist.
  virtual bool GetItemOfs(uint64_t item, uint64_t& offset, uint64_t& length, uint32_t index = 0);

  // --- file and memory
  bool LoadMmfPart(uint32_t part);
  bool LoadCustomMmfArea(uint64_t offset, uint64_t size);
  void MemAttach(const uint8_t* p, uint64_t size);
  void MemAttachPrivate(const uint8_t* p, uint64_t size);
  void ClearMemData() {
    FPDataStart = nullptr;
    FDataSz = 0;
  }
  // Raw file bytes [offset, offset + length) or nullptr; never a pointer into a closed view and
  // never past the end of the file.
  const uint8_t* RawOfsPtr(uint64_t offset, uint64_t length);
  // LF, CR LF, CR or empty, from the first line break of the (decoded) data.
  std::string GuessLineBreak();

  // --- indexes
  [[nodiscard]] uint32_t MakeIndex(const std::string& separator, uint32_t index = cNoIdx);
  [[nodiscard]] uint32_t MapIndices(uint32_t refIdx, uint32_t queryIdx, uint32_t mapping = cNoIdx);
  void ClearIndices();
  void SetIdx(std::vector<TCompactIndex> indices);
  uint32_t NIndices() const { return static_cast<uint32_t>(FIndices.size()); }
  const TCompactIndex* Index(uint32_t index) const {
    return index < FIndices.size() ? &FIndices[index] : nullptr;
  }
  uint32_t NMappings() const { return static_cast<uint32_t>(FIndexPosMappings.size()); }
  const TIndexPosMapping* Mapping(uint32_t m) const {
    return m < FIndexPosMappings.size() ? &FIndexPosMappings[m] : nullptr;
  }
  std::vector<std::string> GetItemRange(uint64_t first, uint64_t last, uint32_t index = 0);
  // Lines first..last of a file (lineBreak empty: guessed, else CR LF); empty when unloadable.
  static std::vector<std::string> LoadToAStr(const std::string& fileName, uint64_t first,
                                             uint64_t last,
                                             std::shared_ptr<IRawDataDecoder> decoder = nullptr,
                                             const std::string& lineBreak = {},
                                             uint64_t partSz = cDefMMFPartSz);

  // --- subitems
  bool SetSubitemMode(TSubindexMappingMode mode, const std::string& separator, uint32_t refIdx = 0);
  TSubindexMappingMode SubitemMode() const { return FSubitemIndexMode; }
  uint32_t ItemRefIdx() const { return FItemRefIdx; }
  uint64_t GetNSubitems(uint64_t item);
  // false (offset cNoOfs, length 0) when the subitem does not exist or is empty.
  bool GetSubitemOfs(uint64_t item, uint64_t subitem, uint64_t& offset, uint64_t& length);
  std::string GetSubitem(uint64_t item, uint64_t subitem);

  // Workers of the three modes, usable directly.
  uint64_t GetNSubitemsDirect(uint64_t item, uint32_t refIdx, uint8_t brk);
  bool GetSubitemOfsDirect(uint64_t item, uint64_t subitem, uint32_t refIdx, uint8_t brk,
                           uint64_t& offset, uint64_t& length);
  uint64_t GetNSubitemsIndexed(uint64_t item, uint32_t refIdx, uint32_t queryIdx);
  bool GetSubitemOfsIndexed(uint64_t item, uint64_t subitem, uint32_t refIdx, uint32_t queryIdx,
                            uint64_t& offset, uint64_t& length);
  std::string GetSubitemIndexed(uint64_t item, uint64_t subitem, uint32_t refIdx,
                                uint32_t queryIdx);
  uint64_t GetNSubitemsMapped(uint64_t item, uint32_t mapping);
  bool GetSubitemOfsMapped(uint64_t item, uint64_t subitem, uint32_t mapping, uint64_t& offset,
                           uint64_t& length);

 protected:
  // The decoder whose block table goes into index files; a compressed-file class that is its
  // own decoder returns itself.
  virtual IRawDataDecoder* IndexDecoder() { return FRawDataDecoder.get(); }
  void SetError(TZelErr e) { FLastError = std::move(e); }
  std::string BytesAt(uint64_t offset, uint64_t length);
  bool SubitemViaQuery(uint64_t item, uint64_t subitem, uint64_t d, bool mapped, uint32_t refIdx,
                       uint32_t queryIdx, uint64_t& offset, uint64_t& length);
  uint64_t FirstQueryAtOrAfter(uint32_t queryIdx, uint64_t ofs) const;
  const uint8_t* WindowPtr(uint64_t offset, uint64_t length);
  // The passes of MakeIndex, all feeding one writer; an error value when the pass fails.
  [[nodiscard]] TZelErr IndexStreamed(TMMTFIndexWriter& wr, bool parallel);
  [[nodiscard]] TZelErr IndexPlain(TMMTFIndexWriter& wr);
  [[nodiscard]] TZelErr IndexDecodedBlocks(TMMTFIndexWriter& wr);

  std::shared_ptr<IRawDataDecoder> FRawDataDecoder;
  bool FRedirectRawDataToDecoder = false;
  bool FAutoInitialiseDecoderOnLoadMMF = true;
  bool FDecoderPending = false;
  uint64_t FReadWindowSz = 0;
  std::unique_ptr<uint8_t[]> FWinBuf;  // bytes [FWinOfs, FWinOfs + FWinLen) of a plain file
  uint64_t FWinCap = 0;
  uint64_t FWinOfs = 0;
  uint64_t FWinLen = 0;  // loaded with auto-initialise off; MakeIndex initialises it
  uint64_t FDecodeBufferSz = 0;
  const uint8_t* FPDataStart = nullptr;
  bool FTryParallelise = false;
  uint64_t FDataSz = 0;
  std::vector<TCompactIndex> FIndices;
  std::vector<TIndexPosMapping> FIndexPosMappings;
  std::unique_ptr<TMemMappedFile> FMMF;
  uint64_t FFileSz = 0;
  uint64_t FFileChunkSz = 0;
  std::vector<TMMFPart> FMMFParts;
  uint32_t FCurrMMFPart = cNoIdx;
  std::string FLastLoadedMMFileName;
  bool FDenyReloads = false;
  TSubindexMappingMode FSubitemIndexMode = smUnindexed;
  bool FSubitemModeSet = false;
  uint8_t FSubitemBrkCh = 0;
  std::string FSubitemBrkStr;
  uint32_t FSubitemIdx = cNoIdx;
  uint32_t FSubitemMap = cNoIdx;
  uint32_t FItemRefIdx = cNoIdx;
  uint8_t FCurrIdxItemSz = 1;
  uint8_t FNxtIdxMinItemSz = 1;
  uint64_t FNxtIdxResizeBy = 26843545;
  uint64_t FNxtIdxInitLen = 0;
  bool FNxtIdxItemsMayOverlap = false;
  uint8_t FNxtIdxItemAlignment = 16;
  uint8_t FNxtIdxItemPadding = 0;
  uint64_t FPartSz = cDefMMFPartSz;
  IZelProgress* FProgress = nullptr;
  TZelErr FLastError;
  int FItemStartWatch = -1;
  uint64_t FWatchedItemStarts = 0;
  ITextLineVisitor* FLineVisitor = nullptr;
  bool FLineVisitorRan = false;
  // Raw-file identity recorded at LoadMMF (size, modification time) for stale-index checks.
  uint64_t FFileMTimeNs = 0;
};
