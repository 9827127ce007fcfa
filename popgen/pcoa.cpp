// Principal coordinate analysis: double centring of -d^2/2 and LAPACK's divide-and-conquer
// eigensolver dsyevd. Its merges are matrix products that use every core, where the
// tridiagonal stage of dsyevr (MRRR) runs on one; it costs a workspace of two more n x n
// squares (600 MB at 5,000 items), freed before the coordinates are made.
#include "popgen/pcoa.h"

#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "base/korHugeMem.h"

TZelErr PCoA(const TSymDist& dist, TPCoAResult& out) {
  out = TPCoAResult();
  const uint32_t n = dist.nItems();
  if (n < 2)
    return TZelErr::User("PCoA needs at least two items",
                         std::to_string(n) + (n == 1 ? " item" : " items"));
  TPairD na;
  if (dist.FindNAPair(na)) {
    const auto& nm = dist.GetNames();
    const std::string a = nm.empty() ? std::to_string(na.a) : nm[na.a];
    const std::string b = nm.empty() ? std::to_string(na.b) : nm[na.b];
    return TZelErr::User("PCoA needs a distance for every pair (" +
                             std::to_string(dist.CountNAPairs()) + " pairs have none)",
                         "no distance between " + a + " and " + b);
  }
  // The solver counts its workspace (2n^2 + 6n + 1 numbers) in 32-bit integers.
  if (n > 32766)
    return TZelErr::User("PCoA of more than 32766 items is beyond the eigensolver",
                         std::to_string(n) + " items");
  bool anyNonZero = false;
  for (uint64_t p = 0; p < dist.PwComparisons() && !anyNonZero; ++p)
    anyNonZero = dist.Data()[p] != 0;
  if (!anyNonZero) return TZelErr::User("PCoA of a matrix whose distances are all 0");

  const size_t N = n;
  // Written in full before it is read: no clearing. The eigenvectors replace it.
  THugeArr<double> a = MakeHugeArr<double>(N * N);
  if (!a) return TZelErr("PCoA", "Out of memory", std::to_string(n) + " items");
  std::vector<double> w(N);
  // -d^2/2 in tiles: a row of the packed triangle is a column of the square, and a column
  // written element by element down the whole square would touch a cache line per element.
  constexpr uint32_t kTile = 64;
  for (uint32_t i0 = 0; i0 < n; i0 += kTile)
    for (uint32_t j0 = 0; j0 < n; j0 += kTile)
      for (uint32_t i = i0; i < std::min(n, i0 + kTile); ++i)
        for (uint32_t j = j0; j < std::min(n, j0 + kTile); ++j) {
          const double d = dist.GetDist(i, j);
          a[size_t(j) * N + i] = -0.5 * d * d;
        }
  // Its row means (equal to the column means: the square is symmetric, so row i is read down
  // column i, in the same order) and the overall mean.
  std::vector<double> rowMean(N, 0.0);
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t j = 0; j < n; ++j) rowMean[i] += a[size_t(i) * N + j];
  double all = 0;
  for (uint32_t i = 0; i < n; ++i) {
    all += rowMean[i];
    rowMean[i] /= double(n);
  }
  const double mean = all / (double(n) * double(n));
  for (uint32_t j = 0; j < n; ++j)
    for (uint32_t i = 0; i < n; ++i) a[size_t(j) * N + i] += mean - rowMean[i] - rowMean[j];

  const lapack_int ln = lapack_int(n);
  double workLen = 0;
  lapack_int iworkLen = 0;
  lapack_int info = LAPACKE_dsyevd_work(LAPACK_COL_MAJOR, 'V', 'L', ln, a.get(), ln, w.data(),
                                        &workLen, -1, &iworkLen, -1);
  if (info == 0) {
    THugeArr<double> work = MakeHugeArr<double>(size_t(workLen));
    std::vector<lapack_int> iwork;
    try {
      iwork.resize(size_t(iworkLen));
    } catch (const std::bad_alloc&) {
      work.reset();
    }
    if (!work) return TZelErr("PCoA", "Out of memory", std::to_string(n) + " items");
    info = LAPACKE_dsyevd_work(LAPACK_COL_MAJOR, 'V', 'L', ln, a.get(), ln, w.data(), work.get(),
                               lapack_int(workLen), iwork.data(), iworkLen);
  }
  if (info != 0)
    return TZelErr("PCoA", "PCoA failed", "the eigensolver returned " + std::to_string(info));
  const lapack_int m = ln;
  const double* z = a.get();
  // Ascending from the solver; the axes run from the largest down.
  const double largest = m > 0 ? w[size_t(m) - 1] : 0;
  if (!(largest > 0)) return TZelErr::User("PCoA finds no positive eigenvalue");
  const double limit = kPCoAPositiveRel * largest;
  std::vector<size_t> cols;
  for (size_t k = size_t(m); k-- > 0;)
    if (w[k] > limit) cols.push_back(k);
  const uint32_t axes = static_cast<uint32_t>(cols.size());
  out.nItems = n;
  out.nAxes = axes;
  out.Names = dist.GetNames();
  out.Eigenvalues.resize(axes);
  out.Coord.resize(N * axes);
  for (uint32_t c = 0; c < axes; ++c) {
    const size_t k = cols[c];
    const double* vec = z + k * N;
    const long double sign = vec[0] < 0 ? -1.0L : 1.0L;
    const long double root = std::sqrt(static_cast<long double>(w[k]));
    out.Eigenvalues[c] = w[k];
    for (uint32_t i = 0; i < n; ++i)
      out.Coord[size_t(i) * axes + c] =
          static_cast<double>(sign * static_cast<long double>(vec[i]) * root);
  }
  return {};
}
