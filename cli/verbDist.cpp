// zelcli dist, pcoa and upgma: the pairwise SNP distance of a VCF file written as a matrix
// file, and the PCoA tables and UPGMA tree of such a matrix (computed from a VCF file or read
// back from a matrix file).
#include <memory>
#include <string>

#include "cli/cliSession.h"
#include "cli/cliVerb.h"
#include "cli/filterOptions.h"
#include "cli/popOptions.h"
#include "commands/cmdDist.h"
#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#ifdef ZEL_HAVE_PLOT
#include <cstdio>

#include "popgen/pcoa.h"
#include "ui/plot3d/qtPicture.h"
#include "ui/plot3d/qtPlotWindow.h"
#endif

namespace {

// The input side every distance verb shares: a VCF file with depth thresholds and filters,
// or (pcoa, upgma) a matrix file.
struct TDistInput {
  std::string File;
  std::string Matrix;
  uint32_t MinDp = 2;
  uint32_t MinDpHom = 10;
  std::shared_ptr<TFilterCliOptions> Filters;
};

void AddDistInput(CLI::App& sub, TDistInput& in, bool matrixToo) {
  CLI::Option* file = sub.add_option("FILE", in.File, "VCF file (plain, gzip or BGZF)");
  CLI::Option* dp =
      sub.add_option("--min-dp", in.MinDp,
                     "Calls below this depth (DP) are missing; an absent or unreadable DP counts "
                     "as 0; 0 turns masking off")
          ->capture_default_str();
  CLI::Option* dpHom =
      sub.add_option("--min-dp-hom", in.MinDpHom,
                     "Homozygous calls below this depth keep only one allele (which scores as "
                     "the homozygous call)")
          ->capture_default_str();
  in.Filters = AddFilterOptions(sub);
  if (!matrixToo) {
    file->required();
    return;
  }
  CLI::Option* matrix =
      sub.add_option("--matrix", in.Matrix, "Distance matrix file written by zelcli dist")
          ->type_name("MATRIX");
  matrix->excludes(file)->excludes(dp)->excludes(dpHom);
  file->excludes(matrix);
  sub.callback([file, matrix]() {
    if (file->count() == 0 && matrix->count() == 0) throw CLI::RequiredError("FILE or --matrix");
  });
}

// Makes the matrix the most recent one: computed from the VCF file, or read back.
bool LoadDistInput(const TDistInput& in) {
  if (!in.Matrix.empty()) return iscLoadDistMatrix(in.Matrix);
  if (!scLoadVcfFile(in.File)) return false;
  if (!ApplyFilterOptions(*in.Filters)) return false;
  zelDistMinDP = in.MinDp;
  zelDistMinDP_hom = in.MinDpHom;
  return scVcfPwUDist();
}

const TCliVerbRegistrar distVerb(TCliVerb{
    "dist",
    "Pairwise SNP distance (1 - IBS, missing data ignored) between all samples of a VCF file, "
    "written as a lower-triangle matrix",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto in = std::make_shared<TDistInput>();
      auto out = std::make_shared<std::string>();
      AddDistInput(sub, *in, false);
      sub.add_option("--out", *out, "Matrix file to write")->required()->type_name("MATRIX");
      return [in, out]() {
        if (!LoadDistInput(*in)) return 1;
        return scSaveDist(*out) ? 0 : 1;
      };
    }});

#ifdef ZEL_HAVE_PLOT
// The picture options of pcoa: the file, the rotation in degrees and the size in pixels.
struct TPlotCliOptions {
  std::string File;
  std::string Rotate = "30,30,0";
  std::string Size = "1000x800";
  TPictureOptions Opt;
};

void AddPlotOptions(CLI::App& sub, TPlotCliOptions& p) {
  sub.add_option("--plot", p.File, "Also draw the 3D plot of the first three axes to this file")
      ->type_name("FILE.(png|svg|bmp)")
      ->check([](const std::string& f) {
        return PictureFormatOf(f) == TPictureFormat::Unknown
                   ? std::string("the picture name must end in .png, .svg or .bmp")
                   : std::string();
      });
  sub.add_option("--rotate", p.Rotate, "Rotation of the plot about X, Y and Z in degrees")
      ->type_name("RX,RY,RZ")
      ->capture_default_str()
      ->check([&p](const std::string& s) {
        double a[3];
        char tail = 0;
        if (std::sscanf(s.c_str(), "%lf,%lf,%lf%c", &a[0], &a[1], &a[2], &tail) != 3)
          return std::string("expected three numbers RX,RY,RZ");
        for (double v : a)
          if (!(v > -1e6 && v < 1e6)) return std::string("angles must lie within +-1e6 degrees");
        p.Opt.RotX = a[0], p.Opt.RotY = a[1], p.Opt.RotZ = a[2];
        return std::string();
      });
  sub.add_option("--size", p.Size, "Picture size in pixels")
      ->type_name("WxH")
      ->capture_default_str()
      ->check([&p](const std::string& s) {
        int w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(s.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 100 || h < 100 ||
            w > 16000 || h > 16000)
          return std::string("expected WxH, each from 100 to 16000");
        p.Opt.Width = w, p.Opt.Height = h;
        return std::string();
      });
}
#endif

const TCliVerbRegistrar pcoaVerb(TCliVerb{
    "pcoa",
    "Principal coordinates of the pairwise distances: PREFIX.coords.tsv and "
    "PREFIX.eigenvalues.tsv",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto in = std::make_shared<TDistInput>();
      auto out = std::make_shared<std::string>();
      AddDistInput(sub, *in, true);
      auto pop = AddPopOptions(sub);
      sub.add_option("--out", *out, "Prefix of the two tables")->required()->type_name("PREFIX");
#ifdef ZEL_HAVE_PLOT
      auto plot = std::make_shared<TPlotCliOptions>();
      AddPlotOptions(sub, *plot);
#endif
      return [=]() {
        if (!LoadDistInput(*in)) return 1;
        if (!ApplyPopOptions(*pop)) return 1;
        if (!scPCoA()) return 1;
#ifdef ZEL_HAVE_PLOT
        // A plot that cannot be drawn fails the verb before any file is written.
        if (!plot->File.empty() && iscLastPCoA()->nAxes < 3) {
          iscZelUserError("PCoA View Error: less than 3 dimensions");
          return 1;
        }
        if (!iscSavePCoATables(*out)) return 1;
        if (plot->File.empty()) return 0;
        return PlotPcoaFile(PlotInputOf(*iscLastPCoA()), plot->File, plot->Opt) ? 0 : 1;
#else
        return iscSavePCoATables(*out) ? 0 : 1;
#endif
      };
    }});

const TCliVerbRegistrar upgmaVerb(TCliVerb{
    "upgma", "UPGMA tree of the pairwise distances, appended to TREE as one Newick line",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto in = std::make_shared<TDistInput>();
      auto out = std::make_shared<std::string>();
      AddDistInput(sub, *in, true);
      sub.add_option("--out", *out, "Tree file (the line is appended)")
          ->required()
          ->type_name("TREE");
      return [in, out]() {
        if (!LoadDistInput(*in)) return 1;
        return scUPGMA(*out) ? 0 : 1;
      };
    }});

}  // namespace
