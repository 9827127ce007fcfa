// The 3D plot window: the engine's picture with rotation, zoom, symbol appearance per group or
// per symbol, planes, axes, ordinations, picture output and coordinate tables.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <string>
#include <vector>

#include "ui/plot3d/plotView.h"
#include "ui/plot3d/tplot3d.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QWidget;
struct TPCoAResult;

// How the window asks the user; tests give scripted answers.
class IPlotAsk {
 public:
  virtual ~IPlotAsk() = default;
  virtual bool AskText(const QString& title, const QString& prompt, QString& value) = 0;
  virtual bool AskColour(TPlotColour& col) = 0;
  virtual QString AskSaveFile(const QString& filter) = 0;
  virtual QString AskOpenFile(const QString& filter) = 0;
};

// Opens the window modally with the result of a PCoA: one group per population of the scheme.
void Show3dPlotWindow(QWidget* parent, const TPCoAResult& result);
TPlotInput PlotInputOf(const TPCoAResult& result);

class TPlotArea;

class TFamdPlot : public QDialog {
  Q_OBJECT

 public:
  explicit TFamdPlot(QWidget* parent = nullptr);
  ~TFamdPlot() override;

  // Loads a result; false (with the error logged and an empty plot) without names or with
  // fewer than 3 axes.
  bool init(const TPlotInput& in);
  void NewPlot();
  // Zoom and origin so that every symbol fills the plot area as it is now: PCoA coordinates
  // are mostly below 0.5, which the standard zoom draws as a blot of overlapping labels.
  void FitToArea();
  void SetAsk(IPlotAsk* ask) { FAsk = ask; }

  tplot3d& Engine() { return FP3d; }
  const std::vector<TGroupLook>& GroupLooks() const { return FLooks; }
  QImage Picture() const;
  QWidget* PlotArea() const;
  // The context menu as a right click at (x, y) of the plot area opens it.
  QMenu* ContextMenu() const { return FMenu; }
  void OpenContextMenu(int x, int y);

  bool ExportCoordinates(const std::string& fileName);
  bool ImportCoordinates(const std::string& fileName);
  void Magic();
  void ChooseGroup(int index);
  void ApplyGroupColour(TPlotColour col);
  void ApplyGroupShape(uint8_t shape);
  // The looks of zelcli's picture: each group its palette colour and shape, and labels only
  // up to maxLabelled symbols (more overlap into an unreadable blot).
  void UsePictureLooks(size_t maxLabelled);

  // Mouse handling of the plot area (public for the area widget).
  void AreaPress(Qt::MouseButton b, int x, int y);
  void AreaRelease(Qt::MouseButton b, Qt::KeyboardModifiers mods, int x, int y);
  void AreaResized(int w, int h);

  QLineEdit *edRotX = nullptr, *edRotY = nullptr, *edRotZ = nullptr, *edZoom = nullptr;
  QComboBox *cbAxisX = nullptr, *cbAxisY = nullptr, *cbAxisZ = nullptr;
  QComboBox *cbOrdinTo = nullptr, *cbGroup = nullptr, *cbSymbol = nullptr;
  QCheckBox *chOrdX = nullptr, *chOrdY = nullptr, *chOrdZ = nullptr, *chLabels = nullptr;
  QPushButton* btColour = nullptr;
  QRadioButton *rbBitmap = nullptr, *rbSvg = nullptr;

 private:
  void FormInit();
  void InitP3DWindow();
  void RefreshFields();
  void RebuildOrdinations();
  void RotateBy(int axis, float radians);
  void EnterRotation(int axis);
  void EnterZoom();
  void SavePicture();
  void CopyPicture();
  void ExportClicked();
  void ImportClicked();
  bool CurrentSymbol(uint32_t& id) const;
  void ShowSwatch(TPlotColour c);
  std::vector<int32_t> SymbolGroups() const;
  void DrawOn(class IPlotCanvas& c);
  QMenu* BuildMenu();

  tplot3d FP3d;
  std::vector<t3dsymbol> FSymbols;
  TPlotInput FInput;
  std::vector<TGroupLook> FLooks;
  std::vector<int32_t> FSymGroup;  // group of each symbol of a PCoA result, by position
  bool FImported = false;
  uint16_t FDefSize = DefSymSize;
  int FMsx = 0, FMsy = 0, FRmsx = 0, FRmsy = 0;
  int64_t FPid = -1;
  TPlotColour FSwatch = 0;
  TPlotArea* FArea = nullptr;
  QMenu* FMenu = nullptr;
  IPlotAsk* FAsk = nullptr;
  IPlotAsk* FDefaultAsk = nullptr;
};

// Makes every successful scPCoA open the plot window over parent.
void InstallPcoaPlotViewer(QWidget* parent);
