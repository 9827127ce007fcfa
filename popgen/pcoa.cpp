// Principal coordinate analysis: double centring of -d^2/2 and LAPACK's dsyevr (MRRR), which
// keeps to the matrix and its eigenvectors in memory.
#include "popgen/pcoa.h"

#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <new>

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
  // The solver indexes the n x n matrix with 32-bit integers.
  if (n > 46340)
    return TZelErr::User("PCoA of more than 46340 items is beyond the eigensolver",
                         std::to_string(n) + " items");
  bool anyNonZero = false;
  for (uint64_t p = 0; p < dist.PwComparisons() && !anyNonZero; ++p)
    anyNonZero = dist.Data()[p] != 0;
  if (!anyNonZero) return TZelErr::User("PCoA of a matrix whose distances are all 0");

  const size_t N = n;
  std::vector<double> a, z;
  std::vector<double> w(N);
  std::vector<lapack_int> isuppz(2 * N);
  try {
    a.resize(N * N);
    z.resize(N * N);
  } catch (const std::bad_alloc&) {
    return TZelErr("PCoA", "Out of memory", std::to_string(n) + " items");
  }
  // -d^2/2, its row means (equal to the column means) and the overall mean.
  std::vector<double> rowMean(N, 0.0);
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t j = 0; j < n; ++j) {
      const double d = dist.GetDist(i, j);
      const double v = -0.5 * d * d;
      a[size_t(j) * N + i] = v;
      rowMean[i] += v;
    }
  double all = 0;
  for (uint32_t i = 0; i < n; ++i) {
    all += rowMean[i];
    rowMean[i] /= double(n);
  }
  const double mean = all / (double(n) * double(n));
  for (uint32_t j = 0; j < n; ++j)
    for (uint32_t i = 0; i < n; ++i) a[size_t(j) * N + i] += mean - rowMean[i] - rowMean[j];

  lapack_int m = 0;
  const lapack_int info =
      LAPACKE_dsyevr(LAPACK_COL_MAJOR, 'V', 'A', 'L', lapack_int(n), a.data(), lapack_int(n), 0, 0,
                     0, 0, 0.0, &m, w.data(), z.data(), lapack_int(n), isuppz.data());
  if (info != 0)
    return TZelErr("PCoA", "PCoA failed", "the eigensolver returned " + std::to_string(info));
  a = std::vector<double>();  // release before the coordinates are made
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
    const double* vec = z.data() + k * N;
    const long double sign = vec[0] < 0 ? -1.0L : 1.0L;
    const long double root = std::sqrt(static_cast<long double>(w[k]));
    out.Eigenvalues[c] = w[k];
    for (uint32_t i = 0; i < n; ++i)
      out.Coord[size_t(i) * axes + c] =
          static_cast<double>(sign * static_cast<long double>(vec[i]) * root);
  }
  return {};
}
