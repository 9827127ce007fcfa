// The command table's registration list: the fourteen commands runnable by name, in table order.
#pragma once

// Fills the core's registration list (replacing what was there); start-up builds the table
// from it.
void RegisterZelCommands();
