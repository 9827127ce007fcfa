// The 3D scatter plot engine: rotates labelled symbols and a box-shaped coordinate system,
// orders everything by depth and paints it back to front onto an abstract canvas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/plot3d/plotCanvas.h"

// Shape codes of the symbols (low byte of sym; the high byte is a secondary shape).
enum : uint8_t {
  shPoint = 0,
  shCircle = 1,
  shSquare = 2,
  shDiamond = 3,
  shTriangleDown = 4,
  shTriangleUp = 5,
  shTriangleLeft = 6,
  shTriangleRight = 7,
  shCrossUp = 8,
  shCrossSide = 9,
  shEllipseUp = 10,
  shEllipseSide = 11,
  shRectUp = 12,
  shRectSide = 13,
};

// Colours as red, green, blue.
constexpr TPlotColour PlotRGB(int r, int g, int b) { return (b << 16) | (g << 8) | r; }

struct t3dsymbol {
  float x = 0, y = 0, z = 0;
  uint16_t sym = shCircle;
  std::string name;  // at most 255 bytes
  uint16_t size = 3;
  TPlotColour col1 = 0, col2 = 0, col3 = 0;
  uint8_t plottext = 1;
  uint8_t Ordin = 0;  // 2 bits each: X, Y, Z mode, line colour selector
  uint8_t pointtype = 0, pointsubtype = 0;
  uint16_t FontListIndex = 0;
};

struct TScrPoint {
  int32_t x = 0, y = 0;  // signed: a point off the canvas keeps its true position
  uint32_t sym = 0;
};

class tplot3d {
 public:
  bool enableSSE = false;
  float xrotation = 0, yrotation = 0, zrotation = 0;  // radians, within (-2pi, 2pi)
  float scaleX = 1, scaleY = 1, scaleZ = 1;
  std::vector<t3dsymbol> symbols;
  float zoom = 1;
  TPlotColour BackCol = PlotRGB(255, 255, 255), ForeCol = 0;
  bool XordinEnabled = false, YordinEnabled = false, ZordinEnabled = false;
  uint8_t UseOrdins = 0;
  int32_t ScrOriX = 0, ScrOriY = 0;
  std::vector<uint32_t> SortList;
  std::vector<TScrPoint> ScrPoints;  // symbols in drawing order
  std::vector<TScrPoint> SysPoints;  // coordinate-system points in drawing order (sym = grid j)
  uint32_t nScrPoints = 0;
  TPlotColour ExtPlaneCol = PlotRGB(208, 208, 208), IntPlaneCol = PlotRGB(160, 160, 160);
  uint16_t TxtOfsX = 0, TxtOfsY = 0;
  bool DrawXY = false, DrawXZ = false, DrawYZ = false;
  bool DrawXYp = false, DrawXZp = false, DrawYZp = false;
  bool DrawXYn = false, DrawXZn = false, DrawYZn = false;
  bool DrawMainPosAxes = true, DrawMainNegAxes = true;
  uint8_t LineMainSz = 0, LineExtSz = 0, LineIntSz = 0;
  std::vector<float> XP, YP, ZP;
  uint8_t CoordLoaded = 0;
  uint32_t nSysPoints = 0;
  uint32_t nSymbols = 0;
  uint32_t OrdXofs = 0, OrdYofs = 0, OrdZofs = 0;
  uint32_t SysPofs = 0;
  int32_t ScrMaxX = 0, ScrMaxY = 0;
  uint16_t LargestSymSize = 0;

  // Binds a canvas size: white background, origin in the middle, unit scales, no rotation,
  // everything loaded before forgotten.
  void init(int32_t width, int32_t height);
  void reset();
  void UpdatePlotSize(int32_t width, int32_t height);
  void SetZoom(float zm) { zoom = zm; }
  void SetScale(float x, float y, float z);
  void SetOrigin(int32_t x, int32_t y);
  void SetColours(TPlotColour backC, TPlotColour foreC);
  void SetRotation(double xdeg, double ydeg, double zdeg);
  void NewRotation(double xdeg, double ydeg, double zdeg);
  void AdjustRotRanges();
  void SetSymbols(const std::vector<t3dsymbol>& list);
  void SetCoordSys(float xmax, float xmin, float ymax, float ymin, float zmax, float zmin);
  void SetOrdinations(bool x, bool y, bool z);
  void SetIntAxes(bool pos, bool neg);
  void SetIntPlanes(bool xy, bool xz, bool yz, TPlotColour col);
  void SetExtPlanes(bool xyN, bool xzN, bool yzN, bool xyP, bool xzP, bool yzP, TPlotColour col);
  void MaxMinCoord(float& xmax, float& xmin, float& ymax, float& ymin, float& zmax,
                   float& zmin) const;
  void SetAllOrdinX(uint8_t mode);
  void SetAllOrdinY(uint8_t mode);
  void SetAllOrdinZ(uint8_t mode);
  void SetAllTxtlabels(bool show);
  void SetAllSymSize(uint16_t newsize);
  void UpdateSymSize();
  uint16_t GetLargestSymSize() const;
  void ClearGraph(IPlotCanvas& c) const;
  void ScatterPlot3D(IPlotCanvas& c);
  // The frontmost drawn symbol within LargestSymSize of (scrX, scrY).
  bool SymOnScreenPos(int32_t scrX, int32_t scrY, uint32_t& symbID) const;
  static void ExtractOrdin(uint8_t o, uint8_t& x, uint8_t& y, uint8_t& z, uint8_t& col);

  // Projection of every point: screen offsets from the origin and depth (larger = nearer).
  void RotateXYZ2int(std::vector<int32_t>& u, std::vector<int32_t>& v,
                     std::vector<int32_t>& w) const;

  // The same projection four points at a time (what enableSSE selects): the per-point
  // arithmetic is identical, so the integers are too; the compiler vectorises the batches.
  void RotateXYZ2intSSE(std::vector<int32_t>& u, std::vector<int32_t>& v,
                        std::vector<int32_t>& w) const;

  // The coordinate box is loaded (the grid exists).
  bool HasBox() const { return nSysPoints == 27; }

 private:
  std::vector<int32_t> FU, FV, FW, FDepth;  // reused between repaints
  int32_t SX(uint32_t k) const;
  int32_t SY(uint32_t k) const;
  void FillOrdinBlock(uint32_t ofs, int axis);
};

// Hoare quicksort of the keys x ascending with Y permuted alongside, positions start..stop.
void QCoSort(int32_t* x, uint32_t* Y, int64_t start, int64_t stop);
// Draws one shape centred at (x, y) with half-width s.
void PlotSymb(IPlotCanvas& c, uint8_t shape, int32_t x, int32_t y, int32_t s);
