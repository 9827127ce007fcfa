// Picture file of F_ST along the genome.
#include "ui/plot3d/qtFstPicture.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "core/zelLog.h"
#include "popgen/bioFst.h"
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

TFstGenomeInput FstGenomeInputOf(const TPopParameters& result, size_t k, uint64_t windowSize,
                                 uint64_t windowStep, double threshold) {
  TFstGenomeInput in;
  if (k >= result.PopParameters.size()) return in;
  const TPopParams& pp = result.PopParameters[k];
  std::map<std::string, uint32_t> chrIdx;
  uint64_t longest = 0;
  for (size_t i = 0; i < pp.LocNames.size() && i < pp.Fst.size(); ++i) {
    const std::string& n = pp.LocNames[i];
    const size_t tab = n.find('\t');
    const std::string chr = n.substr(0, tab);
    auto it = chrIdx.find(chr);
    if (it == chrIdx.end()) {
      it = chrIdx.emplace(chr, uint32_t(in.ChrNames.size())).first;
      in.ChrNames.push_back(chr);
    }
    uint64_t pos = 0;
    if (tab != std::string::npos) pos = std::strtoull(n.c_str() + tab + 1, nullptr, 10);
    longest = std::max(longest, pos);
    in.LocChr.push_back(it->second);
    in.LocPos.push_back(pos);
    in.LocValue.push_back(pp.Fst[i]);
  }
  const uint64_t size = windowSize ? windowSize : std::max<uint64_t>(1, (longest + 99) / 100);
  std::vector<TFstWindow> windows;
  FstWindows(pp.LocNames, pp.Parts, size, windowStep ? windowStep : size, windows);
  for (const TFstWindow& w : windows)
    in.Windows.push_back({chrIdx[w.Chr], w.Start, w.End, w.Value});
  in.HasThreshold = true;
  in.Threshold = threshold;
  if (std::isnan(threshold)) {
    std::vector<double> v;
    for (double x : in.LocValue)
      if (std::isfinite(x)) v.push_back(x);
    in.HasThreshold = !v.empty();
    if (in.HasThreshold) {
      const size_t q = size_t(std::floor(0.99 * double(v.size() - 1)));
      std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(q), v.end());
      in.Threshold = v[q];
    }
  }
  in.Title = std::string("F_ST (") + FstEstimatorName(result.Estimator) + ") " + pp.Desc;
  return in;
}

bool PlotFstGenomeFile(const TFstGenomeInput& in, const std::string& fileName, int width,
                       int height) {
  return WithPictureApp([&] { return Save(in, fileName, width, height); });
}
