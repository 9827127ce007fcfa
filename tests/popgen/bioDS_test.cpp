// Data sets: the owned structure copy and a current scheme that always exists or is 0.
#include "popgen/bioDS.h"

#include <gtest/gtest.h>

namespace {

TPopStructure TwoSchemes() {
  TPopStructure s;
  EXPECT_FALSE(s.LoadFromPopMapText("<SAMPLES>\tregion\tsite\na\tn\tA\nb\ts\tB\n", "m"));
  return s;
}

TEST(BioDataSet, StartsEmptyWithoutCurrentScheme) {
  TBioDataSet ds;
  EXPECT_EQ(ds.CurrPopScheme(), 0u);
  EXPECT_EQ(ds.nSchemes(), 0u);
  EXPECT_EQ(ds.GetCurrScheme(), nullptr);
  EXPECT_FALSE(ds.SetCurrPopScheme(0));
}

TEST(BioDataSet, SetPopStrucCopiesAndKeepsTheSchemeIndex) {
  TBioDataSet ds;
  TPopStructure s = TwoSchemes();
  ds.SetPopStruc(s);
  s.Schemes[0].Name = "changed";
  EXPECT_EQ(ds.PopStruc().Schemes[0].Name, "region");
  ASSERT_TRUE(ds.SetCurrPopScheme(1));
  ds.SetPopStruc(TwoSchemes());
  EXPECT_EQ(ds.CurrPopScheme(), 1u);
  ASSERT_NE(ds.GetCurrScheme(), nullptr);
  EXPECT_EQ(ds.GetCurrScheme()->Name, "site");
  EXPECT_FALSE(ds.SetCurrPopScheme(2));
  EXPECT_EQ(ds.CurrPopScheme(), 1u);
}

TEST(BioDataSet, StaleSchemeIndexIsResetToZero) {
  TBioDataSet ds;
  ds.SetPopStruc(TwoSchemes());
  ASSERT_TRUE(ds.SetCurrPopScheme(1));
  TPopStructure one;
  ASSERT_FALSE(one.LoadFromPopMapText("<SAMPLES>\tonly\na\tx\n", "m"));
  ds.SetPopStruc(one);
  EXPECT_EQ(ds.CurrPopScheme(), 0u);
  EXPECT_EQ(ds.GetCurrScheme()->Name, "only");
  ds.SetPopStruc(TPopStructure());
  EXPECT_EQ(ds.CurrPopScheme(), 0u);
  EXPECT_EQ(ds.GetCurrScheme(), nullptr);
}

TEST(BioDataSet, RefusedMapKeepsStructureAndScheme) {
  TBioDataSet ds;
  ds.SetPopStruc(TwoSchemes());
  ASSERT_TRUE(ds.SetCurrPopScheme(1));
  EXPECT_TRUE(ds.LoadFromPopMap(std::string(ZEL_TEST_DATA) + "/pop/short_row.popmap").IsError());
  EXPECT_EQ(ds.CurrPopScheme(), 1u);
  EXPECT_EQ(ds.PopStruc().GetSchemeNames(), (TPopNames{"region", "site"}));
  ASSERT_FALSE(ds.LoadFromPopMap(std::string(ZEL_TEST_DATA) + "/pop/label_order.popmap"));
  EXPECT_EQ(ds.CurrPopScheme(), 0u);  // one scheme now
}

}  // namespace
