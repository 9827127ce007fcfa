// The 3D plot window and its hand-over from a PCoA.
#include "ui/plot3d/qtPlotWindow.h"

#include <unistd.h>

#include <QApplication>
#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>
#include <memory>

#include "base/korNum.h"
#include "commands/cmdDist.h"
#include "core/zelLog.h"
#include "fileaccess/korFileIO.h"
#include "popgen/pcoa.h"
#include "ui/plot3d/plotCoords.h"
#include "ui/plot3d/qtCanvas.h"
#include "ui/plot3d/qtPicture.h"

namespace {

const char* const kTag = "3D Plot";

// The input box's number form: a whole number from 0 to 255, or an error saying which rule
// the text broke (a larger number is refused, never cut to its low 8 bits).
bool ReadByteNumber(const QString& text, uint8_t& value) {
  bool ok = false;
  const uint v = text.trimmed().toUInt(&ok);
  if (!ok) {
    iscZelError("Entered value is not a number!", kTag);
    return false;
  }
  if (v > 255) {
    iscZelError("Entered value is not a number from 0 to 255", kTag, text.trimmed().toStdString());
    return false;
  }
  value = uint8_t(v);
  return true;
}
constexpr double kRadToDeg = 57.295779513082320876798154814105;

// The shape selector's names: position + 1 is the shape code.
const char* const kShapeNames[13] = {
    "Circle",        "Square",         "Diamond",       "Triangle down", "Triangle up",
    "Triangle left", "Triangle right", "Cross up",      "Cross side",    "Ellipse up",
    "Ellipse side",  "Rectangle up",   "Rectangle side"};

// The context menu's shape entries and their codes.
const struct {
  const char* name;
  uint8_t code;
} kMenuShapes[14] = {{"Circle", 1},        {"Square", 2},         {"Triangle up", 5},
                     {"Triangle down", 4}, {"Triangle right", 7}, {"Triangle left", 6},
                     {"Diamond", 3},       {"Point", 0},          {"Cross up", 8},
                     {"Cross side", 9},    {"Ellipse up", 10},    {"Ellipse side", 11},
                     {"Rectangle up", 12}, {"Rectangle side", 13}};

class TDialogAsk : public IPlotAsk {
 public:
  explicit TDialogAsk(QWidget* parent) : FParent(parent) {}
  bool AskText(const QString& title, const QString& prompt, QString& value) override {
    bool ok = false;
    const QString s = QInputDialog::getText(FParent, title, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = s;
    return ok;
  }
  bool AskColour(TPlotColour& col) override {
    const QColor c = QColorDialog::getColor(PlotQColor(col), FParent);
    if (!c.isValid()) return false;
    col = PlotColourOf(c);
    return true;
  }
  QString AskSaveFile(const QString& filter) override {
    return QFileDialog::getSaveFileName(FParent, QString(), QString(), filter);
  }
  QString AskOpenFile(const QString& filter) override {
    return QFileDialog::getOpenFileName(FParent, QString(), QString(), filter);
  }

 private:
  QWidget* FParent;
};

bool ParseNumber(const QString& text, double& v) {
  const std::string s = text.trimmed().toStdString();
  const char* b = s.data();
  if (!s.empty() && *b == '+') ++b;
  auto r = std::from_chars(b, s.data() + s.size(), v);
  return !s.empty() && r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

}  // namespace

class TPlotArea : public QWidget {
 public:
  TPlotArea(TFamdPlot* owner, QWidget* parent) : QWidget(parent), FOwner(owner) {
    setMinimumSize(400, 300);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }
  QImage Image;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, Image);
  }
  void mousePressEvent(QMouseEvent* e) override {
    FOwner->AreaPress(e->button(), e->position().toPoint().x(), e->position().toPoint().y());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    FOwner->AreaRelease(e->button(), e->modifiers(), e->position().toPoint().x(),
                        e->position().toPoint().y());
  }
  void resizeEvent(QResizeEvent*) override { FOwner->AreaResized(width(), height()); }

