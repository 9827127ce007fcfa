// Population commands: loading population maps, choosing the current scheme, the data set
// handed to the sample group manager.
#pragma once

#include <string>

bool scLoadPopMap(const std::string& fileName);
void scSelectPopScheme(const char* schemeName);
void uscShowGrpMan();
