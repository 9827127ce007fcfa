// The interpreter: normalisation, echo, lookup, argument check, Busy/Idle bracket and
// exceptions stopped at the command boundary.
#include <new>
#include <stdexcept>

#include "coreFixture.h"

namespace {

class InterpreterTest : public CoreTest {
 protected:
  std::vector<std::string> Calls;    // what the commands received
  std::vector<uint8_t> StateInside;  // indicator seen while a command runs

  void SetUp() override {
    CoreTest::SetUp();
    auto rec = [this](const std::string& name) {
      return [this, name](const std::vector<std::string>& a) {
        StateInside.push_back(ZelUiState().State);
        Calls.push_back(a.empty() ? name : name + "(" + a[0] + ")");
      };
    };
    ZelRegisterCommand({"scNone", rec("scNone"), {}});
    ZelRegisterCommand({"scText", rec("scText"), {tPCharA}});
    ZelRegisterCommand({"scFile", rec("scFile"), {tPCharU}});
    ZelRegisterCommand(
        {"scListCommands", [](const std::vector<std::string>&) { scListCommands(); }, {}});
    ZelRegisterCommand({"scFails",
                        [](const std::vector<std::string>&) { iscZelUserError("Nothing loaded"); },
                        {}});
    ZelRegisterCommand(
        {"scThrows",
         [](const std::vector<std::string>&) { throw std::runtime_error("disk gone."); },
         {}});
    ZelRegisterCommand(
        {"scNoMem", [](const std::vector<std::string>&) { throw std::bad_alloc(); }, {}});
    ZelRegisterCommand({"scOdd", [](const std::vector<std::string>&) { throw 42; }, {}});
    ASSERT_TRUE(MakeZelFunctionTable());
  }
};

struct TRunCase {
  std::string Line;
  std::vector<std::string> Log;
  std::vector<std::string> Calls;
};

TEST_F(InterpreterTest, LinesGiveExactlyTheseLogLinesAndCalls) {
  const std::vector<TRunCase> cases = {
      {"scNone", {">scNone"}, {"scNone"}},
      {"   scNone   ", {">   scNone   "}, {"scNone"}},
      {"scText   hello", {">scText   hello"}, {"scText(hello)"}},
      {"scFile /tmp/a.vcf", {">scFile /tmp/a.vcf"}, {"scFile(/tmp/a.vcf)"}},
      {"", {">"}, {}},
      {"     ", {">     "}, {}},
      {"scnone", {">scnone", "Unknown command: scnone"}, {}},
      {"  nosuch  x ", {">  nosuch  x ", "Unknown command:   nosuch  x "}, {}},
      // Tabs are ordinary characters, so the word is "scNone\t".
      {"scNone\t", {">scNone\t", "Unknown command: scNone\t"}, {}},
      {"scText", {">scText", "Wrong number of parameters for scText ... shd be: 1 is: 0"}, {}},
      {"scText a b",
       {">scText a b", "Wrong number of parameters for scText ... shd be: 1 is: 2"},
       {}},
      {"scNone x", {">scNone x", "Wrong number of parameters for scNone ... shd be: 0 is: 1"}, {}},
      {"  scListCommands  ",
       {">  scListCommands  ",
        "scNone - scText - scFile - scListCommands - scFails - scThrows - scNoMem - scOdd"},
       {}},
  };
  for (const TRunCase& c : cases) {
    SCOPED_TRACE("line: [" + c.Line + "]");
    scClearLog();
    Calls.clear();
    ZelRunCmd(c.Line);
    EXPECT_EQ(Lines(), c.Log);
    EXPECT_EQ(Calls, c.Calls);
    EXPECT_EQ(ZelUiState().Panels[5], "Idle");
  }
}

TEST_F(InterpreterTest, CommandRunsBusyAndEndsIdle) {
  EXPECT_TRUE(ZelRunCmd("scNone"));
  ASSERT_EQ(StateInside.size(), 1u);
  EXPECT_EQ(StateInside[0], 1);
  EXPECT_EQ(ZelUiState().State, 0);
  EXPECT_FALSE(ZelCmdRunning());
}

TEST_F(InterpreterTest, RejectedLinesLeaveTheIndicatorAlone) {
  scUiSetState(2);
  EXPECT_FALSE(ZelRunCmd("nosuch"));
  EXPECT_FALSE(ZelRunCmd("scNone extra"));
  EXPECT_EQ(ZelUiState().Panels[5], "ERROR");
  EXPECT_FALSE(iscZelHasError(false)) << "the log line stays a plain line";
}

TEST_F(InterpreterTest, ErrorOfACommandEndsIdleWithTheFlagStillSet) {
  EXPECT_TRUE(ZelRunCmd("scFails")) << "the line ran; its failure is the flag's";
  EXPECT_EQ(Lines(), (std::vector<std::string>{">scFails", "ERROR [U]: Nothing loaded."}));
  EXPECT_EQ(ZelUiState().Panels[5], "Idle");
  EXPECT_TRUE(iscZelHasError(false));
}

TEST_F(InterpreterTest, ExceptionsAreReportedAsErrorsOfTheCommand) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"scThrows", "ERROR [scThrows]: disk gone."},
      {"scNoMem", "ERROR [scNoMem]: Out of memory."},
      {"scOdd", "ERROR [scOdd]: Unexpected failure."},
  };
  for (const auto& [line, error] : cases) {
    SCOPED_TRACE(line);
    scClearLog();
    iscZelHasError(true);
    EXPECT_NO_THROW(ZelRunCmd(line));
    EXPECT_EQ(Lines(), (std::vector<std::string>{">" + line, error}));
    EXPECT_EQ(ZelUiState().Panels[5], "Idle");
    EXPECT_EQ(ZelUiState().State, 0);
    EXPECT_FALSE(ZelCmdRunning());
    EXPECT_TRUE(iscZelHasError(false));
  }
}

