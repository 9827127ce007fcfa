// Calls of biallelic lines tallied per population during the index pass (see vcfCallTally.h).
#include "vcf/vcfCallTally.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "vcf/bioVCFTypes.h"
#include "vcf/vcfAlleles.h"
#include "vcf/vcfLine.h"
#include "vcf/vcfXtr.h"

void VcfTallyCalls(const uint8_t* pair, const uint32_t* depth, const uint32_t* rowBase,
                   uint32_t nSamples, uint32_t minDPAll, uint32_t minDPHom, uint32_t codes,
                   uint32_t* t0, uint32_t* t1) {
  // Without branches on the data: a depth below a threshold is a coin toss to the processor.
  auto tallyAll = [&](auto slot) {
    uint32_t s = 0;
    for (; s + 1 < nSamples; s += 2) {
      ++t0[slot(s)];
      ++t1[slot(s + 1)];
    }
    if (s < nSamples) ++t0[slot(s)];
  };
  if (depth && minDPAll)
    tallyAll([&](uint32_t s) {
      const uint32_t d = depth[s];
      const uint32_t code = pair[s] + codes * uint32_t(d < minDPHom);
      return rowBase[s] + (d < minDPAll ? 2 * codes : code);
    });
  else
    tallyAll([&](uint32_t s) { return rowBase[s] + pair[s]; });
}

const TVcfCallTally::TChunk& TVcfCallTally::ChunkOf(uint64_t line, size_t& k) const {
  size_t c = FCur < FChunks.size() ? FCur : 0;
  auto inside = [&](size_t i) {
    const TChunk& ch = FChunks[i];
    return line >= ch.FirstLine && line - ch.FirstLine < ch.Kind.size();
  };
  if (!inside(c)) {
    if (c + 1 < FChunks.size() && inside(c + 1)) {
      ++c;
    } else {
      auto it = std::upper_bound(FChunks.begin(), FChunks.end(), line,
                                 [](uint64_t l, const TChunk& ch) { return l < ch.FirstLine; });
      c = size_t(it - FChunks.begin()) - 1;
    }
    FCur = c;
  }
  k = size_t(line - FChunks[c].FirstLine);
  return FChunks[c];
}

TVcfTallyKind TVcfCallTally::Kind(uint64_t line) const {
  if (line >= FNLines) return TVcfTallyKind::Read;
  size_t k;
  return TVcfTallyKind(ChunkOf(line, k).Kind[k]);
}

std::string_view TVcfCallTally::Name(uint64_t line) const {
  if (line >= FNLines) return {};
  size_t k;
  const TChunk& ch = ChunkOf(line, k);
  const uint32_t b = k ? ch.NameEnd[k - 1] : 0;
  return std::string_view(ch.Names.data() + b, ch.NameEnd[k] - b);
}

uint32_t TVcfCallTally::NAlleles(uint64_t line) const {
  if (line >= FNLines) return 0;
  size_t k;
  return ChunkOf(line, k).NAlleles[k];
}

void TVcfCallTally::CopyCounts(uint64_t line, uint32_t* out) const {
  if (line >= FNLines) return;
  size_t k;
  const TChunk& ch = ChunkOf(line, k);
  const size_t b = k ? ch.CountEnd[k - 1] : 0, e = ch.CountEnd[k];
  const uint8_t* c = ch.Counts.data();
  if (FWide)
    for (size_t i = b; i < e; i += 2) *out++ = uint32_t(c[i]) | uint32_t(c[i + 1]) << 8;
  else
    for (size_t i = b; i < e; ++i) *out++ = c[i];
}

// What a slot gathers from its piece (the records of its lines; the piece's first line is
// stored before them when the piece is committed) and its work buffers.
struct TVcfTallyBuilder::TSlot {
  TVcfCallTally::TChunk Chunk;
  std::vector<uint32_t> Cols;
  std::vector<uint8_t> Pair;
  std::vector<uint32_t> Depth;
  std::vector<uint32_t> T;
  std::vector<uint32_t> RowBase;
  uint32_t RowBaseFor = 0;  // the number of codes RowBase is made for
  // Sizes of the slot's last piece: the next one reserves as much, so that its records are
  // not copied as they grow.
  size_t HintRecs = 0, HintCounts = 0, HintNames = 0;
  bool Failed = false;
};

TVcfTallyBuilder::TVcfTallyBuilder(TVcfCallTallyPlan plan) : FTally(new TVcfCallTally) {
  std::vector<uint32_t> perRow(size_t(plan.NPops) + 1, 0);
  for (uint32_t r : plan.Rows) ++perRow[std::min(r, plan.NPops)];
  for (uint32_t p = 0; p < plan.NPops; ++p) FTally->FWide = FTally->FWide || perRow[p] > 255;
  FTally->FPlan = std::move(plan);
}

