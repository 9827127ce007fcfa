// Pictures of the plot: a PNG or BMP image or an SVG drawing, written through a temporary file;
// and the picture of a PCoA result that zelcli draws without a display.
#pragma once

#include <QByteArray>
#include <QImage>
#include <functional>
#include <string>

#include "ui/plot3d/plotCanvas.h"
#include "ui/plot3d/plotView.h"

using TPlotPainter = std::function<void(IPlotCanvas&)>;

enum class TPictureFormat { Png, Bmp, Svg, Unknown };
// By suffix, any case.
TPictureFormat PictureFormatOf(const std::string& fileName);

// The drawing at width x height, antialiased.
QImage RenderPlotImage(int width, int height, const TPlotPainter& draw);
QByteArray RenderPlotSvg(int width, int height, const TPlotPainter& draw);

// Writes the picture (by the file's suffix) through a temporary file and a rename; false with
// a message in err.
bool SavePlotPicture(const std::string& fileName, int width, int height, const TPlotPainter& draw,
                     std::string& err);
// Runs draw (which writes a picture file) with a QGuiApplication: the running one, or an
// offscreen one made for the call, as zelcli has none.
bool WithPictureApp(const std::function<bool()>& draw);

struct TPictureOptions {
  double RotX = 30, RotY = 30, RotZ = 0;  // degrees
  int Width = 1000, Height = 800;
  size_t MaxLabelled = 50;  // labels only up to this many samples
};

// Draws the PCoA result fitted to the picture, one palette colour and shape per group, with a
// legend; logs "Saved 3D plot to file ..." or an error. Needs a QGuiApplication; PlotPcoaFile
// makes an offscreen one when none exists.
bool SavePcoaPicture(const TPlotInput& in, const std::string& fileName, const TPictureOptions& o);
bool PlotPcoaFile(const TPlotInput& in, const std::string& fileName, const TPictureOptions& o);
