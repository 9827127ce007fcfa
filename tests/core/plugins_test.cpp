// The plug-in list: the host's own entry, the index rules of AddPluginInfo, and the
// enumeration of library files that are never loaded.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/zelPlugins.h"
#include "core/zelSettings.h"
#include "coreFixture.h"

namespace {

namespace fs = std::filesystem;

TZelPluginInfo Named(const std::string& name) {
  TZelPluginInfo p;
  p.Name = name;
  p.nFunctions = 7;
  return p;
}

std::vector<std::string> Names(const TZelPluginListI& l) {
  std::vector<std::string> r;
  for (const TZelPluginInfo& p : l.pi.PluginInfo) r.push_back(p.Name);
  return r;
}

TEST(Plugins, AddPluginInfoAppendsOverwritesOrIgnores) {
  TZelPluginListI l;
  l.AddPluginInfo(Named("a"), 0);  // nothing to overwrite yet
  EXPECT_TRUE(l.pi.PluginInfo.empty());
  l.AddPluginInfo(Named("a"), 0xFFFFFFFFu);
  l.AddPluginInfo(Named("b"), 0xFFFFFFFFu);
  l.AddPluginInfo(Named("B"), 1);
  l.AddPluginInfo(Named("c"), 2);  // the length is not an index
  l.AddPluginInfo(Named("d"), 0xFFFFFFFEu);
  EXPECT_EQ(Names(l), (std::vector<std::string>{"a", "B"}));
  EXPECT_EQ(l.pi.PluginInfo[1].nFunctions, 7u);
}

TEST(Plugins, TheHostDescribesItself) {
  const TZelPluginInfo& p = RegisterZelAsPlugin();
  EXPECT_EQ(&p, &ZelPluginInfo);
  EXPECT_EQ(p.Name, "ZEL");
  EXPECT_EQ(p.Version, "0.0.0113");
  EXPECT_EQ(p.Date, "/");
  EXPECT_EQ(p.Requires, "");
  EXPECT_EQ(p.Description, "");
  EXPECT_EQ(p.nFunctions, 0u);
  EXPECT_EQ(p.RegisterProc, nullptr);
  EXPECT_EQ(p.QueryProc, nullptr);
  EXPECT_EQ(p.FileName, fs::canonical("/proc/self/exe").string());
  EXPECT_EQ(fs::path(p.FileName).parent_path().string(), ZelExeDir());
}

TEST(Plugins, LibrariesAreOnlyListedAndTheHostIsAddedOnce) {
  const fs::path d = fs::temp_directory_path() / ("zel plugins " + std::to_string(getpid()));
  fs::remove_all(d);
  fs::create_directories(d / "sub");
  fs::create_directories(d / "dir.so");
  for (const char* f : {"b.so", "a.so", "c.so.1", "d.SO", "e.dll", "notes.txt", "sub/f.so"})
    std::ofstream(d / f) << "not really a library\n";
  fs::create_symlink(d / "a.so", d / "link.so");
  fs::create_symlink(d / "gone", d / "dangling.so");

  const std::vector<std::string> want = {(d / "a.so").string(), (d / "b.so").string(),
                                         (d / "link.so").string()};
  EXPECT_EQ(MakeZelPluginList({d.string()}), want);
  EXPECT_EQ(MakeZelPluginList({d.string(), (d / "missing").string()}), want);
  EXPECT_EQ(MakeZelPluginList({(d / "notes.txt").string()}), std::vector<std::string>{});
  ASSERT_EQ(ZelPluginList.pi.PluginInfo.size(), 1u) << "files are not recorded";
  EXPECT_EQ(ZelPluginList.pi.PluginInfo[0].Name, "ZEL");
  MakeZelPluginList({});
  EXPECT_EQ(ZelPluginList.pi.PluginInfo.size(), 1u);
  fs::remove_all(d);
}

}  // namespace
