// Indexed text file: mapping in parts, building separator indexes, item and subitem access.
#include "fileaccess/korMMTF.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "fileaccess/faScan.h"
#include "fileaccess/korFileIO.h"

namespace {
constexpr uint64_t cScanStep = 64ull << 20;
constexpr uint64_t cMinDecodeBuf = 0x10000;
constexpr uint64_t cDefDecodeBuf = 0x4000000;
constexpr uint64_t cReadChunk = 256ull << 10;  // read buffer of the indexing pass (cache-sized)
}  // namespace

TMMTF::TMMTF() { SetIndexParams(1, 26843545, 0, false, 16, 0); }

TMMTF::~TMMTF() { CloseMMF(); }

void TMMTF::SetIndexParams(uint8_t minItemSz, uint64_t resizeBy, uint64_t initLen, bool mayOverlap,
                           uint8_t alignment, uint8_t padding) {
  FNxtIdxMinItemSz = std::clamp<uint8_t>(minItemSz, 1, 8);
  FNxtIdxResizeBy = resizeBy ? resizeBy : 1;
  FNxtIdxInitLen = initLen;
  FNxtIdxItemsMayOverlap = mayOverlap;
  FNxtIdxItemAlignment = alignment;
  FNxtIdxItemPadding = padding;  // entries are always packed; kept for callers that ask
}

void TMMTF::SetDecoder(std::shared_ptr<IRawDataDecoder> decoder, uint64_t bufferSz) {
  if (!decoder) return;
  if (FRawDataDecoder && FRawDataDecoder != decoder) FRawDataDecoder->SetRawReader(nullptr);
  FRawDataDecoder = std::move(decoder);
  FRedirectRawDataToDecoder = true;
  if (bufferSz == 0) bufferSz = cDefDecodeBuf;
  if (bufferSz < cMinDecodeBuf) bufferSz = cMinDecodeBuf;
  FDecodeBufferSz = bufferSz;
}

uint64_t TMMTF::GetDecodedFileSz() {
  if (FRedirectRawDataToDecoder && FRawDataDecoder) return FRawDataDecoder->GetDecodedFileSz();
  return FMMF ? FFileSz : FDataSz;
}

// ---------------------------------------------------------------- file and memory

bool TMMTF::LoadMMF(const std::string& fileName, uint64_t start, uint64_t partSz, bool deferLoad) {
  FLastError.Clear();
  if (fileName.empty() || partSz == 0) {
    SetError(TZelErr::User("Cannot open file", fileName));
    return false;
  }
  if (!DoesFileExist(fileName)) {
    SetError(TZelErr::User("File not found", fileName));
    return false;
  }
  CloseMMF();
  FMMF = std::make_unique<TMemMappedFile>(fileName, 0, maRead);
  int64_t sz = FMMF->TotalFileSize();
  if (!FMMF->Established() || sz <= 0) {
    int err = FMMF->LastOSError();
    CloseMMF();
    SetError(TZelErr::User(sz == 0 ? "File is empty" : "Cannot open file: " + FioErrorText(err),
                           fileName));
    return false;
  }
  FFileSz = static_cast<uint64_t>(sz);
  if (!FMMF->IsValidViewOffset(start) || start >= FFileSz) {
    CloseMMF();
    SetError(TZelErr("", "Invalid start offset", fileName));
    return false;
  }
  FFileChunkSz = FMMF->NextValidViewOffset(partSz);
  for (uint64_t o = start; o < FFileSz; o += FFileChunkSz)
    FMMFParts.push_back({o, std::min(FFileChunkSz, FFileSz - o)});
  if (deferLoad) {
    FCurrMMFPart = cNoIdx;
  } else if (!LoadMmfPart(0)) {
    int err = FMMF->LastOSError();
    CloseMMF();
    SetError(TZelErr::User("Cannot map file: " + FioErrorText(err), fileName));
    return false;
  }
  FLastLoadedMMFileName = fileName;
  FFileMTimeNs = FileMTimeNs(fileName);
  if (FRedirectRawDataToDecoder && FRawDataDecoder)
    FRawDataDecoder->SetRawReader([this](uint64_t o, void* d, uint64_t n) -> int64_t {
      return FMMF ? FMMF->ReadAt(o, d, n) : -1;
    });
  FDecoderPending =
      FRedirectRawDataToDecoder && FRawDataDecoder && !FAutoInitialiseDecoderOnLoadMMF;
  if (FRedirectRawDataToDecoder && FRawDataDecoder && FAutoInitialiseDecoderOnLoadMMF) {
    bool ok = FRawDataDecoder->InitialiseDecoder(
        [this](uint64_t o, uint64_t l) { return RawOfsPtr(o, l); },
        [this](const uint8_t* p, uint64_t s) { MemAttachPrivate(p, s); }, FFileSz);
    if (!ok) {
      TZelErr e = FRawDataDecoder->LastError();
      if (!e) e = TZelErr::User("Cannot decode compressed file", fileName);
      SetError(e);
      return false;
    }
  }
  return true;
}

// Detaches the data when it lies in a view that is about to be closed.
static bool PtrInView(const TMMFView& v, const uint8_t* p) {
  return v.ViewPtr && p >= v.ViewPtr && p < v.ViewPtr + v.ViewSz;
}

bool TMMTF::LoadMmfPart(uint32_t part) {
  if (!FMMF || part >= FMMFParts.size()) return false;
  if (FPDataStart && PtrInView(FMMF->LastView(), FPDataStart)) ClearMemData();
  FMMF->CloseAllViews();
  FCurrMMFPart = part;
  uint32_t id = FMMF->OpenView(FMMFParts[part].StartOffset, FMMFParts[part].Size);
  TMMFView v = FMMF->GetView(id);
  if (id == cMMFNoView || v.ViewSz == 0) {
    FMMF->CloseAllViews();
    FCurrMMFPart = cNoIdx;
    ClearMemData();
    return false;
  }
  MemAttach(v.ViewPtr, v.ViewSz);
  return true;
}

bool TMMTF::LoadNextMMFPart() {
  if (!FMMF || FMMFParts.empty()) return false;
  if (FCurrMMFPart != cNoIdx && FCurrMMFPart + 1 >= FMMFParts.size()) return false;
  return LoadMmfPart(FCurrMMFPart == cNoIdx ? 0 : FCurrMMFPart + 1);
}

bool TMMTF::LoadCustomMmfArea(uint64_t offset, uint64_t size) {
  if (!FMMF) return false;
  FCurrMMFPart = cNoIdx;
  if (FPDataStart && PtrInView(FMMF->LastView(), FPDataStart)) ClearMemData();
  FMMF->CloseAllViews();
  if (size == 0 || offset >= FFileSz || size > FFileSz - offset) return false;
  uint64_t vofs = offset - FMMF->BytesAfterValidViewOffset(offset);
  uint32_t id = FMMF->OpenView(vofs, offset + size - vofs);
  TMMFView v = FMMF->GetView(id);
  if (id == cMMFNoView || v.ViewSz < offset + size - vofs) {
    FMMF->CloseAllViews();
    return false;
  }
  MemAttach(v.ViewPtr + (offset - vofs), size);
  return true;
}

