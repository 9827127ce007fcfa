// Export commands: preconditions, the population members of the current scheme, the log lines,
// and the files written through a temporary file renamed into place.
#include "commands/cmdExport.h"

#include <sys/stat.h>
#include <unistd.h>

#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "popgen/bioDS.h"
#include "popgen/popSampleMatch.h"
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

// The current scheme's members as sample columns of vcf, population after population.
bool PopsForExport(const TVCFFile& vcf, const std::string& format, TVcfOutputPops& pops,
                   std::string& schemeName) {
  const TBioDataSet* ds = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
  if (!ds) {
    iscZelUserError(format + " export requires populations to be defined");
    return false;
  }
  const TPopScheme* scheme = ds->GetCurrScheme();
  if (ds->PopStruc().nInd == 0 || !scheme || scheme->nPops() == 0) {
    iscZelUserError("Corrupt population scheme");
    return false;
  }
  const TPopSampleMatch m = MatchPopToSamples(ds->PopStruc(), vcf.SampleNamesRef());
  if (m.Err) {
    iscZelError(m.Err);
    return false;
  }
  for (const std::string& line : m.Infos) iscZelLog(line);
  for (const std::string& line : m.Warnings) iscZelWarning(line);
  pops.assign(scheme->PopIndList.size(), {});
  for (size_t p = 0; p < scheme->PopIndList.size(); ++p)
    for (uint32_t ind : scheme->PopIndList[p]) {
      if (ind >= m.IndToSample.size()) {
        iscZelError(TZelErr::User("Population member is not an individual of the data set",
                                  "scheme " + scheme->Name + ", id " + std::to_string(ind)));
        return false;
      }
      pops[p].push_back(m.IndToSample[ind]);
    }
  schemeName = scheme->Name;
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// An export never replaces the file it reads.
bool OutputAllowed(const TVCFFile& vcf, const std::string& fileName) {
  if (fileName.empty()) {
    iscZelUserError("No output file given");
    return false;
  }
  if (SameFile(fileName, vcf.FileName())) {
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
  if (r.BadAlleleCalls)
    iscZelWarning(std::to_string(r.BadAlleleCalls) +
                  " calls name alleles beyond their site's alleles and were read as missing "
                  "(first at line " +
                  std::to_string(r.FirstBadAlleleLine) + ")");
  if (r.ShortLines)
    iscZelWarning(std::to_string(r.ShortLines) +
                  " lines have fewer columns than the header; their absent calls read as "
                  "missing (first at line " +
                  std::to_string(r.FirstShortLine) + ")");
}

void LogNoDepth(const TVcfExportResult& r) {
  if (r.NoDepthVariants)
    iscZelWarning(std::to_string(r.NoDepthVariants) +
                  " selected variants have no DP values and were not exported (a minimum depth "
                  "is set)");
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
    iscZelLog("Deselected " + std::to_string(r.NotExported) + " variants that were not exported");
  LogNoDepth(r);
  if (r.HighPloidyCalls)
    iscZelWarning(std::to_string(r.HighPloidyCalls) +
                  " calls with more than two alleles were not counted");
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
    iscZelLog(std::to_string(r.NotExported) +
              " selected variants were not exported (not biallelic, symbolic, without an ALT "
              "allele, or without DP)");
  Finish(*vcf);
  return true;
}
