// zelcli export FILE --to bayescan|structure|binary [--popmap MAP --scheme NAME] [--min-dp N]
// [--min-dp-hom N] [filters...] --out OUT: the selected variants written for BayeScan (with its
// marker-name file), Structure, or as a binary presence/absence matrix (FAMD).
#include <memory>
#include <string>

#include "cli/cliVerb.h"
#include "cli/filterOptions.h"
#include "cli/popOptions.h"
#include "commands/cmdExport.h"
#include "commands/cmdLoad.h"
#include "core/zelLog.h"

namespace {

struct TExportCli {
  std::string File, To, Out;
  // The main window's depth fields: all calls, homozygous calls.
  uint32_t MinDp = 2, MinDpHom = 10;
  CLI::Option* MinDpHomOpt = nullptr;
};

int RunExport(const TExportCli& o, const TPopCliOptions& pop, const TFilterCliOptions& filters) {
  if (!scLoadVcfFile(o.File)) return 1;
  const bool binary = o.To == "binary";
  if (binary) {
    // The matrix has a column for every sample and one threshold: say what is left unused.
    std::string unused;
    auto note = [&](bool given, const char* name) {
      if (given) unused += (unused.empty() ? "" : ", ") + std::string(name);
    };
    note(!pop.PopMap.empty(), "--popmap");
    note(!pop.Scheme.empty(), "--scheme");
    note(o.MinDpHomOpt && o.MinDpHomOpt->count() > 0, "--min-dp-hom");
    if (!unused.empty())
      iscZelWarning(
          "Ignored for the binary matrix, which has every sample and one depth "
          "threshold (--min-dp): " +
          unused);
  } else if (!ApplyPopOptions(pop)) {
    return 1;
  }
  if (!ApplyFilterOptions(filters)) return 1;
  bool ok = false;
  if (o.To == "bayescan")
    ok = scVcfExport2Bayescan(o.Out, o.MinDpHom, o.MinDp);
  else if (o.To == "structure")
    ok = scVcfExport2Structure(o.Out, o.MinDpHom, o.MinDp);
  else
    ok = scVcfExport2FAMD(o.Out, o.MinDp);
  return ok ? 0 : 1;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "export",
    "Export the selected variants to BayeScan, Structure or a binary presence/absence matrix",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto o = std::make_shared<TExportCli>();
      sub.add_option("FILE", o->File, "VCF file (plain, gzip or BGZF)")->required();
      sub.add_option("--to", o->To,
                     "bayescan: allele counts per population (and OUT's _markernames.txt); "
                     "structure: two rows of allele codes per individual; binary: FAMD "
                     "presence/absence matrix of biallelic variants over all samples")
          ->required()
          ->check(CLI::IsMember({"bayescan", "structure", "binary"}))
          ->type_name("FORMAT");
      auto pop = AddPopOptions(sub);
      sub.add_option("--min-dp", o->MinDp,
                     "Minimum depth (DP) of a call; 0 reads no DP. For bayescan and structure "
                     "it is lowered to --min-dp-hom when that is smaller")
          ->capture_default_str()
          ->type_name("N");
      o->MinDpHomOpt = sub.add_option("--min-dp-hom", o->MinDpHom,
                                      "Depth below which a homozygous call keeps one allele "
                                      "(bayescan, structure)")
                           ->capture_default_str()
                           ->type_name("N");
      auto filters = AddFilterOptions(sub);
      sub.add_option("--out", o->Out, "Output file")->required()->type_name("OUT");
      return [o, pop, filters]() { return RunExport(*o, *pop, *filters); };
    }});

}  // namespace
