// The 3D plot engine on a recording canvas: projection, rotation, depth order, hit test,
// shapes, box edges, ordinations and clamped screen positions.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "ui/plot3d/plotView.h"
#include "ui/plot3d/tplot3d.h"

namespace {

t3dsymbol Sym(float x, float y, float z, uint16_t sym = shCircle, uint16_t size = 3,
              TPlotColour col = 0, const std::string& name = "") {
  t3dsymbol s;
  s.x = x, s.y = y, s.z = z, s.sym = sym, s.size = size, s.col1 = col, s.name = name;
  s.plottext = name.empty() ? 0 : 1;
  return s;
}

std::vector<std::string> Draw(tplot3d& p) {
  TRecordingCanvas c;
  c.KeepState = false;
  p.ScatterPlot3D(c);
  return c.Calls;
}

TEST(Plot3dEngine, ProjectionAtAngleZeroIsTheOriginPlusTheCoordinates) {
  struct {
    float x, y, z;
    int32_t wantX, wantY;
  } cases[] = {
      {10, -5, 3, 110, 45}, {0, 0, 0, 100, 50}, {-20, 7, -1, 80, 57}, {2.5f, 3.5f, 0, 102, 54}};
  for (const auto& c : cases) {
    tplot3d p;
    p.init(200, 100);
    p.SetSymbols({Sym(c.x, c.y, c.z)});
    Draw(p);
    ASSERT_EQ(p.ScrPoints.size(), 1u);
    EXPECT_EQ(p.ScrPoints[0].x, c.wantX) << c.x;  // 2.5 and 3.5 round to even
    EXPECT_EQ(p.ScrPoints[0].y, c.wantY) << c.y;  // no Y flip
  }
}

TEST(Plot3dEngine, FullTurnsDrawTheSamePicture) {
  const double turns[][3] = {{360, 0, 0}, {0, 360, 0}, {0, 0, -360}, {720, 360, 1080}};
  for (const auto& t : turns) {
    tplot3d a, b;
    for (tplot3d* p : {&a, &b}) {
      p->init(400, 300);
      p->SetSymbols({Sym(10, -5, 3, 1, 3, 0, "A"), Sym(-7, 4, 12, 2, 4, 255, "B")});
      p->SetCoordSys(15, -10, 10, -8, 14, -3);
      p->SetExtPlanes(true, true, true, true, true, true, 0);
    }
    b.SetRotation(t[0], t[1], t[2]);
    for (float r : {b.xrotation, b.yrotation, b.zrotation}) {
      EXPECT_GT(r, -6.2832f);
      EXPECT_LT(r, 6.2832f);
    }
    EXPECT_EQ(Draw(a), Draw(b)) << t[0] << "," << t[1] << "," << t[2];
  }
}

TEST(Plot3dEngine, TheNearerOfTwoSymbolsIsDrawnLastAndHit) {
  // At angle 0 the depth w is z: both at one screen point, the larger z is nearer.
  for (bool nearFirst : {false, true}) {
    tplot3d p;
    p.init(100, 100);
    t3dsymbol back = Sym(1, 1, -4, shCircle, 3, 1), front = Sym(1, 1, 9, shSquare, 3, 2);
    p.SetSymbols(nearFirst ? std::vector<t3dsymbol>{front, back}
                           : std::vector<t3dsymbol>{back, front});
    const auto calls = Draw(p);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0], "ellipse 48 48 54 54");
    EXPECT_EQ(calls[1], "rect 48 48 54 54");
    uint32_t id = 99;
    ASSERT_TRUE(p.SymOnScreenPos(52, 49, id));
    EXPECT_EQ(id, nearFirst ? 0u : 1u);
    EXPECT_FALSE(p.SymOnScreenPos(56, 51, id));
  }
}

TEST(Plot3dEngine, SecondaryShapeIsDrawnInRedOverThePrimary) {
  tplot3d p;
  p.init(100, 100);
  p.SetSymbols({Sym(0, 0, 0, 2 + 256 * 5, 4, PlotRGB(0, 0, 255))});
  TRecordingCanvas c;
  p.ScatterPlot3D(c);
  const std::vector<std::string> want = {
      "textcol 0", "brush 16711680", "pen 16711680 0",        "rect 46 46 54 54",
      "brush 255", "pen 255 0",      "poly 50,46 54,54 46,54"};
  EXPECT_EQ(c.Calls, want);
}

