// TBitField, TManagedMemA and TMemArray.
#include "base/korStruc.h"

#include <algorithm>
#include <bit>
#include <cstring>

const uint64_t ValNBitMasks[9] = {0,
                                  0xFFull,
                                  0xFFFFull,
                                  0xFFFFFFull,
                                  0xFFFFFFFFull,
                                  0xFFFFFFFFFFull,
                                  0xFFFFFFFFFFFFull,
                                  0xFFFFFFFFFFFFFFull,
                                  0xFFFFFFFFFFFFFFFFull};
const uint64_t ValQNBitMasks[9] = {0,
                                   0xFFull,
                                   0xFFFFull,
                                   0xFFFFFFull,
                                   0xFFFFFFFFull,
                                   0xFFFFFFFFFFull,
                                   0xFFFFFFFFFFFFull,
                                   0xFFFFFFFFFFFFFFull,
                                   0xFFFFFFFFFFFFFFFFull};
const uint8_t NSetBits[9] = {0x00, 0x01, 0x03, 0x07, 0x0F, 0x1F, 0x3F, 0x7F, 0xFF};

uint32_t EffectiveAlignment(uint32_t align) {
  if (align <= 1) return 1;
  if (align > 4096) return 4096;
  return std::bit_ceil(align);
}

void SetValQN(void* p, uint64_t value, uint8_t width) {
  if (width < 1 || width > 8) return;
  std::memcpy(p, &value, width);  // little-endian host
}

void SetValQNEx(void* base, uint64_t value, uint8_t width, uint64_t index) {
  SetValQN(static_cast<uint8_t*>(base) + index * width, value, width);
}

// ---- TBitField ----

void TBitField::ReserveMem(uint64_t nBits, uint32_t alignment) {
  FAlignMemTo = EffectiveAlignment(alignment);
  FNBits = nBits;
  if (nBits == 0) {
    FAMemB.clear();
    FAMemB.shrink_to_fit();
    FOffset = 0;
    return;
  }
  const uint64_t used = (nBits + 7) / 8;
  FAMemB.assign(used + FAlignMemTo, 0);
  FOffset = MemAlignOfsNext(FAMemB.data(), FAlignMemTo);
}

void TBitField::Make(uint64_t nBits, bool setAll, uint32_t alignment) {
  ReserveMem(nBits, alignment);
  if (nBits == 0) return;
  fRepValB(FPUsedMem(), setAll ? 0xFF : 0x00, NUsedBytes());
  ClearTail();
}

void TBitField::ClearTail() {
  if (GetNBits() == 0) return;
  const uint8_t partial = NBitsInPartialByte();
  if (partial) FPUsedMem()[NUsedBytes() - 1] &= NSetBits[partial];
}

void TBitField::Clear() {
  FAMemB.clear();
  FAMemB.shrink_to_fit();
  FNBits = 0;
  FOffset = 0;
}

bool TBitField::GetFieldBit(uint64_t i) const {
  if (i >= GetNBits()) return false;
  return GetMemBit(FPUsedMem(), i);
}

void TBitField::ChgFieldBit(uint64_t i, bool value) {
  if (i >= GetNBits()) return;
  ChgMemBit(FPUsedMem(), i, value);
}

uint64_t TBitField::BitsSet() const {
  if (GetNBits() == 0) return 0;
  return fCntMemBitsB(FPUsedMem(), NUsedBytes());
}

std::vector<bool> TBitField::AsABool() const {
  std::vector<bool> r(GetNBits());
  for (uint64_t i = 0; i < r.size(); ++i) r[i] = GetMemBit(FPUsedMem(), i);
  return r;
}

void TBitField::SetFromListN(const std::vector<uint64_t>& positions, bool value) {
  for (uint64_t p : positions) ChgFieldBit(p, value);
}

void TBitField::CopyFrom(const TBitField& other) {
  if (this == &other) return;
  ReserveMem(other.GetNBits(), other.FAlignMemTo);
  if (GetNBits()) fCpyMem(other.FPUsedMem(), FPUsedMem(), NUsedBytes());
}

void TBitField::ANDBits(const TBitField& other) {
  const uint64_t n = std::min(NUsedBytes(), other.NUsedBytes());
  if (n) fMemAndB(FPUsedMem(), other.FPUsedMem(), FPUsedMem(), n);
}

