// A quick quality check of a VCF file: every call's GT and DP walked once, giving called and
// missing calls, calls per ploidy and depth quantiles; plus the header facts `info` shows.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/zelError.h"
#include "base/zelProgress.h"
#include "vcf/bioVCF.h"

struct TVcfGtSummary {
  uint64_t Variants = 0;
  uint64_t Calls = 0;                           // variants x samples
  uint64_t Called = 0;                          // every allele known
  uint64_t Missing = 0;                         // every allele missing, or no usable GT
  uint64_t PartlyMissing = 0;                   // some alleles known, some missing ("0/.")
  std::map<uint32_t, uint64_t> CallsPerPloidy;  // ploidy 0: no GT at all
  uint64_t DepthCalls = 0;                      // calls with a DP value
  uint64_t DepthAbsent = 0;                     // calls without one
  // Depth quantiles (0, 5, 25, 50, 75, 95, 100 %) over the calls with a DP value.
  std::vector<uint32_t> DepthQuantiles;
  TXtrGtReport Report;  // bad alleles, placeholders, short lines
};

// False with err naming the file and line when a line is malformed or a GT or DP does not
// read. Lines with more sample columns or call items than the header and FORMAT name are
// counted in out.Report for one warning each.
[[nodiscard]] bool VcfSummariseGenotypes(TVCFFile& vcf, TVcfGtSummary& out, TZelErr& err,
                                         IZelProgress* progress = nullptr);

// Contig names: from the header's contig lines, else in order of first appearance in the data
// (then a malformed line stops the walk: empty list, err set when given).
std::vector<std::string> VcfContigNames(TVCFFile& vcf, bool* fromHeader = nullptr,
                                        TZelErr* err = nullptr);
