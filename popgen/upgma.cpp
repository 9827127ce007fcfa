// UPGMA: the clustering keeps, per cluster, the smallest distance to the clusters before it
// in row order, so that each join costs time linear in the number of clusters (plus the rows
// whose nearest earlier cluster was joined).
#include "popgen/upgma.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

#include "base/korHugeMem.h"
#include "base/korNum.h"

bool TDendrogram::SetTips(const std::vector<std::string>& tipNames, uint64_t atNode) {
  if (atNode + tipNames.size() >= tree.size()) return false;
  for (size_t k = 0; k < tipNames.size(); ++k) tree[atNode + k].Name = tipNames[k];
  nTips = tipNames.size();
  return true;
}

void TDendrogram::TidyUp() {
  for (size_t k = tree.size(); k-- > 0;)
    if (tree[k].AttachTo == kDendroNone) {
      tree.resize(k + 1);
      RootNode = k;
      return;
    }
}

namespace {

std::string NewickName(const std::string& name) {
  if (name.find_first_of(" :,();[]'") == std::string::npos) return name;
  std::string q = "'";
  for (char c : name) {
    if (c == '\'') q += '\'';
    q += c;
  }
  return q + "'";
}

}  // namespace

std::string TDendrogram::Node2StrPH(uint64_t node, bool showBrLen) const {
  std::string out;
  if (node >= tree.size()) return out;
  struct TFrame {
    uint32_t Node;
    size_t Next;
  };
  std::vector<TFrame> st{{uint32_t(node), 0}};
  auto finish = [&](uint32_t x) {
    if (!showBrLen || x == node) return;
    out += ':';
    out += e2sX(tree[x].BranchLength, 6, 6);
  };
  while (!st.empty()) {
    const uint32_t x = st.back().Node;
    const TDendroNode& nd = tree[x];
    const size_t nDesc = nd.Descendants.size();
    if (nDesc == 0) {
      out += NewickName(nd.Name);
      finish(x);
      st.pop_back();
      continue;
    }
    const size_t next = st.back().Next;
    if (next < nDesc) {
      if (nDesc > 1) out += next == 0 ? '(' : ',';
      st.back().Next = next + 1;
      st.push_back({nd.Descendants[next], 0});
      continue;
    }
    if (nDesc > 1) out += ')';
    finish(x);
    st.pop_back();
  }
  return out;
}

std::string TDendrogram::ToPhylip() const {
  if (tree.empty()) return {};
  return Node2StrPH(RootNode, true) + ";";
}

