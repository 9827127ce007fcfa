// End-to-end: the plug-in list through the interpreter of zelcli, twice, exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/cli/cliRun.h"

namespace {

TEST(ZelcliPlugins, ListPluginsLogsTheHostEntryTheSameEachTime) {
  const std::string exe = std::filesystem::canonical(ZELCLI_PATH).string();
  const std::string block = "-- Plugins -- \nZEL 0.0.0113 in " + exe + "\n-- -- -- -- --\n";
  const TCliRun r = RunZelcli({"cmd", "scListPlugins", "scRemoteCmd scListPlugins"});
  EXPECT_EQ(r.Out,
            ">scListPlugins\n" + block + ">scRemoteCmd scListPlugins\n>scListPlugins\n" + block);
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(r.Status, 0);
}

}  // namespace
