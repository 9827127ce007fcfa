// The shared population options of zelcli verbs: declaration and application through the
// population commands.
#include "cli/popOptions.h"

#include "commands/cmdPop.h"
#include "core/zelLog.h"

void AddPopOptions(CLI::App& sub, TPopCliOptions& opts) {
  CLI::Option* popmap =
      sub.add_option("--popmap", opts.PopMap,
                     "Population map (tab-separated: \"<SAMPLES>\" header with one column per "
                     "scheme, then one row per sample)");
  popmap->type_name("FILE");
  sub.add_option("--scheme", opts.Scheme,
                 "Population scheme of the map to use (default: the first)")
      ->type_name("NAME")
      ->needs(popmap);
}

std::shared_ptr<TPopCliOptions> AddPopOptions(CLI::App& sub) {
  auto opts = std::make_shared<TPopCliOptions>();
  AddPopOptions(sub, *opts);
  return opts;
}

bool ApplyPopOptions(const TPopCliOptions& opts) {
  if (opts.PopMap.empty()) return true;
  if (!scLoadPopMap(opts.PopMap)) return false;
  if (opts.Scheme.empty()) return true;
  scSelectPopScheme(opts.Scheme.c_str());
  return !iscZelHasError(false);
}
