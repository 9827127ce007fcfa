// Export commands: the selected variants of the active VCF file written for BayeScan (with its
// marker-name file), Structure and FAMD (binary presence/absence matrix).
#pragma once

#include <cstdint>
#include <string>

// Each returns true when the file was written. A failed export writes no file (and leaves no
// old one half replaced) and logs why. BayeScan and Structure take the members of the current
// scheme of the most recent data set, matched to the VCF's samples by name; minDP_hom and
// minDP_FirstAllele are the depth thresholds of homozygous calls and of all calls.
bool scVcfExport2Bayescan(const std::string& fileName, uint32_t minDP_hom,
                          uint32_t minDP_FirstAllele);
bool scVcfExport2Structure(const std::string& fileName, uint32_t minDP_hom,
                           uint32_t minDP_FirstAllele);
// All samples; a call whose DP is below minDP is written as missing ('?').
bool scVcfExport2FAMD(const std::string& fileName, uint32_t minDP);
