// The command table's registration list: the fourteen commands runnable by name, in table
// order, with the kinds of their arguments. The interpreter passes words; these adapters
// turn them into each command's own parameters.
#include "commands/cmdTable.h"

#include "commands/cmdDist.h"
#include "commands/cmdLoad.h"
#include "commands/cmdPlugins.h"
#include "commands/cmdPop.h"
#include "core/zelCmdTable.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelRemote.h"
#include "core/zelStartup.h"
#include "core/zelUiState.h"

namespace {

using TArgs = std::vector<std::string>;

void Add(const char* name, TZelCmdProc proc, std::vector<TZelBaseType> params = {}) {
  ZelRegisterCommand(TZelCmdDef{name, std::move(proc), std::move(params)});
}

}  // namespace

void RegisterZelCommands() {
  ZelClearCommandRegistrations();
  Add("scExit", [](const TArgs&) { scExit(); });
  Add("scZelLogA", [](const TArgs& a) { scZelLogA(a[0].c_str()); }, {tPCharA});
  Add("scLoadVcfFile", [](const TArgs& a) { scLoadVcfFile(a[0]); }, {tPCharU});
  Add("scLoadPopMap", [](const TArgs& a) { scLoadPopMap(a[0]); }, {tPCharU});
  Add("scCloseActiveFile", [](const TArgs&) { scCloseActiveFile(); });
  Add("scListPlugins", [](const TArgs&) { scListPlugins(); });
  Add("scListCommands", [](const TArgs&) { scListCommands(); });
  // The state cannot be given from a command line; the interpreter sets Idle after it anyway.
  Add("scUiSetState", [](const TArgs&) { scUiSetState(0); });
  Add("scVcfListSampleNames", [](const TArgs&) { scVcfListSampleNames(); });
  Add("scClearLog", [](const TArgs&) { scClearLog(); });
  Add("scVcfPwUDist", [](const TArgs&) { scVcfPwUDist(); });
  Add("scPCoA", [](const TArgs&) { scPCoA(); });
  Add("scRemoteCmd", [](const TArgs& a) { scRemoteCmd(0, a[0].c_str()); }, {tPCharA});
  Add("scSelectPopScheme", [](const TArgs& a) { scSelectPopScheme(a[0].c_str()); }, {tPCharA});
}
