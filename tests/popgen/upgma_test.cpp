// UPGMA: the worked examples, tie joins, tip names, scipy's average-linkage cophenetic
// distances (fixtures made once, tests/data/dist/make_fixtures.py), and the fast clustering
// against a plain O(n^3) implementation of the same rules kept here.
#include "popgen/upgma.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "base/korNum.h"

namespace {

std::string Data(const std::string& name) { return std::string(ZEL_TEST_DATA) + "/dist/" + name; }

TSymDist Matrix(const std::vector<std::string>& names, const std::vector<double>& lower) {
  TSymDist d(names.size(), 0);
  size_t p = 0;
  for (uint32_t i = 1; i < names.size(); ++i)
    for (uint32_t j = 0; j < i; ++j) d.SetDist(i, j, lower[p++]);
  d.SetNames(names);
  return d;
}

std::string Tree(const TSymDist& d) {
  TDendrogram t;
  std::string s;
  const TZelErr err = upgma(d, t, s);
  EXPECT_FALSE(err) << err.Msg;
  return s;
}

TEST(Upgma, WorkedExamples) {
  struct TCase {
    std::vector<std::string> Names;
    std::vector<double> Lower;
    std::string Newick;
  };
  const TCase cases[] = {
      {{"A", "B"}, {0.5}, "(A:0.250000,B:0.250000);"},
      {{"A", "B", "C"}, {0.2, 0.6, 0.4}, "(C:0.250000,(A:0.100000,B:0.100000):0.150000);"},
      // All three tie: one node with three tips at half the distance.
      {{"A", "B", "C"}, {0.3, 0.3, 0.3}, "(A:0.150000,B:0.150000,C:0.150000);"},
      // d(A,B) = d(C,D) = 0.1, the rest 1: two pairs, then the two clusters at 0.5.
      {{"A", "B", "C", "D"},
       {0.1, 1, 1, 1, 1, 0.1},
       "((A:0.050000,B:0.050000):0.450000,(C:0.050000,D:0.050000):0.450000);"},
      // Size-weighted: (A,B) at 0.1, then C joins at 0.15; D is 1.0 from A and B and 0.4 from
      // C, so (2*1.0 + 1*0.4)/3 = 0.8 puts the root at 0.4 (the unweighted mean of 1.0 and 0.4
      // would put it at 0.35).
      {{"A", "B", "C", "D"},
       {0.2, 0.3, 0.3, 1.0, 1.0, 0.4},
       "(D:0.400000,(C:0.150000,(A:0.100000,B:0.100000):0.050000):0.250000);"},
      // Ties only join clusters at minV from every member: C is at 0.2 from B but 0.5 from A;
      // then C is (0.5 + 0.2)/2 = 0.35 from (A,B).
      {{"A", "B", "C"}, {0.2, 0.5, 0.2}, "(C:0.175000,(A:0.100000,B:0.100000):0.075000);"},
      // Distances within 1e-12 of each other (relative) are one value; further apart they
      // are not.
      {{"A", "B", "C"}, {0.3, 0.3 * (1 + 4e-13), 0.3}, "(A:0.150000,B:0.150000,C:0.150000);"},
      {{"A", "B", "C"},
       {0.3, 0.3 * (1 + 1e-10), 0.3},
       "(C:0.150000,(A:0.150000,B:0.150000):0.000000);"},
      {{"one"}, {}, "one;"},
      {{"a b", "c:d", "it's", "e"},
       {0.1, 0.9, 0.9, 0.9, 0.9, 0.9},
       "('it''s':0.450000,e:0.450000,('a b':0.050000,'c:d':0.050000):0.400000);"},
  };
  for (const TCase& c : cases) EXPECT_EQ(Tree(Matrix(c.Names, c.Lower)), c.Newick);
  EXPECT_EQ(Tree(TSymDist()), "");
  TSymDist unnamed(2, 0);
  unnamed.SetDist(1, 0, 1);
  EXPECT_EQ(Tree(unnamed), "(otu_0:0.500000,otu_1:0.500000);");
}

TEST(Upgma, PairWithoutDistanceIsRefused) {
  TSymDist d = Matrix({"a", "b", "c"}, {0.1, std::nan(""), 0.2});
  TDendrogram t;
  std::string s;
  const TZelErr err = upgma(d, t, s);
  EXPECT_EQ(err.Msg, "UPGMA needs a distance for every pair (1 pairs have none)");
  EXPECT_EQ(err.Details, "no distance between c and a");
  EXPECT_EQ(s, "");
}

// Cophenetic distance = twice the height of the lowest common ancestor.
std::vector<double> Cophenetic(const TDendrogram& t, uint32_t n) {
  std::vector<double> height(t.tree.size(), 0);
  // Internal nodes come after their children.
  for (size_t k = n; k < t.tree.size(); ++k) {
    const uint32_t c = t.tree[k].Descendants[0];
    height[k] = height[c] + t.tree[c].BranchLength;
  }
  std::vector<double> out(size_t(n) * n, 0);
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t j = 0; j < i; ++j) {
      std::vector<uint8_t> up(t.tree.size(), 0);
      for (uint32_t a = i; a != kDendroNone; a = t.tree[a].AttachTo) up[a] = 1;
      uint32_t b = j;
      while (!up[b]) b = t.tree[b].AttachTo;
      out[size_t(i) * n + j] = out[size_t(j) * n + i] = 2 * height[b];
    }
  return out;
}

