// Standard F_ST estimators beside the heterozygosity-based one: Weir & Cockerham's (1984) theta
// and Hudson's estimator (Bhatia et al. 2013), both from diploid calls; per-locus numerator and
// denominator, genome-wide ratio of sums and mean, windows along the chromosomes and the
// delete-one-block jackknife standard error, with their text tables.
//
// A locus whose denominator is 0 or undefined has no value ("NA") and is left out of every sum,
// mean, window and jackknife block.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "popgen/bioPopGen.h"

enum TFstEstimator : uint8_t { fstNei = 0, fstWC = 1, fstHudson = 2 };

// "nei", "wc", "hudson"; false for any other name.
bool FstEstimatorFromName(const std::string& name, TFstEstimator& est);
const char* FstEstimatorName(TFstEstimator est);

// Diploid calls per population and locus, laid out like the counts of TAlleleCounts (same
// LocOfs, [LocOfs[j] * nPop + p * nAlleles(j) + a]): the alleles of the calls with two called
// alleles, and the heterozygous calls that carry each allele. Calls with one allele (haploid,
// half missing, or a homozygous call cut to one allele by the depth threshold) are only
// counted, since both estimators are defined on diploid individuals.
struct TDiploidCounts {
  THugeVec<uint32_t> al_pop;
  THugeVec<uint32_t> het_pop;  // left empty when WithHet is false (Hudson needs none)
  uint64_t OneAlleleCalls = 0;
  bool WithHet = true;
};

// The loci of AC that pass FilterAndTallyAlleleCounts' rule when only populations p0 and p1
// count (what it gives on PairAlleleCounts(AC, p0, p1)), without copying the counts; returns
// their number.
uint64_t PairLocusFilter(const TAlleleCounts& AC, uint32_t p0, uint32_t p1, uint32_t minNPerPop,
                         uint32_t minNPops, uint32_t max_NAlleles, TBitField& pass);

// Per passing locus: the estimator's numerator, denominator and value. Num and Den are NaN
// where the estimator has too little data; Value is NaN where Den is 0 or undefined.
struct TFstLocusParts {
  std::vector<double> Num, Den, Value;
  uint64_t Size() const { return Value.size(); }
  bool Defined(uint64_t i) const {
    return std::isfinite(Num[i]) && std::isfinite(Den[i]) && Den[i] != 0 && std::isfinite(Value[i]);
  }
};

// Weir & Cockerham's theta over all populations of AC for the loci that passed AC's filter:
// a, b and c summed over the alleles; the numerator is sum a, the denominator sum (a + b + c).
// Populations without a diploid call at a locus are left out there; fewer than two left, or
// a mean sample size of at most one individual, leave the locus undefined.
void WcFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, TFstLocusParts& out);
// The same over the populations pops of AC for the loci set in pass.
void WcFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, const TBitField& pass,
                const std::vector<uint32_t>& pops, TFstLocusParts& out);

// Hudson's F_ST of populations 0 and 1 of AC for the passing loci: numerator H_B - H_W,
// denominator H_B, with H_B = 1 - sum p0 p1 and H_W the mean of the unbiased within-population
// diversities n / (n - 1) (1 - sum p^2), n the alleles of diploid calls. Biallelic, this is
// (p0 - p1)^2 - p0 (1 - p0) / (n0 - 1) - p1 (1 - p1) / (n1 - 1) over p0 (1 - p1) + p1 (1 - p0).
// A population with fewer than two alleles leaves the locus undefined.
void HudsonFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, TFstLocusParts& out);
// The same for populations p0 and p1 of AC and the loci set in pass.
void HudsonFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, const TBitField& pass,
                    uint32_t p0, uint32_t p1, TFstLocusParts& out);

// The heterozygosity-based F_ST as parts: H_T - H_S over H_T, with the per-locus values as
// computed (fst, possibly limited to zero).
void HetFstParts(const THeterozygosities& het, const std::vector<double>& fst, TFstLocusParts& out);

// Leave-one-block-out estimates: the defined loci, in order, are cut into nBlocks contiguous
// blocks of equal locus count (the k-th of n loci goes to block k * nBlocks / n), and for each
// block that holds a locus the ratio of sums and the mean are taken over all other loci.
struct TFstJackknife {
  std::vector<double> LooWeighted, LooMean;  // one per block with loci
};
TFstJackknife FstJackknife(const TFstLocusParts& parts, uint32_t nBlocks);
// sqrt((g - 1) / g * sum (x_k - mean x)^2) over the g estimates; NaN when g < 2 or an
// estimate is undefined.
double JackknifeSE(const std::vector<double>& loo);

struct TFstSummary {
  uint64_t Loci = 0;  // defined loci
  double Weighted = std::nan(""), Mean = std::nan("");
  double SeWeighted = std::nan(""), SeMean = std::nan("");
};
TFstSummary SummariseFst(const TFstLocusParts& parts, uint32_t nBlocks);

// Windows [Start, End] = [1 + k * step, k * step + size] along each chromosome (in order of
// first appearance among locNames, "CHROM\tPOS" per passing locus) up to the last passing
// locus; Loci counts the defined loci inside and Value is their ratio of sums (NaN without
// loci or with a zero denominator sum).
struct TFstWindow {
  std::string Chr;
  uint64_t Start = 0, End = 0, Loci = 0;
  double Num = 0, Den = 0, Value = std::nan("");
};
// False (out empty) when size or step is 0 or locNames does not fit parts.
bool FstWindows(const TLocNames& locNames, const TFstLocusParts& parts, uint64_t size,
                uint64_t step, std::vector<TFstWindow>& out);

// Text tables (tab-separated, "NA" for undefined values, 8 decimals so that other tools'
// figures can be compared closely): per locus "Chr Pos Numerator Denominator Fst", windows
// "Chr Start End Loci Fst", and the summary "Pair Loci Weighted Mean SE_Weighted SE_Mean".
std::vector<std::string> ReportFstPartsStr(const TFstLocusParts& parts, const TLocNames& locNames);
// The per-locus table appended to text as ReportACText does its table.
bool ReportFstPartsText(std::string& text, const char* eol,
                        const std::function<void(std::string&)>& drain, const TFstLocusParts& parts,
                        const TLocNames& locNames);
std::vector<std::string> ReportFstWindowsStr(const std::vector<TFstWindow>& windows);
std::string FstSummaryHeader();
std::string FstSummaryLine(const std::string& desc, const TFstSummary& s);
