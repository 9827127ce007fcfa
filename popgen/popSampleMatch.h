// Meeting of a population structure with a VCF file's sample columns: by position as a rule,
// by name when the same names come in another order, refused when the counts differ.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/zelError.h"
#include "popgen/bioPop.h"

struct TPopSampleMatch {
  TZelErr Err;             // set when the structure cannot be used with the samples
  bool ByName = false;     // the names agree as sets but not in order
  TPopIdList SampleToInd;  // sample column -> individual id
  TPopIdList IndToSample;  // individual id -> sample column
  // Lines for the command to log: an info line when matched by name, a warning when the
  // names differ at some positions (matching stays positional).
  std::vector<std::string> Infos;
  std::vector<std::string> Warnings;

  // Population number of every sample column in the scheme (kPopNone when unassigned).
  TPopIdList SampleMembership(const TPopScheme& scheme) const;
};

// How many mismatching pairs the warning names before it says "...".
constexpr size_t kPopMatchShownPairs = 3;

TPopSampleMatch MatchPopToSamples(const TPopStructure& structure,
                                  const std::vector<std::string>& sampleNames);
