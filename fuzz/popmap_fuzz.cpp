// Fuzz target for the population map reader: any text either loads into a structure that
// writes back and reloads to the same lines, or is refused with a reason and no change.
#include <cstdint>
#include <string_view>

#include "popgen/bioPop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  TPopStructure p;
  if (TZelErr e = p.LoadFromPopMapText(text, "fuzz.popmap")) {
    if (p.nInd != 0 || p.nSchemes() != 0) __builtin_trap();  // a refused map changes nothing
    return 0;
  }
  for (uint32_t s = 0; s < p.nSchemes(); ++s) {
    (void)p.GetSchemePopIndNames(s);
    (void)p.GetSchemePopMbNames(s, "-");
  }
  TPopNames lines;
  if (p.PopMapLines(lines)) return 0;
  std::string again;
  for (const std::string& l : lines) again += l + "\n";
  TPopStructure q;
  TPopNames lines2;
  if (q.LoadFromPopMapText(again, "again.popmap") || q.PopMapLines(lines2) || lines2 != lines)
    __builtin_trap();  // what was written must read back the same
  return 0;
}
