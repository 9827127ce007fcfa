// F_ST results as the registry holds them (one data set for all populations of a scheme, or
// one per population pair) and the helpers that form population pairs and their file names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/korStruc.h"
#include "base/zelObject.h"
#include "popgen/bioPopGen.h"
#include "popgen/fstEstimators.h"

enum TPopParamValueKind : uint8_t { ppvUnknown = 0, ppvFst = 1, ppvExpression = 2, ppvUser = 3 };

struct TPopParams {
  TAlleleCounts AC;
  TAlleleFrequencies AF;
  THeterozygosities Het;
  std::vector<double> Fst;                        // per passing locus; NaN: undefined
  std::vector<std::vector<double>> LocPopValues;  // not filled by the F_ST commands
  std::vector<std::vector<double>> LocIndValues;  // not filled by the F_ST commands
  TLocNames LocNames;                             // CHROM "\t" POS per passing locus
  std::vector<std::string> PopNames;              // the scheme's population names
  uint32_t Pop1 = 0xFFFFFFFFu, Pop2 = 0xFFFFFFFFu;
  std::string PopName1, PopName2;
  std::string Desc;  // "global" or PopName1 "-" PopName2
  std::string ValKindDesc;
  TBitField SelMask;  // per variant: selected and passing; k-th set bit <-> Fst[k]
  TPopParamValueKind valKind = ppvUnknown;
  // Whether the heterozygosities carry the small-sample factor. A result of many data sets
  // (every population pair) keeps AF and Het empty and derives them again from the counts
  // when its tables are written: ten pairs of 400k loci would otherwise hold 350 MB more.
  bool SmallSampleCorrection = true;
  // The estimator's numerator, denominator and value per passing locus (Fst holds the same
  // values); kept for the windows and genome-wide figures, empty when they are not asked for.
  TFstLocusParts Parts;
};

// The data set's frequencies and heterozygosities: the stored ones, or derived from its counts
// when they were not kept.
void PopParamsFreqAndHet(const TPopParams& pp, TAlleleFrequencies& af, THeterozygosities& het);

class TPopParameters : public TZelObject {
 public:
  uint64_t popParSrcid = 0;  // registry id of the VCF object the results come from
  TFstEstimator Estimator = fstNei;
  std::vector<TPopParams> PopParameters;
};

// Pairs of the populations 0 .. P - 1 (P = largest number + 1) in the order (1,0), (2,0),
// (2,1), (3,0), ...: pwPop1 the larger, pwPop2 the smaller number; popMbList holds for each
// pair a membership in which every sample outside the pair is 0xFFFFFFFF. Returns the number
// of pairs.
uint32_t MakePopPairs(const std::vector<uint32_t>& popMembership,
                      std::vector<std::vector<uint32_t>>& popMbList, std::vector<uint32_t>& pwPop1,
                      std::vector<uint32_t>& pwPop2);
// For each value its position in levels, or the value itself when it is not among them.
std::vector<uint32_t> Xlat2Levels(const std::vector<uint32_t>& values,
                                  const std::vector<uint32_t>& levels);
// names[levels[i]] for i = 0 .. names.size() - 1 (empty where levels has no entry or it
// points beyond names).
std::vector<std::string> xlatPopNames(const std::vector<std::string>& names,
                                      const std::vector<uint32_t>& levels);

// A data set's description as it goes into a file name: "/", NUL and other control
// characters become "_"; everything else stays.
std::string FstFileDesc(const std::string& desc);

// The mask of per-variant bits for a result: the selected variants (vcfSelection) whose locus
// passed (locusPass has one bit per selected variant).
TBitField MakeFstSelMask(const TBitField& vcfSelection, const TBitField& locusPass);
