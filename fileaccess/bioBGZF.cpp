// Compressed input: gzip and BGZF decoders that let an indexed text file read the decoded text
// with random access; BGZF blocks (and spans between gzip access points) decode in parallel.
#include "fileaccess/bioBGZF.h"

#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <new>

#include "base/korBase.h"

namespace {

void PutLE(std::string& out, uint64_t v, unsigned width) {
  for (unsigned i = 0; i < width; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
uint64_t GetLE(const uint8_t* p, unsigned width) {
  uint64_t v = 0;
  for (unsigned i = 0; i < width; ++i) v |= uint64_t(p[i]) << (8 * i);
  return v;
}

// A raw reader over one span of the file that was fetched once on the owner's thread, so that
// worker threads never touch the owner's mapping.
TRawOfsPtrFn SpanReader(const uint8_t* span, uint64_t spanStart, uint64_t spanLen) {
  return [=](uint64_t ofs, uint64_t len) -> const uint8_t* {
    if (len == 0 || ofs < spanStart) return nullptr;
    uint64_t rel = ofs - spanStart;
    if (rel > spanLen || len > spanLen - rel) return nullptr;
    return span + rel;
  };
}

// Maps the pages of a range of the owner's file mapping in one call instead of one page fault
// per page; only a hint, so failure (older kernels, anonymous memory) is ignored.
void PrefaultRange(const uint8_t* p, uint64_t len) {
#ifdef MADV_POPULATE_READ
  static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
  uintptr_t lo = reinterpret_cast<uintptr_t>(p) & ~(page - 1);
  uintptr_t hi = reinterpret_cast<uintptr_t>(p) + len;
  if (len >= (uint64_t(1) << 20)) madvise(reinterpret_cast<void*>(lo), hi - lo, MADV_POPULATE_READ);
#else
  (void)p;
  (void)len;
#endif
}

// A raw reader for one pass or one worker: with reads offered, the bytes are read into buf
// (each pointer valid until the next call), else they come from the mapping.
TRawOfsPtrFn BufferedReader(const TRawReadFunc& read, const TRawOfsPtrFunc& map,
                            std::vector<uint8_t>& buf) {
  if (!read) return map;
  return [&read, &buf](uint64_t ofs, uint64_t len) -> const uint8_t* {
    if (len == 0) return nullptr;
    if (buf.size() < len) buf.resize(len);
    return read(ofs, buf.data(), len) == int64_t(len) ? buf.data() : nullptr;
  };
}

// Largest BGZF block, header and trailer included (BSIZE is 16 bits and one less).
constexpr uint64_t cMaxBgzfBlock = 0x10000;

// Raw bytes for one walk through BGZF blocks: the file is read (or mapped) a window at a time,
// and the window always holds the whole block at the walk's position or reaches the end of the
// file, so no request falls back to the owner while a pointer into the window is in use.
// Requests outside the window are read (or mapped) on their own.
class TBgzfWindow {
 public:
  TBgzfWindow(const TRawReadFunc& read, const TRawOfsPtrFunc& map, uint64_t fileSz, uint64_t size)
      : FRead(read), FMap(map), FFileSz(fileSz), FSize(std::max(size, cMaxBgzfBlock)) {}

  // Moves the window to pos unless it holds the largest block that can start there.
  void Cover(uint64_t pos) {
    if (FData && pos >= FStart && pos - FStart <= FLen &&
        (pos - FStart + cMaxBgzfBlock <= FLen || FStart + FLen >= FFileSz))
      return;
    FStart = pos;
    FLen = pos < FFileSz ? std::min(FSize, FFileSz - pos) : 0;
    FData = nullptr;
    FData = FLen ? Fetch(FStart, FLen, FWinBuf) : nullptr;
    if (FData && !FRead) PrefaultRange(FData, FLen);
  }
  const uint8_t* Get(uint64_t o, uint64_t l) {
    if (FData && l && o >= FStart && o - FStart <= FLen && l <= FLen - (o - FStart))
      return FData + (o - FStart);
    return Fetch(o, l, FOneOff);
  }
  // Bytes of the window from pos on (0 when pos is outside it).
  uint64_t After(uint64_t pos) const {
    return FData && pos >= FStart && pos - FStart <= FLen ? FLen - (pos - FStart) : 0;
  }
  const TRawOfsPtrFn& Fn() const { return FFn; }

 private:
  const uint8_t* Fetch(uint64_t o, uint64_t l, std::vector<uint8_t>& buf) {
    if (!FRead) return FMap ? FMap(o, l) : nullptr;
    return BufferedReader(FRead, FMap, buf)(o, l);
  }

  const TRawReadFunc& FRead;
  const TRawOfsPtrFunc& FMap;
  const uint64_t FFileSz;
  const uint64_t FSize;
  uint64_t FStart = 0, FLen = 0;
  const uint8_t* FData = nullptr;
  std::vector<uint8_t> FWinBuf, FOneOff;
  const TRawOfsPtrFn FFn = [this](uint64_t o, uint64_t l) { return Get(o, l); };
};

// What a walk does with each block: its header, and its text when the walk decodes. false
// ends the walk.
using TBgzfOnBlock = std::function<bool(const TBgzfBlockInfo& info, const uint8_t* text)>;

// Walks the blocks from pos while they start before stop; pos ends at the first block not
// walked. With block, each is decoded there as soon as its header is read (while its bytes are
// still in cache). A damaged or cut block ends the walk with err naming the file and offset;
// onBlock's false ends it with err untouched.
bool WalkBgzfBlocks(TBgzfWindow& w, uint64_t fileSz, const std::string& fileName, uint64_t& pos,
                    uint64_t stop, uint8_t* block, const TBgzfOnBlock& onBlock, TZelErr& err) {
  // Each header is found only from the one before it, so every read waits for memory; a touch
  // a few blocks ahead has the pages and lines on their way.
  constexpr uint64_t kAhead = 0x10000;
  TBgzfBlockInfo info;
  std::string why;
  while (pos < stop) {
    w.Cover(pos);
    const uint64_t after = w.After(pos);
    if (after >= kAhead + 64) __builtin_prefetch(w.Get(pos + kAhead, 1));
    TBgzfParse r = ParseBgzfBlock(w.Fn(), fileSz, pos, info, why);
    if (r != TBgzfParse::Ok) {
      err = GzError(r == TBgzfParse::Truncated ? "Truncated BGZF file" : "Damaged BGZF file",
                    fileName, pos, why);
      return false;
    }
    if (block && info.ISize) {
      // The next block's header sits beside this block's trailer, already read; its trailer
      // is fetched while this block decodes, so the next step does not wait for it.
      const uint64_t nx = pos + info.BlockSize;
      if (nx - pos + 18 <= after) {
        const uint8_t* h = w.Get(nx, 18);
        const uint64_t tr = nx + (uint64_t(h[16]) | uint64_t(h[17]) << 8) - 7;
        if (h[12] == 'B' && h[13] == 'C' && tr > pos && tr - pos + 8 <= after)
          __builtin_prefetch(w.Get(tr, 8));
      }
      const uint8_t* cd = w.Get(info.CDataOfs, uint64_t(info.CSize) + sizeof(TGzTrailer));
      if (!cd || !InflateBgzfBlock(cd, info.CSize, info.Crc, info.ISize, block, why)) {
        err = GzError("Damaged BGZF block", fileName, info.CDataOfs,
                      cd ? why : "cannot read the file");
        return false;
      }
    }
    if (!onBlock(info, block)) return false;
    pos += info.BlockSize;
  }
  return true;
}

// The first offset in [lo, hi) where a block starts whose successor (or the end of the file)
// follows it, as a walk from the file's start would find it unless a block's data happens to
// look like two headers; cNoOfs when there is none. The window must hold [lo, hi) and two
// largest blocks after it.
uint64_t FindBgzfBlockStart(TBgzfWindow& w, uint64_t fileSz, uint64_t lo, uint64_t hi) {
  if (hi <= lo) return cNoOfs;
  w.Cover(lo);
  if (w.After(lo) < hi - lo) return cNoOfs;
  const uint8_t* base = w.Get(lo, hi - lo);
  TBgzfBlockInfo a, b;
  std::string why;
  for (uint64_t i = 0; i < hi - lo; ++i) {
    const void* f = std::memchr(base + i, 0x1F, hi - lo - i);
    if (!f) break;
    i = uint64_t(static_cast<const uint8_t*>(f) - base);
    const uint64_t o = lo + i;
    if (ParseBgzfBlock(w.Fn(), fileSz, o, a, why) != TBgzfParse::Ok) continue;
    const uint64_t nx = o + a.BlockSize;
    if (nx == fileSz || ParseBgzfBlock(w.Fn(), fileSz, nx, b, why) == TBgzfParse::Ok) return o;
  }
  return cNoOfs;
}

}  // namespace

// ------------------------------------------------------------------------------------------
// TZCompressedFile

TZCompressedFile::TZCompressedFile() {
  FRawOfsPtr = [this](uint64_t ofs, uint64_t len) { return RawOfsPtr(ofs, len); };
}

TZCompressedFile::~TZCompressedFile() { StopReadAhead(); }

std::shared_ptr<TZCompressedFile> TZCompressedFile::MakeZDecoder(TZCompressionType type,
                                                                 const std::string& fileName) {
  std::shared_ptr<TZCompressedFile> d;
  if (type == zcGZ)
    d = std::make_shared<TGZFile>();
  else if (type == zcBGZF)
    d = std::make_shared<TBGZFFile>();
  if (d) d->SetFileName(fileName);
  return d;
}

bool TZCompressedFile::Initialise(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                  uint64_t rawFileSz, const std::function<bool()>& build) {
  FRawOfsPtr = std::move(rawOfsPtr);
  FDecodedMemAttach = std::move(memAttach);
  FRawFileSz = rawFileSz;
  FIsDecoder = true;
  ClearRegion();
  FErr.Clear();
  FWarnings.clear();
  try {
    return build();
  } catch (const std::bad_alloc&) {
    FHaveCDataIndex = false;
    ResizeCDataIndex(0);
    Fail(TZelErr::User("Out of memory while reading compressed file", FZFileName));
    return false;
  }
}

bool TZCompressedFile::InitialiseDecoder(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                         uint64_t rawFileSz) {
  return Initialise(std::move(rawOfsPtr), std::move(memAttach), rawFileSz,
                    [this] { return MakeCDataIndex(); });
}

bool TZCompressedFile::InitialiseDecoderWithSink(TRawOfsPtrFunc rawOfsPtr, TMemAttachFunc memAttach,
                                                 uint64_t rawFileSz, const TDecodedTextSink& sink) {
  if (!CanInitialiseWithSink()) return false;
  FSink = &sink;
  bool ok = InitialiseDecoder(std::move(rawOfsPtr), std::move(memAttach), rawFileSz);
  FSink = nullptr;
  return ok;
}

bool TZCompressedFile::InitialiseDecoderInParallel(TRawOfsPtrFunc rawOfsPtr,
                                                   TMemAttachFunc memAttach, uint64_t rawFileSz,
                                                   const TParallelTextScan& scan) {
  if (!CanInitialiseInParallel()) return false;
  return Initialise(std::move(rawOfsPtr), std::move(memAttach), rawFileSz,
                    [&] { return MakeCDataIndexInParallel(scan); });
}

uint64_t TZCompressedFile::GetDecodedFileSz() {
  return FHaveCDataIndex ? FCDataIndex.TotalDecompressedSize : 0;
}

void TZCompressedFile::GetDecodedRegionsOfs(uint64_t& first, uint64_t& last) {
  if (FDecompressedRegion.dcIsValid && FDecompressedRegion.dcLen) {
    first = FDecompressedRegion.dcStartOfs;
    last = FDecompressedRegion.dcEndOfs;
  } else {
    first = last = cNoOfs;
  }
}

void TZCompressedFile::ClearRegion() {
  StopReadAhead();
  FDecompressedRegion.dcIsValid = false;
  FDecompressedRegion.dcStartOfs = FDecompressedRegion.dcEndOfs = 0;
  FDecompressedRegion.dcLen = 0;
  FDecompressedRegion.StartID = FDecompressedRegion.EndID = 0;
}

void TZCompressedFile::ResizeCDataIndex(uint64_t n) {
  StopReadAhead();  // its thread reads the table
  TCompressedDataIndex& t = FCDataIndex;
  t.NRecords = n;
  if (n == 0) {
    t = TCompressedDataIndex();
    return;
  }
  t.CDataOfs.resize(n);
  t.CompressedSize.resize(n);
  t.DecompressedSize.resize(n);
  t.DecompressedFileOfs.resize(n);
}

uint64_t TZCompressedFile::GetDecompressedSize(uint64_t first, uint64_t last) const {
  if (!FHaveCDataIndex || FCDataIndex.NRecords == 0) return cNoOfs;
  if (last == cNoOfs) last = FCDataIndex.NRecords - 1;
  if (last < first || last >= FCDataIndex.NRecords) return cNoOfs;
  uint64_t s = 0;
  for (uint64_t i = first; i <= last; ++i) s += FCDataIndex.DecompressedSize[i];
  return s;
}

uint32_t TZCompressedFile::ThreadsToUse(uint64_t nBlocks) const {
  uint64_t t = FThreads ? FThreads : (nParallel ? *nParallel : 1);
  if (t < 1) t = 1;
  return uint32_t(std::min<uint64_t>(t, nBlocks));
}

bool TZCompressedFile::DecodeBlocksParallel(uint64_t first, uint64_t last, uint8_t* dst) {
  const TCompressedDataIndex& t = FCDataIndex;
  uint64_t spanStart = BlockRawStart(first);
  uint64_t spanEnd = BlockRawEnd(last);
  if (spanEnd < spanStart) {
    Fail(GzError("Damaged block table", FZFileName, spanStart, "blocks out of order"));
    return false;
  }
  // Workers read the raw bytes of their own blocks when the owner offers reads (span stays
  // null); otherwise the span is fetched here, on the owner's thread, so that no worker
  // touches the owner's mapping.
  const uint8_t* span = nullptr;
  if (!FRawRead) {
    span = spanEnd > spanStart ? FRawOfsPtr(spanStart, spanEnd - spanStart) : nullptr;
    if (!span) {
      Fail(GzError("Cannot read compressed file", FZFileName, spanStart, "cannot read the file"));
      return false;
    }
    PrefaultRange(span, spanEnd - spanStart);
  }
  const uint64_t base = t.DecompressedFileOfs[first];
  auto runRange = [&](uint64_t a, uint64_t b, TZelErr& err) {
    const uint8_t* sp = span;
    uint64_t spStart = spanStart, spLen = spanEnd - spanStart;
    if (!sp) {  // one read for the blocks a..b
      thread_local std::vector<uint8_t> raw;
      spStart = BlockRawStart(a);
      spLen = BlockRawEnd(b) - spStart;
      if (raw.size() < spLen) raw.resize(spLen);
      if (!spLen || FRawRead(spStart, raw.data(), spLen) != int64_t(spLen)) {
        err = GzError("Cannot read compressed file", FZFileName, spStart, "cannot read the file");
        return false;
      }
      sp = raw.data();
    }
    for (uint64_t i = a; i <= b; ++i) {
      uint8_t* out = dst + (t.DecompressedFileOfs[i] - base);
      if (FHookOnly) {
        // Decoded into the worker's own space, which stays in its cache, and seen only by the
        // hook: writing the whole batch out to memory cost the workers a tenth of their time.
        thread_local std::vector<uint8_t> scratch;
        if (scratch.size() < t.DecompressedSize[i]) scratch.resize(t.DecompressedSize[i]);
        out = scratch.data();
      }
      if (!DecodeOneBlock(i, sp, spStart, spLen, out, err)) return false;
      if (FBlockHook)
        (*FBlockHook)(i - first, out, t.DecompressedSize[i], t.DecompressedFileOfs[i]);
    }
    return true;
  };
  uint64_t n = last - first + 1;
  uint32_t nt = ThreadsToUse(n);
  if (nt <= 1) {
    TZelErr err;
    if (!runRange(first, last, err)) {
      Fail(err);
      return false;
    }
    return true;
  }
  // Workers take the next few blocks as they finish, so they all end within a few blocks of
  // each other; a few blocks at a time make one read of them. The reported failure is the one
  // of the first damaged block, as on one thread.
  const uint64_t chunk = std::clamp<uint64_t>(n / (uint64_t(nt) * 16), 1, 4);
  std::atomic<uint64_t> next{first};
  std::atomic<uint64_t> firstBad{cNoOfs};
  std::mutex errLock;
  TZelErr badErr;
  std::vector<std::function<void()>> procs(nt, [&] {
    for (uint64_t i; (i = next.fetch_add(chunk, std::memory_order_relaxed)) <= last;) {
      if (i > firstBad.load(std::memory_order_relaxed)) return;
      TZelErr err;
      if (!runRange(i, std::min(last, i + chunk - 1), err)) {
        std::lock_guard<std::mutex> g(errLock);
        if (i < firstBad.load()) {
          firstBad = i;
          badErr = std::move(err);
        }
        return;
      }
    }
  });
  TZelErr perr = ParalleliseProcs(procs);
  if (perr) {
    Fail(perr);
    return false;
  }
  if (firstBad.load() != cNoOfs) {
    Fail(badErr);
    return false;
  }
  return true;
}

bool TZCompressedFile::Decompress2MemOK(uint64_t first, uint64_t last, uint8_t* dst,
                                        uint64_t dstOfs, uint64_t dstSz) {
  if (last < first) return true;
  if (!FHaveCDataIndex || last >= FCDataIndex.NRecords || !dst) return false;
  uint64_t need = GetDecompressedSize(first, last);
  if (dstOfs > dstSz || need > dstSz - dstOfs) return false;
  return DecodeBlocksParallel(first, last, dst + dstOfs);
}

namespace {
constexpr uint64_t cAheadRoom = 1ull << 20;  // room for the end of the current region
}  // namespace

bool TZCompressedFile::ReadAheadAllowed() {
  return FRawRead && !FBlockHook && !FSink && ZCompressionType() == zcBGZF &&
         ThreadsToUse(cNoOfs) >= 2;
}

void TZCompressedFile::DecodeAheadRuns(std::vector<uint8_t>& raw) {
  const TCompressedDataIndex& t = FCDataIndex;
  uint8_t* dst = FAhead.Buf.data() + cAheadRoom;
  const uint64_t base = t.DecompressedFileOfs[FAhead.First];
  for (uint64_t k; !FAhead.Failed.load(std::memory_order_relaxed) &&
                   (k = FAhead.NextRun.fetch_add(1)) < FAhead.NRuns;) {
    const uint64_t a = FAhead.First + k * FAhead.RunBlocks;
    const uint64_t z = std::min(FAhead.Last, a + FAhead.RunBlocks - 1);
    const uint64_t spStart = BlockRawStart(a), spLen = BlockRawEnd(z) - spStart;
    bool ok = false;
    try {
      if (raw.size() < spLen) raw.resize(spLen);
      ok = spLen && FRawRead(spStart, raw.data(), spLen) == int64_t(spLen);
    } catch (const std::bad_alloc&) {
    }
    // A failure is not reported from here: the region is then decoded again when it is asked
    // for, and that decoding reports it.
    TZelErr err;
    for (uint64_t i = a; ok && i <= z; ++i)
      ok = DecodeOneBlock(i, raw.data(), spStart, spLen, dst + (t.DecompressedFileOfs[i] - base),
                          err);
    if (!ok) FAhead.Failed = true;
  }
}

void TZCompressedFile::StopReadAhead(bool help) {
  if (!FAhead.Running) {
    FAhead.Ok = false;
    return;
  }
  if (help)
    DecodeAheadRuns(FAhead.CallerRaw);
  else
    FAhead.Failed = true;  // the helpers stop after the run they are in
  for (auto& h : FAhead.Helpers)
    if (h.T.joinable()) h.T.join();
  FAhead.Running = false;
  FAhead.Ok = !FAhead.Failed && FAhead.NextRun.load() >= FAhead.NRuns;
}

void TZCompressedFile::StartReadAhead(uint64_t first) {
  StopReadAhead();
  FAhead.Ok = false;
  const TCompressedDataIndex& t = FCDataIndex;
  if (first >= t.NRecords) return;
  uint64_t last = first, size = t.DecompressedSize[first];
  while (size < FMinDecompressionSize && last + 1 < t.NRecords) size += t.DecompressedSize[++last];
  try {
    if (FAhead.Buf.size() < cAheadRoom + size) {
      std::vector<uint8_t>().swap(FAhead.Buf);
      FAhead.Buf.resize(cAheadRoom + size);
    }
  } catch (const std::bad_alloc&) {
    return;  // the region is decoded when it is asked for
  }
  FAhead.First = first;
  FAhead.Last = last;
  // Runs of a few blocks, several per thread, so that the threads (and the caller, when it
  // comes early) finish at nearly the same time.
  const uint64_t n = last - first + 1;
  const uint64_t nt = std::min<uint64_t>(ThreadsToUse(n), n);
  FAhead.RunBlocks = std::max<uint64_t>(1, n / (4 * nt));
  FAhead.NRuns = (n + FAhead.RunBlocks - 1) / FAhead.RunBlocks;
  FAhead.NextRun = 0;
  FAhead.Failed = false;
  if (FAhead.Helpers.size() < nt) FAhead.Helpers.resize(nt);
  for (uint64_t k = 0; k < nt; ++k) {
    TReadAhead::THelper& h = FAhead.Helpers[k];
    h.T = std::thread([this, &h] { DecodeAheadRuns(h.Raw); });
  }
  FAhead.Running = true;
}

bool TZCompressedFile::TakeReadAhead(uint64_t b, uint64_t ofs, uint64_t len) {
  if (!FAhead.Running) return false;
  TDecompressedRegion& r = FDecompressedRegion;
  const TCompressedDataIndex& t = FCDataIndex;
  const uint64_t first = FAhead.First, last = FAhead.Last;
  const uint64_t aheadStart = t.DecompressedFileOfs[first];
  const uint64_t aheadEnd = t.DecompressedFileOfs[last] + t.DecompressedSize[last];
  // Helped only when the request lies in the region; a jump elsewhere drops it.
  StopReadAhead(b <= last && ofs + len <= aheadEnd);
  if (!FAhead.Ok || b > last || ofs + len > aheadEnd) return false;
  uint64_t carry = 0, start = aheadStart, startId = first;
  if (b < first) {
    // The request starts in the current region: its blocks from b on go in front.
    if (!r.dcIsValid || r.EndID + 1 != first || b < r.StartID) return false;
    start = t.DecompressedFileOfs[b];
    carry = aheadStart - start;
    if (carry > cAheadRoom) return false;
    std::memcpy(FAhead.Buf.data() + cAheadRoom - carry,
                r.dcBuf.data() + r.dcBase + (start - r.dcStartOfs), carry);
    startId = b;
  }
  std::swap(r.dcBuf, FAhead.Buf);
  FAhead.Ok = false;
  r.dcBase = cAheadRoom - carry;
  r.dcStartOfs = start;
  r.dcLen = aheadEnd - start;
  r.dcEndOfs = aheadEnd - 1;
  r.StartID = startId;
  r.EndID = last;
  r.dcIsValid = true;
  return true;
}

const uint8_t* TZCompressedFile::OfsPtr(uint64_t ofs, uint64_t len) {
  if (len == 0 || !FHaveCDataIndex) return nullptr;
  TDecompressedRegion& r = FDecompressedRegion;
  if (r.dcIsValid && ofs >= r.dcStartOfs && ofs - r.dcStartOfs <= r.dcLen &&
      len <= r.dcLen - (ofs - r.dcStartOfs))
    return r.dcBuf.data() + r.dcBase + (ofs - r.dcStartOfs);
  // Onward from the current region: the walk goes through the file in order.
  const bool onward = r.dcIsValid && ofs >= r.dcStartOfs;
  FErr.Clear();
  const TCompressedDataIndex& t = FCDataIndex;
  if (len > t.TotalDecompressedSize || ofs > t.TotalDecompressedSize - len) {
    ClearRegion();
    return nullptr;
  }
  uint64_t want = std::max(len, FMinDecompressionSize);
  auto it = std::upper_bound(t.DecompressedFileOfs.begin(), t.DecompressedFileOfs.end(), ofs);
  if (it == t.DecompressedFileOfs.begin()) {
    ClearRegion();
    return nullptr;
  }
  uint64_t b = uint64_t(it - t.DecompressedFileOfs.begin()) - 1;
  while (b > 0 && t.DecompressedFileOfs[b] > ofs) --b;
  if (onward && TakeReadAhead(b, ofs, len)) {
    if (ReadAheadAllowed()) StartReadAhead(r.EndID + 1);
    return r.dcBuf.data() + r.dcBase + (ofs - r.dcStartOfs);
  }
  ClearRegion();
  uint64_t e = b;
  uint64_t covered = t.DecompressedFileOfs[b] + t.DecompressedSize[b] - ofs;
  while (covered < want && e + 1 < t.NRecords) covered += t.DecompressedSize[++e];
  if (covered < len) return nullptr;
  uint64_t start = t.DecompressedFileOfs[b];
  uint64_t size = t.DecompressedFileOfs[e] + t.DecompressedSize[e] - start;
  if (r.dcBuf.size() < size) {
    r.dcBuf.clear();
    r.dcBuf.shrink_to_fit();
    try {
      r.dcBuf.resize(size);
    } catch (const std::bad_alloc&) {
      Fail(TZelErr::User("Out of memory while decompressing", FZFileName));
      return nullptr;
    }
  }
  if (!Decompress2MemOK(b, e, r.dcBuf.data(), 0, size)) return nullptr;
  r.dcBase = 0;
  r.dcStartOfs = start;
  r.dcLen = size;
  r.dcEndOfs = start + size - 1;
  r.StartID = b;
  r.EndID = e;
  r.dcIsValid = true;
  if (onward && ReadAheadAllowed()) StartReadAhead(e + 1);
  return r.dcBuf.data() + (ofs - start);
}

bool TZCompressedFile::DecodeBlockRange(uint64_t first, TRawDataDecodeBlockParams& p) {
  p.nBlocksDecoded = 0;
  p.DecodedSize = 0;
  p.TotalBlocksLeft = cNoOfs;
  FErr.Clear();
  if (!p.pBuffer || !FHaveCDataIndex) return false;
  const TCompressedDataIndex& t = FCDataIndex;
  if (first >= t.NRecords) {
    p.TotalBlocksLeft = 0;
    return false;
  }
  uint64_t k = first;
  uint64_t sum = 0;
  bool limitHit = false;
  while (k < t.NRecords) {
    if (k - first >= p.MaxAllowedBlocks) {
      limitHit = true;
      break;
    }
    if (t.DecompressedSize[k] > p.BufferSz - sum) break;
    if (BlockRawEnd(k) - 1 > p.MaxAllowedRawOfs) break;
    sum += t.DecompressedSize[k];
    ++k;
  }
  p.DecodedOfs = t.DecompressedFileOfs[first];
  if (k == first) {
    p.TotalBlocksLeft = t.NRecords - first;
    return false;
  }
  FBlockHook = p.OnBlockDecoded ? &p.OnBlockDecoded : nullptr;
  FHookOnly = FBlockHook && p.HookOnly;
  bool ok = Decompress2MemOK(first, k - 1, p.pBuffer, 0, p.BufferSz);
  FBlockHook = nullptr;
  bool hookOnly = FHookOnly;
  FHookOnly = false;
  if (!ok) return false;
  p.nBlocksDecoded = k - first;
  p.DecodedSize = sum;
  p.TotalBlocksLeft = t.NRecords - k;
  if (FDecodedMemAttach && !hookOnly) FDecodedMemAttach(p.pBuffer, sum);
  return p.TotalBlocksLeft > 0 && !limitHit && BlockRawStart(k) <= p.MaxAllowedRawOfs;
}

bool TZCompressedFile::SaveDecoderIndexToBuf(std::string& out) {
  const TCompressedDataIndex& t = FCDataIndex;
  if (!FHaveCDataIndex || t.NRecords == 0) return false;
  for (uint64_t i = 0; i < t.NRecords; ++i)
    if (t.CompressedSize[i] > 0xFFFF) return false;  // the file format holds 16 bits
  uint8_t w1 = FaReqB64(t.CDataOfs.back());
  uint8_t w2 = FaReqB64(t.DecompressedFileOfs.back());
  PutLE(out, t.NRecords, 8);
  PutLE(out, t.TotalDecompressedSize, 8);
  PutLE(out, w1, 1);
  PutLE(out, w2, 1);
  for (uint64_t i = 0; i < t.NRecords; ++i) PutLE(out, t.CompressedSize[i], 2);
  for (uint64_t i = 0; i < t.NRecords; ++i) PutLE(out, t.DecompressedSize[i], 4);
  for (uint64_t i = 0; i < t.NRecords; ++i) PutLE(out, t.CDataOfs[i], w1);
  for (uint64_t i = 0; i < t.NRecords; ++i) PutLE(out, t.DecompressedFileOfs[i], w2);
  return true;
}

uint64_t TZCompressedFile::LoadDecoderIndexFromBuf(const uint8_t* p, uint64_t avail) {
  auto bad = [&](const std::string& why) {
    Fail(GzError("Damaged index file", FZFileName, 0, why));
    return cNoOfs;
  };
  if (!p || avail < 18) return bad("decoder block header cut short");
  uint64_t n = GetLE(p, 8);
  uint64_t total = GetLE(p + 8, 8);
  unsigned w1 = p[16], w2 = p[17];
  if (n == 0) return bad("decoder block without blocks");
  if (w1 < 1 || w1 > 8 || w2 < 1 || w2 > 8) return bad("decoder block widths out of range");
  uint64_t per = 6 + w1 + w2;
  if (n > (avail - 18) / per) return bad("decoder block longer than the file");
  if (FRawFileSz == 0) return bad("decoder block read before the data file");
  TCompressedDataIndex t;
  t.NRecords = n;
  t.CDataOfs.resize(n);
  t.CompressedSize.resize(n);
  t.DecompressedSize.resize(n);
  t.DecompressedFileOfs.resize(n);
  const uint8_t* q = p + 18;
  for (uint64_t i = 0; i < n; ++i, q += 2) t.CompressedSize[i] = GetLE(q, 2);
  for (uint64_t i = 0; i < n; ++i, q += 4) t.DecompressedSize[i] = uint32_t(GetLE(q, 4));
  for (uint64_t i = 0; i < n; ++i, q += w1) t.CDataOfs[i] = GetLE(q, w1);
  for (uint64_t i = 0; i < n; ++i, q += w2) t.DecompressedFileOfs[i] = GetLE(q, w2);
  uint64_t dsum = 0;
  for (uint64_t i = 0; i < n; ++i) {
    if (t.DecompressedSize[i] > BgzfMaxBlockDataSize) return bad("block size out of range");
    if (t.DecompressedFileOfs[i] != dsum) return bad("decoded offsets do not add up");
    dsum += t.DecompressedSize[i];
    // data, the 8-byte trailer, and at least a minimal header before the next block
    uint64_t end = t.CDataOfs[i] + t.CompressedSize[i] + sizeof(TGzTrailer);
    if (t.CDataOfs[i] < 18 || t.CDataOfs[i] > FRawFileSz || end > FRawFileSz)
      return bad("block outside the data file");
    if (i + 1 < n && end + 18 > t.CDataOfs[i + 1]) return bad("blocks overlap");
  }
  if (dsum != total) return bad("decoded total does not match the blocks");
  FCDataIndex = std::move(t);
  FCDataIndex.TotalDecompressedSize = total;
  FHaveCDataIndex = true;
  ClearRegion();
  return 18 + n * per;
}

bool TZCompressedFile::OpenFile(const std::string& fileName) {
  FZFileName = fileName;
  FErr.Clear();
  FHaveCDataIndex = false;
  ClearRegion();
  if (!LoadMMF(fileName, 0, cDefMMFPartSz, false)) {
    Fail(TMMTF::LastError().IsError() ? TMMTF::LastError()
                                      : TZelErr::User("Cannot open file", fileName));
    return false;
  }
  FRawOfsPtr = [this](uint64_t ofs, uint64_t len) { return RawOfsPtr(ofs, len); };
  FRawRead = [this](uint64_t o, void* d, uint64_t n) -> int64_t {
    return FMMF ? FMMF->ReadAt(o, d, n) : -1;
  };
  FDecodedMemAttach = nullptr;
  FIsDecoder = false;
  FRawFileSz = FileSize();
  return MakeCDataIndex();
}

// ------------------------------------------------------------------------------------------
// TBGZFFile

uint64_t TBGZFFile::BlockRawStart(uint64_t i) const { return FCDataIndex.CDataOfs[i]; }

uint64_t TBGZFFile::BlockRawEnd(uint64_t i) const {
  return FCDataIndex.CDataOfs[i] + FCDataIndex.CompressedSize[i] + sizeof(TGzTrailer);
}

void TBGZFFile::AppendBlock(uint64_t& n, const TBgzfBlockInfo& info) {
  TCompressedDataIndex& t = FCDataIndex;
  if (n == t.CDataOfs.size()) {
    uint64_t grow = std::max<uint64_t>(1024, n);
    t.CDataOfs.resize(n + grow);
    t.CompressedSize.resize(n + grow);
    t.DecompressedSize.resize(n + grow);
    t.DecompressedFileOfs.resize(n + grow);
  }
  t.CDataOfs[n] = info.CDataOfs;
  t.CompressedSize[n] = info.CSize;
  t.DecompressedSize[n] = info.ISize;
  t.DecompressedFileOfs[n] = t.TotalDecompressedSize;
  t.TotalDecompressedSize += info.ISize;
  ++n;
}

bool TBGZFFile::FinishTable(uint64_t n) {
  TCompressedDataIndex& t = FCDataIndex;
  if (n == 0) {
    ResizeCDataIndex(0);
    Fail(GzError("Truncated BGZF file", FZFileName, FRawFileSz, "no block"));
    return false;
  }
  // Without the empty end-of-file block a file cut at a block boundary looks whole: every
  // complete block is read, and the caller is told that the end may be missing.
  if (t.DecompressedSize[n - 1] != 0)
    FWarnings.push_back("The BGZF end-of-file block is missing, the file may be truncated: " +
                        (FZFileName.empty() ? std::string("(unnamed)") : FZFileName));
  ResizeCDataIndex(n);
  t.CDataOfs.shrink_to_fit();
  t.CompressedSize.shrink_to_fit();
  t.DecompressedSize.shrink_to_fit();
  t.DecompressedFileOfs.shrink_to_fit();
  FHaveCDataIndex = true;
  return true;
}

bool TBGZFFile::MakeCDataIndex() {
  FHaveCDataIndex = false;
  ResizeCDataIndex(0);
  ClearRegion();
  // Read windows are smaller than mapped ones: they are copied, and the blocks decoded from
  // them stay cached.
  TBgzfWindow w(FRawRead, FRawOfsPtr, FRawFileSz,
                FRawRead ? uint64_t(2) << 20 : uint64_t(16) << 20);
  // With a sink every block is decoded as soon as its header is read.
  std::unique_ptr<uint8_t[]> block(FSink ? new uint8_t[BgzfMaxBlockDataSize] : nullptr);
  uint64_t pos = 0, n = 0;
  TZelErr err;
  bool ok = WalkBgzfBlocks(
      w, FRawFileSz, FZFileName, pos, FRawFileSz, block.get(),
      [&](const TBgzfBlockInfo& info, const uint8_t* text) {
        if (FSink && info.ISize &&
            !(*FSink)(text, info.ISize, FCDataIndex.TotalDecompressedSize,
                      info.BlockOfs + info.BlockSize)) {
          err = TZelErr("", "Indexing cancelled", FZFileName);
          return false;
        }
        AppendBlock(n, info);
        return true;
      },
      err);
  if (!ok) {
    ResizeCDataIndex(0);
    Fail(err);
    return false;
  }
  return FinishTable(n);
}

namespace {

// One piece of the parallel table pass: the blocks that start in its raw range, walked from
// the first block start found there (or given).
struct TBgzfPiece {
  bool Found = false;  // Start is where a walk began; else no block start was found
  bool Done = false;   // waiting to be committed
  uint64_t Start = 0;
  uint64_t End = 0;  // where the walk stopped: the next piece must begin here
  uint64_t Decoded = 0;
  std::vector<TBgzfBlockInfo> Blocks;
  TZelErr Err;
};

}  // namespace

bool TBGZFFile::MakeCDataIndexInParallel(const TParallelTextScan& scan) {
  FHaveCDataIndex = false;
  ResizeCDataIndex(0);
  ClearRegion();
  if (!FRawRead || !scan.Slots || !scan.Text || !scan.Commit) {
    Fail(TZelErr::User("Cannot decode compressed file", FZFileName));
    return false;
  }
  const uint64_t S = FPieceSz;
  const uint64_t nPieces = FRawFileSz ? (FRawFileSz - 1) / S + 1 : 0;
  const uint32_t slots = uint32_t(std::min<uint64_t>(scan.Slots, std::max<uint64_t>(nPieces, 1)));
  std::vector<TBgzfPiece> pieces(slots);
  std::atomic<uint64_t> next{0};
  std::atomic<bool> halt{false};
  std::mutex m;  // guards what follows, and the Done flags
  std::condition_variable cv;
  uint64_t committed = 0;  // pieces committed, in file order
  uint64_t chain = 0;      // where the committed walk has reached
  uint64_t n = 0;          // blocks in the table
  TZelErr failure;

  // Walks piece s from start, or from the first block start found in it (cNoOfs).
  auto run = [&](uint64_t s, uint64_t start, TBgzfWindow& w, uint8_t* block) {
    const uint32_t slot = uint32_t(s % slots);
    TBgzfPiece& pc = pieces[slot];
    pc.Found = false;
    pc.Blocks.clear();
    pc.Decoded = 0;
    pc.Err.Clear();
    if (scan.Begin) scan.Begin(slot);
    const uint64_t lo = s * S, hi = std::min(FRawFileSz, lo + S);
    if (start == cNoOfs) start = s == 0 ? 0 : FindBgzfBlockStart(w, FRawFileSz, lo, hi);
    if (start == cNoOfs) return;
    pc.Found = true;
    pc.Start = pc.End = start;
    uint64_t pos = start;
    WalkBgzfBlocks(
        w, FRawFileSz, FZFileName, pos, hi, block,
        [&](const TBgzfBlockInfo& info, const uint8_t* text) {
          if (halt.load(std::memory_order_relaxed)) return false;
          if (info.ISize) scan.Text(slot, text, info.ISize, pc.Decoded);
          pc.Blocks.push_back(info);
          pc.Decoded += info.ISize;
          return true;
        },
        pc.Err);
    pc.End = pos;
  };
  // Under m: hands the finished pieces on in file order. A piece whose walk did not begin
  // where the one before it ended (its start was a look-alike in some block's data, or none
  // was found) is walked again from there, here.
  auto commitReady = [&](TBgzfWindow& w, uint8_t* block) {
    while (!halt && committed < nPieces && pieces[committed % slots].Done) {
      const uint32_t slot = uint32_t(committed % slots);
      TBgzfPiece& pc = pieces[slot];
      if (!pc.Found || pc.Start != chain) run(committed, chain, w, block);
      if (pc.Err) {
        failure = pc.Err;
        halt = true;
        break;
      }
      const uint64_t base = FCDataIndex.TotalDecompressedSize;
      for (const TBgzfBlockInfo& info : pc.Blocks) AppendBlock(n, info);
      if (!scan.Commit(slot, base, pc.Decoded, pc.End)) {
        failure = TZelErr("", "Indexing cancelled", FZFileName);
        halt = true;
        break;
      }
      chain = pc.End;
      pc.Done = false;
      ++committed;
    }
    cv.notify_all();
  };
  auto worker = [&] {
    // A window holds a piece and the two largest blocks after it: the look for a piece's
    // first block and the walk through it read the file once.
    TBgzfWindow w(FRawRead, nullptr, FRawFileSz, S + 2 * cMaxBgzfBlock + 64);
    try {
      std::unique_ptr<uint8_t[]> block(new uint8_t[BgzfMaxBlockDataSize]);
      for (;;) {
        const uint64_t s = next.fetch_add(1);
        if (s >= nPieces || halt) return;
        {
          std::unique_lock<std::mutex> lk(m);
          cv.wait(lk, [&] { return halt || committed + slots > s; });
          if (halt) return;
        }
        run(s, cNoOfs, w, block.get());
        std::lock_guard<std::mutex> lk(m);
        pieces[s % slots].Done = true;
        commitReady(w, block.get());
      }
    } catch (...) {
      std::lock_guard<std::mutex> lk(m);
      try {
        throw;
      } catch (const std::bad_alloc&) {
        if (!failure)
          failure = TZelErr::User("Out of memory while reading compressed file", FZFileName);
      } catch (...) {
        if (!failure) failure = TZelErr("", "Cannot decode compressed file", FZFileName);
      }
      halt = true;
      cv.notify_all();
    }
  };
  const uint32_t nt = ThreadsToUse(nPieces);
  TZelErr perr = nt > 1 ? ParalleliseProcs(std::vector<std::function<void()>>(nt, worker))
                        : (worker(), TZelErr());
  if (!failure && perr) failure = perr;
  if (!failure && (committed != nPieces || chain != FRawFileSz))
    failure = TZelErr("", "Cannot decode compressed file", FZFileName);
  if (failure) {
    ResizeCDataIndex(0);
    Fail(failure);
    return false;
  }
  return FinishTable(n);
}

bool TBGZFFile::DecodeOneBlock(uint64_t i, const uint8_t* span, uint64_t spanStart,
                               uint64_t spanLen, uint8_t* dst, TZelErr& err) {
  const TCompressedDataIndex& t = FCDataIndex;
  const uint64_t csize = t.CompressedSize[i];
  const uint64_t rel = t.CDataOfs[i] - spanStart;
  if (t.CDataOfs[i] < spanStart || rel > spanLen || csize + 8 > spanLen - rel) {
    err = GzError("Damaged BGZF file", FZFileName, t.CDataOfs[i], "block outside the data read");
    return false;
  }
  const uint8_t* p = span + rel;
  uint32_t crc = uint32_t(GetLE(p + csize, 4));
  uint32_t isize = uint32_t(GetLE(p + csize + 4, 4));
  if (isize != t.DecompressedSize[i]) {
    err = GzError("Damaged BGZF file", FZFileName, t.CDataOfs[i] + csize + 4,
                  "block size differs from the block table");
    return false;
  }
  std::string why;
  if (!InflateBgzfBlock(p, uint32_t(csize), crc, isize, dst, why)) {
    err = GzError("Damaged BGZF block", FZFileName, t.CDataOfs[i], why);
    return false;
  }
  return true;
}

// ------------------------------------------------------------------------------------------
// TGZFile

uint64_t TGZFile::BlockRawStart(uint64_t i) const {
  const TGzAccessPoint& pt = FGzAccessPoints.list[i];
  return pt.cOfsFB - (pt.bits ? 1 : 0);
}

uint64_t TGZFile::BlockRawEnd(uint64_t i) const {
  return i + 1 < FCDataIndex.NRecords ? FCDataIndex.CDataOfs[i + 1] : FRawFileSz;
}

int TGZFile::MakeGzip32kIndex(const TDecodedTextSink& sink) {
  TZelErr err;
  std::vector<uint8_t> buf;
  int r = ::MakeGzip32kIndex(BufferedReader(FRawRead, FRawOfsPtr, buf), FRawFileSz, FGzAccessPoints,
                             FZFileName, err, FSpan, FProgress, sink);
  if (r != Z_OK) Fail(err);
  return r;
}

bool TGZFile::MakeCDataIndex() {
  FHaveCDataIndex = false;
  ResizeCDataIndex(0);
  ClearRegion();
  if (MakeGzip32kIndex(FSink ? *FSink : TDecodedTextSink()) != Z_OK) return false;
  const auto& pts = FGzAccessPoints.list;
  uint64_t n = pts.size();
  ResizeCDataIndex(n);
  TCompressedDataIndex& t = FCDataIndex;
  for (uint64_t i = 0; i < n; ++i) {
    uint64_t cEnd = i + 1 < n ? pts[i + 1].cOfsFB : FRawFileSz;
    uint64_t dEnd = i + 1 < n ? pts[i + 1].dcOfs : FGzAccessPoints.TotalDecompressedSz;
    t.CDataOfs[i] = pts[i].cOfsFB;
    t.CompressedSize[i] = cEnd - pts[i].cOfsFB;
    t.DecompressedFileOfs[i] = pts[i].dcOfs;
    uint64_t d = dEnd - pts[i].dcOfs;
    if (d > 0xFFFFFFFFull) {
      // A span is at most a few deflate blocks past the point distance; never this large.
      ResizeCDataIndex(0);
      Fail(GzError("Damaged gzip file", FZFileName, pts[i].cOfsFB, "access points too far apart"));
      return false;
    }
    t.DecompressedSize[i] = uint32_t(d);
  }
  t.TotalDecompressedSize = FGzAccessPoints.TotalDecompressedSz;
  FHaveCDataIndex = true;
  return true;
}

bool TGZFile::DecodeOneBlock(uint64_t i, const uint8_t* span, uint64_t spanStart, uint64_t spanLen,
                             uint8_t* dst, TZelErr& err) {
  const TCompressedDataIndex& t = FCDataIndex;
  std::string why;
  uint64_t errOfs = 0;
  int64_t got =
      GzIndexedExtract(SpanReader(span, spanStart, spanLen), spanStart + spanLen, FGzAccessPoints,
                       t.DecompressedFileOfs[i], t.DecompressedSize[i], dst, why, errOfs);
  if (got < 0) {
    err = GzError("Damaged gzip file", FZFileName, errOfs, why);
    return false;
  }
  if (uint64_t(got) != t.DecompressedSize[i]) {
    err = GzError("Damaged gzip file", FZFileName, t.CDataOfs[i], "the data ends early");
    return false;
  }
  return true;
}

bool TGZFile::DecompressSection(uint64_t ofs, uint64_t len, uint8_t* dst, uint64_t& extracted) {
  extracted = 0;
  std::string why;
  uint64_t errOfs = 0;
  int64_t r = GzIndexedExtract(FRawOfsPtr, FRawFileSz, FGzAccessPoints, ofs, len, dst, why, errOfs);
  FLastGzExtractResult = int(std::max<int64_t>(r, INT32_MIN));
  if (r < 0) {
    Fail(GzError("Damaged gzip file", FZFileName, errOfs, why));
    return false;
  }
  extracted = uint64_t(r);
  return r > 0;
}

bool TGZFile::SaveDecoderIndexToBuf(std::string&) { return false; }

uint64_t TGZFile::LoadDecoderIndexFromBuf(const uint8_t*, uint64_t) {
  Fail(GzError("Damaged index file", FZFileName, 0,
               "a gzip block table cannot be read back; the file is indexed again"));
  return cNoOfs;
}

bool TGZFile::OpenFile(const std::string& fileName) {
  FGzFileName.clear();
  FGzComment.clear();
  FGzCrc32 = FGzDecompressedSz32 = 0;
  if (!LoadMMF(fileName, 0, cDefMMFPartSz, false)) {
    FZFileName = fileName;
    Fail(TZelErr::User("Cannot open file", fileName));
    return false;
  }
  uint64_t sz = FileSize();
  const uint8_t* h = sz > 17 ? RawOfsPtr(0, 10) : nullptr;
  if (!h || h[0] != 0x1F || h[1] != 0x8B || h[2] != 8) {
    FZFileName = fileName;
    Fail(GzError("Not a gzip file", fileName, 0, "no gzip header"));
    CloseMMF();
    return false;
  }
  uint8_t flg = h[3];
  uint64_t pos = 10;
  auto readZ = [&](std::string& out) {
    while (pos < sz) {
      const uint8_t* c = RawOfsPtr(pos++, 1);
      if (!c || *c == 0) return;
      if (out.size() < 255) out.push_back(char(*c));
    }
  };
  if (flg & (1 << gzFEXTRA)) {
    const uint8_t* x = pos + 2 <= sz ? RawOfsPtr(pos, 2) : nullptr;
    pos += 2 + (x ? GetLE(x, 2) : 0);
  }
  if (flg & (1 << gzFNAME)) readZ(FGzFileName);
  if (flg & (1 << gzFCOMMENT)) readZ(FGzComment);
  if (const uint8_t* tr = RawOfsPtr(sz - 8, 8)) {
    FGzCrc32 = uint32_t(GetLE(tr, 4));
    FGzDecompressedSz32 = uint32_t(GetLE(tr + 4, 4));
  }
  return TZCompressedFile::OpenFile(fileName);
}

// ------------------------------------------------------------------------------------------

uint64_t ZelPreferredDecodeBufferSz(TZCompressionType type, uint32_t threads) {
  if (type != zcBGZF) return uint64_t(64) << 20;
  if (threads == 0) threads = nParallel ? *nParallel : 1;
  return threads <= 1 ? uint64_t(256) << 10 : (uint64_t(8) << 20) * threads;
}

namespace {

// Loads fileName into owner with the decoder its first bytes call for; with a separator the
// decoder is initialised by the index pass (gzip then decodes the file only once).
bool LoadAndMaybeIndex(TMMTF& owner, const std::string& fileName, TZelErr& err,
                       uint64_t decodeBufferSz, uint64_t partSz, const std::string* separator) {
  err.Clear();
  TZCompressionType type = GuessZCompression(fileName);
  std::shared_ptr<TZCompressedFile> dec = TZCompressedFile::MakeZDecoder(type, fileName);
  if (dec) {
    owner.SetDecoder(dec, decodeBufferSz ? decodeBufferSz : ZelPreferredDecodeBufferSz(type));
    owner.SetAutoInitialiseDecoderOnLoadMMF(separator == nullptr);
  }
  bool ok = owner.LoadMMF(fileName, 0, partSz, false) &&
            (!separator || owner.MakeIndex(*separator) != cNoIdx);
  owner.SetAutoInitialiseDecoderOnLoadMMF(true);
  if (ok) return true;
  if (owner.LastError().IsError())
    err = owner.LastError();
  else if (dec && dec->LastError().IsError())
    err = dec->LastError();
  else
    err = TZelErr::User(separator ? "Cannot index file" : "Cannot open file", fileName);
  return false;
}

}  // namespace

bool ZelLoadMaybeCompressed(TMMTF& owner, const std::string& fileName, TZelErr& err,
                            uint64_t decodeBufferSz, uint64_t partSz) {
  return LoadAndMaybeIndex(owner, fileName, err, decodeBufferSz, partSz, nullptr);
}

bool ZelLoadAndIndex(TMMTF& owner, const std::string& fileName, TZelErr& err,
                     const std::string& separator, uint64_t decodeBufferSz, uint64_t partSz) {
  return LoadAndMaybeIndex(owner, fileName, err, decodeBufferSz, partSz, &separator);
}
