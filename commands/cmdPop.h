// Population commands: loading population maps, choosing the current scheme, the data set
// handed to the sample group manager, and the quick-select list of schemes.
#pragma once

#include <string>
#include <vector>

class TBioDataSet;
class TPopStructure;
class TVCFFile;

// Loads a map into a new data set registered as oBioDS (the active object stays). A missing
// or refused file logs a user error and registers nothing.
bool scLoadPopMap(const std::string& fileName);
// Warns, one line each with the count and the first five names, about names of the map that
// are not samples of the VCF file and samples of the file that the map does not name.
void iscWarnPopMapVsSamples(const TPopStructure& map, const TVCFFile& vcf);
// Makes the named scheme of the most recent data set current (exact, case-sensitive name).
void scSelectPopScheme(const char* schemeName);
// Sample group manager for the active VCF file: the user edits a copy of the most recent
// data set's structure (a TPopStructure handed to IZelUser::ShowGroupManager); a confirmed
// edit is stored in the data set and its schemes join the quick-select list.
void uscShowGrpMan();
// The group manager's data-set side for the given sample names (the active VCF file's).
void iscShowGrpManForSamples(const std::vector<std::string>& sampleNames);
// Appends one quick-select entry per scheme of the data set, in scheme order.
void iscMenuUpdatePopSchemes(const TBioDataSet& dataSet);
