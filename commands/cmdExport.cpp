// Export commands: preconditions, the population members of the current scheme, the log lines,
// and the files written through a temporary file renamed into place.
#include "commands/cmdExport.h"

#include <unistd.h>

#include <string_view>
#include <unordered_map>

#include "commands/cmdLoad.h"
#include "commands/cmdVcf.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "popgen/bioDS.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfExport.h"

namespace {

// The separator of CHROM and POS in marker names (the tag-name separator's default).
constexpr char kTagNameSep = '|';

TVCFFile* VcfForExport() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) iscZelUserError("Need to operate on VCF input");
  return vcf;
}

// The current scheme's members as sample columns of vcf, population after population, found
// by name: a member the file does not have is an error, never another sample's column.
bool PopsForExport(const TVCFFile& vcf, const std::string& format, TVcfOutputPops& pops,
                   std::string& schemeName) {
  const TBioDataSet* ds = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
  if (!ds) {
    iscZelUserError(format + " export requires populations to be defined");
    return false;
  }
  const TPopStructure& ps = ds->PopStruc();
  const TPopScheme* scheme = ds->GetCurrScheme();
  if (ps.nInd == 0 || !scheme || scheme->nPops() == 0) {
    iscZelUserError("Corrupt population scheme");
    return false;
  }
  std::unordered_map<std::string_view, uint32_t> column;
  const std::vector<std::string>& names = vcf.SampleNamesRef();
  for (uint32_t s = 0; s < names.size(); ++s)
    if (!column.emplace(names[s], s).second) column[names[s]] = kPopNone;
  pops.assign(scheme->PopIndList.size(), {});
  for (size_t p = 0; p < scheme->PopIndList.size(); ++p)
    for (uint32_t ind : scheme->PopIndList[p]) {
      const std::string name = ind < ps.IndNames.size() ? ps.IndNames[ind] : std::string();
      const auto it = column.find(name);
      if (it == column.end()) {
        iscZelError(TZelErr::User("Population member is not a sample of the VCF file",
                                  name + " (scheme " + scheme->Name + ")"));
        return false;
      }
      if (it->second == kPopNone) {
        iscZelError(TZelErr::User("Sample name occurs more than once in the VCF file",
                                  name + " (" + vcf.FileName() + ")"));
        return false;
      }
      pops[p].push_back(it->second);
    }
  schemeName = scheme->Name;
  return true;
}

// An export never replaces the file it reads.
bool OutputAllowed(const TVCFFile& vcf, const std::string& fileName) {
  if (fileName.empty()) {
    iscZelUserError("No output file given");
    return false;
  }
  if (IsSameFile(fileName, vcf.FileName())) {
    iscZelError(TZelErr::User("The export would replace the open VCF file", fileName));
    return false;
  }
  return true;
}

bool WriteText(const std::string& fileName, const std::vector<std::string>& text) {
  const int e = WriteFileDataStr(fileName, text, "", 0);
  if (e == 0) return true;
  iscZelError(TZelErr::User("Cannot write file", fileName + ": " + FioErrorText(e)));
  return false;
}

void LogCallReport(const TXtrGtReport& r) {
  if (r.PlaceholderCalls)
    iscZelLog("Calls naming <*> or <NON_REF>, read as missing: " +
              std::to_string(r.PlaceholderCalls));
  iscLogCallReport(r);
}

void LogNoDepth(const TVcfExportResult& r) {
  if (r.NoDepthVariants)
    iscZelWarning("Variants without DP values, not exported (a minimum depth is set): " +
                  std::to_string(r.NoDepthVariants));
}

void Finish(const TVCFFile& vcf) {
  scUiSetDataSize(iscVcfDataSizeText(vcf));
  scUiSetState(0);
}

}  // namespace

