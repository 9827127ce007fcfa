// Allele counts per population from the selected variants of a VCF file, the locus filter,
// allele frequencies, expected heterozygosities, per-locus F_ST and their text tables.
//
// Counts and frequencies are stored flat, locus after locus: locus j owns the allele slots
// LocOfs[j] .. LocOfs[j + 1] - 1 (as many as the site has alleles, GetNAlleles), so a walk over
// hundreds of thousands of loci makes no allocation per locus. Undefined values (a population
// without observations, a corrected heterozygosity with fewer than two observations, F_ST where
// H_T is 0) are NaN and are written as "NA".
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/korHugeMem.h"
#include "base/korStruc.h"
#include "base/zelError.h"
#include "base/zelProgress.h"
#include "popgen/locNames.h"
#include "vcf/vcfXtr.h"

class TVCFFile;
struct TDiploidCounts;

constexpr uint32_t kPopGenNone = 0xFFFFFFFFu;

struct TAlleleCounts {
  THugeVec<uint64_t> LocOfs;             // nLoc + 1 entries: first allele slot of each locus
  THugeVec<uint32_t> ac_global;          // [LocOfs[j] + a]
  THugeVec<uint32_t> ac_pop;             // [LocOfs[j] * nPop + p * nAlleles(j) + a]
  THugeVec<uint32_t> nA_pop;             // [p * nLoc + j], filled by the filter
  THugeVec<uint32_t> nA_global;          // [j], filled by the filter
  std::vector<uint32_t> nAllelesPerPop;  // ploidy x samples of each population
  TBitField Selection;                   // loci that passed the filter
  uint64_t nLoc = 0;
  uint64_t nSelLoc = 0;
  uint32_t nPop = 0;
  uint32_t maxNAlleles = 0;

  uint32_t NAlleles(uint64_t j) const { return uint32_t(LocOfs[j + 1] - LocOfs[j]); }
  const uint32_t* Global(uint64_t j) const { return ac_global.data() + LocOfs[j]; }
  const uint32_t* Pop(uint32_t p, uint64_t j) const {
    return ac_pop.data() + LocOfs[j] * nPop + uint64_t(p) * NAlleles(j);
  }
  uint32_t* Pop(uint32_t p, uint64_t j) {
    return ac_pop.data() + LocOfs[j] * nPop + uint64_t(p) * NAlleles(j);
  }
  void Clear() { *this = TAlleleCounts(); }
};

// Frequencies of the passing loci (numbered 0 .. nLoc - 1 in variant order).
struct TAlleleFrequencies {
  THugeVec<uint32_t> af_n;     // alleles of each passing locus
  THugeVec<uint64_t> LocOfs;   // nLoc + 1 entries
  THugeVec<double> af_global;  // [LocOfs[i] + a]
  THugeVec<double> af_pop;     // [LocOfs[i] * nPop + p * af_n[i] + a]; NaN: no observation
  uint32_t max_nAF = 0;
  uint64_t nLoc = 0;
  uint32_t nPop = 0;
  bool isAllBiallelic = false;

  const double* Global(uint64_t i) const { return af_global.data() + LocOfs[i]; }
  const double* Pop(uint32_t p, uint64_t i) const {
    return af_pop.data() + LocOfs[i] * nPop + uint64_t(p) * af_n[i];
  }
};

struct THeterozygosities {
  THugeVec<double> het_global;  // H_T per passing locus
  THugeVec<double> het_pop;     // [p * nLoc + i]
  THugeVec<double> Hs;          // mean of the defined het_pop of each locus
  uint64_t nLoc = 0;
  uint32_t nPop = 0;
};

// What the walk met besides the counts, for the command's messages.
struct TAlleleCountInfo {
  uint64_t VariantsRead = 0;  // selected polymorphic variants whose genotypes were read
  uint64_t VariantsNoDP = 0;  // of these, lines without DP in FORMAT (depth filter on)
  TXtrGtReport Report;        // bad allele numbers, placeholders, short lines, the failure
  TZelErr Err;                // set when the walk stopped
};

// The population of each of nS samples as GetVcfAlleleCounts numbers them (numbers without a
// sample dropped, the others renumbered in ascending order; kPopGenNone: none) and their
// number in nPop. An empty membership puts every sample in population 0.
std::vector<uint32_t> AlleleCountPops(const std::vector<uint32_t>& popMembership, uint32_t nS,
                                      uint32_t& nPop);

// Counts the alleles of the selected variants (all variants when the file has no selection
// yet) per population. popMembership: population number per sample (kPopGenNone =
// unassigned) or empty (every sample in population 0); numbers without a sample are dropped
// and the others renumbered in ascending order. With minDP_all above 0, a call whose DP is
// below it (absent or "." reads as 0) is dropped, and a homozygous call below
// max(minDP_hom, minDP_all) keeps one allele. False for a zero ploidy, no selected variant, no
// sample or a membership of the wrong length (info->Err empty), and when a genotype cannot be
// read (info->Err says where; the counts are then incomplete and must not be used).
// locusNames, when given, receives CHROM "\t" POS of every locus (selected variant) in the
// same walk. diploid, when given (ploidy 2 only), receives the calls with two called alleles
// after the depth masking, laid out like the counts (popgen/fstEstimators.h).
bool GetVcfAlleleCounts(TVCFFile& vcf, const std::vector<uint32_t>& popMembership,
                        uint32_t minDP_all, uint32_t minDP_hom, TAlleleCounts& AC, uint32_t ploidy,
                        TAlleleCountInfo* info = nullptr, IZelProgress* progress = nullptr,
                        std::vector<std::string>* locusNames = nullptr,
                        TDiploidCounts* diploid = nullptr);

