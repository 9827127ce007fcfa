// Distance commands: the pairwise SNP distance, matrix files, PCoA and UPGMA on the most
// recent distance matrix.
#include "commands/cmdDist.h"

#include <charconv>
#include <cmath>
#include <memory>
#include <unordered_map>

#include "commands/cmdLoad.h"
#include "commands/cmdVcf.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "popgen/bioDS.h"
#include "popgen/korDist.h"
#include "popgen/pcoa.h"
#include "popgen/upgma.h"
#include "vcf/bioVCF.h"

uint32_t zelDistMinDP = 0;
uint32_t zelDistMinDP_hom = 0;

namespace {

std::unique_ptr<TPCoAResult>& LastPCoA() {
  static std::unique_ptr<TPCoAResult> r;
  return r;
}

TPCoAViewer& Viewer() {
  static TPCoAViewer v;
  return v;
}

// The VCF file to work on: the active object, or the most recent VCF file made active.
TVCFFile* VcfForCommand() {
  if (ZelObjCount() == 0 || GetActiveObj() < 0) {
    iscZelUserError("Nothing loaded");
    return nullptr;
  }
  if (TVCFFile* vcf = iscActiveVcfFile()) return vcf;
  const int32_t id = GetLastObjIdOfType({oVCF});
  if (id < 0) {
    iscZelUserError("Need to operate on VCF input");
    return nullptr;
  }
  SetActiveObj(id);
  return dynamic_cast<TVCFFile*>(GetObjById(id));
}

bool Fail() {
  scUiSetState(2);
  return false;
}

bool WriteFailed(int code, const std::string& fileName) {
  iscZelError("Cannot write file", "U", fileName + ": " + FioErrorText(code));
  return Fail();
}

std::string Num(double v, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

}  // namespace

bool scVcfPwUDist() {
  TVCFFile* vcf = VcfForCommand();
  if (!vcf) return false;
  scUiSetState(1);
  iscZelHasError(true);
  iscZelLog(
      "Performing pairwise SNP genotype distance calculation (diploid unphased unweighted "
      "distance), ignoring missing data; minDP (all/hom)=" +
      std::to_string(zelDistMinDP) + "/" + std::to_string(zelDistMinDP_hom));
  std::unique_ptr<TSymDist> d;
  TPwDistStats st;
  if (TZelErr err = PW_SNPDist_Diploid_Unweighted_AsDist(*vcf, zelDistMinDP, zelDistMinDP_hom,
                                                         ZelThreads(), &ZelUser(), d, st)) {
    iscZelError(err);
    return Fail();
  }
  if (vcf->NSamples() == 0) {
    iscZelUserError("The VCF file has no samples");
    return Fail();
  }
  if (st.UsedSnps == 0) {
    iscZelUserError(
        "No usable SNP: none of the selected variants is a biallelic, polymorphic, "
        "non-degenerate SNP");
    return Fail();
  }
  if (zelDistMinDP > 0 && st.DepthSeen == 0) {
    iscZelError(TZelErr::User("No call carries a DP value, so a minimum depth of " +
                                  std::to_string(zelDistMinDP) + " drops every call",
                              "set both minimum depths to 0 to compute without depth masking"));
    return Fail();
  }
  iscLogCallReport(st.Report);
  iscZelLog("SNPs used: " + std::to_string(st.UsedSnps) +
            "; samples: " + std::to_string(d->nItems()));
  if (st.NAPairs)
    iscZelWarning(std::to_string(st.NAPairs) +
                  " pairs of samples share no scored SNP: their distance is NA");
  const uint32_t id = AddObj2ObjList(std::move(d), oDist);
  SetActiveObj(int32_t(id));
  scUiSetState(0);
  return true;
}

bool scSaveDist(const std::string& fileName) {
  if (fileName.empty()) return true;
  scUiSetState(1);
  iscZelHasError(true);
  iscZelLog("Saving last calculated distance to file " + fileName);
  const TSymDist* d = GetLastObjOfTypeAs<TSymDist>(oDist);
  if (!d) {
    iscZelUserError("No distance matrix to save");
    return Fail();
  }
  if (int e = WriteFileDataStr(fileName, DistFileLines(*d), "\r\n", 0); e != 0)
    return WriteFailed(e, fileName);
  scUiSetState(0);
  return true;
}

bool iscLoadDistMatrix(const std::string& fileName) {
  iscZelHasError(true);
  TDistFileRead r;
  if (TZelErr err = ReadDistFile(fileName, r)) {
    iscZelError(err);
    return Fail();
  }
  for (const std::string& w : r.Warnings) iscZelWarning(w);
  iscZelLog("Loaded distance matrix of " + std::to_string(r.Dist->nItems()) +
            " items from file: " + fileName);
  const uint32_t id = AddObj2ObjList(std::move(r.Dist), oDist);
  SetActiveObj(int32_t(id));
  return true;
}

bool scPCoA() {
  iscZelHasError(true);
  auto res = std::make_unique<TPCoAResult>();
  if (const TBioDataSet* ds = GetLastObjOfTypeAs<TBioDataSet>(oBioDS)) {
    const TPopStructure& ps = ds->PopStruc();
    const TPopScheme* scheme = ds->GetCurrScheme();
    if (ps.nInd == 0) {
      iscZelUserError("Corrupt population scheme");
      return Fail();
    }
    if (ps.nSchemes() == 0) {
      iscZelUserError("No population schemes");
      return Fail();
    }
    if (!scheme || scheme->nPops() == 0) {
      iscZelUserError("Corrupt population scheme");
      return Fail();
    }
    res->GroupNames = scheme->PopNames;
    res->GroupMembers = ps.GetSchemePopIndNames(ds->CurrPopScheme());
  }
  const TSymDist* d = GetLastObjOfTypeAs<TSymDist>(oDist);
  if (!d) {
    iscZelUserError("PCoA: Need to operate on distance matrix");
    return Fail();
  }
  scUiSetState(1);
  std::vector<std::string> groups = std::move(res->GroupNames);
  std::vector<std::vector<std::string>> members = std::move(res->GroupMembers);
  if (TZelErr err = PCoA(*d, *res)) {
    iscZelError(err);
    return Fail();
  }
  res->GroupNames = std::move(groups);
  res->GroupMembers = std::move(members);
  double sum = 0;
  for (double e : res->Eigenvalues) sum += e;
  std::string share;
  for (uint32_t k = 0; k < res->nAxes && k < 3; ++k)
    share += (k ? ", " : "") + Num(100.0 * res->Eigenvalues[k] / sum, 2) + "%";
  iscZelLog("PCoA of " + std::to_string(res->nItems) + " items: " + std::to_string(res->nAxes) +
            " axes with positive eigenvalues; the first explain " + share);
  LastPCoA() = std::move(res);
  if (Viewer()) Viewer()(*LastPCoA());
  scUiSetState(0);
  return true;
}

const TPCoAResult* iscLastPCoA() { return LastPCoA().get(); }

void iscSetPCoAViewer(TPCoAViewer viewer) { Viewer() = std::move(viewer); }

bool iscSavePCoATables(const std::string& prefix) {
  const TPCoAResult* r = iscLastPCoA();
  if (!r) {
    iscZelUserError("No PCoA result to save");
    return Fail();
  }
  std::unordered_map<std::string, std::string> popOf;
  for (size_t g = 0; g < r->GroupMembers.size() && g < r->GroupNames.size(); ++g)
    for (const std::string& m : r->GroupMembers[g]) popOf.emplace(m, r->GroupNames[g]);
  std::vector<std::string> lines;
  std::string head = "sample\tpopulation";
  for (uint32_t k = 0; k < r->nAxes; ++k) head += "\tPCo" + std::to_string(k + 1);
  lines.push_back(head);
  for (uint32_t i = 0; i < r->nItems; ++i) {
    const std::string name = i < r->Names.size() ? r->Names[i] : "item_" + std::to_string(i);
    auto it = popOf.find(name);
    std::string line = name + "\t" + (it == popOf.end() ? "NA" : it->second);
    for (uint32_t k = 0; k < r->nAxes; ++k) {
      char buf[40];
      // Shortest text that reads back as the same double.
      auto res = std::to_chars(buf, buf + sizeof buf, r->At(i, k));
      line += '\t';
      line.append(buf, res.ptr);
    }
    lines.push_back(std::move(line));
  }
  const std::string coordsFn = prefix + ".coords.tsv";
  if (int e = WriteFileDataStr(coordsFn, lines, "\r\n", 0); e != 0) return WriteFailed(e, coordsFn);
  double sum = 0;
  for (double e : r->Eigenvalues) sum += e;
  lines.assign({"axis\teigenvalue\tpercent\tcumulative_percent"});
  double cum = 0;
  for (uint32_t k = 0; k < r->nAxes; ++k) {
    const double ev = r->Eigenvalues[k];
    cum += ev;
    char buf[40];
    auto res = std::to_chars(buf, buf + sizeof buf, ev);
    lines.push_back("PCo" + std::to_string(k + 1) + "\t" + std::string(buf, res.ptr) + "\t" +
                    Num(100.0 * ev / sum, 4) + "\t" + Num(100.0 * cum / sum, 4));
  }
  const std::string eigFn = prefix + ".eigenvalues.tsv";
  if (int e = WriteFileDataStr(eigFn, lines, "\r\n", 0); e != 0) return WriteFailed(e, eigFn);
  iscZelLog("Saved PCoA coordinates to file " + coordsFn + " and eigenvalues to file " + eigFn);
  return true;
}

bool scUPGMA(const std::string& fileName) {
  iscZelHasError(true);
  const TSymDist* d = GetLastObjOfTypeAs<TSymDist>(oDist);
  if (!d) {
    iscZelUserError(" UPGMA: Need to operate on distance matrix");
    return Fail();
  }
  scUiSetState(1);
  TDendrogram tree;
  std::string text;
  if (TZelErr err = upgma(*d, tree, text)) {
    iscZelError(err);
    return Fail();
  }
  if (!fileName.empty())
    if (int e = WriteFileDataStr(fileName, {text}, "\r\n", cFioAppend); e != 0)
      return WriteFailed(e, fileName);
  scUiSetState(0);
  return true;
}
