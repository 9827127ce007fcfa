// Indexed text file: items, parts, line breaks, subitem modes and the decoder hook.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "fileaccess/korMMTF.h"
#include "filesTestUtil.h"

namespace {

// prefix + n, built by append. GCC 12 at -O3 warns (-Wrestrict) that `"w" + std::to_string(n)`
// may copy about 2^63 bytes onto themselves: that operator+ inserts the literal at position 0 of
// the temporary string, a copy from a literal into a fresh buffer that cannot overlap (the
// warning is a GCC 12 false positive; GCC 13 and Clang are silent).
std::string Numbered(const char* prefix, uint64_t n) {
  return std::string(prefix).append(std::to_string(n));
}

constexpr uint64_t k64K = 65536;

std::vector<uint64_t> NaiveOffsets(const std::string& s, const std::string& sep) {
  std::vector<uint64_t> r;
  for (size_t p = s.find(sep); p != std::string::npos; p = s.find(sep, p + sep.size()))
    r.push_back(p);
  return r;
}

std::vector<uint64_t> Entries(const TMMTF& f, uint32_t idx) {
  std::vector<uint64_t> r;
  const TCompactIndex* ci = f.Index(idx);
  if (!ci) return r;
  for (uint64_t i = 0; i < ci->Idx.Count(); ++i) r.push_back(ci->Idx.Get(i));
  return r;
}

// Lines of random length (some longer than a part) with CR LF breaks, and CR LF pairs placed
// exactly across the first part boundaries.
std::string CrLfText(uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s;
  while (s.size() < 5 * k64K) {
    uint64_t len = rng() % 7 == 0 ? rng() % (2 * k64K) : rng() % 200;
    for (uint64_t i = 0; i < len; ++i) s.push_back(static_cast<char>('a' + rng() % 26));
    s += "\r\n";
  }
  s.resize(5 * k64K);
  for (uint64_t b : {k64K, 3 * k64K}) {
    s[b - 1] = '\r';
    s[b] = '\n';
  }
  s += "tail";
  return s;
}

}  // namespace

TEST(FilesMMTF, FourByteFileHasThreeItems) {
  TFilesTmpDir d;
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(d.Write("a", "a\nb\n")));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  EXPECT_EQ(f.Index(0)->Idx.Count(), 2u);
  EXPECT_EQ(f.GetNItems(0), 3u);
  EXPECT_EQ(f.GetItem(1), "b");
  EXPECT_EQ(f.GetItem(2), "");
  EXPECT_EQ(f.GetItemLen(2), 0u);
  uint64_t o, l;
  EXPECT_FALSE(f.GetItemOfs(3, o, l));  // entries + 1
  EXPECT_EQ(o, cNoOfs);
  EXPECT_EQ(l, 0u);
  const uint8_t* p = f.GetItemPtr(3, l);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(l, 0u);  // a missing item is never marked by a length value
  EXPECT_EQ(f.GetNItems(5), 0u);
  EXPECT_EQ(f.GetItemRange(1, 99), (std::vector<std::string>{"b", ""}));
}

TEST(FilesMMTF, NoSeparatorIsOneItem) {
  TFilesTmpDir d;
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(d.Write("a", "abcdef")));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  EXPECT_EQ(f.GetNItems(0), 1u);
  EXPECT_EQ(f.GetItem(0), "abcdef");
  EXPECT_EQ(f.MakeIndex(""), cNoIdx);
}

TEST(FilesMMTF, EntryWidthFollowsFileSize) {
  TFilesTmpDir d;
  struct {
    size_t size;
    uint8_t width;
  } cases[] = {{1, 1}, {255, 1}, {256, 2}, {65535, 2}, {65536, 3}};
  for (auto c : cases) {
    TMMTF f;
    std::string s(c.size, 'x');
    s[0] = '\n';
    ASSERT_TRUE(f.LoadMMF(d.Write(Numbered("w", c.size), s)));
    ASSERT_EQ(f.MakeIndex("\n"), 0u);
    EXPECT_EQ(f.Index(0)->Idx.ItemSize(), c.width) << c.size;
  }
  EXPECT_EQ(FaReqB64(0), 1);
  EXPECT_EQ(FaReqB64(uint64_t(1) << 32), 5);
  EXPECT_EQ(FaReqB64(~uint64_t(0)), 8);
}