void TMMTF::CloseMMF() {
  ClearMemData();
  if (FRawDataDecoder && FMMF) FRawDataDecoder->SetRawReader(nullptr);
  FMMF.reset();
  FFileSz = 0;
  FFileChunkSz = 0;
  FMMFParts.clear();
  FCurrMMFPart = cNoIdx;
  FDecoderPending = false;
  FWinLen = 0;
}

void TMMTF::MemAttach(const uint8_t* p, uint64_t size) {
  ClearMemData();
  if (p && size) {
    FPDataStart = p;
    FDataSz = size;
    if (FRedirectRawDataToDecoder && FRawDataDecoder) FRawDataDecoder->MemAttach(p, size);
  }
}

void TMMTF::MemAttachPrivate(const uint8_t* p, uint64_t size) {
  ClearMemData();
  if (p && size) {
    FPDataStart = p;
    FDataSz = size;
  }
}

const uint8_t* TMMTF::RawOfsPtr(uint64_t offset, uint64_t length) {
  if (length == 0) return nullptr;
  if (!FMMF) {  // memory attached without a file: its bytes are the whole data
    if (!FPDataStart || offset >= FDataSz || length > FDataSz - offset) return nullptr;
    return FPDataStart + offset;
  }
  if (offset >= FFileSz || length > FFileSz - offset) return nullptr;
  TMMFView v = FMMF->LastView();
  if (v.ViewPtr && offset >= v.ViewOfs && offset - v.ViewOfs <= v.ViewSz &&
      length <= v.ViewSz - (offset - v.ViewOfs))
    return v.ViewPtr + (offset - v.ViewOfs);
  if (FDenyReloads || FMMFParts.empty()) return nullptr;
  if (offset < FMMFParts[0].StartOffset) {
    return LoadCustomMmfArea(offset, length) ? FPDataStart : nullptr;
  }
  uint64_t part = (offset - FMMFParts[0].StartOffset) / FFileChunkSz;
  if (part >= FMMFParts.size()) return nullptr;
  const TMMFPart& pt = FMMFParts[part];
  if (offset + length <= pt.StartOffset + pt.Size) {
    if (!LoadMmfPart(static_cast<uint32_t>(part))) return nullptr;
    v = FMMF->LastView();
    return v.ViewPtr + (offset - v.ViewOfs);
  }
  return LoadCustomMmfArea(offset, length) ? FPDataStart : nullptr;
}

const uint8_t* TMMTF::OfsPtr(uint64_t offset, uint64_t length) {
  if (FRedirectRawDataToDecoder && FRawDataDecoder)
    return length ? FRawDataDecoder->OfsPtr(offset, length) : nullptr;
  if (FReadWindowSz && FMMF && !FDenyReloads) return WindowPtr(offset, length);
  return RawOfsPtr(offset, length);
}

const uint8_t* TMMTF::WindowPtr(uint64_t offset, uint64_t length) {
  if (length == 0 || offset >= FFileSz || length > FFileSz - offset) return nullptr;
  if (offset >= FWinOfs && offset - FWinOfs <= FWinLen && length <= FWinLen - (offset - FWinOfs))
    return FWinBuf.get() + (offset - FWinOfs);
  // A read that continues the window (items taken in order) gets a whole window; any other
  // gets little more than it asked for, so scattered reads copy little.
  const bool onward = FWinLen && offset >= FWinOfs && offset - FWinOfs <= FWinLen;
  uint64_t n = std::max<uint64_t>(length, onward ? FReadWindowSz : 0x10000);
  n = std::min(n, FFileSz - offset);
  FWinLen = 0;
  if (FWinCap < n) {
    FWinBuf.reset();
    FWinCap = 0;
    FWinBuf.reset(new (std::nothrow) uint8_t[n]);
    if (!FWinBuf) return RawOfsPtr(offset, length);
    FWinCap = n;
  }
  if (FMMF->ReadAt(offset, FWinBuf.get(), n) != static_cast<int64_t>(n)) return nullptr;
  FWinOfs = offset;
  FWinLen = n;
  return FWinBuf.get();
}

std::string TMMTF::GuessLineBreak() {
  const uint8_t* p = FPDataStart;
  uint64_t n = FDataSz;
  uint32_t remembered = FCurrMMFPart;
  bool viaDecoder = FRedirectRawDataToDecoder && FRawDataDecoder;
  if (viaDecoder) {
    n = std::min(GetDecodedFileSz(), FDecodeBufferSz);
    p = n ? FRawDataDecoder->OfsPtr(0, n) : nullptr;
  }
  int kind = 0;  // 0 none, 1 LF, 2 CR LF, 3 CR
  if (p && n) {
    int64_t lf = FaScanB(p, n, '\n');
    if (lf >= 0)
      kind = (lf > 0 && p[lf - 1] == '\r') ? 2 : 1;
    else if (FaScanB(p, n, '\r') >= 0)
      kind = 3;
  }
  static const std::string kBreaks[4] = {"", "\n", "\r\n", "\r"};
  const std::string& r = kBreaks[kind];
  if (viaDecoder && remembered != cNoIdx && !FDenyReloads) LoadMmfPart(remembered);
  return r;
}

// ---------------------------------------------------------------- indexes

void TMMTF::ClearIndices() {
  FIndices.clear();
  FIndexPosMappings.clear();
}

void TMMTF::SetIdx(std::vector<TCompactIndex> indices) {
  FIndices = std::move(indices);
  FIndexPosMappings.clear();
}

namespace {

// Calls emit(i) for the offset i of every byte b in d[0, n), in increasing order.
template <class Emit>
inline void ScanByteHits(const uint8_t* d, uint64_t n, uint8_t b, Emit&& emit) {
  uint64_t i = 0;
#if defined(__SSE2__)
  // Dense separators (a line break every few dozen bytes): a bit mask per 64 bytes costs less
  // than one scan call per line.
  const __m128i vb = _mm_set1_epi8(static_cast<char>(b));
  for (; n - i >= 64; i += 64) {
    const __m128i* v = reinterpret_cast<const __m128i*>(d + i);
    uint64_t m = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v), vb)));
    m |= static_cast<uint64_t>(
             static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 1), vb))))
         << 16;
    m |= static_cast<uint64_t>(
             static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 2), vb))))
         << 32;
    m |= static_cast<uint64_t>(
             static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(v + 3), vb))))
         << 48;
    for (; m; m &= m - 1) emit(i + static_cast<uint64_t>(__builtin_ctzll(m)));
  }
#endif
  while (i < n) {
    int64_t f = FaScanB(d + i, n - i, b);
    if (f < 0) break;
    emit(i + static_cast<uint64_t>(f));
    i += static_cast<uint64_t>(f) + 1;
  }
}

// Pieces of a file decoding on other threads whose hits are held at once.
constexpr uint32_t cParallelSlots = 16;

