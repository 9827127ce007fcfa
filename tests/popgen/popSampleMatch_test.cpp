// Structures meeting VCF samples: same order, another order, differing names, other counts.
#include "popgen/popSampleMatch.h"

#include <gtest/gtest.h>

namespace {

using Names = TPopNames;

TPopStructure Map() {
  TPopStructure s;
  EXPECT_FALSE(s.LoadFromPopMapText("<SAMPLES>\tg\nA\tx\nB\ty\nC\tx\nD\t.\n", "m"));
  return s;
}

TEST(PopSampleMatch, SameOrderIsSilentIdentity) {
  const TPopSampleMatch m = MatchPopToSamples(Map(), {"A", "B", "C", "D"});
  EXPECT_FALSE(m.Err);
  EXPECT_FALSE(m.ByName);
  EXPECT_EQ(m.SampleToInd, (TPopIdList{0, 1, 2, 3}));
  EXPECT_TRUE(m.Infos.empty());
  EXPECT_TRUE(m.Warnings.empty());
  EXPECT_EQ(m.SampleMembership(Map().Schemes[0]), (TPopIdList{0, 1, 0, kPopNone}));
}

TEST(PopSampleMatch, OtherOrderMatchesByNameAndSaysSo) {
  const TPopStructure s = Map();
  const TPopSampleMatch m = MatchPopToSamples(s, {"C", "D", "A", "B"});
  EXPECT_FALSE(m.Err);
  EXPECT_TRUE(m.ByName);
  EXPECT_EQ(m.SampleToInd, (TPopIdList{2, 3, 0, 1}));
  EXPECT_EQ(m.IndToSample, (TPopIdList{2, 3, 0, 1}));
  ASSERT_EQ(m.Infos.size(), 1u);
  EXPECT_NE(m.Infos[0].find("matched by name"), std::string::npos);
  EXPECT_TRUE(m.Warnings.empty());
  // Sample column 0 is C (population x), column 1 is D (unassigned), ...
  EXPECT_EQ(m.SampleMembership(s.Schemes[0]), (TPopIdList{0, kPopNone, 0, 1}));
}

TEST(PopSampleMatch, DifferingNamesStayPositionalWithAWarning) {
  const TPopSampleMatch m = MatchPopToSamples(Map(), {"A", "b", "c", "E"});
  EXPECT_FALSE(m.Err);
  EXPECT_FALSE(m.ByName);
  EXPECT_EQ(m.SampleToInd, (TPopIdList{0, 1, 2, 3}));
  EXPECT_TRUE(m.Infos.empty());
  ASSERT_EQ(m.Warnings.size(), 1u);
  EXPECT_EQ(m.Warnings[0],
            "Population map names differ from the VCF sample names at 3 of 4 positions; "
            "individuals are matched by position (map / VCF: column 2 \"B\" / \"b\", column 3 "
            "\"C\" / \"c\", column 4 \"D\" / \"E\")");
}

TEST(PopSampleMatch, WarningNamesOnlyTheFirstFewPairs) {
  const TPopSampleMatch m = MatchPopToSamples(Map(), {"w", "x", "y", "z"});
  ASSERT_EQ(m.Warnings.size(), 1u);
  EXPECT_NE(m.Warnings[0].find("at 4 of 4 positions"), std::string::npos);
  EXPECT_TRUE(m.Warnings[0].ends_with("column 3 \"C\" / \"y\", ...)")) << m.Warnings[0];
}

TEST(PopSampleMatch, RepeatedVcfNamesCannotMatchByName) {
  // Same count, every VCF name is a map name, but one twice: not a reordering.
  const TPopSampleMatch m = MatchPopToSamples(Map(), {"B", "A", "A", "D"});
  EXPECT_FALSE(m.ByName);
  EXPECT_EQ(m.Warnings.size(), 1u);
  EXPECT_EQ(m.SampleToInd, (TPopIdList{0, 1, 2, 3}));
}

TEST(PopSampleMatch, OtherCountIsAUserError) {
  for (const Names& samples : {Names{"A", "B", "C"}, Names{"A", "B", "C", "D", "E"}, Names{}}) {
    const TPopSampleMatch m = MatchPopToSamples(Map(), samples);
    ASSERT_TRUE(m.Err.IsError());
    EXPECT_EQ(m.Err.Sender, "U");
    EXPECT_EQ(m.Err.Msg, "The population map has 4 individuals but the VCF file has " +
                             std::to_string(samples.size()) + " samples");
    EXPECT_TRUE(m.SampleToInd.empty());
  }
}

}  // namespace
