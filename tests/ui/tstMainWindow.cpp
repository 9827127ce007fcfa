// The main window's layout: tabs, menu captions and their enabled states, field defaults,
// and screenshots of its tabs.
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "commands/cmdDist.h"
#include "commands/cmdFst.h"
#include "commands/cmdLoad.h"
#include "commands/cmdMerge.h"
#include "commands/cmdPop.h"
#include "commands/cmdTable.h"
#include "core/zelGivenUser.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelRemote.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "popgen/bioFst.h"
#include "ui/zelFstPlotWindow.h"
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

bool LogHas(const std::string& text) {
  for (const std::string& l : ZelLogLines())
    if (l.find(text) != std::string::npos) return true;
  return false;
}

QPushButton* Button(QWidget* w, const QString& caption) {
  for (QPushButton* b : w->findChildren<QPushButton*>())
    if (b->text() == caption) return b;
  return nullptr;
}

// A VCF with GT:DP calls, large enough that a command over it runs for a while.
void WriteVcf(const std::string& path, int samples, int variants) {
  std::ofstream out(path);
  out << "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"G\">\n"
      << "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"D\">\n"
      << "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (int s = 0; s < samples; ++s) out << "\tS" << s;
  out << "\n";
  static const char* calls[] = {"0/0:12", "0/1:15", "1/1:20", "./.:0", "0/1:9"};
  for (int v = 0; v < variants; ++v) {
    out << "chr1\t" << (v + 1) * 10 << "\t.\tA\tG\t50\tPASS\t.\tGT:DP";
    for (int s = 0; s < samples; ++s) out << '\t' << calls[(v * 7 + s * 3) % 5];
    out << '\n';
  }
}
}  // namespace

