// Matching population-map individuals to VCF sample columns, with the messages that explain it.
#include "popgen/popSampleMatch.h"

#include <numeric>
#include <unordered_map>

TPopIdList TPopSampleMatch::SampleMembership(const TPopScheme& scheme) const {
  TPopIdList out(SampleToInd.size(), kPopNone);
  for (size_t s = 0; s < SampleToInd.size(); ++s) {
    const uint32_t ind = SampleToInd[s];
    if (ind < scheme.PopMembership.size()) out[s] = scheme.PopMembership[ind];
  }
  return out;
}

TPopSampleMatch MatchPopToSamples(const TPopStructure& structure,
                                  const std::vector<std::string>& sampleNames) {
  TPopSampleMatch m;
  const size_t nInd = structure.IndNames.size();
  if (nInd != sampleNames.size()) {
    m.Err = TZelErr::User("The population map has " + std::to_string(nInd) +
                          " individuals but the VCF file has " +
                          std::to_string(sampleNames.size()) + " samples");
    return m;
  }
  m.SampleToInd.resize(nInd);
  std::iota(m.SampleToInd.begin(), m.SampleToInd.end(), 0u);
  m.IndToSample = m.SampleToInd;

  std::vector<size_t> mismatches;
  for (size_t i = 0; i < nInd; ++i)
    if (structure.IndNames[i] != sampleNames[i]) mismatches.push_back(i);
  if (mismatches.empty()) return m;

  // The individual names are unique; when every sample name is one of them exactly once,
  // the two lists are one set in two orders.
  std::unordered_map<std::string_view, uint32_t> indOf;
  for (uint32_t i = 0; i < nInd; ++i) indOf.emplace(structure.IndNames[i], i);
  TPopIdList sampleToInd(nInd, kPopNone), indToSample(nInd, kPopNone);
  bool sameSet = true;
  for (uint32_t s = 0; s < nInd && sameSet; ++s) {
    auto it = indOf.find(sampleNames[s]);
    sameSet = it != indOf.end() && indToSample[it->second] == kPopNone;
    if (sameSet) {
      sampleToInd[s] = it->second;
      indToSample[it->second] = s;
    }
  }
  if (sameSet) {
    m.ByName = true;
    m.SampleToInd = std::move(sampleToInd);
    m.IndToSample = std::move(indToSample);
    m.Infos.push_back("Population map individuals matched by name to the VCF samples (" +
                      std::to_string(mismatches.size()) + " of " + std::to_string(nInd) +
                      " in another order)");
    return m;
  }

  std::string pairs;
  for (size_t k = 0; k < mismatches.size() && k < kPopMatchShownPairs; ++k) {
    const size_t i = mismatches[k];
    if (!pairs.empty()) pairs += ", ";
    pairs += "column " + std::to_string(i + 1) + " \"" + structure.IndNames[i] + "\" / \"" +
             sampleNames[i] + "\"";
  }
  if (mismatches.size() > kPopMatchShownPairs) pairs += ", ...";
  m.Warnings.push_back("Population map names differ from the VCF sample names at " +
                       std::to_string(mismatches.size()) + " of " + std::to_string(nInd) +
                       " positions; individuals are matched by position (map / VCF: " + pairs +
                       ")");
  return m;
}
