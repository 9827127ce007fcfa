// Principal coordinate analysis (classical scaling) of a distance matrix through LAPACK's
// symmetric eigensolver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/zelError.h"
#include "base/zelObject.h"
#include "popgen/korDist.h"

// The coordinates and what a plot of them needs: item names, and the population grouping the
// command adds (empty without a data set).
struct TPCoAResult : public TZelObject {
  std::vector<std::string> Names;  // item names of the matrix (may be empty)
  uint32_t nItems = 0;
  uint32_t nAxes = 0;               // positive eigenvalues
  std::vector<double> Eigenvalues;  // the nAxes positive eigenvalues, largest first
  std::vector<double> Coord;        // nItems x nAxes, row by row
  std::vector<std::string> GroupNames;
  std::vector<std::vector<std::string>> GroupMembers;

  double At(uint32_t item, uint32_t axis) const { return Coord[size_t(item) * nAxes + axis]; }
};

// An eigenvalue counts as positive (gives an axis) only above this fraction of the largest.
inline constexpr double kPCoAPositiveRel = 1e-10;

// Centres -d^2/2 twice and decomposes it; axes in descending eigenvalue order, each
// eigenvector's first component not negative, coordinate = component * sqrt(eigenvalue).
// Fewer than two items, a pair without a distance, all distances 0 and a failed solver are
// errors.
TZelErr PCoA(const TSymDist& dist, TPCoAResult& out);
