// Copy and fill with one fast string instruction (processors with ERMSB).
#include "base/korMemX86.h"

#ifdef ZEL_HAVE_X86_VARIANTS
#include <cstring>

void CpyMem_ERMSB(const void* src, void* dst, uint64_t len) {
  const uintptr_t s = reinterpret_cast<uintptr_t>(src), d = reinterpret_cast<uintptr_t>(dst);
  if (d > s && d - s < len) {
    // A forward string move would overwrite source bytes before reading them.
    std::memmove(dst, src, len);
    return;
  }
  void* di = dst;
  const void* si = src;
  uint64_t n = len;
  __asm__ volatile("rep movsb" : "+D"(di), "+S"(si), "+c"(n) : : "memory");
}

void RepValB_ERMSB(void* p, uint8_t b, uint64_t len) {
  void* di = p;
  uint64_t n = len;
  __asm__ volatile("rep stosb" : "+D"(di), "+c"(n) : "a"(b) : "memory");
}
#endif