TEST(Plot3dEngine, BoxEdgesOnlyWithExternalPlanes) {
  tplot3d p;
  p.init(300, 300);
  p.SetSymbols({Sym(1, 2, 3)});
  p.SetCoordSys(10, -10, 10, -10, 10, -10);
  p.SetIntAxes(false, false);
  p.SetRotation(30, 30, 0);
  EXPECT_EQ(Draw(p), std::vector<std::string>{"ellipse 146 147 152 153"})
      << "no plane: the symbol alone, no box edge";
  EXPECT_EQ(p.SysPoints.size(), 27u);
  // One external plane: its quadrilateral and the 4 box edges around it, each drawn once.
  p.SetExtPlanes(true, false, false, false, false, false, 0);
  const auto calls = Draw(p);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& s) { return s.rfind("poly", 0) == 0; }),
            1);
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& s) { return s.rfind("line", 0) == 0; }),
            4);
}

TEST(Plot3dEngine, AxesAreDrawnOnceEach) {
  tplot3d p;
  p.init(300, 300);
  p.SetSymbols({Sym(1, 2, 3)});
  p.SetCoordSys(10, -10, 10, -10, 10, -10);
  for (bool pos : {false, true})
    for (bool neg : {false, true}) {
      p.SetIntAxes(pos, neg);
      const auto calls = Draw(p);
      EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                              [](const std::string& s) { return s.rfind("line", 0) == 0; }),
                3 * (int(pos) + int(neg)));
    }
}

TEST(Plot3dEngine, EachShapeIsItsPrimitive) {
  const struct {
    uint8_t code;
    const char* want;
  } cases[] = {
      {0, "ellipse 50 50 51 51"},
      {1, "ellipse 44 44 56 56"},
      {2, "rect 44 44 56 56"},
      {3, "poly 50,44 56,50 50,56 44,50"},
      {4, "poly 50,56 56,44 44,44"},
      {5, "poly 50,44 56,56 44,56"},
      {6, "poly 44,50 56,56 56,44"},
      {7, "poly 56,50 44,56 44,44"},
      {8, "poly 44,52 48,52 48,56 52,56 52,52 56,52 56,48 52,48 52,44 48,44 48,48 44,48"},
      {9, "poly 47,50 44,53 47,56 50,53 53,56 56,53 53,50 56,47 53,44 50,47 47,44 44,47"},
      {10, "ellipse 47 44 53 56"},
      {11, "ellipse 44 47 56 53"},
      {12, "rect 47 44 53 56"},
      {13, "rect 44 47 56 53"},
  };
  for (const auto& c : cases) {
    TRecordingCanvas rc;
    PlotSymb(rc, c.code, 50, 50, 6);
    ASSERT_EQ(rc.Calls.size(), 1u) << int(c.code);
    EXPECT_EQ(rc.Calls[0], c.want) << int(c.code);
  }
  TRecordingCanvas rc;
  PlotSymb(rc, 14, 50, 50, 6);
  EXPECT_TRUE(rc.Calls.empty());
}

TEST(Plot3dEngine, LabelAtTheLowerRightCorner) {
  tplot3d p;
  p.init(100, 100);
  p.TxtOfsX = 2;
  p.TxtOfsY = 1;
  p.SetSymbols({Sym(0, 0, 0, shCircle, 4, 0, "S1")});
  EXPECT_EQ(Draw(p), (std::vector<std::string>{"ellipse 46 46 54 54", "text 56 55 S1"}));
}

TEST(Plot3dEngine, ScreenPositionsAreSignedAndClamped) {
  tplot3d p;
  p.init(100, 100);
  p.SetSymbols({Sym(-80, -70, 0), Sym(3e30f, -3e30f, 0)});
  Draw(p);
  ASSERT_EQ(p.ScrPoints.size(), 2u);
  std::sort(p.ScrPoints.begin(), p.ScrPoints.end(),
            [](const TScrPoint& a, const TScrPoint& b) { return a.sym < b.sym; });
  EXPECT_EQ(p.ScrPoints[0].x, -30);
  EXPECT_EQ(p.ScrPoints[0].y, -20);
  EXPECT_EQ(p.ScrPoints[1].x, 1000000050);
  EXPECT_EQ(p.ScrPoints[1].y, -999999950);
  uint32_t id;
  EXPECT_TRUE(p.SymOnScreenPos(-31, -19, id));
  EXPECT_EQ(id, 0u);
}

TEST(Plot3dEngine, OrdinationLinesGoToZeroMinOrMax) {
  struct {
    uint8_t mode;
    bool box;
    const char* line;
  } cases[] = {
      {1, true, "line 50 54 56 54"},   // zero: x := 0
      {2, true, "line 44 54 56 54"},   // min: x := -6
      {3, true, "line 58 54 56 54"},   // max: x := 8
      {2, false, "line 50 54 56 54"},  // no box: min acts as zero
      {3, false, "line 50 54 56 54"},
  };
  for (const auto& c : cases) {
    tplot3d p;
    p.init(100, 100);
    p.SetIntAxes(false, false);
    p.SetSymbols({Sym(6, 4, 0, shPoint, 0)});
    if (c.box) p.SetCoordSys(8, -6, 5, -5, 5, -5);
    p.SetAllOrdinX(c.mode);
    p.SetOrdinations(true, false, false);
    const auto calls = Draw(p);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0], c.line) << int(c.mode) << c.box;
  }
}

