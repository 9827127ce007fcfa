// zelcli select FILE [--popmap MAP --scheme NAME] [filters...] --out OUT.vcf: the selected
// variants as a VCF file (with a scheme, only its members in population order); BGZF when
// OUT ends in ".gz".
#include <string>

#include "cli/cliVerb.h"
#include "cli/filterOptions.h"
#include "cli/popOptions.h"
#include "commands/cmdLoad.h"
#include "commands/cmdSelect.h"
#include "core/zelLog.h"

namespace {

int RunSelect(const std::string& file, const TPopCliOptions& pop, const TFilterCliOptions& filters,
              const std::string& out) {
  if (!scLoadVcfFile(file)) return 1;
  if (!ApplyPopOptions(pop)) return 1;
  if (!ApplyFilterOptions(filters)) return 1;
  scVcfSaveSelection(out);
  return iscZelHasError(false) ? 1 : 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "select",
    "Save the variants left by the filters as a VCF file (with --scheme: only its members)",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto file = std::make_shared<std::string>();
      auto out = std::make_shared<std::string>();
      sub.add_option("FILE", *file, "VCF file (plain, gzip or BGZF)")->required();
      auto pop = AddPopOptions(sub);
      auto filters = AddFilterOptions(sub);
      sub.add_option("--out", *out, "Output VCF (BGZF when it ends in .gz)")
          ->type_name("OUT.vcf")
          ->required();
      return [file, pop, filters, out]() { return RunSelect(*file, *pop, *filters, *out); };
    }});

}  // namespace
