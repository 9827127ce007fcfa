// Fuzz target for the BGZF and gzip readers: the input is a compressed file held in memory,
// read through the decoder interface (block table, block decoding, random access, index block).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fileaccess/bioBGZF.h"

namespace {

void Exercise(TZCompressedFile& d, const uint8_t* data, size_t size) {
  std::vector<uint8_t> raw(data, data + size);  // exact size: reads past the end are caught
  const uint8_t* attached = nullptr;
  uint64_t attachedSz = 0;
  bool ok = d.InitialiseDecoder(
      [&](uint64_t o, uint64_t l) -> const uint8_t* {
        return l && o <= raw.size() && l <= raw.size() - o ? raw.data() + o : nullptr;
      },
      [&](const uint8_t* p, uint64_t s) {
        attached = p;
        attachedSz = s;
      },
      raw.size());
  if (!ok) {
    if (!d.LastError().IsError()) __builtin_trap();  // a failure always says why
    return;
  }
  uint64_t total = d.GetDecodedFileSz();
  if (total > (uint64_t(64) << 20)) return;
  // Decode everything block range by block range, with a small buffer.
  std::vector<uint8_t> buf(0x20000);
  uint64_t block = 0, seen = 0;
  for (int guard = 0; guard < 100000; ++guard) {
    TRawDataDecodeBlockParams p;
    p.pBuffer = buf.data();
    p.BufferSz = buf.size();
    uint64_t hooked = 0;
    p.OnBlockDecoded = [&](uint64_t k, const uint8_t* q, uint64_t n, uint64_t) {
      if (q < buf.data() || q + n > buf.data() + buf.size() || k != hooked) __builtin_trap();
      ++hooked;
    };
    bool more = d.DecodeBlockRange(block, p);
    if (p.nBlocksDecoded && hooked != p.nBlocksDecoded) __builtin_trap();
    if (p.nBlocksDecoded == 0) {
      if (p.TotalBlocksLeft == 0 || d.LastError().IsError()) break;
      buf.resize(buf.size() * 2);
      if (buf.size() > (uint64_t(16) << 20)) break;
      continue;
    }
    if (p.DecodedOfs != seen || attachedSz != p.DecodedSize) __builtin_trap();
    if (attachedSz && attached != buf.data()) __builtin_trap();
    seen += p.DecodedSize;
    block += p.nBlocksDecoded;
    if (!more && p.TotalBlocksLeft == 0) break;
  }
  // Random access at a few offsets.
  d.SetMinDecompressionSize(0x1000);
  for (uint64_t ofs : {uint64_t(0), total / 3, total / 2, total ? total - 1 : 0}) {
    const uint8_t* q = d.OfsPtr(ofs, 1);
    if (ofs < total && q) (void)*q;
    if (ofs >= total && q) __builtin_trap();
  }
  std::string idx;
  if (d.SaveDecoderIndexToBuf(idx)) {
    if (d.LoadDecoderIndexFromBuf(reinterpret_cast<const uint8_t*>(idx.data()), idx.size()) !=
        idx.size())
      __builtin_trap();
  }
  // The input itself as an index block must be refused or accepted without harm.
  (void)d.LoadDecoderIndexFromBuf(raw.data(), raw.size());
}

void OnePass(TZCompressedFile& d, const uint8_t* data, size_t size) {
  std::vector<uint8_t> raw(data, data + size);
  uint64_t seen = 0;
  // This pass reads through the owner's positional reads, the other one through the mapping.
  d.SetRawReader([&](uint64_t o, void* dst, uint64_t n) -> int64_t {
    if (o > raw.size()) return -1;
    uint64_t k = std::min<uint64_t>(n, raw.size() - o);
    std::memcpy(dst, raw.data() + o, k);
    return int64_t(k);
  });
  bool ok = d.InitialiseDecoderWithSink(
      [&](uint64_t o, uint64_t l) -> const uint8_t* {
        return l && o <= raw.size() && l <= raw.size() - o ? raw.data() + o : nullptr;
      },
      nullptr, raw.size(),
      [&](const uint8_t* q, uint64_t n, uint64_t ofs, uint64_t rawOfs) {
        if (!q || ofs != seen || rawOfs > raw.size()) __builtin_trap();
        seen += n;
        return true;
      });
  if (ok && seen != d.GetDecodedFileSz()) __builtin_trap();
  if (!ok && !d.LastError().IsError()) __builtin_trap();
}

// The table built from small pieces of the file: the same text in order, the same outcome
// and the same error as the walk from the start.
void Pieces(const uint8_t* data, size_t size, uint64_t pieceSz) {
  std::vector<uint8_t> raw(data, data + size);
  auto read = [&](uint64_t o, void* dst, uint64_t n) -> int64_t {
    if (o > raw.size()) return -1;
    uint64_t k = std::min<uint64_t>(n, raw.size() - o);
    std::memcpy(dst, raw.data() + o, k);
    return int64_t(k);
  };
  auto map = [&](uint64_t o, uint64_t l) -> const uint8_t* {
    return l && o <= raw.size() && l <= raw.size() - o ? raw.data() + o : nullptr;
  };
  std::string serialText, pieceText;
  TBGZFFile serial;
  serial.SetThreads(1);
  serial.SetRawReader(read);
  bool serialOk = serial.InitialiseDecoderWithSink(
      map, nullptr, raw.size(), [&](const uint8_t* q, uint64_t n, uint64_t, uint64_t) {
        serialText.append(reinterpret_cast<const char*>(q), n);
        return true;
      });
  TBGZFFile b;
  b.SetThreads(2);
  b.SetPieceSize(pieceSz);
  b.SetRawReader(read);
  TParallelTextScan scan;
  scan.Slots = 3;
  std::vector<std::string> slots(scan.Slots);
  scan.Begin = [&](uint32_t k) { slots.at(k).clear(); };
  scan.Text = [&](uint32_t k, const uint8_t* q, uint64_t n, uint64_t ofs) {
    if (ofs != slots.at(k).size()) __builtin_trap();
    slots[k].append(reinterpret_cast<const char*>(q), n);
  };
  scan.Commit = [&](uint32_t k, uint64_t ofs, uint64_t len, uint64_t rawEnd) {
    if (ofs != pieceText.size() || len != slots.at(k).size() || rawEnd > raw.size())
      __builtin_trap();
    pieceText += slots[k];
    return true;
  };
  bool ok = b.InitialiseDecoderInParallel(map, nullptr, raw.size(), scan);
  if (ok != serialOk) __builtin_trap();
  if (ok && (pieceText != serialText || b.GetDecodedFileSz() != serial.GetDecodedFileSz()))
    __builtin_trap();
  if (!ok && b.LastError().Details != serial.LastError().Details) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  (void)GuessZCompressionMem(data, size);
  {
    TBGZFFile b;
    b.SetThreads(1);
    Exercise(b, data, size);
  }
  {
    TGZFile g;
    g.SetThreads(1);
    g.SetAccessPointSpan(0x1000);
    Exercise(g, data, size);
  }
  // The one-pass initialisation hands over the whole text, in order, without gaps.
  TBGZFFile b;
  b.SetThreads(1);
  OnePass(b, data, size);
  TGZFile g;
  OnePass(g, data, size);
  Pieces(data, size, size > 64 ? data[size - 1] % 61 + size / 9 + 1 : 7);
  return 0;
}