TEST(FilesMMTF, PartsGiveTheSameItemsAsWholeFile) {
  TFilesTmpDir d;
  std::string s = CrLfText(7);
  auto p = d.Write("crlf.txt", s);
  for (std::string sep : {"\r\n", "\n", "\r", "x\r\n"}) {
    TMMTF whole, parts;
    ASSERT_TRUE(whole.LoadMMF(p, 0, cDefMMFPartSz));
    ASSERT_TRUE(parts.LoadMMF(p, 0, k64K));
    EXPECT_EQ(whole.NMMFParts(), 1u);
    EXPECT_EQ(parts.NMMFParts(), 6u);
    ASSERT_EQ(whole.MakeIndex(sep), 0u);
    ASSERT_EQ(parts.MakeIndex(sep), 0u);
    auto expect = NaiveOffsets(s, sep);
    EXPECT_EQ(Entries(whole, 0), expect) << sep.size();
    EXPECT_EQ(Entries(parts, 0), expect) << sep.size();
    ASSERT_EQ(parts.GetNItems(), expect.size() + 1);
    for (uint64_t i = 0; i < parts.GetNItems(); ++i) {
      uint64_t start = i == 0 ? 0 : expect[i - 1] + sep.size();
      uint64_t end = i < expect.size() ? expect[i] : s.size();
      ASSERT_EQ(parts.GetItem(i), s.substr(start, end - start)) << i;
    }
    // Random order crosses parts back and forth.
    std::mt19937 rng(1);
    for (int k = 0; k < 200; ++k) {
      uint64_t i = rng() % parts.GetNItems();
      ASSERT_EQ(parts.GetItem(i), whole.GetItem(i));
    }
  }
}

TEST(FilesMMTF, ReadWindowGivesTheSameItemsAsTheMapping) {
  TFilesTmpDir d;
  std::string s = CrLfText(11);  // lines longer than the window, and a last line without break
  auto p = d.Write("win.txt", s);
  TMMTF mapped, windowed;
  ASSERT_TRUE(mapped.LoadMMF(p, 0, k64K));
  ASSERT_TRUE(windowed.LoadMMF(p, 0, k64K));
  windowed.SetReadWindow(4096);
  ASSERT_EQ(mapped.MakeIndex("\r\n"), 0u);
  ASSERT_EQ(windowed.MakeIndex("\r\n"), 0u);
  const uint64_t n = mapped.GetNItems();
  ASSERT_EQ(windowed.GetNItems(), n);
  // In order (the window moves on), then scattered (short reads), then the last items.
  std::mt19937 rng(3);
  std::vector<uint64_t> order;
  for (uint64_t i = 0; i < n; ++i) order.push_back(i);
  for (int k = 0; k < 300; ++k) order.push_back(rng() % n);
  order.push_back(n - 1);
  order.push_back(n - 2);
  for (uint64_t i : order) {
    uint64_t l1 = 0, l2 = 0;
    const uint8_t* a = mapped.GetItemPtr(i, l1);
    std::string want = a ? std::string(reinterpret_cast<const char*>(a), l1) : std::string();
    const uint8_t* b = windowed.GetItemPtr(i, l2);
    ASSERT_EQ(l1, l2) << i;
    ASSERT_EQ(want, b ? std::string(reinterpret_cast<const char*>(b), l2) : std::string()) << i;
  }
  EXPECT_EQ(windowed.OfsPtr(s.size() - 2, 3), nullptr);
  EXPECT_NE(windowed.OfsPtr(s.size() - 2, 2), nullptr);
}

