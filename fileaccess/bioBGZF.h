// Compressed input: gzip and BGZF decoders that let an indexed text file read the decoded text
// with random access; BGZF blocks (and spans between gzip access points) decode in parallel.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/zelError.h"
#include "fileaccess/gzAccessPoints.h"
#include "fileaccess/gzFormat.h"
#include "fileaccess/korMMTF.h"

// The block table: blocks are decoded independently of each other.
struct TCompressedDataIndex {
  uint64_t NRecords = 0;
  std::vector<uint64_t> CDataOfs;             // raw offset where a block's data starts
  std::vector<uint64_t> CompressedSize;       // raw bytes of a block's data
  std::vector<uint32_t> DecompressedSize;     // decoded bytes of a block
  std::vector<uint64_t> DecompressedFileOfs;  // decoded offset of a block's first byte
  uint64_t TotalDecompressedSize = 0;
};

// The one cached decoded region (whole blocks StartID..EndID).
struct TDecompressedRegion {
  uint64_t dcStartOfs = 0;
  uint64_t dcEndOfs = 0;  // decoded offset of the last byte
  uint64_t dcLen = 0;
  std::vector<uint8_t> dcBuf;
  uint64_t dcBase = 0;  // where the region's first byte sits in dcBuf
  bool dcIsValid = false;
  uint64_t StartID = 0;
  uint64_t EndID = 0;
};

// Base of both decoders. Attached to an owner with TMMTF::SetDecoder, it reads raw bytes
// through the owner; opened by itself (OpenFile) it reads its own mapped file. Failures are
// values: false or nullptr, with LastError() naming the file and the raw offset.
class TZCompressedFile : public TMMTF, public IRawDataDecoder {
 public:
  TZCompressedFile();
  ~TZCompressedFile() override;

  // gzip decoder for zcGZ, BGZF decoder for zcBGZF, nullptr otherwise. fileName only names
  // the file in error texts.
  static std::shared_ptr<TZCompressedFile> MakeZDecoder(TZCompressionType type,
                                                        const std::string& fileName = {});
  static TZCompressionType GuessCompressionType(const std::string& fileName) {
    return GuessZCompression(fileName);
  }

  // --- IRawDataDecoder (OfsPtr and GetDecodedFileSz also serve the object's own TMMTF side)
  void MemAttach(const uint8_t*, uint64_t) override {}
  bool InitialiseDecoder(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                         uint64_t rawFileSz) override;
  // Builds the table while handing the decoded text to sink, where the subclass can.
  bool InitialiseDecoderWithSink(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                 uint64_t rawFileSz, const TDecodedTextSink& sink) override;
  // Builds the table from pieces of the file on several threads, where the subclass can.
  bool InitialiseDecoderInParallel(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                   uint64_t rawFileSz, const TParallelTextScan& scan) override;
  const uint8_t* OfsPtr(uint64_t decodedOfs, uint64_t length) override;
  uint64_t GetDecodedFileSz() override;
  void GetDecodedRegionsOfs(uint64_t& first, uint64_t& last) override;
  bool DecodeBlockRange(uint64_t firstBlock, TRawDataDecodeBlockParams& params) override;
  uint64_t LoadDecoderIndexFromBuf(const uint8_t* p, uint64_t avail) override;
  bool SaveDecoderIndexToBuf(std::string& out) override;
  TZelErr LastError() const override { return FErr; }
  std::vector<std::string> Warnings() const override { return FWarnings; }
  void SetRawReader(TRawReadFunc read) override {
    StopReadAhead();
    FRawRead = std::move(read);
  }

  // --- block table
  // Decodes blocks first..last into dst + dstOfs (false when they do not fit dstSz).
  [[nodiscard]] virtual bool Decompress2MemOK(uint64_t first, uint64_t last, uint8_t* dst,
                                              uint64_t dstOfs, uint64_t dstSz);
  [[nodiscard]] virtual bool MakeCDataIndex() = 0;
  [[nodiscard]] virtual bool MakeCDataIndexInParallel(const TParallelTextScan&) { return false; }
  virtual TZCompressionType ZCompressionType() const = 0;
  void ResizeCDataIndex(uint64_t n);
  uint64_t GetNCompressedBlocks() const { return FHaveCDataIndex ? FCDataIndex.NRecords : 0; }
  const TCompressedDataIndex& CDataIndex() const { return FCDataIndex; }
  // Decoded bytes of blocks first..last (last = all ones: to the end); cNoOfs when invalid.
  uint64_t GetDecompressedSize(uint64_t first, uint64_t last) const;
  // Decodes whole blocks so that [ofs, ofs + len) is covered; the fast path of OfsPtr.
  uint64_t MinDecompressionSize() const { return FMinDecompressionSize; }
  void SetMinDecompressionSize(uint64_t v) { FMinDecompressionSize = v ? v : 1; }

