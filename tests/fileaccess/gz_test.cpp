// Compressed input: plain, gzip, multi-member gzip and BGZF copies give the same items and
// bytes; damaged and truncated files end with an error naming the file and the offset.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/korThd.h"
#include "base/zelProgress.h"
#include "fileaccess/bioBGZF.h"

// Seeded text and gzip/BGZF writers built on zlib, so the tests need no outside tool.
namespace gztest {

// VCF-like tab-separated lines, LF-terminated, reproducible from the seed.
inline std::string MakeText(size_t approxBytes, uint32_t seed) {
  std::mt19937 rng(seed);
  static const char* gts[] = {"0/0", "0/1", "1/1", "./.", "0|1", "1|0"};
  std::string s = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int i = 0; i < 8; ++i) s += "\tS" + std::to_string(i);
  s += '\n';
  uint64_t pos = 1000;
  while (s.size() < approxBytes) {
    pos += rng() % 500 + 1;
    s += "chr" + std::to_string(rng() % 3 + 1) + '\t' + std::to_string(pos) + "\trs" +
         std::to_string(rng()) + "\tACGT"[rng() % 4 + 1];
    s += '\t';
    s += "ACGT"[rng() % 4];
    s += "\t50\tPASS\tDP=" + std::to_string(rng() % 1000) + "\tGT:DP";
    for (int i = 0; i < 8; ++i)
      s += std::string("\t") + gts[rng() % 6] + ":" + std::to_string(rng() % 60);
    s += '\n';
  }
  return s;
}

inline std::string Deflate(const std::string& in, int windowBits, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(in.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = uInt(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// One gzip member (window bits 31 writes the gzip header and trailer).
inline std::string Gzip(const std::string& in, int level = 6) { return Deflate(in, 31, level); }

// Several members, each holding one piece of the text (what `cat a.gz b.gz` gives).
inline std::string GzipMembers(const std::string& in, size_t pieces) {
  std::string out;
  size_t step = in.size() / pieces + 1;
  for (size_t p = 0; p < in.size(); p += step) out += Gzip(in.substr(p, step));
  return out;
}

inline void PutLE(std::string& s, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}

inline const std::string& BgzfEofBlock() {
  static const std::string eof(
      "\x1f\x8b\x08\x04\x00\x00\x00\x00\x00\xff\x06\x00\x42\x43\x02\x00\x1b\x00\x03\x00\x00\x00"
      "\x00\x00\x00\x00\x00\x00",
      28);
  return eof;
}

// One BGZF block of the given data; extraFirst puts another subfield before "BC".
inline std::string BgzfBlock(const std::string& data, bool extraFirst = false, int level = 6) {
  std::string c = Deflate(data, -15, level);
  std::string extra;
  if (extraFirst) {
    extra = "ZZ";
    PutLE(extra, 3, 2);
    extra += "xyz";
  }
  std::string b = "\x1f\x8b\x08\x04";
  PutLE(b, 0, 4);
  b += '\0';
  b += '\xff';
  PutLE(b, extra.size() + 6, 2);
  b += extra;
  b += "BC";
  PutLE(b, 2, 2);
  PutLE(b, 12 + extra.size() + 6 + c.size() + 8 - 1, 2);
  b += c;
  PutLE(b, crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())), 4);
  PutLE(b, data.size(), 4);
  return b;
}

inline std::string Bgzf(const std::string& in, size_t blockData = 65280, bool extraFirst = false,
                        bool eof = true, int level = 6) {
  std::string out;
  for (size_t p = 0; p < in.size(); p += blockData)
    out += BgzfBlock(in.substr(p, blockData), extraFirst, level);
  if (eof) out += BgzfEofBlock();
  return out;
}

inline std::string TempDir() {
  auto d = std::filesystem::temp_directory_path() / ("zel_gz_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(d);
  return d.string();
}

inline std::string WriteFile(const std::string& name, const std::string& bytes) {
  std::string path = TempDir() + "/" + name;
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  return path;
}

}  // namespace gztest

using namespace gztest;

namespace {

// Removes this process's temporary files when the test program ends.
class TGzTempCleanup : public ::testing::Environment {
 public:
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(TempDir(), ec);
  }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new TGzTempCleanup);

struct TCopies {
  std::string text;
  std::string plain, gz, gzMulti, bgzf, bgzfExtra, bgzfTwice, bgzfTiny;
};

const TCopies& Copies() {
  static const TCopies c = [] {
    TCopies k;
    k.text = MakeText(3 << 20, 42);
    k.plain = WriteFile("t.vcf", k.text);
    k.gz = WriteFile("t.vcf.gz", Gzip(k.text));
    k.gzMulti = WriteFile("t.multi.gz", GzipMembers(k.text, 5));
    k.bgzf = WriteFile("t.vcf.bgz", Bgzf(k.text));
    k.bgzfExtra = WriteFile("t.extra.bgz", Bgzf(k.text, 40000, true));
    // Two BGZF files one after the other: the first EOF block sits in the middle.
    k.bgzfTwice = WriteFile("t.twice.bgz", Bgzf(k.text) + Bgzf(k.text));
    // Many more blocks than one decode call takes while the index is built.
    k.bgzfTiny = WriteFile("t.tiny.bgz", Bgzf(k.text, 300));
    return k;
  }();
  return c;
}

struct TOpenCfg {
  uint64_t partSz = cDefMMFPartSz;
  uint64_t bufSz = 0;
  uint32_t threads = 1;
  uint64_t span = GzAccessPointSpan;
  bool indexInitialises = false;  // the index pass initialises the decoder (gzip: one pass)
  uint64_t pieceSz = 0;           // BGZF on several threads: raw bytes per piece of that pass
};

std::unique_ptr<TMMTF> Open(const std::string& path, const TOpenCfg& cfg, TZelErr& err) {
  auto f = std::make_unique<TMMTF>();
  auto d = TZCompressedFile::MakeZDecoder(GuessZCompression(path), path);
  if (d) {
    d->SetThreads(cfg.threads);
    if (auto* g = dynamic_cast<TGZFile*>(d.get())) g->SetAccessPointSpan(cfg.span);
    if (auto* b = dynamic_cast<TBGZFFile*>(d.get()); b && cfg.pieceSz) b->SetPieceSize(cfg.pieceSz);
    f->SetDecoder(d, cfg.bufSz);
    f->SetAutoInitialiseDecoderOnLoadMMF(!cfg.indexInitialises);
  }
  err.Clear();
  if (!f->LoadMMF(path, 0, cfg.partSz, false)) {
    err = f->LastError();
    return nullptr;
  }
  return f;
}

void ExpectSameItems(TMMTF& ref, TMMTF& f, const std::string& what) {
  ASSERT_EQ(ref.GetDecodedFileSz(), f.GetDecodedFileSz()) << what;
  ASSERT_EQ(ref.GetNItems(0), f.GetNItems(0)) << what;
  for (uint64_t i = 0; i < ref.GetNItems(0); ++i) {
    uint64_t o1, l1, o2, l2;
    ref.GetItemOfs(i, o1, l1, 0);
    f.GetItemOfs(i, o2, l2, 0);
    ASSERT_EQ(o1, o2) << what << " item " << i;
    ASSERT_EQ(l1, l2) << what << " item " << i;
  }
  // Items read back in order and in a scattered order give the same bytes.
  std::mt19937 rng(7);
  for (int k = 0; k < 2000; ++k) {
    uint64_t i = k < 300 ? uint64_t(k) : rng() % ref.GetNItems(0);
    ASSERT_EQ(ref.GetItem(i, 0), f.GetItem(i, 0)) << what << " item " << i;
  }
}

// A compressed copy opened on the given threads, decoding regions of at least minDecode bytes.
std::unique_ptr<TMMTF> OpenDecoded(const std::string& path, uint32_t threads, uint64_t minDecode) {
  TZelErr err;
  auto f = Open(path, {cDefMMFPartSz, 0, threads, 0x30000}, err);
  EXPECT_TRUE(f) << path << ": " << err.Details;
  auto* d = f ? dynamic_cast<TZCompressedFile*>(f->Decoder().get()) : nullptr;
  EXPECT_TRUE(d) << path;
  if (!d) return nullptr;
  d->SetMinDecompressionSize(minDecode);
  return f;
}

class GzFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitGlobalThreadPool(2, true); }
};

