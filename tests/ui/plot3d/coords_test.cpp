// Coordinate tables: import of the documented forms and the export/import round trip.
#include <gtest/gtest.h>

#include "ui/plot3d/plotCoords.h"

namespace {

TEST(Plot3dCoords, ImportLines) {
  std::vector<std::string> err;
  const auto s = ImportCoordText(
      "1,2,3,A,2,RED\r\n\n0.5 -1e-3 7\nx\t2\t3\tlabel, with space\t99\t65280\n", err);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].x, 1);
  EXPECT_EQ(s[0].y, 2);
  EXPECT_EQ(s[0].z, 3);
  EXPECT_EQ(s[0].name, "A");
  EXPECT_EQ(s[0].sym, shSquare);
  EXPECT_EQ(s[0].col1, 255);  // red
  EXPECT_EQ(s[0].size, 2);
  EXPECT_EQ(s[1].y, -1e-3f);
  EXPECT_EQ(s[1].plottext, 0);
  EXPECT_EQ(s[2].x, 0);
  EXPECT_EQ(s[2].name, "label, with space");
  EXPECT_EQ(s[2].col1, 65280);
  EXPECT_EQ(err, std::vector<std::string>{"Not a valid number: x"});
}

TEST(Plot3dCoords, ImportErrorsKeepGoing) {
  std::vector<std::string> err;
  const auto s = ImportCoordText("1,2\n1,2,3,B,abc,olive\n4,5,6,C,70000,purple\nnan,inf,1e99", err);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[2].x, 0);
  EXPECT_EQ(s[2].z, 0);
  EXPECT_EQ(s[0].sym, shCircle);
  EXPECT_EQ(s[0].col1, PlotRGB(128, 128, 0));
  EXPECT_EQ(s[1].col1, 0);
  EXPECT_EQ(
      err, (std::vector<std::string>{"Line contains < 3 arguments", "Not a valid 16-bit value: abc",
                                     "Not a valid 16-bit value: 70000", "Not a valid number: nan",
                                     "Not a valid number: inf", "Not a valid number: 1e99"}));
}

TEST(Plot3dCoords, ColourNames) {
  const struct {
    const char* in;
    TPlotColour want;
  } cases[] = {{"black", 0},         {"White", 0xffffff},   {"GREEN", 0x008000},
               {"blue", 0xff0000},   {"MAGENTA", 0xff00ff}, {"cyan", 0xffff00},
               {"grey", 0x7f7f7f},   {"orange", 0x007fff},  {"red", 0x0000ff},
               {"yellow", 0x00ffff}, {"lgreen", 0x00ff00},  {"olive", 0x008080},
               {"123", 123},         {"mauve", 0}};
  for (const auto& c : cases) EXPECT_EQ(ParseColourField(c.in), c.want) << c.in;
}

TEST(Plot3dCoords, RoundTripKeepsEverything) {
  std::vector<t3dsymbol> in(3);
  in[0].x = 0.0123456789f, in[0].y = -0.4999f, in[0].z = 1e-7f, in[0].name = "S 1, a";
  in[0].sym = 2 + 256 * 5, in[0].col1 = PlotRGB(10, 20, 30);
  in[1].x = 123456.78f, in[1].name = "B";
  in[2].z = -3.25f, in[2].name = "", in[2].sym = 13;
  const std::string text = ExportCoordText(in);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "0.012345679\t-0.4999\t1e-07\tS 1, a\t1282\t1971210\r\n");
  std::vector<std::string> err;
  const auto out = ImportCoordText(text, err);
  EXPECT_TRUE(err.empty());
  ASSERT_EQ(out.size(), in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    EXPECT_EQ(out[i].x, in[i].x);
    EXPECT_EQ(out[i].y, in[i].y);
    EXPECT_EQ(out[i].z, in[i].z);
    EXPECT_EQ(out[i].name, in[i].name);
    EXPECT_EQ(out[i].sym, in[i].sym);
    EXPECT_EQ(out[i].col1, in[i].col1);
  }
}

}  // namespace
