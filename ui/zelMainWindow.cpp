// The main window: every menu entry and button calls a command function, on a worker thread
// so that the window keeps drawing, showing progress and offering Cancel.
#include "ui/zelMainWindow.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <exception>

#include "commands/cmdDist.h"
#include "commands/cmdExport.h"
#include "commands/cmdExt.h"
#include "commands/cmdFst.h"
#include "commands/cmdLoad.h"
#include "commands/cmdPlugins.h"
#include "commands/cmdPop.h"
#include "commands/cmdSelect.h"
#include "commands/cmdSeq.h"
#include "commands/cmdVcf.h"
#include "core/zelCmdTable.h"
#include "core/zelRegistry.h"
#include "core/zelRemote.h"
#include "core/zelStartup.h"
#include "ui/plot3d/qtPlotWindow.h"
#include "ui/zelFstPlotWindow.h"

const std::string zelName =
    "ZEL - population genomics workbench 0.0.0113 /ALPHA/ Win" + std::to_string(sizeof(void*) * 8);

namespace {

TZelMainForm* MainForm = nullptr;
constexpr int kMaxRecentFiles = 8;

QLineEdit* NumberField(const char* text, const char* name, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setValidator(new QIntValidator(0, 1000000000, e));
  e->setAccessibleName(name);
  return e;
}
uint32_t Value(const QLineEdit* e) { return e->text().toUInt(); }

QSettings UserSettings() { return QSettings("zel", "zel"); }

}  // namespace

