// The settings file "zel.ini" next to the executable: an INI file read into memory with
// case-insensitive section and key names, written back at exit only when a setting changed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// An INI file held in memory. Lines are kept as read, so writing back changes only the
// lines of changed keys; comments (';' or '#') and unknown keys survive.
class TZelIni {
 public:
  void LoadFromText(const std::string& text);
  bool LoadFromFile(const std::string& fileName);  // false when unreadable
  std::string ToText() const;
  // Written to a temporary file beside it and renamed into place; false on failure.
  [[nodiscard]] bool SaveToFile(const std::string& fileName) const;

  std::optional<std::string> ReadString(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Marks the file modified only when the value differs from the stored one.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool Modified() const { return FModified; }

 private:
  // Index of the line holding key in section, or -1; sectionEnd gets the line after the
  // section's last non-blank line (or -1 when the section is missing).
  long FindKey(const std::string& section, const std::string& key, long* sectionEnd) const;

  std::vector<std::string> FLines;
  bool FCrLf = false;
  bool FModified = false;
};

struct TZelSettings {
  uint8_t Locked = 0;
  bool HasIni = false;
  std::string ZelIniFullName;
  std::string ZelIniName;
  std::string ZelIniPath;  // reserved
  std::string PluginDir;
  // Key RPath of section ZEL: the directory holding Rscript (or Rscript itself), for an R
  // that is not on PATH; empty when absent.
  std::string RPath;
  // All fields cleared, then ZelIniName := "zel.ini".
  void Init();
};

extern TZelSettings ZelSettings;

// The open settings file, or null when none was loaded.
TZelIni* ZelIni();

// Directory of the running executable (following links), without a trailing separator.
std::string ZelExeDir();
// Full path of the running executable (following links); empty when it cannot be told.
std::string ZelExePath();
// Looks for ZelIniName in the executable's directory only; sets HasIni and ZelIniFullName.
bool iscFindZelIniFile();
bool iscFindZelIniFileIn(const std::string& dir);
// Releases an open settings file without saving, then reads iniFile when HasIni and takes
// PluginDir and RPath from section ZEL (empty when absent).
void LoadZelIni(const std::string& iniFile);
// With update, writes the file back when a setting changed; a file that cannot be written
// (a read-only install directory) is not an error. Then releases it.
void CloseZelIni(bool update);
// Changes PluginDir, in the open settings file too.
void ZelSetPluginDir(const std::string& dir);
