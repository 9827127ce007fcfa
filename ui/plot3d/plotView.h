// What a plot of principal coordinates is made of, free of any toolkit: the symbols of a
// result, each axis's share, the groups of the symbols, the standard view, the fitted view of
// a picture file, the preset colouring and the legend.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/plot3d/tplot3d.h"

// The coordinates handed to a plot: one row per item, one column per positive axis.
struct TPlotInput {
  std::vector<std::string> Names;
  uint32_t nAxes = 0;
  std::vector<double> Coord;        // Names.size() x nAxes, row by row
  std::vector<double> Eigenvalues;  // the positive eigenvalues, largest first (may be empty)
  std::vector<std::string> GroupNames;
  std::vector<std::vector<std::string>> GroupMembers;
};

struct TGroupLook {
  uint8_t shape = shCircle;
  TPlotColour col = 0;
};

inline constexpr uint16_t DefSymSize = 3;
inline constexpr uint8_t DefSymShape = shCircle;
inline constexpr TPlotColour DefSymCol = 0;

// Each axis's percentage of the sum of the positive eigenvalues (0 for all without any).
std::vector<double> AxisShares(const std::vector<double>& eigenvalues, uint32_t nAxes);
// "Co. k (p%)" with p to one decimal.
std::string AxisCaption(uint32_t k, double percent);

// Symbol i: item i at its first three coordinates, labelled, default shape, size and colour.
std::vector<t3dsymbol> SymbolsOfInput(const TPlotInput& in);
// For each label the first group whose member list holds it exactly; -1 for none.
std::vector<int32_t> GroupsOfLabels(const std::vector<std::string>& labels,
                                    const std::vector<std::vector<std::string>>& members);

// The view a plot window opens with: scale 10, zoom 50, rotation (30, 30, 0) degrees, both
// half-axes at width 2, planes off, the box a tenth wider than the extremes, ordination modes
// 1 and ordinations off. The engine must have been given its canvas size.
void InitP3D(tplot3d& p3d, const std::vector<t3dsymbol>& symbols);

// Zoom and origin so that the box and every symbol fit the rectangle (l, t, r, b).
void FitToRect(tplot3d& p3d, int32_t l, int32_t t, int32_t r, int32_t b);

// Labels off, sizes one above the default, rotation (45, 45, 0), zoom 200, colours by label
// prefix (EXA red, SPH blue, GAR dark green, INC orange).
void ApplyMagic(tplot3d& p3d);

// The fixed palette and shapes of pictures: group g gets kPalette[g % n] and shape
// 1 + g % 13.
TGroupLook PictureLook(size_t group);

// One row per group: a symbol of its look and its name; returns the bottom of the legend.
int32_t DrawLegend(IPlotCanvas& c, const std::vector<std::string>& names,
                   const std::vector<TGroupLook>& looks, int32_t x, int32_t y, int32_t rowHeight,
                   TPlotColour textCol);
