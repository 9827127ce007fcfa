// F_ST along the genome: layout and drawing on the abstract canvas.
#include "ui/plot3d/fstGenomePlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int32_t kMarginLeft = 64, kMarginRight = 16, kMarginTop = 28, kMarginBottom = 44;
constexpr int32_t kChrGap = 6;  // pixels between two chromosomes
constexpr TPlotColour kAxisColour = 0x606060;

std::string Tick(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  return buf;
}

}  // namespace

int32_t TFstGenomeLayout::Y(double v) const {
  const double f = YMax > YMin ? (v - YMin) / (YMax - YMin) : 0.5;
  return Bottom - 1 - int32_t(std::lround(f * double(Bottom - 1 - Top)));
}

int32_t TFstGenomeLayout::X(uint32_t chr, uint64_t pos) const {
  const double len = double(std::max<uint64_t>(ChrLen[chr], 1));
  return int32_t(std::lround(ChrStartX[chr] + double(pos) / len * ChrWidth[chr]));
}

TFstGenomeLayout FstGenomeLayout(const TFstGenomeInput& in, int32_t width, int32_t height,
                                 int32_t zoomChr) {
  TFstGenomeLayout l;
  l.Left = kMarginLeft;
  l.Top = kMarginTop;
  l.Right = std::max(l.Left + 10, width - kMarginRight);
  l.Bottom = std::max(l.Top + 10, height - kMarginBottom);
  const size_t nChr = in.ChrNames.size();
  l.ChrLen.assign(nChr, 0);
  l.ChrStartX.assign(nChr, double(l.Left));
  l.ChrWidth.assign(nChr, 0);
  auto shown = [&](uint32_t c) { return zoomChr < 0 || c == uint32_t(zoomChr); };
  double lo = 0, hi = 0;
  for (size_t i = 0; i < in.LocValue.size(); ++i) {
    const uint32_t c = in.LocChr[i];
    if (c >= nChr || !shown(c)) continue;
    l.ChrLen[c] = std::max(l.ChrLen[c], in.LocPos[i]);
    if (std::isfinite(in.LocValue[i])) {
      lo = std::min(lo, in.LocValue[i]);
      hi = std::max(hi, in.LocValue[i]);
    }
  }
  for (const TFstGenomeWindow& w : in.Windows)
    if (w.Chr < nChr && shown(w.Chr) && std::isfinite(w.Value)) {
      lo = std::min(lo, w.Value);
      hi = std::max(hi, w.Value);
    }
  if (in.HasThreshold && std::isfinite(in.Threshold)) {
    lo = std::min(lo, in.Threshold);
    hi = std::max(hi, in.Threshold);
  }
  if (hi <= lo) hi = lo + 1;
  l.YMin = lo;
  l.YMax = hi;
  // Each chromosome gets room in proportion to its length.
  uint64_t total = 0;
  size_t nShown = 0;
  for (size_t c = 0; c < nChr; ++c)
    if (shown(uint32_t(c)) && l.ChrLen[c] > 0) {
      total += l.ChrLen[c];
      ++nShown;
    }
  const double room =
      double(l.Right - l.Left) - double(kChrGap) * double(nShown > 0 ? nShown - 1 : 0);
  double x = l.Left;
  for (size_t c = 0; c < nChr; ++c) {
    if (!shown(uint32_t(c)) || l.ChrLen[c] == 0) continue;
    l.ChrStartX[c] = x;
    l.ChrWidth[c] = std::max(1.0, room * double(l.ChrLen[c]) / double(total));
    x += l.ChrWidth[c] + kChrGap;
  }
  return l;
}

void DrawFstGenome(IPlotCanvas& c, const TFstGenomeInput& in, int32_t width, int32_t height,
                   int32_t zoomChr) {
  const TFstGenomeLayout l = FstGenomeLayout(in, width, height, zoomChr);
  const size_t nChr = in.ChrNames.size();
  auto shown = [&](uint32_t ch) {
    return ch < nChr && (zoomChr < 0 || ch == uint32_t(zoomChr)) && l.ChrWidth[ch] > 0;
  };
  // Frame and the y axis with three ticks.
  c.SetPen(0xFFFFFF, 0);
  c.SetBrush(0xFFFFFF);
  c.Rect(0, 0, width, height);
  c.SetPen(kAxisColour, 0);
  c.Line(l.Left - 1, l.Top, l.Left - 1, l.Bottom);
  c.Line(l.Left - 1, l.Bottom, l.Right, l.Bottom);
  c.SetTextColour(0);
  for (double v : {l.YMin, (l.YMin + l.YMax) / 2, l.YMax}) {
    const int32_t y = l.Y(v);
    c.Line(l.Left - 5, y, l.Left - 1, y);
    c.Text(8, y - 7, Tick(v), 0);
  }
  c.Text(l.Left, 6, in.Title, 0);
  // Points, chromosome by chromosome in alternating colours (by drawing order).
  uint32_t order = 0;
  for (uint32_t ch = 0; ch < nChr; ++ch) {
    if (!shown(ch)) continue;
    const TPlotColour col = kFstChrColour[order % 2];
    ++order;
    c.SetPen(col, 0);
    c.SetBrush(col);
    for (size_t i = 0; i < in.LocValue.size(); ++i) {
      if (in.LocChr[i] != ch || !std::isfinite(in.LocValue[i])) continue;
      const int32_t x = l.X(ch, in.LocPos[i]), y = l.Y(in.LocValue[i]);
      c.Ellipse(x - 2, y - 2, x + 2, y + 2);
    }
    const int32_t mid = int32_t(std::lround(l.ChrStartX[ch] + l.ChrWidth[ch] / 2));
    c.Text(mid - 4 * int32_t(in.ChrNames[ch].size()), l.Bottom + 8, in.ChrNames[ch], 0);
  }
  // The window line: window middles joined within a chromosome, broken at windows without
  // a value.
  c.SetPen(kFstWindowColour, 2);
  bool have = false;
  int32_t px = 0, py = 0;
  uint32_t pch = 0;
  for (const TFstGenomeWindow& w : in.Windows) {
    if (!shown(w.Chr) || !std::isfinite(w.Value)) {
      have = false;
      continue;
    }
    const uint64_t mid = w.Start + (w.End - w.Start) / 2;
    const int32_t x = l.X(w.Chr, std::min(mid, l.ChrLen[w.Chr])), y = l.Y(w.Value);
    if (have && pch == w.Chr) c.Line(px, py, x, y);
    have = true;
    px = x;
    py = y;
    pch = w.Chr;
  }
  if (in.HasThreshold && std::isfinite(in.Threshold)) {
    c.SetPen(kFstThresholdColour, 1);
    const int32_t y = l.Y(in.Threshold);
    c.Line(l.Left, y, l.Right, y);
    c.SetTextColour(kFstThresholdColour);
    c.Text(l.Right - 90, y - 16, "threshold " + Tick(in.Threshold), 0);
  }
}
