// The headless half of start-up and shutdown.
#include "core/zelStartup.h"

#include <thread>
#include <vector>

#include "base/korCpu.h"
#include "base/korThd.h"
#include "core/zelCmdTable.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelSettings.h"
#include "core/zelUiState.h"

bool zelDev = false;

namespace {

bool& Exiting() {
  static bool exiting = false;
  return exiting;
}

std::vector<std::function<void()>>& ExitHooks() {
  static std::vector<std::function<void()>> hooks;
  return hooks;
}

std::function<void()>& TerminateHandler() {
  static std::function<void()> handler;
  return handler;
}

unsigned& Threads() {
  static unsigned n = 0;
  return n;
}

}  // namespace

TZelErr iscZelInit() {
  zelDev = false;
  Exiting() = false;
  // The byte routines for this processor, before anything scans a file.
  SetupFastRoutines(false);
  ZelSettings.Init();
  iscFindZelIniFile();
  LoadZelIni(ZelSettings.ZelIniFullName);
  if (TZelErr e = iscInitFunctionList()) return e;
  // All bits set asks the pool for every logical processor. Created once per process;
  // the pools stop first at exit, before the objects their work may point into go.
  InitGlobalThreadPool(Threads() ? Threads() : 0xFFFFFFFFu, true);
  ZelAddExitHook([] { RemoveGlobalThreadPool(); });
  CallbackOnAdd2ObjList = OnNewObjHandler;
  iscZelHasError(true);
  ZelUiReset();
  return {};
}

void scExit() {
  if (Exiting()) return;
  Exiting() = true;
  auto& hooks = ExitHooks();
  while (!hooks.empty()) {
    std::function<void()> h = std::move(hooks.back());
    hooks.pop_back();
    h();
  }
  DeleteAllObjects();
  CloseZelIni(true);
  if (TerminateHandler()) TerminateHandler()();
}

bool ZelExiting() { return Exiting(); }

void ZelAddExitHook(std::function<void()> hook) { ExitHooks().push_back(std::move(hook)); }

void ZelSetTerminateHandler(std::function<void()> handler) {
  TerminateHandler() = std::move(handler);
}

void ZelSetThreads(unsigned n) { Threads() = n; }

unsigned ZelThreads() {
  if (Threads()) return Threads();
  const unsigned hw = std::thread::hardware_concurrency();
  return hw ? hw : 1;
}

void RunZelCmdLine(int argc, const char* const* argv, std::FILE* out) {
  std::fputs("OFF\nZEL CMD LINE\nParams: \n", out);
  for (int i = 0; i < argc; ++i) std::fprintf(out, "%d: %s\n", i, argv[i]);
  std::fflush(out);
}