// Largest number of blocks one decode call may take while their hits are gathered per block.
uint64_t MaxHookBlocks(uint64_t bufSz) { return bufSz / 4096 + 64; }

// What one piece of text decoded on its own thread knows about items beginning with a watched
// byte: those after a separator inside the piece (Count), and its ends, settled in file order.
struct TWatchPiece {
  uint64_t Count = 0;
  int First = -1;        // the piece's first byte; -1 while it has none
  bool EndsSep = false;  // its last byte is the separator
  bool Seen = false;
  // Text of the piece in order (several calls for one piece are joined here).
  void Add(const uint8_t* d, uint64_t n, uint8_t sep, uint8_t wb) {
    if (n == 0) return;
    if (!Seen) {
      First = d[0];
      Seen = true;
    } else if (EndsSep && d[0] == wb) {
      ++Count;
    }
    EndsSep = d[n - 1] == sep;
  }
  // Scans the piece for the separator, recording each hit (relative to d) and the items that
  // begin with the watched byte after it.
  template <class Emit>
  void Scan(const uint8_t* d, uint64_t n, uint8_t sep, uint8_t wb, Emit&& emit) {
    Add(d, n, sep, wb);
    ScanByteHits(d, n, sep, [&](uint64_t i) {
      emit(i);
      Count += i + 1 < n && d[i + 1] == wb;
    });
  }
};

}  // namespace

// The index under construction, shared by the passes of MakeIndex: it takes the text (or the
// hits found on other threads) in file order, checks that every stretch follows the last one
// without a gap, and reports progress.
class TMMTFIndexWriter {
 public:
  // watchByte: 0..255 to count the items beginning with that byte (one-byte separators
  // only), -1 for none.
  TMMTFIndexWriter(TOfsArray& a, const std::string& separator, uint64_t growBy, bool mayOverlap,
                   IZelProgress* progress, int watchByte)
      : FA(a),
        FSep(reinterpret_cast<const uint8_t*>(separator.data())),
        FL(separator.size()),
        FGrowBy(growBy),
        FMayOverlap(mayOverlap),
        FProgress(progress),
        FWatch(separator.size() == 1 && watchByte >= 0 && watchByte <= 255),
        FWb(FWatch ? static_cast<uint8_t>(watchByte) : 0) {}

  // Set: Data reports progress as decoded bytes of total (passes that know the decoded size).
  void ProgressPerData(uint64_t total) {
    FPerData = true;
    FTotal = total;
  }
  uint64_t Next() const { return FExpected; }  // offset the next stretch must start at
  // Data resumes at ofs after bytes that cannot hold the separator (a hole of a sparse file).
  void SkipTo(uint64_t ofs) {
    FExpected = ofs;
    FCarry.clear();
    FWatchPending = false;  // the hole's zeros follow the last separator
  }
  // False when a stretch at base would leave a gap; the first stretch may start anywhere.
  bool Follows(uint64_t base) {
    if (!FFirst && base != FExpected) return false;
    FFirst = false;
    return true;
  }
  bool Progress(uint64_t done, uint64_t total) {
    if (!FProgress) return true;
    FProgress->Progress(done, total);
    return !FProgress->Cancelled();
  }
  // The stretch of hits ends at end; false when cancelled (progress per data only).
  bool EndAt(uint64_t end) {
    FExpected = end;
    return !FPerData || Progress(FExpected, FTotal);
  }

  // Records the occurrences in one stretch of contiguous data starting at offset base; false
  // on a gap or when cancelled.
  bool Data(const uint8_t* d, uint64_t n, uint64_t base);
  // Appends offsets found on other threads, each plus add.
  void AppendHits(const std::vector<uint64_t>& h, uint64_t add);
  void Narrow(uint8_t width) { FA.Narrow(width); }
  uint8_t Byte() const { return FSep[0]; }
  uint64_t SepLen() const { return FL; }
  bool SepHasNul() const { return std::memchr(FSep, 0, FL) != nullptr; }
  bool Started() const { return !FFirst; }

  // Items beginning with the watched byte: counted where each separator is found; a separator
  // that ends a piece of data is settled by the first byte of the next piece, pieces being
  // settled in file order. The start of the data counts as after a separator.
  bool Watching() const { return FWatch; }
  uint8_t WatchedByte() const { return FWb; }
  uint64_t Watched() const { return FWatched; }
  // A piece scanned on another thread, settled in file order before its hits are appended.
  void Settle(const TWatchPiece& p) {
    if (!FWatch || !p.Seen) return;
    FWatched += p.Count + (FWatchPending && p.First == FWb ? 1 : 0);
    FWatchPending = p.EndsSep;
  }

 private:
  // Room for one more entry: grows by the index's own size, at least 64 Ki, at most FGrowBy.
  void Grow() {
    uint64_t g = FA.Capacity() < (1u << 16) ? (1u << 16) : FA.Capacity();
    if (g > FGrowBy) g = FGrowBy;
    FA.Reserve(FA.Capacity() + g);
  }

  TOfsArray& FA;
  const uint8_t* FSep;
  const uint64_t FL;
  const uint64_t FGrowBy;
  const bool FMayOverlap;
  IZelProgress* FProgress;
  bool FPerData = false;
  uint64_t FTotal = 0;
  std::string FCarry;  // last min(L - 1, seen) bytes of the data already indexed
  uint64_t FExpected = 0;
  bool FFirst = true;
  const bool FWatch;
  const uint8_t FWb;
  uint64_t FWatched = 0;
  bool FWatchPending = true;  // the data seen so far ends with a separator
};

