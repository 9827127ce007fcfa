// zelcli fasta list FILE | fasta grab FILE --names NAMES_FILE --out OUT: the header lines of a
// FASTA file (plain, gzip or BGZF), and the entries named in a file written to a new one.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/cliVerb.h"
#include "commands/cmdSeq.h"
#include "core/zelLog.h"
#include "fileaccess/korFileIO.h"

namespace {

int RunList(const std::string& file) {
  if (!scLoadFastaFile(file)) return 1;
  // Straight to standard output, one header per line: a long list does not fill the log.
  const bool ok = iscListFastaSeq([](const std::string& name) {
    std::fwrite(name.data(), 1, name.size(), stdout);
    std::fputc('\n', stdout);
  });
  return ok ? 0 : 1;
}

int RunGrab(const std::string& file, const std::string& namesFile, const std::string& out) {
  std::vector<std::string> lines;
  if (ReadTextFile(namesFile, lines) != 0) {
    iscZelError(TZelErr::User("Cannot read names file", namesFile));
    return 1;
  }
  std::vector<std::string> names;
  for (std::string& l : lines)
    if (!l.empty()) names.push_back(std::move(l));
  if (names.empty()) {
    iscZelError(TZelErr::User("No names in names file", namesFile));
    return 1;
  }
  if (!scLoadFastaFile(file)) return 1;
  return iscGrabSelFasta2File(names, out) ? 0 : 1;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "fasta", "FASTA files: list the header lines, or grab named entries into a new file",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      sub.require_subcommand(1);
      auto file = std::make_shared<std::string>();
      auto names = std::make_shared<std::string>();
      auto out = std::make_shared<std::string>();
      CLI::App* list = sub.add_subcommand("list", "Print every header line, in file order");
      list->add_option("FILE", *file, "FASTA file (plain, gzip or BGZF)")->required();
      CLI::App* grab = sub.add_subcommand(
          "grab",
          "Write the entries whose whole header line is named in NAMES_FILE (one per line) to "
          "OUT, in file order, one sequence line each, CR LF line breaks");
      grab->add_option("FILE", *file, "FASTA file (plain, gzip or BGZF)")->required();
      grab->add_option("--names", *names, "File of header lines, one per line")->required();
      grab->add_option("--out", *out, "FASTA file to write (replaced)")->required();
      return [list, file, names, out]() {
        return list->parsed() ? RunList(*file) : RunGrab(*file, *names, *out);
      };
    }});

}  // namespace
