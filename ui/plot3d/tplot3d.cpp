// The 3D scatter plot engine: projection, depth order, planes, axes, box edges, symbols,
// labels, ordination lines and the hit test.
#include "ui/plot3d/tplot3d.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// Rounds to the nearest integer, ties to even (the default rounding mode); values far off the
// canvas are clamped first so that the conversion stays defined.
int32_t ToInt(float f) {
  if (std::isnan(f)) return 0;
  const float c = std::clamp(f, -1.0e9f, 1.0e9f);
  return static_cast<int32_t>(std::nearbyint(c));
}

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// A finite angle folded into (-2pi, 2pi); repeated subtraction would never end for a huge one.
float FoldAngle(float a) {
  if (!std::isfinite(a)) return 0;
  return static_cast<float>(std::fmod(static_cast<double>(a), kTwoPi));
}

enum TPlane { XYn, XZn, YZn, XYp, XZp, YZp };

struct TEdge {
  uint8_t a, b;
  TPlane p1, p2;
  char axis;  // the axis whose depth flag decides which end draws it
};

constexpr TEdge kBoxEdges[12] = {
    {0, 6, YZn, XYn, 'y'},   {0, 2, YZn, XZn, 'z'},   {2, 8, YZn, XYp, 'y'},
    {6, 8, YZn, XZp, 'z'},   {18, 24, YZp, XYn, 'y'}, {18, 20, YZp, XZn, 'z'},
    {20, 26, YZp, XYp, 'y'}, {24, 26, YZp, XZp, 'z'}, {0, 18, XYn, XZn, 'x'},
    {6, 24, XYn, XZp, 'x'},  {2, 20, XYp, XZn, 'x'},  {8, 26, XYp, XZp, 'x'},
};

bool IsAxisPoint(uint32_t j) {
  return j == 4 || j == 10 || j == 12 || j == 13 || j == 14 || j == 16 || j == 22;
}
bool IsCorner(uint32_t j) {
  return j == 0 || j == 2 || j == 6 || j == 8 || j == 18 || j == 20 || j == 24 || j == 26;
}

}  // namespace

void QCoSort(int32_t* x, uint32_t* Y, int64_t start, int64_t stop) {
  while (start < stop) {
    int64_t i = start, j = stop;
    const int32_t pivot = x[(start + stop) / 2];
    do {
      while (x[i] < pivot) ++i;
      while (x[j] > pivot) --j;
      if (i <= j) {
        std::swap(x[i], x[j]);
        std::swap(Y[i], Y[j]);
        ++i;
        --j;
      }
    } while (i <= j);
    // Recursing into the smaller part and looping on the larger keeps the stack shallow and
    // gives the same order as recursing into both.
    if (j - start < stop - i) {
      if (start < j) QCoSort(x, Y, start, j);
      start = i;
    } else {
      if (i < stop) QCoSort(x, Y, i, stop);
      stop = j;
    }
  }
}

void PlotSymb(IPlotCanvas& c, uint8_t shape, int32_t x, int32_t y, int32_t s) {
  const int32_t L = x - s, R = x + s, T = y - s, B = y + s, t = s / 3, h = s / 2;
  auto poly = [&c](std::initializer_list<TCanvasPoint> p) { c.Polygon(p.begin(), p.size()); };
  switch (shape) {
    case shPoint:
      c.Ellipse(x, y, x + 1, y + 1);
      break;
    case shCircle:
      c.Ellipse(L, T, R, B);
      break;
    case shSquare:
      c.Rect(L, T, R, B);
      break;
    case shDiamond:
      poly({{x, T}, {R, y}, {x, B}, {L, y}});
      break;
    case shTriangleDown:
      poly({{x, B}, {R, T}, {L, T}});
      break;
    case shTriangleUp:
      poly({{x, T}, {R, B}, {L, B}});
      break;
    case shTriangleLeft:
      poly({{L, y}, {R, B}, {R, T}});
      break;
    case shTriangleRight:
      poly({{R, y}, {L, B}, {L, T}});
      break;
    case shCrossUp:
      poly({{L, y + t},
            {x - t, y + t},
            {x - t, B},
            {x + t, B},
            {x + t, y + t},
            {R, y + t},
            {R, y - t},
            {x + t, y - t},
            {x + t, T},
            {x - t, T},
            {x - t, y - t},
            {L, y - t}});
      break;
    case shCrossSide:
      poly({{x - h, y},
            {L, y + h},
            {x - h, B},
            {x, y + h},
            {x + h, B},
            {R, y + h},
            {x + h, y},
            {R, y - h},
            {x + h, T},
            {x, y - h},
            {x - h, T},
            {L, y - h}});
      break;
    case shEllipseUp:
      c.Ellipse(x - s / 2, T, x + s / 2, B);
      break;
    case shEllipseSide:
      c.Ellipse(L, y - s / 2, R, y + s / 2);
      break;
    case shRectUp:
      c.Rect(x - s / 2, T, x + s / 2, B);
      break;
    case shRectSide:
      c.Rect(L, y - s / 2, R, y + s / 2);
      break;
    default:
      break;
  }
}

