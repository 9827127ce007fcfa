// Plug-in commands: the list of plug-ins, which holds the host program itself.
#pragma once

// Logs "-- Plugins -- ", one line Name + " " + Version + " in " + FileName per entry, and
// "-- -- -- -- --". Library files in the executable's folder are enumerated, not loaded.
void scListPlugins();
