// Packed array of little-endian offsets (the entries of an index).
#include <cstdlib>
#include <cstring>
#include <new>

#include "fileaccess/korMMTF.h"

TOfsArray::~TOfsArray() { std::free(FData); }

TOfsArray::TOfsArray(const TOfsArray& o) : FWidth(o.FWidth) {
  Realloc(o.FCount);
  if (o.FCount) std::memcpy(FData, o.FData, o.FCount * FWidth);
  FCount = o.FCount;
}

TOfsArray& TOfsArray::operator=(const TOfsArray& o) {
  if (this != &o) {
    TOfsArray t(o);
    *this = std::move(t);
  }
  return *this;
}

TOfsArray::TOfsArray(TOfsArray&& o) noexcept
    : FData(o.FData), FCount(o.FCount), FCap(o.FCap), FWidth(o.FWidth) {
  o.FData = nullptr;
  o.FCount = o.FCap = 0;
}

TOfsArray& TOfsArray::operator=(TOfsArray&& o) noexcept {
  if (this != &o) {
    std::free(FData);
    FData = o.FData;
    FCount = o.FCount;
    FCap = o.FCap;
    FWidth = o.FWidth;
    o.FData = nullptr;
    o.FCount = o.FCap = 0;
  }
  return *this;
}

void TOfsArray::Realloc(uint64_t cap) {
  // 8 spare bytes: every entry is read and written as one unaligned 8-byte word.
  uint64_t bytes = cap * FWidth + 8;
  void* p = std::realloc(FData, bytes);
  if (!p) throw std::bad_alloc();
  FData = static_cast<uint8_t*>(p);
  // Spare capacity is left as it comes: zeroing it would touch every page of a growing index
  // before it is used. Entries that must read as zero (Make, Resize) are cleared there.
  std::memset(FData + cap * FWidth, 0, 8);
  FCap = cap;
}

void TOfsArray::Make(uint8_t width, uint64_t count) {
  std::free(FData);
  FData = nullptr;
  FCount = FCap = 0;
  FWidth = width < 1 ? 1 : (width > 8 ? 8 : width);
  Realloc(count);
  std::memset(FData, 0, count * FWidth);
  FCount = count;
}

void TOfsArray::Narrow(uint8_t width) {
  if (width < 1 || width >= FWidth) return;
  // Entry i moves from i * FWidth down to i * width: never onto an entry not yet moved.
  for (uint64_t i = 0; i < FCount; ++i) {
    const uint64_t v = Get(i);
    for (unsigned k = 0; k < width; ++k) FData[i * width + k] = static_cast<uint8_t>(v >> (8 * k));
  }
  FCap = FCap * FWidth / width;
  FWidth = width;
  Realloc(FCount);
}

void TOfsArray::Resize(uint64_t count) {
  if (count > FCap) Realloc(count);
  if (count > FCount) std::memset(FData + FCount * FWidth, 0, (count - FCount) * FWidth);
  FCount = count;
}

void TOfsArray::Reserve(uint64_t count) {
  if (count > FCap) Realloc(count);
}

void TOfsArray::ShrinkToFit() {
  if (FCap != FCount || !FData) Realloc(FCount);
}

void TOfsArray::Set(uint64_t i, uint64_t v) {
  uint8_t* p = FData + i * FWidth;
  for (unsigned k = 0; k < FWidth; ++k) p[k] = static_cast<uint8_t>(v >> (8 * k));
}

void TOfsArray::Push(uint64_t v, uint64_t growBy) {
  if (FCount == FCap) {
    uint64_t g = FCap < 1024 ? 1024 : FCap;
    if (growBy && g > growBy) g = growBy;
    Realloc(FCap + (g ? g : 1));
  }
  Set(FCount++, v);
}

uint64_t TOfsArray::LowerBound(uint64_t v) const {
  uint64_t lo = 0, hi = FCount;
  while (lo < hi) {
    uint64_t mid = lo + (hi - lo) / 2;
    if (Get(mid) < v)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

void TOfsArray::Assign(const uint8_t* p, uint64_t count) {
  Make(FWidth, count);
  if (count) std::memcpy(FData, p, count * FWidth);
}