void tplot3d::init(int32_t width, int32_t height) {
  BackCol = PlotRGB(255, 255, 255);
  ScrMaxX = width;
  ScrMaxY = height;
  ScrOriX = width / 2;
  ScrOriY = height / 2;
  scaleX = scaleY = scaleZ = 1;
  zoom = 1;
  xrotation = yrotation = zrotation = 0;
  reset();
}

void tplot3d::reset() {
  symbols.clear();
  XP.clear();
  YP.clear();
  ZP.clear();
  ScrPoints.clear();
  SysPoints.clear();
  SortList.clear();
  CoordLoaded = 0;
  nSysPoints = nSymbols = 0;
  LargestSymSize = 0;
  nScrPoints = 0;
  OrdXofs = OrdYofs = OrdZofs = 0;
  SysPofs = 0;
  UseOrdins = 0;
}

void tplot3d::UpdatePlotSize(int32_t width, int32_t height) {
  ScrOriX = std::max(0, Clamp32(int64_t(ScrOriX) + (int64_t(width) - ScrMaxX) / 2));
  ScrOriY = std::max(0, Clamp32(int64_t(ScrOriY) + (int64_t(height) - ScrMaxY) / 2));
  ScrMaxX = width;
  ScrMaxY = height;
}

void tplot3d::SetScale(float x, float y, float z) {
  scaleX = x;
  scaleY = y;
  scaleZ = z;
}

void tplot3d::SetOrigin(int32_t x, int32_t y) {
  ScrOriX = x;
  ScrOriY = y;
}

void tplot3d::SetColours(TPlotColour backC, TPlotColour foreC) {
  BackCol = backC;
  ForeCol = foreC;
}

void tplot3d::SetRotation(double xdeg, double ydeg, double zdeg) {
  xrotation = static_cast<float>(xdeg * kTwoPi / 360);
  yrotation = static_cast<float>(ydeg * kTwoPi / 360);
  zrotation = static_cast<float>(zdeg * kTwoPi / 360);
  AdjustRotRanges();
}

void tplot3d::NewRotation(double xdeg, double ydeg, double zdeg) {
  xrotation = static_cast<float>(xrotation + xdeg * kTwoPi / 360);
  yrotation = static_cast<float>(yrotation + ydeg * kTwoPi / 360);
  zrotation = static_cast<float>(zrotation + zdeg * kTwoPi / 360);
  AdjustRotRanges();
}

void tplot3d::AdjustRotRanges() {
  xrotation = FoldAngle(xrotation);
  yrotation = FoldAngle(yrotation);
  zrotation = FoldAngle(zrotation);
}

void tplot3d::SetSymbols(const std::vector<t3dsymbol>& list) {
  symbols = list;
  nSymbols = static_cast<uint32_t>(symbols.size());
  CoordLoaded = 1;
  XP.resize(nSymbols);
  YP.resize(nSymbols);
  ZP.resize(nSymbols);
  for (uint32_t i = 0; i < nSymbols; ++i) {
    XP[i] = symbols[i].x;
    YP[i] = symbols[i].y;
    ZP[i] = symbols[i].z;
  }
  UpdateSymSize();
  nSysPoints = 0;
  SysPofs = 0;
  OrdXofs = OrdYofs = OrdZofs = 0;
  UseOrdins = 0;
}

