// The variant selection dialog and the sample group manager: pages, defaults, input checks,
// what they hand back through the Qt answerer, and screenshots of each.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "commands/cmdLoad.h"
#include "commands/cmdPop.h"
#include "commands/cmdSelect.h"
#include "commands/cmdTable.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "popgen/bioDS.h"
#include "popgen/bioPop.h"
#include "ui/zelGroupManager.h"
#include "ui/zelQtUser.h"
#include "ui/zelThreadUser.h"
#include "ui/zelVarSelDialog.h"

namespace {

// Runs act once on the first visible top-level widget of type T (a modal dialog or message box
// opened by the code under test); gives up after two seconds or when the returned timer is
// deleted.
template <class T>
QPointer<QTimer> WhenShown(std::function<void(T*)> act) {
  auto* timer = new QTimer;
  auto left = std::make_shared<int>(200);
  QObject::connect(timer, &QTimer::timeout, [timer, act, left] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
        timer->stop();
        timer->deleteLater();
        act(t);
        return;
      }
    if (--*left == 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start(10);
  return timer;
}

// Closes the next message box and keeps its text in *text.
QPointer<QTimer> CloseNextBox(QString* text) {
  return WhenShown<QMessageBox>([text](QMessageBox* b) {
    *text = b->text();
    b->done(QMessageBox::Ok);
  });
}

template <class T>
T* Child(QWidget* w, const char* name) {
  T* c = w->findChild<T*>(name);
  if (!c) qFatal("no child %s", name);
  return c;
}

QPushButton* Button(QWidget* w, const QString& text) {
  for (QPushButton* b : w->findChildren<QPushButton*>())
    if (b->text() == text) return b;
  qFatal("no button %s", qPrintable(text));
}

QStringList Texts(const QListWidget* l) {
  QStringList r;
  for (int i = 0; i < l->count(); ++i) r << l->item(i)->text();
  return r;
}

QStringList Checked(const QListWidget* l) {
  QStringList r;
  for (int i = 0; i < l->count(); ++i)
    if (l->item(i)->checkState() == Qt::Checked) r << l->item(i)->text();
  return r;
}

TVarSelRequest Request(TVarSelPage page) {
  TVarSelRequest r;
  r.Page = page;
  r.Contigs = {"chr1", "chr2", "chrX"};
  r.Keys = {{"DP", "Total depth", 0}, {"AF", "Allele frequency", 1}, {"DB", "dbSNP", 2}};
  return r;
}

// Selects the names in the group manager's sample list, moves them over and, with a name,
// accepts them as a sub-set.
void PickSubSet(TZelGrpMan& g, const QStringList& names, const QString& name) {
  auto* samples = Child<QListWidget>(&g, "Samples");
  samples->clearSelection();
  for (const QString& n : names) samples->findItems(n, Qt::MatchExactly).front()->setSelected(true);
  Button(&g, ">>")->click();
  if (name.isEmpty()) return;
  Child<QLineEdit>(&g, "Name")->setText(name);
  Button(&g, "Accept sub-set")->click();
}

TPopStructure Structure(const TPopNames& names) {
  TPopStructure s;
  if (!s.init(names)) qFatal("structure");
  return s;
}

}  // namespace

class TTestDialogs : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { RegisterZelCommands(); }
  void cleanup() { ZelSetUser(nullptr); }

  // ---- Variant selection dialog ----

