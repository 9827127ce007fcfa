// How a zelcli verb (info, fst, dist, ...) plugs into the front end: each verb file
// registers itself with a static TCliVerbRegistrar; main.cpp builds the CLI11 app from the list.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

struct TCliGlobals {
  unsigned Threads = 0;  // 0: all cores
  bool Quiet = false;
};

struct TCliVerb {
  std::string Name;
  std::string Help;
  // Declares the verb's options on its subcommand and returns what runs after parsing;
  // the result is the process exit status.
  std::function<std::function<int()>(CLI::App& sub, const TCliGlobals& globals)> Setup;
};

std::vector<TCliVerb>& CliVerbs();

struct TCliVerbRegistrar {
  explicit TCliVerbRegistrar(TCliVerb verb) { CliVerbs().push_back(std::move(verb)); }
};
