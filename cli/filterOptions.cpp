// The shared variant filter options of zelcli verbs: declaration and application through the
// selection commands.
#include "cli/filterOptions.h"

#include <map>

#include "base/korNum.h"
#include "commands/cmdLoad.h"
#include "commands/cmdSelect.h"
#include "core/zelLog.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfFilter.h"

namespace {

CLI::Option* Flag(CLI::App& sub, const char* name, const char* help) {
  return sub.add_flag(name)->description(help)->group("Filters (applied in the order given)");
}

CLI::Option* Valued(CLI::App& sub, const char* name, const char* typeName, const char* help) {
  // One value per occurrence; repeating the option repeats the filter.
  return sub.add_option(name)
      ->description(help)
      ->type_name(typeName)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->group("Filters (applied in the order given)");
}

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

// "KEY OP VALUE", blanks optional: key, comparison and the value text as typed.
bool SplitCondition(std::string_view text, std::string& key, TComparison& cmp, std::string& value) {
  const size_t o = text.find_first_of("<>=!");
  if (o == std::string_view::npos) return false;
  size_t e = o;
  while (e < text.size() && std::string_view("<>=!").find(text[e]) != std::string_view::npos) ++e;
  key = Trim(text.substr(0, o));
  value = Trim(text.substr(e));
  return !key.empty() && key.find_first_of(" \t") == std::string::npos &&
         ParseComparison(text.substr(o, e - o), cmp);
}

bool UsageError(const std::string& msg, const std::string& what) {
  iscZelError(TZelErr::User(msg, what));
  return false;
}

bool ApplyChrom(const std::string& list) {
  std::vector<std::string> names;
  size_t b = 0;
  while (true) {
    const size_t e = list.find(',', b);
    names.push_back(Trim(std::string_view(list).substr(b, e == std::string::npos ? e : e - b)));
    if (names.back().empty())
      return UsageError("--chrom takes contig names separated by commas", list);
    if (e == std::string::npos) break;
    b = e + 1;
  }
  return iscVcfSelectContigs(names, lAnd);
}

bool ApplyRegion(const std::string& region) {
  // Contig names may hold ':' themselves: the range follows the last one.
  const size_t colon = region.rfind(':');
  const size_t dash = colon == std::string::npos ? colon : region.find('-', colon);
  uint64_t from = 0, to = 0;
  if (colon == std::string::npos || colon == 0 || dash == std::string::npos ||
      !s2qChecked(std::string_view(region).substr(colon + 1, dash - colon - 1), from) ||
      !s2qChecked(std::string_view(region).substr(dash + 1), to))
    return UsageError("--region takes CHR:FROM-TO", region);
  return iscVcfSelectContigRange(region.substr(0, colon), from, to, lAnd);
}

bool ApplyInfo(const std::string& cond) {
  std::string key, value;
  TComparison cmp;
  if (!SplitCondition(cond, key, cmp, value))
    return UsageError("--info takes \"KEY OP VALUE\" (OP one of < <= = >= > <>)", cond);
  return iscVcfSelectByInfo(key, cmp, value);
}

bool ApplySampleTag(const std::string& cond) {
  std::string key, value;
  TComparison cmp;
  const size_t colon = cond.rfind(':');
  if (colon == std::string::npos ||
      !SplitCondition(std::string_view(cond).substr(0, colon), key, cmp, value))
    return UsageError("--sample-tag takes \"KEY OP VALUE:MIN_SAMPLES\" (OP one of < <= = >= > <>)",
                      cond);
  return iscVcfSelectBySampleTag(key, cmp, value, Trim(std::string_view(cond).substr(colon + 1)));
}

}  // namespace

