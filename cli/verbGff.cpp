// zelcli gff info FILE: what a GFF3 file (plain, gzip or BGZF) holds: directives, comment
// lines, the number of features and of each feature type.
#include <string>
#include <unordered_map>
#include <vector>

#include "cli/cliVerb.h"
#include "commands/cmdSeq.h"
#include "core/zelLog.h"
#include "seq/bioGFF3.h"

namespace {

int RunInfo(const std::string& file) {
  if (!scLoadGff3File(file)) return 1;
  const TGFF3File* gff = iscActiveGff3File();
  if (!gff) return 1;
  // Types in the order they first appear.
  std::vector<std::string> types;
  std::unordered_map<std::string, uint64_t> counts;
  for (const TGFF3Entry& f : gff->Features())
    if (counts[f.FeatureStr]++ == 0) types.push_back(f.FeatureStr);
  iscZelLog("File: " + file);
  iscZelLog("Directives: " + std::to_string(gff->MetaComments().size()));
  iscZelLog("Comment lines: " + std::to_string(gff->CommentLines().size()));
  iscZelLog("Features: " + std::to_string(gff->NFeatures()));
  iscZelLog("Feature types (" + std::to_string(types.size()) + "):");
  for (const std::string& t : types) iscZelLog("  " + t + "\t" + std::to_string(counts[t]));
  return 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "gff", "GFF3 files: info prints the number of features and of each feature type",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      sub.require_subcommand(1);
      auto file = std::make_shared<std::string>();
      CLI::App* info = sub.add_subcommand(
          "info", "Directives, comment lines, features and the count of each feature type");
      info->add_option("FILE", *file, "GFF3 file (plain, gzip or BGZF)")->required();
      return [file]() { return RunInfo(*file); };
    }});

}  // namespace
