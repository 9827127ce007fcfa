// Coordinate tables: the text written by "Export coordinates" and read by "Import coordinates".
#include "ui/plot3d/plotCoords.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

std::string FloatText(float v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

bool ParseFloat(const std::string& s, float& v) {
  const char* b = s.data();
  const char* e = b + s.size();
  if (b != e && *b == '+') ++b;
  auto r = std::from_chars(b, e, v);
  return r.ec == std::errc() && r.ptr == e && b != e && std::isfinite(v);
}

bool ParseU16(const std::string& s, uint16_t& v) {
  auto r = std::from_chars(s.data(), s.data() + s.size(), v);
  return r.ec == std::errc() && r.ptr == s.data() + s.size() && !s.empty();
}

std::vector<std::string> SplitLine(const std::string& line) {
  std::vector<std::string> f;
  if (line.find('\t') != std::string::npos) {
    size_t start = 0;
    for (;;) {
      const size_t p = line.find('\t', start);
      f.push_back(line.substr(start, p == std::string::npos ? std::string::npos : p - start));
      if (p == std::string::npos) break;
      start = p + 1;
    }
    while (!f.empty() && f.back().empty()) f.pop_back();
    return f;
  }
  std::string cur;
  bool in = false;
  for (char c : line) {
    if (c == ' ' || c == ',' || c == '\0') {
      if (in) f.push_back(cur), cur.clear();
      in = false;
    } else {
      cur += c;
      in = true;
    }
  }
  if (in) f.push_back(cur);
  return f;
}

}  // namespace

std::string ExportCoordText(const std::vector<t3dsymbol>& symbols) {
  std::string out;
  for (const t3dsymbol& s : symbols) {
    out += FloatText(s.x) + '\t' + FloatText(s.y) + '\t' + FloatText(s.z) + '\t' + s.name + '\t' +
           std::to_string(s.sym) + '\t' + std::to_string(s.col1) + "\r\n";
  }
  return out;
}

TPlotColour ParseColourField(const std::string& field) {
  int64_t v = 0;
  auto r = std::from_chars(field.data(), field.data() + field.size(), v);
  if (r.ec == std::errc() && r.ptr == field.data() + field.size() && !field.empty())
    return static_cast<TPlotColour>(std::clamp<int64_t>(v, 0, 0xffffff));
  std::string u = field;
  for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
  static const struct {
    const char* name;
    TPlotColour col;
  } kNames[] = {
      {"BLACK", PlotRGB(0, 0, 0)},       {"WHITE", PlotRGB(255, 255, 255)},
      {"GREEN", PlotRGB(0, 128, 0)},     {"BLUE", PlotRGB(0, 0, 255)},
      {"MAGENTA", PlotRGB(255, 0, 255)}, {"CYAN", PlotRGB(0, 255, 255)},
      {"GREY", PlotRGB(127, 127, 127)},  {"ORANGE", PlotRGB(255, 127, 0)},
      {"RED", PlotRGB(255, 0, 0)},       {"YELLOW", PlotRGB(255, 255, 0)},
      {"LGREEN", PlotRGB(0, 255, 0)},    {"OLIVE", PlotRGB(128, 128, 0)},
  };
  for (const auto& n : kNames)
    if (u == n.name) return n.col;
  return 0;
}

std::vector<t3dsymbol> ImportCoordText(const std::string& text, std::vector<std::string>& errors) {
  std::vector<t3dsymbol> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(start, nl - start);
    start = nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::vector<std::string> f = SplitLine(line);
    if (f.size() < 3) {
      errors.push_back("Line contains < 3 arguments");
      continue;
    }
    t3dsymbol s;
    s.plottext = 0;
    float* xyz[3] = {&s.x, &s.y, &s.z};
    for (int k = 0; k < 3; ++k) {
      if (!ParseFloat(f[k], *xyz[k])) {
        *xyz[k] = 0;
        errors.push_back("Not a valid number: " + f[k]);
      }
    }
    if (f.size() > 3) {
      s.name = f[3].substr(0, 255);
      s.plottext = 1;
    }
    if (f.size() > 4) {
      uint16_t shape = 0;
      if (ParseU16(f[4], shape))
        s.sym = shape;
      else
        errors.push_back("Not a valid 16-bit value: " + f[4]);
      s.size = 2;
    }
    if (f.size() > 5) s.col1 = ParseColourField(f[5]);
    out.push_back(std::move(s));
  }
  return out;
}