void TBitField::ORBits(const TBitField& other) {
  const uint64_t n = std::min(NUsedBytes(), other.NUsedBytes());
  if (n) fMemOrB(FPUsedMem(), other.FPUsedMem(), FPUsedMem(), n);
  ClearTail();  // a longer other must not set bits past FNBits
}

void TBitField::XORBits(const TBitField& other) {
  const uint64_t n = std::min(NUsedBytes(), other.NUsedBytes());
  if (n) fMemXorB(FPUsedMem(), other.FPUsedMem(), FPUsedMem(), n);
  ClearTail();
}

void TBitField::NOTBits() {
  if (GetNBits() == 0) return;
  fMemNotB(FPUsedMem(), NUsedBytes());
  ClearTail();
}

void TBitField::Combine(const TBitField& other, TMaskLogic logic) {
  if (GetNBits() != other.GetNBits()) return;
  switch (logic) {
    case lAnd:
      ANDBits(other);
      break;
    case lOr:
      ORBits(other);
      break;
    case lXor:
      XORBits(other);
      break;
    case lSet:
      CopyFrom(other);
      break;
    case lNot:
      CopyFrom(other);
      NOTBits();
      break;
  }
}

// ---- TManagedMemA ----

TManagedMemA::TManagedMemA(const TManagedMemA& o) { *this = o; }

TManagedMemA& TManagedMemA::operator=(const TManagedMemA& o) {
  if (this == &o) return *this;
  Clear();
  if (o.FSize == 0 || o.FMem.empty()) return *this;
  const uint64_t tail = o.FMem.size() - o.FOffset - o.FSize;  // keep the reader slack
  Reserve(o.FSize, o.FAlignTo, static_cast<uint32_t>(tail));
  std::memcpy(Ptr(), o.Ptr(), o.FSize + tail);
  return *this;
}

void TManagedMemA::Reserve(uint64_t size, uint32_t alignment, uint32_t extraTail) {
  if (size == 0) {
    Clear();
    return;
  }
  const uint32_t align = EffectiveAlignment(alignment);
  const uint8_t* oldPtr = Ptr();
  const uint64_t keep = std::min(FSize, size);
  const uint32_t oldOffset = FOffset;
  std::vector<uint8_t> mem(size + align - 1 + extraTail, 0);
  const uint32_t off = MemAlignOfsNext(mem.data(), align);
  if (oldPtr && keep) std::memcpy(mem.data() + off, FMem.data() + oldOffset, keep);
  FMem.swap(mem);
  FSize = size;
  FAlignTo = align;
  FOffset = off;
}

void TManagedMemA::Resize(uint64_t size, uint32_t extraTail) {
  if (size == 0) {
    Clear();
    return;
  }
  const uint64_t tail = FMem.empty() ? 0 : FMem.size() - FOffset - FSize;
  if (size == FSize && tail >= extraTail) return;
  Reserve(size, FAlignTo, extraTail);
}

void TManagedMemA::Clear() {
  FMem.clear();
  FMem.shrink_to_fit();
  FSize = 0;
  FAlignTo = 1;
  FOffset = 0;
}

// ---- TMemArray ----

namespace {
// Readers load 8 bytes at an item's start; this much slack keeps that inside the allocation.
constexpr uint32_t kReadSlack = 8;
}  // namespace

void TMemArray::Make(uint64_t nItems, uint8_t itemSize, uint8_t padding, uint32_t alignment) {
  Clear();
  if (itemSize < 1) itemSize = 1;
  if (itemSize > 8) itemSize = 8;
  FItemSize = itemSize;
  FItemPadding = padding;
  FItemSpacing = static_cast<uint16_t>(itemSize + padding);
  FNItems = nItems;
  if (nItems) FMem.Reserve(nItems * FItemSpacing, alignment, kReadSlack);
}

void TMemArray::MakeFrom(uint64_t nItems, uint8_t itemSize, const void* source,
                         uint8_t sourceItemSize, uint8_t padding, uint32_t alignment) {
  Make(nItems, itemSize, padding, alignment);
  const uint8_t* src = static_cast<const uint8_t*>(source);
  for (uint64_t i = 0; i < nItems; ++i) {
    uint64_t v = 0;
    if (src && sourceItemSize >= 1 && sourceItemSize <= 8)
      std::memcpy(&v, src + i * sourceItemSize, sourceItemSize);
    SetMaskedQ(i, v, FItemSize);
  }
}