 private:
  TFamdPlot* FOwner;
};

TPlotInput PlotInputOf(const TPCoAResult& r) {
  TPlotInput in;
  in.Names = r.Names;
  in.nAxes = r.nAxes;
  in.Coord = r.Coord;
  in.Eigenvalues = r.Eigenvalues;
  in.GroupNames = r.GroupNames;
  in.GroupMembers = r.GroupMembers;
  return in;
}

void Show3dPlotWindow(QWidget* parent, const TPCoAResult& result) {
  TFamdPlot w(parent);
  w.resize(1100, 760);
  // Fitted once the dialog is shown and laid out, when the plot area has its size.
  if (w.init(PlotInputOf(result))) {
    w.UsePictureLooks(TPictureOptions{}.MaxLabelled);
    QTimer::singleShot(0, &w, [&w] { w.FitToArea(); });
  }
  w.exec();
}

QWidget* TFamdPlot::PlotArea() const { return FArea; }

TFamdPlot::TFamdPlot(QWidget* parent) : QDialog(parent) {
  setWindowTitle("Zel 3D Plot");
  FDefaultAsk = new TDialogAsk(this);
  FAsk = FDefaultAsk;
  auto* top = new QHBoxLayout(this);
  FArea = new TPlotArea(this, this);
  top->addWidget(FArea, 1);
  auto* panel = new QVBoxLayout;
  top->addLayout(panel);

  auto* grid = new QGridLayout;
  panel->addLayout(grid);
  int row = 0;
  auto addStepper = [&](const char* caption, QLineEdit*& ed, auto onLess, auto onMore,
                        auto onEnter) {
    grid->addWidget(new QLabel(caption), row, 0);
    auto* less = new QPushButton("<");
    auto* more = new QPushButton(">");
    less->setObjectName(QString(caption) + " <");
    more->setObjectName(QString(caption) + " >");
    less->setMaximumWidth(28);
    more->setMaximumWidth(28);
    ed = new QLineEdit;
    ed->setObjectName(caption);
    ed->setMaximumWidth(80);
    grid->addWidget(less, row, 1);
    grid->addWidget(ed, row, 2);
    grid->addWidget(more, row, 3);
    connect(less, &QPushButton::clicked, this, onLess);
    connect(more, &QPushButton::clicked, this, onMore);
    connect(ed, &QLineEdit::returnPressed, this, onEnter);
    ++row;
  };
  constexpr float kStep = 0.025f;
  addStepper(
      "X rotation", edRotX, [this] { RotateBy(0, -kStep); }, [this] { RotateBy(0, kStep); },
      [this] { EnterRotation(0); });
  addStepper(
      "Y rotation", edRotY, [this] { RotateBy(1, -kStep); }, [this] { RotateBy(1, kStep); },
      [this] { EnterRotation(1); });
  addStepper(
      "Z rotation", edRotZ, [this] { RotateBy(2, -kStep); }, [this] { RotateBy(2, kStep); },
      [this] { EnterRotation(2); });
  addStepper(
      "Zoom", edZoom,
      [this] {
        FP3d.zoom *= 0.9f;
        NewPlot();
        RefreshFields();
      },
      [this] {
        FP3d.zoom *= 1.1f;
        NewPlot();
        RefreshFields();
      },
      [this] { EnterZoom(); });
  for (auto [caption, cb] : {std::pair{"X axis", &cbAxisX}, std::pair{"Y axis", &cbAxisY},
                             std::pair{"Z axis", &cbAxisZ}}) {
    grid->addWidget(new QLabel(caption), row, 0);
    *cb = new QComboBox;
    (*cb)->setObjectName(caption);
    (*cb)->setEnabled(false);  // the first three coordinate columns are always shown
    grid->addWidget(*cb, row, 1, 1, 3);
    ++row;
  }

  auto* sizeRow = new QHBoxLayout;
  sizeRow->addWidget(new QLabel("Symbol size"));
  auto* plus = new QPushButton("+");
  auto* minus = new QPushButton("-");
  plus->setObjectName("Symbol size +");
  minus->setObjectName("Symbol size -");
  sizeRow->addWidget(plus);
  sizeRow->addWidget(minus);
  panel->addLayout(sizeRow);
  connect(plus, &QPushButton::clicked, this, [this] {
    if (FDefSize < 255) ++FDefSize;
    FP3d.SetAllSymSize(FDefSize);
    NewPlot();
  });
  connect(minus, &QPushButton::clicked, this, [this] {
    if (FDefSize > 0) --FDefSize;
    FP3d.SetAllSymSize(FDefSize);
    NewPlot();
  });

  auto* ordBox = new QGroupBox("Ordinations");
  auto* ordLay = new QVBoxLayout(ordBox);
  auto* toRow = new QHBoxLayout;
  toRow->addWidget(new QLabel("... to ..."));
  cbOrdinTo = new QComboBox;
  cbOrdinTo->setObjectName("... to ...");
  cbOrdinTo->addItems({"Zero", "Min", "Max"});
  toRow->addWidget(cbOrdinTo);
  ordLay->addLayout(toRow);
  connect(cbOrdinTo, &QComboBox::currentIndexChanged, this, [this](int i) {
    const uint8_t mode = uint8_t(std::max(0, i) + 1);
    FP3d.SetAllOrdinX(mode);
    FP3d.SetAllOrdinY(mode);
    FP3d.SetAllOrdinZ(mode);
    RebuildOrdinations();
    NewPlot();
  });
  for (auto [caption, ch] : {std::pair{"X ordination", &chOrdX}, std::pair{"Y ordination", &chOrdY},
                             std::pair{"Z ordination", &chOrdZ}}) {
    *ch = new QCheckBox(caption);
    (*ch)->setObjectName(caption);
    ordLay->addWidget(*ch);
    connect(*ch, &QCheckBox::toggled, this, [this] {
      RebuildOrdinations();
      NewPlot();
    });
  }
  panel->addWidget(ordBox);
  chLabels = new QCheckBox("Show labels");
  chLabels->setObjectName("Show labels");
  chLabels->setChecked(true);
  connect(chLabels, &QCheckBox::toggled, this, [this](bool on) {
    FP3d.SetAllTxtlabels(on);
    NewPlot();
  });
  panel->addWidget(chLabels);

  auto* grpBox = new QGroupBox("Group appearance");
  auto* grpLay = new QVBoxLayout(grpBox);
  cbGroup = new QComboBox;
  cbGroup->setObjectName("Group");
  cbGroup->setPlaceholderText("AllData");
  grpLay->addWidget(cbGroup);
  connect(cbGroup, &QComboBox::activated, this, [this](int i) { ChooseGroup(i); });
  btColour = new QPushButton("Colour");
  btColour->setObjectName("Colour");
  grpLay->addWidget(btColour);
  connect(btColour, &QPushButton::clicked, this, [this] {
    TPlotColour c = FSwatch;
    if (FAsk->AskColour(c)) ApplyGroupColour(c);
  });
  cbSymbol = new QComboBox;
  cbSymbol->setObjectName("Symbol");
  for (const char* n : kShapeNames) cbSymbol->addItem(n);
  grpLay->addWidget(cbSymbol);
  connect(cbSymbol, &QComboBox::activated, this,
          [this](int i) { ApplyGroupShape(uint8_t(std::max(0, i) + 1)); });
  panel->addWidget(grpBox);

  auto* fmtBox = new QGroupBox("Graphic format");
  auto* fmtLay = new QHBoxLayout(fmtBox);
  rbBitmap = new QRadioButton("Bitmap");
  rbSvg = new QRadioButton("SVG");
  rbBitmap->setChecked(true);
  fmtLay->addWidget(rbBitmap);
  fmtLay->addWidget(rbSvg);
  panel->addWidget(fmtBox);
  auto addButton = [&](const char* caption, auto fn) {
    auto* b = new QPushButton(caption);
    b->setObjectName(caption);
    b->setAutoDefault(false);
    panel->addWidget(b);
    connect(b, &QPushButton::clicked, this, fn);
  };
  addButton("Save to file", [this] { SavePicture(); });
  addButton("Copy to clipboard", [this] { CopyPicture(); });
  addButton("Import coordinates", [this] { ImportClicked(); });
  addButton("Export coordinates", [this] { ExportClicked(); });
  addButton("Magic", [this] { Magic(); });
  panel->addStretch(1);
  // Enter in a field sets its value; it must not also press a button of the dialog.
  for (QPushButton* b : findChildren<QPushButton*>()) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }

  resize(1100, 760);
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  FP3d.init(FArea->width(), FArea->height());
  FormInit();
}

