// Population commands: loading population maps, choosing the current scheme, the data set
// handed to the sample group manager.
#include "commands/cmdPop.h"

#include <algorithm>
#include <memory>
#include <unordered_set>

#include "commands/cmdLoad.h"
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
  if (const TVCFFile* vcf = iscActiveVcfFile()) iscWarnPopMapVsSamples(dataSet->PopStruc(), *vcf);
  AddObj2ObjList(std::move(dataSet), oBioDS);
  return true;
}

namespace {

// "3 (a, b, c)": the count and the first five names.
std::string CountAndFirstNames(const std::vector<std::string>& names) {
  std::string r = std::to_string(names.size()) + " (";
  for (size_t i = 0; i < names.size() && i < 5; ++i) r += (i ? ", " : "") + names[i];
  return r + (names.size() > 5 ? ", ...)" : ")");
}

}  // namespace

void iscWarnPopMapVsSamples(const TPopStructure& map, const TVCFFile& vcf) {
  const std::vector<std::string>& samples = vcf.SampleNamesRef();
  const std::unordered_set<std::string> inVcf(samples.begin(), samples.end());
  const std::unordered_set<std::string> inMap(map.IndNames.begin(), map.IndNames.end());
  std::vector<std::string> notInVcf, notInMap;
  for (const std::string& n : map.IndNames)
    if (!inVcf.count(n)) notInVcf.push_back(n);
  for (const std::string& n : samples)
    if (!inMap.count(n)) notInMap.push_back(n);
  if (!notInVcf.empty())
    iscZelWarning("Names of the population map that are not samples of the active VCF file: " +
                  CountAndFirstNames(notInVcf));
  if (!notInMap.empty())
    iscZelWarning("Samples of the active VCF file that the population map does not name: " +
                  CountAndFirstNames(notInMap));
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
