// The 3D plot window under the offscreen platform: mouse zoom and rotation, coordinate tables,
// group appearance, every context-menu entry, fields, and screenshots of the example data.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <fstream>
#include <functional>

#include "commands/cmdDist.h"
#include "commands/cmdLoad.h"
#include "commands/cmdPop.h"
#include "core/zelLog.h"
#include "popgen/pcoa.h"
#include "ui/plot3d/plotCoords.h"
#include "ui/plot3d/qtPicture.h"
#include "ui/plot3d/qtPlotWindow.h"

namespace {

// Answers in the order given; an empty queue cancels.
class TScriptAsk : public IPlotAsk {
 public:
  std::deque<QString> Texts, Files;
  std::deque<TPlotColour> Colours;
  bool AskText(const QString&, const QString&, QString& v) override {
    if (Texts.empty()) return false;
    v = Texts.front();
    Texts.pop_front();
    return true;
  }
  bool AskColour(TPlotColour& c) override {
    if (Colours.empty()) return false;
    c = Colours.front();
    Colours.pop_front();
    return true;
  }
  QString AskSaveFile(const QString&) override { return Next(); }
  QString AskOpenFile(const QString&) override { return Next(); }
  QString Next() {
    if (Files.empty()) return {};
    QString f = Files.front();
    Files.pop_front();
    return f;
  }
};

// Six samples, two populations of two and two unassigned, four axes.
TPlotInput Sample() {
  TPlotInput in;
  in.Names = {"EXA_1", "EXA_2", "SPH_1", "SPH_2", "GAR_1", "INC_1"};
  in.nAxes = 4;
  in.Coord = {0.3,   0.1,  -0.2, 0.01, 0.25, 0.12,  -0.1, 0, -0.3,  0.2,  0.1,  0.02,
              -0.28, 0.22, 0.15, 0,    0.01, -0.35, 0.05, 0, -0.02, -0.3, 0.12, 0.03};
  in.Eigenvalues = {4, 3, 2, 1};
  in.GroupNames = {"exa", "sph"};
  in.GroupMembers = {{"EXA_1", "EXA_2"}, {"SPH_1", "SPH_2"}};
  return in;
}

QAction* FindAction(QMenu* m, const QStringList& path) {
  QMenu* cur = m;
  for (int i = 0; i < path.size(); ++i) {
    QAction* found = nullptr;
    for (QAction* a : cur->actions())
      if (a->text() == path[i] || (i == 0 && a->text().startsWith(path[i]))) found = a;
    if (!found) return nullptr;
    if (i + 1 == path.size()) return found;
    cur = found->menu();
    if (!cur) return nullptr;
  }
  return nullptr;
}

}  // namespace

class TPlotWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TFamdPlot> Make(TScriptAsk* ask = nullptr) {
    auto w = std::make_unique<TFamdPlot>();
    w->resize(1000, 700);
    w->show();
    if (ask) w->SetAsk(ask);
    w->init(Sample());
    return w;
  }
  // The screen position of symbol i in the last drawing.
  static QPoint At(TFamdPlot& w, uint32_t i) {
    for (const TScrPoint& p : w.Engine().ScrPoints)
      if (p.sym == i) return QPoint(p.x, p.y);
    return QPoint(-1, -1);
  }

 private slots:
  void shiftDragZoom() {
    const struct {
      int dx;
      double factor;
    } cases[] = {{3, 0.4}, {1, 0.8}, {-2, 1.4}, {20, 0.05}, {5, 0.05}, {0, 1.0}};
    for (const auto& c : cases) {
      auto w = Make();
      QWidget* area = w->PlotArea();
      const float before = w->Engine().zoom;
      QTest::mousePress(area, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 150));
      QTest::mouseRelease(area, Qt::LeftButton, Qt::ShiftModifier, QPoint(200 + c.dx, 150));
      QVERIFY2(std::abs(w->Engine().zoom - before * c.factor) < 1e-4 * before,
               qPrintable(QString::number(c.dx)));
      QVERIFY(w->Engine().zoom > 0);
    }
  }

  void dragRotates() {
    auto w = Make();
    QWidget* area = w->PlotArea();
    const float rx = w->Engine().xrotation, ry = w->Engine().yrotation;
    QTest::mousePress(area, Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    QTest::mouseRelease(area, Qt::LeftButton, Qt::NoModifier, QPoint(180, 160));
    // Half a degree per pixel: 20 pixels left turn X by 10 degrees, 10 down turn Y by -5.
    QVERIFY(std::abs(w->Engine().xrotation - (rx + 10 * 3.14159265f / 180)) < 1e-5);
    QVERIFY(std::abs(w->Engine().yrotation - (ry - 5 * 3.14159265f / 180)) < 1e-5);
    QCOMPARE(w->edRotX->text(), QString("40.0"));
    QCOMPARE(w->edRotY->text(), QString("25.0"));
  }

  void fieldsAndButtons() {
    auto w = Make();
    QCOMPARE(w->edZoom->text(), QString("50.0"));
    w->edRotZ->setText("90");
    QTest::keyClick(w->edRotZ, Qt::Key_Return);
    QVERIFY(std::abs(w->Engine().zrotation - 1.5707964f) < 1e-6);
    iscZelHasError(true);
    w->edZoom->setText("abc");
    QTest::keyClick(w->edZoom, Qt::Key_Return);
    QCOMPARE(QString::fromStdString(ZelLastErrorMsg()),
             QString("ERROR [3D Plot]: Entered value is not a number!."));
    QVERIFY(iscZelHasError(true));
    QCOMPARE(w->Engine().zoom, 50.0f);
    w->findChild<QPushButton*>("Zoom >")->click();
    QVERIFY(std::abs(w->Engine().zoom - 55) < 1e-4);
    w->findChild<QPushButton*>("X rotation <")->click();
    QVERIFY(std::abs(w->Engine().xrotation - (0.5235988f - 0.025f)) < 1e-5);
    w->findChild<QPushButton*>("Symbol size +")->click();
    for (const t3dsymbol& s : w->Engine().symbols) QCOMPARE(int(s.size), 4);
    w->chLabels->setChecked(false);
    for (const t3dsymbol& s : w->Engine().symbols) QCOMPARE(int(s.plottext), 0);
    QCOMPARE(w->cbAxisX->currentText(), QString("Co. 1 (40.0%)"));
    QCOMPARE(w->cbAxisZ->currentText(), QString("Co. 3 (20.0%)"));
    QCOMPARE(w->cbAxisY->count(), 4);
    QVERIFY(!w->cbAxisY->isEnabled());
  }

  void ordinations() {
    auto w = Make();
    w->chOrdX->setChecked(true);
    QVERIFY(w->Engine().XordinEnabled);
    QVERIFY(w->Engine().OrdXofs != 0);
    w->cbOrdinTo->setCurrentIndex(2);  // "Max"
    for (const t3dsymbol& s : w->Engine().symbols) QCOMPARE(int(s.Ordin), 3 | 12 | 48);
    QCOMPARE(w->Engine().XP[w->Engine().OrdXofs], w->Engine().XP[w->Engine().SysPofs + 26]);
  }

  void tooFewAxes() {
    TFamdPlot w;
    TPlotInput in = Sample();
    in.nAxes = 2;
    iscZelHasError(true);
    QVERIFY(!w.init(in));
    QCOMPARE(QString::fromStdString(ZelLastErrorMsg()),
             QString("ERROR [3D Plot]: PCoA View Error: less than 3 dimensions."));
    QVERIFY(w.Engine().symbols.empty());
  }

  void importDocumentedLine() {
    QTemporaryDir dir;
    const std::string f = (dir.path() + "/c.txt").toStdString();
    std::ofstream(f) << "1,2,3,A,2,RED\n";
    auto w = Make();
    QVERIFY(w->ImportCoordinates(f));
    QCOMPARE(w->Engine().symbols.size(), size_t(1));
    const t3dsymbol& s = w->Engine().symbols[0];
    QCOMPARE(s.x, 1.0f);
    QCOMPARE(s.y, 2.0f);
    QCOMPARE(s.z, 3.0f);
    QCOMPARE(QString::fromStdString(s.name), QString("A"));
    QCOMPARE(int(s.sym), int(shSquare));
    QCOMPARE(s.col1, PlotRGB(255, 0, 0));
  }

  void exportThenImport() {
    QTemporaryDir dir;
    TScriptAsk ask;
    auto w = Make(&ask);
    w->Engine().symbols[2].col1 = PlotRGB(1, 2, 3);
    w->Engine().symbols[4].sym = 2 + 256 * 5;
    const auto before = w->Engine().symbols;
    const QString f = dir.path() + "/out.txt";
    ask.Files = {f, f};
    w->findChild<QPushButton*>("Export coordinates")->click();
    w->findChild<QPushButton*>("Import coordinates")->click();
    const auto& after = w->Engine().symbols;
    QCOMPARE(after.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
      QCOMPARE(after[i].x, before[i].x);
      QCOMPARE(after[i].y, before[i].y);
      QCOMPARE(after[i].z, before[i].z);
      QCOMPARE(after[i].name, before[i].name);
      QCOMPARE(after[i].sym, before[i].sym);
      QCOMPARE(after[i].col1, before[i].col1);
    }
  }

  void groupColourAndShape() {
    TScriptAsk ask;
    auto w = Make(&ask);
    QCOMPARE(w->cbGroup->count(), 2);
    QCOMPARE(w->cbGroup->placeholderText(), QString("AllData"));
    // A relabelled member stays in its group.
    w->Engine().symbols[3].name = "renamed";
    w->ChooseGroup(1);
    ask.Colours = {PlotRGB(0, 0, 255)};
    w->btColour->click();
    const TPlotColour want[] = {0, 0, PlotRGB(0, 0, 255), PlotRGB(0, 0, 255), 0, 0};
    for (size_t i = 0; i < 6; ++i) QCOMPARE(w->Engine().symbols[i].col1, want[i]);
    w->ChooseGroup(0);
    w->ApplyGroupShape(shDiamond);
    const uint16_t shapes[] = {shDiamond, shDiamond, shCircle, shCircle, shCircle, shCircle};
    for (size_t i = 0; i < 6; ++i) QCOMPARE(w->Engine().symbols[i].sym, shapes[i]);
    w->ChooseGroup(1);
    QCOMPARE(w->cbSymbol->currentText(), QString("Circle"));
    QCOMPARE(w->GroupLooks()[1].col, PlotRGB(0, 0, 255));
  }

  void contextMenuEntries() {
    TScriptAsk ask;
    auto w = Make(&ask);
    tplot3d& e = w->Engine();
    using TCheck = std::function<bool()>;
    const uint32_t k = 1;
    const struct {
      QStringList path;
      std::function<void()> prepare;
      TCheck changed;
    } cases[] = {
        {{"&Edit label"},
         [&] { ask.Texts = {"new label"}; },
         [&] { return e.symbols[k].name == "new label"; }},
        {{"Show label"}, [] {}, [&] { return e.symbols[k].plottext == 0; }},
        {{"Change symbol", "Triangle up"}, [] {}, [&] { return e.symbols[k].sym == shTriangleUp; }},
        {{"Change symbol", "Point"}, [] {}, [&] { return e.symbols[k].sym == shPoint; }},
        {{"Change size"},
         [&] { ask.Texts = {"9"}; },
         [&] { return e.symbols[k].size == 9 && e.LargestSymSize == 9; }},
        {{"Change colour"},
         [&] { ask.Colours = {PlotRGB(9, 8, 7)}; },
         [&] { return e.symbols[k].col1 == PlotRGB(9, 8, 7); }},
        {{"Internal planes", "Show XY"}, [] {}, [&] { return e.DrawXY; }},
        {{"Internal planes", "Show XZ"}, [] {}, [&] { return e.DrawXZ; }},
        {{"Internal planes", "Show YZ"}, [] {}, [&] { return e.DrawYZ; }},
        {{"Internal planes", "Colour"},
         [&] { ask.Colours = {11}; },
         [&] { return e.IntPlaneCol == 11; }},
        {{"External planes", "Show pos. XY"}, [] {}, [&] { return e.DrawXYp; }},
        {{"External planes", "Show pos. XZ"}, [] {}, [&] { return e.DrawXZp; }},
        {{"External planes", "Show pos. YZ"}, [] {}, [&] { return e.DrawYZp; }},
        {{"External planes", "Show neg. XY"}, [] {}, [&] { return e.DrawXYn; }},
        {{"External planes", "Show neg. XZ"}, [] {}, [&] { return e.DrawXZn; }},
        {{"External planes", "Show neg. YZ"}, [] {}, [&] { return e.DrawYZn; }},
        {{"External planes", "Colour"},
         [&] { ask.Colours = {12}; },
         [&] { return e.ExtPlaneCol == 12; }},
        {{"Plot area", "Foreground colour"},
         [&] { ask.Colours = {13}; },
         [&] { return e.ForeCol == 13; }},
        {{"Plot area", "Background colour"},
         [&] { ask.Colours = {14}; },
         [&] { return e.BackCol == 14; }},
        {{"Coordinate axes", "Positive axes"}, [] {}, [&] { return !e.DrawMainPosAxes; }},
        {{"Coordinate axes", "Negative axes"}, [] {}, [&] { return !e.DrawMainNegAxes; }},
        {{"Coordinate axes", "Width"},
         [&] { ask.Texts = {"5"}; },
         [&] { return e.LineMainSz == 5; }},
        {{"Move origin here"}, [] {}, [&] { return e.ScrOriX == 7 && e.ScrOriY == 9; }},
    };
    for (const auto& c : cases) {
      const bool onSymbol = c.path[0] != "Move origin here";
      const QPoint p = onSymbol ? At(*w, k) : QPoint(7, 9);
      QVERIFY(p.x() >= 0);
      w->OpenContextMenu(p.x(), p.y());
      QMenu* m = w->ContextMenu();
      QVERIFY(m);
      if (onSymbol && c.path[0] == "&Edit label")
        QCOMPARE(m->actions()[0]->text(),
                 "&Edit label \"" + QString::fromStdString(e.symbols[k].name) + "\"");
      QAction* a = FindAction(m, c.path);
      QVERIFY2(a, qPrintable(c.path.join(" > ")));
      QVERIFY2(!c.changed(), qPrintable(c.path.join(" > ")));
      c.prepare();
      a->trigger();
      QVERIFY2(c.changed(), qPrintable(c.path.join(" > ")));
      m->hide();
    }
    // The number form: 300 is refused (not cut to 44), as is text; the size stays.
    for (const char* bad : {"300", "abc"}) {
      const uint16_t before = e.symbols[k].size;
      const QPoint p = At(*w, k);
      w->OpenContextMenu(p.x(), p.y());
      ask.Texts = {bad};
      FindAction(w->ContextMenu(), {"Change size"})->trigger();
      w->ContextMenu()->hide();
      QCOMPARE(e.symbols[k].size, before);
      QVERIFY(iscZelHasError(true));
    }
    // Away from every symbol the symbol entries are disabled and the first reads "&Edit label".
    w->OpenContextMenu(2, 2);
    QCOMPARE(w->ContextMenu()->actions()[0]->text(), QString("&Edit label"));
    QVERIFY(!w->ContextMenu()->actions()[0]->isEnabled());
    QVERIFY(!FindAction(w->ContextMenu(), {"Change colour"})->isEnabled());
    w->ContextMenu()->hide();
  }

  void pictureFiles() {
    QTemporaryDir dir;
    TScriptAsk ask;
    auto w = Make(&ask);
    ask.Files = {dir.path() + "/a.bmp", dir.path() + "/b"};
    w->findChild<QPushButton*>("Save to file")->click();
    w->rbSvg->setChecked(true);
    w->findChild<QPushButton*>("Save to file")->click();
    QImage bmp(dir.path() + "/a.bmp");
    QCOMPARE(bmp.size(), w->Picture().size());
    QFile svg(dir.path() + "/b.svg");
    QVERIFY(svg.open(QIODevice::ReadOnly));
    QVERIFY(svg.readAll().contains("EXA_1"));
  }

  void clipboardHoldsImageAndSvg() {
    auto w = Make();
    w->findChild<QPushButton*>("Copy to clipboard")->click();
    const QMimeData* m = QGuiApplication::clipboard()->mimeData();
    QVERIFY(m);
    QVERIFY(m->hasImage());
    QCOMPARE(qvariant_cast<QImage>(m->imageData()).size(), w->Picture().size());
    QVERIFY(m->data("image/svg+xml").contains("<svg"));
  }

  // After an import the groups follow the labels.
  void importedSymbolsJoinGroupsByLabel() {
    QTemporaryDir dir;
    const std::string f = (dir.path() + "/c.txt").toStdString();
    std::ofstream(f) << "1\t2\t3\tSPH_2\n4\t5\t6\tEXA_1\n7\t8\t9\tnobody\n";
    auto w = Make();
    QVERIFY(w->ImportCoordinates(f));
    w->ChooseGroup(1);
    w->ApplyGroupColour(PlotRGB(0, 200, 0));
    const TPlotColour want[] = {PlotRGB(0, 200, 0), 0, 0};
    for (size_t i = 0; i < 3; ++i) QCOMPARE(w->Engine().symbols[i].col1, want[i]);
  }

  // A successful PCoA opens the window (modal) with its result and the scheme's groups.
  void handOverFromPcoa() {
    QTemporaryDir dir;
    const std::string m = (dir.path() + "/m.tsv").toStdString();
    std::ofstream(m) << "A\tB\tC\tD\n0\t\n1\t0\t\n1\t1\t0\t\n1\t1\t1\t0\t\n\n";
    QVERIFY(iscLoadDistMatrix(m));
    InstallPcoaPlotViewer(nullptr);
    size_t shown = 0;
    QString caption;
    QTimer::singleShot(0, [&] {
      auto* w = qobject_cast<TFamdPlot*>(QApplication::activeModalWidget());
      if (!w) return;
      shown = w->Engine().symbols.size();
      caption = w->cbAxisX->currentText();
      w->close();
    });
    QVERIFY(scPCoA());
    iscSetPCoAViewer(nullptr);
    QCOMPARE(shown, size_t(4));
    QCOMPARE(caption, QString("Co. 1 (33.3%)"));
  }

  // Screenshots of the example data, for a person to look at.
  void screenshots() {
    QDir().mkpath(ZEL_SHOT_DIR);
    iscZelHasError(true);
    QVERIFY(scLoadVcfFile(std::string(ZEL_SOURCE_DIR) + "/examples/example.vcf.gz"));
    QVERIFY(scLoadPopMap(std::string(ZEL_SOURCE_DIR) + "/examples/example_popmap.txt"));
    scSelectPopScheme("population");
    zelDistMinDP = 0;
    zelDistMinDP_hom = 0;
    QVERIFY(scVcfPwUDist());
    QVERIFY(scPCoA());
    TFamdPlot w;
    w.resize(1100, 760);
    w.show();
    QVERIFY(w.init(PlotInputOf(*iscLastPCoA())));
    QVERIFY(w.grab().save(ZEL_SHOT_DIR "/plot_standard.png"));
    // As the window opens after a PCoA: fitted, a look per population, no labels for 60 samples.
    w.UsePictureLooks(TPictureOptions{}.MaxLabelled);
    w.FitToArea();
    QVERIFY(w.grab().save(ZEL_SHOT_DIR "/plot_default.png"));
    QCOMPARE(w.GroupLooks().size(), size_t(4));
    QVERIFY(w.GroupLooks()[0].col != w.GroupLooks()[1].col);
    QVERIFY(!w.chLabels->isChecked());
    w.chOrdX->setChecked(true);
    w.chOrdY->setChecked(true);
    w.chOrdZ->setChecked(true);
    w.cbOrdinTo->setCurrentIndex(1);
    QVERIFY(w.grab().save(ZEL_SHOT_DIR "/plot_ordinations.png"));
    w.Magic();
    QVERIFY(w.grab().save(ZEL_SHOT_DIR "/plot_magic.png"));
  }
};

QTEST_MAIN(TPlotWindowTest)
#include "window_test.moc"