void tplot3d::SetCoordSys(float xmax, float xmin, float ymax, float ymin, float zmax, float zmin) {
  nSysPoints = 27;
  SysPofs = nSymbols;
  CoordLoaded = (CoordLoaded & 1) ? 3 : 2;
  OrdXofs = OrdYofs = OrdZofs = 0;
  UseOrdins = 0;
  XP.resize(nSymbols + 27);
  YP.resize(nSymbols + 27);
  ZP.resize(nSymbols + 27);
  const float xs[3] = {xmin, 0, xmax}, ys[3] = {ymin, 0, ymax}, zs[3] = {zmin, 0, zmax};
  for (uint32_t j = 0; j < 27; ++j) {
    XP[SysPofs + j] = xs[j / 9];
    YP[SysPofs + j] = ys[(j / 3) % 3];
    ZP[SysPofs + j] = zs[j % 3];
  }
}

void tplot3d::FillOrdinBlock(uint32_t ofs, int axis) {
  // Min and max are the faces of the coordinate box; without a box they fall back to 0.
  float lo = 0, hi = 0;
  if (HasBox()) {
    const std::vector<float>& a = axis == 0 ? XP : axis == 1 ? YP : ZP;
    lo = a[SysPofs];
    hi = a[SysPofs + 26];
  }
  for (uint32_t i = 0; i < nSymbols; ++i) {
    float p[3] = {XP[i], YP[i], ZP[i]};
    const uint8_t mode = (symbols[i].Ordin >> (2 * axis)) & 3;
    p[axis] = mode == 2 ? lo : mode == 3 ? hi : 0;
    XP[ofs + i] = p[0];
    YP[ofs + i] = p[1];
    ZP[ofs + i] = p[2];
  }
}

void tplot3d::SetOrdinations(bool x, bool y, bool z) {
  XordinEnabled = x;
  YordinEnabled = y;
  ZordinEnabled = z;
  UseOrdins = uint8_t(x) + uint8_t(y) + uint8_t(z);
  const uint32_t base = HasBox() ? 27 : 0, n = nSymbols;
  OrdXofs = x ? base + n : 0;
  OrdYofs = y ? base + n + n * uint32_t(x) : 0;
  OrdZofs = z ? base + n * (uint32_t(x) + uint32_t(y) + 1) : 0;
  CoordLoaded &= 0x0b;
  const size_t total = size_t(UseOrdins + 1) * n + nSysPoints;
  XP.resize(total);
  YP.resize(total);
  ZP.resize(total);
  if (UseOrdins == 0) return;
  CoordLoaded |= 4;
  if (x) FillOrdinBlock(OrdXofs, 0), CoordLoaded |= 0x10;
  if (y) FillOrdinBlock(OrdYofs, 1), CoordLoaded |= 0x20;
  if (z) FillOrdinBlock(OrdZofs, 2), CoordLoaded |= 0x40;
}

void tplot3d::SetIntAxes(bool pos, bool neg) {
  DrawMainPosAxes = pos;
  DrawMainNegAxes = neg;
}

void tplot3d::SetIntPlanes(bool xy, bool xz, bool yz, TPlotColour col) {
  DrawXY = xy;
  DrawXZ = xz;
  DrawYZ = yz;
  IntPlaneCol = col;
}

void tplot3d::SetExtPlanes(bool xyN, bool xzN, bool yzN, bool xyP, bool xzP, bool yzP,
                           TPlotColour col) {
  DrawXYn = xyN;
  DrawXZn = xzN;
  DrawYZn = yzN;
  DrawXYp = xyP;
  DrawXZp = xzP;
  DrawYZp = yzP;
  ExtPlaneCol = col;
}

void tplot3d::MaxMinCoord(float& xmax, float& xmin, float& ymax, float& ymin, float& zmax,
                          float& zmin) const {
  xmax = xmin = ymax = ymin = zmax = zmin = 0;
  for (const t3dsymbol& s : symbols) {
    xmax = std::max(xmax, s.x), xmin = std::min(xmin, s.x);
    ymax = std::max(ymax, s.y), ymin = std::min(ymin, s.y);
    zmax = std::max(zmax, s.z), zmin = std::min(zmin, s.z);
  }
}

