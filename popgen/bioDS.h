// Data sets: one population assignment the registry holds, with its current scheme.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/korStruc.h"
#include "base/zelError.h"
#include "base/zelObject.h"
#include "popgen/bioPop.h"

class TBioDataSet : public TZelObject {
 public:
  TBioDataSet() = default;

  const TPopStructure& PopStruc() const { return FPopStruc; }
  // Stores a deep copy; the current scheme stays unless it no longer exists (then 0).
  void SetPopStruc(const TPopStructure& s);
  // Loads a population map into the data set; a refused file changes nothing.
  [[nodiscard]] TZelErr LoadFromPopMap(const std::string& fileName);

  uint32_t CurrPopScheme() const { return FCurrPopScheme; }
  // False (nothing changed) when the scheme does not exist.
  bool SetCurrPopScheme(uint32_t schemeId);
  uint32_t nSchemes() const { return FPopStruc.nSchemes(); }
  // Null when there is no current scheme.
  const TPopScheme* GetCurrScheme() const;

  // Per-locus selections and links to other registry objects; kept for the data set's
  // users, filled by none yet.
  std::vector<TBitField> FLocSelections;
  uint64_t FRefID = 0, FVcfID = 0, FGffID = 0;
  std::vector<uint64_t> FFastaIDs, FAuxVcfIDs, FAuxGffIDs, FBamIDs, FPopParamIDs;

 private:
  void KeepSchemeInRange();

  TPopStructure FPopStruc;
  uint32_t FCurrPopScheme = 0;
};