bool TMMTFIndexWriter::Data(const uint8_t* d, uint64_t n, uint64_t base) {
  if (!Follows(base)) return false;  // data must follow without a gap
  TOfsArray& a = FA;
  const uint64_t L = FL;
  const uint8_t* sep = FSep;
  uint64_t skip = 0;
  if (L > 1 && !FCarry.empty()) {
    std::string j = FCarry;
    j.append(reinterpret_cast<const char*>(d), std::min<uint64_t>(L - 1, n));
    const uint8_t* jp = reinterpret_cast<const uint8_t*>(j.data());
    uint64_t pos = 0;
    while (pos < FCarry.size()) {
      int64_t f = FaFindStr(jp + pos, j.size() - pos, sep, L);
      if (f < 0 || pos + f >= FCarry.size()) break;
      uint64_t at = pos + static_cast<uint64_t>(f);
      a.Push(base - FCarry.size() + at, FGrowBy);
      skip = FMayOverlap ? 0 : at + L - FCarry.size();
      pos = at + (FMayOverlap ? 1 : L);
    }
  }
  // The data is scanned in stretches of cScanStep bytes.
  const uint8_t* p = d + skip;
  const uint8_t* const end = d + n;
  const uint64_t step = FMayOverlap ? 1 : L;
  const uint8_t w = a.FWidth;
  uint64_t cnt = a.Count();
  if (FWatch && n > 0) {
    if (FWatchPending && d[0] == FWb) ++FWatched;
    FWatchPending = d[n - 1] == sep[0];
  }
  const bool watch = FWatch;
  const uint8_t wb = FWb;
  uint64_t watched = 0;
  while (p < end) {
    const uint8_t* ce = end - p > static_cast<int64_t>(cScanStep) ? p + cScanStep : end;
    if (L == 1) {
      const uint64_t at = base + static_cast<uint64_t>(p - d);
      const uint8_t* const pw = p + 1;  // the byte after hit i is pw[i]
      const uint64_t inData = static_cast<uint64_t>(end - pw);
      ScanByteHits(p, static_cast<uint64_t>(ce - p), sep[0], [&](uint64_t i) {
        if (cnt == a.Capacity()) {
          a.FCount = cnt;
          Grow();
        }
        uint64_t v = at + i;
        std::memcpy(a.FData + cnt * w, &v, 8);
        ++cnt;
        if (watch) watched += i < inData && pw[i] == wb;
      });
      p = ce;
    } else {
      // Occurrences that start in this stretch may end in the next one.
      const uint8_t* we = static_cast<uint64_t>(end - ce) > L - 1 ? ce + (L - 1) : end;
      for (;;) {
        int64_t f = FaFindStr(p, static_cast<uint64_t>(we - p), sep, L);
        if (f < 0 || p + f >= ce) break;
        const uint8_t* q = p + f;
        if (cnt == a.Capacity()) {
          a.FCount = cnt;
          Grow();
        }
        uint64_t v = base + static_cast<uint64_t>(q - d);
        std::memcpy(a.FData + cnt * w, &v, 8);
        ++cnt;
        p = q + step;
      }
    }
    if (p < ce) p = ce;
  }
  a.FCount = cnt;
  FWatched += watched;
  if (L > 1) {
    FCarry.append(reinterpret_cast<const char*>(d + (n > L - 1 ? n - (L - 1) : 0)),
                  std::min<uint64_t>(n, L - 1));
    if (FCarry.size() > L - 1) FCarry.erase(0, FCarry.size() - (L - 1));
  }
  return EndAt(base + n);
}

void TMMTFIndexWriter::AppendHits(const std::vector<uint64_t>& h, uint64_t add) {
  TOfsArray& a = FA;
  const uint8_t w = a.FWidth;
  uint64_t cnt = a.Count();
  for (uint64_t v : h) {
    if (cnt == a.Capacity()) {
      a.FCount = cnt;
      Grow();
    }
    v += add;
    std::memcpy(a.FData + cnt * w, &v, 8);
    ++cnt;
  }
  a.FCount = cnt;
}

uint32_t TMMTF::MakeIndex(const std::string& separator, uint32_t index) {
  FLastError.Clear();
  const bool viaDecoder = FRedirectRawDataToDecoder && FRawDataDecoder;
  bool haveParts = FMMF && !FMMFParts.empty();
  if (separator.empty()) return cNoIdx;
  if (!viaDecoder && !FPDataStart && !(haveParts && !FDenyReloads)) return cNoIdx;
  if (viaDecoder && !haveParts) return cNoIdx;
  if (index != cNoIdx && index >= FIndices.size()) return cNoIdx;
  // A decoder left for this call: one that decodes the whole file for its table hands that
  // pass's text over (the index is built in the same pass); any other is initialised here.
  // A one-byte separator can be found by the threads that decode pieces of the file.
  bool streamPass = false, parallelPass = false;
  if (viaDecoder && FDecoderPending) {
    parallelPass = separator.size() == 1 && FRawDataDecoder->CanInitialiseInParallel();
    streamPass = parallelPass || FRawDataDecoder->CanInitialiseWithSink();
    if (!streamPass) {
      FDecoderPending = false;
      if (!FRawDataDecoder->InitialiseDecoder(
              [this](uint64_t o, uint64_t l) { return RawOfsPtr(o, l); },
              [this](const uint8_t* p, uint64_t s) { MemAttachPrivate(p, s); }, FFileSz)) {
        TZelErr e = FRawDataDecoder->LastError();
        SetError(e ? e : TZelErr::User("Cannot decode compressed file", FLastLoadedMMFileName));
        return cNoIdx;
      }
    }
  }
  bool appended = index == cNoIdx;
  if (appended) {
    FIndices.emplace_back();
    index = static_cast<uint32_t>(FIndices.size() - 1);
  }
  FIndexPosMappings.erase(std::remove_if(FIndexPosMappings.begin(), FIndexPosMappings.end(),
                                         [&](const TIndexPosMapping& m) {
                                           return m.RefIdx == index || m.QueryIdx == index;
                                         }),
                          FIndexPosMappings.end());
  TCompactIndex& ci = FIndices[index];
  ci.IndexedStr = separator;
  // The decoded size is known only after a streamed pass: offsets are held at full width until
  // then and packed afterwards.
  FCurrIdxItemSz = streamPass ? 8 : std::max(FaReqB64(GetDecodedFileSz()), FNxtIdxMinItemSz);
  TOfsArray& a = ci.Idx;
  a.Make(FCurrIdxItemSz, 0);
  FWatchedItemStarts = 0;
  FLineVisitorRan = false;
  TMMTFIndexWriter wr(a, ci.IndexedStr, FNxtIdxResizeBy, FNxtIdxItemsMayOverlap, FProgress,
                      FItemStartWatch);
  TZelErr err;
  try {
    a.Reserve(FNxtIdxInitLen);
    if (streamPass) {
      err = IndexStreamed(wr, parallelPass);
    } else {
      wr.ProgressPerData(GetDecodedFileSz());
      err = viaDecoder ? IndexDecodedBlocks(wr) : IndexPlain(wr);
    }
    if (!err) {
      a.ShrinkToFit();
      FWatchedItemStarts = wr.Watched();
    }
  } catch (const std::bad_alloc&) {
    err = TZelErr("", "Out of memory while indexing", FLastLoadedMMFileName);
  }
  if (err) {
    if (appended)
      FIndices.pop_back();
    else
      FIndices[index].Idx.Make(FCurrIdxItemSz, 0);
    SetError(std::move(err));
    return cNoIdx;
  }
  return index;
}

