// Population structures: init, adding populations, name checks, scheme queries, derivations.
#include "popgen/bioPop.h"

#include <gtest/gtest.h>

namespace {

using Names = TPopNames;

TPopStructure Make(const Names& names) {
  TPopStructure s;
  EXPECT_TRUE(s.init(names));
  return s;
}

TEST(PopStructureInit, AcceptsUniqueNamesAndSortsByBytes) {
  TPopStructure s;
  ASSERT_TRUE(s.init({"b", "B", "a10", "a2"}));
  EXPECT_EQ(s.nInd, 4u);
  EXPECT_EQ(s.IndNames, (Names{"b", "B", "a10", "a2"}));
  EXPECT_EQ(s.SortedIndNames, (Names{"B", "a10", "a2", "b"}));
  EXPECT_TRUE(s.Schemes.empty());
}

TEST(PopStructureInit, RefusesEmptyDuplicateAndUnwritableNames) {
  const std::vector<Names> cases = {{},      {"a", "b", "a"}, {"a", ""}, {"a", "b\tc"},
                                    {"a\r"}, {"x\ny"}};
  for (const Names& names : cases) {
    TPopStructure s = Make({"old"});
    ASSERT_TRUE(s.AddPop({"old"}, "P", false));
    EXPECT_FALSE(s.init(names));
    // A refused list leaves a consistent empty structure, never a stale count.
    EXPECT_EQ(s.nInd, 0u);
    EXPECT_TRUE(s.IndNames.empty());
    EXPECT_TRUE(s.Schemes.empty());
    EXPECT_TRUE(s.PopDef.empty());
  }
}

TEST(PopStructureAddPop, FirstPopulationOpensSchemeNamedByItsId) {
  TPopStructure s = Make({"i0", "i1", "i2", "i3"});
  ASSERT_TRUE(s.AddPop({"i2", "i0"}, "north", false));
  ASSERT_EQ(s.nSchemes(), 1u);
  const TPopScheme& sc = s.Schemes[0];
  EXPECT_EQ(sc.Name, "0");
  EXPECT_EQ(sc.PopNames, (Names{"north"}));
  EXPECT_EQ(sc.PopIndList[0], (TPopIdList{2, 0}));  // order given
  EXPECT_EQ(sc.PopMembership, (TPopIdList{0, kPopNone, 0, kPopNone}));
  EXPECT_EQ(sc.SchemeMask, (TPopMask{true, false, true, false}));
  EXPECT_EQ(sc.nIndInScheme, 2u);
  ASSERT_EQ(s.PopDef.size(), 1u);
  EXPECT_EQ(s.PopDef[0].SchemeId, 0u);
  EXPECT_EQ(s.PopDef[0].SchemePopNum, 0u);

  ASSERT_TRUE(s.AddPop({"i3"}, "south", false));
  EXPECT_EQ(s.nSchemes(), 1u);
  EXPECT_EQ(s.Schemes[0].PopMembership, (TPopIdList{0, kPopNone, 0, 1}));
  EXPECT_EQ(s.Schemes[0].IndIDs(), (TPopIdList{2, 0, 3}));
  EXPECT_EQ(s.PopDef[1].SchemePopNum, 1u);
}

TEST(PopStructureAddPop, UnknownNameOrEmptyListChangesNothing) {
  TPopStructure s = Make({"i0", "i1"});
  EXPECT_FALSE(s.AddPop({"i0", "nobody"}, "P", true));
  EXPECT_FALSE(s.AddPop({}, "P", true));
  EXPECT_TRUE(s.Schemes.empty());
  EXPECT_TRUE(s.PopDef.empty());
  TPopStructure empty;
  EXPECT_FALSE(empty.AddPop({"i0"}, "P", true));
}

TEST(PopStructureAddPop, RefusesNamesAMapCannotCarry) {
  TPopStructure s = Make({"i0", "i1"});
  for (const char* bad : {"", ".", "a\tb", "a\rb", "a\nb"}) {
    EXPECT_FALSE(s.AddPop({"i0"}, bad, true)) << bad;
    EXPECT_FALSE(s.IsAvailableName(bad, kPopNone)) << bad;
  }
  EXPECT_TRUE(s.PopDef.empty());
  EXPECT_EQ(s.AddValidPopListToScheme(".", {0}, {true, false}, kPopNone, ""), kPopNone);
  EXPECT_EQ(s.AddValidPopListToScheme("P", {0}, {true, false}, kPopNone, "a\tb"), kPopNone);
  EXPECT_TRUE(s.Schemes.empty());
}

TEST(PopStructureAddPop, ConflictsAndSchemes) {
  TPopStructure s = Make({"i0", "i1", "i2"});
  ASSERT_TRUE(s.AddPop({"i0"}, "A", false));
  // Without multiple schemes a member already placed is refused.
  EXPECT_FALSE(s.AddPop({"i0", "i1"}, "B", false));
  EXPECT_FALSE(s.AddPop({"i1"}, "A", false));  // same name
  EXPECT_EQ(s.PopDef.size(), 1u);
  // With multiple schemes a conflict in the last scheme opens scheme "1".
  ASSERT_TRUE(s.AddPop({"i0", "i1"}, "B", true));
  ASSERT_EQ(s.nSchemes(), 2u);
  EXPECT_EQ(s.Schemes[1].Name, "1");
  EXPECT_EQ(s.Schemes[1].PopNames, (Names{"B"}));
  // A conflict only against an earlier scheme joins the last one.
  ASSERT_TRUE(s.AddPop({"i2"}, "A", true));
  EXPECT_EQ(s.nSchemes(), 2u);
  EXPECT_EQ(s.Schemes[1].PopNames, (Names{"B", "A"}));
  EXPECT_EQ(s.Schemes[1].PopMembership, (TPopIdList{0, 0, 1}));
  // And a further conflict in the last scheme opens "2".
  ASSERT_TRUE(s.AddPop({"i2"}, "C", true));
  EXPECT_EQ(s.Schemes.back().Name, "2");
  // Without multiple schemes a member of an earlier scheme still conflicts.
  EXPECT_FALSE(s.AddPop({"i0"}, "D", false));
}

TEST(PopStructureAddValidPop, RefusesWhatWouldCorruptTheArrays) {
  TPopStructure s = Make({"i0", "i1"});
  EXPECT_EQ(s.AddValidPopListToScheme("P", {0}, {true, false}, 5, ""), kPopNone);
  EXPECT_EQ(s.AddValidPopListToScheme("P", {7}, {true, false}, kPopNone, ""), kPopNone);
  EXPECT_TRUE(s.Schemes.empty());
  // A short mask is widened so the scheme keeps nInd entries.
  ASSERT_EQ(s.AddValidPopListToScheme("P", {1}, {false}, kPopNone, "named"), 0u);
  EXPECT_EQ(s.Schemes[0].Name, "named");
  EXPECT_EQ(s.PopDef[0].PopMbMsk.size(), 2u);
  EXPECT_EQ(s.Schemes[0].SchemeMask.size(), 2u);
}

TEST(PopStructureIsAvailableName, EmptyStructureAndSchemeScope) {
  TPopStructure s = Make({"i0", "i1", "i2"});
  EXPECT_TRUE(s.IsAvailableName("A", kPopNone));
  ASSERT_TRUE(s.AddPop({"i0"}, "A", false));
  ASSERT_TRUE(s.AddPop({"i0"}, "B", true));        // scheme 1
  EXPECT_FALSE(s.IsAvailableName("A", kPopNone));  // any scheme
  EXPECT_TRUE(s.IsAvailableName("A", 0));          // last scheme only
  EXPECT_FALSE(s.IsAvailableName("B", 0));
  EXPECT_TRUE(s.IsAvailableName("C", kPopNone));
}

TEST(PopStructureQueries, SchemeSelectionAndNames) {
  TPopStructure s = Make({"i0", "i1", "i2"});
  ASSERT_TRUE(s.AddPop({"i2", "i0"}, "A", false));
  ASSERT_TRUE(s.AddPop({"i1"}, "B", false));
  ASSERT_TRUE(s.AddPop({"i0"}, "C", true));
  EXPECT_EQ(s.GetSchemeNames(), (Names{"0", "1"}));
  EXPECT_EQ(s.GetSchemeIndNames(0), (Names{"i2", "i0", "i1"}));
  EXPECT_EQ(s.GetSchemeIndNames(kPopNone), (Names{"i0"}));
  EXPECT_EQ(s.GetSchemePopIndNames(0), (std::vector<Names>{{"i2", "i0"}, {"i1"}}));
  EXPECT_EQ(s.GetSchemePopMbNames(1, "."), (Names{"C", ".", "."}));
  EXPECT_TRUE(s.GetSchemeIndNames(2).empty());
  EXPECT_TRUE(s.GetSchemePopIndNames(2).empty());
  EXPECT_TRUE(s.GetSchemePopMbNames(9, ".").empty());
  EXPECT_TRUE(TPopStructure().GetSchemePopMbNames(kPopNone, ".").empty());
}

TEST(PopStructureCopy, IsIndependent) {
  TPopStructure s = Make({"i0", "i1"});
  ASSERT_TRUE(s.AddPop({"i0"}, "A", false));
  TPopStructure c = s.MakeCopy();
  ASSERT_TRUE(c.AddPop({"i1"}, "B", false));
  c.IndNames[0] = "changed";
  EXPECT_EQ(s.Schemes[0].PopNames.size(), 1u);
  EXPECT_EQ(s.IndNames[0], "i0");
  EXPECT_EQ(c.Schemes[0].PopNames.size(), 2u);
}

TEST(PopFreeFunctions, ListsAndMasks) {
  TPopIdList ind, mb;
  ExtractPopStructureLists({{4, 1}, {}, {0}}, ind, mb);
  EXPECT_EQ(ind, (TPopIdList{4, 1, 0}));
  EXPECT_EQ(mb, (TPopIdList{0, 0, 2}));
  const TPopIdList membership{1, kPopNone, 1, 0};
  EXPECT_EQ(PopMbs2IndList(membership, 1), (TPopIdList{0, 2}));
  EXPECT_EQ(PopMbs2IndList(membership, kPopNone), (TPopIdList{1}));
  EXPECT_EQ(PopMbs2Msk(membership, 0), (TPopMask{false, false, false, true}));
}

TEST(PopFreeFunctions, AssignFromPosition) {
  TPopIdList mb;
  Names pops;
  std::vector<TPopIdList> struc;
  EXPECT_EQ(AssignPopsFromIndStrPosF({"xxBA1", "yyFR2", "zzBA3", "q"}, 3, 2, mb, pops, struc), 3u);
  EXPECT_EQ(pops, (Names{"BA", "FR", ""}));  // first appearance; short name -> empty label
  EXPECT_EQ(mb, (TPopIdList{0, 1, 0, 2}));
  EXPECT_EQ(struc, (std::vector<TPopIdList>{{0, 2}, {1}, {3}}));
  EXPECT_EQ(AssignPopsFromIndStrPosF({"ab"}, 0, 2, mb, pops, struc), 1u);
  EXPECT_EQ(pops, (Names{""}));
}

TEST(PopFreeFunctions, AssignFromDelimiters) {
  TPopIdList mb;
  Names pops;
  std::vector<TPopIdList> struc;
  const Names names{"s1-north", "s2__south", "s3.north", "nodelim", "s5-"};
  EXPECT_EQ(AssignPopsFromDelimStrF(names, 1, mb, pops, struc, "-."), 2u);
  EXPECT_EQ(pops, (Names{"north", "south"}));
  EXPECT_EQ(mb, (TPopIdList{0, 1, 0, kPopNone, kPopNone}));
  EXPECT_EQ(struc, (std::vector<TPopIdList>{{0, 2}, {1}}));
  EXPECT_EQ(AssignPopsFromDelimStrF(names, 0, mb, pops, struc, "-."), 4u);
  EXPECT_EQ(pops, (Names{"s1", "s2", "s3", "s5"}));
}

}  // namespace
