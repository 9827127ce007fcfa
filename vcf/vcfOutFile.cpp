// Output text files through a temporary file and rename, plain or BGZF on several threads.
#include "vcf/vcfOutFile.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

#include "fileaccess/korFileIO.h"

namespace {

// Input per BGZF block: what bgzip puts in one, so that even a stored block fits 64 KiB.
constexpr size_t kBlockIn = 0xff00;
constexpr size_t kBlockOut = 0x10000;
constexpr size_t kPlainBuf = size_t(1) << 20;
constexpr unsigned char kBgzfEof[28] = {0x1f, 0x8b, 8,    4, 0, 0, 0, 0, 0, 0xff, 6, 0, 0x42, 0x43,
                                        2,    0,    0x1b, 0, 3, 0, 0, 0, 0, 0,    0, 0, 0,    0};

void Put16(unsigned char* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// One BGZF block of in[0, n) into out; returns its size.
size_t MakeBlock(libdeflate_compressor* c, libdeflate_compressor* store, const char* in, size_t n,
                 unsigned char* out) {
  static constexpr unsigned char hdr[16] = {0x1f, 0x8b, 8, 4, 0,    0,    0, 0,
                                            0,    0xff, 6, 0, 0x42, 0x43, 2, 0};
  std::memcpy(out, hdr, 16);
  size_t cs = libdeflate_deflate_compress(c, in, n, out + 18, kBlockOut - 26);
  if (cs == 0) cs = libdeflate_deflate_compress(store, in, n, out + 18, kBlockOut - 26);
  const size_t total = cs + 26;
  Put16(out + 16, uint32_t(total - 1));
  Put32(out + 18 + cs, libdeflate_crc32(0, in, n));
  Put32(out + 22 + cs, uint32_t(n));
  return total;
}

bool EndsWithGz(const std::string& s) {
  if (s.size() < 3) return false;
  std::string t = s.substr(s.size() - 3);
  for (char& c : t) c = char(std::tolower(uint8_t(c)));
  return t == ".gz";
}

}  // namespace

TZelErr TVcfOutFile::Open(const std::string& name, unsigned threads) {
  Abort();
  FErr.Clear();
  FName = name;
  FBgzf = EndsWithGz(name);
  FThreads = threads ? threads : std::max(1u, std::thread::hardware_concurrency());
  FOut = std::make_unique<TFileOut>(name);
  if (FOut->Fd() < 0) {
    const int e = FOut->Err();
    FOut.reset();
    return TZelErr("", "Cannot create file", name + " (" + std::strerror(e) + ")");
  }
  FBufCap = FBgzf ? kBlockIn * 16 * FThreads : kPlainBuf;
  FBuf.clear();
  FBuf.reserve(FBufCap);
  return {};
}

void TVcfOutFile::WriteRaw(const void* p, size_t n) {
  const char* q = static_cast<const char*>(p);
  while (n > 0 && !FErr) {
    const ssize_t w = ::write(FOut->Fd(), q, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      FErr = TZelErr("", "Cannot write file", FName + " (" + std::strerror(errno) + ")");
      return;
    }
    q += w;
    n -= size_t(w);
  }
}

void TVcfOutFile::Write(std::string_view t) {
  if (!FOut || FErr) return;
  while (!t.empty()) {
    const size_t room = FBufCap - FBuf.size();
    const size_t k = std::min(room, t.size());
    FBuf.append(t.data(), k);
    t.remove_prefix(k);
    if (FBuf.size() == FBufCap) FlushBuffer(false);
  }
}

void TVcfOutFile::FlushBuffer(bool final) {
  if (FBuf.empty() || FErr) {
    FBuf.clear();
    return;
  }
  if (!FBgzf) {
    WriteRaw(FBuf.data(), FBuf.size());
    FBuf.clear();
    return;
  }
  const size_t nBlocks = (FBuf.size() + kBlockIn - 1) / kBlockIn;
  std::vector<unsigned char> out(nBlocks * kBlockOut);
  std::vector<size_t> sizes(nBlocks);
  const unsigned nt = unsigned(std::min<size_t>(FThreads, nBlocks));
  auto work = [&](unsigned t) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(6);
    libdeflate_compressor* s = libdeflate_alloc_compressor(0);
    for (size_t b = t; b < nBlocks; b += nt) {
      const size_t n = std::min(kBlockIn, FBuf.size() - b * kBlockIn);
      sizes[b] = MakeBlock(c, s, FBuf.data() + b * kBlockIn, n, out.data() + b * kBlockOut);
    }
    libdeflate_free_compressor(c);
    libdeflate_free_compressor(s);
  };
  if (nt <= 1) {
    work(0);
  } else {
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < nt; ++t) pool.emplace_back(work, t);
    work(0);
    for (auto& th : pool) th.join();
  }
  for (size_t b = 0; b < nBlocks; ++b) WriteRaw(out.data() + b * kBlockOut, sizes[b]);
  FBuf.clear();
  (void) final;
}

TZelErr TVcfOutFile::Commit() {
  if (!FOut) return TZelErr("", "No output file open", FName);
  FlushBuffer(true);
  if (FBgzf) WriteRaw(kBgzfEof, sizeof kBgzfEof);
  if (!FErr) {
    const int e = FOut->Commit();
    if (e) FErr = TZelErr("", "Cannot write file", FName + " (" + FioErrorText(e) + ")");
  }
  FOut.reset();  // an output not committed is removed
  return FErr;
}

void TVcfOutFile::Abort() {
  FOut.reset();
  FBuf.clear();
}
