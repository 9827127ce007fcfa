// zelcli stats FILE [filters...] [--missing] [--transition-matrix]: missing genotype calls per
// sample and the SNP transition matrix over the selected variants.
#include <string>

#include "cli/cliVerb.h"
#include "cli/filterOptions.h"
#include "commands/cmdLoad.h"
#include "commands/cmdSelect.h"
#include "commands/cmdVcf.h"
#include "core/zelLog.h"

namespace {

int RunStats(const std::string& file, const TFilterCliOptions& filters, bool missing, bool matrix) {
  if (!scLoadVcfFile(file)) return 1;
  if (!ApplyFilterOptions(filters)) return 1;
  if (missing) scVcfListMissingDataPerSample();
  if (matrix) scVcfGetSnpTransitionMatrix();
  return iscZelHasError(false) ? 1 : 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "stats", "Missing calls per sample and the SNP transition matrix of the selected variants",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto file = std::make_shared<std::string>();
      auto missing = std::make_shared<bool>(false);
      auto matrix = std::make_shared<bool>(false);
      sub.add_option("FILE", *file, "VCF file (plain, gzip or BGZF)")->required();
      auto filters = AddFilterOptions(sub);
      sub.add_flag("--missing", *missing, "List the missing genotype calls of every sample");
      sub.add_flag("--transition-matrix", *matrix,
                   "The nucleotide transition matrix of the biallelic SNPs");
      return [file, filters, missing, matrix]() {
        return RunStats(*file, *filters, *missing, *matrix);
      };
    }});

}  // namespace
