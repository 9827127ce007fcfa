// Plug-in commands: no plug-in is loaded yet, so the list is empty.
#include "commands/cmdPlugins.h"

void scListPlugins() {}
