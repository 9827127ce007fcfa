// Plug-in commands: the list of plug-ins, which holds the host program itself.
#include "commands/cmdPlugins.h"

#include "core/zelLog.h"
#include "core/zelPlugins.h"

void scListPlugins() {
  MakeZelPluginList({});
  iscZelLog("-- Plugins -- ");
  for (const TZelPluginInfo& p : ZelPluginList.pi.PluginInfo)
    iscZelLog(p.Name + " " + p.Version + " in " + p.FileName);
  iscZelLog("-- -- -- -- --");
}
