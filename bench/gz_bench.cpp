// Benchmark of compressed input: building the line index of a BGZF or gzip file on one and on
// two threads. Files come from ZEL_GZ_BENCH_BGZF / ZEL_GZ_BENCH_GZ (see bench/gz_decode.sh);
// without them a small seeded file is made in the temporary folder.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/korThd.h"
#include "fileaccess/bioBGZF.h"

namespace {

std::string SmallText() {
  std::mt19937 rng(11);
  std::string s;
  static const char* gts[] = {"0/0", "0/1", "1/1", "./."};
  uint64_t pos = 1;
  while (s.size() < (uint64_t(32) << 20)) {
    pos += rng() % 300 + 1;
    s += "chr1\t" + std::to_string(pos) + "\t.\tA\tG\t50\tPASS\tDP=" + std::to_string(rng() % 999) +
         "\tGT:DP";
    for (int i = 0; i < 20; ++i)
      s += std::string("\t") + gts[rng() % 4] + ":" + std::to_string(rng() % 40);
    s += '\n';
  }
  return s;
}

std::string Deflate(const std::string& in, int windowBits) {
  z_stream z{};
  deflateInit2(&z, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, uLong(in.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = uInt(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void Le(std::string& s, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) s.push_back(char((v >> (8 * i)) & 0xFF));
}

std::string ToBgzf(const std::string& in) {
  std::string out;
  for (size_t p = 0; p < in.size(); p += 65280) {
    std::string d = in.substr(p, 65280), c = Deflate(d, -15);
    out += std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0", 16);
    Le(out, 12 + 6 + c.size() + 8 - 1, 2);
    out += c;
    Le(out, crc32(0, reinterpret_cast<const Bytef*>(d.data()), uInt(d.size())), 4);
    Le(out, d.size(), 4);
  }
  out +=
      std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x06\0BC\x02\0\x1b\0\x03\0\0\0\0\0\0\0\0\0", 28);
  return out;
}

const std::string& FileFor(TZCompressionType type) {
  static std::string bgzf, gz;
  std::string& f = type == zcBGZF ? bgzf : gz;
  if (!f.empty()) return f;
  const char* env = std::getenv(type == zcBGZF ? "ZEL_GZ_BENCH_BGZF" : "ZEL_GZ_BENCH_GZ");
  if (env && *env) return f = env;
  static const std::string text = SmallText();
  f = (std::filesystem::temp_directory_path() /
       (type == zcBGZF ? "zel_gz_bench.bgz" : "zel_gz_bench.gz"))
          .string();
  std::string bytes = type == zcBGZF ? ToBgzf(text) : Deflate(text, 31);
  std::ofstream(f, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  return f;
}

// Maps the file, builds the block table and the line index over the decoded text.
void IndexFile(benchmark::State& st, TZCompressionType type) {
  InitGlobalThreadPool(2, true);
  const std::string& path = FileFor(type);
  uint64_t decoded = 0;
  for (auto _ : st) {
    TMMTF f;
    auto d = TZCompressedFile::MakeZDecoder(type, path);
    d->SetThreads(uint32_t(st.range(0)));
    f.SetDecoder(d, st.range(1) ? uint64_t(st.range(1)) << 10
                                : ZelPreferredDecodeBufferSz(type, uint32_t(st.range(0))));
    // As ZelLoadAndIndex does: the index pass initialises the decoder (gzip decodes once).
    f.SetAutoInitialiseDecoderOnLoadMMF(false);
    if (!f.LoadMMF(path) || f.MakeIndex("\n") == cNoIdx) {
      st.SkipWithError((f.LastError().Msg + ": " + f.LastError().Details).c_str());
      return;
    }
    decoded = f.GetDecodedFileSz();
    benchmark::DoNotOptimize(f.GetNItems(0));
  }
  st.SetBytesProcessed(int64_t(decoded) * int64_t(st.iterations()));
  st.counters["decoded_MB"] = double(decoded) / 1e6;
}

// Not a timing: with ZEL_GZ_VERIFY_PLAIN (a text file) and ZEL_GZ_VERIFY_FILES (compressed
// copies of it, separated by ':'), every copy is indexed and 500 random byte ranges and the
// line count are compared with the text; a difference is reported as an error.
void BM_VerifyRandomRanges(benchmark::State& st) {
  const char* plainEnv = std::getenv("ZEL_GZ_VERIFY_PLAIN");
  const char* filesEnv = std::getenv("ZEL_GZ_VERIFY_FILES");
  if (!plainEnv || !filesEnv) {
    st.SkipWithError("set ZEL_GZ_VERIFY_PLAIN and ZEL_GZ_VERIFY_FILES");
    return;
  }
  InitGlobalThreadPool(2, true);
  for (auto _ : st) {
    TMMTF plain;
    if (!plain.LoadMMF(plainEnv) || plain.MakeIndex("\n") == cNoIdx) {
      st.SkipWithError("cannot index the plain file");
      return;
    }
    const uint64_t size = plain.GetDecodedFileSz();
    std::string list = filesEnv;
    uint64_t nFiles = 0, nRanges = 0;
    for (size_t a = 0; a < list.size();) {
      size_t b = list.find(':', a);
      if (b == std::string::npos) b = list.size();
      std::string path = list.substr(a, b - a);
      a = b + 1;
      TMMTF f;
      TZelErr err;
      if (!ZelLoadAndIndex(f, path, err)) {
        st.SkipWithError(
            (path + ": " + err.Msg + ": " + err.Details + f.LastError().Details).c_str());
        return;
      }
      if (f.GetDecodedFileSz() != size || f.GetNItems(0) != plain.GetNItems(0)) {
        st.SkipWithError((path + ": size or line count differs").c_str());
        return;
      }
      std::mt19937_64 rng(5);
      std::string want;
      for (int k = 0; k < 500; ++k) {
        uint64_t len = 1 + rng() % (k % 10 == 0 ? 4000000 : 5000);
        uint64_t ofs = k == 0 ? size - len : rng() % (size - len + 1);
        const uint8_t* p = plain.OfsPtr(ofs, len);
        if (!p) {
          st.SkipWithError("plain file unreadable");
          return;
        }
        want.assign(reinterpret_cast<const char*>(p), len);
        const uint8_t* q = f.OfsPtr(ofs, len);
        if (!q || std::memcmp(q, want.data(), len) != 0) {
          st.SkipWithError(
              (path + ": range " + std::to_string(ofs) + "+" + std::to_string(len) + " differs")
                  .c_str());
          return;
        }
        ++nRanges;
      }
      ++nFiles;
    }
    st.counters["files_equal"] = double(nFiles);
    st.counters["ranges_equal"] = double(nRanges);
  }
}
BENCHMARK(BM_VerifyRandomRanges)->Iterations(1)->Unit(benchmark::kSecond);

// The serial part of opening a BGZF file: mapping it and walking its block headers.
void BM_BgzfBlockTable(benchmark::State& st) {
  const std::string& path = FileFor(zcBGZF);
  for (auto _ : st) {
    TBGZFFile f;
    if (!f.OpenFile(path)) {
      st.SkipWithError(f.LastError().Details.c_str());
      return;
    }
    benchmark::DoNotOptimize(f.GetNCompressedBlocks());
  }
}
BENCHMARK(BM_BgzfBlockTable)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BgzfLineIndex(benchmark::State& st) { IndexFile(st, zcBGZF); }
void BM_GzipLineIndex(benchmark::State& st) { IndexFile(st, zcGZ); }

// Arguments: decoding threads, decode buffer in KiB (0: ZelPreferredDecodeBufferSz).
BENCHMARK(BM_BgzfLineIndex)
    ->ArgsProduct({{1, 2}, {0, 128, 1024, 4096, 8192, 16384}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_GzipLineIndex)
    ->ArgsProduct({{1, 2}, {0}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
