// Picture file of F_ST along the genome.
#include "ui/plot3d/qtFstPicture.h"

#include <QGuiApplication>
#include <cstdio>

#include "core/zelLog.h"
#include "ui/plot3d/qtPicture.h"

namespace {

bool Save(const TFstGenomeInput& in, const std::string& fileName, int width, int height) {
  std::string err;
  if (!SavePlotPicture(
          fileName, width, height, [&](IPlotCanvas& c) { DrawFstGenome(c, in, width, height); },
          err)) {
    iscZelError("Cannot write file", "U", fileName + ": " + err);
    return false;
  }
  iscZelLog("Saved F_ST plot to file " + fileName);
  return true;
}

}  // namespace

bool PlotFstGenomeFile(const TFstGenomeInput& in, const std::string& fileName, int width,
                       int height) {
  if (QGuiApplication::instance()) return Save(in, fileName, width, height);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Qt's notes about the missing desktop session are no news in a pipeline; real failures are.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::fprintf(stderr, "%s\n", msg.toLocal8Bit().constData());
  });
  static int argc = 1;
  static char name[] = "zelcli";
  static char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  return Save(in, fileName, width, height);
}
