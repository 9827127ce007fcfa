// zelcli info FILE [--genotypes]: what a VCF file holds (samples x variants, contigs, INFO and
// FORMAT keys with their types, gVCF or not, compression) and, with --genotypes, a walk over
// every call's GT and DP as a quick quality check.
#include <cstdio>
#include <string>

#include "cli/cliSession.h"
#include "cli/cliVerb.h"
#include "commands/cmdLoad.h"
#include "commands/cmdVcf.h"
#include "core/zelLog.h"
#include "core/zelUser.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfSummary.h"

namespace {

std::string Percent(uint64_t part, uint64_t whole) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f%%", whole ? 100.0 * double(part) / double(whole) : 0.0);
  return buf;
}

void LogKeys(const TVCFFile& vcf, const char* keyType) {
  const TVcfMetaKeyDir& dir = vcf.MetaKeyDir();
  const uint32_t pos = dir.FindKeyType(keyType);
  const TVcfKeyDirectory* kd = pos == 0xFFFFFFFFu ? nullptr : &dir.Definitions[pos];
  // Directories of predefined names only carry no definitions: nothing was declared.
  const bool declared = kd && kd->KeyDef.size() == kd->Keys.size() && !kd->Keys.empty();
  if (!declared) {
    iscZelLog(std::string(keyType) + " keys: none declared");
    return;
  }
  iscZelLog(std::string(keyType) + " keys (" + std::to_string(kd->Keys.size()) + "):");
  for (size_t i = 0; i < kd->Keys.size(); ++i) {
    std::string number = "?", type = "?";
    for (const TVcfTagValueStr& tv : kd->TagValuePairs[i]) {
      if (tv.Tag == "Number") number = tv.ValueStr;
      if (tv.Tag == "Type") type = tv.ValueStr;
    }
    std::string line = "  " + kd->Keys[i] + "\tNumber=" + number + "\tType=" + type;
    if (!kd->KeyDef[i].kDescription.empty()) line += "\t" + kd->KeyDef[i].kDescription;
    iscZelLog(line);
  }
}

int RunInfo(const std::string& file, bool genotypes) {
  if (!scLoadVcfFile(file)) return 1;
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return 1;
  vcf->MakeKeyDir(false, true, true);
  for (const std::string& w : vcf->MetaWarnings()) iscZelWarning(w);
  iscZelLog("File: " + file);
  iscZelLog("Compression: " + std::string(VcfCompressionName(vcf->Compression())));
  iscZelLog("Samples x variants: " + iscVcfDataSizeText(*vcf));
  bool fromHeader = false;
  TZelErr err;
  const std::vector<std::string> contigs = VcfContigNames(*vcf, &fromHeader, &err);
  if (err) {
    iscZelError(err);
    return 1;
  }
  std::string list;
  for (const std::string& c : contigs) list += (list.empty() ? "" : ", ") + c;
  iscZelLog("Contigs (" + std::to_string(contigs.size()) +
            (fromHeader ? ", from the header" : ", from the data") + "): " + list);
  iscZelLog(std::string("gVCF: ") + (vcf->GuessIsGVCF(false, true) ? "yes" : "no"));
  LogKeys(*vcf, "INFO");
  LogKeys(*vcf, "FORMAT");
  if (!genotypes) return 0;

  TVcfGtSummary s;
  if (!VcfSummariseGenotypes(*vcf, s, err, &ZelUser())) {
    iscZelError(err);
    return 1;
  }
  iscZelLog("Genotypes (GT and DP of every call):");
  iscZelLog("  Calls: " + std::to_string(s.Calls));
  iscZelLog("  Called: " + std::to_string(s.Called) + " (" + Percent(s.Called, s.Calls) + ")");
  iscZelLog("  Missing: " + std::to_string(s.Missing) + " (" + Percent(s.Missing, s.Calls) + ")");
  iscZelLog("  Partly missing: " + std::to_string(s.PartlyMissing) + " (" +
            Percent(s.PartlyMissing, s.Calls) + ")");
  for (const auto& [ploidy, count] : s.CallsPerPloidy)
    iscZelLog("  Ploidy " + std::to_string(ploidy) + (ploidy == 0 ? " (no GT)" : "") + ": " +
              std::to_string(count) + " calls");
  if (s.DepthCalls == 0) {
    iscZelLog("  Depth (DP): none");
  } else {
    static const char* names[] = {"min", "5%", "25%", "median", "75%", "95%", "max"};
    std::string q;
    for (size_t i = 0; i < s.DepthQuantiles.size(); ++i)
      q += std::string(i ? ", " : "") + names[i] + " " + std::to_string(s.DepthQuantiles[i]);
    iscZelLog("  Depth (DP) of " + std::to_string(s.DepthCalls) + " calls (absent in " +
              std::to_string(s.DepthAbsent) + "): " + q);
  }
  if (s.Report.PlaceholderCalls)
    iscZelLog("  Calls naming <*> or <NON_REF>, read as missing: " +
              std::to_string(s.Report.PlaceholderCalls));
  iscLogCallReport(s.Report);
  return 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "info",
    "What a VCF file holds: samples x variants, contigs, INFO/FORMAT keys, gVCF, compression",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto file = std::make_shared<std::string>();
      auto genotypes = std::make_shared<bool>(false);
      sub.add_option("FILE", *file, "VCF file (plain, gzip or BGZF)")->required();
      sub.add_flag("--genotypes", *genotypes,
                   "Also walk GT and DP of every call: called and missing calls, calls per "
                   "ploidy, depth quantiles");
      return [file, genotypes]() { return RunInfo(*file, *genotypes); };
    }});

}  // namespace
