// Selection commands on the active VCF file: whole selection, variant classes, contigs and
// ranges, INFO and FORMAT thresholds, saving the selected variants, selection files, missing
// calls per sample and sample renaming.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/korStruc.h"
#include "base/korTypes.h"

class TVCFFile;

// The active VCF file, or the most recent one made active; null (after the user error "Need
// to operate on VCF input" when there is none) or when it has no variants.
TVCFFile* _prepVcfSelect();
// Status bar: samples x selected variants.
void _updateVcfSelection(const TVCFFile& vcf);

void scVcfSelectAll();
// Leaves no variant selected.
void scVcfSelectNone();
void scVcfInvertSelection();
// Each keeps only the selected variants of its class.
void scVcfSelectSNPs();
void scVcfSelectTransversions();
void scVcfSelectTransitions();
void scVcfSelectInDels();
void scVcfSelectPolymorphic();
void scVcfSelectWithAltAllele();
void scVcfSelectBiallelic();

// Through the variant selection dialog (IZelUser::ShowVarSelection); Cancel changes nothing.
void iscShowVcfVarSelection();
void iscShowVcfVarRangeSelection();
void uscVcfSelectByInfo();
void uscVcfSelectBySampleTag();

// The same selections with their values given (zelcli, scripts): threshold and minimum texts
// are read as they are. logic lSet starts from scratch as the dialogs do; lAnd narrows the
// current selection. False after a user error (selection unchanged).
bool iscVcfSelectByInfo(const std::string& key, TComparison cmp, const std::string& threshold);
// Keeps selected only the variants whose INFO column holds the key (a header INFO key), with
// or without a value.
bool iscVcfSelectByInfoPresent(const std::string& key);
bool iscVcfSelectBySampleTag(const std::string& key, TComparison cmp, const std::string& threshold,
                             const std::string& minSamples);
bool iscVcfSelectContigs(const std::vector<std::string>& names, TMaskLogic logic);
bool iscVcfSelectContigRange(const std::string& name, uint64_t fromPos, uint64_t toPos,
                             TMaskLogic logic);

// The selected variants as a VCF file; with a data set, only the current scheme's members in
// population order. ".gz" names are written as BGZF.
void scVcfSaveSelection(const std::string& fileName);
// Selection files: the bit form and the position form.
void _dev_save_vcf_selection(const std::string& fileName);
void _dev_load_vcf_selection(const std::string& fileName);
void _dev_save_vcf_selection_chrom_explicit(const std::string& fileName);
void _dev_load_vcf_selection_chrom_explicit(const std::string& fileName);

void scVcfListMissingDataPerSample();
void scRenameVcfSamples(const std::string& fileName);