void AddFilterOptions(CLI::App& sub, TFilterCliOptions& o) {
  o.Sub = &sub;
  o.Snps = Flag(sub, "--snps", "Keep SNPs");
  o.Biallelic = Flag(sub, "--biallelic", "Keep variants with exactly one ALT allele");
  o.Polymorphic = Flag(sub, "--polymorphic", "Keep polymorphic variants");
  o.Transitions = Flag(sub, "--transitions", "Keep biallelic transition SNPs (A<->G, C<->T)");
  o.Transversions = Flag(sub, "--transversions", "Keep biallelic transversion SNPs");
  o.Indels = Flag(sub, "--indels", "Keep insertions and deletions");
  o.WithAlt = Flag(sub, "--with-alt", "Keep variants with an ALT allele");
  o.Invert = Flag(sub, "--invert", "Invert what the filters before it left");
  o.Chrom = Valued(sub, "--chrom", "LIST", "Keep variants on these contigs (comma-separated)");
  o.Region = Valued(sub, "--region", "CHR:FROM-TO",
                    "Keep variants on CHR with FROM <= POS <= TO (1-based, inclusive)");
  o.Info = Valued(sub, "--info", "\"KEY OP VALUE\"",
                  "Keep variants whose INFO KEY (Number=1, Integer or Float) compares so with "
                  "VALUE; OP one of < <= = >= > <>. A value \".\" never passes; a variant "
                  "without the key is kept (bcftools view -i drops it)");
  o.SampleTag = Valued(sub, "--sample-tag", "\"KEY OP VALUE:MIN_SAMPLES\"",
                       "Keep variants where at least MIN_SAMPLES samples' FORMAT KEY (Number=1, "
                       "Integer or Float) compares so with VALUE; \".\" never passes; a variant "
                       "without the key in FORMAT is kept");
}

std::shared_ptr<TFilterCliOptions> AddFilterOptions(CLI::App& sub) {
  auto opts = std::make_shared<TFilterCliOptions>();
  AddFilterOptions(sub, *opts);
  return opts;
}

bool ApplyFilterOptions(const TFilterCliOptions& o) {
  if (!o.Sub) return true;
  std::map<const CLI::Option*, size_t> seen;
  bool any = false, logged = false;
  for (const CLI::Option* opt : o.Sub->parse_order()) {
    const size_t k = seen[opt]++;
    const auto value = [&]() -> std::string {
      const auto& r = opt->results();
      return k < r.size() ? r[k] : std::string();
    };
    const bool isFilter = opt == o.Snps || opt == o.Biallelic || opt == o.Polymorphic ||
                          opt == o.Transitions || opt == o.Transversions || opt == o.Indels ||
                          opt == o.WithAlt || opt == o.Invert || opt == o.Chrom ||
                          opt == o.Region || opt == o.Info || opt == o.SampleTag;
    if (!isFilter) continue;
    if (!any && !iscActiveVcfFile()) {
      iscZelUserError("Need to operate on VCF input");
      return false;
    }
    any = true;
    bool ok = true;
    logged = false;
    if (opt == o.Snps) {
      scVcfSelectSNPs();
    } else if (opt == o.Biallelic) {
      scVcfSelectBiallelic();
    } else if (opt == o.Polymorphic) {
      scVcfSelectPolymorphic();
    } else if (opt == o.Transitions) {
      scVcfSelectTransitions();
    } else if (opt == o.Transversions) {
      scVcfSelectTransversions();
    } else if (opt == o.Indels) {
      scVcfSelectInDels();
    } else if (opt == o.WithAlt) {
      scVcfSelectWithAltAllele();
    } else if (opt == o.Invert) {
      scVcfInvertSelection();
    } else if (opt == o.Chrom) {
      ok = ApplyChrom(value());
    } else if (opt == o.Region) {
      ok = ApplyRegion(value());
    } else if (opt == o.Info) {
      ok = ApplyInfo(value());
      logged = true;
    } else if (opt == o.SampleTag) {
      ok = ApplySampleTag(value());
      logged = true;
    }
    if (!ok || iscZelHasError(false)) return false;
  }
  // The INFO and FORMAT filters say how many are left; the others are silent.
  if (any && !logged)
    if (const TVCFFile* vcf = iscActiveVcfFile())
      iscZelLog("Selected " + std::to_string(vcf->NVariantsSelected()) + " variants");
  return true;
}
