// The drawing surface the 3D plot engine paints on: five primitives and pen/brush state, so the
// engine knows no toolkit; a recording canvas keeps every call as a line of text for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Colours are blue*65536 + green*256 + red, as the plot stores them.
using TPlotColour = int32_t;

struct TCanvasPoint {
  int32_t x = 0, y = 0;
};

class IPlotCanvas {
 public:
  virtual ~IPlotCanvas() = default;
  // Width 0 is the thinnest line the target can draw.
  virtual void SetPen(TPlotColour col, int width) = 0;
  virtual void SetBrush(TPlotColour col) = 0;
  virtual void SetTextColour(TPlotColour col) = 0;
  // Filled with the brush and outlined with the pen; right and bottom are exclusive.
  virtual void Rect(int32_t l, int32_t t, int32_t r, int32_t b) = 0;
  virtual void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) = 0;
  virtual void Polygon(const TCanvasPoint* pts, size_t n) = 0;
  virtual void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) = 0;
  // Top-left anchored, transparent background; font 0 is the default font.
  virtual void Text(int32_t x, int32_t y, const std::string& text, uint16_t font) = 0;
};

// Keeps each call as one line ("pen 255 2", "rect 1 2 3 4", "poly 0,0 1,1 2,0", ...).
class TRecordingCanvas : public IPlotCanvas {
 public:
  std::vector<std::string> Calls;
  // Without state calls only the drawing primitives are kept (most tests want just those).
  bool KeepState = true;

  void SetPen(TPlotColour col, int width) override;
  void SetBrush(TPlotColour col) override;
  void SetTextColour(TPlotColour col) override;
  void Rect(int32_t l, int32_t t, int32_t r, int32_t b) override;
  void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Polygon(const TCanvasPoint* pts, size_t n) override;
  void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override;
  void Text(int32_t x, int32_t y, const std::string& text, uint16_t font) override;
};
