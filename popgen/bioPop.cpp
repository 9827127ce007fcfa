// Population structures: schemes, populations and the queries the analyses use.
#include "popgen/bioPop.h"

#include <algorithm>
#include <map>
#include <unordered_set>

#include "base/korStr.h"

void TPopStrucDef::SetPop(const std::string& name, const TPopIdList& indList,
                          const TPopMask& popMbMsk, uint32_t schemeId) {
  Name = name;
  IndList = indList;
  PopMbMsk = popMbMsk;
  SchemeId = schemeId;
}

uint32_t TPopScheme::AddValidPop(uint32_t popId, const TPopStrucDef& pop) {
  const uint32_t num = static_cast<uint32_t>(SchemePopIds.size());
  SchemePopIds.push_back(popId);
  PopNames.push_back(pop.Name);
  const size_t n = std::min(SchemeMask.size(), pop.PopMbMsk.size());
  for (size_t i = 0; i < n; ++i)
    if (pop.PopMbMsk[i]) SchemeMask[i] = true;
  nIndInScheme = static_cast<uint32_t>(std::count(SchemeMask.begin(), SchemeMask.end(), true));
  PopIndList.push_back(pop.IndList);
  for (uint32_t id : pop.IndList)
    if (id < PopMembership.size()) PopMembership[id] = num;
  return num;
}

TPopIdList TPopScheme::IndIDs() const {
  TPopIdList ids;
  for (const TPopIdList& members : PopIndList)
    ids.insert(ids.end(), members.begin(), members.end());
  return ids;
}

bool IsSaveablePopName(std::string_view name) {
  return !name.empty() && name != "." && name.find_first_of("\t\r\n") == std::string_view::npos;
}

