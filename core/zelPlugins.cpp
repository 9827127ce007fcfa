// The plug-in list: the host's own entry and the enumeration of plug-in libraries.
#include "core/zelPlugins.h"

#include <algorithm>
#include <filesystem>

#include "core/zelSettings.h"
#include "core/zelVersion.h"

TZelPluginListI ZelPluginList;
TZelPluginInfo ZelPluginInfo;

void TZelPluginListI::AddPluginInfo(const TZelPluginInfo& info, uint32_t index) {
  if (index == 0xFFFFFFFFu)
    pi.PluginInfo.push_back(info);
  else if (index < pi.PluginInfo.size())
    pi.PluginInfo[index] = info;
}

const TZelPluginInfo& RegisterZelAsPlugin() {
  ZelPluginInfo = TZelPluginInfo();
  ZelPluginInfo.Name = "ZEL";
  ZelPluginInfo.FileName = ZelExePath();
  ZelPluginInfo.Version = std::string(cZelVersion);
  ZelPluginInfo.Date = "/";
  return ZelPluginInfo;
}

std::vector<std::string> MakeZelPluginList(const std::vector<std::string>& dirs) {
  namespace fs = std::filesystem;
  if (ZelPluginList.pi.PluginInfo.empty())
    ZelPluginList.AddPluginInfo(RegisterZelAsPlugin(), 0xFFFFFFFFu);
  const std::vector<std::string> where = dirs.empty() ? std::vector{ZelExeDir()} : dirs;
  std::vector<std::string> found;
  for (const std::string& d : where) {
    std::error_code ec;
    fs::directory_iterator it(d, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
      const fs::path& p = it->path();
      std::error_code fec;
      if (p.extension() == ".so" && fs::is_regular_file(p, fec)) found.push_back(p.string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}
