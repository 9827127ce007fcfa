// F_ST along the genome on the recording canvas: points per chromosome in alternating colours,
// undefined values left out, the threshold line where the layout puts it, the window line
// broken at windows without a value, and the zoom to one chromosome.
#include "ui/plot3d/fstGenomePlot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace {

// c1: 100 (.1), 200 (.5); c2: 50 (.2), 150 (no value); c3: 300 (.9). Threshold .6.
TFstGenomeInput Example() {
  TFstGenomeInput in;
  in.ChrNames = {"c1", "c2", "c3"};
  in.LocChr = {0, 0, 1, 1, 2};
  in.LocPos = {100, 200, 50, 150, 300};
  in.LocValue = {0.1, 0.5, 0.2, std::nan(""), 0.9};
  in.Windows = {{0, 1, 100, 0.1},
                {0, 101, 200, 0.5},
                {1, 1, 100, 0.2},
                {1, 101, 200, std::nan("")},
                {2, 201, 300, 0.9}};
  in.Threshold = 0.6;
  in.HasThreshold = true;
  return in;
}

// Ellipses counted under the brush colour set last.
std::map<int, int> PointsByColour(const TRecordingCanvas& c) {
  std::map<int, int> m;
  int brush = -1;
  for (const std::string& s : c.Calls) {
    if (s.rfind("brush ", 0) == 0) brush = std::stoi(s.substr(6));
    if (s.rfind("ellipse ", 0) == 0) ++m[brush];
  }
  return m;
}

// Plot area 64..384 x 28..256 of a 400 x 300 picture; y from 0 to .9 (the largest value):
// y(v) = 255 - round(v / .9 * 227). Room for the chromosomes 320 - 2 gaps of 6 = 308 pixels,
// shared 200 : 150 : 300, so c1 spans 94.77 pixels from 64: x(c1, 100) = 111, y(.1) = 230.
TEST(FstGenomePlot, PointsColoursThresholdAndWindowLine) {
  TRecordingCanvas c;
  DrawFstGenome(c, Example(), 400, 300);
  const std::map<int, int> pts = PointsByColour(c);
  EXPECT_EQ(pts, (std::map<int, int>{{kFstChrColour[0], 3}, {kFstChrColour[1], 1}}));
  EXPECT_NE(std::find(c.Calls.begin(), c.Calls.end(), "ellipse 109 228 113 232"), c.Calls.end());
  // c1, c2, c3 alternate: the brush colours in order.
  std::vector<int> brushes;
  for (const std::string& s : c.Calls)
    if (s.rfind("brush ", 0) == 0) brushes.push_back(std::stoi(s.substr(6)));
  EXPECT_EQ(brushes,
            (std::vector<int>{0xFFFFFF, kFstChrColour[0], kFstChrColour[1], kFstChrColour[0]}));
  const auto thr = std::find(c.Calls.begin(), c.Calls.end(),
                             "pen " + std::to_string(kFstThresholdColour) + " 1");
  ASSERT_NE(thr, c.Calls.end());
  EXPECT_EQ(*(thr + 1), "line 64 104 384 104");  // 255 - round(.6 / .9 * 227)
  // The window line: one segment in c1 only (c2's second window has no value, c3 has one).
  const auto win =
      std::find(c.Calls.begin(), c.Calls.end(), "pen " + std::to_string(kFstWindowColour) + " 2");
  ASSERT_NE(win, c.Calls.end());
  EXPECT_EQ(win + 2, thr);
  EXPECT_EQ((win + 1)->rfind("line ", 0), 0u);
}

TEST(FstGenomePlot, ZoomShowsOneChromosomeOverTheWholeWidth) {
  TRecordingCanvas c;
  DrawFstGenome(c, Example(), 400, 300, 1);
  EXPECT_EQ(PointsByColour(c), (std::map<int, int>{{kFstChrColour[0], 1}}));
  const TFstGenomeLayout l = FstGenomeLayout(Example(), 400, 300, 1);
  EXPECT_DOUBLE_EQ(l.ChrStartX[1], 64);
  EXPECT_DOUBLE_EQ(l.ChrWidth[1], 320);
  EXPECT_DOUBLE_EQ(l.ChrWidth[0], 0);
  EXPECT_DOUBLE_EQ(l.YMax, 0.6);  // c2's value .2 and the threshold
}

}  // namespace