void tplot3d::SetAllOrdinX(uint8_t mode) {
  for (t3dsymbol& s : symbols) s.Ordin = uint8_t((s.Ordin & ~0x03) | (mode & 3));
}
void tplot3d::SetAllOrdinY(uint8_t mode) {
  for (t3dsymbol& s : symbols) s.Ordin = uint8_t((s.Ordin & ~0x0c) | ((mode & 3) << 2));
}
void tplot3d::SetAllOrdinZ(uint8_t mode) {
  for (t3dsymbol& s : symbols) s.Ordin = uint8_t((s.Ordin & ~0x30) | ((mode & 3) << 4));
}

void tplot3d::SetAllTxtlabels(bool show) {
  for (t3dsymbol& s : symbols) s.plottext = show ? 1 : 0;
}

void tplot3d::SetAllSymSize(uint16_t newsize) {
  for (t3dsymbol& s : symbols) s.size = newsize;
  LargestSymSize = newsize;
}

void tplot3d::UpdateSymSize() { LargestSymSize = GetLargestSymSize(); }

uint16_t tplot3d::GetLargestSymSize() const {
  uint16_t m = 0;
  for (const t3dsymbol& s : symbols) m = std::max(m, s.size);
  return m;
}

void tplot3d::ClearGraph(IPlotCanvas& c) const {
  c.SetPen(BackCol, 0);
  c.SetBrush(BackCol);
  c.Rect(0, 0, ScrMaxX, ScrMaxY);
  c.SetPen(ForeCol, 0);
}

void tplot3d::ExtractOrdin(uint8_t o, uint8_t& x, uint8_t& y, uint8_t& z, uint8_t& col) {
  x = o & 3;
  y = (o >> 2) & 3;
  z = (o >> 4) & 3;
  col = (o >> 6) & 3;
}

namespace {

// One call's rotation: sines and cosines once, in extended precision, kept as 32-bit floats;
// every intermediate of a point is rounded to a float as well.
struct TRotor {
  double cx, sx, cy, sy, cz, sz, kx, ky, kz;
  TRotor(float rx, float ry, float rz, double kX, double kY, double kZ)
      : cx(float(cosl(rx))),
        sx(float(sinl(rx))),
        cy(float(cosl(ry))),
        sy(float(sinl(ry))),
        cz(float(cosl(rz))),
        sz(float(sinl(rz))),
        kx(kX),
        ky(kY),
        kz(kZ) {}
  void Apply(double X, double Y, double Z, float& u, float& v, float& w) const {
    const double x = float(X * kx), y = float(Y * ky), z = float(Z * kz);
    const double x1 = float(x * cx - z * sx), z1 = float(x * sx + z * cx);
    const double y1 = float(y * cy - z1 * sy);
    w = float(y * sy + z1 * cy);
    u = float(x1 * cz - y1 * sz);
    v = float(x1 * sz + y1 * cz);
  }
};

}  // namespace

void tplot3d::RotateXYZ2int(std::vector<int32_t>& u, std::vector<int32_t>& v,
                            std::vector<int32_t>& w) const {
  const size_t n = XP.size();
  u.resize(n);
  v.resize(n);
  w.resize(n);
  const TRotor r(xrotation, yrotation, zrotation, double(scaleX) * zoom, double(scaleY) * zoom,
                 double(scaleZ) * zoom);
  for (size_t k = 0; k < n; ++k) {
    float ud, vd, wd;
    r.Apply(XP[k], YP[k], ZP[k], ud, vd, wd);
    u[k] = ToInt(ud);
    v[k] = ToInt(vd);
    w[k] = ToInt(wd);
  }
}

