// Loading commands: file-type guess by suffix, opening VCF files, listing their samples.
#pragma once

#include <cstdint>
#include <string>

class TVCFFile;
struct TVcfCallTallyPlan;

uint8_t iscGuessFileTypeBySuffix(const std::string& fileName);
bool scLoadFileAuto(const std::string& fileName);
bool scLoadVcfFile(const std::string& fileName);
// The same, asking the file for a tally of its calls made while it is indexed (null: none).
bool iscLoadVcfFileTallied(const std::string& fileName, const TVcfCallTallyPlan* plan);
void scVcfListSampleNames();

// The active object when it is a VCF file, else null.
TVCFFile* iscActiveVcfFile();
// "96 x 1200": samples and variants as the status bar shows them.
std::string iscVcfDataSizeText(const TVCFFile& vcf);
