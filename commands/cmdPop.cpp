// Population commands: loading population maps, choosing the current scheme, the data set
// handed to the sample group manager.
#include "commands/cmdPop.h"

#include "core/zelLog.h"

bool scLoadPopMap(const std::string&) {
  iscZelUserError("Population maps are not available yet");
  return false;
}
void scSelectPopScheme(const char*) {}
void uscShowGrpMan() {}