TEST_F(GzFiles, GuessFromFirstBytes) {
  struct {
    std::string bytes;
    TZCompressionType want;
  } cases[] = {
      {std::string("\x1f\x8b\x08\x04\x00\x00\x00\x00", 8), zcBGZF},
      {std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00", 8), zcGZ},
      {std::string("\x1f\x8b\x08\x08\x00\x00\x00\x00", 8), zcGZ},
      {"##fileformat=VCFv4.2\n", zcNotZCompressed},
      {std::string("\x1f\x8b\x08", 3), zcNotZCompressed},
      {"", zcNotZCompressed},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string p = WriteFile("guess" + std::to_string(n++), c.bytes);
    EXPECT_EQ(GuessZCompression(p), c.want) << n;
  }
  EXPECT_EQ(GuessZCompression(TempDir() + "/missing.gz"), zcNotZCompressed);
  EXPECT_EQ(GuessZCompression(Copies().bgzf), zcBGZF);
  EXPECT_EQ(GuessZCompression(Copies().gzMulti), zcGZ);
}

TEST_F(GzFiles, AllCopiesGiveSameItems) {
  const TCopies& c = Copies();
  TZelErr err;
  auto ref = Open(c.plain, {}, err);
  ASSERT_TRUE(ref) << err.Msg;
  // Lines beginning with "c" (every data line), counted in the index pass of every way of
  // loading: line breaks at the ends of blocks and pieces are settled by the next one.
  uint64_t startsC = c.text[0] == 'c';
  for (size_t i = 0; i + 1 < c.text.size(); ++i)
    startsC += c.text[i] == '\n' && c.text[i + 1] == 'c';
  ref->SetItemStartWatch('c');
  ASSERT_EQ(ref->MakeIndex("\n"), 0u);
  EXPECT_EQ(ref->WatchedItemStarts(), startsC);
  TOpenCfg cfgs[] = {
      {},
      {0x10000, 0x10000, 1, 0x40000},  // small parts, small buffer, many access points
      {0x10000, 0, 2, 0x20000},
      {cDefMMFPartSz, 0x100000, 2, 0x10000},
      {0x10000, 0x10000, 1, 0x40000, true},
      {cDefMMFPartSz, 0, 2, 0x20000, true},
      // Pieces smaller than a block: most hold no block start and are walked again.
      {0x10000, 0, 2, 0x20000, true, 3000},
      {cDefMMFPartSz, 0, 2, 0x20000, true, 70000},
  };
  for (const std::string& path : {c.gz, c.gzMulti, c.bgzf, c.bgzfExtra, c.bgzfTiny}) {
    for (const TOpenCfg& cfg : cfgs) {
      std::string what = path + " part " + std::to_string(cfg.partSz) + " buf " +
                         std::to_string(cfg.bufSz) + " threads " + std::to_string(cfg.threads) +
                         (cfg.indexInitialises ? " one pass" : "");
      auto f = Open(path, cfg, err);
      ASSERT_TRUE(f) << what << ": " << err.Msg << ": " << err.Details;
      f->SetItemStartWatch('c');
      ASSERT_EQ(f->MakeIndex("\n"), 0u) << what << ": " << f->LastError().Details;
      EXPECT_EQ(f->WatchedItemStarts(), startsC) << what;
      ExpectSameItems(*ref, *f, what);
    }
  }
}

TEST_F(GzFiles, RandomRangesEqualPlainText) {
  const TCopies& c = Copies();
  const std::string& text = c.text;
  for (const std::string& path : {c.gz, c.gzMulti, c.bgzf}) {
    for (uint32_t threads : {1u, 2u}) {
      auto f = OpenDecoded(path, threads, threads == 1 ? 0x400000 : 0x8000);
      ASSERT_TRUE(f);
      std::mt19937_64 rng(threads * 1000 + path.size());
      for (int k = 0; k < 300; ++k) {
        uint64_t len = 1 + rng() % (k % 3 == 0 ? 300000 : 2000);
        uint64_t ofs = rng() % (text.size() - len + 1);
        if (k == 0) ofs = 0;
        if (k == 1) ofs = text.size() - len;
        const uint8_t* p = f->OfsPtr(ofs, len);
        ASSERT_TRUE(p) << path << " " << ofs << "+" << len;
        ASSERT_EQ(0, std::memcmp(p, text.data() + ofs, len)) << path << " " << ofs << "+" << len;
      }
      EXPECT_EQ(f->OfsPtr(text.size() - 10, 11), nullptr);
      EXPECT_EQ(f->OfsPtr(text.size(), 1), nullptr);
      EXPECT_EQ(f->OfsPtr(~uint64_t(0) - 5, 10), nullptr);
      EXPECT_EQ(f->OfsPtr(0, 0), nullptr);
    }
  }
}

// A walk in order, each read starting inside the last one and running past it, as a VCF walk
// reads its lines: with two threads the next region is decoded ahead, and a read that runs
// over a region's end is found whole, also when it is longer than the room kept for it.
TEST_F(GzFiles, WalkInOrderEqualsPlainText) {
  const TCopies& c = Copies();
  const std::string& text = c.text;
  for (const std::string& path : {c.bgzf, c.bgzfTiny}) {
    for (uint32_t threads : {1u, 2u}) {
      auto f = OpenDecoded(path, threads, 0x8000);
      ASSERT_TRUE(f);
      std::mt19937_64 rng(threads);
      uint64_t ofs = 0, reads = 0;
      while (ofs < text.size()) {
        // Mostly line-sized reads, one after the other; now and then a long one.
        const uint64_t r = rng() % 1000;
        uint64_t len = 1 + (r == 0   ? 1200000 + rng() % 100000
                            : r < 30 ? 20000 + rng() % 70000
                                     : rng() % 3000);
        len = std::min<uint64_t>(len, text.size() - ofs);
        const uint8_t* p = f->OfsPtr(ofs, len);
        ASSERT_TRUE(p) << path << " " << ofs << "+" << len;
        ASSERT_EQ(0, std::memcmp(p, text.data() + ofs, len)) << path << " " << ofs << "+" << len;
        ofs += r % 4 == 0 ? 1 + len / 2 : len;
        ++reads;
      }
      EXPECT_GT(reads, 500u);
      // Back to the start after the walk, and onward again.
      for (uint64_t o :
           {uint64_t(0), uint64_t(text.size() / 3), uint64_t(text.size() / 3 + 40000)}) {
        const uint8_t* p = f->OfsPtr(o, 5000);
        ASSERT_TRUE(p);
        EXPECT_EQ(0, std::memcmp(p, text.data() + o, 5000)) << path << " " << o;
      }
    }
  }
}

TEST_F(GzFiles, EofBlockAddsNothing) {
  const TCopies& c = Copies();
  TZelErr err;
  auto f = Open(c.bgzf, {}, err);
  ASSERT_TRUE(f);
  auto* d = dynamic_cast<TZCompressedFile*>(f->Decoder().get());
  const TCompressedDataIndex& t = d->CDataIndex();
  ASSERT_GT(t.NRecords, 2u);
  EXPECT_EQ(t.DecompressedSize.back(), 0u);
  EXPECT_EQ(t.TotalDecompressedSize, c.text.size());
  EXPECT_EQ(d->GetDecompressedSize(0, ~uint64_t(0)), c.text.size());
  EXPECT_EQ(d->GetDecompressedSize(3, 2), cNoOfs);

  // An EOF block in the middle (two files concatenated) is an empty block, nothing more.
  auto two = Open(c.bgzfTwice, {}, err);
  ASSERT_TRUE(two);
  ASSERT_EQ(two->GetDecodedFileSz(), 2 * c.text.size());
  ASSERT_EQ(two->MakeIndex("\n"), 0u);
  const uint8_t* p = two->OfsPtr(c.text.size() - 100, 200);
  ASSERT_TRUE(p);
  std::string both = c.text + c.text;
  EXPECT_EQ(0, std::memcmp(p, both.data() + c.text.size() - 100, 200));
}

TEST_F(GzFiles, BgzfHeaderChecks) {
  std::string good = BgzfBlock("hello\n");
  auto patched = [&](size_t at, std::string bytes) {
    std::string s = good;
    s.replace(at, bytes.size(), bytes);
    return s;
  };
  std::string bigIsize = good;
  bigIsize.replace(bigIsize.size() - 4, 4, std::string("\x01\x00\x01\x00", 4));
  std::string extraOverrun = good;  // XLEN 6 but the subfield says 9 bytes of payload
  extraOverrun[14] = 9;
  std::string noBC = patched(12, "XC");
  std::string smallBsize = patched(16, std::string("\x18\x00", 2));  // 24 < XLEN + 19
  std::string shortXlen = patched(10, std::string("\x04\x00", 2));
  struct {
    const char* name;
    std::string bytes;
    TBgzfParse want;
  } cases[] = {
      {"good", good, TBgzfParse::Ok},
      {"other subfield first", BgzfBlock("hello\n", true), TBgzfParse::Ok},
      {"ISIZE above 65536", bigIsize, TBgzfParse::Bad},
      {"subfield overruns", extraOverrun, TBgzfParse::Bad},
      {"no BC subfield", noBC, TBgzfParse::Bad},
      {"BSIZE below XLEN + 19", smallBsize, TBgzfParse::Bad},
      {"XLEN below 6", shortXlen, TBgzfParse::Bad},
      {"not gzip", std::string(40, 'x'), TBgzfParse::Bad},
      {"header cut", good.substr(0, 11), TBgzfParse::Truncated},
      {"extra cut", good.substr(0, 15), TBgzfParse::Truncated},
      {"data cut", good.substr(0, good.size() - 1), TBgzfParse::Truncated},
  };
  for (const auto& c : cases) {
    // An exact-size heap copy: ASan flags any read before the checks.
    std::vector<uint8_t> buf(c.bytes.begin(), c.bytes.end());
    TRawOfsPtrFn raw = [&](uint64_t o, uint64_t l) -> const uint8_t* {
      return l && o <= buf.size() && l <= buf.size() - o ? buf.data() + o : nullptr;
    };
    TBgzfBlockInfo info;
    std::string why;
    EXPECT_EQ(ParseBgzfBlock(raw, buf.size(), 0, info, why), c.want) << c.name << ": " << why;
    if (c.want == TBgzfParse::Ok) {
      EXPECT_EQ(info.ISize, 6u);
      EXPECT_EQ(info.BlockSize, buf.size());
    } else {
      EXPECT_FALSE(why.empty()) << c.name;
    }
  }
  // The raw inflate of one block: exact size only, room checked first.
  std::string data = "hello\n", c = Deflate(data, -15);
  auto* src = reinterpret_cast<const uint8_t*>(c.data());
  std::vector<uint8_t> dst(10);
  std::string why;
  EXPECT_TRUE(BGZDecompressEx(src, c.size(), dst.data(), 2, 6, dst.size()));
  EXPECT_EQ(std::string(dst.begin() + 2, dst.begin() + 8), data);
  EXPECT_TRUE(BGZDecompressEx(src, c.size(), nullptr, 0, 0, 0));
  EXPECT_FALSE(BGZDecompressEx(src, c.size(), dst.data(), 5, 6, dst.size()));
  EXPECT_FALSE(BGZDecompressEx(src, c.size(), dst.data(), 0, 5, dst.size(), &why));
  EXPECT_FALSE(why.empty());
  // A whole file of such a block is refused with the file named.
  std::string p = WriteFile("bad_isize.bgz", bigIsize + BgzfEofBlock());
  TZelErr err;
  EXPECT_FALSE(Open(p, {}, err));
  EXPECT_EQ(err.Sender, "U");
  EXPECT_NE(err.Details.find(p), std::string::npos);
  EXPECT_NE(err.Details.find("offset 0"), std::string::npos) << err.Details;
}

// Opens and indexes path in one of four ways; the error of the first step that fails.
TZelErr IndexError(const std::string& path, uint32_t mode, uint32_t& indices) {
  TZelErr err;
  indices = 0;
  if (mode == 1) {  // the load helper
    TMMTF f;
    if (ZelLoadAndIndex(f, path, err)) return {};
    indices = f.NIndices();
    return err;
  }
  // 0: table first; 2: the one-thread one-pass load (the index pass initialises the decoder
  // and decodes every block as it is reached); 3: that pass on two threads, in small pieces.
  TOpenCfg cfg;
  cfg.indexInitialises = mode >= 2;
  cfg.threads = mode == 3 ? 2 : 1;
  cfg.pieceSz = 4096;
  auto f = Open(path, cfg, err);
  if (!f) return err;
  if (f->MakeIndex("\n") != cNoIdx) return {};
  indices = f->NIndices();
  return f->LastError();
}

// Cuts a file at every 1000th byte: each cut is an error naming the file and an offset, and
// the ways of loading take turns. A BGZF file's pieces on two threads must fail exactly as
// the walk from the start does.
void ExpectEveryCutFails(const std::string& whole, const std::string& name) {
  const bool bgzf =
      GuessZCompressionMem(reinterpret_cast<const uint8_t*>(whole.data()), whole.size()) == zcBGZF;
  // A BGZF file cut where a block ends reads as a file without its end-of-file block.
  std::set<size_t> blockEnds;
  for (size_t o = 0; bgzf && o + 18 <= whole.size();) {
    o += (uint8_t(whole[o + 16]) | size_t(uint8_t(whole[o + 17])) << 8) + 1;
    blockEnds.insert(o);
  }
  for (size_t cut = 1000; cut < whole.size(); cut += 1000) {
    if (blockEnds.count(cut)) continue;
    std::string p = WriteFile(name, whole.substr(0, cut));
    uint32_t indices = 0;
    TZelErr err = IndexError(p, uint32_t(cut / 1000) % 4, indices);
    EXPECT_EQ(indices, 0u) << name << " cut at " << cut;
    EXPECT_EQ(err.Sender, "U") << name << " cut at " << cut;
    EXPECT_NE(err.Details.find(p), std::string::npos) << err.Details;
    EXPECT_NE(err.Details.find("at offset"), std::string::npos) << err.Details;
    if (bgzf) {
      TZelErr serial = IndexError(p, 2, indices), pieces = IndexError(p, 3, indices);
      EXPECT_EQ(pieces.Msg, serial.Msg) << name << " cut at " << cut;
      EXPECT_EQ(pieces.Details, serial.Details) << name << " cut at " << cut;
    }
  }
}

TEST_F(GzFiles, TruncatedFilesAlwaysFail) {
  std::string text = MakeText(400000, 3);
  ExpectEveryCutFails(Bgzf(text), "cut.bgz");
  ExpectEveryCutFails(Gzip(text), "cut.gz");
  ExpectEveryCutFails(GzipMembers(text, 4), "cut.multi.gz");
}

TEST_F(GzFiles, DamagedDataCarriesZlibMessage) {
  std::string text = MakeText(200000, 5);
  // BGZF: the table is fine, the block fails when decoded.
  std::string b = Bgzf(text);
  b[18 + 40] ^= 0x55;  // inside the first block's deflate data
  std::string p = WriteFile("damaged.bgz", b);
  TZelErr err;
  auto f = Open(p, {}, err);
  ASSERT_TRUE(f) << err.Details;
  EXPECT_EQ(f->MakeIndex("\n"), cNoIdx);
  err = f->LastError();
  EXPECT_EQ(err.Sender, "U");
  EXPECT_EQ(err.Msg, "Damaged BGZF block");
  EXPECT_NE(err.Details.find(p + " at offset 18: "), std::string::npos) << err.Details;

  // gzip: the indexing pass meets the damage and reports zlib's words.
  std::string g = Gzip(text);
  g[g.size() / 2] ^= 0x55;
  p = WriteFile("damaged.gz", g);
  EXPECT_FALSE(Open(p, {}, err));
  EXPECT_EQ(err.Msg, "Damaged gzip file");
  EXPECT_NE(err.Details.find(p + " at offset "), std::string::npos) << err.Details;
  std::string why = err.Details.substr(err.Details.rfind(": ") + 2);
  EXPECT_FALSE(why.empty());

  // The trailer's size is never the size: a lying ISIZE is caught by zlib's length check.
  std::string lie = Gzip(text);
  lie.replace(lie.size() - 4, 4, std::string("\x05\x00\x00\x00", 4));
  p = WriteFile("lying.gz", lie);
  EXPECT_FALSE(Open(p, {}, err));
  EXPECT_NE(err.Details.find("incorrect length check"), std::string::npos) << err.Details;
}

// Stored (uncompressed) blocks that carry a BGZF file of their own hold chains of headers
// that look real: a piece of the file decoded on its own may begin at one of them, and must
// then be walked again from where the piece before it ended.
TEST_F(GzFiles, PiecesSeeThroughLookAlikeHeaders) {
  std::string inner = Bgzf(MakeText(150000, 11), 1500);
  std::string text = MakeText(50000, 12) + inner + MakeText(20000, 13) + inner + "\n";
  std::string plainPath = WriteFile("nested.txt", text);
  std::string path = WriteFile("nested.bgz", Bgzf(text, 65280, false, true, 0));
  TZelErr err;
  auto ref = Open(plainPath, {}, err);
  ASSERT_TRUE(ref) << err.Details;
  ASSERT_EQ(ref->MakeIndex("\n"), 0u);
  for (uint64_t piece : {700u, 5000u, 40000u, 200000u}) {
    TOpenCfg cfg;
    cfg.threads = 2;
    cfg.indexInitialises = true;
    cfg.pieceSz = piece;
    auto f = Open(path, cfg, err);
    ASSERT_TRUE(f) << err.Details;
    ASSERT_EQ(f->MakeIndex("\n"), 0u) << piece << ": " << f->LastError().Details;
    ExpectSameItems(*ref, *f, "pieces of " + std::to_string(piece));
  }
}

// Two damaged blocks far apart: however the pieces finish, the first one is reported.
TEST_F(GzFiles, PiecesReportTheFirstDamage) {
  std::string b = Bgzf(MakeText(400000, 14), 8000);
  std::string p = WriteFile("damaged2.bgz", b);
  // Damage the data of the third block and of one near the end.
  std::vector<size_t> starts;
  for (size_t o = 0; o + 18 <= b.size();
       o += size_t(uint8_t(b[o + 16]) | uint8_t(b[o + 17]) << 8) + 1)
    starts.push_back(o);
  ASSERT_GT(starts.size(), 10u);
  b[starts[2] + 30] ^= 0x55;
  b[starts[starts.size() - 4] + 30] ^= 0x55;
  p = WriteFile("damaged2.bgz", b);
  uint32_t indices = 0;
  TZelErr serial = IndexError(p, 2, indices);
  EXPECT_EQ(serial.Msg, "Damaged BGZF block");
  EXPECT_NE(serial.Details.find(" at offset " + std::to_string(starts[2] + 18)), std::string::npos)
      << serial.Details;
  for (int k = 0; k < 5; ++k) {
    TZelErr pieces = IndexError(p, 3, indices);
    EXPECT_EQ(pieces.Details, serial.Details);
    EXPECT_EQ(indices, 0u);
  }
}

// Progress that asks to stop at its nth report.
class TStopAt : public IZelProgress {
 public:
  explicit TStopAt(int n) : FLeft(n) {}
  void Progress(uint64_t, uint64_t) override { --FLeft; }
  bool Cancelled() override { return FLeft <= 0; }

 private:
  std::atomic<int> FLeft;
};

// Stopping the one-pass load leaves no index, whichever way the file is decoded.
TEST_F(GzFiles, OnePassLoadStops) {
  const TCopies& c = Copies();
  TOpenCfg onePass, pieces;
  onePass.indexInitialises = pieces.indexInitialises = true;
  pieces.threads = 2;
  pieces.pieceSz = 50000;
  for (const auto& [path, cfg] :
       {std::pair{c.gz, onePass}, std::pair{c.bgzf, onePass}, std::pair{c.bgzf, pieces}}) {
    TZelErr err;
    auto f = Open(path, cfg, err);
    ASSERT_TRUE(f) << err.Details;
    TStopAt stop(3);
    f->SetProgress(&stop);
    EXPECT_EQ(f->MakeIndex("\n"), cNoIdx) << path << " threads " << cfg.threads;
    EXPECT_EQ(f->LastError().Msg, "Indexing cancelled") << path << " threads " << cfg.threads;
    EXPECT_EQ(f->NIndices(), 0u);
  }
}

TEST_F(GzFiles, GzipEndings) {
  std::string text = MakeText(100000, 9);
  TZelErr err;
  auto zeros = Open(WriteFile("zeros.gz", Gzip(text) + std::string(100, '\0')), {}, err);
  ASSERT_TRUE(zeros) << err.Details;
  EXPECT_EQ(zeros->GetDecodedFileSz(), text.size());
  EXPECT_FALSE(Open(WriteFile("garbage.gz", Gzip(text) + "garbage"), {}, err));
  EXPECT_NE(err.Details.find("not a gzip member"), std::string::npos) << err.Details;
  // A second member that is cut short is an error, not a shorter file.
  std::string two = Gzip(text) + Gzip(text);
  EXPECT_FALSE(Open(WriteFile("twocut.gz", two.substr(0, two.size() - 3)), {}, err));
  // An empty member decodes to nothing.
  auto empty = Open(WriteFile("empty.gz", Gzip("")), {}, err);
  ASSERT_TRUE(empty) << err.Details;
  EXPECT_EQ(empty->GetDecodedFileSz(), 0u);
}

// As peers do, a BGZF file without its end-of-file block is read, block by complete block, with
// a warning that it may be truncated, on every way of loading; a cut inside a block stays an
// error naming the offset.
TEST_F(GzFiles, BgzfWithoutEofBlockLoadsWithAWarning) {
  const TCopies& c = Copies();
  std::ifstream in(c.bgzf, std::ios::binary);
  const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_TRUE(whole.ends_with(BgzfEofBlock()));
  const std::string noEof = whole.substr(0, whole.size() - BgzfEofBlock().size());
  const std::string path = WriteFile("noeof.bgz", noEof);
  TZelErr err;
  auto ref = Open(c.bgzf, {}, err);
  ASSERT_TRUE(ref);
  ASSERT_EQ(ref->MakeIndex("\n"), 0u);
  EXPECT_TRUE(ref->LoadWarnings().empty());
  TOpenCfg onePass, pieces;
  onePass.indexInitialises = pieces.indexInitialises = true;
  pieces.threads = 2;
  pieces.pieceSz = 50000;
  for (const TOpenCfg& cfg : {TOpenCfg(), onePass, pieces}) {
    const std::string how = "threads " + std::to_string(cfg.threads) +
                            (cfg.indexInitialises ? " one pass" : " table first");
    auto f = Open(path, cfg, err);
    ASSERT_TRUE(f) << how << ": " << err.Msg << ": " << err.Details;
    ASSERT_EQ(f->MakeIndex("\n"), 0u) << how << ": " << f->LastError().Details;
    EXPECT_EQ(f->LoadWarnings(),
              std::vector<std::string>{
                  "The BGZF end-of-file block is missing, the file may be truncated: " + path})
        << how;
    ExpectSameItems(*ref, *f, how);
  }
  // The last block cut short: an error at that block's offset.
  const auto* d = dynamic_cast<TZCompressedFile*>(ref->Decoder().get());
  const uint64_t lastBlock = d->CDataIndex().CDataOfs[d->CDataIndex().NRecords - 2] - 18;
  const std::string cut = WriteFile("cutblock.bgz", noEof.substr(0, noEof.size() - 10));
  for (uint32_t mode : {0u, 2u, 3u}) {
    uint32_t indices = 0;
    const TZelErr e = IndexError(cut, mode, indices);
    EXPECT_EQ(e.Msg, "Truncated BGZF file") << mode;
    EXPECT_EQ(e.Details.find(cut + " at offset " + std::to_string(lastBlock)), 0u)
        << mode << ": " << e.Details;
  }
}

TEST_F(GzFiles, BgzfBlockTableRoundTrip) {
  const TCopies& c = Copies();
  TZelErr err;
  auto f = Open(c.bgzf, {}, err);
  ASSERT_TRUE(f);
  auto* d = dynamic_cast<TZCompressedFile*>(f->Decoder().get());
  std::string buf;
  ASSERT_TRUE(d->SaveDecoderIndexToBuf(buf));
  auto g = Open(c.bgzf, {}, err);
  auto* d2 = dynamic_cast<TZCompressedFile*>(g->Decoder().get());
  const auto* p = reinterpret_cast<const uint8_t*>(buf.data());
  EXPECT_EQ(d2->LoadDecoderIndexFromBuf(p, buf.size()), buf.size());
  EXPECT_EQ(d2->CDataIndex().CDataOfs, d->CDataIndex().CDataOfs);
  EXPECT_EQ(d2->GetDecodedFileSz(), c.text.size());
  // Every shorter buffer and damaged offsets are refused.
  for (size_t n = 0; n < buf.size(); n += 7)
    EXPECT_EQ(d2->LoadDecoderIndexFromBuf(p, n), cNoOfs) << n;
  std::string bad = buf;
  bad[8] ^= 1;  // decoded total
  EXPECT_EQ(d2->LoadDecoderIndexFromBuf(reinterpret_cast<const uint8_t*>(bad.data()), bad.size()),
            cNoOfs);
  // Through the index file of the owner: the block table and the line index come back.
  ASSERT_EQ(f->MakeIndex("\n"), 0u);
  std::string idxPath = TempDir() + "/t.vcf.bgz.zidx";
  ASSERT_TRUE(f->SaveIndicesToFile(idxPath)) << f->LastError().Msg;
  auto h = Open(c.bgzf, {}, err);
  ASSERT_EQ(h->LoadIndicesFromFile(idxPath), 1u) << h->LastError().Msg;
  ExpectSameItems(*f, *h, "reloaded index");
  // A gzip table is not written (its access points need their windows).
  auto gz = Open(c.gz, {}, err);
  std::string gbuf;
  EXPECT_FALSE(gz->Decoder()->SaveDecoderIndexToBuf(gbuf));
}

TEST_F(GzFiles, StandaloneOpenFile) {
  const TCopies& c = Copies();
  TBGZFFile b;
  ASSERT_TRUE(b.OpenFile(c.bgzf)) << b.LastError().Details;
  const uint8_t* p = b.OfsPtr(100000, 70000);
  ASSERT_TRUE(p);
  EXPECT_EQ(0, std::memcmp(p, c.text.data() + 100000, 70000));
  TGZFile g;
  ASSERT_TRUE(g.OpenFile(c.gzMulti)) << g.LastError().Details;
  EXPECT_EQ(g.GetDecodedFileSz(), c.text.size());
  EXPECT_EQ(g.AccessPoints().NMembers, 5u);
  std::vector<uint8_t> out(5000);
  uint64_t got = 0;
  ASSERT_TRUE(g.DecompressSection(c.text.size() - 5000, 5000, out.data(), got));
  EXPECT_EQ(got, 5000u);
  EXPECT_EQ(0, std::memcmp(out.data(), c.text.data() + c.text.size() - 5000, 5000));
  TBGZFFile notThere;
  EXPECT_FALSE(notThere.OpenFile(TempDir() + "/nope.bgz"));
  EXPECT_TRUE(notThere.LastError().IsError());
}

TEST_F(GzFiles, LoadHelperPicksDecoder) {
  const TCopies& c = Copies();
  for (const std::string& path : {c.plain, c.gz, c.bgzf}) {
    TMMTF f;
    TZelErr err;
    ASSERT_TRUE(ZelLoadMaybeCompressed(f, path, err)) << err.Details;
    EXPECT_EQ(f.HasDecoder(), path != c.plain);
    EXPECT_EQ(f.GetDecodedFileSz(), c.text.size());
  }
  TMMTF f;
  TZelErr err;
  std::string cut = WriteFile("helper_cut.bgz", Bgzf(MakeText(100000, 2)).substr(0, 5000));
  EXPECT_FALSE(ZelLoadMaybeCompressed(f, cut, err));
  EXPECT_EQ(err.Msg, "Truncated BGZF file");
}

TEST_F(GzFiles, LoadAndIndexMatchesPlainText) {
  const TCopies& c = Copies();
  TMMTF ref;
  TZelErr err;
  ASSERT_TRUE(ZelLoadAndIndex(ref, c.plain, err)) << err.Details;
  for (const std::string& path : {c.gz, c.gzMulti, c.bgzf}) {
    TMMTF f;
    ASSERT_TRUE(ZelLoadAndIndex(f, path, err)) << path << ": " << err.Details;
    ExpectSameItems(ref, f, path);
    // Random access still works after the one-pass load.
    const uint8_t* p = f.OfsPtr(c.text.size() / 2, 1000);
    ASSERT_TRUE(p);
    EXPECT_EQ(0, std::memcmp(p, c.text.data() + c.text.size() / 2, 1000)) << path;
  }
  // Another separator in the same pass: CR LF text indexed at "\r\n".
  std::string crlf;
  for (char ch : MakeText(300000, 9)) {
    if (ch == '\n') crlf += '\r';
    crlf += ch;
  }
  TMMTF plain, gz;
  ASSERT_TRUE(ZelLoadAndIndex(plain, WriteFile("crlf.vcf", crlf), err, "\r\n"));
  ASSERT_TRUE(ZelLoadAndIndex(gz, WriteFile("crlf.vcf.gz", GzipMembers(crlf, 3)), err, "\r\n"))
      << err.Details;
  ExpectSameItems(plain, gz, "CR LF gzip");
}

TEST_F(GzFiles, BgzipToolOutputReads) {
  if (std::system("command -v bgzip > /dev/null 2>&1") != 0) GTEST_SKIP() << "no bgzip";
  const TCopies& c = Copies();
  std::string out = TempDir() + "/tool.vcf.gz";
  std::string cmd = "bgzip -c '" + c.plain + "' > '" + out + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(GuessZCompression(out), zcBGZF);
  TZelErr err;
  auto ref = Open(c.plain, {}, err);
  auto f = Open(out, {0x10000, 0x10000, 2, GzAccessPointSpan}, err);
  ASSERT_TRUE(f) << err.Details;
  ASSERT_EQ(ref->MakeIndex("\n"), 0u);
  ASSERT_EQ(f->MakeIndex("\n"), 0u);
  ExpectSameItems(*ref, *f, out);
}

}  // namespace

