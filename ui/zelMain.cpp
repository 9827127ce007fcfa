// zel: the desktop front end. Start-up in the order the headless core expects, the window,
// the welcome lines, then one existing file on the command line is opened; any other
// command line is only echoed.
#include <QApplication>
#include <QFileInfo>
#include <cstdio>

#include "commands/cmdTable.h"
#include "core/zelLog.h"
#include "core/zelStartup.h"
#include "ui/zelMainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  RegisterZelCommands();
  if (TZelErr e = iscZelInit()) {
    std::fprintf(stderr, "%s\n", ZelFormatError(e.Msg, e.Sender, e.Details).c_str());
    return 1;
  }
  // scExit may run on the worker thread (typed into the command box): the loop ends on its own.
  ZelSetTerminateHandler(
      [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); });
  TZelMainForm form;
  form.show();
  iscZelLog("Welcome to " + zelName + ".");
  iscZelLog("Please report any problems you find.");
  if (argc == 2 && QFileInfo(QString::fromLocal8Bit(argv[1])).isFile())
    form.OpenFile(argv[1]);
  else if (argc >= 2)
    RunZelCmdLine(argc, argv, stdout);
  const int status = app.exec();
  form.WaitForCommand();
  scExit();
  return status;
}
