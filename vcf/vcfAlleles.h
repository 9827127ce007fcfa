// Allele questions answered from the REF, ALT, POS and INFO texts of one variant, in place:
// allele lists and counts, SNP, indel, biallelic, transition, gVCF placeholders and blocks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// "<*>" and "<NON_REF>": the gVCF symbols for an unspecified other allele.
bool VcfIsPlaceholderAllele(std::string_view allele);

std::vector<std::string> VcfGetAlleles(std::string_view ref, std::string_view alt);
uint32_t VcfGetNAlleles(std::string_view alt);
bool VcfIsAltAllelePresent(std::string_view alt);
bool VcfIsPolymorphic(std::string_view ref, std::string_view alt);
bool VcfIsSNP(std::string_view ref, std::string_view alt);
bool VcfIsBiallelic(std::string_view alt);
bool VcfIsTransition(std::string_view ref, std::string_view alt);
bool VcfIsTransversion(std::string_view ref, std::string_view alt);
bool VcfIsIndel(std::string_view ref, std::string_view alt, std::string_view info);
bool VcfIsNondegenerate(std::string_view ref, std::string_view alt);
bool VcfHasSymbolicAllele(std::string_view ref, std::string_view alt);
bool VcfHasUnkNonRefAltAllele(std::string_view alt);
uint32_t VcfLenRefOnlyBlock(std::string_view pos, std::string_view alt, std::string_view info);
// BlkStartPos/BlkEndPos are all ones when the number does not read.
bool VcfGetBlockCoord(std::string_view pos, std::string_view ref, std::string_view alt,
                      std::string_view info, uint64_t& blkStartPos, uint64_t& blkEndPos,
                      bool onlyRefOnlyBlocks, bool evalREFLenIfENDless, bool* hasENDTag);

// The INFO key search: the key counts only when preceded by the start or ';' and followed by
// the end, ';' or '='. Offset of the value (just after '=' or the key) or 0xFFFFFFFF.
void GetPInfoKeyOfs(std::string_view info, std::string_view key, uint32_t& ofsTagVal,
                    uint32_t& lenTagVal);

// Digits only (at most 255): the fixed-length decimal reader.
bool VcfReadPlainUInt(std::string_view s, uint64_t& value);

// For genotype reading: how the allele numbers written in GT map onto GetAlleles' order, with
// placeholders mapped to 0xFFFFFFFF. Returns the number of alleles GT may name.
uint32_t VcfAlleleIndexMap(std::string_view alt, std::vector<uint32_t>& map);