TFamdPlot::~TFamdPlot() { delete FDefaultAsk; }

QImage TFamdPlot::Picture() const { return FArea->Image; }

void TFamdPlot::FormInit() {
  FSwatch = DefSymCol;
  ShowSwatch(FSwatch);
  chLabels->blockSignals(true);
  chLabels->setChecked(true);
  chLabels->blockSignals(false);
  cbGroup->clear();
  cbGroup->setCurrentIndex(-1);
  FLooks.clear();
  for (const std::string& g : FInput.GroupNames) {
    cbGroup->addItem(QString::fromStdString(g));
    FLooks.push_back(TGroupLook{DefSymShape, DefSymCol});
  }
  cbGroup->setCurrentIndex(-1);
}

bool TFamdPlot::init(const TPlotInput& in) {
  FP3d.reset();
  FSymbols.clear();
  FImported = false;
  FInput = in;
  FormInit();
  if (in.Names.empty()) {
    iscZelError("PCoA View Error: no OTU names", kTag);
    NewPlot();
    return false;
  }
  if (in.nAxes < 3) {
    iscZelError("PCoA View Error: less than 3 dimensions", kTag);
    NewPlot();
    return false;
  }
  FSymbols = SymbolsOfInput(in);
  FSymGroup = GroupsOfLabels(in.Names, in.GroupMembers);
  const std::vector<double> share = AxisShares(in.Eigenvalues, in.nAxes);
  for (QComboBox* cb : {cbAxisX, cbAxisY, cbAxisZ}) {
    cb->clear();
    for (uint32_t k = 0; k < in.nAxes; ++k)
      cb->addItem(QString::fromStdString(AxisCaption(k + 1, share[k])));
  }
  cbAxisX->setCurrentIndex(0);
  cbAxisY->setCurrentIndex(1);
  cbAxisZ->setCurrentIndex(2);
  InitP3DWindow();
  return true;
}