TEST(Upgma, CopheneticDistancesEqualScipyAverageLinkage) {
  for (const char* tag : {"a", "b"}) {
    TDistFileRead in;
    ASSERT_FALSE(ReadDistFile(Data(std::string("upgma50") + tag + ".dist"), in));
    TDendrogram t;
    std::string s;
    ASSERT_FALSE(upgma(*in.Dist, t, s));
    const std::vector<double> c = Cophenetic(t, 50);
    std::ifstream f(Data(std::string("upgma50") + tag + ".cophenetic"));
    for (uint32_t i = 0; i < 50; ++i)
      for (uint32_t j = 0; j < 50; ++j) {
        double want;
        ASSERT_TRUE(f >> want);
        EXPECT_NEAR(c[size_t(i) * 50 + j], want, 1e-12) << tag << " " << i << "," << j;
      }
  }
}

// The same rules written the plain way: rows in order, a full scan per step.
std::string ReferenceUpgma(const TSymDist& d) {
  struct TCl {
    std::string Text;
    double Height, Size;
  };
  std::vector<TCl> rows;
  for (uint32_t i = 0; i < d.nItems(); ++i) rows.push_back({d.GetNames()[i], 0, 1});
  std::vector<std::vector<double>> D(d.nItems(), std::vector<double>(d.nItems()));
  for (uint32_t i = 0; i < d.nItems(); ++i)
    for (uint32_t j = 0; j < d.nItems(); ++j) D[i][j] = d.GetDist(i, j);
  while (rows.size() > 1) {
    const size_t m = rows.size();
    double minV = INFINITY;
    for (size_t i = 1; i < m; ++i)
      for (size_t j = 0; j < i; ++j) minV = std::min(minV, D[i][j]);
    size_t a = 0, b = 0;
    for (size_t i = 1; i < m && !a; ++i)
      for (size_t j = 0; j < i; ++j)
        if (UpgmaTie(D[i][j], minV)) {
          a = i;
          b = j;
          break;
        }
    std::vector<size_t> set{b, a};
    for (size_t c = 0; c < m; ++c) {
      if (c == a || c == b) continue;
      bool all = true;
      for (size_t x : set) all = all && UpgmaTie(D[c][x], minV);
      if (all) set.insert(std::lower_bound(set.begin(), set.end(), c), c);
    }
    double h = minV / 2, size = 0;
    for (size_t x : set) {
      h = std::max(h, rows[x].Height);
      size += rows[x].Size;
    }
    std::string text = "(";
    for (size_t k = 0; k < set.size(); ++k)
      text += (k ? "," : "") + rows[set[k]].Text + ":" + e2sX(h - rows[set[k]].Height, 6, 6);
    text += ")";
    std::vector<size_t> keep;
    for (size_t r = 0; r < m; ++r)
      if (!std::binary_search(set.begin(), set.end(), r)) keep.push_back(r);
    std::vector<double> nd;
    for (size_t r : keep) {
      double acc = 0;
      for (size_t x : set) acc += rows[x].Size * D[x][r];
      nd.push_back(acc / size);
    }
    std::vector<std::vector<double>> D2(keep.size() + 1, std::vector<double>(keep.size() + 1, 0));
    std::vector<TCl> rows2;
    for (size_t p = 0; p < keep.size(); ++p) {
      rows2.push_back(rows[keep[p]]);
      for (size_t q = 0; q < keep.size(); ++q) D2[p][q] = D[keep[p]][keep[q]];
      D2[p][keep.size()] = D2[keep.size()][p] = nd[p];
    }
    rows2.push_back({text, h, size});
    rows = std::move(rows2);
    D = std::move(D2);
  }
  return rows.empty() ? "" : rows[0].Text + ";";
}

TEST(Upgma, FastClusteringEqualsThePlainOneOnRandomMatrices) {
  uint64_t x = 5;
  auto rnd = [&]() {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    return double(x >> 11) / double(1ull << 53);
  };
  for (int round = 0; round < 60; ++round) {
    const uint32_t n = 2 + uint32_t(rnd() * 60);
    // Two rounds in three draw from a few values, so ties and multi-way joins are common; in
    // every third those values are off by a few parts in 10^13, ties only within the tolerance.
    const int mode = round % 3;
    std::vector<std::string> names;
    std::vector<double> lower;
    for (uint32_t i = 0; i < n; ++i) names.push_back("t" + std::to_string(i));
    for (uint64_t p = 0; p < uint64_t(n) * (n - 1) / 2; ++p) {
      const double few = double(1 + int(rnd() * 4)) / 8;
      lower.push_back(mode == 0 ? rnd() : mode == 1 ? few : few * (1 + (rnd() - 0.5) * 1e-12));
    }
    const TSymDist d = Matrix(names, lower);
    EXPECT_EQ(Tree(d), ReferenceUpgma(d)) << "round " << round << ", n " << n;
  }
}

}  // namespace