// The same numbers, four points at a time: the floating-point steps of a batch run side by
// side before any is converted to an integer.
void tplot3d::RotateXYZ2intSSE(std::vector<int32_t>& u, std::vector<int32_t>& v,
                               std::vector<int32_t>& w) const {
  const size_t n = XP.size();
  u.resize(n);
  v.resize(n);
  w.resize(n);
  const TRotor r(xrotation, yrotation, zrotation, double(scaleX) * zoom, double(scaleY) * zoom,
                 double(scaleZ) * zoom);
  constexpr size_t B = 4;
  float ud[B], vd[B], wd[B];
  for (size_t k = 0; k < n; k += B) {
    const size_t m = std::min(B, n - k);
    for (size_t i = 0; i < m; ++i) r.Apply(XP[k + i], YP[k + i], ZP[k + i], ud[i], vd[i], wd[i]);
    for (size_t i = 0; i < m; ++i) {
      u[k + i] = ToInt(ud[i]);
      v[k + i] = ToInt(vd[i]);
      w[k + i] = ToInt(wd[i]);
    }
  }
}

int32_t tplot3d::SX(uint32_t k) const { return Clamp32(int64_t(ScrOriX) + FU[k]); }
int32_t tplot3d::SY(uint32_t k) const { return Clamp32(int64_t(ScrOriY) + FV[k]); }

