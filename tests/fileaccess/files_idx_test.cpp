// Index files: layout, round trip, and refusal of truncated, malformed or stale files.
#include <gtest/gtest.h>
#include <utime.h>

#include "fileaccess/korFileIO.h"
#include "fileaccess/korIdx.h"
#include "filesTestUtil.h"

namespace {

std::string Le(uint64_t v, unsigned w) {
  std::string s;
  IdxPutLE(s, v, w);
  return s;
}

// Set file of one LF index over a data file of dataSz bytes, without an identity record.
std::string ForeignSet(const std::vector<uint64_t>& ents, unsigned w, uint32_t reserved = 0) {
  std::string s = Le(1, 2) + Le(0, 2) + Le(reserved, 4) + std::string(reserved, '\0');
  s += Le(ents.size(), 8) + Le(2, 4) + Le(w, 1) + std::string("\n\0", 2);
  for (auto e : ents) s += Le(e, w);
  return s;
}

}  // namespace

TEST(FilesIdx, CompactIndexBlockLayout) {
  TFilesTmpDir d;
  std::string data(300, 'x');
  data[10] = data[100] = data[299] = '\n';
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(d.Write("data.txt", data)));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  std::string buf;
  ASSERT_TRUE(CompactIndexToBuf(*f.Index(0), buf));
  EXPECT_EQ(buf.size(), 21u);  // 13 + 2 + 3 * 2
  EXPECT_EQ(buf, Le(3, 8) + Le(2, 4) + Le(2, 1) + std::string("\n\0", 2) + Le(10, 2) + Le(100, 2) +
                     Le(299, 2));
}

TEST(FilesIdx, RoundTripAndReservedBytes) {
  TFilesTmpDir d;
  std::string data = "a\tb\nc\td\ne\n";
  auto dp = d.Write("data.tsv", data);
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(dp));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  ASSERT_EQ(f.MakeIndex("\t"), 1u);
  auto ip = d.Path("data.idx");
  ASSERT_TRUE(f.SaveIndicesToFile(ip, cNoIdx, true));  // no decoder: plain set
  TMMTF g;
  ASSERT_TRUE(g.LoadMMF(dp));
  ASSERT_EQ(g.LoadIndicesFromFile(ip), 2u) << g.LastError().Msg;
  EXPECT_EQ(g.GetItem(1), "c\td");
  ASSERT_TRUE(g.SetSubitemMode(smIndexed, "\t", 0));
  EXPECT_EQ(g.GetSubitem(1, 1), "d");
  // Maximum count 0 and no decoder: nothing written.
  EXPECT_FALSE(f.SaveIndicesToFile(d.Path("none.idx"), 0, false));
  EXPECT_FALSE(DoesFileExist(d.Path("none.idx")));
  // A foreign file with 16 reserved bytes: the first block is at offset 24.
  auto fp = d.Write("foreign.idx", ForeignSet({3, 7, 9}, 1, 16));
  TMMTF h;
  ASSERT_TRUE(h.LoadMMF(dp));
  ASSERT_EQ(h.LoadIndicesFromFile(fp), 1u);
  EXPECT_EQ(h.GetItem(1), "c\td");
}

TEST(FilesIdx, MalformedFilesAreRefusedAndIndexesKept) {
  TFilesTmpDir d;
  std::string data = "a\nbb\nccc\n";  // LF at 1, 4, 8
  auto dp = d.Write("data.txt", data);
  std::string good = ForeignSet({1, 4, 8}, 1);
  struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"short header", good.substr(0, 5)},
      {"truncated entries", good.substr(0, good.size() - 1)},
      {"trailing bytes", good + "x"},
      {"huge count", Le(1, 2) + Le(0, 2) + Le(0, 4) + Le(~uint64_t(0) / 2, 8) + Le(2, 4) +
                         Le(1, 1) + std::string("\n\0", 2)},
      {"separator length past end",
       Le(1, 2) + Le(0, 2) + Le(0, 4) + Le(0, 8) + Le(0xFFFFFFFF, 4) + Le(1, 1)},
      {"zero separator",
       Le(1, 2) + Le(0, 2) + Le(0, 4) + Le(0, 8) + Le(1, 4) + Le(1, 1) + std::string(1, '\0')},
      {"no terminator", Le(1, 2) + Le(0, 2) + Le(0, 4) + Le(0, 8) + Le(2, 4) + Le(1, 1) + "\nx"},
      {"width 0", ForeignSet({}, 0)},
      {"width 9", Le(1, 2) + Le(0, 2) + Le(0, 4) + Le(1, 8) + Le(2, 4) + Le(9, 1) +
                      std::string("\n\0", 2) + std::string(9, '\0')},
      {"decreasing", ForeignSet({4, 1, 8}, 1)},
      {"repeated", ForeignSet({1, 1, 8}, 1)},
      {"beyond data", ForeignSet({1, 4, 9}, 1)},
      {"beyond data wide", ForeignSet({1, 4, uint64_t(1) << 40}, 8)},
      {"reserved past end", Le(1, 2) + Le(0, 2) + Le(1000, 4)},
      {"decoder block without decoder", Le(2, 2) + Le(1, 2) + Le(0, 4) + Le(0, 8)},
      {"unknown flags", Le(1, 2) + Le(7, 2) + Le(0, 4)},
      {"more blocks than present", Le(2, 2) + good.substr(2)},
  };
  for (const auto& c : cases) {
    TMMTF f;
    ASSERT_TRUE(f.LoadMMF(dp));
    ASSERT_EQ(f.MakeIndex("\n"), 0u);
    auto ip = d.Write("bad.idx", c.bytes);
    EXPECT_EQ(f.LoadIndicesFromFile(ip), cNoIdx) << c.name;
    EXPECT_TRUE(f.LastError().IsError()) << c.name;
    ASSERT_EQ(f.NIndices(), 1u) << c.name;  // previous indexes untouched
    EXPECT_EQ(f.GetItem(2), "ccc") << c.name;
  }
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(dp));
  EXPECT_EQ(f.LoadIndicesFromFile(d.Write("good.idx", good)), 1u);
  EXPECT_EQ(f.LoadIndicesFromFile(d.Path("missing.idx")), cNoIdx);
  TMMTF nothing;  // no data file loaded: nothing to check the offsets against
  EXPECT_EQ(nothing.LoadIndicesFromFile(d.Path("good.idx")), cNoIdx);
}

