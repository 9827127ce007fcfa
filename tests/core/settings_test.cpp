// The settings file: case-insensitive INI reading, found next to the executable only, and
// written back only when a setting changed.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/zelSettings.h"
#include "coreFixture.h"

namespace {

namespace fs = std::filesystem;

struct TIniCase {
  std::string Text;
  std::string PluginDir;
};

TEST(ZelIni, ReadsSectionAndKeyWithoutRegardToCase) {
  const std::vector<TIniCase> cases = {
      {"[ZEL]\nPluginDir=/opt/zel/plugins\n", "/opt/zel/plugins"},
      {"[zel]\r\npluginDIR = /p q \r\n", "/p q"},
      {"; comment\n[Other]\nPluginDir=/no\n[ Zel ]\n# c\nPLUGINDIR=/yes\n", "/yes"},
      {"[Other]\nPluginDir=/no\n", ""},
      {"", ""},
      {"PluginDir=/outside/any/section\n", ""},
      {"\xEF\xBB\xBF[ZEL]\nPluginDir=/bom\n", "/bom"},
      {"[ZEL]\nPluginDir=\n", ""},
      {"[ZEL]\nPluginDir=a=b\n", "a=b"},
      {"[ZEL]\nPluginDir=/first\nPluginDir=/second\n", "/first"},
      {"[ZEL\nPluginDir=/broken/header\n", ""},
  };
  for (const TIniCase& c : cases) {
    SCOPED_TRACE(c.Text);
    TZelIni ini;
    ini.LoadFromText(c.Text);
    EXPECT_EQ(ini.ReadString("ZEL", "PluginDir", ""), c.PluginDir);
    EXPECT_FALSE(ini.Modified());
  }
}

TEST(ZelIni, WritingTheSameValueIsNoChange) {
  TZelIni ini;
  ini.LoadFromText("[ZEL]\r\nPluginDir=/a\r\n");
  ini.WriteString("zel", "plugindir", "/a");
  EXPECT_FALSE(ini.Modified());
  ini.WriteString("zel", "plugindir", "/b");
  EXPECT_TRUE(ini.Modified());
  EXPECT_EQ(ini.ToText(), "[ZEL]\r\nPluginDir=/b\r\n") << "name spelling and line ends kept";
}

TEST(ZelIni, NewKeysGoIntoTheirSectionAndCommentsSurvive) {
  TZelIni ini;
  ini.LoadFromText("; mine\n[ZEL]\nOther=1\n\n[More]\nX=2\n");
  ini.WriteString("ZEL", "PluginDir", "/p");
  ini.WriteString("New", "K", "v");
  EXPECT_EQ(ini.ToText(), "; mine\n[ZEL]\nOther=1\nPluginDir=/p\n\n[More]\nX=2\n\n[New]\nK=v\n");
}

class SettingsFileTest : public CoreTest {
 protected:
  fs::path Dir;
  void SetUp() override {
    CoreTest::SetUp();
    Dir =
        fs::temp_directory_path() /
        ("zel_ini_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    ZelSettings.Init();
  }
  void TearDown() override {
    CloseZelIni(false);
    fs::remove_all(Dir);
    CoreTest::TearDown();
  }
  void Write(const std::string& text) { std::ofstream(Dir / "zel.ini", std::ios::binary) << text; }
  std::string Read() {
    std::ifstream in(Dir / "zel.ini", std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  ino_t Inode() {
    struct stat st {};
    stat((Dir / "zel.ini").c_str(), &st);
    return st.st_ino;
  }
};

TEST_F(SettingsFileTest, InitClearsAndNamesTheFile) {
  ZelSettings.PluginDir = "x";
  ZelSettings.HasIni = true;
  ZelSettings.Init();
  EXPECT_EQ(ZelSettings.ZelIniName, "zel.ini");
  EXPECT_EQ(ZelSettings.PluginDir, "");
  EXPECT_FALSE(ZelSettings.HasIni);
  EXPECT_EQ(ZelSettings.ZelIniFullName, "");
}

TEST_F(SettingsFileTest, MissingFileMeansNoIniAndEmptyPluginDir) {
  EXPECT_FALSE(iscFindZelIniFileIn(Dir.string()));
  LoadZelIni(ZelSettings.ZelIniFullName);
  EXPECT_EQ(ZelIni(), nullptr);
  EXPECT_EQ(ZelSettings.PluginDir, "");
  CloseZelIni(true);
  EXPECT_FALSE(fs::exists(Dir / "zel.ini"));
}

TEST_F(SettingsFileTest, FoundFileIsReadAndLinksAreFollowed) {
  std::ofstream(Dir / "real.ini") << "[Zel]\npluginDir=/plug\n";
  fs::create_symlink(Dir / "real.ini", Dir / "zel.ini");
  ASSERT_TRUE(iscFindZelIniFileIn(Dir.string()));
  EXPECT_EQ(ZelSettings.ZelIniFullName, (Dir / "zel.ini").string());
  LoadZelIni(ZelSettings.ZelIniFullName);
  ASSERT_NE(ZelIni(), nullptr);
  EXPECT_EQ(ZelSettings.PluginDir, "/plug");
  fs::remove(Dir / "real.ini");
  EXPECT_FALSE(iscFindZelIniFileIn(Dir.string())) << "a dangling link is no settings file";
}

TEST_F(SettingsFileTest, UnchangedSettingsAreNotRewritten) {
  const std::string text = "[ZEL]\nPluginDir = /odd   spacing\n;comment\n";
  Write(text);
  const ino_t before = Inode();
  ASSERT_TRUE(iscFindZelIniFileIn(Dir.string()));
  LoadZelIni(ZelSettings.ZelIniFullName);
  ZelSetPluginDir("/odd   spacing");
  CloseZelIni(true);
  EXPECT_EQ(Read(), text);
  EXPECT_EQ(Inode(), before) << "the file was replaced";
  EXPECT_EQ(ZelIni(), nullptr);
}

TEST_F(SettingsFileTest, ChangedSettingIsWrittenBackAtClose) {
  Write("[ZEL]\nPluginDir=/old\n");
  ASSERT_TRUE(iscFindZelIniFileIn(Dir.string()));
  LoadZelIni(ZelSettings.ZelIniFullName);
  ZelSetPluginDir("/new");
  EXPECT_EQ(ZelSettings.PluginDir, "/new");
  CloseZelIni(true);
  EXPECT_EQ(Read(), "[ZEL]\nPluginDir=/new\n");
}

TEST_F(SettingsFileTest, ChangesAreDroppedWithoutUpdate) {
  Write("[ZEL]\nPluginDir=/old\n");
  ASSERT_TRUE(iscFindZelIniFileIn(Dir.string()));
  LoadZelIni(ZelSettings.ZelIniFullName);
  ZelSetPluginDir("/new");
  CloseZelIni(false);
  EXPECT_EQ(Read(), "[ZEL]\nPluginDir=/old\n");
}

TEST_F(SettingsFileTest, UnwritablePlaceIsNotAnErrorAtClose) {
  Write("[ZEL]\nPluginDir=/old\n");
  ASSERT_TRUE(iscFindZelIniFileIn(Dir.string()));
  LoadZelIni(ZelSettings.ZelIniFullName);
  ZelSetPluginDir("/new");
  ZelSettings.ZelIniFullName = (Dir / "gone" / "zel.ini").string();  // cannot be written
  EXPECT_NO_THROW(CloseZelIni(true));
  EXPECT_FALSE(iscZelHasError(false));
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(ZelIni(), nullptr);
}

TEST(ZelExeDir, IsTheDirectoryOfThisTestBinary) {
  EXPECT_TRUE(fs::exists(fs::path(ZelExeDir()) / "zel_test_core"));
}

}  // namespace
