// The default merge handlers: meta-information lines, INFO values, REF and ALT, the FORMAT
// keys GT and DP, and the allele and genotype merging they rest on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/vcfMerge.h"

// What the meta-information handler found worth a warning: definitions of the second file
// left out because the first file defines the same ID differently. Pass one as MetaExtraPtr.
struct TVcfMetaMergeReport {
  std::vector<std::string> Warnings;
};

// Lines of text 1, then those of text 2 not in text 1; a second ##fileformat line and a
// second definition of a key type's ID are left out (differing ones noted in the report).
TVcfMergeHandlerResult HMergeMetaText_Default(const char* pMetaText1, const char* pMetaText2,
                                              uint32_t lMetaText1, uint32_t lMetaText2,
                                              std::vector<std::string>& mergedMetaTextLines,
                                              void* extraPtr);
// Value 1, "," and value 2.
TVcfMergeHandlerResult HInfoMerge_Default(TVcfVariantMergeHandlerParams& p);
// The sum of two counts (INFO DP): an absent value or one that is no number counts 0; both
// so give "."; the sum stops at the 32-bit maximum.
TVcfMergeHandlerResult HInfoSumMerge(TVcfVariantMergeHandlerParams& p);
// END of a merged line: a reference block's END gives way to the other file's record, and a
// block piece beside a record without END leaves END out.
TVcfMergeHandlerResult HInfoEndMerge(TVcfVariantMergeHandlerParams& p);
TVcfMergeHandlerResult HMergeAlleles_Default(TVcfVariantMergeHandlerParams& p);
TVcfMergeHandlerResult HGtGTMerge_Default(TVcfVariantMergeHandlerParams& p);
// As HInfoSumMerge, for a sample's depth.
TVcfMergeHandlerResult HGtDPMerge_Default(TVcfVariantMergeHandlerParams& p);

// The merged allele list of two records and how each file's allele numbers map into it.
struct TVcfMergedAlleles {
  std::string combRef;
  std::vector<std::string> combAltAlleles;
  std::string Ref2;                      // file 2's REF as it stands in the merged list
  std::vector<std::string> AltAlleles2;  // file 2's ALT as split
  // Per file, allele number (0 REF, n ALT n) -> merged number, or MissingAlleleNo for a
  // placeholder or "." that has no place in the list.
  std::vector<uint32_t> Map1, Map2;
  bool Identity1 = true;  // file 1's numbers stay as they are
};

// False when the REF alleles cannot be reconciled: unequal and neither a prefix of the other.
// A shorter REF is extended by the longer one's remaining bases, and its ALT alleles with it.
bool VcfMergeAlleleLists(std::string_view ref1, std::string_view alt1, std::string_view ref2,
                         std::string_view alt2, bool tryOmitNonRefAlt, TVcfMergedAlleles& out);
// The same from two REF-tab-ALT texts; the number of merged alleles, 0 when they cannot be
// reconciled.
uint32_t GetMergedRefAltAlleles(const char* pRefAlt1, const char* pRefAlt2, uint32_t LRef1,
                                uint32_t LRef2, uint32_t LAlt1, uint32_t LAlt2,
                                std::string& combRef, std::vector<std::string>& combAltAlleles,
                                std::string& Ref2, std::vector<std::string>& AltAlleles2,
                                bool TryOmitNonRefAlt);
// Two unphased genotype texts renumbered into the merged list and merged. A side that is only
// missing ("." or nothing) stands for as many missing alleles as the other side has.
bool MergeGenotypesUnphased(std::string_view genotype1, std::string_view genotype2,
                            const TVcfMergedAlleles& alleles, std::string& mergedAlleleStr,
                            uint32_t minPloidy, uint32_t maxPloidy);
// Multiset intersection where missing alleles may stand for alleles a side does not show.
std::vector<uint32_t> MergeUnphasedGenotypeLists(const std::vector<uint32_t>& dwGt1,
                                                 const std::vector<uint32_t>& dwGt2);
// Removes neighbouring duplicates of a sorted array in place; the new count.
uint32_t RmvSrtArrayDwDup(std::vector<uint32_t>& a);

// The parameters of the merge command: meta lines, alleles, INFO DP (summed) and END, FORMAT GT
// and DP, selected variants only, gVCF mode by inspection, block pieces alone with REF "N".
// The caller sets MetaExtraPtr to a TVcfMetaMergeReport to get the header warnings.
TVcfMergeParams VcfDefaultMergeParams(bool andLoci, bool andSamples);
