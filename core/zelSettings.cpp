// The settings file "zel.ini": in-memory INI with case-insensitive names.
#include "core/zelSettings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

TZelSettings ZelSettings;

namespace {

std::unique_ptr<TZelIni>& IniHolder() {
  static std::unique_ptr<TZelIni> ini;
  return ini;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

bool IsComment(const std::string& t) { return !t.empty() && (t[0] == ';' || t[0] == '#'); }

// "[name]" gives name; anything else nullopt.
std::optional<std::string> SectionName(const std::string& line) {
  const std::string t = Trim(line);
  if (t.size() >= 2 && t.front() == '[' && t.back() == ']') return Trim(t.substr(1, t.size() - 2));
  return std::nullopt;
}

// "key=value" gives key and value, both trimmed.
bool KeyValue(const std::string& line, std::string* key, std::string* value) {
  const std::string t = Trim(line);
  if (t.empty() || IsComment(t)) return false;
  const size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(t.substr(0, eq));
  *value = Trim(t.substr(eq + 1));
  return !key->empty();
}

}  // namespace

void TZelIni::LoadFromText(const std::string& text) {
  FLines.clear();
  FCrLf = text.find("\r\n") != std::string::npos;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    FLines.push_back(std::move(line));
    start = end + 1;
  }
  // A byte-order mark some editors write must not hide the first section.
  if (!FLines.empty() && FLines[0].rfind("\xEF\xBB\xBF", 0) == 0) FLines[0].erase(0, 3);
  FModified = false;
}

bool TZelIni::LoadFromFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  if (in.bad()) return false;
  LoadFromText(ss.str());
  return true;
}

std::string TZelIni::ToText() const {
  const char* eol = FCrLf ? "\r\n" : "\n";
  std::string r;
  for (const std::string& l : FLines) r += l + eol;
  return r;
}

bool TZelIni::SaveToFile(const std::string& fileName) const {
  namespace fs = std::filesystem;
  fs::path tmp(fileName);
  tmp += ".zeltmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << ToText();
    out.close();
    if (!out) {
      std::error_code ignore;
      fs::remove(tmp, ignore);
      return false;
    }
  }
  std::error_code ec;
  fs::rename(tmp, fileName, ec);
  if (ec) {
    std::error_code ignore;
    fs::remove(tmp, ignore);
    return false;
  }
  return true;
}

long TZelIni::FindKey(const std::string& section, const std::string& key, long* sectionEnd) const {
  bool inSection = false;
  long found = -1;
  if (sectionEnd) *sectionEnd = -1;
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (auto s = SectionName(FLines[i])) {
      inSection = SameName(*s, section);
      if (inSection && sectionEnd) *sectionEnd = static_cast<long>(i) + 1;
      continue;
    }
    if (!inSection) continue;
    if (!Trim(FLines[i]).empty() && sectionEnd) *sectionEnd = static_cast<long>(i) + 1;
    std::string k, v;
    // The first occurrence counts when a key repeats.
    if (found < 0 && KeyValue(FLines[i], &k, &v) && SameName(k, key)) found = static_cast<long>(i);
  }
  return found;
}

std::optional<std::string> TZelIni::ReadString(const std::string& section,
                                               const std::string& key) const {
  const long i = FindKey(section, key, nullptr);
  if (i < 0) return std::nullopt;
  std::string k, v;
  KeyValue(FLines[static_cast<size_t>(i)], &k, &v);
  return v;
}

std::string TZelIni::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  return ReadString(section, key).value_or(defaultValue);
}

void TZelIni::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  long sectionEnd = -1;
  const long i = FindKey(section, key, &sectionEnd);
  if (i >= 0) {
    std::string k, v;
    KeyValue(FLines[static_cast<size_t>(i)], &k, &v);
    if (v == value) return;
    FLines[static_cast<size_t>(i)] = k + "=" + value;
  } else if (sectionEnd >= 0) {
    FLines.insert(FLines.begin() + sectionEnd, key + "=" + value);
  } else {
    if (!FLines.empty() && !Trim(FLines.back()).empty()) FLines.emplace_back();
    FLines.push_back("[" + section + "]");
    FLines.push_back(key + "=" + value);
  }
  FModified = true;
}

void TZelSettings::Init() {
  *this = TZelSettings();
  ZelIniName = "zel.ini";
}

TZelIni* ZelIni() { return IniHolder().get(); }

std::string ZelExeDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return ".";
  return exe.parent_path().string();
}

std::string ZelExePath() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.string();
}

bool iscFindZelIniFileIn(const std::string& dir) {
  const std::filesystem::path p = std::filesystem::path(dir) / ZelSettings.ZelIniName;
  std::error_code ec;
  // is_regular_file follows links: a link to a settings file counts, a dangling one does not.
  ZelSettings.HasIni = std::filesystem::is_regular_file(p, ec);
  ZelSettings.ZelIniFullName = ZelSettings.HasIni ? p.string() : std::string();
  return ZelSettings.HasIni;
}

bool iscFindZelIniFile() { return iscFindZelIniFileIn(ZelExeDir()); }

void LoadZelIni(const std::string& iniFile) {
  IniHolder().reset();
  ZelSettings.PluginDir.clear();
  ZelSettings.RPath.clear();
  if (!ZelSettings.HasIni) return;
  auto ini = std::make_unique<TZelIni>();
  // An unreadable settings file counts as an empty one: start-up goes on with defaults.
  if (!ini->LoadFromFile(iniFile)) ini->LoadFromText({});
  ZelSettings.PluginDir = ini->ReadString("ZEL", "PluginDir", "");
  ZelSettings.RPath = ini->ReadString("ZEL", "RPath", "");
  IniHolder() = std::move(ini);
}

void CloseZelIni(bool update) {
  if (!IniHolder()) return;
  if (update && IniHolder()->Modified() && !ZelSettings.ZelIniFullName.empty())
    (void)IniHolder()->SaveToFile(ZelSettings.ZelIniFullName);  // failure is not an error here
  IniHolder().reset();
}

void ZelSetPluginDir(const std::string& dir) {
  ZelSettings.PluginDir = dir;
  if (IniHolder()) IniHolder()->WriteString("ZEL", "PluginDir", dir);
}
