// The main window: every menu entry and button calls a command function.
#include "ui/zelMainWindow.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "commands/cmdDist.h"
#include "commands/cmdExport.h"
#include "commands/cmdFst.h"
#include "commands/cmdLoad.h"
#include "commands/cmdPlugins.h"
#include "commands/cmdPop.h"
#include "commands/cmdSelect.h"
#include "commands/cmdVcf.h"
#include "core/zelCmdTable.h"
#include "core/zelRegistry.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"
#include "ui/plot3d/qtPlotWindow.h"

namespace {
QLineEdit* NumberField(const char* text, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setValidator(new QIntValidator(0, 1000000000, e));
  return e;
}
uint32_t Value(const QLineEdit* e) { return e->text().toUInt(); }
}  // namespace

TZelMainForm::TZelMainForm() {
  setWindowTitle("ZEL");
  ZelSetUser(&User);
  // A successful scPCoA, from a button, the menu or the command box, opens the 3D plot.
  InstallPcoaPlotViewer(this);
  auto* central = new QWidget(this);
  auto* centralLay = new QVBoxLayout(central);
  Tabs = new QTabWidget;
  // The interpreter's one-line box: hidden at start, shown from View.
  auto* cmdBox = new QLineEdit("scListCommands");
  cmdBox->setObjectName("ZelCmdEdit");
  cmdBox->hide();
  connect(cmdBox, &QLineEdit::returnPressed, this, [cmdBox] {
    const std::string line = cmdBox->text().toStdString();
    cmdBox->clear();
    (void)ZelRunCmd(line);
  });
  centralLay->addWidget(Tabs);
  centralLay->addWidget(cmdBox);
  setCentralWidget(central);

  auto* logPage = new QWidget;
  auto* logLay = new QVBoxLayout(logPage);
  LogPane = new QPlainTextEdit;
  LogPane->setReadOnly(true);
  auto* clear = new QPushButton("Clear");
  connect(clear, &QPushButton::clicked, [] { scClearLog(); });
  logLay->addWidget(LogPane);
  logLay->addWidget(clear);
  Tabs->addTab(logPage, "Log");

  auto* varPage = new QWidget;
  auto* form = new QFormLayout(varPage);
  MinDP1 = NumberField("2", varPage);
  MinDP2 = NumberField("10", varPage);
  MaxNStates = NumberField("2", varPage);
  MinNObs = NumberField("4", varPage);
  MinNPops = NumberField("4", varPage);
  LimitFst = new QCheckBox("Limit Fst to 0");
  LimitFst->setChecked(true);
  SmallSample = new QCheckBox("Small sample correction");
  SmallSample->setChecked(true);
  form->addRow("minDP(het/hom)=", MinDP1);
  form->addRow("minDP(het/hom)=", MinDP2);
  form->addRow("maxNStates", MaxNStates);
  form->addRow("minNObsPerPop", MinNObs);
  form->addRow("@ minNPops", MinNPops);
  form->addRow(LimitFst);
  form->addRow(SmallSample);
  auto button = [&](const char* caption, std::function<void()> f) {
    auto* b = new QPushButton(caption);
    connect(b, &QPushButton::clicked, this, f);
    form->addRow(b);
  };
  button("Dist", [this] {
    StoreDepthFields();
    scVcfPwUDist();
    if (!iscZelHasError(false))
      if (auto f = SaveName("Save distances")) scSaveDist(*f);
  });
  button("PCoA", [this] {
    if (scPCoA() && !iscZelHasError(false)) OnPCoAFinished();
  });
  button("global Fst", [this] { RunFst(false); });
  button("pw Fst", [this] { RunFst(true); });
  Tabs->addTab(varPage, "Variants");
  Tabs->addTab(new QWidget, "Dev");
  Tabs->addTab(new QWidget, "Fasta");
  Tabs->addTab(new QWidget, "SeqTools");
  Tabs->addTab(new QWidget, "Scripts");
  Tabs->setTabVisible(2, false);
  Tabs->setTabVisible(5, false);

  QMenu* file = menuBar()->addMenu("File");
  Add(file, "Open", [this] {
    if (auto f = User.AskOpenFileName("Open", "")) OpenFile(*f);
  });
  Add(file, "Close", [] { scCloseActiveFile(); });
  Add(file, "Save VCF selection ...", [this] {
    if (auto f = SaveName("Save VCF selection")) scVcfSaveSelection(*f);
  });
  QMenu* exp = file->addMenu("Export ...");
  Add(exp, "To Structure ...", [this] {
    if (auto f = SaveName("To Structure")) {
      StoreDepthFields();
      scVcfExport2Structure(*f, Value(MinDP2), Value(MinDP1));
    }
  });
  Add(exp, "To BayeScan ...", [this] {
    if (auto f = SaveName("To BayeScan")) {
      StoreDepthFields();
      scVcfExport2Bayescan(*f, Value(MinDP2), Value(MinDP1));
    }
  });
  Add(exp, "To binary matrix/FAMD", [this] {
    if (auto f = SaveName("To binary matrix/FAMD")) {
      StoreDepthFields();
      scVcfExport2FAMD(*f, Value(MinDP1));
    }
  });
  for (const char* c : {"To Arlequin file....", "To HapMap file...", "To FDist2 ..."})
    Add(exp, c, nullptr);
  Add(file, "Save Log file...", [this] {
    if (auto f = SaveName("Save Log file")) (void)iscZelSaveLog(*f);
  });
  Add(file, "Exit", [this] { close(); });

  QMenu* mode = menuBar()->addMenu("Mode");
  QAction* logMode = Add(mode, "Log", [] {});
  logMode->setCheckable(true);
  logMode->setChecked(true);
  for (const char* c : {"Vcf/Bcf", "Fasta/Fastq", "Sam/Bam", "Gff"}) Add(mode, c, nullptr);

  QMenu* filter = menuBar()->addMenu("Filter");
  Add(filter, "Manage individuals", [] { uscShowGrpMan(); });
  Add(filter, "Rename individuals (TSV)...", [this] {
    if (auto f = User.AskOpenFileName("Rename individuals", "")) scRenameVcfSamples(*f);
  });
  Add(filter, "Manage loci/SNPs", nullptr);
  Add(filter, "Reset filters/Select all", [] { scVcfSelectAll(); });
  Add(filter, "Unselect all", [] { scVcfSelectNone(); });
  Add(filter, "Invert selection (logical NOT)", [] { scVcfInvertSelection(); });
  for (const char* c : {"AND-combine selection with...", "OR-combine selection with...",
                        "Save current selection as ..."})
    Add(filter, c, nullptr);
  QuickSelect = filter->addMenu("Quick select ...");
  QuickSelect->setEnabled(false);
  Add(filter, "Select polymorphic variants", [] { scVcfSelectPolymorphic(); });
  Add(filter, "Select Biallelic", [] { scVcfSelectBiallelic(); });
  Add(filter, "Select SNPs", [] { scVcfSelectSNPs(); });
  Add(filter, "Select transitions", [] { scVcfSelectTransitions(); });
  Add(filter, "Select transversions", [] { scVcfSelectTransversions(); });
  Add(filter, "Select InDels", [] { scVcfSelectInDels(); });
  Add(filter, "Select variants with ALT allele present", [] { scVcfSelectWithAltAllele(); });
  Add(filter, "Select contigs...", [] { iscShowVcfVarSelection(); });
  Add(filter, "Select variant range", [] { iscShowVcfVarRangeSelection(); });
  Add(filter, "Select by INFO tag", [] { uscVcfSelectByInfo(); });
  Add(filter, "Select by SAMPLE/FORMAT tag", [] { uscVcfSelectBySampleTag(); });
  Add(filter, "Select by Fst/Value...", [] { uscShowFstSelection(); });
  Add(filter, "Select Features...", nullptr);
  Add(filter, "More Selections...", nullptr);

  QMenu* stats = menuBar()->addMenu("Stats");
  Add(stats, "List samples", [] { scVcfListSampleNames(); });
  Add(stats, "Missing GT calls per sample", [] { scVcfListMissingDataPerSample(); });
  Add(stats, "Get SNP transition matrix", [] { scVcfGetSnpTransitionMatrix(); });
  Add(menuBar()->addMenu("Ind"), "Pairwise unphased SNP distance", [] { scVcfPwUDist(); });
  QMenu* pop = menuBar()->addMenu("Pop");
  Add(pop, "Global Fst", [this] { RunFst(false); });
  Add(pop, "Pairwise Fst", [this] { RunFst(true); });
  QMenu* dist = menuBar()->addMenu("Dist");
  Add(dist, "PCoA", [this] {
    if (scPCoA() && !iscZelHasError(false)) OnPCoAFinished();
  });
  Add(dist, "UPGMA", [this] {
    if (auto f = SaveName("UPGMA")) scUPGMA(*f);
  });
  for (const char* c : {"Loc", "Plot", "Options"}) menuBar()->addMenu(c)->setEnabled(false);
  QMenu* view = menuBar()->addMenu("View");
  Add(view, "Log", [this] { Tabs->setCurrentIndex(0); });
  Add(view, "Command box", [cmdBox] { cmdBox->setVisible(true); });
  Add(menuBar()->addMenu("Extensions"), "List Plugins", [] { scListPlugins(); });
  Add(menuBar()->addMenu("Help"), "About", [] { iscZelLog("ZEL"); });

  static const int widths[6] = {210, 70, 150, 100, 10, 60};
  for (int i = 0; i < 6; ++i) {
    Panels[i] = new QLabel;
    Panels[i]->setMinimumWidth(widths[i]);
    // The file name panel takes the room left over: the shortened name is sized for the
    // widths above in the old face, and the desktop's font is wider.
    statusBar()->addWidget(Panels[i], i == 0 ? 1 : 0);
  }
  ZelUiSetObserver([this](const TZelUiState&) { ShowState(); });
  ShowState();
  for (const std::string& l : ZelLogLines()) LogPane->appendPlainText(QString::fromStdString(l));
  ZelLogAddSink(this);
  setAcceptDrops(true);
}

