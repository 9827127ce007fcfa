// Start-up and shutdown of the headless parts: order of effects, second scExit.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/zelGivenUser.h"
#include "core/zelSettings.h"
#include "core/zelStartup.h"
#include "core/zelUser.h"
#include "coreFixture.h"

namespace {

class TCounted : public TZelObject {
 public:
  explicit TCounted(int* deaths) : FDeaths(deaths) {}
  ~TCounted() override { ++*FDeaths; }

 private:
  int* FDeaths;
};

class StartupTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    ZelRegisterCommand({"scExit", [](const std::vector<std::string>&) { scExit(); }, {}});
    ZelRegisterCommand(
        {"scListCommands", [](const std::vector<std::string>&) { scListCommands(); }, {}});
  }
  void TearDown() override {
    ZelSetTerminateHandler(nullptr);
    ZelSetThreads(0);
    CoreTest::TearDown();
  }
};

TEST_F(StartupTest, InitBuildsTheTableAndHooksTheRegistryToPanelOne) {
  iscZelUserError("left from before");
  scUiSetState(1);
  ASSERT_FALSE(iscZelInit());
  EXPECT_FALSE(ZelExiting());
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(ZelUiState().Panels[5], "Idle");
  EXPECT_EQ(ZelUiState().Panels[0], "No file");
  EXPECT_EQ(ZelFunctionTable.ft.nZelFunctions, 2u);
  EXPECT_EQ(ZelSettings.ZelIniName, "zel.ini");
  int deaths = 0;
  AddObj2ObjList(std::make_unique<TCounted>(&deaths), oVCF);
  AddObj2ObjList(std::make_unique<TCounted>(&deaths), oDist);
  EXPECT_EQ(ZelUiState().Panels[1], "1");
  DeleteAllObjects();
  EXPECT_EQ(deaths, 2);
}

TEST_F(StartupTest, ExitRunsHooksDeletesObjectsAndTerminatesOnce) {
  ASSERT_FALSE(iscZelInit());
  int deaths = 0, terminated = 0;
  std::vector<int> hooks;
  ZelAddExitHook([&] { hooks.push_back(1); });
  ZelAddExitHook([&] {
    hooks.push_back(2);
    EXPECT_EQ(deaths, 0) << "pools stop before objects go";
  });
  ZelSetTerminateHandler([&] { ++terminated; });
  AddObj2ObjList(std::make_unique<TCounted>(&deaths), oVCF);
  ZelRunCmd("scExit");
  EXPECT_TRUE(ZelExiting());
  EXPECT_EQ(deaths, 1);
  EXPECT_EQ(terminated, 1);
  EXPECT_EQ(hooks, (std::vector<int>{2, 1}));
  EXPECT_EQ(ZelUiState().Panels[5], "Idle");
  scExit();
  EXPECT_EQ(terminated, 1) << "a second call does nothing";
  EXPECT_EQ(hooks.size(), 2u);
}

TEST_F(StartupTest, ThreadCountDefaultsToAllCores) {
  ZelSetThreads(0);
  EXPECT_EQ(ZelThreads(), std::max(1u, std::thread::hardware_concurrency()));
  ZelSetThreads(3);
  EXPECT_EQ(ZelThreads(), 3u);
}

TEST(ZelCmdLineEcho, EchoesEveryArgumentAfterThePath) {
  const char* argv[] = {"/opt/zel/zel", "a.vcf", "b c.vcf"};
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  RunZelCmdLine(3, argv, out);
  std::fclose(out);
  EXPECT_EQ(std::string(text, size),
            "OFF\nZEL CMD LINE\nParams: \n0: /opt/zel/zel\n1: a.vcf\n2: b c.vcf\n");
  std::free(text);
}

TEST(ZelUser, DefaultCancelsEverythingAndGivenAnswersComeInOrder) {
  TZelObject structure;
  EXPECT_EQ(ZelUser().AskOpenFileName("Open", "*.vcf"), std::nullopt);
  EXPECT_EQ(ZelUser().AskSaveFileName("Save", "", ".txt"), std::nullopt);
  EXPECT_EQ(ZelUser().InputBox("Name", "Scheme", "x"), std::nullopt);
  EXPECT_FALSE(ZelUser().ShowGroupManager(structure));

  TZelGivenUser given;
  given.SaveFileNames = {"a.txt", std::nullopt};
  given.GroupManager = [](TZelObject&) { return true; };
  ZelSetUser(&given);
  EXPECT_EQ(ZelUser().AskSaveFileName("Save table", "", ""), "a.txt");
  EXPECT_EQ(ZelUser().AskSaveFileName("Save tree", "", ""), std::nullopt);
  EXPECT_EQ(ZelUser().AskSaveFileName("Save more", "", ""), std::nullopt);
  EXPECT_TRUE(ZelUser().ShowGroupManager(structure));
  EXPECT_EQ(given.Asked.size(), 4u);
  EXPECT_EQ(given.Asked[0], "Save table: ");
  ZelSetUser(nullptr);
  EXPECT_FALSE(ZelUser().ShowGroupManager(structure));
}

}  // namespace
