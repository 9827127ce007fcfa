// Remote requests: posted from any thread, run later in posting order, never during a post
// or a running command, never lost.
#include <thread>

#include "coreFixture.h"

namespace {

class RemoteTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    ZelRegisterCommand({"scClearLog", [](const std::vector<std::string>&) { scClearLog(); }, {}});
    ZelRegisterCommand({"scZelLogA",
                        [](const std::vector<std::string>& a) { scZelLogA(a[0].c_str()); },
                        {tPCharA}});
    ZelRegisterCommand({"scRemoteCmd",
                        [](const std::vector<std::string>& a) { scRemoteCmd(0, a[0].c_str()); },
                        {tPCharA}});
    // Posts from a second thread while it runs, then lets the front end pump events.
    ZelRegisterCommand({"scPostFromThread",
                        [](const std::vector<std::string>&) {
                          std::thread t([] {
                            for (int i = 0; i < 50; ++i)
                              scRemoteCmd(0, ("scZelLogA t" + std::to_string(i)).c_str());
                          });
                          t.join();
                          EXPECT_EQ(ZelDrainRemoteCmds(), 0u) << "nothing runs inside a command";
                          iscZelLog("command done");
                        },
                        {}});
    ASSERT_TRUE(MakeZelFunctionTable());
  }
};

TEST_F(RemoteTest, ClearLogRequestRunsWhenDrainedNotWhenPosted) {
  iscZelLog("keep me until drained");
  EXPECT_NE(scRemoteCmd(0, "scClearLog"), 0);
  EXPECT_EQ(Lines(), std::vector<std::string>{"keep me until drained"});
  EXPECT_EQ(ZelPendingRemoteCmds(), 1u);
  EXPECT_EQ(ZelDrainRemoteCmds(), 1u);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(ZelPendingRemoteCmds(), 0u);
}

TEST_F(RemoteTest, RequestPostedByACommandRunsAfterIt) {
  ZelRunCmd("scRemoteCmd scZelLogA");  // posts "scZelLogA" (wrong count, but it runs later)
  ZelRunCmd("scZelLogA after");
  EXPECT_EQ(Lines(),
            (std::vector<std::string>{">scRemoteCmd scZelLogA", ">scZelLogA after", "after"}));
  ZelDrainRemoteCmds();
  EXPECT_EQ(Lines().back(), "Wrong number of parameters for scZelLogA ... shd be: 1 is: 0");
}

TEST_F(RemoteTest, SecondThreadRequestsRunAfterTheCurrentCommandInPostingOrder) {
  ZelRunCmd("scPostFromThread");
  ASSERT_EQ(Lines().back(), "command done");
  ASSERT_EQ(ZelPendingRemoteCmds(), 50u);
  scClearLog();
  EXPECT_EQ(ZelDrainRemoteCmds(), 50u);
  std::vector<std::string> want;
  for (int i = 0; i < 50; ++i) {
    want.push_back(">scZelLogA t" + std::to_string(i));
    want.push_back("t" + std::to_string(i));
  }
  EXPECT_EQ(Lines(), want);
}

TEST_F(RemoteTest, ManyThreadsLoseNothingAndKeepEachThreadsOrder) {
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::thread> ts;
  for (int t = 0; t < kThreads; ++t)
    ts.emplace_back([t] {
      for (int i = 0; i < kEach; ++i)
        scRemoteCmd(0, ("scZelLogA " + std::to_string(t) + ":" + std::to_string(i)).c_str());
    });
  for (auto& t : ts) t.join();
  scClearLog();
  EXPECT_EQ(ZelDrainRemoteCmds(), static_cast<size_t>(kThreads * kEach));
  std::vector<int> next(kThreads, 0);
  for (const std::string& l : Lines()) {
    if (l[0] == '>') continue;
    const int t = std::stoi(l.substr(0, l.find(':')));
    EXPECT_EQ(std::stoi(l.substr(l.find(':') + 1)), next[t]++);
  }
  EXPECT_EQ(next, std::vector<int>(kThreads, kEach));
}

TEST_F(RemoteTest, RequestsPostedWhileDrainingRunInTheSameDrainAfterTheOthers) {
  scRemoteCmd(0, "scRemoteCmd scClearLog");
  scRemoteCmd(0, "scZelLogA second");
  EXPECT_EQ(ZelDrainRemoteCmds(), 3u);
  EXPECT_TRUE(Lines().empty()) << "the clear posted by the first request ran last";
}

TEST_F(RemoteTest, NotifyIsCalledOnEveryPostAndAbsentTextIsRefused) {
  int notified = 0;
  ZelSetRemoteCmdNotify([&] { ++notified; });
  EXPECT_EQ(scRemoteCmd(0, nullptr), 0);
  scRemoteCmd(12345, "scZelLogA x");
  ZelSetRemoteCmdNotify(nullptr);
  EXPECT_EQ(notified, 1);
  EXPECT_EQ(ZelDrainRemoteCmds(), 1u);
}

TEST_F(RemoteTest, SwitchedOffRequestsAreDroppedWhenDrained) {
  scRemoteCmd(0, "scZelLogA x");
  Remoteable = false;
  EXPECT_EQ(ZelDrainRemoteCmds(), 0u);
  EXPECT_EQ(ZelPendingRemoteCmds(), 0u);
  EXPECT_TRUE(Lines().empty());
}

}  // namespace
