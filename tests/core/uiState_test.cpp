// The headless interface state: indicator, panels, quick-select list and its observer.
#include "coreFixture.h"

namespace {

TEST_F(CoreTest, StartStateShowsNoFileNoDataIdle) {
  const TZelUiState& s = ZelUiState();
  EXPECT_EQ(s.Panels[0], "No file");
  EXPECT_EQ(s.Panels[2], "No data [0 x 0]");
  EXPECT_EQ(s.Panels[5], "Idle");
  EXPECT_EQ(s.State, 0);
  EXPECT_TRUE(s.QuickSelect.empty());
}

struct TStateCase {
  uint8_t Status;
  std::string Word;
  TZelRgb Colour;
};

TEST_F(CoreTest, IndicatorStatesAndColours) {
  const std::vector<TStateCase> cases = {
      {1, "Busy", {255, 140, 0}}, {2, "ERROR", {255, 0, 0}}, {0, "Idle", {0, 255, 0}}};
  int repaints = 0;
  ZelUiSetObserver([&](const TZelUiState&) { ++repaints; });
  for (const TStateCase& c : cases) {
    scUiSetState(c.Status);
    EXPECT_EQ(ZelUiState().Panels[5], c.Word);
    EXPECT_EQ(ZelUiState().State, c.Status);
    EXPECT_EQ(ZelUiState().Colour.R, c.Colour.R);
    EXPECT_EQ(ZelUiState().Colour.G, c.Colour.G);
    EXPECT_EQ(ZelUiState().Colour.B, c.Colour.B);
  }
  EXPECT_EQ(repaints, 3);
}

TEST_F(CoreTest, UnknownStateChangesNothingButRepaints) {
  scUiSetState(1);
  int repaints = 0;
  ZelUiSetObserver([&](const TZelUiState&) { ++repaints; });
  scUiSetState(7);
  EXPECT_EQ(repaints, 1);
  EXPECT_EQ(ZelUiState().Panels[5], "Busy");
  EXPECT_EQ(ZelUiState().Colour.G, 140);
}

TEST_F(CoreTest, FileNamePanelShortensLongNames) {
  const std::string p29 = "/data/project/file_0001.vcf.g";  // 29 characters
  ASSERT_EQ(p29.size(), 29u);
  scUiSetFileName(p29);
  EXPECT_EQ(ZelUiState().Panels[0], p29);
  const std::string p30 = "/data/project/file_00001.vcf.g";  // 30 characters
  scUiSetFileName(p30);
  EXPECT_EQ(ZelUiState().Panels[0], "/data..." + p30.substr(1));
  // Characters, not bytes: a name is never cut inside a character.
  std::string u = "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";  // six e-acute
  u += std::string(28, 'x');
  scUiSetFileName(u);
  EXPECT_EQ(ZelUiState().Panels[0],
            "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9...\xC3\xA9" + std::string(28, 'x'));
}

TEST_F(CoreTest, OtherPanelsAndQuickSelectListAppend) {
  std::vector<TZelUiState> seen;
  ZelUiSetObserver([&](const TZelUiState& s) { seen.push_back(s); });
  scUiSetObject(4);
  scUiSetDataSize("96 x 1200");
  scUiSetPopScheme("Regions");
  iscAddQuickSelectScheme("Regions");
  iscAddQuickSelectScheme("Regions");
  EXPECT_EQ(ZelUiState().Panels[1], "4");
  EXPECT_EQ(ZelUiState().Panels[2], "96 x 1200");
  EXPECT_EQ(ZelUiState().Panels[3], "Regions");
  EXPECT_EQ(ZelUiState().QuickSelect, (std::vector<std::string>{"Regions", "Regions"}));
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[2].Panels[3], "Regions");
  EXPECT_TRUE(seen[2].QuickSelect.empty());
}

}  // namespace
