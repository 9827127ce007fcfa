// Selection commands on the active VCF file, with the log lines and status they give.
#include "commands/cmdSelect.h"

#include <unordered_map>

#include "base/korNum.h"
#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "popgen/bioDS.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfSelect.h"

namespace {

// For a selection read through routines that return no error (class tests, contigs, ranges):
// a malformed line they met fails the command, naming the file and line, and the selection
// goes back to what it was, as for any other failed selection.
class TLineGuard {
 public:
  explicit TLineGuard(TVCFFile& vcf) : F(vcf) {
    F.EnsureSelection();
    Saved = F.Selection();
    F.ForgetLineErrors();
  }
  // True (with the error logged) when a line was malformed.
  bool Failed() {
    const TZelErr e = F.FirstLineError();
    if (!e) return false;
    (void)F.CombineSelection(Saved, lSet);  // the same file: the sizes match
    iscZelError(e);
    return true;
  }

 private:
  TVCFFile& F;
  TBitField Saved;
};

// A class test over the selected variants: each keeps its bit only when it passes.
template <class Test>
void NarrowByClass(Test test, bool busy) {
  TVCFFile* vcf = _prepVcfSelect();
  if (!vcf) return;
  if (busy) scUiSetState(1);
  TLineGuard guard(*vcf);
  const uint64_t nv = vcf->NVariants();
  for (uint64_t v = 0; v < nv; ++v)
    if (vcf->IsSelected(v) && !test(*vcf, v)) vcf->SetSelected(v, false);
  const bool failed = guard.Failed();
  if (busy) scUiSetState(0);
  if (!failed) _updateVcfSelection(*vcf);
}

TVCFFile* ActiveVcfForTags() {
  if (ZelObjCount() == 0) return nullptr;
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) iscZelUserError("No valid VCF input selected");
  return vcf;
}

std::vector<TVarSelKey> DialogKeys(TVCFFile& vcf, const char* keyType) {
  std::vector<TVarSelKey> keys;
  vcf.MakeKeyDir(false, true, true);
  const TVcfMetaKeyDir& dir = vcf.MetaKeyDir();
  const uint32_t pos = dir.FindKeyType(keyType);
  if (pos == 0xFFFFFFFFu) return keys;
  const TVcfKeyDirectory& kd = dir.Definitions[pos];
  // Directories of predefined names only carry no definitions: nothing to offer.
  if (kd.KeyDef.size() != kd.Keys.size()) return keys;
  for (size_t i = 0; i < kd.Keys.size(); ++i)
    keys.push_back({kd.Keys[i], kd.KeyDef[i].kDescription, uint8_t(kd.KeyDef[i].kType)});
  return keys;
}

// The key's header Type for a threshold, or a user error (not declared, Number other than 1,
// a type without order).
bool FilterKeyType(TVCFFile& vcf, const std::string& key, bool info, TvcfType& type) {
  TvcfKeyDescription def;
  std::vector<TVcfTagValueStr> pairs;
  const bool found = info ? vcf.GetInfoKeyDirDefinition(key, def, pairs)
                          : vcf.GetFmtKeyDirDefinition(key, def, pairs);
  const std::string kind = info ? "INFO" : "FORMAT";
  if (!found || pairs.empty()) {
    iscZelError(TZelErr::User(kind + " key not defined in the VCF header", key));
    return false;
  }
  if (def.kNumberKind != vmnNumber || def.kNumber != 1) {
    std::string number = "?";
    for (const TVcfTagValueStr& tv : pairs)
      if (tv.Tag == "Number") number = tv.ValueStr;
    iscZelError(
        TZelErr::User("Only " + kind + " keys with Number=1 can be compared with a threshold",
                      key + " has Number=" + number));
    return false;
  }
  if (def.kType != vtInt && def.kType != vtFloat) {
    iscZelError(
        TZelErr::User("Only Integer and Float " + kind + " keys can be compared with a threshold",
                      key + " has Type=" + std::string(vcfTypeStr[def.kType])));
    return false;
  }
  type = def.kType;
  return true;
}

void LogSelected(const TVCFFile& vcf) {
  iscZelLog("Selected " + std::to_string(vcf.NVariantsSelected()) + " variants");
}

