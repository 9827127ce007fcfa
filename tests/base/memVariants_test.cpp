// Every variant of every routine family this processor can run gives the portable result:
// all alignments 0-63, lengths 0-300 and 1 MiB, matches at the first, last and just-past-the-
// end byte, and ranges that end right before (or start right after) an inaccessible page.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/korMem.h"
#include "base/korNum.h"

namespace {

std::vector<TRoutineVariant> VariantsOf(const char* family) {
  std::vector<TRoutineVariant> r;
  for (const auto& v : RunnableVariants(SelectionCPU()))
    if (std::string(v.Family) == family) r.push_back(v);
  return r;
}

template <class F>
F As(const TRoutineVariant& v) {
  return reinterpret_cast<F>(v.Proc);
}

// A buffer of random bytes none of which equals `avoid`, 64-byte aligned.
struct TBuf {
  std::vector<uint8_t> mem;
  uint8_t* base;
  TBuf(size_t n, uint8_t avoid, uint32_t seed) : mem(n + 256) {
    std::mt19937 rng(seed);
    for (auto& b : mem) {
      b = static_cast<uint8_t>(rng());
      if (b == avoid) b ^= 1;
    }
    base = mem.data() + 64 + MemAlignOfsNext(mem.data(), 64);
  }
};

// Inaccessible pages around `pages` accessible ones: [guard][data...][guard].
struct TGuarded {
  size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  uint8_t* map = nullptr;
  size_t mapLen = 0;
  uint8_t* data = nullptr;  // first accessible byte
  size_t size = 0;
  explicit TGuarded(size_t pages) {
    size = pages * page;
    mapLen = size + 2 * page;
    map = static_cast<uint8_t*>(
        mmap(nullptr, mapLen, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    data = map + page;
    mprotect(map, page, PROT_NONE);
    mprotect(data + size, page, PROT_NONE);
  }
  ~TGuarded() { munmap(map, mapLen); }
};

constexpr uint8_t kSought = 0x0A;

TEST(MemVariants, ScansAgreeOnAllAlignmentsAndShortLengths) {
  TBuf buf(400, kSought, 1);
  for (const char* fam : {"ScnMemBf", "ScnMemBr", "ScnMemNtBf", "ScnMemNtBr"}) {
    const auto ref = As<TScnMemBProc>(VariantsOf(fam).front());
    for (const auto& v : VariantsOf(fam)) {
      const auto f = As<TScnMemBProc>(v);
      for (uint32_t al = 0; al < 64; ++al) {
        uint8_t* p = buf.base + al;
        for (uint64_t len = 0; len <= 300; ++len) {
          for (int where : {-1, 0, 1, 2}) {  // none, first, last, just past the end
            const bool place = where == 2 || (where >= 0 && len > 0);
            const uint64_t at = where == 0 ? 0 : (where == 1 ? len - 1 : len);
            const uint8_t saved = place ? p[at] : 0;
            if (place) p[at] = kSought;
            ASSERT_EQ(f(p, kSought, len), ref(p, kSought, len))
                << v.Name << " al=" << al << " len=" << len << " where=" << where;
            if (place) p[at] = saved;
          }
        }
      }
    }
  }
}

TEST(MemVariants, CountsAgreeOnAllAlignmentsAndShortLengths) {
  TBuf buf(400, kSought, 2);
  for (const auto& v : VariantsOf("CntMemB")) {
    const auto f = As<TCntMemBProc>(v);
    for (uint32_t al = 0; al < 64; ++al) {
      uint8_t* p = buf.base + al;
      // Sought bytes just before the start and just after the end must not be counted.
      const uint8_t before = p[-1];
      p[-1] = kSought;
      for (uint64_t len = 0; len <= 300; ++len) {
        const uint8_t after = p[len];
        p[len] = kSought;
        for (int edge = 0; edge < 2; ++edge) {
          const uint8_t first = p[0], last = len ? p[len - 1] : p[0];
          if (edge && len) p[0] = p[len - 1] = kSought;
          ASSERT_EQ(f(p, kSought, len), CntMemB(p, kSought, len))
              << v.Name << " al=" << al << " len=" << len;
          ASSERT_EQ(f(p, 0x55, len), CntMemB(p, 0x55, len)) << v.Name;
          if (len) p[len - 1] = last;
          p[0] = first;
        }
        p[len] = after;
      }
      p[-1] = before;
    }
  }
}

TEST(MemVariants, SignedScansAgree) {
  TBuf buf(400, 0x7F, 3);
  for (const char* fam : {"ScnMemGTiBf", "ScnMemLTEiBf"}) {
    const auto ref = As<TScnMemIBProc>(VariantsOf(fam).front());
    for (const auto& v : VariantsOf(fam)) {
      const auto f = As<TScnMemIBProc>(v);
      for (uint32_t al = 0; al < 64; ++al)
        for (uint64_t len = 0; len <= 300; len += (len < 40 ? 1 : 7))
          for (int8_t t : {int8_t(0x20), int8_t(-1), int8_t(100), int8_t(-128), int8_t(126)})
            ASSERT_EQ(f(buf.base + al, t, len), ref(buf.base + al, t, len))
                << v.Name << " al=" << al << " len=" << len << " t=" << int(t);
    }
  }
}

TEST(MemVariants, OneMebibyteWithMatchAtEdges) {
  const uint64_t len = 1 << 20;
  TBuf buf(len + 128, kSought, 4);
  for (const auto& v : VariantsOf("ScnMemBf")) {
    const auto f = As<TScnMemBProc>(v);
    for (uint32_t al = 0; al < 64; ++al) {
      uint8_t* p = buf.base + al;
      ASSERT_EQ(f(p, kSought, len), -1) << v.Name;
      for (uint64_t at : {uint64_t(0), len - 1, len}) {
        const uint8_t saved = p[at];
        p[at] = kSought;
        ASSERT_EQ(f(p, kSought, len), at == len ? -1 : static_cast<int64_t>(at))
            << v.Name << " al=" << al << " at=" << at;
        p[at] = saved;
      }
    }
  }
  for (const auto& v : VariantsOf("CntMemB"))
    for (uint32_t al = 0; al < 64; ++al) {
      uint8_t* p = buf.base + al;
      const uint8_t a = p[0], b = p[len - 1], c = p[len];
      p[0] = p[len - 1] = p[len] = 0x33;
      ASSERT_EQ(As<TCntMemBProc>(v)(p, 0x33, len), CntMemB(p, 0x33, len)) << v.Name << " al=" << al;
      p[0] = a;
      p[len - 1] = b;
      p[len] = c;
    }
}

TEST(MemVariants, RangesTouchingInaccessiblePagesDoNotFault) {
  TGuarded g(2);
  std::memset(g.data, 'x', g.size);
  for (const char* fam : {"ScnMemBf", "ScnMemBr", "ScnMemNtBf", "ScnMemNtBr"}) {
    const auto ref = As<TScnMemBProc>(VariantsOf(fam).front());
    for (const auto& v : VariantsOf(fam)) {
      const auto f = As<TScnMemBProc>(v);
      for (uint64_t len = 0; len <= 300; ++len)
        for (uint8_t b : {uint8_t('x'), uint8_t('y')})
          for (uint64_t gap : {0, 1, 7, 15, 16, 17, 31, 33}) {
            // Ranges ending `gap` bytes before the inaccessible page, or starting `gap`
            // bytes after the one in front.
            uint8_t* atEnd = g.data + g.size - gap - len;
            ASSERT_EQ(f(atEnd, b, len), ref(atEnd, b, len)) << v.Name << " len=" << len;
            ASSERT_EQ(f(g.data + gap, b, len), ref(g.data + gap, b, len))
                << v.Name << " len=" << len;
          }
    }
  }
  for (const char* fam : {"ScnMemGTiBf", "ScnMemLTEiBf"})
    for (const auto& v : VariantsOf(fam))
      for (uint64_t len = 0; len <= 300; ++len) {
        EXPECT_EQ(As<TScnMemIBProc>(v)(g.data + g.size - len, 'x', len),
                  fam[6] == 'G' || len == 0 ? -1 : 0)
            << v.Name;
        As<TScnMemIBProc>(v)(g.data, 'x', len);
      }
  for (const auto& v : VariantsOf("CntMemB"))
    for (uint64_t len = 0; len <= 300; ++len)
      for (uint64_t gap : {0, 1, 15, 17, 31, 33}) {
        ASSERT_EQ(As<TCntMemBProc>(v)(g.data + g.size - gap - len, 'x', len), len) << v.Name;
        ASSERT_EQ(As<TCntMemBProc>(v)(g.data + gap, 'x', len), len) << v.Name;
      }
  for (const auto& v : VariantsOf("FndStrBf"))
    for (uint64_t len = 0; len <= 300; ++len) {
      EXPECT_EQ(As<TFndStrProc>(v)(g.data + g.size - len, "xy", len, 2), -1) << v.Name;
      EXPECT_EQ(As<TFndStrProc>(v)(g.data, "xy", len, 2), -1) << v.Name;
    }
  for (const auto& v : VariantsOf("CntMemBitsB"))
    for (uint64_t len = 0; len <= 40; ++len)
      EXPECT_EQ(As<TCntMemBitsBProc>(v)(g.data + g.size - len, len), 4 * len) << v.Name;
}

TEST(MemVariants, SubstringSearchAgrees) {
  std::mt19937 rng(5);
  std::vector<uint8_t> text(700);
  for (auto& c : text) c = static_cast<uint8_t>('a' + rng() % 3);  // many partial matches
  const auto variants = VariantsOf("FndStrBf");
  for (uint64_t patLen = 1; patLen <= 20; ++patLen)
    for (uint32_t al = 0; al < 64; al += 3)
      for (uint64_t len = 0; len <= 300; len += (len < 40 ? 1 : 13)) {
        const uint8_t* pat = text.data() + 600 + (patLen % 7);
        const int64_t expect = FndStrBf(text.data() + al, pat, len, patLen);
        for (const auto& v : variants)
          ASSERT_EQ(As<TFndStrProc>(v)(text.data() + al, pat, len, patLen), expect)
              << v.Name << " patLen=" << patLen << " len=" << len;
      }
}

TEST(MemVariants, CopiesHaveMoveSemanticsOnOverlap) {
  for (const auto& v : VariantsOf("CpyMem")) {
    const auto f = As<TCpyMemProc>(v);
    for (int shift : {-33, -8, -1, 0, 1, 7, 64}) {
      for (uint64_t len : {0u, 1u, 15u, 100u, 300u}) {
        std::vector<uint8_t> a(512), b;
        for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint8_t>(i * 7);
        b = a;
        f(a.data() + 100, a.data() + 100 + shift, len);
        std::memmove(b.data() + 100 + shift, b.data() + 100, len);
        ASSERT_EQ(a, b) << v.Name << " shift=" << shift << " len=" << len;
      }
    }
  }
}

TEST(MemVariants, FillCombineAndBitRoutinesAgree) {
  std::mt19937 rng(6);
  std::vector<uint8_t> a(400), b(400);
  for (auto& x : a) x = static_cast<uint8_t>(rng());
  for (auto& x : b) x = static_cast<uint8_t>(rng());
  for (const char* fam : {"MemAndB", "MemOrB", "MemXorB", "MemAddB"}) {
    const auto ref = As<TMemOp3Proc>(VariantsOf(fam).front());
    for (const auto& v : VariantsOf(fam))
      for (uint32_t al = 0; al < 32; ++al)
        for (uint64_t len : {0u, 1u, 15u, 16u, 17u, 63u, 200u, 300u}) {
          std::vector<uint8_t> d1(400, 0), d2(400, 0);
          As<TMemOp3Proc>(v)(a.data() + al, b.data() + al, d1.data() + al, len);
          ref(a.data() + al, b.data() + al, d2.data() + al, len);
          ASSERT_EQ(d1, d2) << v.Name;
        }
  }
  for (const auto& v : VariantsOf("RepValB"))
    for (uint64_t len : {0u, 1u, 31u, 300u}) {
      std::vector<uint8_t> d(400, 1);
      As<TRepValBProc>(v)(d.data() + 3, 0xAB, len);
      for (size_t i = 0; i < d.size(); ++i)
        ASSERT_EQ(d[i], (i >= 3 && i < 3 + len) ? 0xAB : 1) << v.Name;
    }
  for (const auto& v : VariantsOf("CntMemBitsB"))
    for (uint32_t al = 0; al < 16; ++al)
      for (uint64_t len = 0; len <= 300; len += 11)
        ASSERT_EQ(As<TCntMemBitsBProc>(v)(a.data() + al, len), CntMemBitsB(a.data() + al, len))
            << v.Name;
  for (const auto& v : VariantsOf("CntBitsD"))
    for (uint32_t x : {0u, 1u, 0xFFFFFFFFu, 0x80000001u, 0x12345678u})
      EXPECT_EQ(As<TCntBitsDProc>(v)(x), CntBitsD(x)) << v.Name;
  for (const auto& v : VariantsOf("CntBitsB"))
    for (int x = 0; x < 256; ++x)
      EXPECT_EQ(As<TCntBitsBProc>(v)(static_cast<uint8_t>(x)), NBitsInByte[x]) << v.Name;
  for (const auto& v : VariantsOf("CntEqB"))
    EXPECT_EQ(As<TCntEqBProc>(v)(a.data(), b.data(), 300), CntEqB(a.data(), b.data(), 300));
  for (const auto& v : VariantsOf("XtrBitsD")) {
    EXPECT_EQ(As<TXtrBitsDProc>(v)(0xABCD, 4, 8), 0xBCu) << v.Name;
    for (uint8_t s = 0; s < 32; ++s)
      for (uint8_t l = 0; s + l <= 32; ++l)
        ASSERT_EQ(As<TXtrBitsDProc>(v)(0xDEADBEEFCAFEF00Dull, s, l),
                  XtrBitsD_noBMI(0xDEADBEEFCAFEF00Dull, s, l))
            << v.Name << " " << int(s) << " " << int(l);
  }
  for (const auto& v : VariantsOf("InsBitsD")) {
    EXPECT_EQ(As<TInsBitsDProc>(v)(0xFFFFFFFFu, 0, 4, 8), 0xFFFFF00Fu) << v.Name;
    for (uint32_t s = 0; s < 32; ++s)
      for (uint32_t l = 0; s + l <= 32; ++l)
        ASSERT_EQ(As<TInsBitsDProc>(v)(0x13579BDFu, 0xCAFEBABEu, s, l),
                  InsBitsD_noBMI(0x13579BDFu, 0xCAFEBABEu, s, l))
            << v.Name;
  }
}

TEST(MemVariants, MinMaxFormsAgree) {
  const std::vector<uint32_t> vals = {0u, 1u, 5u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu};
  for (uint32_t x : vals)
    for (uint32_t y : vals) {
      EXPECT_EQ(minD_C(x, y), minD(x, y));
      EXPECT_EQ(maxD_C(x, y), maxD(x, y));
      EXPECT_EQ(minID_C(int32_t(x), int32_t(y)), minID(int32_t(x), int32_t(y)));
      EXPECT_EQ(maxID_C(int32_t(x), int32_t(y)), maxID(int32_t(x), int32_t(y)));
      EXPECT_EQ(minN_C(uint64_t(x) << 20, y), minN(uint64_t(x) << 20, y));
      EXPECT_EQ(maxN_C(uint64_t(x) << 20, y), maxN(uint64_t(x) << 20, y));
      for (uint32_t z : vals) {
        EXPECT_EQ(LimitMinMaxD_C(x, y, z), LimitMinMaxD(x, y, z));
        EXPECT_EQ(LimitMinMaxID_C(int32_t(x), int32_t(y), int32_t(z)),
                  LimitMinMaxID(int32_t(x), int32_t(y), int32_t(z)));
      }
    }
}

TEST(MemVariants, InstalledPointersAreRunnableVariants) {
  // Whatever level the suite runs at, every installed pointer is a variant this processor runs.
  std::map<std::string, bool> names;
  for (const auto& v : RunnableVariants(SelectionCPU())) names[v.Name] = true;
  for (const char* n : {VariantName(fScnMemBf), VariantName(fCntMemB), VariantName(fCpyMem),
                        VariantName(fFndStrBf), VariantName(fCntMemBitsB), VariantName(XtrBitsD),
                        VariantName(fRepValB), VariantName(fScnMemGTiBf)})
    EXPECT_TRUE(names.count(n)) << n;
}

}  // namespace