void TMemArray::Clear() {
  FMem.Clear();
  FNItems = 0;
  FItemSize = 0;
  FItemPadding = 0;
  FItemSpacing = 0;
}

uint8_t* TMemArray::GetItemPtr(uint64_t i) {
  if (i >= FNItems || !FMem.Ptr()) return nullptr;
  return FMem.Ptr() + i * FItemSpacing;
}

const uint8_t* TMemArray::GetItemPtr(uint64_t i) const {
  if (i >= FNItems || !FMem.Ptr()) return nullptr;
  return FMem.Ptr() + i * FItemSpacing;
}

uint64_t TMemArray::GetQWordMasked(uint64_t i) const {
  const uint8_t* p = GetItemPtr(i);
  if (!p) return 0;
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v & ValQNBitMasks[FItemSize];
}

void TMemArray::SetMasked(uint64_t i, uint64_t value, uint8_t width) {
  SetMaskedQ(i, value, width);
}

void TMemArray::SetMaskedQ(uint64_t i, uint64_t value, uint8_t width) {
  uint8_t* p = GetItemPtr(i);
  if (!p) return;
  if (width > FItemSize) width = FItemSize;  // never spill into the next item
  SetValQN(p, value, width);
}

void TMemArray::Resize(uint64_t n) {
  if (FItemSize == 0) return;
  FNItems = n;
  if (n == 0) {
    FMem.Clear();
    return;
  }
  const uint64_t oldSize = FMem.FSize;
  FMem.Resize(n * FItemSpacing, kReadSlack);
  // Bytes beyond the old size (slack included) start zeroed so a masked read stays exact.
  if (n * FItemSpacing > oldSize)
    std::memset(FMem.Ptr() + oldSize, 0, n * FItemSpacing - oldSize + kReadSlack);
}

uint64_t TMemArray::Compress() {
  if (FNItems == 0 || FItemSize == 0) return 0;
  uint64_t largest = 0;
  for (uint64_t i = 0; i < FNItems; ++i) largest = std::max(largest, GetQWordMasked(i));
  const uint8_t width = ReqB64(largest);
  if (width >= FItemSize) return FNItems;
  const uint16_t newSpacing = static_cast<uint16_t>(width + FItemPadding);
  uint8_t* base = FMem.Ptr();
  for (uint64_t i = 0; i < FNItems; ++i) {
    const uint64_t v = GetQWordMasked(i);
    SetValQN(base + i * newSpacing, v, width);
  }
  FItemSize = width;
  FItemSpacing = newSpacing;
  FMem.Reserve(FNItems * newSpacing, FMem.FAlignTo, kReadSlack);
  // The slack after the new end must read as zero.
  std::memset(FMem.Ptr() + FNItems * newSpacing, 0, kReadSlack);
  return FNItems;
}

int64_t TMemArray::BinSearch(uint64_t value, bool exact, int64_t low, int64_t high) const {
  if (FNItems == 0) return -1;
  if (low < 0) low = 0;
  if (high > static_cast<int64_t>(FNItems) - 1) high = static_cast<int64_t>(FNItems) - 1;
  if (high < low) return -1;
  int64_t mid = low;
  uint64_t v;
  do {
    mid = low + (high - low) / 2;
    v = GetQWordMasked(static_cast<uint64_t>(mid));
    if (v < value)
      low = mid + 1;
    else
      high = mid - 1;
  } while (v != value && high >= low);
  if (exact) return v == value ? mid : -1;
  return mid;
}

std::vector<uint32_t> TMemArray::ExportArrayD() const {
  std::vector<uint32_t> r;
  if (!FMem.Ptr()) return r;
  r.resize(FNItems);
  for (uint64_t i = 0; i < FNItems; ++i) r[i] = static_cast<uint32_t>(GetQWordMasked(i));
  return r;
}

std::vector<uint16_t> TMemArray::ExportArrayW() const {
  std::vector<uint16_t> r;
  if (!FMem.Ptr()) return r;
  r.resize(FNItems);
  for (uint64_t i = 0; i < FNItems; ++i) r[i] = static_cast<uint16_t>(GetQWordMasked(i));
  return r;
}