  void pagesAndCaptions() {
    TFVarSel d;
    QCOMPARE(d.windowTitle(), QString("Variant Selection"));
    auto* pages = Child<QTabWidget>(&d, "Pages");
    const QStringList captions{"Contig selection", "Contig range",    "Vcf Info Tag",
                               "Vcf Sample Tag",   "Value threshold", "Features"};
    QCOMPARE(pages->count(), 6);
    for (int i = 0; i < 6; ++i) QCOMPARE(pages->tabText(i), captions[i]);
    for (const char* cmp : {"InfoCmp", "FmtCmp", "ValueCmp"}) {
      auto* c = Child<QComboBox>(&d, cmp);
      QStringList items;
      for (int i = 0; i < c->count(); ++i) items << c->itemText(i);
      QCOMPARE(items, (QStringList{"<", "<=", "=", ">=", ">", "<>"}));
    }
    // Only the requested page is shown, unless every page is asked for.
    d.init(Request(vsVcfSample));
    for (int i = 0; i < 6; ++i) QCOMPARE(pages->isTabVisible(i), i == vsVcfSample);
    QCOMPARE(pages->currentIndex(), int(vsVcfSample));
    d.init(Request(vsRegion), true);
    for (int i = 0; i < 6; ++i) QVERIFY(pages->isTabVisible(i) && pages->isTabEnabled(i));
  }

  void contigPage() {
    TFVarSel d;
    d.init(Request(vsChr));
    auto* list = Child<QListWidget>(&d, "ChrList");
    QCOMPARE(Checked(list), (QStringList{"chr1", "chr2", "chrX"}));
    QCOMPARE(Child<QLabel>(&d, "ChrLabel")->text(), QString("Selected contigs (total =3)"));
    Button(&d, "Deselect all")->click();
    QVERIFY(Checked(list).isEmpty());
    Button(&d, "Select all")->click();
    list->item(1)->setCheckState(Qt::Unchecked);
    Button(&d, "OK")->click();
    QVERIFY(d.VarSelDo());
    QCOMPARE(d.Answer().CheckedContigs, (std::vector<uint32_t>{0, 2}));
  }

  void rangePage() {
    TFVarSel d;
    d.init(Request(vsRegion));
    auto* list = Child<QListWidget>(&d, "RegionList");
    QCOMPARE(Checked(list), QStringList{"chr1"});
    QCOMPARE(Child<QLineEdit>(&d, "FromPos")->text(), QString("1"));
    QCOMPARE(Child<QLineEdit>(&d, "ToPos")->text(), QString("10000000000"));
    // One contig is used, so ticking another replaces the first.
    list->item(2)->setCheckState(Qt::Checked);
    QCOMPARE(Checked(list), QStringList{"chrX"});
    Child<QLineEdit>(&d, "FromPos")->setText("500");
    Child<QLineEdit>(&d, "ToPos")->setText("400");
    QVERIFY(d.CheckInput().startsWith("to position"));
    Child<QLineEdit>(&d, "ToPos")->setText("4e3");
    QVERIFY(d.CheckInput().startsWith("to position"));
    Child<QLineEdit>(&d, "ToPos")->setText("4000");
    QVERIFY(d.CheckInput().isEmpty());
    list->item(2)->setCheckState(Qt::Unchecked);
    QVERIFY(d.CheckInput().startsWith("Selected single contig"));
  }

  void infoPageDefaults() {
    TFVarSel::sel_infotag = "old";
    TFVarSel d;
    d.init(Request(vsVcfInfo));
    auto* tags = Child<QComboBox>(&d, "InfoTag");
    QCOMPARE(tags->placeholderText(), QString("<INFO tag>"));
    QCOMPARE(tags->currentText(), QString("DP"));
    QCOMPARE(Child<QLabel>(&d, "InfoDescr")->text(), QString("Total depth"));
    QCOMPARE(Child<QLabel>(&d, "InfoType")->text(), QString("Integer"));
    QCOMPARE(Child<QComboBox>(&d, "InfoCmp")->currentText(), QString(">="));
    QCOMPARE(Child<QLineEdit>(&d, "InfoThreshold")->text(), QString("0"));
    QVERIFY(Child<QRadioButton>(&d, "InfoByThreshold")->isChecked());
    QCOMPARE(TFVarSel::sel_infotag, std::string("DP"));
    tags->setCurrentIndex(1);
    QCOMPARE(Child<QLabel>(&d, "InfoType")->text(), QString("Float"));
    QCOMPARE(TFVarSel::sel_infotag, std::string("AF"));

    TFVarSel s;
    s.init(Request(vsVcfSample));
    QCOMPARE(Child<QComboBox>(&s, "FmtTag")->placeholderText(), QString("<sample/FORMAT tag>"));
    QCOMPARE(Child<QLineEdit>(&s, "FmtThreshold")->text(), QString("0"));
    QCOMPARE(Child<QLineEdit>(&s, "FmtMinSamples")->text(), QString("1"));
    QCOMPARE(TFVarSel::sel_gttag, std::string("DP"));
  }