void TFamdPlot::InitP3DWindow() {
  FDefSize = DefSymSize;
  InitP3D(FP3d, FSymbols);
  for (QCheckBox* c : {chOrdX, chOrdY, chOrdZ}) {
    c->blockSignals(true);
    c->setChecked(false);
    c->blockSignals(false);
  }
  cbOrdinTo->blockSignals(true);
  cbOrdinTo->setCurrentIndex(0);
  cbOrdinTo->blockSignals(false);
  NewPlot();
  RefreshFields();
}

void TFamdPlot::DrawOn(IPlotCanvas& c) {
  FP3d.ClearGraph(c);
  FP3d.ScatterPlot3D(c);
}

void TFamdPlot::NewPlot() {
  const int w = std::max(1, FArea->width()), h = std::max(1, FArea->height());
  if (FArea->Image.size() != QSize(w, h)) FArea->Image = QImage(w, h, QImage::Format_RGB32);
  QPainter p(&FArea->Image);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setFont(font());
  TQtPlotCanvas c(p, {font()});
  DrawOn(c);
  p.end();
  FArea->update();
}

void TFamdPlot::FitToArea() {
  FitToRect(FP3d, 0, 0, std::max(1, FArea->width()), std::max(1, FArea->height()));
  RefreshFields();
  NewPlot();
}