class TTestMainWindow : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    RegisterZelCommands();
    QVERIFY(Dir.isValid());
  }
  void cleanup() {
    scCloseActiveFile();
    iscZelHasError(true);
  }

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
    QTest::newRow("fstplot") << "Plot|F_ST along the genome" << true;
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
    form.WaitForCommand();
    QVERIFY(ZelUiState().Panels[0].find("basic.vcf.gz") != std::string::npos);
    QVERIFY(ZelUiState().Panels[2] != "No data [0 x 0]");
    QVERIFY(LogHas("1 other file(s) ignored"));
    QVERIFY(form.RecentFiles().front().endsWith("basic.vcf.gz"));
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
    for (QLineEdit* e : form.findChild<QTabWidget*>()->widget(1)->findChildren<QLineEdit*>())
      texts << e->text();
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
    form.WaitForCommand();
    form.findChild<QLineEdit*>("SeqEdit")->setText("ATGGCCAAGTTGACCAGT");
    auto* tabs = form.findChild<QTabWidget*>();
    QVERIFY(tabs);
    for (int i = 0; i < tabs->count(); ++i) {
      if (!tabs->isTabVisible(i)) continue;
      tabs->setCurrentIndex(i);
      const QString name = ZEL_SHOT_DIR "/main_" + tabs->tabText(i) + ".png";
      QVERIFY(form.grab().save(name));
    }
    std::unique_ptr<QMessageBox> about(MakeZelAboutBox(&form));
    about->show();
    QVERIFY(about->grab().save(ZEL_SHOT_DIR "/about.png"));
  }

  // The old face's cases: eight letters spaced by three, "-" stopping at 0.
  void seqToolsSpacing() {
    TZelMainForm form;
    auto* field = form.findChild<QLineEdit*>("SeqEdit");
    field->setText("ACGTACGT");
    QTest::mouseClick(Button(&form, "-"), Qt::LeftButton);
    QCOMPARE(form.findChild<QLabel*>("SpacingLabel")->text(), QString("0"));
    for (int i = 0; i < 3; ++i) QTest::mouseClick(Button(&form, "+"), Qt::LeftButton);
    QCOMPARE(field->text(), QString("ACG TAC GT"));
    QCOMPARE(form.findChild<QLabel*>("SpacingLabel")->text(), QString("3"));
    QCOMPARE(form.findChild<QLabel*>("LengthLabel")->text(), QString("8"));
    QTest::mouseClick(Button(&form, "Reverse Complement"), Qt::LeftButton);
    QCOMPARE(field->text(), QString("ACG TAC GT"));
    QCOMPARE(form.findChild<QLabel*>("MarkerLabel")->text(), QString("<-"));
    QTest::mouseClick(Button(&form, "Reverse"), Qt::LeftButton);
    QCOMPARE(field->text(), QString("TGC ATG CA"));
    QCOMPARE(form.findChild<QLabel*>("MarkerLabel")->text(), QString(">-"));
  }

  void failedDistOpensNoSaveDialog() {
    TZelGivenUser given;
    given.SaveFileNames = {std::string(Dir.filePath("never.dist").toStdString())};
    TZelMainForm form(&given);
    QTest::mouseClick(Button(&form, "Dist"), Qt::LeftButton);
    form.WaitForCommand();
    QVERIFY(iscZelHasError(false));
    QVERIFY(given.Asked.empty());
    QVERIFY(!QFile::exists(Dir.filePath("never.dist")));
  }

  void emptyDepthFieldIsRefusedByName() {
    TZelMainForm form;
    form.findChild<QTabWidget*>()->widget(1)->findChildren<QLineEdit*>()[1]->clear();
    QTest::mouseClick(Button(&form, "Dist"), Qt::LeftButton);
    QVERIFY(!form.CommandRunning());
    QVERIFY(ZelLastErrorMsg().find("minDP(het/hom)= (second)") != std::string::npos);
  }

  // Depth fields 5 and 20 reach the export as (file, 20, 5).
  void bayescanGetsTheDepthFieldsSwapped() {
    const QString out = Dir.filePath("bs.txt");
    TZelGivenUser given;
    given.SaveFileNames = {out.toStdString()};
    TZelMainForm form(&given);
    form.OpenFile(ZEL_SOURCE_DIR "/examples/example.vcf.gz");
    form.WaitForCommand();
    QVERIFY(scLoadPopMap(ZEL_SOURCE_DIR "/examples/example_popmap.txt"));
    const auto fields = form.findChild<QTabWidget*>()->widget(1)->findChildren<QLineEdit*>();
    fields[0]->setText("5");
    fields[1]->setText("20");
    Find(form.menuBar(), {"File", "Export ...", "To BayeScan ..."})->trigger();
    form.WaitForCommand();
    QVERIFY2(!iscZelHasError(false), ZelLastErrorMsg().c_str());
    QVERIFY(LogHas("(minDP hom/het = 20/5)"));
    QVERIFY(QFile::exists(out));
  }

  void cancelledExportLeavesNoFileAndIdle() {
    const std::string vcf = BigVcf();
    const QString out = Dir.filePath("cancel.famd");
    TZelGivenUser given;
    given.SaveFileNames = {out.toStdString()};
    TZelMainForm form(&given);
    form.OpenFile(vcf);
    form.WaitForCommand();
    Find(form.menuBar(), {"File", "Export ...", "To binary matrix/FAMD"})->trigger();
    QVERIFY(form.CommandRunning());
    QVERIFY(!form.menuBar()->isEnabled());
    form.CancelCommand();
    form.WaitForCommand();
    QVERIFY(form.menuBar()->isEnabled());
    QVERIFY2(LogHas("Cancelled"), ZelLastErrorMsg().c_str());
    QVERIFY(!QFile::exists(out));
    QVERIFY(!form.findChild<QPushButton*>("ZelCancel")->isVisible());
    QVERIFY(ZelUiState().Panels[5] != "Busy");
  }

  void cancelledMergeLeavesNoFile() {
    const QString out = Dir.filePath("merged.vcf");
    TZelGivenUser given;
    TZelMainForm form(&given);
    form.OpenFile(BigVcf());
    form.WaitForCommand();
    const std::string second = BigVcf(), merged = out.toStdString();
    form.RunCommand([second, merged] { _dev_mergevcf(second, merged); });
    form.CancelCommand();
    form.WaitForCommand();
    QVERIFY2(LogHas("ERROR [U]: Cancelled."), ZelLastErrorMsg().c_str());
    QVERIFY(form.menuBar()->isEnabled());
    QCOMPARE(
        QDir(Dir.path()).entryList({"merged*", ".merged*", "*.tmp*"}, QDir::Files | QDir::Hidden),
        QStringList());
  }

  // The window keeps drawing while long commands run (distances, then the PCoA of 2,000
  // samples): a 20 ms timer is never held up for 100 ms.
  void windowStaysResponsive() {
    const std::string vcf = BigVcf();
    TZelGivenUser given;
    TZelMainForm form(&given);
    iscSetPCoAViewer(nullptr);  // no modal plot window in a test
    form.OpenFile(vcf);
    form.WaitForCommand();
    QTimer tick;
    QElapsedTimer clock;
    qint64 last = 0, worst = 0;
    int ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
      const qint64 now = clock.elapsed();
      if (ticks++ > 0) worst = std::max(worst, now - last);
      last = now;
    });
    clock.start();
    tick.start(20);
    for (const char* b : {"Dist", "PCoA"}) {
      QTest::mouseClick(Button(&form, b), Qt::LeftButton);
      QVERIFY(form.CommandRunning());
      form.WaitForCommand();
      QVERIFY2(!iscZelHasError(false), ZelLastErrorMsg().c_str());
    }
    tick.stop();
    qInfo() << "ran" << clock.elapsed() << "ms;" << ticks << "ticks, worst gap" << worst << "ms";
    QVERIFY(worst < 100);
  }

  // A request posted while a command runs waits for it, then runs as a command of its own.
  void remoteRequestQueuesBehindTheRunningCommand() {
    TZelGivenUser given;
    TZelMainForm form(&given);
    form.OpenFile(BigVcf());
    QVERIFY(form.CommandRunning());
    QVERIFY(scRemoteCmd(0, "scZelLogA remote hello") != 0);
    form.WaitForCommand();
    QTRY_VERIFY(LogHas("remote hello"));
    form.WaitForCommand();
    size_t loaded = 0, remote = 0;
    for (size_t i = 0; i < ZelLogLines().size(); ++i) {
      if (ZelLogLines()[i].find("remote hello") != std::string::npos) remote = i;
      if (ZelLogLines()[i].find("Loading file") != std::string::npos) loaded = i;
    }
    QVERIFY(remote > loaded);
  }

  void closingWhileRunningAsksAndStops() {
    const std::string vcf = BigVcf();
    TZelGivenUser given;
    auto form = std::make_unique<TZelMainForm>(&given);
    form->show();
    form->OpenFile(vcf);
    form->WaitForCommand();
    int asked = 0;
    form->ConfirmStopOnClose = [&] { return ++asked == 2; };
    Find(form->menuBar(), {"Stats", "Missing GT calls per sample"})->trigger();
    QVERIFY(!form->close());  // "no": keeps running
    QVERIFY(form->close());   // "yes": stopped, then closed
    QCOMPARE(asked, 2);
    QVERIFY(!form->CommandRunning());
    QVERIFY(ZelExiting());
    form.reset();
    QVERIFY(!iscZelInit());
  }

  // The newest F_ST result along the genome: one entry per data set, zoom by chromosome, and
  // pictures of both views.
  void fstGenomeWindow() {
    TZelMainForm form;
    Find(form.menuBar(), {"Plot", "F_ST along the genome"})->trigger();
    QVERIFY(ZelLastErrorMsg().find("No F_ST result") != std::string::npos);
    QVERIFY(scLoadVcfFile(ZEL_SOURCE_DIR "/examples/example.vcf.gz"));
    QVERIFY(scLoadPopMap(ZEL_SOURCE_DIR "/examples/example_popmap.txt"));
    QVERIFY(scPairwiseFst(2, 10, 4, 2, 2, true, true));
    const auto* r = GetLastObjOfTypeAs<TPopParameters>(oPopParams);
    QVERIFY(r);
    TZelFstPlotWindow w(*r);
    w.show();
    QCOMPARE(w.DataSets->count(), int(r->PopParameters.size()));
    QVERIFY(w.Chromosomes->count() > 1);
    QVERIFY(w.SavePicture(ZEL_SHOT_DIR "/fst_genome.png"));
    w.Chromosomes->setCurrentIndex(1);
    QCOMPARE(w.View->ZoomChr, 0);
    QVERIFY(w.SavePicture(ZEL_SHOT_DIR "/fst_genome_zoomed.svg"));
    w.DataSets->setCurrentIndex(w.DataSets->count() - 1);
    QCOMPARE(w.View->ZoomChr, -1);
    QCOMPARE(w.Chromosomes->currentIndex(), 0);
  }

  void modeLogShowsTheLogTab() {
    TZelMainForm form;
    auto* tabs = form.findChild<QTabWidget*>();
    tabs->setCurrentIndex(1);
    Find(form.menuBar(), {"View", "Log"})->trigger();
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(Find(form.menuBar(), {"Mode", "Log"})->isChecked());
  }

 private:
  // Made once: large enough that a command over it still runs when the test reacts, even on
  // a loaded machine.
  std::string BigVcf() {
    const std::string path = Dir.filePath("big.vcf").toStdString();
    if (!QFile::exists(QString::fromStdString(path))) WriteVcf(path, 2000, 3000);
    return path;
  }
  QTemporaryDir Dir;
};

QTEST_MAIN(TTestMainWindow)
#include "tstMainWindow.moc"
