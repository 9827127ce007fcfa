// The recording canvas: every call as one line of text.
#include "ui/plot3d/plotCanvas.h"

namespace {
std::string Four(const char* what, int32_t a, int32_t b, int32_t c, int32_t d) {
  return std::string(what) + " " + std::to_string(a) + " " + std::to_string(b) + " " +
         std::to_string(c) + " " + std::to_string(d);
}
}  // namespace

void TRecordingCanvas::SetPen(TPlotColour col, int width) {
  if (KeepState) Calls.push_back("pen " + std::to_string(col) + " " + std::to_string(width));
}
void TRecordingCanvas::SetBrush(TPlotColour col) {
  if (KeepState) Calls.push_back("brush " + std::to_string(col));
}
void TRecordingCanvas::SetTextColour(TPlotColour col) {
  if (KeepState) Calls.push_back("textcol " + std::to_string(col));
}
void TRecordingCanvas::Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
  Calls.push_back(Four("rect", l, t, r, b));
}
void TRecordingCanvas::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Calls.push_back(Four("line", x1, y1, x2, y2));
}
void TRecordingCanvas::Polygon(const TCanvasPoint* pts, size_t n) {
  std::string s = "poly";
  for (size_t i = 0; i < n; ++i)
    s += " " + std::to_string(pts[i].x) + "," + std::to_string(pts[i].y);
  Calls.push_back(s);
}
void TRecordingCanvas::Ellipse(int32_t l, int32_t t, int32_t r, int32_t b) {
  Calls.push_back(Four("ellipse", l, t, r, b));
}
void TRecordingCanvas::Text(int32_t x, int32_t y, const std::string& text, uint16_t font) {
  Calls.push_back("text " + std::to_string(x) + " " + std::to_string(y) + " " + text +
                  (font ? " font" + std::to_string(font) : ""));
}