void TFamdPlot::RefreshFields() {
  edRotX->setText(QString::fromStdString(e2sX(FP3d.xrotation * kRadToDeg, 1, 3)));
  edRotY->setText(QString::fromStdString(e2sX(FP3d.yrotation * kRadToDeg, 1, 3)));
  edRotZ->setText(QString::fromStdString(e2sX(FP3d.zrotation * kRadToDeg, 1, 3)));
  edZoom->setText(QString::fromStdString(e2sX(FP3d.zoom, 1, 3)));
}

void TFamdPlot::RebuildOrdinations() {
  FP3d.SetOrdinations(chOrdX->isChecked(), chOrdY->isChecked(), chOrdZ->isChecked());
}

void TFamdPlot::RotateBy(int axis, float radians) {
  float* a[3] = {&FP3d.xrotation, &FP3d.yrotation, &FP3d.zrotation};
  *a[axis] += radians;
  FP3d.AdjustRotRanges();
  NewPlot();
  RefreshFields();
}

void TFamdPlot::EnterRotation(int axis) {
  QLineEdit* ed[3] = {edRotX, edRotY, edRotZ};
  double v = 0;
  if (!ParseNumber(ed[axis]->text(), v)) {
    iscZelError("Entered value is not a number!", kTag);
    return;
  }
  double deg[3] = {FP3d.xrotation * kRadToDeg, FP3d.yrotation * kRadToDeg,
                   FP3d.zrotation * kRadToDeg};
  deg[axis] = v;
  FP3d.SetRotation(deg[0], deg[1], deg[2]);
  NewPlot();
}

void TFamdPlot::EnterZoom() {
  double v = 0;
  if (!ParseNumber(edZoom->text(), v) || v <= 0) {
    iscZelError("Entered value is not a number!", kTag);
    return;
  }
  FP3d.SetZoom(float(v));
  NewPlot();
}

void TFamdPlot::AreaPress(Qt::MouseButton b, int x, int y) {
  if (b == Qt::LeftButton) {
    FMsx = x;
    FMsy = y;
  } else if (b == Qt::RightButton) {
    OpenContextMenu(x, y);
  }
}

void TFamdPlot::AreaRelease(Qt::MouseButton b, Qt::KeyboardModifiers mods, int x, int y) {
  if (b == Qt::LeftButton) {
    if (mods & Qt::ShiftModifier) {
      // A drag of 5 pixels would make the zoom 0 for good: a drag may shrink it at most to a
      // twentieth.
      const float before = FP3d.zoom;
      const int d = x - FMsx;
      float z = d > 0 ? before - float(d) * 0.2f * before : before + float(-d) * 0.2f * before;
      FP3d.zoom = std::max(z, before / 20);
    } else {
      FP3d.NewRotation((FMsx - x) * 0.5, (FMsy - y) * 0.5, 0);
    }
    NewPlot();
  }
  RefreshFields();
}

void TFamdPlot::AreaResized(int w, int h) {
  FP3d.UpdatePlotSize(w, h);
  NewPlot();
}

bool TFamdPlot::CurrentSymbol(uint32_t& id) const {
  if (FPid < 0 || size_t(FPid) >= FP3d.symbols.size()) return false;
  id = uint32_t(FPid);
  return true;
}

