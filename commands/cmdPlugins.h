// Plug-in commands: the list of loaded plug-ins.
#pragma once

void scListPlugins();
