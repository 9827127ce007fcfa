// zelcli end to end with population maps: whole stdout and exit status of interpreter lines.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/cli/cliRun.h"

namespace {

std::string Map(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/pop/" + name; }

struct TCliCase {
  std::string Name;
  std::vector<std::string> Lines;
  std::string Out;
  int Status;
};

// The exit status after an error followed by successful lines is the front end's policy.
constexpr int kAnyStatus = -2;

TEST(PopCli, InterpreterLinesGiveExactlyThisOutput) {
  const std::string ex = Map("example.popmap");
  const std::string bad = Map("short_row.popmap");
  const std::vector<TCliCase> cases = {
      {"load and select",
       {"scLoadPopMap " + ex, "scSelectPopScheme site"},
       ">scLoadPopMap " + ex + "\nLoaded population map from file: " + ex +
           "\n>scSelectPopScheme site\nSelecting population scheme: site\n",
       0},
      {"scheme names are case-sensitive",
       {"scLoadPopMap " + ex, "scSelectPopScheme Site"},
       ">scLoadPopMap " + ex + "\nLoaded population map from file: " + ex +
           "\n>scSelectPopScheme Site\nERROR [U]: Population scheme \"Site\" not found.\n",
       1},
      {"malformed map",
       {"scLoadPopMap " + bad, "scSelectPopScheme region"},
       ">scLoadPopMap " + bad + "\nERROR [U]: Population map row has 2 fields where the header " +
           "has 3: " + bad + ", line 3.\n>scSelectPopScheme region\nERROR [U]: No suitable " +
           "population information available. .\n",
       1},
      {"refused map keeps the earlier data set",
       {"scLoadPopMap " + ex, "scLoadPopMap " + bad, "scSelectPopScheme region"},
       ">scLoadPopMap " + ex + "\nLoaded population map from file: " + ex + "\n>scLoadPopMap " +
           bad + "\nERROR [U]: Population map row has 2 fields where the header has 3: " + bad +
           ", line 3.\n>scSelectPopScheme region\nSelecting population scheme: region\n",
       kAnyStatus},
  };
  for (const TCliCase& c : cases) {
    std::vector<std::string> args{"cmd"};
    args.insert(args.end(), c.Lines.begin(), c.Lines.end());
    const TCliRun r = RunZelcli(args);
    EXPECT_EQ(r.Out, c.Out) << c.Name;
    if (c.Status != kAnyStatus) {
      EXPECT_EQ(r.Status, c.Status) << c.Name;
    }
  }
}

}  // namespace