TEST(FilesMMTF, CrLfAcrossPartBoundaryCountedOnce) {
  TFilesTmpDir d;
  std::string s(2 * k64K + 5, 'q');
  s[k64K - 1] = '\r';
  s[k64K] = '\n';
  auto p = d.Write("b.txt", s);
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(p, 0, k64K));
  ASSERT_EQ(f.MakeIndex("\r\n"), 0u);
  EXPECT_EQ(Entries(f, 0), std::vector<uint64_t>{k64K - 1});
  EXPECT_EQ(f.GetItemLen(0), k64K - 1);
  EXPECT_EQ(f.GetItemLen(1), k64K + 4);
}

TEST(FilesMMTF, RawOfsPtrStaysInsideTheFile) {
  TFilesTmpDir d;
  std::string s(3 * k64K + 17, 'a');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char>(i * 7 + 3);
  auto p = d.Write("c.bin", s);
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(p, 0, k64K));
  EXPECT_EQ(f.FileSize(), s.size());  // exact, not page rounded
  EXPECT_EQ(f.RawOfsPtr(0, 0), nullptr);
  EXPECT_EQ(f.RawOfsPtr(s.size(), 1), nullptr);
  EXPECT_EQ(f.RawOfsPtr(s.size() - 10, 11), nullptr);  // would run past the end
  EXPECT_EQ(f.RawOfsPtr(cNoOfs, 2), nullptr);
  struct {
    uint64_t ofs, len;
  } reqs[] = {{0, 10},           {k64K - 3, 6}, {2 * k64K + 1, k64K + 16}, {5, 3 * k64K + 12},
              {s.size() - 1, 1}, {k64K, k64K}};
  for (auto r : reqs) {
    const uint8_t* q = f.RawOfsPtr(r.ofs, r.len);
    ASSERT_NE(q, nullptr) << r.ofs;
    EXPECT_EQ(std::memcmp(q, s.data() + r.ofs, r.len), 0) << r.ofs;
  }
}

TEST(FilesMMTF, LoadFailures) {
  TFilesTmpDir d;
  auto p = d.Write("a", std::string(3 * k64K, 'z'));
  TMMTF f;
  EXPECT_FALSE(f.LoadMMF(""));
  EXPECT_FALSE(f.LoadMMF(d.Path("missing")));
  EXPECT_TRUE(f.LastError().IsError());
  EXPECT_FALSE(f.LoadMMF(p, 0, 0));
  EXPECT_FALSE(f.LoadMMF(p, 100, k64K));  // start off the granularity
  EXPECT_EQ(f.FileSize(), 0u);
  EXPECT_EQ(f.NMMFParts(), 0u);
  EXPECT_FALSE(f.LoadMMF(p, 3 * k64K, k64K));  // start at the end
  EXPECT_FALSE(f.LoadMMF(d.Write("empty", "")));
  EXPECT_TRUE(f.LoadMMF(p, k64K, k64K));
  EXPECT_EQ(f.NMMFParts(), 2u);
}

TEST(FilesMMTF, DenyReloadIndexesOnlyTheAttachedPart) {
  TFilesTmpDir d;
  std::string s(3 * k64K, 'a');
  for (size_t i = 100; i < s.size(); i += 1000) s[i] = '\n';
  auto p = d.Write("a", s);
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(p, 0, k64K));
  f.SetDenyReload(true);
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  auto e = Entries(f, 0);
  ASSERT_FALSE(e.empty());
  EXPECT_LT(e.back(), k64K);
  EXPECT_EQ(f.RawOfsPtr(2 * k64K, 10), nullptr);
  EXPECT_NE(f.RawOfsPtr(10, 10), nullptr);
}

