// Huge-page-advised allocation (see korHugeMem.h).
#include "base/korHugeMem.h"

#include <sys/mman.h>

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}

void* AllocHuge(size_t bytes) noexcept {
  if (bytes < kHugePage) return std::malloc(bytes);
  void* p = std::aligned_alloc(kHugePage, bytes);
  // Only the whole huge pages inside the request: a partly used one at the end would count 2 MB
  // of resident memory for a few bytes. Advice only: a kernel without transparent huge pages,
  // or with them off, gives 4 KB pages.
  if (p) madvise(p, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  return p;
}