TEST(CommandTable, SetLenResizesEveryArrayWithEmptyEntries) {
  TZelFunctionTableI t;
  t.SetLen(3);
  EXPECT_EQ(t.ft.nZelFunctions, 3u);
  EXPECT_EQ(t.ft.FunctionName.size(), 3u);
  EXPECT_EQ(t.ft.FunctionPtr.size(), 3u);
  EXPECT_EQ(t.ft.ReturnType.size(), 3u);
  EXPECT_EQ(t.ft.FuncDescr.size(), 3u);
  EXPECT_EQ(t.ft.nParams, std::vector<uint8_t>(3, 0));
  EXPECT_EQ(t.ft.PParams.size(), 3u);
  EXPECT_EQ(t.ft.PDefaultVal.size(), 3u);
  EXPECT_EQ(t.ft.PParamNames.size(), 3u);
  EXPECT_EQ(t.ft.ParamDescr.size(), 3u);
  EXPECT_EQ(t.ft.FunctSortID, std::vector<uint32_t>(3, 0));
  t.SetLen(1);
  EXPECT_EQ(t.ft.nZelFunctions, 1u);
  EXPECT_EQ(t.ft.FunctSortID.size(), 1u);
}

TEST_F(CoreTest, TableIsNotBuiltFromABadRegistrationList) {
  auto nop = [](const std::vector<std::string>&) {};
  EXPECT_FALSE(MakeZelFunctionTable()) << "empty list";
  ZelRegisterCommand({"scA", nop, {}});
  ZelRegisterCommand({"scA", nop, {}});
  EXPECT_FALSE(MakeZelFunctionTable()) << "repeated name";
  ZelClearCommandRegistrations();
  ZelRegisterCommand({"scB", nop, {tPCharA, tPCharA}});
  EXPECT_FALSE(MakeZelFunctionTable()) << "two arguments";
  ZelClearCommandRegistrations();
  ZelRegisterCommand({"scB", nop, {tPCharA}});
  ZelRegisterCommand({"scC", nop, {}});
  ASSERT_TRUE(MakeZelFunctionTable());
  EXPECT_EQ(ZelFunctionTable.ft.nZelFunctions, 2u);
  EXPECT_EQ(ZelFunctionTable.ft.nZelCoreFunctions, 2u);
  EXPECT_EQ(ZelFunctionTable.ft.nParams, (std::vector<uint8_t>{1, 0}));
  EXPECT_EQ(ZelFunctionTable.ft.PParams[0], std::vector<TZelBaseType>{tPCharA});
}

}  // namespace

namespace {

// The library reports it; only the front end ends the process.
TEST(CommandTable, StartUpReportsATableThatCannotBeBuilt) {
  ZelClearCommandRegistrations();
  const TZelErr e = iscInitFunctionList();
  EXPECT_EQ(e.Msg, "The command table could not be built");
}

}  // namespace
