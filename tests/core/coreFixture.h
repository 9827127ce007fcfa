// Shared fixture of the core tests: every test starts from a fresh process-wide state.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/zelCmdTable.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelRemote.h"
#include "core/zelUiState.h"

inline void ResetCore() {
  ZelDrainRemoteCmds();
  ZelRegistryReset();
  CallbackOnAdd2ObjList = nullptr;
  CallbackBeforeDeleteObject = nullptr;
  CallbackAfterDeleteObject = nullptr;
  scClearLog();
  iscZelHasError(true);
  ZelUiSetObserver(nullptr);
  ZelUiReset();
  ZelClearCommandRegistrations();
  Remoteable = true;
}

class CoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCore(); }
  void TearDown() override { ResetCore(); }
  static std::vector<std::string> Lines() { return ZelLogLines(); }
};
