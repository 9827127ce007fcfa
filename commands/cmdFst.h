// F_ST commands: global and pairwise F_ST of the active VCF file under the current population
// scheme (results registered as oPopParams), writing the newest result's tables, and narrowing
// the variant selection by a stored result's F_ST.
#pragma once

#include <cstdint>
#include <string>

// Each clears the error flag, logs what it does and returns false once an error was logged
// (nothing registered then). The window's defaults: 2, 10, 4, 4, 2, true, true.
bool scGlobalFst(uint32_t minDP_all, uint32_t minDP_hom, uint32_t minNObsAllelePerPop,
                 uint32_t minNPops, uint32_t maxNAllelicStates, bool limitFstToZero,
                 bool doSmallSampleCorrection);
bool scPairwiseFst(uint32_t minDP_all, uint32_t minDP_hom, uint32_t minNObsAllelePerPop,
                   uint32_t minNPops, uint32_t maxNAllelicStates, bool limitFstToZero,
                   bool doSmallSampleCorrection);
// Four tables per data set of the newest result: base + "ac_"/"af_"/"het_"/"fst_" + the data
// set's description + ".tsv" (tab-separated, CR LF lines). An empty base does nothing.
bool scSaveFst(const std::string& base);
// Asks the user (IZelUser::AskValueSelection) for a stored F_ST data set of the active VCF
// file, a comparison and a threshold, and keeps selected only the variants whose F_ST passes.
void uscVcfSelectByFst();
void uscShowFstSelection();
