// The standard and fitted views of a PCoA plot, its groups, captions and legend.
#include "ui/plot3d/plotView.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "base/korNum.h"

std::vector<double> AxisShares(const std::vector<double>& eigenvalues, uint32_t nAxes) {
  std::vector<double> out(nAxes, 0.0);
  double sum = 0;
  for (double e : eigenvalues)
    if (e > 0) sum += e;
  if (sum <= 0) return out;
  for (uint32_t k = 0; k < nAxes && k < eigenvalues.size(); ++k)
    out[k] = eigenvalues[k] > 0 ? 100.0 * eigenvalues[k] / sum : 0;
  return out;
}

std::string AxisCaption(uint32_t k, double percent) {
  return "Co. " + std::to_string(k) + " (" + e2sX(percent, 1, 2) + "%)";
}

std::vector<t3dsymbol> SymbolsOfInput(const TPlotInput& in) {
  std::vector<t3dsymbol> out;
  if (in.nAxes < 3) return out;
  out.reserve(in.Names.size());
  for (size_t i = 0; i < in.Names.size(); ++i) {
    t3dsymbol s;
    s.name = in.Names[i].substr(0, 255);
    s.plottext = 1;
    s.sym = DefSymShape;
    s.size = DefSymSize;
    s.col1 = DefSymCol;
    const double* row = in.Coord.data() + i * in.nAxes;
    s.x = float(row[0]);
    s.y = float(row[1]);
    s.z = float(row[2]);
    out.push_back(std::move(s));
  }
  return out;
}

std::vector<int32_t> GroupsOfLabels(const std::vector<std::string>& labels,
                                    const std::vector<std::vector<std::string>>& members) {
  std::unordered_map<std::string, int32_t> first;
  for (size_t g = members.size(); g-- > 0;)
    for (const std::string& m : members[g]) first[m] = int32_t(g);
  std::vector<int32_t> out(labels.size(), -1);
  for (size_t i = 0; i < labels.size(); ++i) {
    auto it = first.find(labels[i]);
    if (it != first.end()) out[i] = it->second;
  }
  return out;
}

void InitP3D(tplot3d& p3d, const std::vector<t3dsymbol>& symbols) {
  p3d.enableSSE = true;
  p3d.SetColours(PlotRGB(255, 255, 255), 0);
  p3d.SetScale(10, 10, 10);
  p3d.SetZoom(50);
  p3d.SetRotation(30, 30, 0);
  p3d.SetSymbols(symbols);
  p3d.SetIntAxes(true, true);
  p3d.LineMainSz = 2;
  p3d.SetIntPlanes(false, false, false, PlotRGB(160, 160, 160));
  p3d.SetExtPlanes(false, false, false, false, false, false, PlotRGB(208, 208, 208));
  float xmax, xmin, ymax, ymin, zmax, zmin;
  p3d.MaxMinCoord(xmax, xmin, ymax, ymin, zmax, zmin);
  p3d.SetCoordSys(xmax + 0.1f * xmax, xmin - 0.1f * xmax, ymax + 0.1f * ymax, ymin - 0.1f * ymax,
                  zmax + 0.1f * zmax, zmin - 0.1f * zmax);
  p3d.SetAllOrdinX(1);
  p3d.SetAllOrdinY(1);
  p3d.SetAllOrdinZ(1);
  p3d.SetOrdinations(false, false, false);
}

void FitToRect(tplot3d& p3d, int32_t l, int32_t t, int32_t r, int32_t b) {
  if (p3d.XP.empty() || r <= l || b <= t) return;
  // Project at zoom 1 (the projection is linear in the zoom) and scale the extent into the
  // rectangle, leaving room for the symbols themselves.
  const float keep = p3d.zoom;
  p3d.zoom = 1;
  const int32_t pad = p3d.LargestSymSize + 2;
  // Rounding at zoom 1 would lose small extents: measure at a large zoom instead.
  const float probe = 1e4f;
  p3d.zoom = probe;
  std::vector<int32_t> u, v, w;
  p3d.RotateXYZ2int(u, v, w);
  int64_t minU = std::numeric_limits<int64_t>::max(), maxU = std::numeric_limits<int64_t>::min();
  int64_t minV = minU, maxV = maxU;
  for (size_t k = 0; k < u.size(); ++k) {
    minU = std::min<int64_t>(minU, u[k]), maxU = std::max<int64_t>(maxU, u[k]);
    minV = std::min<int64_t>(minV, v[k]), maxV = std::max<int64_t>(maxV, v[k]);
  }
  const double spanU = double(maxU - minU) / probe, spanV = double(maxV - minV) / probe;
  const double availW = std::max(1, r - l - 2 * pad), availH = std::max(1, b - t - 2 * pad);
  double z = std::numeric_limits<double>::max();
  if (spanU > 0) z = std::min(z, availW / spanU);
  if (spanV > 0) z = std::min(z, availH / spanV);
  if (z == std::numeric_limits<double>::max()) z = keep;
  p3d.zoom = float(z);
  const double cu = (double(minU) + double(maxU)) / 2 / probe * z;
  const double cv = (double(minV) + double(maxV)) / 2 / probe * z;
  p3d.SetOrigin(int32_t(std::lround((l + r) / 2.0 - cu)), int32_t(std::lround((t + b) / 2.0 - cv)));
}

void ApplyMagic(tplot3d& p3d) {
  p3d.SetAllTxtlabels(false);
  p3d.SetAllSymSize(DefSymSize + 1);
  p3d.SetRotation(45, 45, 0);
  p3d.SetZoom(200);
  for (t3dsymbol& s : p3d.symbols) {
    std::string pre = s.name.substr(0, 3);
    for (char& c : pre) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (pre == "EXA") s.col1 = PlotRGB(255, 0, 0);
    if (pre == "SPH") s.col1 = PlotRGB(0, 0, 255);
    if (pre == "GAR") s.col1 = PlotRGB(0, 128, 0);
    if (pre == "INC") s.col1 = PlotRGB(255, 165, 0);
  }
}

TGroupLook PictureLook(size_t group) {
  static const TPlotColour kPalette[] = {
      PlotRGB(31, 119, 180),  PlotRGB(255, 127, 14), PlotRGB(44, 160, 44),   PlotRGB(214, 39, 40),
      PlotRGB(148, 103, 189), PlotRGB(140, 86, 75),  PlotRGB(227, 119, 194), PlotRGB(127, 127, 127),
      PlotRGB(188, 189, 34),  PlotRGB(23, 190, 207),
  };
  constexpr size_t n = sizeof kPalette / sizeof kPalette[0];
  return TGroupLook{uint8_t(1 + group % 13), kPalette[group % n]};
}

int32_t DrawLegend(IPlotCanvas& c, const std::vector<std::string>& names,
                   const std::vector<TGroupLook>& looks, int32_t x, int32_t y, int32_t rowHeight,
                   TPlotColour textCol) {
  c.SetTextColour(textCol);
  const int32_t s = std::max(2, rowHeight / 3);
  for (size_t g = 0; g < names.size() && g < looks.size(); ++g) {
    c.SetBrush(looks[g].col);
    c.SetPen(looks[g].col, 0);
    PlotSymb(c, looks[g].shape, x + s, y + rowHeight / 2, s);
    c.Text(x + 3 * s, y, names[g], 0);
    y += rowHeight;
  }
  return y;
}
