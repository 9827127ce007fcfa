// The shared --popmap/--scheme options: parsing on a subcommand and their application.
#include "cli/popOptions.h"

#include <gtest/gtest.h>

#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "popgen/bioDS.h"
#include "tests/core/coreFixture.h"

namespace {

using TLines = std::vector<std::string>;

std::string Map(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/pop/" + name; }

// Starts every test from a fresh core state (registry, log, error flag, interface state).
class PopOptionsTest : public CoreTest {
 protected:
  // Parses "verb ARGS..." on an app with one verb carrying the options.
  static void Parse(const std::vector<std::string>& args, TPopCliOptions& opts) {
    CLI::App app;
    CLI::App* verb = app.add_subcommand("verb");
    AddPopOptions(*verb, opts);
    std::vector<std::string> argv{"verb"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::reverse(argv.begin(), argv.end());  // CLI11 takes the arguments last first
    app.parse(argv);
  }
};

TEST_F(PopOptionsTest, ParsesBothOptions) {
  TPopCliOptions opts;
  Parse({"--popmap", "m.txt", "--scheme", "site"}, opts);
  EXPECT_EQ(opts.PopMap, "m.txt");
  EXPECT_EQ(opts.Scheme, "site");
  TPopCliOptions none;
  Parse({}, none);
  EXPECT_TRUE(none.PopMap.empty());
  EXPECT_TRUE(none.Scheme.empty());
}

TEST_F(PopOptionsTest, SchemeWithoutMapIsAUsageError) {
  TPopCliOptions opts;
  EXPECT_THROW(Parse({"--scheme", "site"}, opts), CLI::RequiresError);
}

TEST_F(PopOptionsTest, SharedStorageVariant) {
  CLI::App app;
  CLI::App* verb = app.add_subcommand("verb");
  std::shared_ptr<TPopCliOptions> opts = AddPopOptions(*verb);
  app.parse(std::vector<std::string>{"x.map", "--popmap", "verb"});
  EXPECT_EQ(opts->PopMap, "x.map");
}

TEST_F(PopOptionsTest, ApplyLoadsAndSelectsWithTheCommandsLines) {
  EXPECT_TRUE(ApplyPopOptions({}));
  EXPECT_TRUE(ZelLogLines().empty());
  EXPECT_EQ(ZelObjCount(), 0);

  ASSERT_TRUE(ApplyPopOptions({Map("example.popmap"), "site"}));
  EXPECT_EQ(ZelLogLines(), (TLines{"Loaded population map from file: " + Map("example.popmap"),
                                   "Selecting population scheme: site"}));
  auto* ds = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
  ASSERT_NE(ds, nullptr);
  EXPECT_EQ(ds->CurrPopScheme(), 1u);

  ASSERT_TRUE(ApplyPopOptions({Map("label_order.popmap"), ""}));
  EXPECT_EQ(GetLastObjOfTypeAs<TBioDataSet>(oBioDS)->CurrPopScheme(), 0u);
}

TEST_F(PopOptionsTest, ApplyStopsAtTheFirstError) {
  EXPECT_FALSE(ApplyPopOptions({Map("short_row.popmap"), "region"}));
  ASSERT_EQ(ZelLogLines().size(), 1u);  // the scheme was not tried
  EXPECT_TRUE(ZelLogLines()[0].starts_with("ERROR [U]: Population map row has 2 fields"));
  scClearLog();
  EXPECT_FALSE(ApplyPopOptions({Map("example.popmap"), "nope"}));
  EXPECT_EQ(ZelLogLines().back(), "ERROR [U]: Population scheme \"nope\" not found.");
  EXPECT_TRUE(iscZelHasError(false));
}

}  // namespace
