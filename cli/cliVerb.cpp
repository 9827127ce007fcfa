// The list of zelcli verbs, filled by each verb file's static registrar before main runs.
#include "cli/cliVerb.h"

std::vector<TCliVerb>& CliVerbs() {
  static std::vector<TCliVerb> verbs;
  return verbs;
}