// The counts of two populations of AC (p0 becomes population 0, p1 population 1), with the
// global counts their sum; the locus filter is not carried over.
void PairAlleleCounts(const TAlleleCounts& AC, uint32_t p0, uint32_t p1, TAlleleCounts& out);

// Marks the loci with at most max_NAlleles alleles where at least minNPops populations have
// at least minNPerPop allele observations; returns their number.
uint64_t FilterAndTallyAlleleCounts(TAlleleCounts& AC, uint32_t minNPerPop, uint32_t minNPops,
                                    uint32_t max_NAlleles);

// Frequencies of the passing loci. False (AF holds nLoc 0 and the population count) when no
// locus passed or no locus has two alleles.
bool AlleleFreq(const TAlleleCounts& AC, TAlleleFrequencies& AF);

// Small-sample factors N / (N - 1) per passing locus (and population); NaN where N < 2.
THugeVec<double> makeSSC_global(const TAlleleCounts& AC);
THugeVec<double> makeSSC_pop(const TAlleleCounts& AC);  // [p * nSelLoc + i]

// Expected heterozygosities; with counts given, corrected by the small-sample factors.
bool GetExpHet(const TAlleleFrequencies& AF, THeterozygosities& Hets,
               const TAlleleCounts* PAC4SmSmpCorr);

// (H_T - H_S) / H_T per passing locus: NaN where H_T or H_S is undefined or H_T is 0, 1 where
// H_S is 0 < H_T; limitFstToZero raises negative values to 0. False (Fst unchanged) with
// fewer than two populations.
bool Het2Fst(const THeterozygosities& He, std::vector<double>& Fst, bool limitFstToZero);

// Fixed notation, "C" locale whatever the process locale, padded left to width; NaN is "NA".
void AppendFixed(std::string& out, double v, int decimals, int width);
std::string FixedStr(double v, int decimals, int width);

// Where a table's lines go. A data line is built in place (Begin), then ended (End); whole
// lines (headers) are given to push_back.
// Appended to one text, each line ended by Eol: a table's file is written from one buffer that
// is reused (and handed to Drain, when set, whenever it holds a megabyte or more), not from a
// string per line.
struct TTextSink {
  std::string& Text;
  const char* Eol;
  const std::function<void(std::string&)>& Drain;
  void push_back(const std::string& l) {
    Text += l;
    End();
  }
  std::string& Begin() { return Text; }
  void End() {
    Text += Eol;
    if (Drain && Text.size() >= (1u << 20)) Drain(Text);
  }
  void reserve(size_t) {}
};

// A string per line.
struct TLinesSink {
  std::vector<std::string>& Lines;
  std::string Line;
  void push_back(const std::string& l) { Lines.push_back(l); }
  std::string& Begin() {
    Line.clear();
    return Line;
  }
  void End() { Lines.push_back(Line); }
  void reserve(size_t n) { Lines.reserve(n); }
};

// Text tables: a header line when addheader, then one line per passing locus. locusNames,
// when not empty, must have one entry per output line (else the result is empty) and fills
// the first column(s) under locHeader.
std::vector<std::string> ReportACStr(const TAlleleCounts& AC, bool addheader,
                                     const TLocNames& locusNames, const std::string& locHeader,
                                     bool doGlobal, bool doPops, bool excludeIgnored, char popDelim,
                                     const std::string& alleleDelim,
                                     const std::string& ignoreLineStr);
std::vector<std::string> ReportAFStr(const TAlleleFrequencies& AF, bool addheader,
                                     const TLocNames& locusNames, const std::string& locHeader,
                                     bool doGlobal, bool doPops, char popDelim,
                                     const std::string& alleleDelim, int decimals, int width);
std::vector<std::string> ReportHetStr(const THeterozygosities& H, bool addheader,
                                      const TLocNames& locusNames, const std::string& locHeader,
                                      char delim, int decimals, int width);
std::vector<std::string> ReportFstStr(const std::vector<double>& Fst, bool addheader,
                                      const TLocNames& locusNames, const std::string& locHeader,
                                      char delim, int decimals, int width);
// The same tables appended to text, each line ended by eol (false where the table would be
// empty for a mismatch of locusNames: then text is unchanged). drain, when set, is handed the
// text whenever it holds a megabyte or more, and empties it: a table of any size is written
// in pieces.
bool ReportACText(std::string& text, const char* eol,
                  const std::function<void(std::string&)>& drain, const TAlleleCounts& AC,
                  bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                  bool doGlobal, bool doPops, bool excludeIgnored, char popDelim,
                  const std::string& alleleDelim, const std::string& ignoreLineStr);
bool ReportAFText(std::string& text, const char* eol,
                  const std::function<void(std::string&)>& drain, const TAlleleFrequencies& AF,
                  bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                  bool doGlobal, bool doPops, char popDelim, const std::string& alleleDelim,
                  int decimals, int width);
bool ReportHetText(std::string& text, const char* eol,
                   const std::function<void(std::string&)>& drain, const THeterozygosities& H,
                   bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                   char delim, int decimals, int width);
bool ReportFstText(std::string& text, const char* eol,
                   const std::function<void(std::string&)>& drain, const std::vector<double>& Fst,
                   bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                   char delim, int decimals, int width);
