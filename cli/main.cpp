// zelcli: the headless front end. Runs interpreter lines and the verbs registered in
// cli/cliVerb.h; prints the log to stdout.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

#include "cli/cliSession.h"
#include "cli/cliVerb.h"
#include "commands/cmdTable.h"
#include "core/zelCmdTable.h"
#include "core/zelLog.h"
#include "core/zelVersion.h"

namespace {

std::string CommandFooter() {
  RegisterZelCommands();
  std::string names;
  for (const TZelCmdDef& d : ZelCommandRegistrations()) {
    names += "\n  " + d.Name;
    if (!d.Params.empty()) names += " WORD";
  }
  return "Interpreter commands (for cmd and run):" + names +
         "\n\nExit status: 0; 1 when a line named no command, had the wrong number of words or"
         "\nset the error flag, or a verb failed; 2 for a usage error (an unknown verb too).";
}

// The first word that is not a global option must name a verb. CLI11 would take an unknown
// word followed by --help as a request for the main help (status 0), so that a script could
// not tell a misspelt verb from a real one; it is a usage error whatever follows it.
bool UnknownVerb(int argc, char** argv, const CLI::App& app, std::string& word) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--threads") {
      ++i;
      continue;
    }
    if (!a.empty() && a[0] == '-') continue;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; }))
      if (sub->get_name() == a) return false;
    word = a;
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zelcli: the headless ZEL workbench for population genomics."};
  app.set_version_flag("--version", "zelcli " + std::string(cZelVersion));
  app.require_subcommand(1);
  app.fallthrough(true);
  app.footer(CommandFooter());

  TCliGlobals globals;
  app.add_option("--threads", globals.Threads, "Threads for parallel work (0: all cores)")
      ->check(CLI::NonNegativeNumber);
  app.add_flag("-q,--quiet", globals.Quiet,
               "No progress line and no echo of the lines zelcli runs");

  std::vector<std::string> lines;
  CLI::App* cmd = app.add_subcommand("cmd", "Run interpreter lines; the log goes to stdout");
  cmd->add_option("LINE", lines, "One command line, e.g. \"scListCommands\"")->required();

  std::string script;
  CLI::App* run = app.add_subcommand("run", "Run a file of interpreter lines ('#' comments)");
  run->add_option("FILE", script, "File of command lines")->required();
  bool keepGoing = false;
  run->add_flag("--keep-going", keepGoing, "Run the lines after a failing line as well");

  std::vector<std::pair<CLI::App*, std::function<int()>>> verbs;
  for (TCliVerb& v : CliVerbs()) {
    CLI::App* sub = app.add_subcommand(v.Name, v.Help);
    verbs.emplace_back(sub, v.Setup(*sub, globals));
  }

  std::string unknown;
  if (UnknownVerb(argc, argv, app, unknown)) {
    std::fprintf(stderr, "zelcli: unknown verb '%s'\nRun with --help for more information.\n",
                 unknown.c_str());
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  if (!CliStart(globals)) return CliFinish(1);
  int status = 0;
  if (app.got_subcommand(cmd)) {
    // Every line runs (a failing one makes the status 1) until scExit.
    for (const std::string& line : lines)
      if (CliRunLine(line) == TCliLineResult::Exited) break;
  } else if (app.got_subcommand(run)) {
    CliRunFile(script, keepGoing);
  } else {
    for (auto& [sub, runner] : verbs) {
      if (!app.got_subcommand(sub) || !runner) continue;
      // As in the interpreter: nothing a verb throws ends the process without the log.
      try {
        status = runner();
      } catch (const std::exception& e) {
        iscZelError(e.what(), sub->get_name());
      } catch (...) {
        iscZelError("Unexpected failure", sub->get_name());
      }
    }
  }
  return CliFinish(status);
}
