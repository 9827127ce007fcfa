// Huge-page-advised allocation (see korHugeMem.h).
#include "base/korHugeMem.h"

#include <sys/mman.h>

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}

void* AllocHuge(size_t bytes) noexcept {
  if (bytes < kHugePage) return std::malloc(bytes);
  // posix_memalign, not aligned_alloc: the size need not be a multiple of the alignment.
  void* p = nullptr;
  if (posix_memalign(&p, kHugePage, bytes) != 0) return nullptr;
  // Only the whole huge pages inside the request: a partly used one at the end would count 2 MB
  // of resident memory for a few bytes. Advice only: a kernel without transparent huge pages,
  // or with them off, gives 4 KB pages.
  if (p) madvise(p, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  return p;
}
