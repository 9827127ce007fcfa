// Population structures: individuals, alternative groupings (schemes) and their populations,
// plus population map files (tab-separated: "<SAMPLES>" header, one column per scheme).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "base/zelObject.h"

// "None" for individual, population, scheme and definition ids.
constexpr uint32_t kPopNone = 0xFFFFFFFF;

using TPopIdList = std::vector<uint32_t>;
using TPopMask = std::vector<bool>;
using TPopNames = std::vector<std::string>;

// One population: its members and the scheme it belongs to.
struct TPopStrucDef {
  std::string Name;
  TPopIdList IndList;  // member ids in the order given
  TPopMask PopMbMsk;   // nInd entries, true for members
  uint32_t SchemeId = kPopNone;
  uint32_t SchemePopNum = kPopNone;

  void SetPop(const std::string& name, const TPopIdList& indList, const TPopMask& popMbMsk,
              uint32_t schemeId);
};

// One grouping of the individuals; each individual is in at most one of its populations.
struct TPopScheme {
  std::string Name;
  TPopNames PopNames;                  // by population number
  TPopIdList SchemePopIds;             // population number -> index in PopDef
  std::vector<TPopIdList> PopIndList;  // population number -> member ids
  TPopIdList PopMembership;            // individual -> population number or kPopNone
  TPopMask SchemeMask;                 // individual -> assigned to some population
  uint32_t nIndInScheme = 0;

  // Appends the population (definition index popId) and returns its population number.
  uint32_t AddValidPop(uint32_t popId, const TPopStrucDef& pop);
  // Members of all populations, population by population.
  TPopIdList IndIDs() const;
  uint32_t nPops() const { return static_cast<uint32_t>(PopNames.size()); }
};

// True for a population or scheme label that a population map can write and read back:
// not empty, not "." (the unassigned mark), no tab, CR or LF.
bool IsSaveablePopName(std::string_view name);

// Individual i is sample column i of the VCF file the structure is used with (see
// popgen/popSampleMatch.h for checking that against the file's sample names).
class TPopStructure : public TZelObject {
 public:
  TPopNames IndNames;        // input order; index = individual id
  TPopNames SortedIndNames;  // byte order
  std::vector<TPopScheme> Schemes;
  std::vector<TPopStrucDef> PopDef;
  uint32_t nInd = 0;

  // Resets everything; true when the names are non-empty, unique and each one can be written
  // to a population map (not empty, no tab, CR or LF).
  bool init(const TPopNames& indivNames);
  // Adds a population by member names; false (nothing changed) for unknown names, an
  // unsaveable population name or a conflict that may not open a new scheme.
  bool AddPop(const TPopNames& selIndNames, const std::string& popName, bool allowMultipleSchemes);
  // Adds a population to scheme toScheme, or to a new scheme when toScheme is kPopNone.
  // Returns the scheme id; kPopNone (nothing changed) when the scheme does not exist, a
  // member id is out of range or a name could not be saved.
  uint32_t AddValidPopListToScheme(const std::string& popName, const TPopIdList& indInPop,
                                   const TPopMask& membershipMsk, uint32_t toScheme,
                                   const std::string& newSchemeName);
  bool IsAvailableName(const std::string& chkName, uint32_t schemeId) const;
  TPopStructure MakeCopy() const { return *this; }

  uint32_t nSchemes() const { return static_cast<uint32_t>(Schemes.size()); }
  TPopNames GetSchemeNames() const;
  // schemeId kPopNone selects the last scheme; out of range gives an empty result.
  TPopNames GetSchemeIndNames(uint32_t schemeId) const;
  std::vector<TPopNames> GetSchemePopIndNames(uint32_t schemeId) const;
  TPopNames GetSchemePopMbNames(uint32_t schemeId, const std::string& unassignedStr) const;

  // Population map files. Loading parses into a separate structure first, so a refused
  // file leaves this one as it was. Saving writes a temporary file beside the target and
  // renames it into place.
  [[nodiscard]] TZelErr LoadFromPopMap(const std::string& fileName);
  [[nodiscard]] TZelErr SaveToPopMap(const std::string& fileName) const;
  // The same on text in memory; fileName only names the source in error details.
  [[nodiscard]] TZelErr LoadFromPopMapText(std::string_view text, const std::string& fileName);
  // The lines of the map (without line breaks); an error when there is nothing to write or
  // a name cannot be written.
  [[nodiscard]] TZelErr PopMapLines(TPopNames& lines) const;

 private:
  const TPopScheme* SchemeForQuery(uint32_t schemeId) const;
};

// Ind = the lists concatenated in population order; PopMembership[k] = number of the list
// Ind[k] came from.
void ExtractPopStructureLists(const std::vector<TPopIdList>& popIndList, TPopIdList& ind,
                              TPopIdList& popMembership);
// Ascending ids of the individuals whose entry equals id.
TPopIdList PopMbs2IndList(const TPopIdList& popMembership, uint32_t id);
TPopMask PopMbs2Msk(const TPopIdList& popMembership, uint32_t id);

// Groupings derived from the sample names themselves. Label = the substring at 1-based
// startPos of at most len bytes; labels numbered in order of first appearance.
uint32_t AssignPopsFromIndStrPosF(const TPopNames& names, uint32_t startPos, uint32_t len,
                                  TPopIdList& popMemberShip, TPopNames& popNames,
                                  std::vector<TPopIdList>& popStruc);
// Every character of delims becomes '_', runs collapse; the label is item
// startAfterNthDelim (0-based) of the '_'-separated name. Names without any delimiter get no
// label. Labels sorted in byte order; unlabelled names get kPopNone.
uint32_t AssignPopsFromDelimStrF(const TPopNames& names, uint32_t startAfterNthDelim,
                                 TPopIdList& popMemberShip, TPopNames& popNames,
                                 std::vector<TPopIdList>& popStruc, std::string_view delims);
