// Calls of biallelic lines tallied per population while a compressed VCF file is indexed, so
// that a one-shot allele count does not decode the file a second time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fileaccess/korMMTF.h"

// The sample names of a VCF file's "#CHROM" line, read from its start (plain, gzip or BGZF)
// without indexing it; false when they cannot be found in the first maxBytes decoded bytes.
// For planning only: the file's own reading decides what the file holds.
bool VcfPeekSampleNames(const std::string& fileName, std::vector<std::string>& names,
                        uint64_t maxBytes = uint64_t(256) << 20);

// What the tally is made for: the samples (as the header names them, in column order), the
// row of each (its population, 0 .. NPops - 1, or NPops when it has none) and the depth
// thresholds as the count applies them (MinDPHom already at least MinDPAll; MinDPAll 0: no
// depth masking).
struct TVcfCallTallyPlan {
  std::vector<std::string> SampleNames;
  std::vector<uint32_t> Rows;
  uint32_t NPops = 0;
  uint32_t MinDPAll = 0;
  uint32_t MinDPHom = 0;
  // Tallies are 16-bit: plans for more samples are not made.
  static constexpr size_t cMaxSamples = 65535;
};

// How a variant stands in the tally.
enum class TVcfTallyKind : uint8_t {
  Read = 0,         // not taken: read the line as any reader would (any form, any fault)
  Monomorphic = 1,  // well formed, no alternative allele
  NoDepth = 2,      // 2 to 9 alleles, calls in the common form, no DP in FORMAT (MinDPAll > 0)
  Tallied = 3,      // 2 to 9 alleles, calls in the common form, tallied
};

// A site of n alleles has K = (n + 1)^2 call codes ((n + 1) * first + second allele, n
// standing for missing). A population's tally holds 2K slots: the K codes, then the same K
// for calls below MinDPHom; calls below MinDPAll and samples without a population are not
// kept.
inline constexpr uint32_t VcfTallyCodes(uint32_t nAlleles) {
  return (nAlleles + 1) * (nAlleles + 1);
}

// Adds every call of a line to its row: row r takes slots r * (2K + 1) .. r * (2K + 1) + 2K,
// slot 2K for calls below minDPAll. rowBase[s] is sample s's row times 2K + 1; depth null: no
// masking. Calls go to t0 and t1 in turn (a run of equal calls does not wait on one counter);
// both are added to, never cleared.
void VcfTallyCalls(const uint8_t* pair, const uint32_t* depth, const uint32_t* rowBase,
                   uint32_t nSamples, uint32_t minDPAll, uint32_t minDPHom, uint32_t codes,
                   uint32_t* t0, uint32_t* t1);

// The tally of every line of one file, in line order.
class TVcfCallTally {
 public:
  struct TChunk {
    uint64_t FirstLine = 0;  // line index (from 0) of its first record
    std::vector<uint8_t> Kind;
    std::vector<uint8_t> NAlleles;
    std::vector<uint8_t> Counts;  // NPops * 2K per tallied record (bytes, or 16-bit when wide)
    std::vector<uint32_t> CountEnd;
    std::string Names;  // CHROM "\t" POS of each record, back to back
    std::vector<uint32_t> NameEnd;
  };

  const TVcfCallTallyPlan& Plan() const { return FPlan; }
  bool Fits(const std::vector<uint32_t>& rows, uint32_t nPops, uint32_t minDPAll,
            uint32_t minDPHom) const {
    return rows == FPlan.Rows && nPops == FPlan.NPops && minDPAll == FPlan.MinDPAll &&
           (minDPAll == 0 || minDPHom == FPlan.MinDPHom);
  }
  uint64_t NLines() const { return FNLines; }
  // Record of line i: its kind, name, number of alleles and tally (NPops * 2K counts into
  // out, for a tallied line); lines are best asked for in order.
  TVcfTallyKind Kind(uint64_t line) const;
  std::string_view Name(uint64_t line) const;
  uint32_t NAlleles(uint64_t line) const;
  void CopyCounts(uint64_t line, uint32_t* out) const;

 private:
  friend class TVcfTallyBuilder;
  const TChunk& ChunkOf(uint64_t line, size_t& k) const;
  TVcfCallTallyPlan FPlan;
  // A count never exceeds its population's samples: one byte each while every population
  // has fewer than 256, which halves the tally.
  bool FWide = false;
  std::vector<TChunk> FChunks;
  uint64_t FNLines = 0;
  mutable size_t FCur = 0;
};

// Builds a TVcfCallTally from the lines a TMMTF offers while it indexes the file.
class TVcfTallyBuilder : public ITextLineVisitor {
 public:
  explicit TVcfTallyBuilder(TVcfCallTallyPlan plan);
  ~TVcfTallyBuilder() override;
  void Slots(uint32_t n) override;
  void Begin(uint32_t slot) override;
  void Line(uint32_t slot, const char* p, uint64_t n) override;
  void Commit(uint32_t slot, const char* joined, uint64_t n) override;
  void End(const char* p, uint64_t n) override;
  // The tally when every line was seen and nothing failed, else null.
  std::unique_ptr<TVcfCallTally> Finish();

 private:
  struct TSlot;
  void Take(TSlot& s, const char* p, uint64_t n);
  void Store(TSlot& s);
  std::unique_ptr<TVcfCallTally> FTally;
  std::vector<std::unique_ptr<TSlot>> FSlots;  // one per slot, and one for the committing thread
  bool FFailed = false;
};
