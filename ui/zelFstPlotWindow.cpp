// The F_ST-along-the-genome window: choosers above the drawing, picture export below.
#include "ui/zelFstPlotWindow.h"

#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "popgen/bioFst.h"
#include "ui/plot3d/qtCanvas.h"
#include "ui/plot3d/qtFstPicture.h"
#include "ui/plot3d/qtPicture.h"

void TFstGenomeView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(rect(), Qt::white);
  TQtPlotCanvas c(p, {font()});
  DrawFstGenome(c, Input, width(), height(), ZoomChr);
}

TZelFstPlotWindow::TZelFstPlotWindow(const TPopParameters& result, QWidget* parent)
    : QDialog(parent), Result(result) {
  setWindowTitle("F_ST along the genome");
  auto* lay = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  DataSets = new QComboBox;
  for (const TPopParams& pp : result.PopParameters)
    DataSets->addItem(QString::fromStdString(pp.Desc));
  Chromosomes = new QComboBox;
  top->addWidget(new QLabel("Data set"));
  top->addWidget(DataSets, 1);
  top->addWidget(new QLabel("Chromosome"));
  top->addWidget(Chromosomes, 1);
  lay->addLayout(top);
  View = new TFstGenomeView;
  View->setMinimumSize(600, 300);
  lay->addWidget(View, 1);
  auto* save = new QPushButton("Save picture...");
  lay->addWidget(save, 0, Qt::AlignRight);
  connect(DataSets, &QComboBox::currentIndexChanged, this, [this](int k) { ShowDataSet(k); });
  connect(Chromosomes, &QComboBox::currentIndexChanged, this, [this](int k) {
    View->ZoomChr = k - 1;  // entry 0: all chromosomes
    View->update();
  });
  connect(save, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getSaveFileName(this, "Save picture", {},
                                                   "PNG (*.png);;SVG (*.svg);;Bitmap (*.bmp)");
    if (!f.isEmpty()) SavePicture(f.toStdString());
  });
  ShowDataSet(0);
  resize(1100, 520);
}

void TZelFstPlotWindow::ShowDataSet(int k) {
  if (k < 0) return;
  // Windows of a hundredth of the longest chromosome; the threshold line at the 99th
  // percentile, as zelcli draws them.
  View->Input = FstGenomeInputOf(Result, size_t(k), 0, 0, std::numeric_limits<double>::quiet_NaN());
  View->ZoomChr = -1;
  const QSignalBlocker block(Chromosomes);
  Chromosomes->clear();
  Chromosomes->addItem("All chromosomes");
  for (const std::string& n : View->Input.ChrNames) Chromosomes->addItem(QString::fromStdString(n));
  View->update();
}

bool TZelFstPlotWindow::SavePicture(const std::string& fileName) {
  const int w = View->width(), h = View->height();
  std::string err;
  if (!SavePlotPicture(
          fileName, w, h,
          [&](IPlotCanvas& c) { DrawFstGenome(c, View->Input, w, h, View->ZoomChr); }, err)) {
    iscZelError("Cannot write file", "U", fileName + ": " + err);
    return false;
  }
  iscZelLog("Saved F_ST plot to file " + fileName);
  return true;
}

void ShowFstGenomePlot(QWidget* parent) {
  iscZelHasError(true);
  const TPopParameters* r = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
  if (!r || r->PopParameters.empty()) {
    iscZelUserError("No F_ST result to plot: run Global Fst or Pairwise Fst first");
    return;
  }
  TZelFstPlotWindow w(*r, parent);
  w.exec();
}