bool scVcfExport2Bayescan(const std::string& fileName, uint32_t minDP_hom,
                          uint32_t minDP_FirstAllele) {
  iscZelHasError(true);
  TVCFFile* vcf = VcfForExport();
  if (!vcf) return false;
  TVcfOutputPops pops;
  std::string scheme;
  if (!PopsForExport(*vcf, "BayeScan", pops, scheme)) return false;
  const std::string markerFile = BayeScanMarkerFileName(fileName);
  if (!OutputAllowed(*vcf, fileName) || !OutputAllowed(*vcf, markerFile)) return false;
  scUiSetState(1);
  iscZelLog("Exporting VCF variants with population scheme " + scheme +
            " to BayeScan file/s (minDP hom/het = " + std::to_string(minDP_hom) + "/" +
            std::to_string(minDP_FirstAllele) + "): " + fileName);
  if (!vcf->SelectionMade()) vcf->ClearSelection(true);
  const TBitField before = vcf->Selection();
  TVcfExportResult r;
  const TZelErr err =
      ExportVcf2BayeScan(*vcf, pops, r, minDP_hom, minDP_FirstAllele, kTagNameSep, &ZelUser());
  LogCallReport(r.Report);
  if (err) {
    iscZelError(err);
    return false;
  }
  bool written = WriteText(fileName, r.Text);
  if (written && !WriteText(markerFile, r.MarkerNames)) {
    // Without its marker names the file would look complete but could not be read back.
    ::unlink(fileName.c_str());
    written = false;
  }
  if (!written) {
    for (uint64_t v = 0; v < vcf->NVariants(); ++v)
      if (before.GetFieldBit(v) != vcf->IsSelected(v)) vcf->SetSelected(v, before.GetFieldBit(v));
    return false;
  }
  iscZelLog("Exported " + std::to_string(r.Loci) + " loci of " + std::to_string(pops.size()) +
            " populations to BayeScan file: " + fileName);
  iscZelLog("Marker names written to: " + markerFile);
  if (r.NotExported)
    iscZelLog("Variants not exported and deselected: " + std::to_string(r.NotExported));
  LogNoDepth(r);
  if (r.HighPloidyCalls)
    iscZelWarning("Calls with more than two alleles, not counted: " +
                  std::to_string(r.HighPloidyCalls));
  Finish(*vcf);
  return true;
}

bool scVcfExport2Structure(const std::string& fileName, uint32_t minDP_hom,
                           uint32_t minDP_FirstAllele) {
  iscZelHasError(true);
  TVCFFile* vcf = VcfForExport();
  if (!vcf) return false;
  TVcfOutputPops pops;
  std::string scheme;
  if (!PopsForExport(*vcf, "Structure", pops, scheme)) return false;
  if (!OutputAllowed(*vcf, fileName)) return false;
  scUiSetState(1);
  iscZelLog("Exporting VCF variants to Structure file (minDP (hom/het) = " +
            std::to_string(minDP_hom) + "/" + std::to_string(minDP_FirstAllele) + "): " + fileName);
  TVcfExportResult r;
  const TZelErr err = ExportVcf2Structure(*vcf, pops, true, true, r, minDP_hom, minDP_FirstAllele,
                                          "-9", kTagNameSep, &ZelUser());
  LogCallReport(r.Report);
  if (err) {
    iscZelError(err);
    return false;
  }
  if (!WriteText(fileName, r.Text)) return false;
  size_t members = 0;
  for (const auto& p : pops) members += p.size();
  iscZelLog("Exported " + std::to_string(r.Loci) + " loci of " + std::to_string(members) +
            " individuals to Structure file: " + fileName);
  LogNoDepth(r);
  Finish(*vcf);
  return true;
}

bool scVcfExport2FAMD(const std::string& fileName, uint32_t minDP) {
  iscZelHasError(true);
  TVCFFile* vcf = VcfForExport();
  if (!vcf) return false;
  if (!OutputAllowed(*vcf, fileName)) return false;
  scUiSetState(1);
  iscZelLog("Exporting VCF variants to FAMD file (minDP = " + std::to_string(minDP) +
            "): " + fileName);
  TVcfExportResult r;
  const TZelErr err = ExportVcf2BinBiallelic(*vcf, r, {}, minDP, '1', '0', '?', kTagNameSep, true,
                                             true, true, &ZelUser());
  LogCallReport(r.Report);
  if (err) {
    iscZelError(err);
    return false;
  }
  if (!WriteText(fileName, r.Text)) return false;
  iscZelLog("Exported " + std::to_string(r.Loci) + " variants of " +
            std::to_string(vcf->NSamples()) + " samples to FAMD file: " + fileName);
  if (r.NotExported)
    iscZelLog(
        "Selected variants not exported (not biallelic, symbolic, without an ALT allele, or "
        "without DP): " +
        std::to_string(r.NotExported));
  Finish(*vcf);
  return true;
}