TZelMainForm::~TZelMainForm() {
  ZelLogRemoveSink(this);
  ZelUiSetObserver(nullptr);
  ZelSetUser(nullptr);
}

QAction* TZelMainForm::Add(QMenu* menu, const QString& caption, std::function<void()> action) {
  QAction* a = menu->addAction(caption);
  if (action)
    connect(a, &QAction::triggered, this, std::move(action));
  else
    a->setEnabled(false);
  return a;
}

void TZelMainForm::StoreDepthFields() {
  zelDistMinDP = Value(MinDP1);
  zelDistMinDP_hom = Value(MinDP2);
}

void TZelMainForm::RunFst(bool pairwise) {
  const auto run = pairwise ? scPairwiseFst : scGlobalFst;
  run(Value(MinDP1), Value(MinDP2), Value(MinNObs), Value(MinNPops), Value(MaxNStates),
      LimitFst->isChecked(), SmallSample->isChecked());
  if (!iscZelHasError(false))
    if (auto f = SaveName("Save Fst")) scSaveFst(*f);
}

std::optional<std::string> TZelMainForm::SaveName(const char* caption) {
  return User.AskSaveFileName(caption, "", "");
}

// The plot window itself is opened by the viewer installed above, which scPCoA calls with
// its result; what else follows a PCoA in the window comes here.
void TZelMainForm::OnPCoAFinished() {}