TZelMainForm::TZelMainForm(IZelUser* dialogs)
    : Dialogs(dialogs ? dialogs : &QtUser), ThreadUser(this, *Dialogs) {
  MainForm = this;
  setWindowTitle(QString::fromStdString(zelName));
  ZelSetUser(&ThreadUser);
  ConfirmStopOnClose = [this] {
    return QMessageBox::question(this, "Close", "A command is still running. Stop it and close?") ==
           QMessageBox::Yes;
  };
  // A successful scPCoA, from a button, the menu or the command box, opens the 3D plot.
  InstallPcoaPlotViewer(this);
  auto* central = new QWidget(this);
  auto* centralLay = new QVBoxLayout(central);
  Tabs = new QTabWidget;
  // The interpreter's one-line box: hidden at start, shown from View.
  CmdBox = new QLineEdit("scListCommands");
  CmdBox->setObjectName("ZelCmdEdit");
  CmdBox->hide();
  connect(CmdBox, &QLineEdit::returnPressed, this, [this] {
    const std::string line = CmdBox->text().toStdString();
    CmdBox->clear();
    RunCommand([line] { (void)ZelRunCmd(line); });
  });
  ProgressBar = new QProgressBar;
  ProgressBar->setRange(0, 1000);
  ProgressBar->hide();
  CancelButton = new QPushButton("Cancel");
  CancelButton->setObjectName("ZelCancel");
  CancelButton->hide();
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelCommand(); });
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(CmdBox, 1);
  bottom->addWidget(ProgressBar);
  bottom->addWidget(CancelButton);
  centralLay->addWidget(Tabs);
  centralLay->addLayout(bottom);
  setCentralWidget(central);
  ProgressTimer = new QTimer(this);
  ProgressTimer->setInterval(100);
  connect(ProgressTimer, &QTimer::timeout, this, [this] {
    const uint64_t total = ThreadUser.TotalUnits();
    if (total == 0) {
      ProgressBar->setRange(0, 0);  // busy, amount unknown
      return;
    }
    ProgressBar->setRange(0, 1000);
    const uint64_t done = std::min(ThreadUser.DoneUnits(), total);
    ProgressBar->setValue(int(double(done) / double(total) * 1000.0));
  });

  auto* logPage = new QWidget;
  auto* logLay = new QVBoxLayout(logPage);
  LogPane = new QPlainTextEdit;
  LogPane->setObjectName("ZelLog");
  LogPane->setReadOnly(true);
  auto* clear = new QPushButton("Clear");
  connect(clear, &QPushButton::clicked, [] { scClearLog(); });
  logLay->addWidget(LogPane);
  logLay->addWidget(clear);
  Tabs->addTab(logPage, "Log");

  auto* varPage = new QWidget;
  auto* form = new QFormLayout(varPage);
  MinDP1 = NumberField("2", "minDP(het/hom)= (first)", varPage);
  MinDP2 = NumberField("10", "minDP(het/hom)= (second)", varPage);
  MaxNStates = NumberField("2", "maxNStates", varPage);
  MinNObs = NumberField("4", "minNObsPerPop", varPage);
  MinNPops = NumberField("4", "@ minNPops", varPage);
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
    if (!FieldsValid({MinDP1, MinDP2})) return;
    zelDistMinDP = Value(MinDP1);
    zelDistMinDP_hom = Value(MinDP2);
    RunCommand([this] {
      scVcfPwUDist();
      if (!iscZelHasError(false))
        if (auto f = SaveName("Save distances")) scSaveDist(*f);
    });
  });
  button("PCoA", [this] { RunCommand([] { scPCoA(); }); });
  button("global Fst", [this] { RunFst(false); });
  button("pw Fst", [this] { RunFst(true); });
  Tabs->addTab(varPage, "Variants");
  Tabs->addTab(new QWidget, "Dev");
  BuildFastaTab();
  BuildSeqToolsTab();
  Tabs->addTab(new QWidget, "Scripts");
  Tabs->setTabVisible(2, false);
  Tabs->setTabVisible(5, false);

  QMenu* file = menuBar()->addMenu("File");
  Add(file, "Open", [this] {
    if (auto f = QtUser.AskOpenFileName("Open", "")) OpenFile(*f);
  });
  Add(file, "Close", [this] { RunCommand([] { scCloseActiveFile(); }); });
  Add(file, "Save VCF selection ...", [this] {
    if (auto f = SaveName("Save VCF selection")) RunCommand([f] { scVcfSaveSelection(*f); });
  });
  QMenu* exp = file->addMenu("Export ...");
  Add(exp, "To Structure ...", [this] { ExportTo("To Structure", 0); });
  Add(exp, "To BayeScan ...", [this] { ExportTo("To BayeScan", 1); });
  Add(exp, "To binary matrix/FAMD", [this] { ExportTo("To binary matrix/FAMD", 2); });
  for (const char* c : {"To Arlequin file....", "To HapMap file...", "To FDist2 ..."})
    Add(exp, c, nullptr);
  Add(file, "Save Log file...", [this] {
    if (auto f = SaveName("Save Log file")) (void)iscZelSaveLog(*f);
  });
  RecentMenu = file->addMenu("Recent files");
  FillRecentMenu();
  Add(file, "Exit", [this] { close(); });

  QMenu* mode = menuBar()->addMenu("Mode");
  ModeLog = Add(mode, "Log", [] { scChangeMode(mLog); });
  ModeLog->setCheckable(true);
  ModeLog->setChecked(true);
  for (const char* c : {"Vcf/Bcf", "Fasta/Fastq", "Sam/Bam", "Gff"}) Add(mode, c, nullptr);

  QMenu* filter = menuBar()->addMenu("Filter");
  // Each entry runs its command on the worker thread.
  auto run = [this](QMenu* menu, const char* caption, auto command) {
    Add(menu, caption, [this, command] { RunCommand([command] { (void)command(); }); });
  };
  run(filter, "Manage individuals", uscShowGrpMan);
  Add(filter, "Rename individuals (TSV)...", [this] {
    if (auto f = QtUser.AskOpenFileName("Rename individuals", ""))
      RunCommand([f] { scRenameVcfSamples(*f); });
  });
  Add(filter, "Manage loci/SNPs", nullptr);
  run(filter, "Reset filters/Select all", scVcfSelectAll);
  run(filter, "Unselect all", scVcfSelectNone);
  run(filter, "Invert selection (logical NOT)", scVcfInvertSelection);
  for (const char* c : {"AND-combine selection with...", "OR-combine selection with...",
                        "Save current selection as ..."})
    Add(filter, c, nullptr);
  QuickSelect = filter->addMenu("Quick select ...");
  QuickSelect->setEnabled(false);
  run(filter, "Select polymorphic variants", scVcfSelectPolymorphic);
  run(filter, "Select Biallelic", scVcfSelectBiallelic);
  run(filter, "Select SNPs", scVcfSelectSNPs);
  run(filter, "Select transitions", scVcfSelectTransitions);
  run(filter, "Select transversions", scVcfSelectTransversions);
  run(filter, "Select InDels", scVcfSelectInDels);
  run(filter, "Select variants with ALT allele present", scVcfSelectWithAltAllele);
  run(filter, "Select contigs...", iscShowVcfVarSelection);
  run(filter, "Select variant range", iscShowVcfVarRangeSelection);
  run(filter, "Select by INFO tag", uscVcfSelectByInfo);
  run(filter, "Select by SAMPLE/FORMAT tag", uscVcfSelectBySampleTag);
  run(filter, "Select by Fst/Value...", uscShowFstSelection);
  Add(filter, "Select Features...", nullptr);
  Add(filter, "More Selections...", nullptr);

  QMenu* stats = menuBar()->addMenu("Stats");
  run(stats, "List samples", scVcfListSampleNames);
  run(stats, "Missing GT calls per sample", scVcfListMissingDataPerSample);
  run(stats, "Get SNP transition matrix", scVcfGetSnpTransitionMatrix);
  Add(menuBar()->addMenu("Ind"), "Pairwise unphased SNP distance",
      [this] { RunCommand([] { scVcfPwUDist(); }); });
  QMenu* pop = menuBar()->addMenu("Pop");
  Add(pop, "Global Fst", [this] { RunFst(false); });
  Add(pop, "Pairwise Fst", [this] { RunFst(true); });
  QMenu* dist = menuBar()->addMenu("Dist");
  Add(dist, "PCoA", [this] { RunCommand([] { scPCoA(); }); });
  Add(dist, "UPGMA", [this] {
    if (auto f = SaveName("UPGMA")) RunCommand([f] { scUPGMA(*f); });
  });
  menuBar()->addMenu("Loc")->setEnabled(false);
  Add(menuBar()->addMenu("Plot"), "F_ST along the genome", [this] { ShowFstGenomePlot(this); });
  menuBar()->addMenu("Options")->setEnabled(false);
  QMenu* view = menuBar()->addMenu("View");
  Add(view, "Log", [] { scChangeMode(mLog); });
  Add(view, "Command box", [this] { CmdBox->setVisible(true); });
  QMenu* ext = menuBar()->addMenu("Extensions");
  run(ext, "List Plugins", scListPlugins);
  run(ext, "Run R Script...", uscRunRScript);
  run(ext, "Run WSL Bash Command...", uscRunBashFile);
  Add(menuBar()->addMenu("Help"), "About", [] { scAbout(); });

  static const int widths[6] = {210, 70, 150, 100, 10, 60};
  for (int i = 0; i < 6; ++i) {
    Panels[i] = new QLabel;
    Panels[i]->setMinimumWidth(widths[i]);
    // The file name panel takes the room left over: the shortened name is sized for the
    // widths above in the old face, and the desktop's font is wider.
    statusBar()->addWidget(Panels[i], i == 0 ? 1 : 0);
  }
  // The last error of a command, so that a user who is not watching the log sees it.
  ErrorLabel = new QLabel;
  ErrorLabel->setObjectName("ZelLastError");
  ErrorLabel->setStyleSheet("color: rgb(170,0,0)");
  statusBar()->addPermanentWidget(ErrorLabel);
  // State changes may come from the worker thread: the panels are updated from a copy, on
  // the interface thread.
  ZelUiSetObserver([this](const TZelUiState& s) {
    QMetaObject::invokeMethod(
        this, [this, s] { ShowState(s); }, Qt::AutoConnection);
  });
  // Requests posted by other programs or threads run as commands of their own, after the one
  // running now.
  ZelSetRemoteCmdNotify([this] {
    QMetaObject::invokeMethod(
        this, [this] { RunRemoteCmds(); }, Qt::QueuedConnection);
  });
  ShowState(ZelUiState());
  for (const std::string& l : ZelLogLines()) LogPane->appendPlainText(QString::fromStdString(l));
  ZelLogAddSink(this);
  setAcceptDrops(true);
  restoreGeometry(UserSettings().value("window/geometry").toByteArray());
}

