// Names, codes and fixed tables shared by the VCF model, its header directory and extraction.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum TvcfColType : uint8_t {
  vcfChrom = 0,
  vcfPos = 1,
  vcfID = 2,
  vcfRef = 3,
  vcfAlt = 4,
  vcfQual = 5,
  vcfFilter = 6,
  vcfInfo = 7,
  vcfFormat = 8,
  vcfSample = 9,
};

enum TvcfType : uint8_t { vtInt = 0, vtFloat = 1, vtFlag = 2, vtChar = 3, vtString = 4 };
enum TvcfMetaNumber : uint8_t { vmnNumber = 0, vmnAllele = 1, vmnGenotype = 2, vmnUnknown = 3 };
enum TvcfMetaDefTags : uint8_t { mdID = 0, mdIdx = 1, mdType = 2, mdNumber = 3, mdDescr = 4 };
enum TvcfGenotypePhase : uint8_t { gpUnphased = 0, gpPhased = 1 };
enum TVcfStrDictKind : uint8_t { sdGeneral = 0, sdContig = 1 };

inline constexpr std::array<std::string_view, 8> vcfHdrFixedCol = {
    "#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO"};
inline constexpr std::array<std::string_view, 9> vcfHdrPredefCol = {
    "#CHROM", "POS", "ID", "REF", "ALT", "QUAL", "FILTER", "INFO", "FORMAT"};
inline constexpr std::array<std::string_view, 5> vcfTypeStr = {"Integer", "Float", "Flag",
                                                               "Character", "String"};
inline constexpr std::array<std::string_view, 5> vcfMetaDefTags = {"ID", "IDX", "Type", "Number",
                                                                   "Description"};
inline constexpr std::string_view vcfMetaTagSpecialNumberCh = "?AG.";

inline constexpr std::array<std::string_view, 29> vcfiReservedINFOKeys = {
    "AA",  "AC",  "AF",  "AN",  "BQ",   "CIGAR",   "DB",        "DP",    "END", "H2",
    "H3",  "MQ",  "MQ0", "NS",  "SB",   "SOMATIC", "VALIDATED", "1000G", "I16", "INDEL",
    "DP4", "PV4", "FQ",  "AF1", "CI95", "PC2",     "PCHI2",     "QCHI2", "RP"};
inline constexpr uint32_t kiCustom = 29;

inline constexpr std::array<std::string_view, 18> vcfgReservedGenotypeKeys = {
    "GT", "DP", "FT", "GL", "GLE", "PL",  "GP",   "GQ",  "HQ",
    "PS", "PQ", "EC", "MQ", "SP",  "IBD", "_IBD", "_GT", "_HQ"};
inline constexpr uint32_t kgCustom1 = 18;

inline constexpr char vcfInfoKeyItemDelimCh = ';';
inline constexpr char vcfInfoKeyAssignmentCh = '=';
inline constexpr char vcfInfoKeyListDelimCh = ',';
inline constexpr char vcfGenotypeKeyItemDelimCh = ':';
inline constexpr std::array<char, 2> vcfgGenotypePhaseDelimiter = {'/', '|'};

inline constexpr uint32_t MissingAlleleNo = 0xFFFFFFFFu;
inline constexpr uint32_t vcfNone32 = 0xFFFFFFFFu;
inline constexpr uint64_t vcfNone64 = ~uint64_t(0);

// The order of sorted name lists throughout the VCF engine: shorter first, then bytes.
inline bool VcfNameLess(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

// Compression of a file's bytes as the loader sees it.
enum class TVcfCompression : uint8_t { None = 0, Gzip = 1, Bgzf = 2 };
std::string_view VcfCompressionName(TVcfCompression c);
