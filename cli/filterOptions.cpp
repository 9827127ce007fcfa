// The shared variant filter options of zelcli verbs: declaration and application through the
// selection commands.
#include "cli/filterOptions.h"

void AddFilterOptions(CLI::App&, TFilterCliOptions&) {}

std::shared_ptr<TFilterCliOptions> AddFilterOptions(CLI::App& sub) {
  auto opts = std::make_shared<TFilterCliOptions>();
  AddFilterOptions(sub, *opts);
  return opts;
}

bool ApplyFilterOptions(const TFilterCliOptions&) { return true; }