TVcfTallyBuilder::~TVcfTallyBuilder() = default;

void TVcfTallyBuilder::Slots(uint32_t n) {
  const uint32_t nS = uint32_t(FTally->FPlan.Rows.size());
  FSlots.clear();
  for (uint32_t i = 0; i <= n; ++i) {
    auto s = std::make_unique<TSlot>();
    s->Pair.resize(nS);
    s->Depth.resize(nS);
    s->RowBase.resize(nS);
    FSlots.push_back(std::move(s));
  }
}

void TVcfTallyBuilder::Begin(uint32_t slot) {
  TSlot& s = *FSlots[slot];
  s.Chunk = TVcfCallTally::TChunk();
  s.Failed = false;
  try {
    TVcfCallTally::TChunk& ch = s.Chunk;
    ch.Kind.reserve(s.HintRecs);
    ch.NAlleles.reserve(s.HintRecs);
    ch.CountEnd.reserve(s.HintRecs);
    ch.NameEnd.reserve(s.HintRecs);
    ch.Counts.reserve(s.HintCounts);
    ch.Names.reserve(s.HintNames);
  } catch (const std::bad_alloc&) {
    s.Failed = true;
  }
}

void TVcfTallyBuilder::Line(uint32_t slot, const char* p, uint64_t n) {
  TSlot& s = *FSlots[slot];
  if (s.Failed) return;
  try {
    Take(s, p, n);
  } catch (const std::bad_alloc&) {
    s.Failed = true;
  }
}

// Appends one line's record to the slot's chunk.
void TVcfTallyBuilder::Take(TSlot& s, const char* p, uint64_t n) {
  const TVcfCallTallyPlan& pl = FTally->FPlan;
  TVcfCallTally::TChunk& ch = s.Chunk;
  TVcfTallyKind kind = TVcfTallyKind::Read;
  uint32_t nAll = 0;
  const size_t nameStart = ch.Names.size();
  // Blank lines, header lines and malformed lines are read by the usual readers, which say
  // what is wrong with them.
  const uint32_t nS = uint32_t(pl.Rows.size());
  uint32_t colons = 0;
  bool ctrl = false;
  size_t nf = 0;
  if (n > 0 && n < (uint64_t(1) << 32) - 2 && p[0] != '#')
    nf = VcfSplitLineChecked(p, size_t(n), s.Cols, ctrl, colons);
  if (nf >= 8 && !ctrl) {
    uint32_t len = uint32_t(n);
    const uint32_t* c = s.Cols.data();
    if (p[len - 1] == '\r') {
      --len;
      s.Cols[nf] = len + 1;
    }
    auto col = [&](uint32_t k) { return std::string_view(p + c[k], c[k + 1] - 1 - c[k]); };
    const std::string_view pos = col(vcfPos);
    bool digits = !pos.empty() && pos.size() < 19;
    for (char d : pos) digits = digits && uint8_t(d - '0') <= 9;
    if (digits) {
      ch.Names += col(vcfChrom);
      ch.Names += '\t';
      ch.Names += pos;
      const std::string_view alt = col(vcfAlt);
      uint32_t nCommon = 0;
      if (!VcfIsPolymorphic(col(vcfRef), alt)) {
        kind = TVcfTallyKind::Monomorphic;
      } else if (nf > vcfFormat && (nCommon = VcfCommonFormSite(col(vcfFormat), alt)) != 0 &&
                 VcfGetNAlleles(alt) == nCommon &&
                 VcfLineShapeUsual(p, c, uint32_t(nf), colons, nS)) {
        const uint32_t dpPos = VcfFindItem(col(vcfFormat), "DP", ':');
        const bool depthOn = pl.MinDPAll != 0;
        if (VcfCommonCallsOfLine(p, len, c + vcfSample, nS, dpPos, nCommon, s.Pair.data(),
                                 depthOn ? s.Depth.data() : nullptr)) {
          nAll = nCommon;
          if (depthOn && dpPos == vcfNone32) {
            kind = TVcfTallyKind::NoDepth;
          } else {
            kind = TVcfTallyKind::Tallied;
            const uint32_t K = VcfTallyCodes(nAll);
            const uint32_t stride = 2 * K + 1;
            if (s.RowBaseFor != K) {
              for (uint32_t j = 0; j < nS; ++j)
                s.RowBase[j] = std::min(pl.Rows[j], pl.NPops) * stride;
              s.RowBaseFor = K;
            }
            const size_t half = (size_t(pl.NPops) + 1) * stride;
            s.T.assign(2 * half, 0u);
            uint32_t* t0 = s.T.data();
            VcfTallyCalls(s.Pair.data(), depthOn ? s.Depth.data() : nullptr, s.RowBase.data(), nS,
                          pl.MinDPAll, pl.MinDPHom, K, t0, t0 + half);
            const bool wide = FTally->FWide;
            const size_t at = ch.Counts.size();
            ch.Counts.resize(at + size_t(pl.NPops) * 2 * K * (wide ? 2 : 1));
            uint8_t* out = ch.Counts.data() + at;
            for (uint32_t r = 0; r < pl.NPops; ++r)
              for (uint32_t k = 0; k < 2 * K; ++k) {
                const uint32_t x = t0[size_t(r) * stride + k] + t0[half + size_t(r) * stride + k];
                *out++ = uint8_t(x);
                if (wide) *out++ = uint8_t(x >> 8);
              }
          }
        }
      }
    }
  }
  if (ch.Names.size() > 0xFFFFFFFFu || ch.Counts.size() > 0xFFFFFFFFu) throw std::bad_alloc();
  if (kind == TVcfTallyKind::Read) ch.Names.resize(nameStart);
  ch.Kind.push_back(uint8_t(kind));
  ch.NAlleles.push_back(uint8_t(nAll));
  ch.CountEnd.push_back(uint32_t(ch.Counts.size()));
  ch.NameEnd.push_back(uint32_t(ch.Names.size()));
}