QMenu* TFamdPlot::BuildMenu() {
  auto* m = new QMenu(this);
  uint32_t id = 0;
  const bool onSym = CurrentSymbol(id);
  auto redraw = [this] { NewPlot(); };
  QString editText = "&Edit label";
  if (onSym) editText += " \"" + QString::fromStdString(FP3d.symbols[id].name) + "\"";
  QAction* a = m->addAction(editText, this, [this, id, redraw] {
    if (id >= FP3d.symbols.size()) return;  // the symbols changed meanwhile
    QString v = QString::fromStdString(FP3d.symbols[id].name);
    if (FAsk->AskText("ZEL Plot", "Modify the point's label below", v)) {
      FP3d.symbols[id].name = v.toStdString().substr(0, 255);
      redraw();
    }
  });
  a->setEnabled(onSym);
  a = m->addAction("Show label", this, [this, id, redraw] {
    if (id >= FP3d.symbols.size()) return;  // the symbols changed meanwhile
    FP3d.symbols[id].plottext = FP3d.symbols[id].plottext ? 0 : 1;
    redraw();
  });
  a->setCheckable(true);
  a->setChecked(onSym && FP3d.symbols[id].plottext);
  a->setEnabled(onSym);
  QMenu* shapes = m->addMenu("Change symbol");
  shapes->setEnabled(onSym);
  for (const auto& s : kMenuShapes) {
    const uint8_t code = s.code;
    shapes->addAction(s.name, this, [this, id, code, redraw] {
      if (id >= FP3d.symbols.size()) return;  // the symbols changed meanwhile
      FP3d.symbols[id].sym = uint16_t((FP3d.symbols[id].sym & 0xff00) | code);
      redraw();
    });
  }
  a = m->addAction("Change size", this, [this, id, redraw] {
    if (id >= FP3d.symbols.size()) return;  // the symbols changed meanwhile
    QString v = QString::number(FP3d.symbols[id].size);
    if (!FAsk->AskText("ZEL Plot", "Change symbols size", v)) return;
    uint8_t v2 = 0;
    if (!ReadByteNumber(v, v2)) return;
    FP3d.symbols[id].size = uint16_t(v2);
    FP3d.UpdateSymSize();
    redraw();
  });
  a->setEnabled(onSym);
  a = m->addAction("Change colour", this, [this, id, redraw] {
    if (id >= FP3d.symbols.size()) return;  // the symbols changed meanwhile
    TPlotColour c = FP3d.symbols[id].col1;
    if (FAsk->AskColour(c)) {
      FP3d.symbols[id].col1 = c;
      redraw();
    }
  });
  a->setEnabled(onSym);
  auto toggle = [this, redraw](QMenu* menu, const char* name, bool tplot3d::*flag) {
    QAction* t = menu->addAction(name, this, [this, flag, redraw] {
      FP3d.*flag = !(FP3d.*flag);
      redraw();
    });
    t->setCheckable(true);
    t->setChecked(FP3d.*flag);
  };
  auto colour = [this, redraw](QMenu* menu, const char* name, TPlotColour tplot3d::*col) {
    menu->addAction(name, this, [this, col, redraw] {
      TPlotColour c = FP3d.*col;
      if (FAsk->AskColour(c)) {
        FP3d.*col = c;
        redraw();
      }
    });
  };
  QMenu* ip = m->addMenu("Internal planes");
  toggle(ip, "Show XY", &tplot3d::DrawXY);
  toggle(ip, "Show XZ", &tplot3d::DrawXZ);
  toggle(ip, "Show YZ", &tplot3d::DrawYZ);
  colour(ip, "Colour", &tplot3d::IntPlaneCol);
  QMenu* ep = m->addMenu("External planes");
  toggle(ep, "Show pos. XY", &tplot3d::DrawXYp);
  toggle(ep, "Show pos. XZ", &tplot3d::DrawXZp);
  toggle(ep, "Show pos. YZ", &tplot3d::DrawYZp);
  toggle(ep, "Show neg. XY", &tplot3d::DrawXYn);
  toggle(ep, "Show neg. XZ", &tplot3d::DrawXZn);
  toggle(ep, "Show neg. YZ", &tplot3d::DrawYZn);
  colour(ep, "Colour", &tplot3d::ExtPlaneCol);
  QMenu* pa = m->addMenu("Plot area");
  colour(pa, "Foreground colour", &tplot3d::ForeCol);
  colour(pa, "Background colour", &tplot3d::BackCol);
  QMenu* ax = m->addMenu("Coordinate axes");
  toggle(ax, "Positive axes", &tplot3d::DrawMainPosAxes);
  toggle(ax, "Negative axes", &tplot3d::DrawMainNegAxes);
  ax->addAction("Width", this, [this, redraw] {
    QString v = QString::number(FP3d.LineMainSz);
    if (!FAsk->AskText("ZEL Plot", "Thickness of coordinate axes", v)) return;
    uint8_t w = 0;
    if (!ReadByteNumber(v, w)) return;
    FP3d.LineMainSz = w;
    redraw();
  });
  m->addAction("Move origin here", this, [this, redraw] {
    FP3d.SetOrigin(FRmsx, FRmsy);
    redraw();
  });
  return m;
}