namespace {

// Hands a line visitor the lines of text decoded in pieces (see ITextLineVisitor): each piece
// keeps the text before its first separator and after its last (a line cut by a block end is
// gathered whole), and the committing thread joins them across pieces. Does nothing without a
// visitor.
class TLineJoiner {
 public:
  TLineJoiner(ITextLineVisitor* lv, uint32_t slots, uint8_t sep) : FLv(lv), FSep(char(sep)) {
    if (!FLv) return;
    FSlots.resize(slots);
    FLv->Slots(slots);
  }
  void Begin(uint32_t slot) {
    if (!FLv) return;
    TSlot& st = FSlots[slot];
    st.Sep = false;
    st.Head.clear();
    st.Tail.clear();
    FLv->Begin(slot);
  }
  void Text(uint32_t slot, const uint8_t* d, uint64_t n) {
    if (!FLv) return;
    TSlot& st = FSlots[slot];
    const char* p = reinterpret_cast<const char*>(d);
    const char* const e = p + n;
    while (p < e) {
      const char* nl = static_cast<const char*>(std::memchr(p, FSep, size_t(e - p)));
      if (!nl) {
        st.Tail.append(p, size_t(e - p));
        break;
      }
      if (!st.Sep) {
        st.Head.swap(st.Tail);
        st.Head.append(p, size_t(nl - p));
        st.Tail.clear();
        st.Sep = true;
      } else if (!st.Tail.empty()) {
        st.Tail.append(p, size_t(nl - p));
        FLv->Line(slot, st.Tail.data(), st.Tail.size());
        st.Tail.clear();
      } else {
        FLv->Line(slot, p, uint64_t(nl - p));
      }
      p = nl + 1;
    }
  }
  // Pieces in file order.
  void Commit(uint32_t slot) {
    if (!FLv) return;
    TSlot& st = FSlots[slot];
    if (st.Sep) {
      FCarry += st.Head;
      FLv->Commit(slot, FCarry.data(), FCarry.size());
      FCarry.swap(st.Tail);
      st.Tail.clear();
    } else {
      FCarry += st.Tail;
    }
  }
  // After the last piece; true when there is a visitor (it has then seen every line).
  bool End() {
    if (FLv) FLv->End(FCarry.data(), FCarry.size());
    return FLv != nullptr;
  }

 private:
  struct TSlot {
    bool Sep = false;
    std::string Head, Tail;
  };
  ITextLineVisitor* FLv;
  char FSep;
  std::vector<TSlot> FSlots;
  std::string FCarry;
};

}  // namespace

// A decoder that builds its table while it decodes the whole file hands the text over as it
// goes (in order, or in pieces decoded on several threads); the index is packed to the width
// of the decoded size once that is known.
TZelErr TMMTF::IndexStreamed(TMMTFIndexWriter& wr, bool parallel) {
  bool gap = false, stopped = false;
  TRawOfsPtrFunc rawPtr = [this](uint64_t o, uint64_t l) { return RawOfsPtr(o, l); };
  TMemAttachFunc attach = [this](const uint8_t* p, uint64_t s) { MemAttachPrivate(p, s); };
  bool ok;
  if (parallel) {
    // Each piece's hits are kept by the thread that decoded it, relative to the piece, and
    // appended when the piece's place in the file is known.
    TParallelTextScan scan;
    scan.Slots = cParallelSlots;
    std::vector<std::vector<uint64_t>> hits(scan.Slots);
    std::vector<TWatchPiece> wp(scan.Slots);
    TLineJoiner lj(FLineVisitor, scan.Slots, wr.Byte());
    scan.Begin = [&](uint32_t slot) {
      hits[slot].clear();
      wp[slot] = TWatchPiece();
      lj.Begin(slot);
    };
    scan.Text = [&, b = wr.Byte(), wb = wr.WatchedByte()](uint32_t slot, const uint8_t* d,
                                                          uint64_t n, uint64_t ofs) {
      std::vector<uint64_t>& h = hits[slot];
      if (wr.Watching())
        wp[slot].Scan(d, n, b, wb, [&](uint64_t i) { h.push_back(ofs + i); });
      else
        ScanByteHits(d, n, b, [&](uint64_t i) { h.push_back(ofs + i); });
      lj.Text(slot, d, n);
    };
    scan.Commit = [&](uint32_t slot, uint64_t base, uint64_t len, uint64_t rawEnd) {
      if (base != wr.Next()) {
        gap = true;
        return false;
      }
      wr.Settle(wp[slot]);
      wr.AppendHits(hits[slot], base);
      wr.EndAt(base + len);
      lj.Commit(slot);
      if (!wr.Progress(rawEnd, FFileSz)) {
        stopped = true;
        return false;
      }
      return true;
    };
    ok = FRawDataDecoder->InitialiseDecoderInParallel(rawPtr, attach, FFileSz, scan);
    FLineVisitorRan = ok && !gap && !stopped && lj.End();
  } else {
    // A line visitor sees each stretch of text as a piece of its own, in slot 0.
    TLineJoiner lj(FLineVisitor, 1, wr.Byte());
    TDecodedTextSink sink = [&](const uint8_t* d, uint64_t n, uint64_t base, uint64_t rawOfs) {
      if (!wr.Data(d, n, base)) {
        gap = true;
        return false;
      }
      lj.Begin(0);
      lj.Text(0, d, n);
      lj.Commit(0);
      if (!wr.Progress(rawOfs, FFileSz)) {
        stopped = true;
        return false;
      }
      return true;
    };
    ok = FRawDataDecoder->InitialiseDecoderWithSink(rawPtr, attach, FFileSz, sink);
    FLineVisitorRan = ok && !gap && !stopped && lj.End();
  }
  FDecoderPending = false;
  ClearMemData();
  if (gap) return TZelErr("", "Decoder returned a gap", FLastLoadedMMFileName);
  if (stopped) return TZelErr("", "Indexing cancelled", FLastLoadedMMFileName);
  if (!ok) {
    TZelErr e = FRawDataDecoder->LastError();
    return e ? e : TZelErr::User("Cannot decode compressed file", FLastLoadedMMFileName);
  }
  const uint64_t decSz = GetDecodedFileSz();
  if (wr.Next() != decSz)
    return TZelErr::User("Compressed file is shorter than its block table says",
                         FLastLoadedMMFileName);
  FCurrIdxItemSz = std::max(FaReqB64(decSz), FNxtIdxMinItemSz);
  wr.Narrow(FCurrIdxItemSz);
  if (!FDenyReloads) LoadMmfPart(FCurrMMFPart < FMMFParts.size() ? FCurrMMFPart : 0);
  return {};
}

// A plain file: memory attached by the caller, or the mapped parts read in cache-sized pieces.
TZelErr TMMTF::IndexPlain(TMMTFIndexWriter& wr) {
  if (!FMMF || FMMFParts.empty()) {  // memory attached by the caller
    if (!wr.Data(FPDataStart, FDataSz, 0))
      return TZelErr("", "Indexing cancelled", FLastLoadedMMFileName);
    return {};
  }
  // The pass reads the parts with pread into one reused buffer instead of faulting in the
  // mapped pages: on virtual machines a page fault costs more than the copy, and the resident
  // memory stays at the index plus the buffer.
  if (!FDenyReloads && FCurrMMFPart != 0 && !LoadMmfPart(0))
    return TZelErr::User("Cannot map file", FLastLoadedMMFileName);
  uint32_t p0 = 0, p1 = static_cast<uint32_t>(FMMFParts.size());
  if (FDenyReloads) {
    p0 = FCurrMMFPart;
    p1 = FCurrMMFPart < FMMFParts.size() ? FCurrMMFPart + 1 : 0;
  }
  const bool skipHoles = !wr.SepHasNul();
  std::unique_ptr<uint8_t[]> rb;
  if (p0 < p1) rb.reset(new uint8_t[cReadChunk]);
  for (uint32_t pi = p0; pi < p1; ++pi) {
    uint64_t o = FMMFParts[pi].StartOffset;
    const uint64_t e = o + FMMFParts[pi].Size;
    while (o < e) {
      if (skipHoles) {
        // Holes of a sparse file read as zeros and cannot hold the separator.
        const uint64_t at = std::min(FMMF->DataOffsetFrom(o), e);
        if (at > o) {
          o = at;
          wr.SkipTo(o);
          continue;
        }
      }
      const uint64_t n = std::min<uint64_t>(cReadChunk, e - o);
      if (FMMF->ReadAt(o, rb.get(), n) != static_cast<int64_t>(n))
        return TZelErr::User("Cannot read file", FLastLoadedMMFileName);
      if (!wr.Data(rb.get(), n, o)) return TZelErr("", "Indexing cancelled", FLastLoadedMMFileName);
      o += n;
    }
  }
  return {};
}

