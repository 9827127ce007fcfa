// F_ST commands: the pipeline from genotypes to F_ST per locus, global and per population
// pair, the four tables of a result, and the variant selection by F_ST.
#include "commands/cmdFst.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <vector>

#include "base/korBase.h"
#include "base/korNum.h"
#include "commands/cmdLoad.h"
#include "commands/cmdVcf.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "core/zelUser.h"
#include "fileaccess/korFileIO.h"
#include "popgen/bioDS.h"
#include "popgen/bioFst.h"
#include "popgen/fstEstimators.h"
#include "popgen/popSampleMatch.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfCallTally.h"

namespace {

TFstEstimator gEstimator = fstNei;
TFstExtraOutput gExtra;

bool WantNeiParts() { return gExtra.NeiSummary || gExtra.WindowSize > 0 || gExtra.KeepParts; }

struct TFstArgs {
  uint32_t MinDPAll, MinDPHom, MinNObs, MinNPops, MaxNStates;
  bool Limit, Ssc;
};

// What both computing commands need: the VCF file, its id, the scheme and the membership of
// every sample column in it.
struct TFstInput {
  TVCFFile* Vcf = nullptr;
  int32_t VcfId = -1;
  const TPopScheme* Scheme = nullptr;
  std::vector<uint32_t> Membership;
  uint32_t NPops = 0;  // populations with at least one sample
};

bool Preconditions(TFstInput& in) {
  const int32_t active = GetActiveObj();
  if (ZelObjCount() == 0 || active < 0 || !GetObjById(active)) {
    iscZelUserError("Nothing loaded");
    return false;
  }
  if (GetObjTypeById(active) != oVCF) {
    iscZelUserError("Need to operate on VCF input");
    return false;
  }
  in.Vcf = dynamic_cast<TVCFFile*>(GetObjById(active));
  in.VcfId = active;
  const int32_t dsId = GetLastObjIdOfType({oBioDS});
  const TBioDataSet* ds = dsId >= 0 ? dynamic_cast<TBioDataSet*>(GetObjById(dsId)) : nullptr;
  if (!in.Vcf || !ds || ds->PopStruc().nInd == 0 || ds->nSchemes() == 0 || !ds->GetCurrScheme()) {
    iscZelUserError("No population structure defined");
    return false;
  }
  in.Scheme = ds->GetCurrScheme();
  // The map must fit the file: same individuals, by position or (reordered) by name.
  TPopSampleMatch m = MatchPopToSamples(ds->PopStruc(), in.Vcf->SampleNamesRef());
  if (m.Err) {
    iscZelError(m.Err);
    return false;
  }
  for (const std::string& s : m.Infos) iscZelLog(s);
  for (const std::string& s : m.Warnings) iscZelWarning(s);
  in.Membership = m.SampleMembership(*in.Scheme);
  std::set<uint32_t> used;
  for (uint32_t p : in.Membership)
    if (p != kPopNone) used.insert(p);
  in.NPops = uint32_t(used.size());
  if (in.NPops < 2) {
    iscZelUserError("F_ST needs at least two populations: scheme \"" + in.Scheme->Name + "\" has " +
                    std::to_string(in.NPops) + " with samples in the VCF file");
    return false;
  }
  return true;
}

std::string ParamText(const char* kind, const TFstArgs& a) {
  return std::string("Performing ") + kind +
         " Fst calculations [minDP_all=" + std::to_string(a.MinDPAll) +
         "minDP_hom=" + std::to_string(a.MinDPHom) +
         " minNAllelePerPop= " + std::to_string(a.MinNObs) +
         " per minNPops= " + std::to_string(a.MinNPops) +
         " maxAllelicStats=" + std::to_string(a.MaxNStates) +
         "+ LimitFstToZero= " + (a.Limit ? "1" : "0") + "] ...";
}

// The names of every locus of a run (CHROM "\t" POS), shared by its data sets.
using TSharedNames = std::shared_ptr<const std::vector<std::string>>;

// The walk over the selected variants; false once an error was logged.
bool CountAlleles(TFstInput& in, const std::vector<uint32_t>& membership, const TFstArgs& a,
                  TAlleleCounts& ac, TAlleleCountInfo& info, std::vector<std::string>& names,
                  TDiploidCounts* diploid) {
  if (!GetVcfAlleleCounts(*in.Vcf, membership, a.MinDPAll, a.MinDPHom, ac, 2, &info, &ZelUser(),
                          &names, diploid)) {
    if (info.Err)
      iscZelError(info.Err);
    else
      iscZelUserError(in.Vcf->NSelected() == 0 ? "No variant selected"
                                               : "The VCF file has no samples");
    return false;
  }
  const TXtrGtReport& r = info.Report;
  iscLogCallReport(r);
  if (info.VariantsNoDP && info.VariantsNoDP < info.VariantsRead)
    iscZelWarning(std::to_string(info.VariantsNoDP) + " of " + std::to_string(info.VariantsRead) +
                  " variants read have no DP; the depth threshold drops all their calls");
  if (diploid)
    iscZelLog(
        "Calls with one allele (haploid, half missing, or homozygous below minDP_hom) "
        "skipped by the " +
        std::string(FstEstimatorName(gEstimator)) +
        " estimator: " + std::to_string(diploid->OneAlleleCalls));
  return true;
}

// The error when no locus (or no pair) passed, with the reason when it is known.
void NoPassingLocus(const TAlleleCountInfo& info, const TFstArgs& a) {
  if (a.MinDPAll && info.VariantsRead && info.VariantsNoDP == info.VariantsRead) {
    iscZelUserError(
        "No locus passed the filters: no variant has a DP value, so the depth threshold "
        "(minDP_all=" +
        std::to_string(a.MinDPAll) +
        ") drops every call; set the depth thresholds to 0 to count calls without depth "
        "(zelcli: --min-dp 0 --min-dp-hom 0)");
    return;
  }
  iscZelUserError("No locus passed the filters");
}

// Frequencies to F_ST for one data set whose counts are filtered.
// The names of a data set's passing loci, picked from the names of all loci of the run.
TLocNames PassingNames(const TPopParams& pp, const TSharedNames& allNames) {
  std::vector<uint32_t> pick;
  pick.reserve(pp.AC.nSelLoc);
  for (uint64_t j = 0; j < pp.AC.nLoc && j < allNames->size(); ++j)
    if (pp.AC.Selection.GetFieldBit(j)) pick.push_back(uint32_t(j));
  return TLocNames(allNames, std::move(pick));
}

void Complete(TPopParams& pp, const TSharedNames& allNames, const TBitField& vcfSel,
              const TFstArgs& a, bool keepFreqAndHet) {
  pp.LocNames = PassingNames(pp, allNames);
  pp.SmallSampleCorrection = a.Ssc;
  AlleleFreq(pp.AC, pp.AF);
  GetExpHet(pp.AF, pp.Het, a.Ssc ? &pp.AC : nullptr);
  pp.valKind = ppvFst;
  pp.Fst.clear();
  Het2Fst(pp.Het, pp.Fst, a.Limit);
  pp.Parts = TFstLocusParts();
  if (WantNeiParts()) HetFstParts(pp.Het, pp.Fst, pp.Parts);
  if (!keepFreqAndHet) {
    // The population count stays for the header-only tables of a pair without loci.
    pp.AF = TAlleleFrequencies();
    pp.AF.nPop = pp.AC.nPop;
    pp.Het = THeterozygosities();
    pp.Het.nPop = pp.AC.nPop;
  }
  pp.SelMask = MakeFstSelMask(vcfSel, pp.AC.Selection);
}

// The chosen estimator's values for one data set: over populations pops of the counts ac (every
// population of a global run, the two of a pair) at the loci pp.AC.Selection passed. The
// frequency and heterozygosity tables are not made.
void CompleteEstimator(TPopParams& pp, const TAlleleCounts& ac, const TDiploidCounts& dc,
                       const std::vector<uint32_t>& pops, const TSharedNames& allNames,
                       const TBitField& vcfSel) {
  pp.LocNames = PassingNames(pp, allNames);
  if (gEstimator == fstWC)
    WcFstParts(ac, dc, pp.AC.Selection, pops, pp.Parts);
  else
    HudsonFstParts(ac, dc, pp.AC.Selection, pops.at(0), pops.at(1), pp.Parts);
  pp.Fst = pp.Parts.Value;
  pp.valKind = ppvFst;
  pp.AF = TAlleleFrequencies();
  pp.AF.nPop = pp.AC.nPop;
  pp.Het = THeterozygosities();
  pp.Het.nPop = pp.AC.nPop;
  pp.SelMask = MakeFstSelMask(vcfSel, pp.AC.Selection);
}

std::string PassLine(uint64_t passed, uint64_t selected, const std::string& pair) {
  return "Loci passing the filters" + (pair.empty() ? "" : " (" + pair + ")") + ": " +
         std::to_string(passed) + " of " + std::to_string(selected) + " selected";
}

bool RunGlobal(const TFstArgs& a) {
  TFstInput in;
  if (!Preconditions(in)) return false;
  scUiSetState(1);
  iscZelHasError(true);
  iscZelLog(ParamText("global", a));
  if (gEstimator == fstHudson) {
    iscZelUserError(
        "The hudson estimator compares two populations: use it with pairwise F_ST (zelcli: "
        "--pairwise)");
    return false;
  }
  if (in.NPops < std::max(a.MinNPops, 1u)) {
    iscZelUserError("No locus can pass the filters: scheme \"" + in.Scheme->Name + "\" has " +
                    std::to_string(in.NPops) +
                    " populations, fewer than the minimum number of populations (minNPops=" +
                    std::to_string(a.MinNPops) + "; zelcli: --min-pops)");
    return false;
  }
  auto obj = std::make_unique<TPopParameters>();
  TPopParams& pp = obj->PopParameters.emplace_back();
  pp.Desc = "global";
  pp.ValKindDesc = "F_ST";
  pp.PopNames = in.Scheme->PopNames;
  TAlleleCountInfo info;
  std::vector<std::string> names;
  TDiploidCounts dc;
  TDiploidCounts* dcp = gEstimator == fstNei ? nullptr : &dc;
  if (!CountAlleles(in, in.Membership, a, pp.AC, info, names, dcp)) return false;
  const TSharedNames allNames = std::make_shared<const std::vector<std::string>>(std::move(names));
  const uint64_t passed = FilterAndTallyAlleleCounts(pp.AC, a.MinNObs, a.MinNPops, a.MaxNStates);
  iscZelLog(PassLine(passed, pp.AC.nLoc, ""));
  if (passed == 0) {
    NoPassingLocus(info, a);
    return false;
  }
  if (dcp) {
    std::vector<uint32_t> pops(pp.AC.nPop);
    for (uint32_t p = 0; p < pp.AC.nPop; ++p) pops[p] = p;
    CompleteEstimator(pp, pp.AC, dc, pops, allNames, in.Vcf->Selection());
  } else {
    Complete(pp, allNames, in.Vcf->Selection(), a, true);
  }
  obj->Estimator = gEstimator;
  obj->popParSrcid = uint64_t(in.VcfId);
  AddObj2ObjList(std::move(obj), oPopParams);
  iscZelLog("Finished.");
  scUiSetState(0);
  return true;
}

bool RunPairwise(TFstArgs a) {
  TFstInput in;
  if (!Preconditions(in)) return false;
  scUiSetState(1);
  iscZelHasError(true);
  if (a.MinNPops > 2) a.MinNPops = 2;
  iscZelLog(ParamText("pairwise", a));
  // Populations numbered by first appearance among the samples.
  const std::vector<uint32_t> levels = GetLevDX(in.Membership, kPopNone);
  const std::vector<uint32_t> mb = Xlat2Levels(in.Membership, levels);
  const std::vector<std::string> names = xlatPopNames(in.Scheme->PopNames, levels);
  std::vector<std::vector<uint32_t>> pairMb;
  std::vector<uint32_t> pw1, pw2;
  const uint32_t nPairs = MakePopPairs(mb, pairMb, pw1, pw2);
  pairMb.clear();  // the pairs are formed from the counts of one walk

  // One walk: every population's counts; each pair is then formed from them. The depth filter
  // works per sample, so this gives what a walk per pair would.
  TAlleleCounts all;
  TAlleleCountInfo info;
  std::vector<std::string> locNames;
  TDiploidCounts allDc;
  allDc.WithHet = gEstimator == fstWC;
  TDiploidCounts* dcp = gEstimator == fstNei ? nullptr : &allDc;
  if (!CountAlleles(in, mb, a, all, info, locNames, dcp)) return false;
  const TSharedNames allNames =
      std::make_shared<const std::vector<std::string>>(std::move(locNames));

  auto obj = std::make_unique<TPopParameters>();
  obj->PopParameters.reserve(nPairs);
  uint32_t pairsWithLoci = 0;
  for (uint32_t k = 0; k < nPairs; ++k) {
    TPopParams& pp = obj->PopParameters.emplace_back();
    pp.Pop1 = pw1[k];
    pp.Pop2 = pw2[k];
    pp.PopName1 = names[pp.Pop1];
    pp.PopName2 = names[pp.Pop2];
    pp.Desc = pp.PopName1 + "-" + pp.PopName2;
    pp.ValKindDesc = "F_ST";
    pp.PopNames = in.Scheme->PopNames;
    // The smaller number (met first among the samples) is population 0 of the pair.
    // The estimators work on the counts of all populations; a pair keeps its locus filter.
    if (!dcp) PairAlleleCounts(all, pp.Pop2, pp.Pop1, pp.AC);
  }
  if (dcp) {
    for (TPopParams& pp : obj->PopParameters) {
      pp.AC.nLoc = all.nLoc;
      pp.AC.nPop = 2;
      pp.AC.nSelLoc = PairLocusFilter(all, pp.Pop2, pp.Pop1, a.MinNObs, a.MinNPops, a.MaxNStates,
                                      pp.AC.Selection);
      iscZelLog(PassLine(pp.AC.nSelLoc, pp.AC.nLoc, pp.Desc));
      if (pp.AC.nSelLoc == 0)
        iscZelWarning("No locus passed the filters for the pair " + pp.Desc +
                      "; its tables hold header lines only");
      else
        ++pairsWithLoci;
      CompleteEstimator(pp, all, allDc, {pp.Pop2, pp.Pop1}, allNames, in.Vcf->Selection());
    }
  }
  all = TAlleleCounts();  // every pair has its counts
  if (!dcp) {
    // The pairs are independent: workers take them in turn; the log follows in pair order.
    std::vector<uint64_t> passed(nPairs);
    std::atomic<uint32_t> next{0};
    std::vector<std::function<void()>> procs(std::min<unsigned>(ZelThreads(), nPairs), [&] {
      for (uint32_t k; (k = next.fetch_add(1)) < nPairs;) {
        TPopParams& pp = obj->PopParameters[k];
        passed[k] = FilterAndTallyAlleleCounts(pp.AC, a.MinNObs, a.MinNPops, a.MaxNStates);
        Complete(pp, allNames, in.Vcf->Selection(), a, false);
      }
    });
    if (const TZelErr e = ParalleliseProcs(procs)) {
      iscZelError(e);
      return false;
    }
    for (uint32_t k = 0; k < nPairs; ++k) {
      const TPopParams& pp = obj->PopParameters[k];
      iscZelLog(PassLine(passed[k], pp.AC.nLoc, pp.Desc));
      if (passed[k] == 0)
        iscZelWarning("No locus passed the filters for the pair " + pp.Desc +
                      "; its tables hold header lines only");
      else
        ++pairsWithLoci;
    }
  }
  if (pairsWithLoci == 0) {
    NoPassingLocus(info, a);
    return false;
  }
  obj->Estimator = gEstimator;
  obj->popParSrcid = uint64_t(in.VcfId);
  AddObj2ObjList(std::move(obj), oPopParams);
  iscZelLog("DONE....");
  scUiSetState(0);
  return true;
}

// Whole text as a finite number ("." as separator); false for anything else.
bool ParseThreshold(const std::string& text, double& v) {
  const char* b = text.data();
  const char* e = b + text.size();
  if (b != e && *b == '+') ++b;
  if (b == e || (*b == '-' && b != text.data())) return false;
  const auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e && std::isfinite(v);
}

bool Compare(double x, double t, uint8_t cmp) {
  switch (cmp) {
    case 0:
      return x < t;
    case 1:
      return x <= t;
    case 2:
      return x == t;
    case 3:
      return x >= t;
    case 4:
      return x > t;
    default:
      return x != t;
  }
}

}  // namespace

