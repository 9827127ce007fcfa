// zelcli fst FILE --popmap MAP [--scheme NAME] [--pairwise] [depth and locus options]
// [--estimator nei|wc|hudson] [--window SIZE [--step STEP]] [--jackknife-blocks N]
// [--plot FILE [--plot-threshold X]] [filters...] --out BASE: global or pairwise F_ST of the
// selected variants, written as the tables scSaveFst writes for the chosen estimator, and the
// picture of F_ST along the genome of the first data set.
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "cli/cliVerb.h"
#include "cli/filterOptions.h"
#include "cli/popOptions.h"
#include "commands/cmdFst.h"
#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#ifdef ZEL_HAVE_PLOT
#include "core/zelRegistry.h"
#include "popgen/bioFst.h"
#include "ui/plot3d/qtFstPicture.h"
#include "ui/plot3d/qtPicture.h"
#endif

namespace {

struct TFstCliOptions {
  std::string File;
  std::string Out;
  bool Pairwise = false;
  // The main window's defaults.
  uint32_t MinDP = 2, MinDPHom = 10, MinObs = 4, MinPops = 4, MaxStates = 2;
  bool NoLimitZero = false;
  bool NoSmallSampleCorrection = false;
  std::string Estimator = "nei";
  TFstExtraOutput Extra;
  bool BlocksGiven = false;
  std::string Plot;
  double PlotThreshold = std::nan("");
};

// The folder part of the base name ("DIR/" or "DIR/run1"), made when missing.
bool MakeOutFolder(const std::string& base) {
  const size_t slash = base.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::filesystem::path dir = base.substr(0, slash);
  std::error_code ec;
  if (std::filesystem::is_directory(dir, ec)) return true;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    iscZelError("Cannot create output folder", "U", dir.string() + ": " + ec.message());
    return false;
  }
  return true;
}

#ifdef ZEL_HAVE_PLOT
bool PlotNewestFst(const TFstCliOptions& o) {
  const TPopParameters* obj = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
  if (!obj || obj->PopParameters.empty()) return false;
  const TFstGenomeInput in = FstGenomeInputOf(
      *obj, 0, o.Extra.WindowSize, o.Extra.WindowSize ? o.Extra.WindowStep : 0, o.PlotThreshold);
  return PlotFstGenomeFile(in, o.Plot, 1200, 500);
}
#endif