TEST(FilesMMTF, GuessLineBreak) {
  TFilesTmpDir d;
  struct {
    const char* text;
    const char* lb;
  } cases[] = {
      {"abc", ""}, {"\nabc", "\n"}, {"a\r\nb", "\r\n"}, {"a\rb", "\r"}, {"ab\ncd\r\n", "\n"}};
  int i = 0;
  for (auto c : cases) {
    TMMTF f;
    ASSERT_TRUE(f.LoadMMF(d.Write(Numbered("g", i++), c.text)));
    EXPECT_EQ(f.GuessLineBreak(), c.lb) << c.text;
  }
  TMMTF none;
  EXPECT_EQ(none.GuessLineBreak(), "");
}

TEST(FilesMMTF, LoadToAStr) {
  TFilesTmpDir d;
  auto p = d.Write("l", "one\r\ntwo\r\nthree");
  EXPECT_EQ(TMMTF::LoadToAStr(p, 1, 99), (std::vector<std::string>{"two", "three"}));
  EXPECT_TRUE(TMMTF::LoadToAStr(d.Path("none"), 0, 9).empty());
}

// ------------------------------------------------------------------ subitems

namespace {

std::string RandomTsv(uint32_t seed, bool finalLb) {
  std::mt19937 rng(seed);
  std::string s;
  for (int line = 0; line < 400; ++line) {
    int fields = static_cast<int>(rng() % 9);  // 0 fields: an empty line
    for (int k = 0; k < fields; ++k) {
      if (k) s += '\t';
      int len = static_cast<int>(rng() % 5);
      for (int c = 0; c < len; ++c) s.push_back("ab1\r"[rng() % 4]);
    }
    s += '\n';
  }
  if (!finalLb) s += "last\tline";
  return s;
}

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> r;
  if (line.empty()) return r;
  size_t st = 0;
  for (;;) {
    size_t t = line.find('\t', st);
    r.push_back(line.substr(st, t == std::string::npos ? std::string::npos : t - st));
    if (t == std::string::npos) break;
    st = t + 1;
  }
  return r;
}

}  // namespace

TEST(FilesMMTF, ThreeSubitemModesAgree) {
  TFilesTmpDir d;
  for (bool finalLb : {true, false}) {
    std::string s = RandomTsv(finalLb ? 11 : 12, finalLb);
    auto p = d.Write(finalLb ? "t1.tsv" : "t2.tsv", s);
    TMMTF f[3];
    for (int m = 0; m < 3; ++m) {
      ASSERT_TRUE(f[m].LoadMMF(p, 0, k64K));
      ASSERT_EQ(f[m].MakeIndex("\n"), 0u);
      if (m > 0) {
        ASSERT_EQ(f[m].MakeIndex("\t"), 1u);
      }
      if (m == 2) {
        ASSERT_EQ(f[m].MapIndices(0, 1), 0u);
      }
      ASSERT_TRUE(f[m].SetSubitemMode(static_cast<TSubindexMappingMode>(m), "\t", 0));
    }
    auto lines = NaiveOffsets(s, "\n");
    const uint64_t items = f[0].GetNItems();
    ASSERT_EQ(items, lines.size() + 1);
    for (uint64_t i = 0; i <= items; ++i) {
      std::string line = f[0].GetItem(i);
      auto fields = Split(line);
      for (int m = 0; m < 3; ++m) {
        ASSERT_EQ(f[m].GetNSubitems(i), fields.size()) << "mode " << m << " item " << i;
        for (uint64_t k = 0; k <= fields.size(); ++k) {
          std::string want = k < fields.size() ? fields[k] : std::string();
          ASSERT_EQ(f[m].GetSubitem(i, k), want) << "mode " << m << " item " << i << " " << k;
          uint64_t o, l, o0, l0;
          bool ok = f[m].GetSubitemOfs(i, k, o, l);
          bool ok0 = f[0].GetSubitemOfs(i, k, o0, l0);
          ASSERT_EQ(ok, !want.empty());
          ASSERT_EQ(ok, ok0);
          ASSERT_EQ(o, o0);
          ASSERT_EQ(l, l0);
        }
      }
    }
  }
}