bool scGlobalFst(uint32_t minDP_all, uint32_t minDP_hom, uint32_t minNObsAllelePerPop,
                 uint32_t minNPops, uint32_t maxNAllelicStates, bool limitFstToZero,
                 bool doSmallSampleCorrection) {
  return RunGlobal({minDP_all, minDP_hom, minNObsAllelePerPop, minNPops, maxNAllelicStates,
                    limitFstToZero, doSmallSampleCorrection});
}

bool scPairwiseFst(uint32_t minDP_all, uint32_t minDP_hom, uint32_t minNObsAllelePerPop,
                   uint32_t minNPops, uint32_t maxNAllelicStates, bool limitFstToZero,
                   bool doSmallSampleCorrection) {
  return RunPairwise({minDP_all, minDP_hom, minNObsAllelePerPop, minNPops, maxNAllelicStates,
                      limitFstToZero, doSmallSampleCorrection});
}

bool scSaveFst(const std::string& base) {
  if (base.empty()) return true;
  scUiSetState(1);
  iscZelHasError(true);
  iscZelLog("Saving last calculated population parameters/Fsts to file(s) of base name " + base);
  const TPopParameters* obj = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
  std::vector<const TPopParams*> sets;
  if (obj)
    for (const TPopParams& pp : obj->PopParameters)
      if (pp.valKind == ppvFst) sets.push_back(&pp);
  if (sets.empty()) {
    iscZelUserError("No suitable dataset in found in memory");
    return false;
  }
  const TFstEstimator est = obj->Estimator;
  const std::string estPrefix = base + "fst_" + FstEstimatorName(est) + "_";
  const bool extra = est != fstNei || gExtra.NeiSummary || gExtra.WindowSize > 0;
  // Every name first: two data sets must never write over each other, nor over the summary.
  std::set<std::string> descs;
  for (const TPopParams* pp : sets) {
    const std::string d = FstFileDesc(pp->Desc);
    if (!descs.insert(d).second || (extra && (d == "summary" || d.rfind("window_", 0) == 0))) {
      iscZelUserError("Two data sets would be written to the same files: " +
                      (est == fstNei ? base + "fst_" : estPrefix) + d + ".tsv");
      return false;
    }
  }
  const std::string loc = "Chr\tPos";
  // Every table goes into its own temporary file in pieces as it is made (Text is handed to
  // Drain whenever it grows past a megabyte), and is put in place by Finish. A table whose
  // lines do not fit the result is written empty.
  struct TTableOut {
    std::string Name;
    std::unique_ptr<TFileOut> Out;
    std::string Text;
    int Err = 0;
    std::function<void(std::string&)> Drain = [this](std::string& text) {
      if (Err == 0) Err = Out->Write(text.data(), text.size());
      text.clear();
    };
    void Open(const std::string& name) {
      Name = name;
      Out = std::make_unique<TFileOut>(name);
      Err = Out->Err();
      Text.clear();
    }
    // On the thread that made the table: the wait for the disk is spent here, beside the
    // other tables being made, not in Finish, which runs in order on the command's thread
    // (unless the tables are put in place on a thread of their own).
    bool SyncWhenMade = true;
    void Made(bool made) {
      if (!made) Text.clear();
      Drain(Text);
      if (Err == 0 && SyncWhenMade) Err = Out->Sync();
    }
    // Puts the table in place; the error code (0: done). Logs nothing.
    int Commit() {
      if (Err == 0) Err = Out->Commit();
      Out.reset();  // an output not put in place is removed
      return Err;
    }
    void LogError() const {
      iscZelError("Cannot write file", "U", Name + ": " + FioErrorText(Err));
    }
    // False, with the error logged, when the table could not be written.
    bool Finish() {
      if (Commit() == 0) return true;
      LogError();
      return false;
    }
  };
  auto writeLines = [](TTableOut& t, const std::string& name,
                       const std::vector<std::string>& lines) {
    t.Open(name);
    for (const std::string& l : lines) {
      t.Text += l;
      t.Text += "\r\n";
    }
    t.Made(true);
    return t.Finish();
  };
  // The four tables of the data sets are made on the worker threads: a wave of data sets, one
  // per worker, or the four tables of a lone data set at once. Every table is put in place in
  // data-set order, after the data set's estimator tables; a failure drops what was made after.
  const size_t wave = std::max<size_t>(1, std::min<size_t>(ZelThreads(), sets.size()));
  // The four tables alone: a wave is put in place (flushed to the disk and renamed, which is
  // waiting, not work) on a thread of its own, in order, while the next wave is made.
  const bool putAside = !extra;
  std::unique_ptr<TTableOut[]> waves[2] = {std::make_unique<TTableOut[]>(4 * wave),
                                           std::make_unique<TTableOut[]>(putAside ? 4 * wave : 0)};
  std::future<size_t> placing;  // the table of the wave in place that failed, or kAllPlaced
  const TTableOut* placingWave = nullptr;
  constexpr size_t kAllPlaced = ~size_t(0);
  // Waits for the wave being put in place; false, with the error logged, when a table of it
  // failed (the tables after it were dropped).
  auto placed = [&] {
    if (!placing.valid()) return true;
    const size_t bad = placing.get();
    if (bad == kAllPlaced) return true;
    placingWave[bad].LogError();
    return false;
  };
  int cur = 0;
  TTableOut single;  // the estimator, window and summary tables, one at a time
  std::vector<std::string> summary;
  if (extra) summary.push_back(FstSummaryHeader());
  static const char* const kTables[4] = {"ac_", "af_", "het_", "fst_"};
  for (size_t first = 0; first < sets.size(); first += wave) {
    const size_t nw = std::min(wave, sets.size() - first);
    TTableOut* const tables = waves[cur].get();
    if (est == fstNei) {
      for (size_t w = 0; w < nw; ++w)
        for (int q = 0; q < 4; ++q) {
          tables[4 * w + q].Open(base + kTables[q] + FstFileDesc(sets[first + w]->Desc) + ".tsv");
          tables[4 * w + q].SyncWhenMade = !putAside;
        }
      auto make = [&](size_t w, int q, const TAlleleFrequencies& af, const THeterozygosities& het) {
        const TPopParams& pp = *sets[first + w];
        TTableOut& t = tables[4 * w + q];
        const TLocNames& names = pp.LocNames;
        switch (q) {
          case 0:
            t.Made(ReportACText(t.Text, "\r\n", t.Drain, pp.AC, true, names, loc, true, true, true,
                                '\t', ", ", "."));
            break;
          case 1:
            t.Made(ReportAFText(t.Text, "\r\n", t.Drain, af, true, names, loc, true, true, '\t',
                                ", ", 4, 5));
            break;
          case 2:
            t.Made(ReportHetText(t.Text, "\r\n", t.Drain, het, true, names, loc, '\t', 4, 5));
            break;
          default:
            t.Made(ReportFstText(t.Text, "\r\n", t.Drain, pp.Fst, true, names, loc, '\t', 4, 5));
        }
      };
      std::vector<std::function<void()>> procs;
      TAlleleFrequencies af1;
      THeterozygosities het1;
      if (nw == 1) {
        PopParamsFreqAndHet(*sets[first], af1, het1);
        for (int q = 0; q < 4; ++q) procs.push_back([&, q] { make(0, q, af1, het1); });
      } else {
        for (size_t w = 0; w < nw; ++w)
          procs.push_back([&, w] {
            TAlleleFrequencies af;
            THeterozygosities het;
            PopParamsFreqAndHet(*sets[first + w], af, het);
            for (int q = 0; q < 4; ++q) make(w, q, af, het);
          });
      }
      if (const TZelErr e = ParalleliseProcs(procs)) {
        placed();
        iscZelError(e);
        return false;
      }
    }
    if (putAside) {
      if (!placed()) {
        for (size_t r = 0; r < 4 * nw; ++r) tables[r].Out.reset();
        return false;
      }
      placingWave = tables;
      placing = std::async(std::launch::async, [tables, n = 4 * nw] {
        for (size_t r = 0; r < n; ++r)
          if (tables[r].Commit() != 0) {
            for (size_t k = r + 1; k < n; ++k) tables[k].Out.reset();
            return r;
          }
        return kAllPlaced;
      });
      cur ^= 1;
      continue;
    }
    for (size_t w = 0; w < nw; ++w) {
      const TPopParams* pp = sets[first + w];
      const std::string d = FstFileDesc(pp->Desc);
      bool ok = true;
      if (extra) {
        if (est != fstNei) {
          single.Open(estPrefix + d + ".tsv");
          single.Made(
              ReportFstPartsText(single.Text, "\r\n", single.Drain, pp->Parts, pp->LocNames));
          ok = single.Finish();
        }
        if (ok && gExtra.WindowSize > 0) {
          std::vector<TFstWindow> windows;
          FstWindows(pp->LocNames, pp->Parts, gExtra.WindowSize,
                     gExtra.WindowStep ? gExtra.WindowStep : gExtra.WindowSize, windows);
          ok = writeLines(single, estPrefix + "window_" + d + ".tsv", ReportFstWindowsStr(windows));
        }
        if (ok)
          summary.push_back(
              FstSummaryLine(pp->Desc, SummariseFst(pp->Parts, gExtra.JackknifeBlocks)));
      }
      if (est == fstNei)
        for (int q = 0; q < 4 && ok; ++q) ok = tables[4 * w + q].Finish();
      if (!ok) {
        for (size_t r = 0; r < 4 * wave; ++r) tables[r].Out.reset();
        return false;
      }
    }
  }
  if (!placed()) return false;
  if (extra && !writeLines(single, estPrefix + "summary.tsv", summary)) return false;
  iscZelLog("Finished.");
  scUiSetState(0);
  return true;
}

