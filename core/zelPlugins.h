// The plug-in list: descriptions of plug-ins, the host program's own entry first. Library
// files in the plug-in folders are only enumerated; none is loaded and no plug-in code runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A plug-in's entry points, as it would export them; the host has none.
using TZelPluginProc = void (*)();

struct TZelPluginInfo {
  std::string Name;
  std::string FileName;  // full path of the library (of the executable for the host)
  std::string Version;
  std::string Date;
  std::string Requires;
  std::string Description;
  uint32_t nFunctions = 0;
  TZelPluginProc RegisterProc = nullptr;
  TZelPluginProc QueryProc = nullptr;
};

struct TZelPluginList {
  std::vector<TZelPluginInfo> PluginInfo;
};

struct TZelPluginListI {
  TZelPluginList pi;
  // index 0xFFFFFFFF appends; an index below the length overwrites that entry; any other
  // index does nothing.
  void AddPluginInfo(const TZelPluginInfo& info, uint32_t index);
};

// The process-wide list and the host's own description (filled by RegisterZelAsPlugin).
extern TZelPluginListI ZelPluginList;
extern TZelPluginInfo ZelPluginInfo;

// Fills ZelPluginInfo: "ZEL", the executable's path, the host version, date "/", the rest
// empty or zero; returns it.
const TZelPluginInfo& RegisterZelAsPlugin();

// Adds the host's description when the list is empty, then lists the plug-in libraries
// ("*.so" regular files, links followed, not in subfolders) of each folder, or of the
// executable's folder when none is given. The files are neither opened nor recorded in the
// list; their full paths are returned, sorted. Missing or unreadable folders list nothing.
std::vector<std::string> MakeZelPluginList(const std::vector<std::string>& dirs);
