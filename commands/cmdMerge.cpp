// The merge command: the active VCF file and a second file through the default handlers,
// streamed to a temporary file that is renamed into place when the merge completed.
#include "commands/cmdMerge.h"

#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfMerge.h"
#include "vcf/vcfMergeHandlers.h"
#include "vcf/vcfOutFile.h"

namespace {

class TFileSink : public IVcfMergeSink {
 public:
  TFileSink(TVcfOutFile& out, std::string_view lb) : Out(out), Lb(lb) {}
  void AddLine(std::string_view line) override {
    Out.Write(line);
    Out.Write(Lb);
  }

 private:
  TVcfOutFile& Out;
  std::string_view Lb;
};

std::string ColName(uint8_t c) {
  return c < vcfHdrPredefCol.size() ? std::string(vcfHdrPredefCol[c]) : std::string("sample");
}

// "values cannot be merged: FORMAT GT, line 12 of a.vcf, line 9 of b.vcf"
TZelErr MergeError(const TVcfMergeError& e, const TVCFFile& a, const TVCFFile& b) {
  if (e.ErrorKind == meCancelled) return TZelErr::User("Cancelled");
  std::string where;
  if (e.ErrorKind == meHandler || e.ErrorKind == meMemoryError || e.ErrorKind == meLogicError) {
    where = ColName(e.ErrorCol);
    if (!e.ErrorKey.empty()) where += " " + e.ErrorKey;
  }
  if (!e.Detail.empty()) where += (where.empty() ? "" : ", ") + e.Detail;
  auto line = [&](bool in, uint64_t idx, const TVCFFile& f) {
    if (in || idx)
      where += (where.empty() ? "" : ", ") + std::string("line ") + std::to_string(idx + 1) +
               " of " + f.FileName();
  };
  line(e.InLine1, e.ErrorLine1, a);
  line(e.InLine2, e.ErrorLine2, b);
  const bool user = e.ErrorKind == meHandler || e.ErrorKind == meMiscError ||
                    e.ErrorKind == meInputEmpty || e.ErrorKind == meNoSamplesToCombine ||
                    e.ErrorKind == meRefNameError;
  std::string msg = "VCF merge failed (" + std::string(VcfMergeErrorName(e.ErrorKind)) + ")";
  return user ? TZelErr::User(msg, where) : TZelErr("", msg, where);
}

}  // namespace

bool iscVcfMerge(const std::string& fn2, const std::string& outFile, bool andLoci,
                 bool andSamples) {
  iscZelHasError(true);
  TVCFFile* vcf1 = iscActiveVcfFile();
  if (!vcf1) {
    iscZelUserError("Need to operate on VCF input");
    return false;
  }
  if (outFile.empty()) {
    iscZelError(TZelErr::User("No output file name given"));
    return false;
  }
  if (IsSameFile(outFile, vcf1->FileName()) || IsSameFile(outFile, fn2)) {
    iscZelError(TZelErr::User("The output file is an input file", outFile));
    return false;
  }
  TVCFFile vcf2;
  if (!vcf2.OpenFile(fn2)) {
    iscZelError(vcf2.LastError());
    return false;
  }
  for (const std::string& w : vcf2.FileWarnings()) iscZelWarning(w);
  for (const std::string& w : vcf2.OpenWarnings()) iscZelWarning(w);

  TVcfMergeParams p = VcfDefaultMergeParams(andLoci, andSamples);
  TVcfMetaMergeReport report;
  p.MetaExtraPtr = &report;
  p.Progress = &ZelUser();

  scUiSetState(1);
  iscZelLog("Merging VCF file " + fn2 + " into: " + outFile);
  TVcfOutFile out;
  if (TZelErr e = out.Open(outFile, ZelThreads())) {
    scUiSetState(0);
    iscZelError(e);
    return false;
  }
  TFileSink sink(out, vcf1->CrLf() ? "\r\n" : "\n");
  TVcfMergeError err;
  TVcfMergeStats stats;
  const bool ok = VcfMerge(*vcf1, vcf2, sink, err, p, &stats);
  for (const std::string& w : report.Warnings) iscZelWarning(w);
  if (!ok) {
    out.Abort();
    scUiSetState(0);
    iscZelError(MergeError(err, *vcf1, vcf2));
    return false;
  }
  if (TZelErr e = out.Commit()) {
    scUiSetState(0);
    iscZelError(e);
    return false;
  }
  if (stats.UnpairedRecords > 0)
    iscZelWarning(std::to_string(stats.UnpairedRecords) +
                  " records at positions of both files have REF alleles that do not match (" +
                  (andLoci ? "left out" : "written on lines of their own") + "), the first at " +
                  stats.FirstUnpaired);
  iscZelLog("Merged variants written: " + std::to_string(stats.DataLines));
  scUiSetState(0);
  return true;
}

void _dev_mergevcf(const std::string& vcf_fn2, const std::string& merged_out_vcf) {
  (void)iscVcfMerge(vcf_fn2, merged_out_vcf, true, false);
}