// Every line of the index pass collected in the order the visitor protocol gives it.
class TLineCollector : public ITextLineVisitor {
 public:
  std::vector<std::string> Lines;
  void Slots(uint32_t n) override { FSlot.assign(n, {}); }
  void Begin(uint32_t slot) override { FSlot[slot].clear(); }
  void Line(uint32_t slot, const char* p, uint64_t n) override { FSlot[slot].emplace_back(p, n); }
  void Commit(uint32_t slot, const char* joined, uint64_t n) override {
    Lines.emplace_back(joined, n);
    Lines.insert(Lines.end(), FSlot[slot].begin(), FSlot[slot].end());
  }
  void End(const char* p, uint64_t n) override {
    if (n) Lines.emplace_back(p, n);
  }

 private:
  std::vector<std::vector<std::string>> FSlot;
};

// However pieces and blocks cut the text (a line longer than a piece, empty lines, CR LF, no
// break at the end), the visitor sees each line once and in order, on one thread (gzip, or
// BGZF without workers) and on several.
TEST_F(GzFiles, LineVisitorSeesEveryLineOnceInOrder) {
  std::string text = MakeText(200000, 21) + "\n\n" + std::string(9000, 'x') + "\r\n" +
                     MakeText(60000, 22) + "\nlast line";
  std::vector<std::string> want;
  for (size_t b = 0;;) {
    const size_t e = text.find('\n', b);
    if (e == std::string::npos) {
      if (b < text.size()) want.push_back(text.substr(b));
      break;
    }
    want.push_back(text.substr(b, e - b));
    b = e + 1;
  }
  ASSERT_GT(want.size(), 1000u);
  const std::string bgzf = WriteFile("visit.bgz", Bgzf(text, 3000));
  const std::string gz = WriteFile("visit.gz", Gzip(text));
  struct {
    const std::string* path;
    uint32_t threads;
    uint64_t piece;
  } cases[] = {{&bgzf, 2, 500}, {&bgzf, 2, 7000}, {&bgzf, 2, 1 << 20}, {&bgzf, 1, 0}, {&gz, 1, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(*c.path + " threads " + std::to_string(c.threads) + " piece " +
                 std::to_string(c.piece));
    TOpenCfg cfg;
    cfg.threads = c.threads;
    cfg.indexInitialises = true;
    cfg.pieceSz = c.piece;
    TZelErr err;
    auto f = Open(*c.path, cfg, err);
    ASSERT_TRUE(f) << err.Details;
    TLineCollector lines;
    f->SetLineVisitor(&lines);
    ASSERT_EQ(f->MakeIndex("\n"), 0u) << f->LastError().Details;
    EXPECT_TRUE(f->LineVisitorRan());
    EXPECT_EQ(lines.Lines, want);
  }
}
