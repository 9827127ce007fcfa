// Free routines around the variant selection: threshold texts, the dialog's input filter,
// the depth filter of genotype calls, and the two selection file forms.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/korStruc.h"
#include "base/korTypes.h"
#include "base/zelError.h"
#include "vcf/bioVCFTypes.h"
#include "vcf/vcfFilter.h"

// The threshold field's input filter: for vtInt only '-' and digits stay, for vtFloat '-', '.'
// and digits; other types leave the text as it is.
std::string ChkTypeRange(std::string_view s, TvcfType keyType);

// A threshold text read for a key type (vtInt: a signed 32-bit integer; vtFloat: a finite
// double, exponents allowed), with its evaluator. A user error (naming the text) when it does
// not read or the type cannot be compared.
TZelErr ParseThreshold(std::string_view text, TvcfType keyType, TValue64& threshold,
                       TVcfEvaluator& evaluator);

// Genotype depth masking (see the function comment in vcfSelect.cpp); returns the effective
// homozygote threshold.
uint32_t FilterGenotypesMinDW_SmpFirst(std::vector<uint32_t>& sampleGenotypes,
                                       const std::vector<uint32_t>& sampleScoreDw,
                                       uint32_t minScoreDw_first, uint32_t minScoreDw_hom,
                                       uint32_t nAlleles);
uint32_t FilterGenotypesMinDW_AlleleFirst(std::vector<uint32_t>& sampleGenotypes,
                                          const std::vector<uint32_t>& sampleScoreDw,
                                          uint32_t minScoreDw_first, uint32_t minScoreDw_hom,
                                          uint32_t nAlleles);

// Hex readers: sh2d reads up to 8 digits as the leading digits of an 8-digit number (empty or
// longer: 0xFFFFFFFF); sh2q reads exactly 16 digits (else all ones). Either case of A-F.
uint32_t sh2d(std::string_view s);
uint64_t sh2q(std::string_view s);

// Bit form: "Selection1", tab, the variant count as 16 upper-case hex digits, ".", the
// selection's bytes as two hex digits each.
std::string VcfSelectionBitForm(const TBitField& selection);
// Reads a bit form line for a file of nVariants variants into selection. Refused (selection
// untouched) when the line is malformed, the count differs, the byte text has another length,
// or a bit past the last variant is set.
TZelErr VcfReadSelectionBitForm(std::string_view line, uint64_t nVariants, TBitField& selection);

// Position form: one line per chromosome with positions, name + tab + positions joined by ",".
std::vector<std::string> VcfSelectionPosForm(const std::vector<std::string>& chromNames,
                                             const std::vector<std::vector<uint64_t>>& chromPos);
// Reads the lines of a position form; "." stands for no positions, empty lines are skipped. A
// row without a tab or with a position that is not an unsigned decimal number is refused,
// naming the row (from 1).
TZelErr VcfReadSelectionPosForm(const std::vector<std::string>& lines,
                                std::vector<std::string>& chromNames,
                                std::vector<std::vector<uint64_t>>& chromPos);

class TVCFFile;

// Writes the meta lines, a header line with the current sample names and the selected
// variants (all while no selection exists) to fileName, in the input's line ends. samples
// null: every sample as stored; otherwise these sample columns in this order (each below
// NSamples), and when none is left the 8 site columns only. Refuses to write over the open
// input file; a failure leaves no file behind (and an existing target as it was).
TZelErr VcfWriteSelection(TVCFFile& vcf, const std::string& fileName,
                          const std::vector<uint32_t>* samples, unsigned threads = 0);