void uscVcfSelectByFst() {
  if (ZelObjCount() == 0) return;
  const int32_t active = GetActiveObj();
  TVCFFile* vcf = active >= 0 && GetObjTypeById(active) == oVCF
                      ? dynamic_cast<TVCFFile*>(GetObjById(active))
                      : nullptr;
  if (!vcf) {
    iscZelUserError("No valid VCF input selected");
    return;
  }
  std::vector<const TPopParams*> sets;
  std::vector<std::string> lines;
  for (int32_t id = ZelObjCount() - 1; id >= 0; --id) {
    if (GetObjTypeById(id) != oPopParams) continue;
    const auto* obj = dynamic_cast<const TPopParameters*>(GetObjById(id));
    if (!obj || obj->popParSrcid != uint64_t(active)) continue;
    for (size_t k = 0; k < obj->PopParameters.size(); ++k) {
      const TPopParams& pp = obj->PopParameters[k];
      if (pp.valKind != ppvFst || pp.SelMask.GetNBits() != vcf->NVariants()) continue;
      sets.push_back(&pp);
      lines.push_back("F_ST " + pp.Desc + " [" + std::to_string(id) + "." + std::to_string(k) +
                      "]");
    }
  }
  if (sets.empty()) {
    iscZelUserError("No suitable Fst data set found");
    return;
  }
  const std::optional<TZelValueSelection> ans =
      ZelUser().AskValueSelection("Select variants by F_ST", lines);
  if (!ans) return;
  iscZelHasError(true);
  if (ans->DataSet >= sets.size() || ans->Comparison > 5) {
    iscZelUserError("No such data set or comparison");
    return;
  }
  double thr = 0;
  if (!ParseThreshold(ans->Threshold, thr)) {
    iscZelUserError("Threshold value does not appear to be a valid number: <" + ans->Threshold +
                    ">");
    return;
  }
  const TPopParams& pp = *sets[ans->DataSet];
  iscZelLog("Selecting variants based on F_ST " + pp.Desc + " with threshold " +
            ComparisonStr[ans->Comparison] + FixedStr(thr, 4, 10));
  // Variants outside the data set's mask lose their bit; a locus without F_ST ("NA") never
  // passes, whatever the comparison.
  uint64_t k = 0;
  for (uint64_t v = 0; v < vcf->NVariants(); ++v) {
    if (!pp.SelMask.GetFieldBit(v)) {
      if (vcf->IsSelected(v)) vcf->SetSelected(v, false);
      continue;
    }
    const double x = k < pp.Fst.size() ? pp.Fst[k] : std::nan("");
    ++k;
    if (vcf->IsSelected(v) && (std::isnan(x) || !Compare(x, thr, ans->Comparison)))
      vcf->SetSelected(v, false);
  }
  const uint64_t n = vcf->NSelected();
  scUiSetDataSize(std::to_string(vcf->NSamples()) + " x " + std::to_string(n));
  iscZelLog("Selected " + std::to_string(n) + " variants");
}

