// Lets the whole base suite run with the routine variants of a forced level:
// ZEL_CPU_LEVEL=0 (portable only) .. 11 (whatever this processor has).
#include <gtest/gtest.h>

#include <cstdlib>

#include "base/korCpu.h"

namespace {
class TForcedLevel : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* e = std::getenv("ZEL_CPU_LEVEL");
    if (!e || !*e) return;
    const int level = std::atoi(e);
    ForceRoutineLevel(static_cast<TSIMDLevel>(level < 0 ? 0 : (level > 11 ? 11 : level)));
  }
};
[[maybe_unused]] ::testing::Environment* const kForcedLevel =
    ::testing::AddGlobalTestEnvironment(new TForcedLevel);
}  // namespace