TZelMainForm::~TZelMainForm() {
  if (Worker) {
    ThreadUser.RequestCancel();
    Worker->wait();
    delete Worker;
    Worker = nullptr;
  }
  ZelSetRemoteCmdNotify(nullptr);
  ZelLogRemoveSink(this);
  ZelUiSetObserver(nullptr);
  ZelSetUser(nullptr);
  iscSetPCoAViewer(nullptr);
  if (MainForm == this) MainForm = nullptr;
}

QAction* TZelMainForm::Add(QMenu* menu, const QString& caption, std::function<void()> action) {
  QAction* a = menu->addAction(caption);
  if (action)
    connect(a, &QAction::triggered, this, std::move(action));
  else
    a->setEnabled(false);
  return a;
}

void TZelMainForm::RunCommand(std::function<void()> work, std::function<void()> after) {
  if (Worker) return;  // the actions are disabled while one runs
  ThreadUser.Reset();
  ErrorLabel->clear();
  SetBusy(true);
  Worker = QThread::create([work = std::move(work)] {
    // The interface thread keeps its share of a busy processor: this thread, and the threads
    // the command starts (which inherit it), yield to it. Alone on the machine they run as fast.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
    try {
      work();
    } catch (const std::bad_alloc&) {
      iscZelError("Not enough memory for this command", "U");
    } catch (const std::exception& e) {
      iscZelError(std::string("The command stopped: ") + e.what(), "U");
    }
  });
  connect(Worker, &QThread::finished, this, [this, after = std::move(after)] {
    Worker->deleteLater();
    Worker = nullptr;
    SetBusy(false);
    if (after) after();
    RunRemoteCmds();
  });
  Worker->start();
}