TEST(FilesIdx, StaleIndexRefused) {
  TFilesTmpDir d;
  auto dp = d.Write("data.txt", "one\ntwo\nthree\n");
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(dp));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  auto ip = d.Path("data.idx");
  ASSERT_TRUE(f.SaveIndicesToFile(ip, cNoIdx, false));
  f.CloseMMF();
  // Same size, other content and time: an index made before must not be trusted.
  d.Write("data.txt", "eno\nowt\neerht\n");
  struct utimbuf t = {1000000, 1000000};
  utime(dp.c_str(), &t);
  TMMTF g;
  ASSERT_TRUE(g.LoadMMF(dp));
  EXPECT_EQ(g.LoadIndicesFromFile(ip), cNoIdx);
  EXPECT_NE(g.LastError().Msg.find("stale"), std::string::npos);
}

TEST(FilesIdx, SaveReplacesThroughRenameAndReportsErrors) {
  TFilesTmpDir d;
  auto dp = d.Write("data.txt", "a\nb\n");
  TMMTF f;
  ASSERT_TRUE(f.LoadMMF(dp));
  ASSERT_EQ(f.MakeIndex("\n"), 0u);
  auto ip = d.Write("data.idx", std::string(1000, 'z'));
  ASSERT_TRUE(f.SaveIndicesToFile(ip));
  EXPECT_LT(FilesSlurp(ip).size(), 1000u);
  EXPECT_FALSE(f.SaveIndicesToFile(d.Path("no/such/dir/x.idx")));
  EXPECT_TRUE(f.LastError().IsError());
}

TEST(FilesIdx, DecoderBlockRoundTrip) {
  // A decoder that stores a 4-byte tag as its block.
  struct TTagDecoder : IRawDataDecoder {
    void MemAttach(const uint8_t*, uint64_t) override {}
    bool InitialiseDecoder(TRawOfsPtrFunc r, TMemAttachFunc, uint64_t sz) override {
      raw = std::move(r);
      size = sz;
      return true;
    }
    const uint8_t* OfsPtr(uint64_t o, uint64_t l) override { return raw(o, l); }
    uint64_t GetDecodedFileSz() override { return size; }
    void GetDecodedRegionsOfs(uint64_t& a, uint64_t& b) override { a = b = cNoOfs; }
    bool DecodeBlockRange(uint64_t, TRawDataDecodeBlockParams&) override { return false; }
    uint64_t LoadDecoderIndexFromBuf(const uint8_t* p, uint64_t avail) override {
      return avail >= 4 && std::string(reinterpret_cast<const char*>(p), 4) == "TAG!" ? 4 : cNoOfs;
    }
    bool SaveDecoderIndexToBuf(std::string& out) override {
      out += "TAG!";
      return true;
    }
    TRawOfsPtrFunc raw;
    uint64_t size = 0;
  };
  TFilesTmpDir d;
  auto dp = d.Write("data.txt", "a\nb\n");
  TMMTF f;
  f.SetDecoder(std::make_shared<TTagDecoder>());
  ASSERT_TRUE(f.LoadMMF(dp));
  f.MemAttach(f.RawOfsPtr(0, 4), 4);
  auto ip = d.Path("d.idx");
  TMMTF plain;
  ASSERT_TRUE(plain.LoadMMF(dp));
  ASSERT_EQ(plain.MakeIndex("\n"), 0u);
  f.SetIdx({*plain.Index(0)});
  ASSERT_TRUE(f.SaveIndicesToFile(ip, cNoIdx, true));
  TMMTF g;
  g.SetDecoder(std::make_shared<TTagDecoder>());
  ASSERT_TRUE(g.LoadMMF(dp));
  EXPECT_EQ(g.LoadIndicesFromFile(ip), 1u) << g.LastError().Msg;
  EXPECT_EQ(plain.LoadIndicesFromFile(ip), cNoIdx);  // block table but no decoder
  std::string bytes = FilesSlurp(ip);
  bytes[8 + cIdxIdentitySz] = 'X';  // damage the decoder block
  auto bp = d.Write("bad.idx", bytes);
  EXPECT_EQ(g.LoadIndicesFromFile(bp), cNoIdx);
}
