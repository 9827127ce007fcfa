// zelcli: the headless front end. Runs interpreter lines and the verbs registered in
// cli/cliVerb.h; prints the log to stdout.
#include <CLI/CLI.hpp>
#include <exception>

#include "cli/cliSession.h"
#include "cli/cliVerb.h"
#include "commands/cmdTable.h"
#include "core/zelCmdTable.h"
#include "core/zelLog.h"

namespace {

std::string CommandFooter() {
  RegisterZelCommands();
  std::string names;
  for (const TZelCmdDef& d : ZelCommandRegistrations()) {
    names += "\n  " + d.Name;
    if (!d.Params.empty()) names += " WORD";
  }
  return "Interpreter commands (for cmd and run):" + names +
         "\n\nExit status: 0, 1 when the error flag is set at the end, 2 for a usage error.";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"zelcli: the headless ZEL workbench for population genomics."};
  app.set_version_flag("--version", "zelcli 0.0.0113");
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

  std::vector<std::pair<CLI::App*, std::function<int()>>> verbs;
  for (TCliVerb& v : CliVerbs()) {
    CLI::App* sub = app.add_subcommand(v.Name, v.Help);
    verbs.emplace_back(sub, v.Setup(*sub, globals));
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  CliStart(globals);
  int status = 0;
  if (app.got_subcommand(cmd)) {
    for (const std::string& line : lines)
      if (!CliRunLine(line)) break;
  } else if (app.got_subcommand(run)) {
    CliRunFile(script);
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
