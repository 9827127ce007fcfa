// The "F_ST along the genome" window of the Plot menu: the newest F_ST result per locus along
// the chromosomes, one data set (pair) at a time, zoomed to one chromosome on request, saved
// as a picture.
#pragma once

#include <QDialog>
#include <string>

#include "ui/plot3d/fstGenomePlot.h"

class QComboBox;
class TPopParameters;

class TFstGenomeView : public QWidget {
 public:
  explicit TFstGenomeView(QWidget* parent = nullptr) : QWidget(parent) {}
  TFstGenomeInput Input;
  int32_t ZoomChr = -1;  // -1: every chromosome side by side

 protected:
  void paintEvent(QPaintEvent*) override;
};

class TZelFstPlotWindow : public QDialog {
 public:
  TZelFstPlotWindow(const TPopParameters& result, QWidget* parent = nullptr);
  // The picture of what the window shows, by the suffix (PNG, BMP or SVG); logs as zelcli does.
  bool SavePicture(const std::string& fileName);
  QComboBox* DataSets = nullptr;
  QComboBox* Chromosomes = nullptr;
  TFstGenomeView* View = nullptr;

 private:
  void ShowDataSet(int k);
  const TPopParameters& Result;
};

// Opens the window for the newest F_ST result; without one, a user error and no window.
void ShowFstGenomePlot(QWidget* parent);
