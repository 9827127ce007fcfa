// The plot canvas on a QPainter: a QImage, an SVG generator or a widget.
#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <vector>

#include "ui/plot3d/plotCanvas.h"

QColor PlotQColor(TPlotColour c);
TPlotColour PlotColourOf(const QColor& c);

class TQtPlotCanvas : public IPlotCanvas {
 public:
  // fonts[0] is the default font; further entries serve FontListIndex.
  explicit TQtPlotCanvas(QPainter& p, std::vector<QFont> fonts = {});
  void SetPen(TPlotColour col, int width) override;
  void SetBrush(TPlotColour col) override;
  void SetTextColour(TPlotColour col) override;
  void Rect(int32_t l, int32_t t, int32_t r, int32_t b) override;
  void Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
  void Polygon(const TCanvasPoint* pts, size_t n) override;
  void Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) override;
  void Text(int32_t x, int32_t y, const std::string& text, uint16_t font) override;

 private:
  QPainter& FP;
  std::vector<QFont> FFonts;
  QPen FPen;
  QColor FTextCol;
  int FAscent = 0;
  std::vector<QPoint> FPts;
};
