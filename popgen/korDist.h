// Symmetric distance matrices between named items (packed lower triangle plus diagonal), their
// text form (write and read back), and the pairwise unphased diploid SNP distance of a VCF file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/korHugeMem.h"
#include "base/zelError.h"
#include "base/zelObject.h"
#include "base/zelProgress.h"
#include "vcf/vcfXtr.h"

class TVCFFile;

struct TPairD {
  uint32_t a = 0, b = 0;
  bool operator==(const TPairD&) const = default;
};

// Pair (i, j), i > j, lies at i(i-1)/2 + j; the diagonal follows the strictly lower triangle.
// A NaN element is a pair without a distance ("NA" in the text form).
class TSymDist : public TZelObject {
 public:
  TSymDist() = default;
  TSymDist(uint64_t nItems, double fillWith);
  // From the lower triangle and diagonal of a square array; an empty or non-square array gives
  // a matrix with no items. The upper triangle is never read.
  static std::unique_ptr<TSymDist> CreateFromArray(const std::vector<std::vector<double>>& a2);
  std::unique_ptr<TSymDist> Copy() const { return std::make_unique<TSymDist>(*this); }

  uint32_t nItems() const { return FnItems; }
  uint64_t nDistElements() const { return FDistElements; }
  uint64_t PwComparisons() const { return fPwComparisons; }
  uint64_t IdOfs() const { return FIdOfs; }
  const double* Data() const { return FDist.data(); }
  double* Data() { return FDist.data(); }

  static uint64_t DistID(uint32_t i, uint32_t j, uint64_t idOfs) {
    if (i == j) return idOfs + i;
    const uint64_t a = i > j ? i : j, b = i > j ? j : i;
    return a * (a - 1) / 2 + b;
  }
  static void DistID2PW(uint64_t id, uint64_t idOfs, uint32_t& i, uint32_t& j);

  // Quiet NaN when i or j is not below n.
  double GetDist(uint32_t i, uint32_t j) const;
  // Ignored when i or j is not below n.
  void SetDist(uint32_t i, uint32_t j, double value);
  // Does nothing unless both arrays have exactly PwComparisons() entries.
  void SetDistFromPwArray(const std::vector<TPairD>& pairs, const std::vector<double>& pwDist);
  double GetElement(uint64_t offset) const;
  // Storage position of the smallest pair distance (the highest position among equals); the
  // matrix must have at least two items.
  uint64_t GetMinPWDistID() const;
  // Stored only when their count equals n.
  void SetNames(const std::vector<std::string>& names);
  const std::vector<std::string>& GetNames() const { return FNames; }
  // Every row 0 .. n-1 with its cells 0 .. i, each cell followed by itemSep, each row by
  // lineBrk; "NA" for a pair without a distance.
  std::string LowerTriangAsStr(char itemSep, std::string_view lineBrk) const;
  // Positions (all positions with inclSelfCmp) whose value equals val exactly, in position order.
  void FindAllValuePairs(double val, std::vector<TPairD>& pairs, bool inclSelfCmp) const;
  // The first pair without a distance (larger item first); false when there is none.
  bool FindNAPair(TPairD& pair) const;
  uint64_t CountNAPairs() const;

 private:
  THugeVec<double> FDist;
  std::vector<std::string> FNames;
  uint32_t FnItems = 0;
  uint64_t FDistElements = 0;
  uint64_t fPwComparisons = 0;
  uint64_t FIdOfs = 0;
};

// A distance as written in matrix files: e2s form (9 decimals, width 10) or "NA".
void AppendDistCell(std::string& out, double v);

// The score of two genotypes, each two allele numbers (MissingAlleleNo for a missing allele):
// 0, 0.5 or 1, or -1 when either genotype is missing.
double dist_gt_score_valid_exclude_MD(const uint32_t gtSmp1[2], const uint32_t gtSmp2[2]);

// The matrix file: the names joined by tabs, then the lower triangle rows, every line ending
// with CR LF and a final empty line.
std::vector<std::string> DistFileLines(const TSymDist& d);

// Reads back a matrix file (CR LF or LF line ends). A malformed file is an error naming its
// line and gives no matrix; repeated names come back as warnings.
struct TDistFileRead {
  std::unique_ptr<TSymDist> Dist;
  std::vector<std::string> Warnings;
};
TZelErr ReadDistFile(const std::string& fileName, TDistFileRead& out);
TZelErr ReadDistText(std::string_view text, const std::string& fileName, TDistFileRead& out);

// What the pairwise SNP distance reports besides its matrix.
struct TPwDistStats {
  uint64_t UsedSnps = 0;   // selected biallelic polymorphic non-degenerate SNPs
  uint64_t NAPairs = 0;    // pairs with no jointly scored locus
  uint64_t DepthSeen = 0;  // calls at used SNPs that carried a readable DP (with minDP > 0)
  TXtrGtReport Report;     // calls and lines read as missing or ignored, for the warnings
};

// 1 - IBS between every two samples over the selected biallelic polymorphic non-degenerate SNPs,
// ignoring missing data. With minDPAll > 0 a call below it (an absent or unreadable DP counts as
// 0) is missing. minDPHom only turns homozygous calls below it into half-missing ones, which
// score exactly as the homozygous call, so it never changes a distance. No selection made means
// all variants. Pairs with no jointly scored locus are NaN. threads: 0 or 1 computes on the
// calling thread.
TZelErr PW_SNPDist_Diploid_Unweighted_AsDist(TVCFFile& vcf, uint32_t minDPAll, uint32_t minDPHom,
                                             unsigned threads, IZelProgress* progress,
                                             std::unique_ptr<TSymDist>& out, TPwDistStats& stats);
