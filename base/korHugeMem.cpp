// Huge-page-advised allocation (see korHugeMem.h).
#include "base/korHugeMem.h"

#include <sys/mman.h>

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}

void* AllocHuge(size_t bytes) noexcept {
  if (bytes < kHugePage) return std::malloc(bytes);
  if (bytes > size_t(-1) - kHugePage) return nullptr;
  const size_t len = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* p = std::aligned_alloc(kHugePage, len);
  // Advice only: a kernel without transparent huge pages, or with them off, gives 4 KB pages.
  if (p) madvise(p, len, MADV_HUGEPAGE);
  return p;
}
