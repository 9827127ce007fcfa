// Loading commands: file-type guess by suffix, opening VCF files, listing their samples.
#pragma once

#include <cstdint>
#include <string>

uint8_t iscGuessFileTypeBySuffix(const std::string& fileName);
bool scLoadFileAuto(const std::string& fileName);
bool scLoadVcfFile(const std::string& fileName);
void scVcfListSampleNames();