void TFamdPlot::OpenContextMenu(int x, int y) {
  FRmsx = x;
  FRmsy = y;
  uint32_t id = 0;
  FPid = FP3d.SymOnScreenPos(x, y, id) ? int64_t(id) : -1;
  if (FMenu) FMenu->deleteLater();
  FMenu = BuildMenu();
  FMenu->popup(FArea->mapToGlobal(QPoint(x, y)));
}

std::vector<int32_t> TFamdPlot::SymbolGroups() const {
  if (!FImported) return FSymGroup;
  std::vector<std::string> labels;
  for (const t3dsymbol& s : FP3d.symbols) labels.push_back(s.name);
  return GroupsOfLabels(labels, FInput.GroupMembers);
}

void TFamdPlot::ShowSwatch(TPlotColour c) {
  FSwatch = c;
  btColour->setStyleSheet(QString("background-color: %1").arg(PlotQColor(c).name()));
}

void TFamdPlot::ChooseGroup(int index) {
  if (index < 0 || size_t(index) >= FLooks.size()) return;
  cbGroup->setCurrentIndex(index);
  ShowSwatch(FLooks[size_t(index)].col);
  const uint8_t sh = FLooks[size_t(index)].shape;
  if (sh >= 1 && sh <= 13) cbSymbol->setCurrentIndex(sh - 1);
}

void TFamdPlot::ApplyGroupColour(TPlotColour col) {
  ShowSwatch(col);
  if (FLooks.empty()) {
    for (t3dsymbol& s : FP3d.symbols) s.col1 = col;
  } else {
    const int g = std::max(0, cbGroup->currentIndex());
    FLooks[size_t(g)].col = col;
    const std::vector<int32_t> grp = SymbolGroups();
    for (size_t i = 0; i < FP3d.symbols.size() && i < grp.size(); ++i)
      if (grp[i] == g) FP3d.symbols[i].col1 = col;
  }
  NewPlot();
}

void TFamdPlot::ApplyGroupShape(uint8_t shape) {
  if (FLooks.empty()) {
    for (t3dsymbol& s : FP3d.symbols) s.sym = shape;
  } else {
    const int g = std::max(0, cbGroup->currentIndex());
    FLooks[size_t(g)].shape = shape;
    const std::vector<int32_t> grp = SymbolGroups();
    for (size_t i = 0; i < FP3d.symbols.size() && i < grp.size(); ++i)
      if (grp[i] == g) FP3d.symbols[i].sym = shape;
  }
  NewPlot();
}

void TFamdPlot::UsePictureLooks(size_t maxLabelled) {
  for (size_t g = 0; g < FLooks.size(); ++g) {
    const TGroupLook look = PictureLook(g);
    ChooseGroup(int(g));
    ApplyGroupColour(look.col);
    ApplyGroupShape(look.shape);
  }
  if (!FLooks.empty()) ChooseGroup(0);
  if (FP3d.symbols.size() > maxLabelled) chLabels->setChecked(false);
}

void TFamdPlot::Magic() {
  chLabels->blockSignals(true);
  chLabels->setChecked(false);
  chLabels->blockSignals(false);
  ApplyMagic(FP3d);
  FDefSize = DefSymSize + 1;
  NewPlot();
  RefreshFields();
}

