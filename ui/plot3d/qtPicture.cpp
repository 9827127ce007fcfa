// Picture files of the plot and zelcli's picture of a PCoA result.
#include "ui/plot3d/qtPicture.h"

#include <unistd.h>

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/zelLog.h"
#include "fileaccess/korFileIO.h"
#include "ui/plot3d/qtCanvas.h"

namespace {

bool WriteAll(int fd, const QByteArray& bytes) {
  const char* p = bytes.constData();
  size_t left = size_t(bytes.size());
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) return false;
    p += n;
    left -= size_t(n);
  }
  return true;
}

}  // namespace

TPictureFormat PictureFormatOf(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || fileName.find('/', dot) != std::string::npos)
    return TPictureFormat::Unknown;
  std::string s = fileName.substr(dot + 1);
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (s == "png") return TPictureFormat::Png;
  if (s == "bmp") return TPictureFormat::Bmp;
  if (s == "svg") return TPictureFormat::Svg;
  return TPictureFormat::Unknown;
}

QImage RenderPlotImage(int width, int height, const TPlotPainter& draw) {
  QImage img(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  TQtPlotCanvas c(p);
  draw(c);
  p.end();
  return img;
}

QByteArray RenderPlotSvg(int width, int height, const TPlotPainter& draw) {
  QByteArray bytes;
  QBuffer buf(&bytes);
  buf.open(QIODevice::WriteOnly);
  QSvgGenerator gen;
  gen.setOutputDevice(&buf);
  gen.setSize(QSize(width, height));
  gen.setViewBox(QRect(0, 0, width, height));
  gen.setTitle("ZEL 3D plot");
  QPainter p(&gen);
  p.setRenderHint(QPainter::Antialiasing, true);
  TQtPlotCanvas c(p);
  draw(c);
  p.end();
  return bytes;
}

bool SavePlotPicture(const std::string& fileName, int width, int height, const TPlotPainter& draw,
                     std::string& err) {
  const TPictureFormat f = PictureFormatOf(fileName);
  QByteArray bytes;
  if (f == TPictureFormat::Svg) {
    bytes = RenderPlotSvg(width, height, draw);
  } else if (f == TPictureFormat::Png || f == TPictureFormat::Bmp) {
    const QImage img = RenderPlotImage(width, height, draw);
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    if (!img.save(&buf, f == TPictureFormat::Png ? "PNG" : "BMP")) {
      err = "cannot encode the image";
      return false;
    }
  } else {
    err = "the name must end in .png, .bmp or .svg";
    return false;
  }
  TFileOut out(fileName);
  if (out.Fd() < 0) {
    err = FioErrorText(out.Err());
    return false;
  }
  if (!WriteAll(out.Fd(), bytes)) {
    err = FioErrorText(errno);
    return false;
  }
  if (const int e = out.Commit()) {
    err = FioErrorText(e);
    return false;
  }
  return true;
}

bool SavePcoaPicture(const TPlotInput& in, const std::string& fileName, const TPictureOptions& o) {
  if (in.Names.empty()) {
    iscZelError("PCoA View Error: no OTU names", "3D Plot");
    return false;
  }
  if (in.nAxes < 3) {
    iscZelUserError("PCoA View Error: less than 3 dimensions");
    return false;
  }
  std::vector<t3dsymbol> syms = SymbolsOfInput(in);
  const std::vector<int32_t> group = GroupsOfLabels(in.Names, in.GroupMembers);
  std::vector<std::string> legendNames = in.GroupNames;
  std::vector<TGroupLook> looks;
  for (size_t g = 0; g < in.GroupNames.size(); ++g) looks.push_back(PictureLook(g));
  bool unassigned = false;
  const bool labels = syms.size() <= o.MaxLabelled;
  for (size_t i = 0; i < syms.size(); ++i) {
    const TGroupLook l = group[i] >= 0 ? looks[size_t(group[i])] : TGroupLook{shCircle, 0};
    unassigned |= group[i] < 0 && !in.GroupNames.empty();
    syms[i].sym = l.shape;
    syms[i].col1 = l.col;
    syms[i].size = 4;
    syms[i].plottext = labels ? 1 : 0;
  }
  if (unassigned) {
    legendNames.push_back("NA");
    looks.push_back(TGroupLook{shCircle, 0});
  }
  const std::vector<double> share = AxisShares(in.Eigenvalues, in.nAxes);
  const std::string caption = "X: " + AxisCaption(1, share[0]) +
                              "   Y: " + AxisCaption(2, share[1]) +
                              "   Z: " + AxisCaption(3, share[2]);
  const int w = o.Width, h = o.Height;
  const int legendW = legendNames.empty() ? 0 : std::min(220, w / 4);
  auto draw = [&](IPlotCanvas& c) {
    tplot3d p3d;
    p3d.init(w, h);
    InitP3D(p3d, syms);
    p3d.TxtOfsX = 1;
    p3d.SetRotation(o.RotX, o.RotY, o.RotZ);
    FitToRect(p3d, 10, 10, w - legendW - 10, h - 30);
    p3d.ClearGraph(c);
    p3d.ScatterPlot3D(c);
    DrawLegend(c, legendNames, looks, w - legendW + 4, 12, 18, 0);
    c.SetTextColour(0);
    c.Text(8, h - 22, caption, 0);
  };
  std::string err;
  if (!SavePlotPicture(fileName, w, h, draw, err)) {
    iscZelError("Cannot write file", "U", fileName + ": " + err);
    return false;
  }
  iscZelLog("Saved 3D plot to file " + fileName);
  return true;
}

bool WithPictureApp(const std::function<bool()>& draw) {
  if (QGuiApplication::instance()) return draw();
  // No display is needed (or wanted) for a picture file.
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
  return draw();
}

bool PlotPcoaFile(const TPlotInput& in, const std::string& fileName, const TPictureOptions& o) {
  return WithPictureApp([&] { return SavePcoaPicture(in, fileName, o); });
}
