// The main window: menus, tabs, the log pane (one more log sink), the status panels, and the
// worker thread on which commands run while the window stays responsive.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <functional>
#include <string>

#include "core/zelLog.h"
#include "core/zelUiState.h"
#include "ui/zelQtUser.h"
#include "ui/zelSeqTools.h"
#include "ui/zelThreadUser.h"

class QPlainTextEdit;
class QLineEdit;
class QCheckBox;
class QLabel;
class QTabWidget;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;
class QMessageBox;

// The working modes of the "Mode" menu; only the log mode does anything.
enum TZelUserMode : uint8_t {
  mLog = 0,
  mVcf = 1,
  mFaq = 2,
  mSam = 3,
  mAln = 4,
  mGff = 5,
  mDst = 6
};

// The window's caption, also named in the welcome line.
extern const std::string zelName;

class TZelMainForm : public QMainWindow, public IZelLogSink {
  Q_OBJECT
 public:
  // dialogs: who answers the commands' questions; null: the window's own Qt dialogs.
  explicit TZelMainForm(IZelUser* dialogs = nullptr);
  ~TZelMainForm() override;
  void OnLogLine(const std::string& line) override;
  void OnLogClear() override;
  // Logs, shows Busy, loads with the file-kind detection of the commands, shows Idle; the
  // file joins the recent files when it loaded.
  void OpenFile(const std::string& fileName);
  // What a drop does: the first file opened, the others named as ignored.
  void OpenDropped(const QList<QUrl>& urls);

  // Runs work (command functions) off the interface thread; while it runs, everything that
  // would start another command is disabled and the progress bar with Cancel is shown.
  // after, if given, runs on the interface thread once the work has ended.
  void RunCommand(std::function<void()> work, std::function<void()> after = {});
  bool CommandRunning() const { return Worker != nullptr; }
  // Asks the running command to stop; it ends with the user error "Cancelled".
  void CancelCommand();
  // Processes events until no command runs (tests, shutdown).
  void WaitForCommand();
  // Asked when the window is closed while a command runs: true stops it and closes.
  std::function<bool()> ConfirmStopOnClose;

  void ChangeMode(TZelUserMode mode);
  QStringList RecentFiles() const;

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* Add(QMenu* menu, const QString& caption, std::function<void()> action);
  // Reads the "Variants" numeric fields; an empty or invalid one is a user error naming it.
  bool FieldsValid(std::initializer_list<QLineEdit*> fields);
  void RunFst(bool pairwise);
  void ExportTo(const char* caption, int kind);
  void BuildFastaTab();
  void BuildSeqToolsTab();
  void SeqOp(TSeqToolOp op);
  void ShowSeqField(const std::string& text);
  std::optional<std::string> SaveName(const char* caption);
  void ShowState(const TZelUiState& s);
  void SetBusy(bool busy);
  void RunRemoteCmds();
  void AddRecentFile(const QString& fileName);
  void FillRecentMenu();

  TZelQtUser QtUser{this};
  IZelUser* Dialogs;
  TZelThreadUser ThreadUser;
  QThread* Worker = nullptr;
  QTimer* ProgressTimer = nullptr;
  QTabWidget* Tabs = nullptr;
  QPlainTextEdit* LogPane = nullptr;
  QLineEdit* CmdBox = nullptr;
  QProgressBar* ProgressBar = nullptr;
  QPushButton* CancelButton = nullptr;
  QLineEdit* MinDP1 = nullptr;
  QLineEdit* MinDP2 = nullptr;
  QLineEdit* MaxNStates = nullptr;
  QLineEdit* MinNObs = nullptr;
  QLineEdit* MinNPops = nullptr;
  QCheckBox* LimitFst = nullptr;
  QCheckBox* SmallSample = nullptr;
  QPlainTextEdit* FastaList = nullptr;
  QLineEdit* SeqField = nullptr;
  QLabel* SpacingLabel = nullptr;
  QLabel* LengthLabel = nullptr;
  QLabel* MarkerLabel = nullptr;
  TZelSeqTools SeqTools;
  QLabel* Panels[6] = {};
  QLabel* ErrorLabel = nullptr;
  QMenu* QuickSelect = nullptr;
  QMenu* RecentMenu = nullptr;
  QAction* ModeLog = nullptr;
};

// The About box (shown modally by scAbout).
QMessageBox* MakeZelAboutBox(QWidget* parent);
void scAbout();
void scChangeMode(TZelUserMode zelMode);