void tplot3d::ScatterPlot3D(IPlotCanvas& c) {
  AdjustRotRanges();
  ScrPoints.clear();
  SysPoints.clear();
  nScrPoints = 0;
  if (XP.empty()) return;
  if (enableSSE)
    RotateXYZ2intSSE(FU, FV, FW);
  else
    RotateXYZ2int(FU, FV, FW);
  const uint32_t n = nSymbols, b = SysPofs;
  bool flagX = true, flagY = true, flagZ = true;
  if (HasBox()) {
    flagX = FW[b + 22] >= FW[b + 4];
    flagY = FW[b + 16] >= FW[b + 10];
    flagZ = FW[b + 14] >= FW[b + 12];
  }
  const uint32_t m = n + nSysPoints;
  SortList.resize(m);
  std::iota(SortList.begin(), SortList.end(), 0u);
  FDepth.assign(FW.begin(), FW.begin() + m);
  if (m > 0) QCoSort(FDepth.data(), SortList.data(), 0, int64_t(m) - 1);
  ScrPoints.reserve(n);
  SysPoints.reserve(nSysPoints);
  c.SetTextColour(ForeCol);

  auto P = [this, b](uint32_t j) { return TCanvasPoint{SX(b + j), SY(b + j)}; };
  auto quad = [&](uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3) {
    const TCanvasPoint q[4] = {P(p0), P(p1), P(p2), P(p3)};
    c.Polygon(q, 4);
  };
  if (HasBox()) {
    c.SetBrush(ExtPlaneCol);
    c.SetPen(ExtPlaneCol, 0);
    if (DrawXYn) quad(0, 6, 24, 18);
    if (DrawXZn) quad(0, 2, 20, 18);
    if (DrawYZn) quad(0, 2, 8, 6);
    if (DrawXYp) quad(2, 8, 26, 20);
    if (DrawXZp) quad(6, 8, 26, 24);
    if (DrawYZp) quad(18, 20, 26, 24);
    c.SetBrush(IntPlaneCol);
    c.SetPen(IntPlaneCol, 0);
    if (DrawXY) quad(1, 7, 25, 19);
    if (DrawYZ) quad(9, 11, 17, 15);
    if (DrawXZ) quad(3, 5, 23, 21);
  }
  const bool ext[6] = {DrawXYn, DrawXZn, DrawYZn, DrawXYp, DrawXZp, DrawYZp};
  auto flagOf = [&](char axis) { return axis == 'x' ? flagX : axis == 'y' ? flagY : flagZ; };
  // A segment is drawn when its farther end point comes up, from there to the other end.
  auto condLine = [&](bool flag, uint32_t j, uint32_t a, uint32_t bb) {
    if (j == a && flag) {
      c.Line(SX(b + a), SY(b + a), SX(b + bb), SY(b + bb));
    } else if (j == bb && !flag) {
      c.Line(SX(b + bb), SY(b + bb), SX(b + a), SY(b + a));
    }
  };

  TPlotColour penCol = ForeCol;
  const int baseWidth = 0;
  for (uint32_t k = 0; k < m; ++k) {
    const uint32_t item = SortList[k];
    if (item < n) {
      const t3dsymbol& s = symbols[item];
      if (s.Ordin != 0 && (s.Ordin & 0x3f) != 0) {
        uint8_t ox, oy, oz, sel;
        ExtractOrdin(s.Ordin, ox, oy, oz, sel);
        if (sel != 3) penCol = sel == 0 ? ForeCol : sel == 1 ? s.col1 : s.col2;
        c.SetPen(penCol, baseWidth);
        const int32_t px = SX(item), py = SY(item);
        if (ox && XordinEnabled && OrdXofs) c.Line(SX(OrdXofs + item), SY(OrdXofs + item), px, py);
        if (oy && YordinEnabled && OrdYofs) c.Line(SX(OrdYofs + item), SY(OrdYofs + item), px, py);
        if (oz && ZordinEnabled && OrdZofs) c.Line(SX(OrdZofs + item), SY(OrdZofs + item), px, py);
      }
      penCol = s.col1;
      c.SetBrush(s.col1);
      c.SetPen(s.col1, baseWidth);
      const int32_t px = SX(item), py = SY(item), sz = s.size;
      ScrPoints.push_back({px, py, item});
      const uint8_t primary = s.sym & 0xff, secondary = s.sym >> 8;
      PlotSymb(c, primary, px, py, sz);
      if (secondary != 0 && secondary != primary) {
        c.SetBrush(PlotRGB(255, 0, 0));
        c.SetPen(PlotRGB(255, 0, 0), baseWidth);
        penCol = PlotRGB(255, 0, 0);
        PlotSymb(c, secondary, px, py, sz);
      }
      if (s.plottext)
        c.Text(Clamp32(int64_t(px) + sz + TxtOfsX), Clamp32(int64_t(py) + sz + TxtOfsY), s.name,
               s.FontListIndex);
      continue;
    }
    const uint32_t j = item - b;
    penCol = ForeCol;
    if (IsAxisPoint(j)) {
      c.SetPen(penCol, LineMainSz);
      if (DrawMainNegAxes) {
        condLine(flagX, j, 4, 13);
        condLine(flagY, j, 10, 13);
        condLine(flagZ, j, 12, 13);
      }
      if (DrawMainPosAxes) {
        condLine(flagX, j, 13, 22);
        condLine(flagY, j, 13, 16);
        condLine(flagZ, j, 13, 14);
      }
    } else if (IsCorner(j)) {
      c.SetPen(penCol, LineExtSz);
      for (const TEdge& e : kBoxEdges)
        if (ext[e.p1] || ext[e.p2]) condLine(flagOf(e.axis), j, e.a, e.b);
    } else {
      c.SetPen(penCol, LineIntSz);
      if (DrawXY) {
        condLine(flagY, j, 1, 7);
        condLine(flagY, j, 19, 25);
        condLine(flagX, j, 1, 19);
        condLine(flagX, j, 7, 25);
      }
      if (DrawXZ) {
        condLine(flagZ, j, 3, 5);
        condLine(flagZ, j, 21, 23);
        condLine(flagX, j, 3, 21);
        condLine(flagX, j, 5, 23);
      }
      if (DrawYZ) {
        condLine(flagY, j, 9, 15);
        condLine(flagZ, j, 9, 11);
        condLine(flagY, j, 11, 17);
        condLine(flagZ, j, 15, 17);
      }
    }
    SysPoints.push_back({SX(item), SY(item), j});
    c.SetPen(penCol, baseWidth);
  }
  nScrPoints = static_cast<uint32_t>(ScrPoints.size());
}

bool tplot3d::SymOnScreenPos(int32_t scrX, int32_t scrY, uint32_t& symbID) const {
  for (size_t k = ScrPoints.size(); k-- > 0;) {
    const TScrPoint& p = ScrPoints[k];
    if (std::llabs(int64_t(scrX) - p.x) <= LargestSymSize &&
        std::llabs(int64_t(scrY) - p.y) <= LargestSymSize) {
      symbID = p.sym;
      return true;
    }
  }
  return false;
}