TEST(Plot3dEngine, BothProjectionRoutinesGiveTheSameIntegers) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> coord(-50, 50), deg(-400, 400);
  for (int round = 0; round < 20; ++round) {
    tplot3d p;
    p.init(640, 480);
    std::vector<t3dsymbol> syms(size_t(37 + round));
    for (t3dsymbol& s : syms) s.x = coord(rng), s.y = coord(rng), s.z = coord(rng);
    p.SetSymbols(syms);
    p.SetCoordSys(50, -50, 50, -50, 50, -50);
    p.SetRotation(deg(rng), deg(rng), deg(rng));
    p.SetZoom(0.1f + float(round));
    std::vector<int32_t> u1, v1, w1, u2, v2, w2;
    p.RotateXYZ2int(u1, v1, w1);
    p.RotateXYZ2intSSE(u2, v2, w2);
    EXPECT_EQ(u1, u2);
    EXPECT_EQ(v1, v2);
    EXPECT_EQ(w1, w2);
  }
}

TEST(Plot3dEngine, MaxMinCoordAlwaysHoldsZero) {
  tplot3d p;
  p.init(10, 10);
  float a, b, c, d, e, f;
  p.MaxMinCoord(a, b, c, d, e, f);
  EXPECT_EQ(std::vector<float>({a, b, c, d, e, f}), std::vector<float>(6, 0.f));
  p.SetSymbols({Sym(2, -3, 4), Sym(5, 1, 6)});
  p.MaxMinCoord(a, b, c, d, e, f);
  EXPECT_EQ(std::vector<float>({a, b, c, d, e, f}), (std::vector<float>{5, 0, 1, -3, 6, 0}));
}

TEST(Plot3dEngine, ResizeKeepsTheOriginInPlace) {
  tplot3d p;
  p.init(200, 100);
  p.SetOrigin(30, 20);
  p.UpdatePlotSize(300, 50);
  EXPECT_EQ(p.ScrOriX, 80);
  EXPECT_EQ(p.ScrOriY, 0);  // would be -5
}

TEST(Plot3dEngine, SortKeepsEveryIndexOnce) {
  std::vector<int32_t> keys = {5, -1, 5, 3, 3, 3, 9, -7, 0, 5};
  std::vector<uint32_t> idx(keys.size());
  for (uint32_t i = 0; i < idx.size(); ++i) idx[i] = i;
  const auto orig = keys;
  QCoSort(keys.data(), idx.data(), 0, int64_t(keys.size()) - 1);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  for (size_t k = 0; k < keys.size(); ++k) EXPECT_EQ(orig[idx[k]], keys[k]);
}

TEST(Plot3dView, AxisCaptionsShowShares) {
  const auto s = AxisShares({3, 1, 0.5, 0.5}, 4);
  EXPECT_EQ(AxisCaption(1, s[0]), "Co. 1 (60.0%)");
  EXPECT_EQ(AxisCaption(3, s[2]), "Co. 3 (10.0%)");
  EXPECT_EQ(AxisCaption(2, AxisShares({}, 3)[1]), "Co. 2 (0.0%)");
}

TEST(Plot3dView, FittedPlotStaysInsideTheCanvas) {
  tplot3d p;
  p.init(1000, 800);
  InitP3D(p, {Sym(0.31f, -0.2f, 0.05f), Sym(-0.4f, 0.1f, -0.3f), Sym(0.01f, 0.44f, 0.2f)});
  FitToRect(p, 0, 0, 1000, 800);
  Draw(p);
  for (const auto* v : {&p.ScrPoints, &p.SysPoints})
    for (const TScrPoint& s : *v) {
      EXPECT_GE(s.x, 0);
      EXPECT_LT(s.x, 1000);
      EXPECT_GE(s.y, 0);
      EXPECT_LT(s.y, 800);
    }
  // Fitted, not merely inside: the picture spans most of the canvas in one direction.
  int32_t minX = 1000, maxX = 0, minY = 800, maxY = 0;
  for (const TScrPoint& s : p.SysPoints)
    minX = std::min(minX, s.x), maxX = std::max(maxX, s.x), minY = std::min(minY, s.y),
    maxY = std::max(maxY, s.y);
  EXPECT_TRUE(maxX - minX > 950 || maxY - minY > 750) << maxX - minX << " " << maxY - minY;
}

}  // namespace
