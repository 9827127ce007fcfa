// F_ST along the genome from a registered result, and its picture file (PNG, BMP or SVG by the
// suffix), drawn without a display for zelcli.
#pragma once

#include <string>

#include "ui/plot3d/fstGenomePlot.h"

class TPopParameters;

// Data set k of an F_ST result as plot input: its per-locus values, windows of windowSize bases
// moved by windowStep (0: a hundredth of the longest chromosome; step 0: the size) from the
// kept numerators and denominators, and the threshold (NaN: the 99th percentile of the
// values). The title names the estimator and the data set.
TFstGenomeInput FstGenomeInputOf(const TPopParameters& result, size_t k, uint64_t windowSize,
                                 uint64_t windowStep, double threshold);

// Logs "Saved F_ST plot to file ..." or an error; makes an offscreen QGuiApplication when none
// exists.
bool PlotFstGenomeFile(const TFstGenomeInput& in, const std::string& fileName, int width,
                       int height);
