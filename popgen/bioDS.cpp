// Data sets: the structure copy and the current-scheme index that must always fit it.
#include "popgen/bioDS.h"

void TBioDataSet::KeepSchemeInRange() {
  if (FCurrPopScheme >= FPopStruc.nSchemes()) FCurrPopScheme = 0;
}

void TBioDataSet::SetPopStruc(const TPopStructure& s) {
  FPopStruc = s.MakeCopy();
  KeepSchemeInRange();
}

TZelErr TBioDataSet::LoadFromPopMap(const std::string& fileName) {
  TZelErr err = FPopStruc.LoadFromPopMap(fileName);
  KeepSchemeInRange();
  return err;
}

bool TBioDataSet::SetCurrPopScheme(uint32_t schemeId) {
  if (schemeId >= FPopStruc.nSchemes()) return false;
  FCurrPopScheme = schemeId;
  return true;
}

const TPopScheme* TBioDataSet::GetCurrScheme() const {
  return FCurrPopScheme < FPopStruc.nSchemes() ? &FPopStruc.Schemes[FCurrPopScheme] : nullptr;
}
