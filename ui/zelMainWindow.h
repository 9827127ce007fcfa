// The main window: menus, tabs, the log pane (one more log sink) and the status panels.
#pragma once

#include <QMainWindow>
#include <QUrl>
#include <functional>

#include "core/zelLog.h"
#include "ui/zelQtUser.h"

class QPlainTextEdit;
class QLineEdit;
class QCheckBox;
class QLabel;
class QTabWidget;

class TZelMainForm : public QMainWindow, public IZelLogSink {
  Q_OBJECT
 public:
  TZelMainForm();
  ~TZelMainForm() override;
  void OnLogLine(const std::string& line) override;
  void OnLogClear() override;
  // Where the 3D plot window will open once a PCoA has ended without error.
  void OnPCoAFinished();
  // Logs, shows Busy, loads with the file-kind detection of the commands, shows Idle.
  void OpenFile(const std::string& fileName);
  // What a drop does: the first file opened, the others named as ignored.
  void OpenDropped(const QList<QUrl>& urls);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QAction* Add(QMenu* menu, const QString& caption, std::function<void()> action);
  void StoreDepthFields();
  void RunFst(bool pairwise);
  std::optional<std::string> SaveName(const char* caption);
  void ShowState();

  TZelQtUser User{this};
  QTabWidget* Tabs = nullptr;
  QPlainTextEdit* LogPane = nullptr;
  QLineEdit* MinDP1 = nullptr;
  QLineEdit* MinDP2 = nullptr;
  QLineEdit* MaxNStates = nullptr;
  QLineEdit* MinNObs = nullptr;
  QLineEdit* MinNPops = nullptr;
  QCheckBox* LimitFst = nullptr;
  QCheckBox* SmallSample = nullptr;
  QLabel* Panels[6] = {};
  QMenu* QuickSelect = nullptr;
};
