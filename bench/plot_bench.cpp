// Redraw time of the 3D plot window's picture: 5,000 labelled symbols on a 1000 x 800 image
// with antialiasing, as one mouse-rotation step repaints it; and the engine alone on a canvas
// that draws nothing, to tell projection and sorting from painting.
#include <benchmark/benchmark.h>

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <random>

#include "ui/plot3d/plotView.h"
#include "ui/plot3d/qtCanvas.h"
#include "ui/plot3d/tplot3d.h"

namespace {

class TNullCanvas : public IPlotCanvas {
 public:
  void SetPen(TPlotColour, int) override {}
  void SetBrush(TPlotColour) override {}
  void SetTextColour(TPlotColour) override {}
  void Rect(int32_t, int32_t, int32_t, int32_t) override {}
  void Line(int32_t, int32_t, int32_t, int32_t) override {}
  void Polygon(const TCanvasPoint*, size_t) override {}
  void Ellipse(int32_t, int32_t, int32_t, int32_t) override {}
  void Text(int32_t, int32_t, const std::string&, uint16_t) override {}
};

// Five populations of 1,000 around separate centres, each with its own shape and colour.
tplot3d MakePlot() {
  std::mt19937 rng(7);
  std::normal_distribution<float> noise(0, 0.05f);
  std::vector<t3dsymbol> syms(5000);
  for (size_t i = 0; i < syms.size(); ++i) {
    const size_t g = i / 1000;
    const TGroupLook look = PictureLook(g);
    t3dsymbol& s = syms[i];
    s.x = 0.3f * float(g % 3) - 0.3f + noise(rng);
    s.y = 0.2f * float(g % 2) - 0.1f + noise(rng);
    s.z = 0.15f * float(g) - 0.3f + noise(rng);
    s.name = "P" + std::to_string(g + 1) + "_S" + std::to_string(i % 1000);
    s.sym = look.shape;
    s.col1 = look.col;
  }
  tplot3d p;
  p.init(1000, 800);
  InitP3D(p, syms);
  p.SetAllSymSize(DefSymSize);
  FitToRect(p, 0, 0, 1000, 800);
  return p;
}

void BM_PlotRedrawQImage(benchmark::State& state) {
  tplot3d p = MakePlot();
  QImage img(1000, 800, QImage::Format_RGB32);
  for (auto _ : state) {
    p.NewRotation(0.5, 0.5, 0);
    QPainter painter(&img);
    painter.setRenderHint(QPainter::Antialiasing, true);
    TQtPlotCanvas c(painter);
    p.ClearGraph(c);
    p.ScatterPlot3D(c);
    painter.end();
    benchmark::DoNotOptimize(img.constBits());
  }
}
BENCHMARK(BM_PlotRedrawQImage)
    ->Iterations(1)
    ->Repetitions(20)
    ->ReportAggregatesOnly(true)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();

void BM_PlotEngineOnly(benchmark::State& state) {
  tplot3d p = MakePlot();
  TNullCanvas c;
  for (auto _ : state) {
    p.NewRotation(0.5, 0.5, 0);
    p.ScatterPlot3D(c);
    benchmark::DoNotOptimize(p.ScrPoints.data());
  }
}
BENCHMARK(BM_PlotEngineOnly)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