bool WriteLines(const std::string& fileName, const std::vector<std::string>& lines) {
  const int rc = WriteFileDataStr(fileName, lines, "\r\n", 0);
  if (rc != 0)
    iscZelError(TZelErr("", "Cannot write file", fileName + " (" + FioErrorText(rc) + ")"));
  return rc == 0;
}

}  // namespace

TVCFFile* _prepVcfSelect() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    const int32_t id = GetLastObjIdOfType({oVCF});
    if (id < 0) {
      iscZelUserError("Need to operate on VCF input");
      return nullptr;
    }
    SetActiveObj(id);
    scUiSetObject(id);
    vcf = iscActiveVcfFile();
    if (!vcf) return nullptr;
  }
  return vcf->NVariants() ? vcf : nullptr;
}

void _updateVcfSelection(const TVCFFile& vcf) {
  scUiSetDataSize(std::to_string(vcf.NSamples()) + " x " + std::to_string(vcf.NVariantsSelected()));
}

void scVcfSelectAll() {
  TVCFFile* vcf = _prepVcfSelect();
  if (!vcf) return;
  vcf->ClearSelection(true);
  _updateVcfSelection(*vcf);
}

void scVcfSelectNone() {
  TVCFFile* vcf = _prepVcfSelect();
  if (!vcf) return;
  vcf->ClearSelection(false);
  _updateVcfSelection(*vcf);
}

void scVcfInvertSelection() {
  TVCFFile* vcf = _prepVcfSelect();
  if (!vcf) return;
  vcf->InvertSelection();
  _updateVcfSelection(*vcf);
}

void scVcfSelectSNPs() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsSNP(v); }, false);
}
void scVcfSelectTransversions() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsTransversion(v); }, true);
}
void scVcfSelectTransitions() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsTransition(v); }, true);
}
void scVcfSelectInDels() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsIndel(v); }, false);
}
void scVcfSelectPolymorphic() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsPolymorphic(v); }, false);
}
void scVcfSelectWithAltAllele() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsAltAllelePresent(v); }, false);
}
void scVcfSelectBiallelic() {
  NarrowByClass([](const TVCFFile& f, uint64_t v) { return f.IsBiallelic(v); }, false);
}

void iscShowVcfVarSelection() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  TVarSelRequest req;
  req.Page = vsChr;
  req.Contigs = vcf->ChromNames();
  const std::optional<TVarSelAnswer> a = ZelUser().ShowVarSelection(req);
  // Cancel keeps the selection (the checked list of a cancelled dialog means nothing).
  if (!a) return;
  std::vector<uint64_t> ids(a->CheckedContigs.begin(), a->CheckedContigs.end());
  vcf->SelectChroms(ids);
  _updateVcfSelection(*vcf);
}

void iscShowVcfVarRangeSelection() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  TVarSelRequest req;
  req.Page = vsRegion;
  req.Contigs = vcf->ChromNames();
  scUiSetState(1);
  const std::optional<TVarSelAnswer> a = ZelUser().ShowVarSelection(req);
  scUiSetState(0);
  if (!a || a->CheckedContigs.empty()) return;
  uint64_t from = 0, to = 0;
  if (!s2qChecked(a->FromPos, from) || !s2qChecked(a->ToPos, to) || to < from) {
    iscZelError(TZelErr::User("Not a valid position range", a->FromPos + " to " + a->ToPos));
    return;
  }
  scUiSetState(1);
  vcf->SelectChromRangeOnly(a->CheckedContigs[0], from, to);
  _updateVcfSelection(*vcf);
  scUiSetState(0);
}

bool iscVcfSelectByInfo(const std::string& key, TComparison cmp, const std::string& text) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    iscZelUserError("No valid VCF input selected");
    return false;
  }
  TvcfType type;
  if (!FilterKeyType(*vcf, key, true, type)) return false;
  TVcfFilterItem item;
  if (TZelErr e = ParseThreshold(text, type, item.Threshold, item.Evaluator)) {
    iscZelError(e);
    return false;
  }
  scUiSetState(1);
  iscZelLog("Selecting variants based upon " + key + " INFO tag " + ComparisonStr[cmp] + text);
  item.Key = key;
  item.fmt_MinNPassingSamples = 1;
  item.Comparison = cmp;
  item.KeyMissingMskValue = bNA;
  item.info_KeyPresentAsFlag = std::string(1, '\1');
  TZelErr err;
  const int64_t r = vcf->InfoFilters({item}, lAnd, lAnd, 0, ~uint64_t(0), nullptr, &err);
  _updateVcfSelection(*vcf);
  scUiSetState(0);
  if (r < 0 && err) {
    iscZelError(err);
    return false;
  }
  LogSelected(*vcf);
  return true;
}