  void noTagsNoConfirm() {
    TFVarSel::sel_infotag = "kept";
    for (TVarSelPage page : {vsVcfInfo, vsVcfSample}) {
      TFVarSel d;
      TVarSelRequest r = Request(page);
      r.Keys.clear();
      d.init(r);
      QCOMPARE(Child<QComboBox>(&d, page == vsVcfInfo ? "InfoTag" : "FmtTag")->count(), 0);
      QVERIFY(!Child<QPushButton>(&d, "OkButton")->isEnabled());
      QVERIFY(!d.CheckInput().isEmpty());
    }
    QCOMPARE(TFVarSel::sel_infotag, std::string("kept"));
    TFVarSel v;
    v.initValues({});
    QVERIFY(!Child<QPushButton>(&v, "OkButton")->isEnabled());
  }

  void thresholdChecks_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("key");  // 0 DP Integer, 1 AF Float, 2 DB Flag
    QTest::addColumn<bool>("ifPresent");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const int info = vsVcfInfo, fmt = vsVcfSample;
    QTest::newRow("int 1.5e3") << info << 0 << false << "1.5e3" << false;
    QTest::newRow("float 1.5e3") << info << 1 << false << "1.5e3" << true;
    QTest::newRow("int minus alone") << info << 0 << false << "-" << false;
    QTest::newRow("float minus alone") << info << 1 << false << "-" << false;
    QTest::newRow("int negative") << info << 0 << false << "-12" << true;
    QTest::newRow("int leading blank") << info << 0 << false << " 2" << false;
    QTest::newRow("int empty") << info << 0 << false << "" << false;
    QTest::newRow("int letter O") << info << 0 << false << "1O" << false;
    QTest::newRow("int past 32 bits") << info << 0 << false << "3000000000" << false;
    QTest::newRow("float 1.53") << info << 1 << false << "1.53" << true;
    QTest::newRow("float comma") << info << 1 << false << "1,5" << false;
    QTest::newRow("flag by threshold") << info << 2 << false << "1" << false;
    QTest::newRow("present ignores text") << info << 0 << true << "abc" << true;
    QTest::newRow("flag present") << info << 2 << true << "" << true;
    QTest::newRow("fmt int 1.5e3") << fmt << 0 << false << "1.5e3" << false;
    QTest::newRow("fmt minus alone") << fmt << 0 << false << "-" << false;
    QTest::newRow("fmt float") << fmt << 1 << false << "-0.5" << true;
  }
  void thresholdChecks() {
    QFETCH(int, page);
    QFETCH(int, key);
    QFETCH(bool, ifPresent);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    TFVarSel d;
    d.init(Request(TVarSelPage(page)));
    const bool info = page == vsVcfInfo;
    Child<QComboBox>(&d, info ? "InfoTag" : "FmtTag")->setCurrentIndex(key);
    auto* field = Child<QLineEdit>(&d, info ? "InfoThreshold" : "FmtThreshold");
    field->clear();
    QTest::keyClicks(field, text);
    // What was typed stays as typed: refused, never trimmed into another number.
    QCOMPARE(field->text(), text);
    if (ifPresent) Child<QRadioButton>(&d, "InfoIfPresent")->setChecked(true);
    const QString fault = d.CheckInput();
    QVERIFY2(fault.isEmpty() == accepted, qPrintable(fault));
    if (!accepted) QVERIFY(fault.startsWith(info ? "Threshold value" : "Threshold value (per"));
  }

  void minSamplesField_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("zero") << "0" << true;
    QTest::newRow("three") << "3" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("negative") << "-1" << false;
    QTest::newRow("decimal") << "2.5" << false;
    QTest::newRow("past 32 bits") << "4294967296" << false;
  }
  void minSamplesField() {
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    TFVarSel d;
    d.init(Request(vsVcfSample));
    auto* field = Child<QLineEdit>(&d, "FmtMinSamples");
    field->setText(text);
    const QString fault = d.CheckInput();
    QVERIFY2(fault.isEmpty() == accepted, qPrintable(fault));
    if (!accepted)
      QVERIFY(fault.startsWith("Minimum number of samples that need to PASS threshold"));
    // Typed text is kept as typed (no "2.5" turned into 25) and marked while it would be refused.
    field->clear();
    QTest::keyClicks(field, text);
    QCOMPARE(field->text(), text);
    QCOMPARE(field->styleSheet().contains("red"), !accepted);
  }

  void okRefusesWithMessage() {
    TFVarSel d;
    d.init(Request(vsVcfInfo));
    d.show();
    auto* field = Child<QLineEdit>(&d, "InfoThreshold");
    field->setText("1.5e3");
    QString box;
    CloseNextBox(&box);
    Button(&d, "OK")->click();
    QVERIFY(box.startsWith("Threshold value: \"1.5e3\""));
    QVERIFY(!d.VarSelDo());
    QVERIFY(d.isVisible());
    field->setText("153");
    Child<QComboBox>(&d, "InfoCmp")->setCurrentIndex(4);
    Button(&d, "OK")->click();
    QVERIFY(d.VarSelDo());
    QVERIFY(!d.isVisible());
    const TVarSelAnswer a = d.Answer();
    QCOMPARE(a.Key, std::string("DP"));
    QCOMPARE(int(a.Comparison), 4);
    QCOMPARE(a.Threshold, std::string("153"));
  }

  void closedOtherwiseNotConfirmed() {
    TFVarSel d;
    d.init(Request(vsChr));
    d.show();
    d.close();
    QVERIFY(!d.VarSelDo());
    d.init(Request(vsChr));
    d.show();
    QTest::keyClick(&d, Qt::Key_Escape);
    QVERIFY(!d.VarSelDo());
  }

  void valuePage() {
    TFVarSel d;
    d.initValues({"F_ST a [3.0]", "F_ST b [3.1]"});
    auto* list = Child<QComboBox>(&d, "ValueList");
    QCOMPARE(list->placeholderText(), QString("<value array>"));
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(Child<QComboBox>(&d, "ValueCmp")->currentText(), QString(">="));
    list->setCurrentIndex(1);
    auto* thr = Child<QLineEdit>(&d, "ValueThreshold");
    for (const char* bad : {"-", "", "0,2", "x"}) {
      thr->setText(bad);
      QVERIFY2(d.CheckInput().startsWith("Threshold: "), bad);
    }
    thr->setText("0.25");
    Button(&d, "OK")->click();
    QVERIFY(d.VarSelDo());
    const TZelValueSelection v = d.ValueAnswer();
    QCOMPARE(v.DataSet, 1u);
    QCOMPARE(int(v.Comparison), 3);
    QCOMPARE(v.Threshold, std::string("0.25"));
  }

  // The INFO selection from the menu command to the log, answered through the dialog.
  void infoSelectionThroughQtUser() {
    QWidget parent;
    TZelQtUser user(&parent);
    ZelSetUser(&user);
    QVERIFY(scLoadVcfFile(ZEL_TEST_DATA "/vcf/basic.vcf"));
    WhenShown<TFVarSel>([](TFVarSel* d) {
      Child<QComboBox>(d, "InfoCmp")->setCurrentIndex(4);
      Child<QLineEdit>(d, "InfoThreshold")->setText("20");
      Button(d, "OK")->click();
    });
    uscVcfSelectByInfo();
    bool found = false;
    for (const std::string& l : ZelLogLines())
      found = found || l == "Selecting variants based upon DP INFO tag >20";
    QVERIFY(found);
    WhenShown<TFVarSel>([](TFVarSel* d) { Button(d, "Cancel")->click(); });
    QVERIFY(!user.ShowVarSelection(Request(vsChr)));
    scCloseActiveFile();
  }

  // A command working off the interface thread still gets its dialog, shown on that thread.
  void askedFromAnotherThread() {
    QWidget parent;
    TZelQtUser dialogs(&parent);
    TZelThreadUser user(&parent, dialogs);
    WhenShown<TFVarSel>([](TFVarSel* d) {
      QVERIFY(d->thread() == QCoreApplication::instance()->thread());
      Child<QListWidget>(d, "ChrList")->item(0)->setCheckState(Qt::Unchecked);
      Button(d, "OK")->click();
    });
    std::optional<TVarSelAnswer> answer;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      answer = user.ShowVarSelection(Request(vsChr));
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
    worker.join();
    QVERIFY(answer);
    QCOMPARE(answer->CheckedContigs, (std::vector<uint32_t>{1, 2}));
  }

  // ---- Sample group manager ----

  void groupManagerInit() {
    TPopStructure s = Structure({"S3", "S1", "S2"});
    QVERIFY(s.AddPop({"S1"}, "north", false));
    TZelGrpMan g;
    g.Init(s);
    QCOMPARE(g.windowTitle(), QString("ZEL Sample group manager"));
    QCOMPARE(Texts(Child<QListWidget>(&g, "Samples")), (QStringList{"S1", "S2", "S3"}));
    QCOMPARE(Child<QLabel>(&g, "SamplesCount")->text(), QString("n = 3"));
    QCOMPARE(Child<QLabel>(&g, "SubSetCount")->text(), QString("n = 0"));
    auto* source = Child<QComboBox>(&g, "Source");
    QCOMPARE(source->count(), 2);
    QCOMPARE(source->itemText(0), QString("<all samples>"));
    QCOMPARE(source->itemText(1), QString("north"));
    QCOMPARE(source->currentIndex(), 0);
    QVERIFY(!Button(&g, "X")->isEnabled());
    QVERIFY(!Button(&g, "Delete sub-set")->isEnabled());
    QVERIFY(!Button(&g, "Accept sub-set")->isEnabled());
    QCOMPARE(Child<QTabWidget>(&g, "Pages")->tabText(0), QString("Assign samples"));
  }

  void subSetEditing() {
    TZelGrpMan g;
    g.Init(Structure({"A", "B", "C", "D"}));
    g.show();
    auto* subset = Child<QListWidget>(&g, "SubSet");
    auto* name = Child<QLineEdit>(&g, "Name");
    // A name picked twice joins once.
    PickSubSet(g, {"A", "B"}, {});
    PickSubSet(g, {"B", "C"}, {});
    QCOMPARE(Texts(subset), (QStringList{"A", "B", "C"}));
    QCOMPARE(Child<QLabel>(&g, "SubSetCount")->text(), QString("n = 3"));
    QVERIFY(Button(&g, "X")->isEnabled());
    // An empty name is refused, by the button and by Enter.
    QVERIFY(!Button(&g, "Accept sub-set")->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    QVERIFY(g.GroupStructure().PopDef.empty());
    // "X" removes the selected entries.
    subset->item(2)->setSelected(true);
    Button(&g, "X")->click();
    QCOMPARE(Texts(subset), (QStringList{"A", "B"}));
    // Enter in the name field accepts the sub-set.
    QTest::keyClicks(name, "north");
    QVERIFY(Button(&g, "Accept sub-set")->isEnabled());
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(1));
    QCOMPARE(g.GroupStructure().PopDef[0].Name, std::string("north"));
    QCOMPARE(subset->count(), 0);
    QVERIFY(name->text().isEmpty());
    QCOMPARE(Child<QComboBox>(&g, "Source")->itemText(1), QString("north"));
    QVERIFY(g.isVisible() && !g.IsModified());  // Enter is the name field's, not "OK"'s
    // A used name turns red and cannot be accepted.
    PickSubSet(g, {"C"}, {});
    name->setText("north");
    QVERIFY(name->styleSheet().contains("red"));
    QVERIFY(!Button(&g, "Accept sub-set")->isEnabled());
    name->setText("south");
    QVERIFY(!name->styleSheet().contains("red"));
    Button(&g, "Accept sub-set")->click();
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(2));
    // A sample already in a population of the scheme cannot join another: the list shows red.
    PickSubSet(g, {"A"}, "east");
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(2));
    QVERIFY(subset->styleSheet().contains("red"));
    QCOMPARE(Texts(subset), QStringList{"A"});
  }

  void cancelAndOk() {
    const TPopStructure s = Structure({"A", "B", "C"});
    TZelGrpMan g;
    g.Init(s);
    PickSubSet(g, {"A"}, "p1");
    PickSubSet(g, {"B"}, "p2");
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(2));
    Button(&g, "Cancel")->click();
    QVERIFY(!g.IsModified());
    QVERIFY(g.GroupStructure().PopDef.empty());
    // "OK" without any change still counts as a modification.
    g.Init(s);
    Button(&g, "OK")->click();
    QVERIFY(g.IsModified());
  }

  void cancelLeavesDataSetUnchanged() {
    QWidget parent;
    TZelQtUser user(&parent);
    ZelSetUser(&user);
    QVERIFY(scLoadVcfFile(ZEL_TEST_DATA "/vcf/basic.vcf"));
    WhenShown<TZelGrpMan>([](TZelGrpMan* g) {
      // The unused pages are hidden by the caller.
      auto* pages = Child<QTabWidget>(g, "Pages");
      QVERIFY(!pages->isTabVisible(1) && !pages->isTabVisible(2));
      PickSubSet(*g, {"S1"}, "p1");
      PickSubSet(*g, {"S2", "S3"}, "p2");
      Button(g, "Cancel")->click();
    });
    uscShowGrpMan();
    const TBioDataSet* ds = GetLastObjOfTypeAs<TBioDataSet>(oBioDS);
    QVERIFY(ds);
    QVERIFY(ds->PopStruc().PopDef.empty());
    WhenShown<TZelGrpMan>([](TZelGrpMan* g) {
      PickSubSet(*g, {"S1"}, "p1");
      Button(g, "OK")->click();
    });
    uscShowGrpMan();
    QCOMPARE(ds->PopStruc().PopDef.size(), size_t(1));
    scCloseActiveFile();
  }

  void failedLoadKeepsGroups_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << ZEL_TEST_DATA "/pop/no_such.popmap"
                             << "no_such.popmap";
    QTest::newRow("duplicate") << ZEL_TEST_DATA "/pop/duplicate.popmap"
                               << "ERROR";
    QTest::newRow("not a map") << ZEL_TEST_DATA "/vcf/basic.vcf"
                               << "ERROR";
  }
  void failedLoadKeepsGroups() {
    QFETCH(QString, file);
    QFETCH(QString, reason);
    TZelGivenUser given;
    given.OpenFileNames.push_back(file.toStdString());
    ZelSetUser(&given);
    TZelGrpMan g;
    g.Init(Structure({"A", "B"}));
    PickSubSet(g, {"A"}, "p1");
    QString box;
    CloseNextBox(&box);
    Button(&g, "Load")->click();
    QVERIFY2(box.contains("was not loaded") && box.contains(reason), qPrintable(box));
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(1));
    QCOMPARE(g.GroupStructure().IndNames, (TPopNames{"A", "B"}));
    QCOMPARE(Texts(Child<QListWidget>(&g, "Samples")), (QStringList{"A", "B"}));
  }

  void loadAndSave() {
    QTemporaryDir dir;
    const std::string saved = dir.filePath("saved.popmap").toStdString();
    TZelGivenUser given;
    given.OpenFileNames = {ZEL_TEST_DATA "/pop/vs_basic.popmap", saved};
    given.SaveFileNames = {saved};
    ZelSetUser(&given);
    TZelGrpMan g;
    g.Init(Structure({"A", "B"}));
    Button(&g, "Load")->click();
    QCOMPARE(Texts(Child<QListWidget>(&g, "Samples")),
             (QStringList{"S1", "S2", "X1", "X2", "X3", "X4", "X5", "X6"}));
    auto* source = Child<QComboBox>(&g, "Source");
    QCOMPARE(source->count(), 3);
    QCOMPARE(source->itemText(2), QString("south"));
    Button(&g, "Save")->click();
    g.Init(Structure({"A", "B"}));
    Button(&g, "Load")->click();
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(2));
    QCOMPARE(g.GroupStructure().PopDef[1].Name, std::string("south"));
    // Loading made the loaded structure the one Cancel goes back to.
    Button(&g, "Cancel")->click();
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(2));
  }

  void okWarnsAboutNamesNotInVcf() {
    TZelGrpMan g;
    g.Init(Structure({"S1", "X1", "X2"}));
    g.SetVcfSamples({"S1", "S2"});
    PickSubSet(g, {"S1", "X1"}, "p1");
    QString box;
    CloseNextBox(&box);
    Button(&g, "OK")->click();
    const QString expected =
        "Names in the sub-sets that are not samples of the active VCF file: 1 (X1)";
    QCOMPARE(box, expected);
    QCOMPARE(QString::fromStdString(ZelLogLines().back()), expected);
    QVERIFY(g.IsModified());
    QCOMPARE(g.GroupStructure().PopDef.size(), size_t(1));
    // Members that are all samples: no warning.
    g.Init(Structure({"S1", "X1"}));
    PickSubSet(g, {"S1"}, "p1");
    box.clear();
    const size_t logged = ZelLogLines().size();
    QPointer<QTimer> watch = CloseNextBox(&box);
    Button(&g, "OK")->click();
    delete watch.data();
    QVERIFY(box.isEmpty());
    QCOMPARE(ZelLogLines().size(), logged);
    QVERIFY(g.IsModified());
  }

  // ---- Pictures for a person to look at ----

  void screenshots() {
    QDir().mkpath(ZEL_SHOT_DIR);
    const char* names[] = {"contigs", "range", "info", "sample", "value", "features"};
    for (int p = vsChr; p <= vsFeature; ++p) {
      TFVarSel d;
      if (p == vsValue)
        d.initValues({"F_ST population [3.0]", "F_ST region [3.1]"});
      else
        d.init(Request(TVarSelPage(p)));
      d.show();
      QVERIFY(d.grab().save(QString(ZEL_SHOT_DIR "/varsel_%1.png").arg(names[p])));
    }
    TZelGrpMan g;
    TPopStructure s = Structure({"P1_S001", "P1_S002", "P2_S001", "P2_S002", "P3_S001"});
    QVERIFY(s.AddPop({"P1_S001", "P1_S002"}, "pop1", false));
    g.Init(s);
    g.Tabs()->setTabVisible(1, false);
    g.Tabs()->setTabVisible(2, false);
    g.show();
    PickSubSet(g, {"P2_S001", "P2_S002"}, {});
    Child<QLineEdit>(&g, "Name")->setText("pop2");
    QVERIFY(g.grab().save(ZEL_SHOT_DIR "/groupmanager.png"));
  }
};

QTEST_MAIN(TTestDialogs)
#include "tstDialogs.moc"
