// The terminal progress line: redrawn only when the percentage changes, wiped at the end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/zelProgressLine.h"

namespace {

std::string Contents(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string s;
  for (int c; (c = std::fgetc(f)) != EOF;) s += static_cast<char>(c);
  return s;
}

const std::string kWipe = "\r                                            \r";

TEST(ProgressLine, DrawsEachPercentOnceAndWipesAtTheEnd) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  TZelProgressLine line(f);
  line.Update(0, 200);
  line.Update(1, 200);  // still 0%
  line.Update(100, 200);
  line.Update(199, 200);
  line.Update(200, 200);
  line.Update(0, 0);  // nothing known: nothing shown
  EXPECT_EQ(Contents(f), "\r  0% (0/200)\r 50% (100/200)\r 99% (199/200)" + kWipe);
  std::fclose(f);
}

TEST(ProgressLine, DisabledOrFinishedWithoutLineWritesNothing) {
  std::FILE* f = std::tmpfile();
  TZelProgressLine line(f);
  line.Update(5, 5);  // finished before anything was shown
  line.Enabled = false;
  line.Update(1, 5);
  EXPECT_EQ(Contents(f), "");
  std::fclose(f);
}

TEST(ProgressLine, UpdatesFromSeveralThreadsNeverInterleave) {
  std::FILE* f = std::tmpfile();
  TZelProgressLine line(f);
  std::vector<std::thread> ts;
  for (int t = 0; t < 4; ++t)
    ts.emplace_back([&line, t] {
      for (uint64_t i = 0; i < 1000; ++i) line.Update((i * 4 + t) % 999, 1000);
    });
  for (auto& t : ts) t.join();
  const std::string s = Contents(f);
  // Every piece between carriage returns is one whole "NN% (d/1000)" item.
  size_t pos = 0;
  while ((pos = s.find('\r', pos)) != std::string::npos) {
    const size_t next = s.find('\r', pos + 1);
    const std::string item = s.substr(pos + 1, next == std::string::npos ? next : next - pos - 1);
    EXPECT_NE(item.find("% ("), std::string::npos) << item;
    EXPECT_EQ(item.back(), ')') << item;
    pos = pos + 1;
  }
  std::fclose(f);
}

}  // namespace