bool iscVcfSelectByInfoPresent(const std::string& key) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    iscZelUserError("No valid VCF input selected");
    return false;
  }
  TvcfKeyDescription def;
  std::vector<TVcfTagValueStr> pairs;
  if (!vcf->GetInfoKeyDirDefinition(key, def, pairs) || pairs.empty()) {
    iscZelError(TZelErr::User("INFO key not defined in the VCF header", key));
    return false;
  }
  scUiSetState(1);
  iscZelLog("Selecting variants based upon " + key + " INFO tag present");
  TZelErr err;
  const int64_t r = vcf->InfoKeyPresentFilter(key, &err);
  _updateVcfSelection(*vcf);
  scUiSetState(0);
  if (r < 0) {
    iscZelError(err);
    return false;
  }
  LogSelected(*vcf);
  return true;
}

bool iscVcfSelectBySampleTag(const std::string& key, TComparison cmp, const std::string& text,
                             const std::string& minText) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    iscZelUserError("No valid VCF input selected");
    return false;
  }
  uint64_t minSamples = 0;
  if (!s2qChecked(minText, minSamples) || minSamples > 0xFFFFFFFFull) {
    iscZelError(
        TZelErr::User("Min. Sample value does not appear to be a valid unsigned integer number",
                      "<" + minText + ">"));
    return false;
  }
  TvcfType type;
  if (!FilterKeyType(*vcf, key, false, type)) return false;
  TVcfFilterItem item;
  if (TZelErr e = ParseThreshold(text, type, item.Threshold, item.Evaluator)) {
    iscZelError(e);
    return false;
  }
  iscZelLog("Selecting variants based upon " + key + " FORMAT tag " + ComparisonStr[cmp] + text +
            ", requiring " + std::to_string(minSamples) +
            " sample individuals to pass this condition.");
  scUiSetState(1);
  item.Key = key;
  item.fmt_MinNPassingSamples = 1;
  item.Comparison = cmp;
  item.KeyMissingMskValue = bNA;
  TZelErr err;
  const int64_t r =
      vcf->SampleFilter(item, uint32_t(minSamples), {}, lAnd, lAnd, 0, ~uint64_t(0), nullptr, &err);
  _updateVcfSelection(*vcf);
  scUiSetState(0);
  if (r < 0 && err) {
    iscZelError(err);
    return false;
  }
  LogSelected(*vcf);
  return true;
}

void uscVcfSelectByInfo() {
  TVCFFile* vcf = ActiveVcfForTags();
  if (!vcf) return;
  TVarSelRequest req;
  req.Page = vsVcfInfo;
  req.Keys = DialogKeys(*vcf, "INFO");
  const std::optional<TVarSelAnswer> a = ZelUser().ShowVarSelection(req);
  if (!a) return;
  if (a->TagPresent) {
    iscVcfSelectByInfoPresent(a->Key);
    return;
  }
  iscVcfSelectByInfo(a->Key, a->Comparison <= 5 ? TComparison(a->Comparison) : cmpGE, a->Threshold);
}

void uscVcfSelectBySampleTag() {
  TVCFFile* vcf = ActiveVcfForTags();
  if (!vcf) return;
  TVarSelRequest req;
  req.Page = vsVcfSample;
  req.Keys = DialogKeys(*vcf, "FORMAT");
  const std::optional<TVarSelAnswer> a = ZelUser().ShowVarSelection(req);
  if (!a) return;
  iscVcfSelectBySampleTag(a->Key, a->Comparison <= 5 ? TComparison(a->Comparison) : cmpGE,
                          a->Threshold, a->MinSamples);
}

