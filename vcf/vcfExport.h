// Exports of the selected variants to the input formats of BayeScan (allele counts per
// population), Structure (two rows of allele codes per individual) and FAMD (one
// presence/absence row per allele). The workers build the file text in memory in one pass over
// the variants; the commands write it. A progress that reports Cancelled stops a worker with the
// error "Cancelled".
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "base/zelProgress.h"
#include "vcf/bioVCF.h"

// The members of each population (sample columns of the VCF file), population after population.
using TVcfOutputPops = std::vector<std::vector<uint32_t>>;

// What an export built and met. Text is the file in pieces, each a whole number of lines ending
// in CR LF, to be written one after the other; holding lines in pieces of about a megabyte keeps
// large exports free of per-line allocations and of one huge reallocation.
struct TVcfExportResult {
  std::vector<std::string> Text;
  std::vector<std::string> MarkerNames;  // BayeScan: the marker-name file, the same way
  uint64_t Loci = 0;                     // loci (variants) written
  uint64_t NotExported = 0;              // selected variants left out, for whatever reason
  uint64_t NoDepthVariants = 0;          // left out: no DP in FORMAT while a depth threshold is set
  uint64_t HighPloidyCalls = 0;          // BayeScan: calls of more than two alleles, not counted
  TXtrGtReport Report;                   // calls read as missing (bad allele numbers, placeholders)
};

// The marker-name file of a BayeScan export: the file name's suffix (from the last full stop of
// its last path component, when that is not the component's first character) is replaced by
// "_markernames.txt"; a name without a suffix gets it appended.
std::string BayeScanMarkerFileName(const std::string& fileName);

// Structure allele codes of one locus, by allele number (alleles as GetAlleles gives them):
// A, C, G, T in either case 10 to 13; any other single character (N, *, ...) the missing code
// -9; 2 to 78 characters 20 + length; longer 30 + allele number. Two alleles never share a code:
// the first keeps it and a later one gets the next of 14 ... 21, 100, 101, ..., which no rule
// produces (-9 is not a code of its own and may repeat). False, with badAllele set, when a long
// allele's number is above 69.
bool StructureAlleleCodes(std::span<const std::string> alleles, std::vector<std::string>& codes,
                          uint32_t& badAllele);

// BayeScan: allele counts per population of the selected variants with at least two alleles
// counted among the members. Depth: a call whose DP is below minPerSampleDP_first counts
// nothing; a homozygous diploid call below minPerSampleDP_hom counts one copy (the first
// threshold is first lowered to the second when that is smaller; 0 reads no DP). Haploid calls
// count their allele; calls of more than two alleles are not counted (HighPloidyCalls).
// On success the variants not exported are deselected; on failure the selection is unchanged.
// Fails for fewer than two populations, a member that is not a sample, an unreadable genotype
// or DP, and when no locus is left.
TZelErr ExportVcf2BayeScan(TVCFFile& vcf, const TVcfOutputPops& outputPops, TVcfExportResult& out,
                           uint32_t minPerSampleDP_hom, uint32_t minPerSampleDP_first,
                           char markerNameDelim, IZelProgress* progress = nullptr);

// Structure: a marker line (when writeMarkerNames), then two rows per member in population
// order: sample name, population number from 1 (when writePopInfo), and one allele code per
// exported locus, each followed by a tab. The same depth thresholds mask calls (a masked
// allele is missingDataItem); a variant without DP in FORMAT is left out when DP is read. A
// haploid call has missingDataItem in its second row. The selection is not changed. Fails for
// no members, no selected variant, a call of more than two alleles, an unreadable genotype or
// DP, a long allele with a number above 69, and when no locus is left.
TZelErr ExportVcf2Structure(TVCFFile& vcf, const TVcfOutputPops& outputPops, bool writeMarkerNames,
                            bool writePopInfo, TVcfExportResult& out, uint32_t minPerSampleDP_hom,
                            uint32_t minPerSampleDP_first, std::string_view missingDataItem,
                            char markerNameDelim, IZelProgress* progress = nullptr);

// Binary presence/absence matrix of the selected biallelic variants: per variant a line for the
// REF and one for the ALT allele, CHROM, POS and allele joined by markerNameDelim, a tab, and one
// character per sample: presenceCh when the call holds the allele, absenceCh when a fully known
// call does not, missingDataCh for a missing call, a call below minDP (0: no DP read) and the
// allele a partly missing call does not show. samplesToExport empty: all samples. Skipped:
// variants that are not biallelic, symbolic ones (ignoreSymbolicAlleles) or reference blocks
// (otherwise), monomorphic ones (polymorphicOnly), ones without DP while minDP > 0. With
// writeFamdHeaderAndEnd the FAMD header comes first and "*" last. The selection is not changed.
// Fails for a sample number out of range, no selected variant, a call of more than two
// alleles, an unreadable genotype or DP, and when no variant is left.
TZelErr ExportVcf2BinBiallelic(TVCFFile& vcf, TVcfExportResult& out,
                               std::span<const uint32_t> samplesToExport, uint32_t minDP,
                               char presenceCh, char absenceCh, char missingDataCh,
                               char markerNameDelim, bool writeFamdHeaderAndEnd,
                               bool polymorphicOnly, bool ignoreSymbolicAlleles,
                               IZelProgress* progress = nullptr);