// A decoder with its block table ready: blocks are decoded a buffer at a time, part by part.
TZelErr TMMTF::IndexDecodedBlocks(TMMTFIndexWriter& wr) {
  if (FDecodeBufferSz < cMinDecodeBuf) FDecodeBufferSz = cMinDecodeBuf;
  if (!FDenyReloads && FCurrMMFPart != 0 && !LoadMmfPart(0))
    return TZelErr::User("Cannot map file", FLastLoadedMMFileName);
  const uint64_t decSz = GetDecodedFileSz();
  uint64_t bufSz = FDecodeBufferSz;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[bufSz]);
  uint64_t block = 0;
  bool allDone = false;
  auto decodeErr = [&]() {
    TZelErr e = FRawDataDecoder->LastError();
    if (!e) e = TZelErr::User("Cannot decode compressed file", FLastLoadedMMFileName);
    return e;
  };
  // A one-byte separator is found by the decoding threads, each in the block it has just
  // decoded while the block is still in its cache; the hits are appended in block order.
  // A decoder that does not call the hook for every block gets its batch scanned here.
  std::vector<std::vector<uint64_t>> hits;
  std::vector<TWatchPiece> wp;
  std::atomic<uint64_t> hookCalls{0};
  auto withHook = [&](TRawDataDecodeBlockParams& q) {
    if (wr.SepLen() != 1) return;
    q.MaxAllowedBlocks = std::min(q.MaxAllowedBlocks, MaxHookBlocks(q.BufferSz));
    if (hits.size() < q.MaxAllowedBlocks) hits.resize(q.MaxAllowedBlocks);
    if (wr.Watching() && wp.size() < q.MaxAllowedBlocks) wp.resize(q.MaxAllowedBlocks);
    hookCalls = 0;
    q.HookOnly = true;
    q.OnBlockDecoded = [&hits, &wp, &hookCalls, watch = wr.Watching(), b = wr.Byte(),
                        wb = wr.WatchedByte()](uint64_t k, const uint8_t* d, uint64_t n,
                                               uint64_t base) {
      if (k >= hits.size()) return;
      std::vector<uint64_t>& h = hits[k];
      h.clear();
      if (watch) {
        wp[k] = TWatchPiece();
        wp[k].Scan(d, n, b, wb, [&](uint64_t i) { h.push_back(base + i); });
      } else {
        ScanByteHits(d, n, b, [&](uint64_t i) { h.push_back(base + i); });
      }
      hookCalls.fetch_add(1, std::memory_order_relaxed);
    };
  };
  auto indexBatch = [&](const TRawDataDecodeBlockParams& q) -> bool {
    if (!q.OnBlockDecoded || hookCalls.load() != q.nBlocksDecoded)
      return wr.Data(buf.get(), q.DecodedSize, q.DecodedOfs);
    if (!wr.Follows(q.DecodedOfs)) return false;
    for (uint64_t k = 0; k < q.nBlocksDecoded; ++k) {
      if (wr.Watching()) wr.Settle(wp[k]);
      wr.AppendHits(hits[k], 0);
    }
    return wr.EndAt(q.DecodedOfs + q.DecodedSize);
  };
  while (!allDone && FCurrMMFPart < FMMFParts.size()) {
    const uint32_t part = FCurrMMFPart;
    const TMMFPart pt = FMMFParts[part];
    bool done = false;
    while (!done) {
      TRawDataDecodeBlockParams prm;
      prm.MaxAllowedRawOfs = pt.StartOffset + pt.Size - 1;
      prm.pBuffer = buf.get();
      prm.BufferSz = bufSz;
      prm.DecodedOfs = wr.Next();
      withHook(prm);
      bool r = FRawDataDecoder->DecodeBlockRange(block, prm);
      // The block limit of the hook ends a call without ending the part.
      if (!r && prm.nBlocksDecoded == prm.MaxAllowedBlocks && prm.TotalBlocksLeft > 0 &&
          prm.TotalBlocksLeft != cNoOfs)
        r = true;
      if (prm.nBlocksDecoded == 0) {
        if (prm.TotalBlocksLeft == 0) {
          allDone = true;
          break;
        }
        // The next block reaches past this part or does not fit the buffer: take it alone,
        // from wherever its raw bytes are, growing the buffer until it fits.
        bool grew = false;
        for (;;) {
          prm = TRawDataDecodeBlockParams();
          prm.MaxAllowedBlocks = 1;
          prm.pBuffer = buf.get();
          prm.BufferSz = bufSz;
          prm.DecodedOfs = wr.Next();
          withHook(prm);
          (void)FRawDataDecoder->DecodeBlockRange(block, prm);  // judged by nBlocksDecoded
          if (prm.nBlocksDecoded == 1) break;
          TZelErr de = FRawDataDecoder->LastError();
          if (de || prm.TotalBlocksLeft == 0 || bufSz >= (uint64_t(1) << 40) ||
              bufSz > 2 * std::max<uint64_t>(decSz, cMinDecodeBuf))
            return decodeErr();
          bufSz *= 2;
          buf.reset();
          buf.reset(new uint8_t[bufSz]);
          grew = true;
        }
        FCurrMMFPart = part;
        r = grew;  // a straddling block ends this part; a grown buffer stays on it
      }
      const bool hookedAll = prm.OnBlockDecoded && hookCalls.load() == prm.nBlocksDecoded;
      if (prm.DecodedSize > prm.BufferSz ||
          (!hookedAll &&
           (FDataSz != prm.DecodedSize || (prm.DecodedSize && FPDataStart != buf.get()))))
        return TZelErr("", "Decoder returned inconsistent data", FLastLoadedMMFileName);
      const bool gap = wr.Started() && prm.DecodedOfs != wr.Next();
      if (!indexBatch(prm))
        return gap ? TZelErr("", "Decoder returned a gap", FLastLoadedMMFileName)
                   : TZelErr("", "Indexing cancelled", FLastLoadedMMFileName);
      block += prm.nBlocksDecoded;
      if (prm.TotalBlocksLeft == 0) allDone = true;
      done = !r || allDone;
    }
    ClearMemData();
    if (allDone || FDenyReloads) break;
    FCurrMMFPart = part;
    if (!LoadNextMMFPart()) break;
  }
  ClearMemData();
  if (wr.Next() != decSz)
    return TZelErr::User("Compressed file is shorter than its block table says",
                         FLastLoadedMMFileName);
  if (!FDenyReloads) LoadMmfPart(FCurrMMFPart < FMMFParts.size() ? FCurrMMFPart : 0);
  return {};
}

