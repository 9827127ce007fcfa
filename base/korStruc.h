// Value records with owned memory: the bit set TBitField, the aligned growable block
// TManagedMemA and TMemArray, unsigned integers packed at 1 to 8 bytes each.
#pragma once

#include <cstdint>
#include <vector>

#include "base/korBase.h"

enum TMaskLogic : uint8_t { lAnd = 0, lOr = 1, lXor = 2, lNot = 3, lSet = 4 };

extern const uint64_t ValNBitMasks[9];
extern const uint64_t ValQNBitMasks[9];
extern const uint8_t NSetBits[9];

// Alignment used for an alignment request: 0 -> 1, otherwise rounded up to a power of two
// (at most 4096).
uint32_t EffectiveAlignment(uint32_t align);

// Writes the low width bytes of value, little-endian (width 1..8; other widths write nothing).
void SetValQN(void* p, uint64_t value, uint8_t width);
void SetValQNEx(void* base, uint64_t value, uint8_t width, uint64_t index);

// A bit set of fixed length on aligned memory. Bits past FNBits in the last used byte are
// always 0. Copies are independent (copy construction and assignment copy the bits).
struct TBitField {
  std::vector<uint8_t> FAMemB;
  uint64_t FNBits = 0;
  uint32_t FOffset = 0;  // FPUsedMem() = FAMemB.data() + FOffset
  uint32_t FAlignMemTo = 1;

  TBitField() = default;
  TBitField(const TBitField& o) { CopyFrom(o); }
  TBitField& operator=(const TBitField& o) {
    if (this != &o) CopyFrom(o);
    return *this;
  }
  TBitField(TBitField&&) noexcept = default;
  TBitField& operator=(TBitField&&) noexcept = default;

  void Make(uint64_t nBits, bool setAll, uint32_t alignment = 16);
  void ReserveMem(uint64_t nBits, uint32_t alignment = 16);
  void Clear();
  uint64_t GetNBits() const { return FAMemB.empty() ? 0 : FNBits; }
  uint64_t NBits() const { return GetNBits(); }
  uint64_t NUsedBytes() const { return (GetNBits() + 7) / 8; }
  uint8_t NBitsInPartialByte() const { return static_cast<uint8_t>(FNBits & 7); }
  uint8_t* FPUsedMem() { return FAMemB.empty() ? nullptr : FAMemB.data() + FOffset; }
  const uint8_t* FPUsedMem() const { return FAMemB.empty() ? nullptr : FAMemB.data() + FOffset; }
  uint8_t* GetBasePtr() { return GetNBits() ? FPUsedMem() : nullptr; }
  const uint8_t* GetBasePtr() const { return GetNBits() ? FPUsedMem() : nullptr; }
  uint8_t* BasePtr() { return GetBasePtr(); }
  const uint8_t* BasePtr() const { return GetBasePtr(); }
  bool GetFieldBit(uint64_t i) const;
  bool Bit(uint64_t i) const { return GetFieldBit(i); }
  void ChgFieldBit(uint64_t i, bool value);
  uint64_t BitsSet() const;
  std::vector<bool> AsABool() const;
  void SetFromListN(const std::vector<uint64_t>& positions, bool value);
  void CopyFrom(const TBitField& other);
  // Byte-wise over the smaller used size; bits past FNBits stay 0.
  void ANDBits(const TBitField& other);
  void ORBits(const TBitField& other);
  void XORBits(const TBitField& other);
  void NOTBits();
  // Nothing unless both have the same number of bits; other is never changed.
  void Combine(const TBitField& other, TMaskLogic logic);

 private:
  void ClearTail();
};

// A growable byte block whose first usable byte sits at a chosen alignment. Copies are
// independent.
struct TManagedMemA {
  std::vector<uint8_t> FMem;
  uint64_t FSize = 0;
  uint32_t FAlignTo = 1;
  uint32_t FOffset = 0;

  TManagedMemA() = default;
  TManagedMemA(const TManagedMemA& o);
  TManagedMemA& operator=(const TManagedMemA& o);
  TManagedMemA(TManagedMemA&&) noexcept = default;
  TManagedMemA& operator=(TManagedMemA&&) noexcept = default;

  // size 0 clears; contents kept up to the smaller size. extraTail bytes past size are
  // allocated and zeroed (readers may load whole words there).
  void Reserve(uint64_t size, uint32_t alignment, uint32_t extraTail = 0);
  void Resize(uint64_t size, uint32_t extraTail = 0);
  void Clear();
  uint8_t* Ptr() { return FMem.empty() ? nullptr : FMem.data() + FOffset; }
  const uint8_t* Ptr() const { return FMem.empty() ? nullptr : FMem.data() + FOffset; }
};

// Unsigned integers packed at FItemSize (1..8) bytes, FItemPadding unused bytes after each.
// Reads load 8 bytes and mask; the allocation always holds those 8 bytes.
struct TMemArray {
  TManagedMemA FMem;
  uint64_t FNItems = 0;
  uint8_t FItemSize = 0;
  uint8_t FItemPadding = 0;
  uint16_t FItemSpacing = 0;

  void Make(uint64_t nItems, uint8_t itemSize, uint8_t padding = 0, uint32_t alignment = 16);
  void MakeFrom(uint64_t nItems, uint8_t itemSize, const void* source, uint8_t sourceItemSize,
                uint8_t padding = 0, uint32_t alignment = 16);
  void Clear();
  uint64_t NItems() const { return FNItems; }
  uint8_t ItemSize() const { return FItemSize; }
  uint8_t* GetItemPtr(uint64_t i);
  const uint8_t* GetItemPtr(uint64_t i) const;
  uint8_t* ItemPtr(uint64_t i) { return GetItemPtr(i); }
  uint64_t GetQWordMasked(uint64_t i) const;
  uint64_t operator[](uint64_t i) const { return GetQWordMasked(i); }
  void SetMasked(uint64_t i, uint64_t value, uint8_t width);
  void SetMaskedQ(uint64_t i, uint64_t value, uint8_t width);
  // Stores value at the array's own item size.
  void Set(uint64_t i, uint64_t value) { SetMaskedQ(i, value, FItemSize); }
  void Resize(uint64_t n);
  uint64_t Compress();
  int64_t BinSearch(uint64_t value, bool exact, int64_t low, int64_t high) const;
  std::vector<uint32_t> ExportArrayD() const;
  std::vector<uint16_t> ExportArrayW() const;
};