bool iscVcfSelectContigs(const std::vector<std::string>& names, TMaskLogic logic) {
  iscZelHasError(true);
  TVCFFile* vcf = _prepVcfSelect();
  if (!vcf) return !iscZelHasError(false);
  // Finding a contig reads the CHROM column of every line: a malformed one is the first fault.
  TLineGuard guard(*vcf);
  std::vector<uint64_t> ids;
  for (const std::string& n : names) {
    const uint64_t id = vcf->FindChrom(n);
    if (guard.Failed()) return false;
    if (id == vcfNone64) {
      iscZelError(TZelErr::User("Contig not found in the VCF", n));
      return false;
    }
    ids.push_back(id);
  }
  vcf->SelectChroms(ids, logic);
  if (guard.Failed()) return false;
  _updateVcfSelection(*vcf);
  return true;
}

bool iscVcfSelectContigRange(const std::string& name, uint64_t from, uint64_t to,
                             TMaskLogic logic) {
  iscZelHasError(true);
  TVCFFile* vcf = _prepVcfSelect();
  if (!vcf) return !iscZelHasError(false);
  TLineGuard guard(*vcf);
  const uint64_t id = vcf->FindChrom(name);
  if (guard.Failed()) return false;
  if (id == vcfNone64) {
    iscZelError(TZelErr::User("Contig not found in the VCF", name));
    return false;
  }
  if (to < from) {
    iscZelError(TZelErr::User("Range start is beyond its end",
                              name + ":" + std::to_string(from) + "-" + std::to_string(to)));
    return false;
  }
  vcf->SelectChromRangeOnly(id, from, to, logic);
  if (guard.Failed()) return false;
  _updateVcfSelection(*vcf);
  return true;
}

void scVcfSaveSelection(const std::string& fileName) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    iscZelUserError("Need to operate on VCF input");
    return;
  }
  std::vector<uint32_t> samples;
  bool useList = false;
  const TBioDataSet* ds = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
  // Without a scheme (a data set not yet grouped) every sample is written.
  const TPopScheme* scheme = ds && ds->PopStruc().nInd > 0 ? ds->GetCurrScheme() : nullptr;
  if (scheme) {
    useList = true;
    // Members are found among the samples by name, whatever order the map gave them.
    std::unordered_map<std::string, uint32_t> column;
    const auto& names = vcf->SampleNamesRef();
    for (uint32_t s = names.size(); s-- > 0;) column[names[s]] = s;
    for (uint32_t ind : scheme->IndIDs()) {
      const std::string& n = ds->PopStruc().IndNames[ind];
      const auto it = column.find(n);
      if (it == column.end()) {
        iscZelError(TZelErr::User("Population member is not a sample of the VCF", n));
        return;
      }
      samples.push_back(it->second);
    }
  }
  scUiSetState(1);
  iscZelLog("Saving VCF variant selection to file: " + fileName);
  vcf->EnsureSelection();
  const TZelErr err = VcfWriteSelection(*vcf, fileName, useList ? &samples : nullptr, ZelThreads());
  scUiSetState(0);
  if (err) iscZelError(err);
}

void _dev_save_vcf_selection(const std::string& fileName) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  vcf->EnsureSelection();
  const std::string n = std::to_string(vcf->NVariantsSelected());
  iscZelLog("currently selected : " + n + " " + n);
  if (WriteLines(fileName, {VcfSelectionBitForm(vcf->Selection())})) iscZelLog("written " + n);
}

void _dev_load_vcf_selection(const std::string& fileName) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  std::vector<std::string> lines;
  if (const int rc = ReadTextFile(fileName, lines); rc != 0) {
    iscZelError(
        TZelErr::User("Cannot read selection file", fileName + " (" + FioErrorText(rc) + ")"));
    return;
  }
  TBitField sel;
  TZelErr err = lines.empty() ? TZelErr::User("Empty selection file")
                              : VcfReadSelectionBitForm(lines[0], vcf->NVariants(), sel);
  if (err) {
    err.Details = err.Details.empty() ? fileName : err.Details + ", " + fileName;
    iscZelError(err);
    return;
  }
  vcf->CombineSelection(sel, lSet);
  _updateVcfSelection(*vcf);
  iscZelLog("Read");
}