  // Reads the compressed file by itself: maps it and builds the block table.
  [[nodiscard]] virtual bool OpenFile(const std::string& fileName);
  // Threads that decode blocks at once: 0 (default) uses every worker of the installed pool.
  void SetThreads(uint32_t n) { FThreads = n; }
  void SetFileName(const std::string& name) { FZFileName = name; }
  const std::string& FileName() const { return FZFileName; }

 protected:
  IRawDataDecoder* IndexDecoder() override { return this; }
  // Raw offset one past the last byte block i needs.
  virtual uint64_t BlockRawEnd(uint64_t i) const = 0;
  // Raw offset of the first byte block i needs.
  virtual uint64_t BlockRawStart(uint64_t i) const = 0;
  // Decodes block i from the raw bytes [spanStart, spanStart + spanLen) at span into dst.
  [[nodiscard]] virtual bool DecodeOneBlock(uint64_t i, const uint8_t* span, uint64_t spanStart,
                                            uint64_t spanLen, uint8_t* dst, TZelErr& err) = 0;
  // Decodes blocks first..last into dst (which has room for them), in parallel when allowed.
  [[nodiscard]] bool DecodeBlocksParallel(uint64_t first, uint64_t last, uint8_t* dst);
  uint32_t ThreadsToUse(uint64_t nBlocks) const;
  void ClearRegion();
  void Fail(TZelErr e) { FErr = std::move(e); }
  // Takes the owner's access functions, then builds the table with build().
  [[nodiscard]] bool Initialise(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                uint64_t rawFileSz, const std::function<bool()>& build);

  TRawOfsPtrFunc FRawOfsPtr;
  TRawReadFunc FRawRead;
  TDecompressedRegion FDecompressedRegion;
  uint64_t FMinDecompressionSize = 0x400000;
  bool FIsDecoder = false;
  TMemAttachFunc FDecodedMemAttach;
  const TBlockDecodedHook* FBlockHook = nullptr;  // set during one DecodeBlockRange
  bool FHookOnly = false;                         // that call's blocks go to the hook only
  const TDecodedTextSink* FSink = nullptr;        // set during InitialiseDecoderWithSink
  bool FHaveCDataIndex = false;
  TCompressedDataIndex FCDataIndex;
  uint64_t FRawFileSz = 0;
  uint32_t FThreads = 0;
  std::string FZFileName;
  TZelErr FErr;
  std::vector<std::string> FWarnings;  // of the last table build

 private:
  // A walk through the file in order decodes the next region on helper threads while the
  // caller reads the current one (BGZF read through the owner, more than one thread allowed).
  // The region is cut into runs of blocks that the helpers take in turn; a caller that asks for
  // the region before it is done takes the runs left itself instead of waiting. The buffer
  // keeps room in front for the end of the current region, so that a line that runs over into
  // the next region is found whole.
  struct TReadAhead {
    struct THelper {
      std::thread T;
      std::vector<uint8_t> Raw;  // compressed bytes of a run, kept from region to region
    };
    std::vector<THelper> Helpers;
    std::vector<uint8_t> CallerRaw;  // the caller's, when it takes runs
    std::vector<uint8_t> Buf;
    uint64_t First = 0, Last = 0, RunBlocks = 1, NRuns = 0;
    std::atomic<uint64_t> NextRun{0};
    std::atomic<bool> Failed{false};
    bool Running = false;
    bool Ok = false;
  } FAhead;
  // Decodes runs of the read-ahead region until none is left or one failed (then Failed is set).
  void DecodeAheadRuns(std::vector<uint8_t>& raw);
  bool ReadAheadAllowed();
  void StartReadAhead(uint64_t first);
  // Ends the read-ahead; help: the caller decodes the runs left (else they are dropped).
  void StopReadAhead(bool help = false);
  // The region at block b for [ofs, ofs + len) made from the read-ahead; false if it has none.
  bool TakeReadAhead(uint64_t b, uint64_t ofs, uint64_t len);
};

// BGZF: a series of independent gzip members of at most 64 KiB each.
class TBGZFFile : public TZCompressedFile {
 public:
  bool MakeCDataIndex() override;
  TZCompressionType ZCompressionType() const override { return zcBGZF; }
  // On one thread the blocks are decoded as the header walk reaches them, so the file is read
  // once. On several, each thread walks and decodes pieces of the file by itself; a piece's
  // first block is looked for and checked against where the piece before it ended.
  bool CanInitialiseWithSink() const override { return ThreadsToUse(2) <= 1; }
  bool CanInitialiseInParallel() const override { return ThreadsToUse(2) > 1 && FRawRead; }
  bool MakeCDataIndexInParallel(const TParallelTextScan& scan) override;
  // Raw bytes per piece of the parallel table pass.
  void SetPieceSize(uint64_t n) { FPieceSz = n ? n : 1; }