int RunFst(const TFstCliOptions& o, const TPopCliOptions& pop, const TFilterCliOptions& filters) {
  if (!iscLoadVcfFileForFst(o.File, pop.PopMap, pop.Scheme, o.Pairwise, o.MinDP, o.MinDPHom))
    return 1;
  if (!ApplyPopOptions(pop)) return 1;
  if (!ApplyFilterOptions(filters)) return 1;
  if (o.Extra.WindowStep && !o.Extra.WindowSize) {
    iscZelUserError("--step needs --window");
    return 1;
  }
  TFstExtraOutput extra = o.Extra;
  extra.NeiSummary = o.BlocksGiven || o.Extra.WindowSize > 0;
  extra.KeepParts = !o.Plot.empty();
  iscSetFstExtraOutput(extra);
  // The default logs nothing, so that runs without the option keep their log.
  if (o.Estimator != "nei" && !scFstEstimator(o.Estimator)) return 1;
  const bool limit = !o.NoLimitZero, ssc = !o.NoSmallSampleCorrection;
  const bool ok =
      o.Pairwise ? scPairwiseFst(o.MinDP, o.MinDPHom, o.MinObs, o.MinPops, o.MaxStates, limit, ssc)
                 : scGlobalFst(o.MinDP, o.MinDPHom, o.MinObs, o.MinPops, o.MaxStates, limit, ssc);
  if (!ok || iscZelHasError(false)) return 1;
  if (!MakeOutFolder(o.Out)) return 1;
  if (!scSaveFst(o.Out)) return 1;
#ifdef ZEL_HAVE_PLOT
  if (!o.Plot.empty() && !PlotNewestFst(o)) return 1;
#endif
  return 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "fst",
    "Global or pairwise F_ST per locus: allele count, frequency, heterozygosity and F_ST tables",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto o = std::make_shared<TFstCliOptions>();
      sub.add_option("FILE", o->File, "VCF file (plain, gzip or BGZF)")->required();
      auto pop = AddPopOptions(sub);
      sub.get_option("--popmap")->required();
      sub.add_flag("--pairwise", o->Pairwise,
                   "F_ST for every pair of populations instead of all populations together");
      sub.add_option("--min-dp", o->MinDP,
                     "Calls with a lower depth (DP; absent counts as 0) are dropped; 0: no depth "
                     "masking")
          ->capture_default_str();
      sub.add_option("--min-dp-hom", o->MinDPHom,
                     "Homozygous calls with a lower depth count one allele only")
          ->capture_default_str();
      sub.add_option("--min-obs", o->MinObs,
                     "Allele observations a population needs at a locus to count for --min-pops")
          ->capture_default_str();
      sub.add_option("--min-pops", o->MinPops,
                     "Populations with --min-obs observations a locus needs (pairwise: at most 2)")
          ->capture_default_str();
      sub.add_option("--max-states", o->MaxStates, "Loci with more alleles are left out")
          ->capture_default_str();
      sub.add_flag("--no-limit-zero", o->NoLimitZero, "Keep negative F_ST values");
      sub.add_flag("--no-small-sample-correction", o->NoSmallSampleCorrection,
                   "Heterozygosities without the N/(N-1) correction");
      sub.add_option("--estimator", o->Estimator,
                     "nei: the tables above (Nei's heterozygosity-based F_ST); wc: Weir & "
                     "Cockerham's theta (global or pairwise); "
                     "hudson: Hudson's F_ST (pairwise). wc and hudson write BASE + "
                     "fst_<estimator>_<pair>.tsv per locus and fst_<estimator>_summary.tsv")
          ->check(CLI::IsMember({"nei", "wc", "hudson"}))
          ->capture_default_str();
      sub.add_option("--window", o->Extra.WindowSize,
                     "Also F_ST in windows of SIZE bases along each chromosome (ratio of sums): "
                     "BASE + fst_<estimator>_window_<pair>.tsv")
          ->check(CLI::PositiveNumber)
          ->type_name("SIZE");
      sub.add_option("--step", o->Extra.WindowStep, "Windows start every STEP bases (default SIZE)")
          ->check(CLI::PositiveNumber)
          ->type_name("STEP");
      sub.add_option("--jackknife-blocks", o->Extra.JackknifeBlocks,
                     "Contiguous blocks of equal locus count for the jackknife standard error "
                     "of the genome-wide figures; with nei this also writes the summary")
          ->check(CLI::PositiveNumber)
          ->capture_default_str()
          ->each([o](const std::string&) { o->BlocksGiven = true; });
#ifdef ZEL_HAVE_PLOT
      sub.add_option("--plot", o->Plot,
                     "Also draw F_ST along the genome (the first pair when pairwise) to this file")
          ->type_name("FILE.(png|svg|bmp)")
          ->check([](const std::string& f) {
            return PictureFormatOf(f) == TPictureFormat::Unknown
                       ? std::string("the picture name must end in .png, .svg or .bmp")
                       : std::string();
          });
      sub.add_option("--plot-threshold", o->PlotThreshold,
                     "Height of the threshold line (default: the 99th percentile of the values)");
#endif
      auto filters = AddFilterOptions(sub);
      sub.add_option("--out", o->Out,
                     "Base name of the tables: BASE + ac_/af_/het_/fst_ + global or the pair + "
                     ".tsv; \"DIR/\" writes into DIR (made when missing)")
          ->required()
          ->type_name("BASE");
      return [o, pop, filters]() { return RunFst(*o, *pop, *filters); };
    }});

}  // namespace
