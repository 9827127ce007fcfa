// The picture file of F_ST along the genome (PNG, BMP or SVG by the suffix), drawn without a
// display for zelcli.
#pragma once

#include <string>

#include "ui/plot3d/fstGenomePlot.h"

// Logs "Saved F_ST plot to file ..." or an error; makes an offscreen QGuiApplication when none
// exists.
bool PlotFstGenomeFile(const TFstGenomeInput& in, const std::string& fileName, int width,
                       int height);
