// UPGMA trees: the dendrogram record, its Newick text, and the clustering of a distance
// matrix (size-weighted average linkage with exact tie rules).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/zelError.h"
#include "popgen/korDist.h"

inline constexpr uint32_t kDendroNone = 0xFFFFFFFFu;

struct TDendroNode {
  std::string Name;         // tip name; "i" + node number for internal nodes
  uint32_t AttachTo = 0;    // parent node; kDendroNone for the root
  double BranchLength = 0;  // length of the branch to the parent
  double Support = 0;
  uint64_t ExtraInfo = 0;
  std::vector<uint32_t> Descendants;  // child nodes in join order; empty for tips
};

// Tips first (0 .. nTips-1), then internal nodes in creation order.
class TDendrogram {
 public:
  std::vector<TDendroNode> tree;
  std::string treename;
  uint64_t nTips = 0;
  uint64_t RootNode = 0;
  uint64_t ExtraInfo = ~uint64_t(0);

  explicit TDendrogram(uint64_t nNodes = 0) : tree(nNodes) {}
  // False (nothing set) unless atNode + the number of names is below the node count.
  bool SetTips(const std::vector<std::string>& tipNames, uint64_t atNode);
  // The last node without a parent is the root; the nodes after it are dropped.
  void TidyUp();
  // Newick text of the subtree below node; with showBrLen every node but node itself is
  // followed by ":" and its branch length (6 decimals). Tip names holding a Newick special
  // character (space, :,();[]') are quoted, a quote doubled.
  std::string Node2StrPH(uint64_t node, bool showBrLen) const;
  // The whole tree with branch lengths, ending with ";".
  std::string ToPhylip() const;
};

// Two recomputed distances are one value when they differ by at most this fraction of the
// larger.
inline constexpr double kUpgmaTieRel = 1e-12;
inline bool UpgmaTie(double x, double minV) {
  const double diff = std::abs(x - minV);
  return std::isfinite(diff) && diff <= kUpgmaTieRel * std::max(std::abs(x), std::abs(minV));
}

// UPGMA of the matrix into dendro and its Newick text. Each step takes the smallest distance
// minV; the first pair at minV in storage order (rows in order, the new cluster's row last)
// is joined, together with every further cluster (in row order) at minV from all members
// gathered so far, at height minV/2 (never below a joined cluster's height); the distance of
// the new cluster to any other is the size-weighted mean over the joined clusters. Tips are
// the matrix names, or otu_0, otu_1, ... without names. No items gives an empty text, one
// item "name;". A pair without a distance is an error.
TZelErr upgma(const TSymDist& dist, TDendrogram& dendro, std::string& newick);
