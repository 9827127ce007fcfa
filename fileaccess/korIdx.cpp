// Index files: writing the indexes of an indexed text file and reading them back validated.
#include "fileaccess/korIdx.h"

#include <cstring>

#include "fileaccess/korFileIO.h"

void IdxPutLE(std::string& out, uint64_t v, unsigned width) {
  for (unsigned k = 0; k < width; ++k) out.push_back(static_cast<char>((v >> (8 * k)) & 0xFF));
}

uint64_t IdxGetLE(const uint8_t* p, unsigned width) {
  uint64_t v = 0;
  for (unsigned k = width; k-- > 0;) v = (v << 8) | p[k];
  return v;
}

bool CompactIndexToBuf(const TCompactIndex& idx, std::string& out) {
  const uint8_t w = idx.Idx.ItemSize();
  if (idx.IndexedStr.empty() || idx.IndexedStr.size() > cMaxIndexedStrLen || w < 1 || w > 8)
    return false;
  IdxPutLE(out, idx.Idx.Count(), 8);
  IdxPutLE(out, idx.IndexedStr.size() + 1, 4);
  IdxPutLE(out, w, 1);
  out += idx.IndexedStr;
  out.push_back('\0');
  out.append(reinterpret_cast<const char*>(idx.Idx.Data()), idx.Idx.ByteSize());
  return true;
}

uint64_t CompactIndexFromBuf(TCompactIndex& idx, const uint8_t* p, uint64_t avail,
                             uint64_t dataSz) {
  if (!p || avail < cCompactIndexHeaderSz) return cNoOfs;
  TCompactIndexHeader h;
  h.NIndexItems = IdxGetLE(p, 8);
  h.LIndexedStringWithNullTerminator = static_cast<uint32_t>(IdxGetLE(p + 8, 4));
  h.BytesPerIndexItem = p[12];
  const uint64_t lp1 = h.LIndexedStringWithNullTerminator;
  const uint64_t w = h.BytesPerIndexItem;
  if (lp1 < 2 || lp1 - 1 > cMaxIndexedStrLen || w < 1 || w > 8) return cNoOfs;
  if (lp1 > avail - cCompactIndexHeaderSz) return cNoOfs;
  const uint8_t* sep = p + cCompactIndexHeaderSz;
  if (sep[lp1 - 1] != 0) return cNoOfs;
  const uint64_t rest = avail - cCompactIndexHeaderSz - lp1;
  if (h.NIndexItems > rest / w) return cNoOfs;  // checked before anything is allocated
  const uint8_t* ents = sep + lp1;
  const uint64_t L = lp1 - 1;
  // Offsets must increase and every occurrence must lie inside the data.
  uint64_t prev = 0;
  for (uint64_t i = 0; i < h.NIndexItems; ++i) {
    uint64_t v = IdxGetLE(ents + i * w, static_cast<unsigned>(w));
    if ((i > 0 && v <= prev) || v > dataSz || L > dataSz - v) return cNoOfs;
    prev = v;
  }
  TCompactIndex r;
  r.IndexedStr.assign(reinterpret_cast<const char*>(sep), L);
  r.Idx.Make(static_cast<uint8_t>(w), 0);
  r.Idx.Assign(ents, h.NIndexItems);
  idx = std::move(r);
  return cCompactIndexHeaderSz + lp1 + h.NIndexItems * w;
}

bool CompactIndexSaveToFile(const TCompactIndex& idx, const std::string& fileName) {
  std::string buf;
  if (!CompactIndexToBuf(idx, buf)) return false;
  return WriteFileDataItem(fileName, buf.data(), buf.size(), cFioAppend) == 0;
}

uint64_t CompactIndexLoadFromFile(TCompactIndex& idx, const std::string& fileName, uint64_t offset,
                                  uint64_t dataSz) {
  std::string buf;
  uint64_t got, after;
  int64_t fsz = FileSizeOf(fileName);
  if (fsz < 0 || offset >= static_cast<uint64_t>(fsz)) return cNoOfs;
  if (ReadFilePart(fileName, buf, got, after, offset, static_cast<uint64_t>(fsz) - offset) != 0)
    return cNoOfs;
  return CompactIndexFromBuf(idx, reinterpret_cast<const uint8_t*>(buf.data()), got, dataSz);
}