uint32_t TMMTF::MapIndices(uint32_t refIdx, uint32_t queryIdx, uint32_t mapping) {
  if (FIndices.size() < 2 || refIdx >= FIndices.size() || queryIdx >= FIndices.size())
    return cNoIdx;
  if (mapping != cNoIdx && mapping >= FIndexPosMappings.size()) return cNoIdx;
  TIndexPosMapping m;
  m.QueryIdx = queryIdx;
  m.RefIdx = refIdx;
  const TOfsArray& R = FIndices[refIdx].Idx;
  const TOfsArray& Q = FIndices[queryIdx].Idx;
  const uint64_t nq = Q.Count();
  m.QueryPos.Make(FaReqB64(nq), R.Count());
  m.OffIndexVal = m.QueryPos.MaxVal();
  uint64_t d = 0;
  for (uint64_t i = 0; i < R.Count(); ++i) {
    uint64_t r = R.Get(i);
    while (d < nq && Q.Get(d) < r) ++d;
    m.QueryPos.Set(i, d < nq ? d : m.OffIndexVal);
  }
  if (mapping == cNoIdx) {
    FIndexPosMappings.push_back(std::move(m));
    return static_cast<uint32_t>(FIndexPosMappings.size() - 1);
  }
  FIndexPosMappings[mapping] = std::move(m);
  return mapping;
}

// ---------------------------------------------------------------- items

uint64_t TMMTF::GetNItems(uint32_t index) const {
  return index < FIndices.size() ? FIndices[index].Idx.Count() + 1 : 0;
}

bool TMMTF::GetItemOfs(uint64_t item, uint64_t& offset, uint64_t& length, uint32_t index) {
  offset = cNoOfs;
  length = 0;
  if (index >= FIndices.size()) return false;
  const TCompactIndex& ci = FIndices[index];
  const uint64_t n = ci.Idx.Count();
  if (item > n) return false;
  const uint64_t L = ci.IndexedStr.size();
  uint64_t start = item == 0 ? 0 : ci.Idx.Get(item - 1) + L;
  uint64_t end = item < n ? ci.Idx.Get(item) : GetDecodedFileSz();
  offset = start;
  length = end > start ? end - start : 0;
  return true;
}

uint64_t TMMTF::GetItemLen(uint64_t item, uint32_t index) {
  uint64_t o, l;
  GetItemOfs(item, o, l, index);
  return l;
}

const uint8_t* TMMTF::GetItemPtr(uint64_t item, uint64_t& length, uint32_t index) {
  uint64_t o;
  if (!GetItemOfs(item, o, length, index) || length == 0) {
    length = 0;
    return nullptr;
  }
  const uint8_t* p = OfsPtr(o, length);
  if (!p) length = 0;
  return p;
}

std::string TMMTF::BytesAt(uint64_t offset, uint64_t length) {
  if (length == 0 || offset == cNoOfs) return {};
  const uint8_t* p = OfsPtr(offset, length);
  return p ? std::string(reinterpret_cast<const char*>(p), length) : std::string();
}

std::string TMMTF::GetItem(uint64_t item, uint32_t index) {
  uint64_t o, l;
  if (!GetItemOfs(item, o, l, index)) return {};
  return BytesAt(o, l);
}

std::vector<std::string> TMMTF::GetItemRange(uint64_t first, uint64_t last, uint32_t index) {
  std::vector<std::string> r;
  if (index >= FIndices.size()) return r;
  uint64_t n = FIndices[index].Idx.Count();
  if (first > n) return r;
  last = std::min(last, n);
  if (last < first) return r;
  r.reserve(last - first + 1);
  for (uint64_t i = first; i <= last; ++i) r.push_back(GetItem(i, index));
  return r;
}

std::vector<std::string> TMMTF::LoadToAStr(const std::string& fileName, uint64_t first,
                                           uint64_t last, std::shared_ptr<IRawDataDecoder> decoder,
                                           const std::string& lineBreak, uint64_t partSz) {
  TMMTF f;
  if (decoder) f.SetDecoder(std::move(decoder));
  if (!f.LoadMMF(fileName, 0, partSz ? partSz : cDefMMFPartSz, false)) return {};
  std::string lb = lineBreak.substr(0, 2);
  if (lb.empty()) lb = f.GuessLineBreak();
  if (lb.empty()) lb = "\r\n";
  if (f.MakeIndex(lb, cNoIdx) == cNoIdx) return {};
  return f.GetItemRange(first, last, 0);
}

// ---------------------------------------------------------------- subitems

bool TMMTF::SetSubitemMode(TSubindexMappingMode mode, const std::string& separator,
                           uint32_t refIdx) {
  FSubitemBrkCh = 0;
  FSubitemIdx = FItemRefIdx = FSubitemMap = cNoIdx;
  FSubitemModeSet = false;
  if (mode == smUnindexed) {
    if (separator.size() != 1) return false;
    FSubitemBrkCh = static_cast<uint8_t>(separator[0]);
  } else if (mode == smIndexed || mode == smIndexedAndMapped) {
    if (refIdx >= FIndices.size()) return false;
    uint32_t q = cNoIdx;
    for (uint32_t i = 0; i < FIndices.size(); ++i)
      if (FIndices[i].IndexedStr == separator) {
        q = i;
        break;
      }
    if (q == cNoIdx) return false;
    if (mode == smIndexed) {
      FSubitemIdx = q;
    } else {
      for (uint32_t m = 0; m < FIndexPosMappings.size(); ++m)
        if (FIndexPosMappings[m].RefIdx == refIdx && FIndexPosMappings[m].QueryIdx == q) {
          FSubitemMap = m;
          break;
        }
      if (FSubitemMap == cNoIdx) return false;
      FSubitemIdx = q;
    }
  } else {
    return false;
  }
  FSubitemBrkStr = separator;
  FSubitemIndexMode = mode;
  FItemRefIdx = refIdx;
  FSubitemModeSet = true;
  return true;
}

uint64_t TMMTF::GetNSubitems(uint64_t item) {
  if (!FSubitemModeSet) return 0;
  switch (FSubitemIndexMode) {
    case smUnindexed:
      return GetNSubitemsDirect(item, FItemRefIdx, FSubitemBrkCh);
    case smIndexed:
      return GetNSubitemsIndexed(item, FItemRefIdx, FSubitemIdx);
    case smIndexedAndMapped:
      return GetNSubitemsMapped(item, FSubitemMap);
  }
  return 0;
}

