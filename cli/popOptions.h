// The --popmap FILE and --scheme NAME options every zelcli verb that uses populations (F_ST,
// exports, PCoA groups) attaches to its subcommand, and their application before the verb runs.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>
#include <string>

struct TPopCliOptions {
  std::string PopMap;  // population map file; empty: not given
  std::string Scheme;  // scheme name; empty: the data set's first scheme
};

// Declares both options on sub, storing into opts (which must outlive parsing); --scheme
// needs --popmap.
void AddPopOptions(CLI::App& sub, TPopCliOptions& opts);
// The same with storage the returned pointer owns, for verbs that capture it in their runner.
std::shared_ptr<TPopCliOptions> AddPopOptions(CLI::App& sub);

// Runs scLoadPopMap and then scSelectPopScheme for what was given, so the log reads as it does
// for interpreter lines. True when nothing was given or everything succeeded; false once an
// error was logged (the verb should then stop).
bool ApplyPopOptions(const TPopCliOptions& opts);
