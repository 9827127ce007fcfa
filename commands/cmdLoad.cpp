// Loading commands: file-type guess by suffix, opening VCF files, listing their samples.
#include "commands/cmdLoad.h"

#include "core/zelLog.h"

uint8_t iscGuessFileTypeBySuffix(const std::string&) { return 255; }
bool scLoadFileAuto(const std::string&) { return false; }
bool scLoadVcfFile(const std::string&) {
  iscZelUserError("VCF loading is not available yet");
  return false;
}
void scVcfListSampleNames() { iscZelUserError("Need to operate on VCF input"); }
