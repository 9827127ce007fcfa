// Fuzz target: loading index files (set header, identity, compact index blocks) over a fixed
// text, then reading every item and field through whatever was accepted.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fileaccess/korIdx.h"
#include "fileaccess/korMMTF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string text = "#h\tx\na\tb\tc\r\n\t\n1\t22\t333\nend";
  TMMTF f;
  f.MemAttach(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  if (f.MakeIndex("\n") == cNoIdx) return 0;
  const uint32_t n = f.LoadIndicesFromBuf(data, size, "fuzz.idx");
  if (n == cNoIdx) {
    if (f.NIndices() != 1) __builtin_trap();  // a refused file must leave the indexes alone
    return 0;
  }
  for (uint32_t i = 0; i < f.NIndices(); ++i) {
    const uint64_t items = f.GetNItems(i);
    for (uint64_t k = 0; k <= items && k < 64; ++k) {
      uint64_t len;
      const uint8_t* p = f.GetItemPtr(k, len, i);
      if (p && len > text.size()) __builtin_trap();
      (void)f.GetItem(k, i);
    }
  }
  if (f.NIndices() >= 2 && f.SetSubitemMode(smIndexed, f.Index(1)->IndexedStr, 0)) {
    for (uint64_t k = 0; k < 8; ++k)
      for (uint64_t s = 0; s < 4; ++s) (void)f.GetSubitem(k, s);
  }
  if (f.NIndices() >= 2 && f.MapIndices(0, 1) != cNoIdx &&
      f.SetSubitemMode(smIndexedAndMapped, f.Index(1)->IndexedStr, 0)) {
    for (uint64_t k = 0; k < 8; ++k) (void)f.GetNSubitems(k);
  }
  return 0;
}
