// The merge command: a user error without a VCF file, and the merged file of the active file
// with a second one.
#include "commands/cmdMerge.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/cmdLoad.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "tests/core/coreFixture.h"

namespace {

namespace fs = std::filesystem;
using TLines = std::vector<std::string>;

std::string Data(const std::string& n) { return std::string(ZEL_TEST_DATA) + "/merge/" + n; }

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class CmdMergeTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    Dir = fs::temp_directory_path() / ("zel_cmdmerge_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    fs::remove_all(Dir);
    CoreTest::TearDown();
  }
  fs::path Dir;
};

TEST_F(CmdMergeTest, NoVcfIsAUserErrorAndWritesNothing) {
  const fs::path out = Dir / "m.vcf";
  _dev_mergevcf(Data("b.vcf"), out.string());
  EXPECT_EQ(Lines(), (TLines{"ERROR [U]: Need to operate on VCF input."}));
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(CmdMergeTest, MergesTheActiveFileWithTheSecond) {
  ASSERT_TRUE(scLoadVcfFile(Data("a.vcf")));
  scClearLog();
  const fs::path out = Dir / "m.vcf";
  _dev_mergevcf(Data("b.vcf"), out.string());
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_EQ(ReadAll(out), ReadAll(Data("and_loci.vcf")));
}

TEST_F(CmdMergeTest, CancelledMergeLeavesNoFile) {
  struct TCancelling : TZelGivenUser {
    bool Cancelled() override { return true; }
  } user;
  ASSERT_TRUE(scLoadVcfFile(Data("a.vcf")));
  scClearLog();
  ZelSetUser(&user);
  const fs::path out = Dir / "m.vcf";
  _dev_mergevcf(Data("b.vcf"), out.string());
  ZelSetUser(nullptr);
  EXPECT_TRUE(iscZelHasError(false));
  EXPECT_EQ(Lines().back(), "ERROR [U]: Cancelled.");
  EXPECT_TRUE(fs::is_empty(Dir));
}

TEST_F(CmdMergeTest, RecordsWhoseRefsDoNotPairAreNamed) {
  const std::string head =
      "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\t";
  const fs::path a = Dir / "a.vcf", b = Dir / "b.vcf", out = Dir / "m.vcf";
  std::ofstream(a) << head << "x\n1\t5\t.\tA\tC\t.\t.\t.\tGT\t0/1\n";
  std::ofstream(b) << head << "y\n1\t5\t.\tG\tT\t.\t.\t.\tGT\t0/1\n";
  ASSERT_TRUE(scLoadVcfFile(a.string()));
  scClearLog();
  ASSERT_TRUE(iscVcfMerge(b.string(), out.string(), false, false));
  EXPECT_EQ(Lines(), (TLines{"Merging VCF file " + b.string() + " into: " + out.string(),
                             "2 records at positions of both files have REF alleles that do "
                             "not match (written on lines of their own), the first at 1:5",
                             "Merged variants written: 2"}));
}

}  // namespace