 protected:
  uint64_t BlockRawEnd(uint64_t i) const override;
  uint64_t BlockRawStart(uint64_t i) const override;
  bool DecodeOneBlock(uint64_t i, const uint8_t* span, uint64_t spanStart, uint64_t spanLen,
                      uint8_t* dst, TZelErr& err) override;

 private:
  // Appends one block to the table as block n (then counts it).
  void AppendBlock(uint64_t& n, const TBgzfBlockInfo& info);
  // Closes a table of n blocks: the file must end with the empty end-of-file block.
  [[nodiscard]] bool FinishTable(uint64_t n);

  uint64_t FPieceSz = uint64_t(1) << 20;
};

// Plain gzip (one or several members): blocks are the spans between access points.
class TGZFile : public TZCompressedFile {
 public:
  bool MakeCDataIndex() override;
  TZCompressionType ZCompressionType() const override { return zcGZ; }
  // The access points of one pass over the whole file, the decoded text handed to sink when
  // set; 0 or a negative zlib code.
  int MakeGzip32kIndex(const TDecodedTextSink& sink = {});
  // The table is built by decoding the whole file: its text can be indexed on the way.
  bool CanInitialiseWithSink() const override { return true; }
  // Extracts len decoded bytes at ofs into dst; extracted is the count placed.
  [[nodiscard]] bool DecompressSection(uint64_t ofs, uint64_t len, uint8_t* dst,
                                       uint64_t& extracted);
  bool OpenFile(const std::string& fileName) override;
  // The access-point table cannot be written to an index file (it needs the windows).
  bool SaveDecoderIndexToBuf(std::string& out) override;
  uint64_t LoadDecoderIndexFromBuf(const uint8_t* p, uint64_t avail) override;

  const TGzipAccessPointList& AccessPoints() const { return FGzAccessPoints; }
  void SetAccessPointSpan(uint64_t span) { FSpan = span ? span : 1; }
  const std::string& GzFileName() const { return FGzFileName; }
  const std::string& GzComment() const { return FGzComment; }
  uint32_t GzCrc32() const { return FGzCrc32; }
  // The last member's ISIZE: informational only (it is the size modulo 2^32 of one member).
  uint32_t GzDecompressedSz32() const { return FGzDecompressedSz32; }
  int LastGzExtractResult() const { return FLastGzExtractResult; }

 protected:
  uint64_t BlockRawEnd(uint64_t i) const override;
  uint64_t BlockRawStart(uint64_t i) const override;
  bool DecodeOneBlock(uint64_t i, const uint8_t* span, uint64_t spanStart, uint64_t spanLen,
                      uint8_t* dst, TZelErr& err) override;

  TGzipAccessPointList FGzAccessPoints;
  std::string FGzFileName;
  std::string FGzComment;
  uint32_t FGzCrc32 = 0;
  uint32_t FGzDecompressedSz32 = 0;
  int FLastGzExtractResult = 0;
  uint64_t FSpan = GzAccessPointSpan;
};

// Decode buffer for indexing. BGZF on one thread decodes fastest into a buffer that stays in
// the processor's cache (256 KiB); on several, each call is a fork and join of the workers
// (blocks are scanned as they are decoded, so the batch size costs no cache), and a batch holds
// 8 MiB per worker so that waking and joining them stays a small part of the time. A gzip batch
// holds whole 8 MiB spans between access points, so it keeps the usual 64 MiB. threads 0: the
// workers of the installed pool.
uint64_t ZelPreferredDecodeBufferSz(TZCompressionType type, uint32_t threads = 0);

// Opens fileName into the indexed text file `owner` with the decoder its first bytes call for
// (none for plain text; use a fresh owner). decodeBufferSz 0 takes ZelPreferredDecodeBufferSz.
// Returns false with err set when the file cannot be loaded or decoded.
[[nodiscard]] bool ZelLoadMaybeCompressed(TMMTF& owner, const std::string& fileName, TZelErr& err,
                                          uint64_t decodeBufferSz = 0,
                                          uint64_t partSz = cDefMMFPartSz);

// Opens fileName into `owner` like ZelLoadMaybeCompressed and indexes it by `separator` (index
// 0 of a fresh owner). A gzip file is decoded once for both its access points and the index.
// Returns false with err set (file named) when the file cannot be loaded, decoded or indexed.
[[nodiscard]] bool ZelLoadAndIndex(TMMTF& owner, const std::string& fileName, TZelErr& err,
                                   const std::string& separator = "\n", uint64_t decodeBufferSz = 0,
                                   uint64_t partSz = cDefMMFPartSz);