bool TMMTF::SaveIndicesToFile(const std::string& fileName, uint32_t maxCount, bool withDecoder) {
  FLastError.Clear();
  IRawDataDecoder* dec = withDecoder ? IndexDecoder() : nullptr;
  const uint64_t k = std::min<uint64_t>(FIndices.size(), maxCount);
  const uint64_t nBlocks = k + (dec ? 1 : 0);
  if (nBlocks == 0 || nBlocks > 0xFFFF) {
    SetError(TZelErr("", nBlocks ? "Too many indexes to save" : "No indexes to save", fileName));
    return false;
  }
  std::string buf;
  const bool identity = FFileSz > 0;
  IdxPutLE(buf, nBlocks, 2);
  IdxPutLE(buf, dec ? 1 : 0, 2);
  IdxPutLE(buf, identity ? cIdxIdentitySz : 0, 4);
  if (identity) {
    IdxPutLE(buf, cIdxIdentityMagic, 4);
    IdxPutLE(buf, 1, 4);
    IdxPutLE(buf, FFileSz, 8);
    IdxPutLE(buf, FFileMTimeNs, 8);
  }
  if (dec && !dec->SaveDecoderIndexToBuf(buf)) {
    SetError(TZelErr("", "The decoder has no block table to save", fileName));
    return false;
  }
  for (uint64_t i = 0; i < k; ++i)
    if (!CompactIndexToBuf(FIndices[i], buf)) {
      SetError(TZelErr("", "Index cannot be saved", fileName));
      return false;
    }
  int e = WriteFileDataItem(fileName, buf.data(), buf.size(), 0);
  if (e != 0) {
    SetError(TZelErr::User("Cannot write index file: " + FioErrorText(e), fileName));
    return false;
  }
  return true;
}

uint32_t TMMTF::LoadIndicesFromFile(const std::string& fileName) {
  FLastError.Clear();
  auto refuse = [&](const std::string& why) {
    SetError(TZelErr::User("Index file refused: " + why, fileName));
    return cNoIdx;
  };
  if (!FMMF && !FPDataStart) return refuse("no data file is loaded");
  std::string buf;
  uint64_t sz;
  int e = ReadFile(fileName, buf, sz);
  if (e != 0) return refuse(FioErrorText(e));
  return LoadIndicesFromBuf(reinterpret_cast<const uint8_t*>(buf.data()), sz, fileName);
}

uint32_t TMMTF::LoadIndicesFromBuf(const uint8_t* p, uint64_t sz, const std::string& fileName) {
  FLastError.Clear();
  auto refuse = [&](const std::string& why) {
    SetError(TZelErr::User("Index file refused: " + why, fileName));
    return cNoIdx;
  };
  if (!FMMF && !FPDataStart) return refuse("no data file is loaded");
  if (!p) sz = 0;
  if (sz < cCompactIndexSetHeaderSz) return refuse("truncated header");
  TCompactIndexSetHeader h;
  h.NIndices = static_cast<uint16_t>(IdxGetLE(p, 2));
  h.NFlags = static_cast<uint16_t>(IdxGetLE(p + 2, 2));
  h.NReservedBytes = static_cast<uint32_t>(IdxGetLE(p + 4, 4));
  if (h.NIndices == 0) return 0;
  if (h.NFlags > 1) return refuse("unknown flags");
  if (h.NReservedBytes > sz - cCompactIndexSetHeaderSz) return refuse("truncated");
  uint64_t pos = cCompactIndexSetHeaderSz;
  if (h.NReservedBytes >= cIdxIdentitySz && IdxGetLE(p + pos, 4) == cIdxIdentityMagic) {
    // Written by this program: it names the data file it was made from.
    if (IdxGetLE(p + pos + 4, 4) != 1) return refuse("unknown version");
    if (FMMF && (IdxGetLE(p + pos + 8, 8) != FFileSz || IdxGetLE(p + pos + 16, 8) != FFileMTimeNs))
      return refuse("stale (the data file has changed since it was indexed)");
  }
  pos += h.NReservedBytes;
  uint64_t nIdx = h.NIndices;
  if (h.NFlags) {
    IRawDataDecoder* dec = IndexDecoder();
    if (!dec) return refuse("it holds a block table but the file is not compressed");
    uint64_t used = dec->LoadDecoderIndexFromBuf(p + pos, sz - pos);
    if (used == cNoOfs || used > sz - pos) return refuse("damaged block table");
    pos += used;
    --nIdx;
  }
  const uint64_t dataSz = GetDecodedFileSz();
  std::vector<TCompactIndex> loaded(nIdx);
  for (uint64_t i = 0; i < nIdx; ++i) {
    uint64_t used = CompactIndexFromBuf(loaded[i], p + pos, sz - pos, dataSz);
    if (used == cNoOfs) return refuse("damaged index " + std::to_string(i));
    pos += used;
  }
  if (pos != sz) return refuse("trailing bytes");
  if (nIdx == 0) return 0;
  SetIdx(std::move(loaded));
  FSubitemModeSet = false;
  return static_cast<uint32_t>(nIdx);
}
