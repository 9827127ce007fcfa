// PCoA: small cases worked by hand, Euclidean points recovered, and a random matrix against
// classical scaling computed once with numpy (tests/data/dist/make_fixtures.py).
#include "popgen/pcoa.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace {

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/dist/" + name; }

TEST(PCoA, TwoItemsAtDistanceOne) {
  TSymDist d(2, 0);
  d.SetDist(1, 0, 1);
  TPCoAResult r;
  ASSERT_FALSE(PCoA(d, r));
  ASSERT_EQ(r.nAxes, 1u);
  EXPECT_NEAR(r.Eigenvalues[0], 0.5, 1e-15);
  EXPECT_NEAR(r.At(0, 0), 0.5, 1e-15);
  EXPECT_NEAR(r.At(1, 0), -0.5, 1e-15);
}

TEST(PCoA, ThreeItemsFormAnEquilateralTriangle) {
  TSymDist d(3, 1);
  for (uint32_t i = 0; i < 3; ++i) d.SetDist(i, i, 0);
  TPCoAResult r;
  ASSERT_FALSE(PCoA(d, r));
  ASSERT_EQ(r.nAxes, 2u);
  EXPECT_NEAR(r.Eigenvalues[0], 0.5, 1e-12);
  EXPECT_NEAR(r.Eigenvalues[1], 0.5, 1e-12);
  for (uint32_t i = 0; i < 3; ++i)
    for (uint32_t j = 0; j < i; ++j)
      EXPECT_NEAR(std::hypot(r.At(i, 0) - r.At(j, 0), r.At(i, 1) - r.At(j, 1)), 1, 1e-12);
}

TEST(PCoA, TenPointsInThreeDimensionsGiveExactlyThreeAxes) {
  double p[10][3];
  uint64_t x = 99;
  for (auto& row : p)
    for (double& c : row) {
      x = x * 6364136223846793005ull + 1442695040888963407ull;
      c = double(x >> 11) / double(1ull << 53) * 10 - 5;
    }
  TSymDist d(10, 0);
  for (uint32_t i = 0; i < 10; ++i)
    for (uint32_t j = 0; j < i; ++j)
      d.SetDist(i, j,
                std::sqrt(std::pow(p[i][0] - p[j][0], 2) + std::pow(p[i][1] - p[j][1], 2) +
                          std::pow(p[i][2] - p[j][2], 2)));
  TPCoAResult r;
  ASSERT_FALSE(PCoA(d, r));
  ASSERT_EQ(r.nAxes, 3u);
  EXPECT_GT(r.Eigenvalues[0], r.Eigenvalues[1]);
  EXPECT_GT(r.Eigenvalues[1], r.Eigenvalues[2]);
  for (uint32_t i = 0; i < 10; ++i)
    for (uint32_t j = 0; j < i; ++j) {
      double s = 0;
      for (uint32_t k = 0; k < 3; ++k) s += std::pow(r.At(i, k) - r.At(j, k), 2);
      EXPECT_NEAR(std::sqrt(s), d.GetDist(i, j), 1e-9);
    }
  for (uint32_t k = 0; k < 3; ++k) EXPECT_GE(r.At(0, k), 0);
}

TEST(PCoA, EqualsClassicalScalingComputedIndependently) {
  TDistFileRead in;
  ASSERT_FALSE(ReadDistFile(Data("pcoa12.dist"), in));
  TPCoAResult r;
  ASSERT_FALSE(PCoA(*in.Dist, r));
  std::ifstream f(Data("pcoa12.expected"));
  std::string line;
  std::getline(f, line);
  std::istringstream ev(line);
  std::vector<double> want;
  for (double v; ev >> v;) want.push_back(v);
  ASSERT_EQ(r.nAxes, want.size());
  for (uint32_t k = 0; k < r.nAxes; ++k) EXPECT_NEAR(r.Eigenvalues[k], want[k], 1e-12);
  for (uint32_t i = 0; i < r.nItems; ++i) {
    ASSERT_TRUE(std::getline(f, line));
    std::istringstream row(line);
    for (uint32_t k = 0; k < r.nAxes; ++k) {
      double v;
      row >> v;
      EXPECT_NEAR(r.At(i, k), v, 1e-10) << i << "," << k;
    }
  }
  EXPECT_EQ(r.Names.front(), "s00");
}

TEST(PCoA, RefusedMatrices) {
  struct TCase {
    TSymDist D;
    std::string Msg;
  };
  TSymDist zero(4, 0);
  TSymDist na(3, 0.5);
  for (uint32_t i = 0; i < 3; ++i) na.SetDist(i, i, 0);
  na.SetDist(2, 1, std::nan(""));
  na.SetNames({"a", "b", "c"});
  const TCase cases[] = {
      {TSymDist(), "PCoA needs at least two items"},
      {TSymDist(1, 0), "PCoA needs at least two items"},
      {zero, "PCoA of a matrix whose distances are all 0"},
      {na, "PCoA needs a distance for every pair (1 pairs have none)"},
  };
  for (const TCase& c : cases) {
    TPCoAResult r;
    const TZelErr err = PCoA(c.D, r);
    EXPECT_EQ(err.Sender, "U");
    EXPECT_EQ(err.Msg, c.Msg);
    EXPECT_EQ(r.nAxes, 0u);
  }
  TPCoAResult r;
  EXPECT_EQ(PCoA(na, r).Details, "no distance between c and b");
}

}  // namespace
