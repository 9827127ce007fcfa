// zelcli merge A B [filters...] --out MERGED.vcf [--loci and|or] [--samples and|or]: file A's
// selected variants merged with file B; BGZF when MERGED ends in ".gz".
#include <string>

#include "cli/cliVerb.h"
#include "cli/filterOptions.h"
#include "commands/cmdLoad.h"
#include "commands/cmdMerge.h"
#include "core/zelLog.h"

namespace {

struct TMergeCliOptions {
  std::string A, B, Out;
  std::string Loci = "and", Samples = "or";
};

int RunMerge(const TMergeCliOptions& o, const TFilterCliOptions& filters) {
  if (!scLoadVcfFile(o.A)) return 1;
  if (!ApplyFilterOptions(filters)) return 1;
  if (!iscVcfMerge(o.B, o.Out, o.Loci == "and", o.Samples == "and")) return 1;
  return iscZelHasError(false) ? 1 : 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "merge", "Merge two VCF files (the filters narrow file A's variants) into one VCF file",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto o = std::make_shared<TMergeCliOptions>();
      sub.add_option("A", o->A, "First VCF file (plain, gzip or BGZF)")->required();
      sub.add_option("B", o->B, "Second VCF file (plain, gzip or BGZF)")->required();
      auto filters = AddFilterOptions(sub);
      sub.add_option("--out", o->Out, "Merged VCF (BGZF when it ends in .gz)")
          ->type_name("MERGED.vcf")
          ->required();
      sub.add_option("--loci", o->Loci, "and: positions in both files; or: in either")
          ->check(CLI::IsMember({"and", "or"}))
          ->capture_default_str();
      sub.add_option("--samples", o->Samples, "and: samples in both files; or: in either")
          ->check(CLI::IsMember({"and", "or"}))
          ->capture_default_str();
      return [o, filters]() { return RunMerge(*o, *filters); };
    }});

}  // namespace
