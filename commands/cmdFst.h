// F_ST commands: global and pairwise F_ST of the active VCF file under the current population
// scheme (results registered as oPopParams), writing the newest result's tables, and narrowing
// the variant selection by a stored result's F_ST.
#pragma once

#include <cstdint>
#include <string>

// Loads a VCF file for an F_ST run that follows at once (zelcli), as scLoadVcfFile does and
// with its log. When the population map (and scheme, empty: the map's first) already fit the
// samples of the file's header, the calls are tallied per population in the pass that
// indexes the file, and the run's allele count reads only the lines the tally left.
bool iscLoadVcfFileForFst(const std::string& vcfFile, const std::string& popMapFile,
                          const std::string& scheme, bool pairwise, uint32_t minDP_all,
                          uint32_t minDP_hom);

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

// The estimator of the scGlobalFst / scPairwiseFst runs that follow (until set again): "nei"
// (the heterozygosity-based F_ST and its four tables, the start-up choice), "wc" (Weir &
// Cockerham's theta, global or pairwise) or "hudson" (Hudson's F_ST, pairwise only). With wc or
// hudson the result's per-locus values are that estimator's, and scSaveFst writes
// base + "fst_<estimator>_" + description + ".tsv" per data set and base +
// "fst_<estimator>_summary.tsv" instead of the four tables. Another name is a user error (the
// choice is kept). Not in the command table: its fourteen entries are fixed and
// scListCommands lists every registered command, so the interpreter cannot reach it.
bool scFstEstimator(const std::string& name);

// What scSaveFst writes beside the per-locus tables: windows of WindowSize bases (0: none)
// moved by WindowStep (0: WindowSize) as base + "fst_<estimator>_window_" + description +
// ".tsv", and the genome-wide summary with the block-jackknife standard errors over
// JackknifeBlocks blocks; NeiSummary writes summary (and windows) for the Nei estimator too.
// KeepParts keeps the Nei estimator's numerators and denominators in the result (TPopParams
// Parts) without writing more, for a picture drawn from it.
struct TFstExtraOutput {
  uint64_t WindowSize = 0, WindowStep = 0;
  uint32_t JackknifeBlocks = 100;
  bool NeiSummary = false;
  bool KeepParts = false;
};
void iscSetFstExtraOutput(const TFstExtraOutput& o);