void _dev_save_vcf_selection_chrom_explicit(const std::string& fileName) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  vcf->EnsureSelection();
  iscZelLog("currently selected : " + std::to_string(vcf->NVariantsSelected()));
  std::vector<std::string> names;
  std::vector<std::vector<uint64_t>> pos;
  vcf->GetAllChromPos(names, pos, false, true);
  WriteLines(fileName, VcfSelectionPosForm(names, pos));
}

void _dev_load_vcf_selection_chrom_explicit(const std::string& fileName) {
  iscZelHasError(true);
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  std::vector<std::string> lines;
  if (const int rc = ReadTextFile(fileName, lines); rc != 0) {
    iscZelError(
        TZelErr::User("Cannot read selection file", fileName + " (" + FioErrorText(rc) + ")"));
    return;
  }
  std::vector<std::string> names;
  std::vector<std::vector<uint64_t>> pos;
  if (TZelErr err = VcfReadSelectionPosForm(lines, names, pos)) {
    err.Details += ", " + fileName;
    iscZelError(err);
    return;
  }
  if (names.empty()) {
    vcf->ClearSelection(false);
  } else {
    vcf->SelectFromChromPos(names, pos, lSet);
  }
  iscZelLog("done");
  _updateVcfSelection(*vcf);
}

void scVcfListMissingDataPerSample() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    iscZelUserError("No valid VCF input selected");
    return;
  }
  scUiSetState(1);
  vcf->ForgetLineErrors();
  const std::vector<uint64_t> counts = vcf->SampleSummaryMissingGtCalls();
  if (const TZelErr e = vcf->FirstLineError()) {
    scUiSetState(0);
    iscZelError(e);
    return;
  }
  iscZelLog("Listing missing data per VCF sample:");
  std::string entry;
  const auto& names = vcf->SampleNamesRef();
  for (size_t i = 0; i < counts.size(); ++i) {
    if (i) entry += "\r\n";
    entry += names[i] + "\t" + std::to_string(counts[i]);
  }
  iscZelLog(entry);
  iscZelLog("***");
  iscZelLog("");
  scUiSetState(0);
}

void scRenameVcfSamples(const std::string& fileName) {
  if (fileName.empty()) return;
  iscZelHasError(true);
  iscZelLog("Trying to rename VCF sample names (individuals) from TSV file " + fileName);
  const int32_t active = GetActiveObj();
  if (active < 0 || !GetObjById(active)) {
    iscZelUserError("No object to operate on");
    return;
  }
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) {
    iscZelUserError("Active object is not VCF");
    return;
  }
  std::vector<std::string> lines;
  if (const int rc = ReadTextFile(fileName, lines); rc != 0) {
    iscZelError(
        TZelErr::User("Cannot read rename table", fileName + " (" + FioErrorText(rc) + ")"));
    return;
  }
  scUiSetState(1);
  const std::vector<std::string>& old = vcf->SampleNamesRef();
  std::unordered_map<std::string, uint32_t> column;
  for (uint32_t s = old.size(); s-- > 0;) column[old[s]] = s;  // first occurrence wins
  std::vector<std::string> renamed = old;
  for (size_t r = 0; r < lines.size(); ++r) {
    const std::string& l = lines[r];
    if (l.empty()) continue;
    const size_t tab = l.find('\t');
    if (tab == std::string::npos) {
      iscZelWarning("Rename table row " + std::to_string(r + 1) +
                    " has one field only, skipped: " + l);
      continue;
    }
    const size_t end = l.find('\t', tab + 1);
    const std::string from = l.substr(0, tab);
    const std::string to =
        l.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
    const auto it = column.find(from);
    if (it != column.end()) renamed[it->second] = to;
  }
  std::unordered_map<std::string, uint32_t> seen;
  for (uint32_t s = 0; s < renamed.size(); ++s) {
    if (renamed[s].empty()) {
      scUiSetState(0);
      iscZelError(TZelErr::User("Renaming would leave a sample without a name", old[s]));
      return;
    }
    if (!seen.emplace(renamed[s], s).second) {
      scUiSetState(0);
      iscZelError(TZelErr::User("Renaming would give two samples the same name", renamed[s]));
      return;
    }
  }
  vcf->SetSampleNames(renamed);
  scUiSetState(0);
}
