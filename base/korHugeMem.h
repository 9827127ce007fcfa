// Large work buffers (distance squares, eigenvector matrices, per-locus tables) on transparent
// huge pages where the kernel grants them: one page-table entry per 2 MB instead of 512, so a
// walk down a column of a square misses the TLB far less, and first touches fault 512x less.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

// Uninitialised storage of `bytes`, or nullptr. Requests of 2 MB and more are aligned to 2 MB
// and their whole 2 MB pages advised for huge pages; smaller ones are a plain malloc. Free with
// std::free.
void* AllocHuge(size_t bytes) noexcept;

struct THugeFree {
  void operator()(void* p) const noexcept { std::free(p); }
};
template <class T>
using THugeArr = std::unique_ptr<T[], THugeFree>;

// n uninitialised elements of a trivial type; empty on failure (n > 0) or overflow.
template <class T>
THugeArr<T> MakeHugeArr(size_t n) noexcept {
  static_assert(std::is_trivially_default_constructible_v<T> &&
                std::is_trivially_destructible_v<T>);
  if (n > size_t(-1) / sizeof(T)) return THugeArr<T>();
  return THugeArr<T>(static_cast<T*>(AllocHuge(n * sizeof(T) + (n == 0))));
}

// A std::vector allocator on AllocHuge, for large vectors that are filled once and read often.
template <class T>
struct THugeAlloc {
  using value_type = T;
  THugeAlloc() noexcept = default;
  template <class U>
  THugeAlloc(const THugeAlloc<U>&) noexcept {}
  T* allocate(size_t n) {
    if (n > size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    void* p = AllocHuge(n * sizeof(T) + (n == 0));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t) noexcept { std::free(p); }
  template <class U>
  bool operator==(const THugeAlloc<U>&) const noexcept {
    return true;
  }
};
template <class T>
using THugeVec = std::vector<T, THugeAlloc<T>>;
