// zel: the desktop front end; one file on the command line is opened at start.
#include <QApplication>

#include "commands/cmdLoad.h"
#include "commands/cmdTable.h"
#include "ui/zelMainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  RegisterZelCommands();
  TZelMainForm form;
  form.show();
  if (argc == 2) scLoadFileAuto(argv[1]);
  return app.exec();
}