TEST(FilesMMTF, SubitemEdgeCases) {
  TFilesTmpDir d;
  auto p = d.Write("x", "x\t\ty\nfirst\tlast\n\tlead\ntrail\t\n");
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(p));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  EXPECT_FALSE(f.SetSubitemMode(smUnindexed, "ab", 0));
  EXPECT_EQ(f.GetNSubitems(0), 0u);
  EXPECT_EQ(f.GetSubitem(0, 0), "");
  EXPECT_EQ(f.MapIndices(0, 0), cNoIdx);               // only one index
  EXPECT_FALSE(f.SetSubitemMode(smIndexed, "\t", 0));  // no tab index yet
  ASSERT_EQ(f.MakeIndex("\t"), 1u);
  EXPECT_FALSE(f.SetSubitemMode(smIndexedAndMapped, "\t", 0));  // no mapping yet
  for (int m = 0; m < 3; ++m) {
    if (m == 2) {
      ASSERT_NE(f.MapIndices(0, 1), cNoIdx);
    }
    ASSERT_TRUE(f.SetSubitemMode(static_cast<TSubindexMappingMode>(m), "\t", 0));
    EXPECT_EQ(f.GetNSubitems(0), 3u);
    uint64_t o, l;
    EXPECT_FALSE(f.GetSubitemOfs(0, 1, o, l));
    EXPECT_EQ(o, cNoOfs);
    EXPECT_EQ(l, 0u);
    EXPECT_EQ(f.GetSubitem(0, 2), "y");
    EXPECT_EQ(f.GetSubitem(1, 0), "first");  // never bytes of the neighbouring lines
    EXPECT_EQ(f.GetSubitem(1, 1), "last");
    EXPECT_EQ(f.GetSubitem(1, 2), "");
    EXPECT_EQ(f.GetSubitem(2, 0), "");
    EXPECT_EQ(f.GetSubitem(2, 1), "lead");
    EXPECT_EQ(f.GetNSubitems(3), 2u);
    EXPECT_EQ(f.GetSubitem(3, 0), "trail");
    EXPECT_EQ(f.GetNSubitems(4), 0u);  // the empty last item
    EXPECT_EQ(f.GetNSubitems(99), 0u);
  }
}

// ------------------------------------------------------------------ decoder hook