void TVcfTallyBuilder::Commit(uint32_t slot, const char* joined, uint64_t n) {
  TSlot& s = *FSlots[slot];
  TSlot& own = *FSlots.back();  // work buffers of the committing thread
  if (s.Failed || FFailed) {
    FFailed = true;
    return;
  }
  try {
    // The piece's first line, a record of its own, goes before the lines its worker took.
    own.Chunk = TVcfCallTally::TChunk();
    Take(own, joined, n);
    Store(own);
    if (!s.Chunk.Kind.empty()) Store(s);
  } catch (const std::bad_alloc&) {
    FFailed = true;
  }
}

void TVcfTallyBuilder::Store(TSlot& s) {
  TVcfCallTally& t = *FTally;
  s.HintRecs = s.Chunk.Kind.size() + s.Chunk.Kind.size() / 8;
  s.HintCounts = s.Chunk.Counts.size() + s.Chunk.Counts.size() / 8;
  s.HintNames = s.Chunk.Names.size() + s.Chunk.Names.size() / 8;
  s.Chunk.FirstLine = t.FNLines;
  t.FNLines += s.Chunk.Kind.size();
  t.FChunks.push_back(std::move(s.Chunk));
  s.Chunk = TVcfCallTally::TChunk();
}

void TVcfTallyBuilder::End(const char* p, uint64_t n) {
  if (FFailed || n == 0) return;
  TSlot& own = *FSlots.back();
  try {
    own.Chunk = TVcfCallTally::TChunk();
    Take(own, p, n);
    Store(own);
  } catch (const std::bad_alloc&) {
    FFailed = true;
  }
}

std::unique_ptr<TVcfCallTally> TVcfTallyBuilder::Finish() {
  FSlots.clear();
  if (FFailed) return nullptr;
  return std::move(FTally);
}

bool VcfPeekSampleNames(const std::string& fileName, std::vector<std::string>& names,
                        uint64_t maxBytes) {
  names.clear();
  gzFile f = gzopen(fileName.c_str(), "rb");
  if (!f) return false;
  gzbuffer(f, 1 << 17);
  std::string line;
  std::vector<char> buf(1 << 16);
  uint64_t seen = 0;
  bool found = false, done = false;
  while (!done && seen < maxBytes) {
    const int got = gzread(f, buf.data(), unsigned(buf.size()));
    if (got <= 0) break;
    seen += uint64_t(got);
    const char* p = buf.data();
    const char* const e = p + got;
    while (p < e) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', size_t(e - p)));
      line.append(p, nl ? size_t(nl - p) : size_t(e - p));
      if (!nl) break;
      p = nl + 1;
      if (line.rfind("#CHROM", 0) == 0) {
        found = true;
        done = true;
        break;
      }
      if (line.empty() || line[0] != '#') {
        done = true;
        break;
      }
      line.clear();
    }
  }
  gzclose(f);
  if (!found) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  size_t b = 0;
  for (uint32_t k = 0;; ++k) {
    const size_t t = line.find('\t', b);
    if (k >= vcfSample) names.emplace_back(line.substr(b, t == std::string::npos ? t : t - b));
    if (t == std::string::npos) break;
    b = t + 1;
  }
  return !names.empty();
}
