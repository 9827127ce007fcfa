// The main window's layout: tabs, menu captions and their enabled states, field defaults,
// and screenshots of its tabs.
#include <QAction>
#include <QLineEdit>
#include <QMenuBar>
#include <QTabWidget>
#include <QtTest>

#include "commands/cmdTable.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "ui/zelMainWindow.h"

namespace {
QAction* Find(QWidget* menu, const QStringList& path) {
  for (QAction* a : menu->actions()) {
    if (a->text() != path.front()) continue;
    if (path.size() == 1) return a;
    if (a->menu()) return Find(a->menu(), path.mid(1));
  }
  return nullptr;
}
}  // namespace

class TTestMainWindow : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { RegisterZelCommands(); }

  void tabs() {
    TZelMainForm form;
    auto* tabs = form.findChild<QTabWidget*>();
    QVERIFY(tabs);
    const QStringList captions{"Log", "Variants", "Dev", "Fasta", "SeqTools", "Scripts"};
    QCOMPARE(tabs->count(), captions.size());
    for (int i = 0; i < tabs->count(); ++i) QCOMPARE(tabs->tabText(i), captions[i]);
    QVERIFY(!tabs->isTabVisible(2));
    QVERIFY(!tabs->isTabVisible(5));
  }

  void menuTable_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("open") << "File|Open" << true;
    QTest::newRow("close") << "File|Close" << true;
    QTest::newRow("bayescan") << "File|Export ...|To BayeScan ..." << true;
    QTest::newRow("arlequin") << "File|Export ...|To Arlequin file...." << false;
    QTest::newRow("exit") << "File|Exit" << true;
    QTest::newRow("gff") << "Mode|Gff" << false;
    QTest::newRow("grpman") << "Filter|Manage individuals" << true;
    QTest::newRow("loci") << "Filter|Manage loci/SNPs" << false;
    QTest::newRow("fstsel") << "Filter|Select by Fst/Value..." << true;
    QTest::newRow("quick") << "Filter|Quick select ..." << false;
    QTest::newRow("samples") << "Stats|List samples" << true;
    QTest::newRow("pwdist") << "Ind|Pairwise unphased SNP distance" << true;
    QTest::newRow("pwfst") << "Pop|Pairwise Fst" << true;
    QTest::newRow("upgma") << "Dist|UPGMA" << true;
    QTest::newRow("plugins") << "Extensions|List Plugins" << true;
    QTest::newRow("about") << "Help|About" << true;
  }
  void menuTable() {
    QFETCH(QString, path);
    QFETCH(bool, enabled);
    TZelMainForm form;
    QAction* a = Find(form.menuBar(), path.split('|'));
    QVERIFY2(a, qPrintable(path));
    QCOMPARE(a->isEnabled(), enabled);
  }

  void dropOfVcfGzUpdatesPanels() {
    TZelMainForm form;
    form.OpenDropped({QUrl::fromLocalFile(ZEL_TEST_DATA "/vcf/basic.vcf.gz"),
                      QUrl::fromLocalFile(ZEL_TEST_DATA "/vcf/basic.vcf")});
    QVERIFY(ZelUiState().Panels[0].find("basic.vcf.gz") != std::string::npos);
    QVERIFY(ZelUiState().Panels[2] != "No data [0 x 0]");
    QVERIFY(ZelLogLines().back().find("1 other file(s) ignored") != std::string::npos);
    scCloseActiveFile();
  }

  void quickSelectOneEntryPerScheme() {
    TZelMainForm form;
    for (const char* n : {"pop", "region", "pop", "region"}) iscAddQuickSelectScheme(n);
    scUiSetState(0);
    QAction* quick = Find(form.menuBar(), {"Filter", "Quick select ..."});
    QVERIFY(quick && quick->menu());
    QCOMPARE(quick->menu()->actions().size(), 2);
    QVERIFY(quick->isEnabled());
    ZelUiReset();
  }

  void defaults() {
    TZelMainForm form;
    QStringList texts;
    for (QLineEdit* e : form.findChildren<QLineEdit*>())
      if (e->objectName() != "ZelCmdEdit") texts << e->text();
    QCOMPARE(texts, (QStringList{"2", "10", "2", "4", "4"}));
  }

  void depthFieldsRefuseNonIntegers() {
    TZelMainForm form;
    QLineEdit* e = nullptr;
    for (QLineEdit* f : form.findChildren<QLineEdit*>())
      if (f->validator() && !e) e = f;
    QVERIFY(e);
    for (const char* bad : {"-1", "2.5", " 2"}) {
      e->clear();
      QTest::keyClicks(e, bad);
      QVERIFY2(!e->hasAcceptableInput() || e->text() != bad, bad);
    }
  }

  // Pictures of each visible tab with the example loaded, for a person to look at.
  void screenshots() {
    QDir().mkpath(ZEL_SHOT_DIR);
    TZelMainForm form;
    form.resize(900, 600);
    form.show();
    form.OpenDropped({QUrl::fromLocalFile(ZEL_SOURCE_DIR "/examples/example.vcf.gz")});
    auto* tabs = form.findChild<QTabWidget*>();
    QVERIFY(tabs);
    for (int i = 0; i < tabs->count(); ++i) {
      if (!tabs->isTabVisible(i)) continue;
      tabs->setCurrentIndex(i);
      const QString name = ZEL_SHOT_DIR "/main_" + tabs->tabText(i) + ".png";
      QVERIFY(form.grab().save(name));
    }
    scCloseActiveFile();
  }
};

QTEST_MAIN(TTestMainWindow)
#include "tstMainWindow.moc"
