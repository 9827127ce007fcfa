// Population commands: loading population maps, choosing the current scheme, the data set
// handed to the sample group manager.
#include "commands/cmdPop.h"

#include <algorithm>
#include <memory>

#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "popgen/bioDS.h"
#include "vcf/bioVCF.h"

bool scLoadPopMap(const std::string& fileName) {
  iscZelHasError(true);
  // Said out loud: a mistyped name would otherwise only surface later as "no population
  // information" with no hint why.
  if (!DoesFileExist(fileName)) {
    iscZelError(TZelErr::User("Population map file not found", fileName));
    return false;
  }
  auto dataSet = std::make_unique<TBioDataSet>();
  if (TZelErr err = dataSet->LoadFromPopMap(fileName)) {
    iscZelError(err);
    return false;
  }
  iscZelLog("Loaded population map from file: " + fileName);
  AddObj2ObjList(std::move(dataSet), oBioDS);
  return true;
}

void scSelectPopScheme(const char* schemeName) {
  if (!schemeName || !*schemeName) return;
  iscZelHasError(true);
  const std::string name(schemeName);
  TBioDataSet* dataSet = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
  const TPopNames schemes = dataSet ? dataSet->PopStruc().GetSchemeNames() : TPopNames();
  if (!dataSet || dataSet->PopStruc().nInd == 0 || schemes.empty()) {
    iscZelUserError("No suitable population information available. ");
    return;
  }
  const auto it = std::find(schemes.begin(), schemes.end(), name);
  if (it == schemes.end()) {
    iscZelUserError("Population scheme \"" + name + "\" not found");
    return;
  }
  dataSet->SetCurrPopScheme(static_cast<uint32_t>(it - schemes.begin()));
  iscZelLog("Selecting population scheme: " + name);
  scUiSetPopScheme(name);
}

void iscMenuUpdatePopSchemes(const TBioDataSet& dataSet) {
  for (const std::string& name : dataSet.PopStruc().GetSchemeNames()) iscAddQuickSelectScheme(name);
}

void iscShowGrpManForSamples(const std::vector<std::string>& sampleNames) {
  if (sampleNames.empty()) return;
  TBioDataSet* dataSet = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
  if (!dataSet) {
    auto created = std::make_unique<TBioDataSet>();
    dataSet = created.get();
    AddObj2ObjList(std::move(created), oBioDS);
  }
  if (dataSet->PopStruc().nInd == 0) {
    TPopStructure fromSamples;
    if (!fromSamples.init(sampleNames)) {
      // Sample names a map could not carry (repeated, empty): no structure to edit.
      iscZelUserError("The VCF sample names cannot be used as individuals (repeated or empty)");
      return;
    }
    dataSet->SetPopStruc(fromSamples);
  }
  TPopStructure working = dataSet->PopStruc().MakeCopy();
  if (!ZelUser().ShowGroupManager(working)) return;
  dataSet->SetPopStruc(working);
  iscMenuUpdatePopSchemes(*dataSet);
}

void uscShowGrpMan() {
  if (ZelObjCount() == 0) return;
  const int32_t active = GetActiveObj();
  TZelObject* obj = active >= 0 ? GetObjById(active) : nullptr;
  if (!obj || GetObjTypeById(active) != oVCF) {
    iscZelUserError("Need to operate on VCF input");
    return;
  }
  // The registry files only VCF files under oVCF.
  const TVCFFile* vcf = static_cast<const TVCFFile*>(obj);
  iscShowGrpManForSamples(vcf->SampleNamesRef());
}
