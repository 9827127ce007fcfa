// QPainter behind the plot canvas. Rectangles and ellipses take exclusive right/bottom edges
// (as the engine gives them), so they are drawn one pixel smaller than the box.
#include "ui/plot3d/qtCanvas.h"

#include <QFontMetrics>
#include <QString>

QColor PlotQColor(TPlotColour c) { return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff); }

TPlotColour PlotColourOf(const QColor& c) { return (c.blue() << 16) | (c.green() << 8) | c.red(); }

TQtPlotCanvas::TQtPlotCanvas(QPainter& p, std::vector<QFont> fonts)
    : FP(p), FFonts(std::move(fonts)) {
  if (FFonts.empty()) FFonts.push_back(p.font());
  FP.setFont(FFonts[0]);
  FAscent = QFontMetrics(FFonts[0]).ascent();
  FPen = QPen(Qt::black, 0);
  FPen.setJoinStyle(Qt::MiterJoin);
  FP.setPen(FPen);
}

void TQtPlotCanvas::SetPen(TPlotColour col, int width) {
  FPen.setColor(PlotQColor(col));
  FPen.setWidth(width);
  FP.setPen(FPen);
}

void TQtPlotCanvas::SetBrush(TPlotColour col) { FP.setBrush(PlotQColor(col)); }

void TQtPlotCanvas::SetTextColour(TPlotColour col) { FTextCol = PlotQColor(col); }

void TQtPlotCanvas::Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
  FP.drawRect(l, t, r - l - 1, b - t - 1);
}

void TQtPlotCanvas::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  FP.drawLine(x1, y1, x2, y2);
}

void TQtPlotCanvas::Polygon(const TCanvasPoint* pts, size_t n) {
  FPts.resize(n);
  for (size_t i = 0; i < n; ++i) FPts[i] = QPoint(pts[i].x, pts[i].y);
  FP.drawPolygon(FPts.data(), int(n));
}

void TQtPlotCanvas::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) {
  FP.drawEllipse(l, t, r - l - 1, b - t - 1);
}

void TQtPlotCanvas::Text(int32_t x, int32_t y, const std::string& text, uint16_t font) {
  const bool other = font != 0 && font < FFonts.size();
  if (other) FP.setFont(FFonts[font]);
  const QPen keep = FP.pen();
  FP.setPen(FTextCol);
  FP.drawText(x, y + (other ? QFontMetrics(FFonts[font]).ascent() : FAscent),
              QString::fromUtf8(text.data(), qsizetype(text.size())));
  FP.setPen(keep);
  if (other) FP.setFont(FFonts[0]);
}
