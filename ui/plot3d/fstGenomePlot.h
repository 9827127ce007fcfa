// F_ST along the genome on the abstract canvas: per-locus values by position with the
// chromosomes side by side in alternating colours, the window values as a line over them and
// a threshold line across; a chromosome can be shown alone (zoom).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/plot3d/plotCanvas.h"

struct TFstGenomeWindow {
  uint32_t Chr = 0;  // index into TFstGenomeInput::ChrNames
  uint64_t Start = 0, End = 0;
  double Value = 0;  // NaN: no line through this window
};

struct TFstGenomeInput {
  std::vector<std::string> ChrNames;  // in drawing order
  std::vector<uint32_t> LocChr;       // per locus: index into ChrNames
  std::vector<uint64_t> LocPos;       // per locus: position
  std::vector<double> LocValue;       // per locus; NaN loci are not drawn
  std::vector<TFstGenomeWindow> Windows;
  double Threshold = 0;  // drawn when HasThreshold
  bool HasThreshold = false;
  std::string Title;  // drawn above the plot area
};

// Point colours of the chromosomes, alternating by drawing order; window line and threshold.
constexpr TPlotColour kFstChrColour[2] = {0xB4781F, 0x0E7FFF};
constexpr TPlotColour kFstWindowColour = 0x000000;
constexpr TPlotColour kFstThresholdColour = 0x2827D6;

// Where the plot area lies in the picture and how values and positions map into it.
struct TFstGenomeLayout {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // plot area, right/bottom exclusive
  double YMin = 0, YMax = 1;
  std::vector<double> ChrStartX;  // per chromosome: left edge of its span (pixels)
  std::vector<double> ChrWidth;   // per chromosome: width of its span (0 when not shown)
  std::vector<uint64_t> ChrLen;   // per chromosome: largest position drawn
  int32_t Y(double v) const;
  int32_t X(uint32_t chr, uint64_t pos) const;
};

// zoomChr: a chromosome index to show alone, or -1 for all. The y range covers 0, every value
// shown and the threshold.
TFstGenomeLayout FstGenomeLayout(const TFstGenomeInput& in, int32_t width, int32_t height,
                                 int32_t zoomChr = -1);
void DrawFstGenome(IPlotCanvas& c, const TFstGenomeInput& in, int32_t width, int32_t height,
                   int32_t zoomChr = -1);