void TZelMainForm::RunRemoteCmds() {
  if (!Worker && ZelPendingRemoteCmds() > 0) RunCommand([] { (void)ZelDrainRemoteCmds(); });
}

void TZelMainForm::CancelCommand() {
  if (!Worker) return;
  ThreadUser.RequestCancel();
  CancelButton->setEnabled(false);
}

void TZelMainForm::WaitForCommand() {
  while (Worker) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void TZelMainForm::SetBusy(bool busy) {
  menuBar()->setEnabled(!busy);
  for (int i = 1; i < Tabs->count(); ++i) Tabs->widget(i)->setEnabled(!busy);
  CmdBox->setEnabled(!busy);
  setAcceptDrops(!busy);
  ProgressBar->setVisible(busy);
  ProgressBar->setRange(0, 0);
  CancelButton->setVisible(busy);
  CancelButton->setEnabled(busy);
  if (busy)
    ProgressTimer->start();
  else
    ProgressTimer->stop();
}

bool TZelMainForm::FieldsValid(std::initializer_list<QLineEdit*> fields) {
  for (QLineEdit* e : fields) {
    if (e->hasAcceptableInput()) continue;
    iscZelHasError(true);
    iscZelError(
        "The field \"" + e->accessibleName().toStdString() + "\" needs a whole number of 0 or more",
        "U", e->text().toStdString());
    return false;
  }
  return true;
}

void TZelMainForm::RunFst(bool pairwise) {
  if (!FieldsValid({MinDP1, MinDP2, MinNObs, MaxNStates, MinNPops})) return;
  const auto command = pairwise ? scPairwiseFst : scGlobalFst;
  // Read in the order of the old face, passed in the commands' order.
  const uint32_t dp1 = Value(MinDP1), dp2 = Value(MinDP2), nObs = Value(MinNObs),
                 nStates = Value(MaxNStates), nPops = Value(MinNPops);
  const bool limit = LimitFst->isChecked(), small = SmallSample->isChecked();
  RunCommand([=, this] {
    command(dp1, dp2, nObs, nPops, nStates, limit, small);
    if (!iscZelHasError(false))
      if (auto f = SaveName("Save Fst")) scSaveFst(*f);
  });
}

// The file is asked first; a cancelled dialog leaves the stored depth values as they were.
void TZelMainForm::ExportTo(const char* caption, int kind) {
  const auto f = SaveName(caption);
  if (!f || !FieldsValid({MinDP1, MinDP2})) return;
  zelDistMinDP = Value(MinDP1);
  zelDistMinDP_hom = Value(MinDP2);
  const uint32_t dp = zelDistMinDP, dpHom = zelDistMinDP_hom;
  RunCommand([kind, f, dp, dpHom] {
    if (kind == 0)
      scVcfExport2Structure(*f, dpHom, dp);
    else if (kind == 1)
      scVcfExport2Bayescan(*f, dpHom, dp);
    else
      scVcfExport2FAMD(*f, dp);
  });
}

// From the interface thread the window's dialogs answer; from the worker, ThreadUser hands
// the question over to them.
std::optional<std::string> TZelMainForm::SaveName(const char* caption) {
  return ThreadUser.AskSaveFileName(caption, "", "");
}

void TZelMainForm::BuildFastaTab() {
  auto* page = new QWidget;
  auto* lay = new QVBoxLayout(page);
  lay->addWidget(new QLabel("Selection"));
  FastaList = new QPlainTextEdit;
  FastaList->setObjectName("Memo1");
  lay->addWidget(FastaList);
  auto* buttons = new QHBoxLayout;
  auto* list = new QPushButton("List Seq Names");
  auto* grab = new QPushButton("Grab Listed Seqs");
  auto* clear = new QPushButton("Clear");
  buttons->addWidget(list);
  buttons->addWidget(grab);
  buttons->addWidget(clear);
  lay->addLayout(buttons);
  connect(list, &QPushButton::clicked, this, [this] {
    auto names = std::make_shared<QStringList>();
    RunCommand(
        [names] {
          (void)iscListFastaSeq(
              [&](const std::string& n) { names->append(QString::fromStdString(n)); });
        },
        [this, names] {
          for (const QString& n : *names) FastaList->appendPlainText(n);
        });
  });
  connect(grab, &QPushButton::clicked, this, [this] {
    std::vector<std::string> lines;
    for (const QString& l : FastaList->toPlainText().split('\n'))
      if (!l.isEmpty()) lines.push_back(l.toStdString());
    if (lines.empty()) return;
    if (auto f = SaveName("Grab Listed Seqs"))
      RunCommand([lines, f] { (void)iscGrabSelFasta2File(lines, *f); });
  });
  connect(clear, &QPushButton::clicked, FastaList, &QPlainTextEdit::clear);
  Tabs->addTab(page, "Fasta");
}

void TZelMainForm::BuildSeqToolsTab() {
  auto* page = new QWidget;
  auto* lay = new QVBoxLayout(page);
  SeqField = new QLineEdit;
  SeqField->setObjectName("SeqEdit");
  lay->addWidget(SeqField);
  auto* info = new QHBoxLayout;
  MarkerLabel = new QLabel(QString::fromStdString(SeqTools.Marker));
  MarkerLabel->setObjectName("MarkerLabel");
  LengthLabel = new QLabel("0");
  LengthLabel->setObjectName("LengthLabel");
  SpacingLabel = new QLabel("0");
  SpacingLabel->setObjectName("SpacingLabel");
  info->addWidget(MarkerLabel);
  info->addWidget(new QLabel("length:"));
  info->addWidget(LengthLabel);
  info->addWidget(new QLabel("spacing:"));
  info->addWidget(SpacingLabel);
  info->addStretch(1);
  lay->addLayout(info);
  connect(SeqField, &QLineEdit::textChanged, this, [this](const QString& t) {
    LengthLabel->setText(QString::number(TZelSeqTools::Length(t.toStdString())));
  });
  auto* grid = new QGridLayout;
  int n = 0;
  auto button = [&](const char* caption, std::function<void()> f) {
    auto* b = new QPushButton(caption);
    connect(b, &QPushButton::clicked, this, std::move(f));
    grid->addWidget(b, n / 5, n % 5);
    ++n;
  };
  button("+", [this] {
    SeqTools.Wider();
    SpacingLabel->setText(QString::number(SeqTools.Spacing));
    ShowSeqField(SeqTools.Spaced(SeqField->text().toStdString()));
  });
  button("-", [this] {
    SeqTools.Narrower();
    SpacingLabel->setText(QString::number(SeqTools.Spacing));
    ShowSeqField(SeqTools.Spaced(SeqField->text().toStdString()));
  });
  button("Reverse", [this] { SeqOp(TSeqToolOp::Reverse); });
  button("Complement", [this] { SeqOp(TSeqToolOp::Complement); });
  button("Reverse Complement", [this] { SeqOp(TSeqToolOp::ReverseComplement); });
  button("Translate", [this] { SeqOp(TSeqToolOp::Translate); });
  button("Rev.Translate", [this] { SeqOp(TSeqToolOp::RevTranslate); });
  button("Tm", [this] {
    const std::string s = TZelSeqTools::WithoutSpaces(SeqField->text().toStdString());
    ShowSeqField(SeqTools.Spaced(s));
    scCalcTm(s);
    Tabs->setCurrentIndex(0);
  });
  button("->Clipboard", [this] { QApplication::clipboard()->setText(SeqField->text()); });
  lay->addLayout(grid);
  lay->addStretch(1);
  Tabs->addTab(page, "SeqTools");
}

void TZelMainForm::SeqOp(TSeqToolOp op) {
  ShowSeqField(SeqTools.Apply(op, SeqField->text().toStdString()));
  MarkerLabel->setText(QString::fromStdString(SeqTools.Marker));
}

void TZelMainForm::ShowSeqField(const std::string& text) {
  SeqField->setText(QString::fromStdString(text));
}

void TZelMainForm::ShowState(const TZelUiState& s) {
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
    connect(QuickSelect->addAction(n), &QAction::triggered, this, [this, n] {
      const std::string scheme = n.toStdString();
      RunCommand([scheme] { scSelectPopScheme(scheme.c_str()); });
    });
  QuickSelect->setEnabled(!names.isEmpty());
}

void TZelMainForm::ChangeMode(TZelUserMode mode) {
  if (mode != mLog) return;
  Tabs->setCurrentIndex(0);
  ModeLog->setEnabled(true);
  ModeLog->setChecked(true);
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
  if (urls.isEmpty() || Worker) return;
  if (urls.size() > 1)
    iscZelWarning("Only the first dropped file is opened; " + std::to_string(urls.size() - 1) +
                  " other file(s) ignored");
  OpenFile(urls.front().toLocalFile().toStdString());
}

void TZelMainForm::OpenFile(const std::string& fileName) {
  RunCommand(
      [fileName] {
        iscZelHasError(true);
        iscZelLog("Loading file: " + fileName);
        scUiSetState(1);
        scLoadFileAuto(fileName);
        scUiSetState(0);
      },
      [this, fileName] {
        if (!iscZelHasError(false)) AddRecentFile(QString::fromStdString(fileName));
      });
}

QStringList TZelMainForm::RecentFiles() const {
  return UserSettings().value("recent/files").toStringList();
}

void TZelMainForm::AddRecentFile(const QString& fileName) {
  const QString path = QFileInfo(fileName).absoluteFilePath();
  QStringList files = RecentFiles();
  files.removeAll(path);
  files.prepend(path);
  while (files.size() > kMaxRecentFiles) files.removeLast();
  UserSettings().setValue("recent/files", files);
  FillRecentMenu();
}

void TZelMainForm::FillRecentMenu() {
  RecentMenu->clear();
  const QStringList files = RecentFiles();
  for (const QString& f : files)
    connect(RecentMenu->addAction(f), &QAction::triggered, this,
            [this, f] { OpenFile(f.toStdString()); });
  RecentMenu->setEnabled(!files.isEmpty());
}

void TZelMainForm::closeEvent(QCloseEvent* event) {
  if (Worker) {
    if (!ConfirmStopOnClose()) {
      event->ignore();
      return;
    }
    CancelCommand();
    // Nothing is freed while the work may still point into it.
    WaitForCommand();
  }
  UserSettings().setValue("window/geometry", saveGeometry());
  scExit();
  event->accept();
}

void TZelMainForm::OnLogLine(const std::string& line) {
  const QString text = QString::fromStdString(line);
  // Lines may be written on the worker thread: the pane is filled on the interface thread.
  QMetaObject::invokeMethod(
      this,
      [this, text] {
        LogPane->appendPlainText(text);
        if (text.startsWith("ERROR")) ErrorLabel->setText(text);
      },
      Qt::AutoConnection);
}

void TZelMainForm::OnLogClear() {
  QMetaObject::invokeMethod(
      this, [this] { LogPane->clear(); }, Qt::AutoConnection);
}

QMessageBox* MakeZelAboutBox(QWidget* parent) {
  auto* box = new QMessageBox(QMessageBox::Information, "About",
                              "ZEL 0.0.0113\r\n"
                              "A workbench for population genomics.\r\n"
                              "\r\n"
                              "** Legal Disclaimer: **\r\n"
                              "This software is provided as is, without warranty of any kind, "
                              "including the warranties of merchantability and fitness for a "
                              "particular purpose. The authors are not liable for any damages "
                              "arising from its use; you bear all risk of using it.",
                              QMessageBox::Ok, parent);
  return box;
}

void scAbout() {
  QMessageBox* box = MakeZelAboutBox(MainForm);
  box->exec();
  delete box;
}

void scChangeMode(TZelUserMode zelMode) {
  if (MainForm) MainForm->ChangeMode(zelMode);
}