namespace {

// Decodes nothing: "blocks" are stretches of the raw file of the given sizes, so the decoded
// text equals the raw text. Exercises the owner's part handling and buffer growth.
class TStretchDecoder : public IRawDataDecoder {
 public:
  explicit TStretchDecoder(std::vector<uint64_t> sizes) : FSizes(std::move(sizes)) {}
  void MemAttach(const uint8_t*, uint64_t) override {}
  bool InitialiseDecoder(TRawOfsPtrFunc raw, TMemAttachFunc attach, uint64_t rawSz) override {
    FRaw = std::move(raw);
    FAttach = std::move(attach);
    FStarts.clear();
    uint64_t o = 0;
    size_t k = 0;
    while (o < rawSz) {
      uint64_t b = std::min(FSizes[k++ % FSizes.size()], rawSz - o);
      FStarts.push_back(o);
      o += b;
    }
    FStarts.push_back(rawSz);
    FTotal = rawSz;
    return true;
  }
  const uint8_t* OfsPtr(uint64_t ofs, uint64_t len) override {
    if (ofs >= FTotal || len > FTotal - ofs) return nullptr;
    const uint8_t* p = FRaw(ofs, len);
    if (!p) return nullptr;
    FRegion.assign(p, p + len);
    return FRegion.data();
  }
  uint64_t GetDecodedFileSz() override { return FTotal; }
  void GetDecodedRegionsOfs(uint64_t& a, uint64_t& b) override { a = b = cNoOfs; }
  bool DecodeBlockRange(uint64_t first, TRawDataDecodeBlockParams& prm) override {
    prm.nBlocksDecoded = 0;
    prm.DecodedSize = 0;
    prm.TotalBlocksLeft = cNoOfs;
    const uint64_t nb = FStarts.size() - 1;
    if (!prm.pBuffer) return false;
    if (first >= nb) {
      prm.TotalBlocksLeft = 0;
      return false;
    }
    uint64_t k = first, sum = 0;
    while (k < nb && k - first < prm.MaxAllowedBlocks) {
      uint64_t bs = FStarts[k + 1] - FStarts[k];
      if (sum + bs > prm.BufferSz || FStarts[k + 1] - 1 > prm.MaxAllowedRawOfs) break;
      sum += bs;
      ++k;
    }
    prm.TotalBlocksLeft = nb - k;
    if (k == first) return false;
    for (uint64_t b = first; b < k; ++b) {  // one raw request per block, as a real decoder
      const uint8_t* p = FRaw(FStarts[b], FStarts[b + 1] - FStarts[b]);
      if (!p) return false;
      std::memcpy(prm.pBuffer + (FStarts[b] - FStarts[first]), p, FStarts[b + 1] - FStarts[b]);
    }
    prm.nBlocksDecoded = k - first;
    prm.DecodedOfs = FStarts[first];
    prm.DecodedSize = sum;
    ++Calls;
    FAttach(prm.pBuffer, sum);
    return k - first < prm.MaxAllowedBlocks && k < nb && FStarts[k] <= prm.MaxAllowedRawOfs;
  }
  uint64_t LoadDecoderIndexFromBuf(const uint8_t* p, uint64_t avail) override {
    if (avail < 8) return cNoOfs;
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v == 0x5452455453ull ? 8 : cNoOfs;
  }
  bool SaveDecoderIndexToBuf(std::string& out) override {
    uint64_t v = 0x5452455453ull;
    out.append(reinterpret_cast<const char*>(&v), 8);
    return true;
  }
  int Calls = 0;

 private:
  std::vector<uint64_t> FSizes, FStarts;
  TRawOfsPtrFunc FRaw;
  TMemAttachFunc FAttach;
  std::vector<uint8_t> FRegion;
  uint64_t FTotal = 0;
};

}  // namespace

TEST(FilesMMTF, DecoderGivesTheSameItemsAsPlain) {
  TFilesTmpDir d;
  std::string s = CrLfText(3);
  auto p = d.Write("dec.txt", s);
  // Small stretches crossing part ends, and one of 200 KiB: larger than the 64 KiB buffer.
  std::vector<std::vector<uint64_t>> patterns = {{1000, 777, 3}, {200 * 1024, 5000}, {k64K}};
  TMMTF plain;
  ASSERT_TRUE(plain.LoadMMF(p, 0, k64K));
  ASSERT_EQ(plain.MakeIndex("\r\n"), 0u);
  for (const auto& pat : patterns) {
    auto dec = std::make_shared<TStretchDecoder>(pat);
    TMMTF f;
    f.SetDecoder(dec, 1);  // raised to the 64 KiB minimum
    ASSERT_TRUE(f.HasDecoder());
    ASSERT_TRUE(f.LoadMMF(p, 0, k64K));
    EXPECT_EQ(f.DecodedFileSize(), s.size());
    EXPECT_EQ(f.GuessLineBreak(), "\r\n");
    ASSERT_EQ(f.MakeIndex("\r\n"), 0u) << f.LastError().Msg;
    EXPECT_EQ(Entries(f, 0), Entries(plain, 0));
    for (uint64_t i = 0; i < plain.GetNItems(); i += 3) ASSERT_EQ(f.GetItem(i), plain.GetItem(i));
  }
}

TEST(FilesMMTF, NullDecoderIgnored) {
  TMMTF f;
  f.SetDecoder(nullptr, 0);
  EXPECT_FALSE(f.HasDecoder());
}
