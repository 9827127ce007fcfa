// Writers on targets that are no regular files: a device or a pipe is written where it is and
// stays what it was, since renaming a temporary file over it would replace it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "fileaccess/korFileIO.h"

namespace {

TEST(FileOut, DeviceTargetIsWrittenInPlaceAndStaysADevice) {
  ASSERT_EQ(WriteFileDataStr("/dev/null", {"a", "b"}, "\n", 0), 0);
  struct stat st;
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  // Appending to a device reads nothing back from it first.
  EXPECT_EQ(WriteFileDataStr("/dev/null", {"c"}, "\n", cFioAppend), 0);
  ASSERT_EQ(::stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

TEST(FileOut, PipeTargetReceivesTheBytes) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("zel_fifo_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string fifo = (dir / "pipe").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string got;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    got.assign(std::istreambuf_iterator<char>(in), {});
  });
  EXPECT_EQ(WriteFileDataStr(fifo, {"x", "y"}, "\n", cFioAppend), 0);
  reader.join();
  EXPECT_EQ(got, "x\ny\n");
  struct stat st;
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  std::filesystem::remove_all(dir);
}

}  // namespace
