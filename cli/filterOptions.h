// The variant filter options every zelcli verb that reads variants (select, fst, dist, pcoa,
// upgma, export, merge) attaches to its subcommand, and their application to the active VCF
// file after it is loaded and before the verb's analysis runs.
#pragma once

#include <CLI/CLI.hpp>
#include <memory>

// Filled by AddFilterOptions; the filters are read back in the order given on the command
// line, so each narrows what the ones before it left.
struct TFilterCliOptions {
  CLI::App* Sub = nullptr;
  CLI::Option *Snps = nullptr, *Biallelic = nullptr, *Polymorphic = nullptr, *Transitions = nullptr,
              *Transversions = nullptr, *Indels = nullptr, *WithAlt = nullptr, *Invert = nullptr,
              *Chrom = nullptr, *Region = nullptr, *Info = nullptr, *SampleTag = nullptr;
};

// Declares the filter options on sub, storing into opts (which must outlive parsing).
void AddFilterOptions(CLI::App& sub, TFilterCliOptions& opts);
// The same with storage the returned pointer owns, for verbs that capture it in their runner.
std::shared_ptr<TFilterCliOptions> AddFilterOptions(CLI::App& sub);

// Narrows the active VCF file's selection by what was given, through the selection commands,
// so the log reads as it does for the same commands run by hand. True when nothing was given
// or everything succeeded; false once an error was logged (the verb should then stop).
bool ApplyFilterOptions(const TFilterCliOptions& opts);
