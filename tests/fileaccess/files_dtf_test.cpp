// Delimited tables and the string table.
#include <gtest/gtest.h>

#include "fileaccess/korDTF.h"
#include "fileaccess/korTbl.h"
#include "filesTestUtil.h"

TEST(FilesDTF, RowsColumnsAndFinalLineBreak) {
  TFilesTmpDir d;
  for (int m = 0; m < 3; ++m) {
    auto mode = static_cast<TSubindexMappingMode>(m);
    TTabDTF with, without;
    with.SetPartSize(65536);
    ASSERT_TRUE(with.OpenAndIndexFile(d.Write("w.tsv", "a\tb\r\n\r\nc\td\te\r\n"), mode));
    ASSERT_TRUE(without.OpenAndIndexFile(d.Write("wo.tsv", "a\tb\r\n\r\nc\td\te"), mode));
    for (TTabDTF* t : {&with, &without}) {
      EXPECT_EQ(t->LineBrkStr(), "\r\n");
      EXPECT_EQ(t->Rows(), 3u);
      EXPECT_EQ(t->Cols(0), 2u);
      EXPECT_EQ(t->Cols(1), 0u);  // an empty line in the middle is a row without columns
      EXPECT_EQ(t->Cols(7), 0u);
      EXPECT_EQ(t->GetRow(2), (std::vector<std::string>{"c", "d", "e"}));
      EXPECT_TRUE(t->GetRow(3).empty());
      EXPECT_EQ(t->GetMxCols(), 3u);
      EXPECT_EQ(t->GetMxCols(), 3u);
    }
    EXPECT_TRUE(with.LastInputLineEndedInLineBreak());
    EXPECT_FALSE(without.LastInputLineEndedInLineBreak());
    EXPECT_EQ(with.ToStr("\n", ",", 0, cNoOfs), "a,b\n\nc,d,e\n");
    EXPECT_EQ(without.ToStr("\n", ",", 0, cNoOfs), "a,b\n\nc,d,e");
    EXPECT_EQ(without.ToStr("\n", ",", 2, 2), "c,d,e");
    EXPECT_EQ(without.ToStr("\n", ",", 5, 9), "");
  }
}

TEST(FilesDTF, OpenFailures) {
  TFilesTmpDir d;
  TTabDTF t;
  EXPECT_FALSE(t.OpenAndIndexFile(d.Path("missing.tsv"), smUnindexed));
  EXPECT_TRUE(t.LastError().IsError());
  EXPECT_FALSE(t.OpenAndIndexFile(d.Write("empty.tsv", ""), smIndexed));
  EXPECT_EQ(t.Rows(), 0u);
}

TEST(FilesDTF, XtrTblD) {
  TFilesTmpDir d;
  TTabDTF t;
  ASSERT_TRUE(t.OpenAndIndexFile(
      d.Write("n.tsv", "1\t2\t3\n4\t4294967296\t6\n7\t12abc\n\n10\t11\t12\n"), smIndexed));
  ASSERT_EQ(t.Rows(), 5u);
  const uint32_t D = 999;
  // A ragged table: row 0 long enough, later rows short; every row is widened.
  std::vector<std::vector<uint32_t>> tbl = {{0, 0, 0}, {0}, {}, {0, 0}, {0}};
  EXPECT_EQ(t.XtrTblD(tbl, 0, cNoOfs, 0, cNoOfs, D, false), 2 + 1 + 3);
  std::vector<std::vector<uint32_t>> want = {
      {1, 2, 3}, {4, D, 6}, {7, D, D}, {D, D, D}, {10, 11, 12}};
  EXPECT_EQ(tbl, want);
  std::vector<std::vector<uint32_t>> sub;
  EXPECT_EQ(t.XtrTblD(sub, 4, 4, 1, 2, D, true), 0);
  EXPECT_EQ(sub, (std::vector<std::vector<uint32_t>>{{11, 12}}));
  EXPECT_EQ(t.XtrTblD(sub, 1, 1, 0, 2, D, true), -1);   // stops at the first default
  EXPECT_EQ(t.XtrTblD(sub, 2, 1, 0, 0, D, false), -1);  // invalid range
  EXPECT_EQ(t.XtrTblD(sub, 0, 9, 0, 0, D, false), 0);   // beyond the rows: nothing done
}

TEST(FilesTbl, MakeExColumnsAndText) {
  TStrTbl t = TStrTbl::MakeEx({{"a", "b"}, {"c", "d", "e"}}, {"r1", "r2"}, {"x"}, "x");
  ASSERT_EQ(t.Rows(), 2u);
  ASSERT_EQ(t.Cols(), 3u);
  EXPECT_EQ(t.FTbl[0][2], "x");
  EXPECT_EQ(t.FRowNames.size(), 2u);
  EXPECT_TRUE(t.FColNames.empty());  // count did not match the columns
  EXPECT_EQ(t.AsAString("\t", true, true, "id"), (TAStr{"r1\ta\tb\tx", "r2\tc\td\te"}));
  t.FColNames = {"A", "B", "C"};
  EXPECT_EQ(t.AsAString(",", true, true, "id")[0], "id,A,B,C");
  EXPECT_EQ(t.AsAString(",", false, true, "id")[0], "A,B,C");
  EXPECT_EQ(t.GetCol(1), (TAStr{"b", "d"}));
  EXPECT_TRUE(t.GetCol(3).empty());
  t.SetCol(0, {"p", "q"});
  EXPECT_EQ(t.GetCol(0), (TAStr{"p", "q"}));
  t.SetCol(0, {"only one"});
  EXPECT_EQ(t.GetCol(0), (TAStr{"p", "q"}));
  EXPECT_TRUE(TStrTbl::MakeEx({}, {}, {}, "").AsAString(",", true, true, "").empty());
  TStrTbl e = TStrTbl::CreateEmpty(2, 3);
  EXPECT_EQ(e.Rows(), 2u);
  EXPECT_EQ(e.Cols(), 3u);
  EXPECT_TRUE(GetTblCol({{"a"}, {}}, 0) == (TAStr{"a", ""}));  // short rows read as empty
}