TZelErr upgma(const TSymDist& dist, TDendrogram& dendro, std::string& newick) {
  newick.clear();
  dendro = TDendrogram();
  const uint32_t n = dist.nItems();
  if (n == 0) return {};
  TPairD na;
  if (dist.FindNAPair(na)) {
    const auto& nm = dist.GetNames();
    const std::string a = nm.empty() ? std::to_string(na.a) : nm[na.a];
    const std::string b = nm.empty() ? std::to_string(na.b) : nm[na.b];
    return TZelErr::User("UPGMA needs a distance for every pair (" +
                             std::to_string(dist.CountNAPairs()) + " pairs have none)",
                         "no distance between " + a + " and " + b);
  }
  std::vector<std::string> names = dist.GetNames();
  if (names.size() != n) {
    names.resize(n);
    for (uint32_t i = 0; i < n; ++i) names[i] = "otu_" + std::to_string(i);
  }
  dendro = TDendrogram(2 * uint64_t(n));
  dendro.SetTips(names, 0);
  if (n == 1) {
    dendro.tree[0].AttachTo = kDendroNone;
    dendro.TidyUp();
    newick = dendro.ToPhylip();
    return {};
  }

  // Clusters live in slots (a joined cluster's first slot is reused by the new one); act lists
  // the slots in row order.
  const size_t N = n;
  // The square is not cleared: no element is read before it is written.
  THugeArr<double> Dm = MakeHugeArr<double>(N * N);
  if (!Dm) return TZelErr("UPGMA", "Out of memory", std::to_string(n) + " items");
  double* const D = Dm.get();
  const double* packed = dist.Data();
  // Only the part of each row before the diagonal is ever read (a distance stands in the row
  // of the later cluster, see seq below), and it is contiguous in the packed triangle.
  for (uint32_t i = 0; i < n; ++i) {
    double* row = D + size_t(i) * N;
    const double* lower = packed + (i > 0 ? uint64_t(i) * (i - 1) / 2 : 0);
    std::copy(lower, lower + i, row);
    row[i] = 0;
  }
  std::vector<uint32_t> act(n);
  std::vector<double> size(n, 1.0), height(n, 0.0), rowMin(n);
  std::vector<uint32_t> node(n), rowArg(n);
  // Creation order of each slot's cluster. act is always in creation order (the new cluster
  // goes last), and a cluster's row is written when it is made, so the distance of two
  // clusters stands in the row of the later one: no column of the square is ever written (a
  // column write touches one cache line per row, and was most of the time of a join).
  std::vector<uint64_t> seq(n);
  auto d = [&](uint32_t x, uint32_t y) {
    return seq[x] > seq[y] ? D[size_t(x) * N + y] : D[size_t(y) * N + x];
  };
  std::vector<uint8_t> joined(n, 0);
  const double inf = std::numeric_limits<double>::infinity();
  for (uint32_t i = 0; i < n; ++i) {
    act[i] = i;
    node[i] = i;
    seq[i] = i;
    rowMin[i] = inf;
    rowArg[i] = i;
    for (uint32_t j = 0; j < i; ++j)
      if (D[i * N + j] < rowMin[i]) {
        rowMin[i] = D[i * N + j];
        rowArg[i] = j;
      }
  }
  uint32_t currNode = n;
  std::vector<uint32_t> set;
  std::vector<double> acc;
  while (act.size() > 1) {
    double minV = inf;
    for (uint32_t a : act) minV = std::min(minV, rowMin[a]);
    // The first pair at minV in storage order: the first row holding one, its first column.
    size_t ra = 0;
    while (!UpgmaTie(rowMin[act[ra]], minV)) ++ra;
    const uint32_t A = act[ra];
    size_t rb = 0;
    while (!UpgmaTie(D[size_t(A) * N + act[rb]], minV)) ++rb;
    set.assign({act[rb], A});
    // Further clusters at minV from every member, in row order (read along the members' rows:
    // the matrix is kept symmetric).
    std::vector<size_t> setRows{rb, ra};
    // A later cluster at minV from A has its row minimum at minV too (no distance is below
    // minV): a bound a little above minV passes every such cluster and skips reading the rest.
    const double laterBound = minV >= 0 ? minV * (1 + 4 * kUpgmaTieRel) : inf;
    for (size_t r = 0; r < act.size(); ++r) {
      if (r == ra || r == rb) continue;
      const uint32_t c = act[r];
      if (r > ra && !(rowMin[c] <= laterBound)) continue;
      if (!UpgmaTie(d(A, c), minV)) continue;
      bool all = true;
      for (uint32_t m : set)
        if (m != A && !UpgmaTie(d(m, c), minV)) {
          all = false;
          break;
        }
      if (!all) continue;
      const size_t at = std::lower_bound(setRows.begin(), setRows.end(), r) - setRows.begin();
      setRows.insert(setRows.begin() + std::ptrdiff_t(at), r);
      set.insert(set.begin() + std::ptrdiff_t(at), c);
    }
    double h = minV / 2, total = 0;
    for (uint32_t m : set) {
      h = std::max(h, height[m]);
      total += size[m];
    }
    const uint32_t nn = currNode++;
    TDendroNode& parent = dendro.tree[nn];
    parent.Name = std::to_string(nn);
    parent.Name.insert(parent.Name.begin(), 'i');
    parent.AttachTo = kDendroNone;
    for (uint32_t m : set) {
      parent.Descendants.push_back(node[m]);
      dendro.tree[node[m]].AttachTo = nn;
      dendro.tree[node[m]].BranchLength = h - height[m];
      joined[m] = 1;
    }
    // Distances of the new cluster to the rest, before the slots change.
    std::vector<uint32_t> rest;
    rest.reserve(act.size() - set.size());
    for (uint32_t a : act)
      if (!joined[a]) rest.push_back(a);
    acc.assign(rest.size(), 0.0);
    for (uint32_t m : set) {
      // rest is in creation order: the clusters before m are in m's row, the later ones hold
      // m in theirs.
      const double* row = D + size_t(m) * N;
      const double w = size[m];
      size_t k = 0;
      for (; k < rest.size() && seq[rest[k]] < seq[m]; ++k) acc[k] += w * row[rest[k]];
      for (; k < rest.size(); ++k) acc[k] += w * D[size_t(rest[k]) * N + m];
    }
    const uint32_t slot = set[0];
    double best = inf;
    uint32_t bestArg = slot;
    for (size_t k = 0; k < rest.size(); ++k) {
      const double v = acc[k] / total;
      D[size_t(slot) * N + rest[k]] = v;
      if (v < best) {
        best = v;
        bestArg = rest[k];
      }
    }
    // Rows whose nearest earlier cluster was joined look again (the new row comes after them).
    for (size_t k = 0; k < rest.size(); ++k) {
      const uint32_t a = rest[k];
      if (!joined[rowArg[a]]) continue;
      rowMin[a] = inf;
      rowArg[a] = a;
      const double* row = D + size_t(a) * N;
      for (size_t q = 0; q < k; ++q)
        if (row[rest[q]] < rowMin[a]) {
          rowMin[a] = row[rest[q]];
          rowArg[a] = rest[q];
        }
    }
    for (uint32_t m : set) joined[m] = 0;
    act = std::move(rest);
    act.push_back(slot);
    size[slot] = total;
    seq[slot] = nn;
    height[slot] = h;
    node[slot] = nn;
    rowMin[slot] = best;
    rowArg[slot] = bestArg;
  }
  dendro.TidyUp();
  newick = dendro.ToPhylip();
  return {};
}
