// The command table as the program registers it: fourteen commands in table order with
// their argument counts and kinds, run through the interpreter.
#include "commands/cmdTable.h"

#include <gtest/gtest.h>

#include "core/zelCmdTable.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelRemote.h"
#include "core/zelUiState.h"

namespace {

const std::vector<std::string> kNames = {
    "scExit",        "scZelLogA",      "scLoadVcfFile", "scLoadPopMap",         "scCloseActiveFile",
    "scListPlugins", "scListCommands", "scUiSetState",  "scVcfListSampleNames", "scClearLog",
    "scVcfPwUDist",  "scPCoA",         "scRemoteCmd",   "scSelectPopScheme"};

class CmdTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterZelCommands();
    ASSERT_TRUE(MakeZelFunctionTable());
    ZelDrainRemoteCmds();
    scClearLog();
    iscZelHasError(true);
    ZelUiReset();
  }
  void TearDown() override {
    ZelDrainRemoteCmds();
    scClearLog();
    iscZelHasError(true);
  }
};

TEST_F(CmdTableTest, FourteenCommandsInTableOrderWithTheirArgumentKinds) {
  const TZelFunctionTable& ft = ZelFunctionTable.ft;
  EXPECT_EQ(ft.nZelFunctions, 14u);
  EXPECT_EQ(ft.nZelCoreFunctions, 14u);
  EXPECT_EQ(ft.FunctionName, kNames);
  for (uint32_t i = 0; i < ft.nZelFunctions; ++i) {
    SCOPED_TRACE(ft.FunctionName[i]);
    const std::string& n = ft.FunctionName[i];
    std::vector<TZelBaseType> want;
    if (n == "scZelLogA" || n == "scRemoteCmd" || n == "scSelectPopScheme") want = {tPCharA};
    if (n == "scLoadVcfFile" || n == "scLoadPopMap") want = {tPCharU};
    EXPECT_EQ(ft.nParams[i], want.size());
    EXPECT_EQ(ft.PParams[i], want);
    EXPECT_TRUE(ft.FunctionPtr[i]);
    EXPECT_EQ(ft.ReturnType[i], 0);
    EXPECT_EQ(ft.FunctSortID[i], 0u);
  }
}

TEST_F(CmdTableTest, ListCommandsWithSpacesEchoesTheRawTextThenTheNames) {
  ZelRunCmd("  scListCommands  ");
  std::string joined;
  for (const std::string& n : kNames) joined += (joined.empty() ? "" : " - ") + n;
  EXPECT_EQ(ZelLogLines(), (std::vector<std::string>{">  scListCommands  ", joined}));
  EXPECT_EQ(joined.rfind("scExit - scZelLogA - scLoadVcfFile - ", 0), 0u);
}

TEST_F(CmdTableTest, ArgumentCountMessagesOfTheTable) {
  ZelRunCmd("scSelectPopScheme a b");
  ZelRunCmd("scSelectPopScheme");
  ZelRunCmd("scListCommands x");
  ZelRunCmd("sclistcommands");
  EXPECT_EQ(
      ZelLogLines(),
      (std::vector<std::string>{
          ">scSelectPopScheme a b",
          "Wrong number of parameters for scSelectPopScheme ... shd be: 1 is: 2",
          ">scSelectPopScheme",
          "Wrong number of parameters for scSelectPopScheme ... shd be: 1 is: 0",
          ">scListCommands x", "Wrong number of parameters for scListCommands ... shd be: 0 is: 1",
          ">sclistcommands", "Unknown command: sclistcommands"}));
}

TEST_F(CmdTableTest, UiSetStateFromTheInterpreterEndsIdle) {
  scUiSetState(2);
  ZelRunCmd("scUiSetState");
  EXPECT_EQ(ZelUiState().Panels[5], "Idle");
}

TEST_F(CmdTableTest, RemoteClearLogRunsAfterTheCommandThatPostedIt) {
  ZelRunCmd("scRemoteCmd scClearLog");
  ZelRunCmd("scZelLogA still-here");
  EXPECT_EQ(ZelLogLines().back(), "still-here");
  EXPECT_EQ(ZelDrainRemoteCmds(), 1u);
  EXPECT_TRUE(ZelLogLines().empty());
}

TEST_F(CmdTableTest, CloseActiveFileWithNothingOpenShowsDashes) {
  ZelRunCmd("scCloseActiveFile");
  EXPECT_EQ(ZelUiState().Panels[0], "--");
  EXPECT_EQ(GetActiveObj(), -1);
  EXPECT_FALSE(iscZelHasError(false));
}

TEST_F(CmdTableTest, DistanceCommandsRefuseWithoutInput) {
  ZelRunCmd("scVcfPwUDist");
  ZelRunCmd("scPCoA");
  EXPECT_EQ(ZelLogLines(),
            (std::vector<std::string>{">scVcfPwUDist", "ERROR [U]: Nothing loaded.", ">scPCoA",
                                      "ERROR [U]: PCoA: Need to operate on distance matrix."}));
  EXPECT_EQ(ZelUiState().Panels[5], "Idle");
}

}  // namespace