void TZelMainForm::ShowState() {
  const TZelUiState& s = ZelUiState();
  for (int i = 0; i < 6; ++i)
    if (i != 4) Panels[i]->setText(QString::fromStdString(s.Panels[i]));
  Panels[4]->setStyleSheet(
      QString("background-color: rgb(%1,%2,%3)").arg(s.Colour.R).arg(s.Colour.G).arg(s.Colour.B));
  // The state appends a scheme again on every update; the menu shows each scheme once.
  QuickSelect->clear();
  QStringList names;
  for (const std::string& n : s.QuickSelect)
    if (!names.contains(QString::fromStdString(n))) names << QString::fromStdString(n);
  for (const QString& n : names)
    connect(QuickSelect->addAction(n), &QAction::triggered, this,
            [n] { scSelectPopScheme(n.toStdString().c_str()); });
  QuickSelect->setEnabled(!names.isEmpty());
}

void TZelMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

// The whole path of the first dropped file is opened; the others are named as ignored.
void TZelMainForm::dropEvent(QDropEvent* event) {
  if (event->mimeData()->urls().isEmpty()) return;
  event->acceptProposedAction();
  OpenDropped(event->mimeData()->urls());
}

void TZelMainForm::OpenDropped(const QList<QUrl>& urls) {
  if (urls.isEmpty()) return;
  OpenFile(urls.front().toLocalFile().toStdString());
  if (urls.size() > 1)
    iscZelWarning("Only the first dropped file was opened; " + std::to_string(urls.size() - 1) +
                  " other file(s) ignored");
}

void TZelMainForm::OpenFile(const std::string& fileName) {
  iscZelLog("Loading file: " + fileName);
  scUiSetState(1);
  scLoadFileAuto(fileName);
  scUiSetState(0);
}

void TZelMainForm::OnLogLine(const std::string& line) {
  LogPane->appendPlainText(QString::fromStdString(line));
}

void TZelMainForm::OnLogClear() { LogPane->clear(); }
