// Merging the active VCF file with a second VCF file into a new VCF file.
#pragma once

#include <string>

// Merges the active VCF file (its selected variants) with the file fn2 into outFile, BGZF when
// its name ends in ".gz". andLoci: only positions in both files; andSamples: only samples
// named in both. The output appears only when the merge completed. False after an error.
bool iscVcfMerge(const std::string& fn2, const std::string& outFile, bool andLoci, bool andSamples);
// The same with positions in both files and the samples of either.
void _dev_mergevcf(const std::string& vcf_fn2, const std::string& merged_out_vcf);