void TFamdPlot::SavePicture() {
  const bool svg = rbSvg->isChecked();
  QString name = FAsk->AskSaveFile(svg ? "SVG drawing (*.svg)" : "Bitmap (*.png *.bmp)");
  if (name.isEmpty()) return;
  if (PictureFormatOf(name.toStdString()) == TPictureFormat::Unknown) name += svg ? ".svg" : ".png";
  std::string err;
  const int w = FArea->Image.width(), h = FArea->Image.height();
  if (!SavePlotPicture(
          name.toStdString(), w, h, [this](IPlotCanvas& c) { DrawOn(c); }, err))
    iscZelError("Cannot write file", kTag, name.toStdString() + ": " + err);
}

void TFamdPlot::CopyPicture() {
  // Both forms whatever the format choice: a pasting program takes the one it understands.
  auto* mime = new QMimeData;
  mime->setImageData(FArea->Image);
  mime->setData("image/svg+xml", RenderPlotSvg(FArea->Image.width(), FArea->Image.height(),
                                               [this](IPlotCanvas& c) { DrawOn(c); }));
  QApplication::clipboard()->setMimeData(mime);
}

bool TFamdPlot::ExportCoordinates(const std::string& fileName) {
  if (FP3d.symbols.empty()) {
    iscZelError("Nothing to export", kTag);
    return false;
  }
  const std::string text = ExportCoordText(FP3d.symbols);
  TFileOut out(fileName);
  int err = out.Err();
  if (out.Fd() >= 0) {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = ::write(out.Fd(), text.data() + done, text.size() - done);
      if (n < 0) break;
      done += size_t(n);
    }
    err = done == text.size() ? out.Commit() : errno;
  }
  if (err) {
    iscZelError("Cannot write file", kTag, fileName + ": " + FioErrorText(err));
    return false;
  }
  return true;
}

bool TFamdPlot::ImportCoordinates(const std::string& fileName) {
  std::string text;
  uint64_t size = 0;
  if (const int err = ReadFile(fileName, text, size)) {
    iscZelError("Cannot read file", kTag, fileName + ": " + FioErrorText(err));
    return false;
  }
  std::vector<std::string> errors;
  std::vector<t3dsymbol> syms = ImportCoordText(text, errors);
  // A file that is no coordinate table at all would flood the log line by line.
  constexpr size_t kMaxReported = 100;
  for (size_t i = 0; i < errors.size() && i < kMaxReported; ++i) iscZelError(errors[i], kTag);
  if (errors.size() > kMaxReported)
    iscZelError("More import errors", kTag, std::to_string(errors.size() - kMaxReported));
  FP3d.reset();
  FSymbols = std::move(syms);
  FImported = true;
  InitP3DWindow();
  return true;
}

void TFamdPlot::ExportClicked() {
  if (FP3d.symbols.empty()) {
    iscZelError("Nothing to export", kTag);
    return;
  }
  const QString name = FAsk->AskSaveFile("Text files (*.txt)");
  if (!name.isEmpty()) ExportCoordinates(name.toStdString());
}

void TFamdPlot::ImportClicked() {
  const QString name = FAsk->AskOpenFile("Text files (*.txt)");
  if (!name.isEmpty()) ImportCoordinates(name.toStdString());
}

void InstallPcoaPlotViewer(QWidget* parent) {
  QPointer<QWidget> owner(parent);
  iscSetPCoAViewer([owner](const TPCoAResult& r) {
    if (QThread::currentThread() == qApp->thread()) {
      Show3dPlotWindow(owner.data(), r);
      return;
    }
    // A PCoA run off the interface thread: the window opens there once the command has
    // ended, from a copy, as the command's result may be replaced by then.
    auto copy = std::make_shared<TPCoAResult>(r);
    QMetaObject::invokeMethod(
        qApp, [owner, copy] { Show3dPlotWindow(owner.data(), *copy); }, Qt::QueuedConnection);
  });
}