void uscShowFstSelection() { uscVcfSelectByFst(); }

bool scFstEstimator(const std::string& name) {
  iscZelHasError(true);
  TFstEstimator est;
  if (!FstEstimatorFromName(name, est)) {
    iscZelUserError("Unknown F_ST estimator: <" + name + "> (nei, wc or hudson)");
    return false;
  }
  gEstimator = est;
  iscZelLog(std::string("F_ST estimator: ") + FstEstimatorName(est));
  return true;
}

void iscSetFstExtraOutput(const TFstExtraOutput& o) { gExtra = o; }

bool iscLoadVcfFileForFst(const std::string& vcfFile, const std::string& popMapFile,
                          const std::string& scheme, bool pairwise, uint32_t minDP_all,
                          uint32_t minDP_hom) {
  // The plan is a guess made before the file is opened: the count uses the tally only when
  // the populations and depths it meets are the plan's, and the file's samples the header's
  // seen here. Any doubt makes no plan, and the run reads the file as always.
  TVcfCallTallyPlan plan;
  std::vector<std::string> names;
  TBioDataSet ds;
  bool ok = !popMapFile.empty() && VcfPeekSampleNames(vcfFile, names) &&
            names.size() <= TVcfCallTallyPlan::cMaxSamples && !ds.LoadFromPopMap(popMapFile) &&
            ds.PopStruc().nInd > 0 && ds.nSchemes() > 0;
  if (ok && !scheme.empty()) {
    const TPopNames schemes = ds.PopStruc().GetSchemeNames();
    const auto it = std::find(schemes.begin(), schemes.end(), scheme);
    ok = it != schemes.end() && ds.SetCurrPopScheme(uint32_t(it - schemes.begin()));
  }
  const TPopScheme* sc = ok ? ds.GetCurrScheme() : nullptr;
  if (sc) {
    const TPopSampleMatch m = MatchPopToSamples(ds.PopStruc(), names);
    if (!m.Err) {
      std::vector<uint32_t> mb = m.SampleMembership(*sc);
      if (pairwise) mb = Xlat2Levels(mb, GetLevDX(mb, kPopNone));
      uint32_t nPop = 0;
      const std::vector<uint32_t> pops = AlleleCountPops(mb, uint32_t(names.size()), nPop);
      plan.Rows.resize(pops.size());
      for (size_t s = 0; s < pops.size(); ++s)
        plan.Rows[s] = pops[s] == kPopGenNone ? nPop : pops[s];
      plan.NPops = nPop;
      plan.MinDPAll = minDP_all;
      plan.MinDPHom = std::max(minDP_hom, minDP_all);
      plan.SampleNames = std::move(names);
    } else {
      sc = nullptr;
    }
  }
  return iscLoadVcfFileTallied(vcfFile, sc ? &plan : nullptr);
}
