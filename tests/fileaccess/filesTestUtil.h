// Shared helpers of the file-access tests: a private temporary folder and file writers.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TFilesTmpDir {
 public:
  TFilesTmpDir() {
    std::string t = (std::filesystem::temp_directory_path() / "zelfilesXXXXXX").string();
    char* p = mkdtemp(t.data());
    FDir = p ? p : "";
  }
  ~TFilesTmpDir() {
    std::error_code ec;
    if (!FDir.empty()) std::filesystem::remove_all(FDir, ec);
  }
  const std::string& Dir() const { return FDir; }
  std::string Path(const std::string& name) const { return FDir + "/" + name; }
  std::string Write(const std::string& name, const std::string& content) const {
    std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << content;
    return p;
  }

 private:
  std::string FDir;
};

inline std::string FilesSlurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}