bool TMMTF::GetSubitemOfs(uint64_t item, uint64_t subitem, uint64_t& offset, uint64_t& length) {
  offset = cNoOfs;
  length = 0;
  if (!FSubitemModeSet) return false;
  switch (FSubitemIndexMode) {
    case smUnindexed:
      return GetSubitemOfsDirect(item, subitem, FItemRefIdx, FSubitemBrkCh, offset, length);
    case smIndexed:
      return GetSubitemOfsIndexed(item, subitem, FItemRefIdx, FSubitemIdx, offset, length);
    case smIndexedAndMapped:
      return GetSubitemOfsMapped(item, subitem, FSubitemMap, offset, length);
  }
  return false;
}

std::string TMMTF::GetSubitem(uint64_t item, uint64_t subitem) {
  if (FSubitemModeSet && FSubitemIndexMode == smIndexed)
    return GetSubitemIndexed(item, subitem, FItemRefIdx, FSubitemIdx);
  uint64_t o, l;
  if (!GetSubitemOfs(item, subitem, o, l)) return {};
  return BytesAt(o, l);
}

uint64_t TMMTF::GetNSubitemsDirect(uint64_t item, uint32_t refIdx, uint8_t brk) {
  uint64_t len;
  const uint8_t* p = GetItemPtr(item, len, refIdx);
  if (!p) return 0;
  return FaCountB(p, len, brk) + 1;
}

bool TMMTF::GetSubitemOfsDirect(uint64_t item, uint64_t subitem, uint32_t refIdx, uint8_t brk,
                                uint64_t& offset, uint64_t& length) {
  offset = cNoOfs;
  length = 0;
  uint64_t iofs, ilen;
  if (!GetItemOfs(item, iofs, ilen, refIdx) || ilen == 0) return false;
  const uint8_t* p = OfsPtr(iofs, ilen);
  if (!p) return false;
  uint64_t s = 0;
  for (uint64_t k = 0; k < subitem; ++k) {
    int64_t f = FaScanB(p + s, ilen - s, brk);
    if (f < 0) return false;
    s += static_cast<uint64_t>(f) + 1;
  }
  int64_t f = FaScanB(p + s, ilen - s, brk);
  uint64_t e = f < 0 ? ilen : s + static_cast<uint64_t>(f);
  if (e == s) return false;
  offset = iofs + s;
  length = e - s;
  return true;
}

uint64_t TMMTF::FirstQueryAtOrAfter(uint32_t queryIdx, uint64_t ofs) const {
  return FIndices[queryIdx].Idx.LowerBound(ofs);
}

bool TMMTF::SubitemViaQuery(uint64_t item, uint64_t subitem, uint64_t d, bool mapped,
                            uint32_t refIdx, uint32_t queryIdx, uint64_t& offset,
                            uint64_t& length) {
  offset = cNoOfs;
  length = 0;
  uint64_t iofs, ilen;
  if (!GetItemOfs(item, iofs, ilen, refIdx) || ilen == 0) return false;
  const TOfsArray& Q = FIndices[queryIdx].Idx;
  const uint64_t LQ = FIndices[queryIdx].IndexedStr.size();
  const uint64_t iend = iofs + ilen;  // exclusive
  if (mapped && d == cNoOfs) {
    if (subitem != 0) return false;
    offset = iofs;
    length = ilen;
    return true;
  }
  // Query item d + s spans (Q[d+s-1] + LQ .. Q[d+s]); cut it to the item.
  uint64_t k = d + subitem;
  if (k > Q.Count()) return false;
  uint64_t qs = k == 0 ? 0 : Q.Get(k - 1) + LQ;
  uint64_t qe = k < Q.Count() ? Q.Get(k) : GetDecodedFileSz();
  if (subitem > 0 && (k == 0 || Q.Get(k - 1) >= iend))
    return false;  // no such separator in the item
  uint64_t s = std::max(qs, iofs);
  uint64_t e = std::min(qe, iend);
  if (s >= iend || e <= s) return false;
  offset = s;
  length = e - s;
  return true;
}

uint64_t TMMTF::GetNSubitemsIndexed(uint64_t item, uint32_t refIdx, uint32_t queryIdx) {
  if (refIdx >= FIndices.size() || queryIdx >= FIndices.size()) return 0;
  uint64_t iofs, ilen;
  if (!GetItemOfs(item, iofs, ilen, refIdx) || ilen == 0) return 0;
  const TOfsArray& Q = FIndices[queryIdx].Idx;
  uint64_t d = Q.LowerBound(iofs);
  uint64_t e = Q.LowerBound(iofs + ilen);
  return e - d + 1;
}

bool TMMTF::GetSubitemOfsIndexed(uint64_t item, uint64_t subitem, uint32_t refIdx,
                                 uint32_t queryIdx, uint64_t& offset, uint64_t& length) {
  offset = cNoOfs;
  length = 0;
  if (refIdx >= FIndices.size() || queryIdx >= FIndices.size()) return false;
  uint64_t iofs, ilen;
  if (!GetItemOfs(item, iofs, ilen, refIdx) || ilen == 0) return false;
  uint64_t d = FIndices[queryIdx].Idx.LowerBound(iofs);
  return SubitemViaQuery(item, subitem, d, false, refIdx, queryIdx, offset, length);
}

std::string TMMTF::GetSubitemIndexed(uint64_t item, uint64_t subitem, uint32_t refIdx,
                                     uint32_t queryIdx) {
  if (refIdx == queryIdx) return subitem == 0 ? GetItem(item, refIdx) : std::string();
  uint64_t o, l;
  if (!GetSubitemOfsIndexed(item, subitem, refIdx, queryIdx, o, l)) return {};
  return BytesAt(o, l);
}

uint64_t TMMTF::GetNSubitemsMapped(uint64_t item, uint32_t mapping) {
  if (mapping >= FIndexPosMappings.size()) return 0;
  const TIndexPosMapping& m = FIndexPosMappings[mapping];
  if (m.RefIdx >= FIndices.size() || m.QueryIdx >= FIndices.size()) return 0;
  uint64_t iofs, ilen;
  if (!GetItemOfs(item, iofs, ilen, m.RefIdx) || ilen == 0) return 0;
  uint64_t d = item == 0 ? 0 : m.QueryPos.Get(item - 1);
  if (d == m.OffIndexVal) return 1;
  const TOfsArray& Q = FIndices[m.QueryIdx].Idx;
  uint64_t e = d;
  const uint64_t iend = iofs + ilen;
  while (e < Q.Count() && Q.Get(e) < iend) ++e;
  return e - d + 1;
}

bool TMMTF::GetSubitemOfsMapped(uint64_t item, uint64_t subitem, uint32_t mapping, uint64_t& offset,
                                uint64_t& length) {
  offset = cNoOfs;
  length = 0;
  if (mapping >= FIndexPosMappings.size()) return false;
  const TIndexPosMapping& m = FIndexPosMappings[mapping];
  if (m.RefIdx >= FIndices.size() || m.QueryIdx >= FIndices.size()) return false;
  if (item > FIndices[m.RefIdx].Idx.Count()) return false;
  uint64_t d = item == 0 ? 0 : m.QueryPos.Get(item - 1);
  if (d == m.OffIndexVal) d = cNoOfs;
  return SubitemViaQuery(item, subitem, d, true, m.RefIdx, m.QueryIdx, offset, length);
}