namespace {

// An individual name survives a map round trip unless it is empty or holds a field or
// line separator ("." is fine there: only labels treat it as unassigned).
bool IsSaveableIndName(std::string_view name) {
  return !name.empty() && name.find_first_of("\t\r\n") == std::string_view::npos;
}

bool IsSaveableSchemeName(std::string_view name) {
  return name.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace

bool TPopStructure::init(const TPopNames& indivNames) {
  *this = TPopStructure();
  nInd = static_cast<uint32_t>(indivNames.size());
  if (nInd == 0) return false;
  std::unordered_set<std::string_view> seen;
  seen.reserve(indivNames.size());
  for (const std::string& name : indivNames) {
    if (!IsSaveableIndName(name) || !seen.insert(name).second) {
      nInd = 0;  // a refused list leaves a consistent empty structure
      return false;
    }
  }
  IndNames = indivNames;
  SortedIndNames = indivNames;
  QSortAStr(SortedIndNames, false);  // byte order, not length order
  return true;
}

uint32_t TPopStructure::AddValidPopListToScheme(const std::string& popName,
                                                const TPopIdList& indInPop,
                                                const TPopMask& membershipMsk, uint32_t toScheme,
                                                const std::string& newSchemeName) {
  if (!IsSaveablePopName(popName) || !IsSaveableSchemeName(newSchemeName)) return kPopNone;
  if (toScheme != kPopNone && toScheme >= Schemes.size()) return kPopNone;
  for (uint32_t id : indInPop)
    if (id >= nInd) return kPopNone;
  // The mask always has nInd entries, so the scheme's arrays keep their length.
  TPopMask mask(membershipMsk);
  mask.resize(nInd, false);

  uint32_t schemeId = toScheme;
  if (schemeId == kPopNone) {
    schemeId = static_cast<uint32_t>(Schemes.size());
    TPopScheme scheme;
    scheme.Name = newSchemeName.empty() ? std::to_string(schemeId) : newSchemeName;
    scheme.SchemeMask.assign(nInd, false);
    scheme.PopMembership.assign(nInd, kPopNone);
    Schemes.push_back(std::move(scheme));
  }
  const uint32_t defId = static_cast<uint32_t>(PopDef.size());
  PopDef.emplace_back();
  PopDef.back().SetPop(popName, indInPop, mask, schemeId);
  PopDef.back().SchemePopNum = Schemes[schemeId].AddValidPop(defId, PopDef.back());
  return schemeId;
}

bool TPopStructure::AddPop(const TPopNames& selIndNames, const std::string& popName,
                           bool allowMultipleSchemes) {
  if (selIndNames.empty() || nInd == 0 || !IsSaveablePopName(popName)) return false;
  TPopMask mask(nInd, false);
  TPopIdList ids;
  ids.reserve(selIndNames.size());
  for (const std::string& name : selIndNames) {
    auto it = std::find(IndNames.begin(), IndNames.end(), name);
    if (it == IndNames.end()) return false;
    const uint32_t id = static_cast<uint32_t>(it - IndNames.begin());
    ids.push_back(id);
    mask[id] = true;
  }

  uint32_t target = Schemes.empty() ? kPopNone : nSchemes() - 1;
  for (const TPopStrucDef& def : PopDef) {
    if (allowMultipleSchemes && !Schemes.empty() && def.SchemeId != nSchemes() - 1) continue;
    bool conflict = def.Name == popName;
    const size_t n = std::min(def.PopMbMsk.size(), mask.size());
    for (size_t i = 0; !conflict && i < n; ++i) conflict = def.PopMbMsk[i] && mask[i];
    if (conflict) {
      target = kPopNone;
      break;
    }
  }
  if (!PopDef.empty() && !allowMultipleSchemes && target == kPopNone) return false;
  return AddValidPopListToScheme(popName, ids, mask, target, std::string()) != kPopNone;
}

bool TPopStructure::IsAvailableName(const std::string& chkName, uint32_t schemeId) const {
  // A name a map cannot carry is never available, whatever the structure holds.
  if (!IsSaveablePopName(chkName)) return false;
  if (PopDef.empty()) return true;
  for (const TPopStrucDef& def : PopDef) {
    if (schemeId != kPopNone && def.SchemeId + 1 != Schemes.size()) continue;
    if (def.Name == chkName) return false;
  }
  return true;
}

TPopNames TPopStructure::GetSchemeNames() const {
  TPopNames names;
  names.reserve(Schemes.size());
  for (const TPopScheme& s : Schemes) names.push_back(s.Name);
  return names;
}

const TPopScheme* TPopStructure::SchemeForQuery(uint32_t schemeId) const {
  if (nInd == 0 || Schemes.empty()) return nullptr;
  if (schemeId == kPopNone) return &Schemes.back();
  return schemeId < Schemes.size() ? &Schemes[schemeId] : nullptr;
}

TPopNames TPopStructure::GetSchemeIndNames(uint32_t schemeId) const {
  TPopNames names;
  const TPopScheme* s = SchemeForQuery(schemeId);
  if (!s) return names;
  for (uint32_t id : s->IndIDs())
    if (id < IndNames.size()) names.push_back(IndNames[id]);
  return names;
}

std::vector<TPopNames> TPopStructure::GetSchemePopIndNames(uint32_t schemeId) const {
  std::vector<TPopNames> pops;
  const TPopScheme* s = SchemeForQuery(schemeId);
  if (!s) return pops;
  for (const TPopIdList& members : s->PopIndList) {
    TPopNames names;
    for (uint32_t id : members)
      if (id < IndNames.size()) names.push_back(IndNames[id]);
    pops.push_back(std::move(names));
  }
  return pops;
}

TPopNames TPopStructure::GetSchemePopMbNames(uint32_t schemeId,
                                             const std::string& unassignedStr) const {
  TPopNames names;
  const TPopScheme* s = SchemeForQuery(schemeId);
  if (!s) return names;
  names.reserve(nInd);
  for (uint32_t i = 0; i < nInd; ++i) {
    const uint32_t p = i < s->PopMembership.size() ? s->PopMembership[i] : kPopNone;
    names.push_back(p < s->PopNames.size() ? s->PopNames[p] : unassignedStr);
  }
  return names;
}

void ExtractPopStructureLists(const std::vector<TPopIdList>& popIndList, TPopIdList& ind,
                              TPopIdList& popMembership) {
  ind.clear();
  popMembership.clear();
  for (uint32_t p = 0; p < popIndList.size(); ++p) {
    ind.insert(ind.end(), popIndList[p].begin(), popIndList[p].end());
    popMembership.insert(popMembership.end(), popIndList[p].size(), p);
  }
}

TPopIdList PopMbs2IndList(const TPopIdList& popMembership, uint32_t id) {
  TPopIdList ids;
  for (uint32_t i = 0; i < popMembership.size(); ++i)
    if (popMembership[i] == id) ids.push_back(i);
  return ids;
}

TPopMask PopMbs2Msk(const TPopIdList& popMembership, uint32_t id) {
  TPopMask mask(popMembership.size(), false);
  for (size_t i = 0; i < popMembership.size(); ++i) mask[i] = popMembership[i] == id;
  return mask;
}

uint32_t AssignPopsFromIndStrPosF(const TPopNames& names, uint32_t startPos, uint32_t len,
                                  TPopIdList& popMemberShip, TPopNames& popNames,
                                  std::vector<TPopIdList>& popStruc) {
  popMemberShip.assign(names.size(), kPopNone);
  popNames.clear();
  popStruc.clear();
  std::map<std::string, uint32_t> numbers;
  for (uint32_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const std::string label = SubStr(name, startPos, len);
    auto [it, added] = numbers.try_emplace(label, static_cast<uint32_t>(popNames.size()));
    if (added) {
      popNames.push_back(label);
      popStruc.emplace_back();
    }
    popMemberShip[i] = it->second;
    popStruc[it->second].push_back(i);
  }
  return static_cast<uint32_t>(popNames.size());
}

uint32_t AssignPopsFromDelimStrF(const TPopNames& names, uint32_t startAfterNthDelim,
                                 TPopIdList& popMemberShip, TPopNames& popNames,
                                 std::vector<TPopIdList>& popStruc, std::string_view delims) {
  const TChSet set = TChSet::Of(delims);
  TPopNames labels(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    std::string norm;
    if (FmtStr(names[i], set, '_', norm, false) > 0)
      labels[i] = GetNthItemF(norm, startAfterNthDelim, '_');
  }
  popNames.clear();
  for (const std::string& l : labels)
    if (!l.empty()) popNames.push_back(l);
  QSortAStr(popNames, false);
  popNames.erase(std::unique(popNames.begin(), popNames.end()), popNames.end());
  popStruc.assign(popNames.size(), {});
  popMemberShip.assign(names.size(), kPopNone);
  for (uint32_t i = 0; i < labels.size(); ++i) {
    if (labels[i].empty()) continue;
    const uint32_t p = static_cast<uint32_t>(
        std::lower_bound(popNames.begin(), popNames.end(), labels[i]) - popNames.begin());
    popMemberShip[i] = p;
    popStruc[p].push_back(i);
  }
  return static_cast<uint32_t>(popNames.size());
}
