// TVCFFile: one VCF file read in place. Opening indexes line starts only; a variant line is
// split into its columns once when first asked and every later access uses those offsets.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "base/zelObject.h"
#include "vcf/bioVCFTypes.h"
#include "vcf/vcfMeta.h"
#include "vcf/vcfText.h"
#include "vcf/vcfXtr.h"

class TVCFFile : public TZelObject {
 public:
  TVCFFile();
  ~TVCFFile() override;

  void InitVCFFields();
  // False when the file cannot be read or holds no "#CHROM" header line; LastError() says
  // why, naming the file. Nothing is logged here.
  bool OpenFile(const std::string& fileName);
  // The same over text in memory (fuzzing, tests).
  bool OpenText(std::string text, const std::string& name = "<memory>");
  const TZelErr& LastError() const { return FLastErr; }
  const std::string& FileName() const { return FFileName; }
  TVcfCompression Compression() const { return FText.Compression(); }

  uint64_t FindHdrRowOfs() const;
  uint64_t HeaderRowLine() const { return FHdrRowOfs; }
  uint32_t NSamples() const { return FNSamples; }
  uint64_t NVariants() const { return FNVariants; }
  std::vector<std::string> SampleNames() const { return FSampleNames; }
  const std::vector<std::string>& SampleNamesRef() const { return FSampleNames; }
  bool SetSampleNames(const std::vector<std::string>& newSampleNames);
  // Line number in the file (from 1) of a variant, for messages.
  uint64_t VariantLineNo(uint64_t v) const { return FHdrRowOfs + 2 + v; }

  std::string GetVariantItemStrRaw(uint64_t v) const { return std::string(VariantLine(v)); }
  std::string_view VariantLine(uint64_t v) const {
    return v < FNVariants ? FText.Line(FHdrRowOfs + 1 + v) : std::string_view();
  }
  // Column c of variant v (empty when either does not exist).
  std::string_view Column(uint64_t v, uint32_t c) const {
    if (!SplitVariant(v) || c >= FNFields) return {};
    return std::string_view(FLine.data() + FCols[c], FCols[c + 1] - 1 - FCols[c]);
  }
  uint32_t NColumns(uint64_t v) const { return SplitVariant(v) ? FNFields : 0; }

  std::string GetMetaText() const;
  std::vector<std::string> ParseMetaText() const;
  bool MakeKeyDir(bool initPredefined, bool makeFromMetaText, bool fallbackToInitPredefinedIfEmpty,
                  std::string_view overrideMetaText = {});
  bool GetInfoKeyDirDefinition(std::string_view key, TvcfKeyDescription& definition,
                               std::vector<TVcfTagValueStr>& tagValuePairs);
  bool GetFmtKeyDirDefinition(std::string_view key, TvcfKeyDescription& definition,
                              std::vector<TVcfTagValueStr>& tagValuePairs);
  const TVcfMetaKeyDir& MetaKeyDir() const { return FMetaKeyDir; }
  // Header definitions that were left out (e.g. an unknown Type), for the command to warn about.
  const std::vector<std::string>& MetaWarnings() const { return FMetaWarnings; }
  bool GuessIsGVCF(bool forceMakeDir, bool updateVCFState);
  bool IsGVcf() const { return FIsGVCF; }

  // Variant selection: one bit per variant.
  void ClearSelection(bool selectAll);
  bool SelectionMade() const { return FSelectionMade; }
  bool IsSelected(uint64_t v) const {
    return v < FNVariants && (FSelection[v >> 6] >> (v & 63)) & 1;
  }
  void SetSelected(uint64_t v, bool on);
  uint64_t NSelected() const;

  // Alleles and classification (from REF, ALT, POS and INFO, read in place).
  std::vector<std::string> GetAlleles(uint64_t v) const;
  uint32_t GetNAlleles(uint64_t v) const;
  bool IsAltAllelePresent(uint64_t v) const;
  bool IsPolymorphic(uint64_t v) const;
  bool IsSNP(uint64_t v) const;
  bool IsBiallelic(uint64_t v) const;
  bool IsTransition(uint64_t v) const;
  bool IsTransversion(uint64_t v) const;
  bool IsIndel(uint64_t v) const;
  bool IsNondegenerate(uint64_t v) const;
  bool HasSymbolicAllele(uint64_t v) const;
  bool HasUnkNonRefAltAllele(uint64_t v) const;
  uint32_t LenRefOnlyBlock(uint64_t v) const;
  bool GetBlockCoord(uint64_t v, uint64_t& blkStartPos, uint64_t& blkEndPos, bool onlyRefOnlyBlocks,
                     bool evalREFLenIfENDless, bool* hasENDTag = nullptr) const;
  // 4x4 matrix, rows and columns A, C, G, T; returns the number of SNPs counted.
  uint64_t GetNucMatrix(double nucTransitionMatrix[4][4], uint64_t from, uint64_t to);

  // INFO and FORMAT values.
  TXtrFuncRes XtrInfokeyValMem(uint64_t v, const std::vector<std::string>& tags,
                               std::vector<TXtrInfFuncParam>& inOutParams) const;
  // Every call first resets all reported slots to the missing value (or zero bytes).
  TXtrFuncRes XtrGtKeyMem(uint64_t v, const std::vector<std::string>& tags,
                          std::vector<TXtrFmtFuncParam>& inOutParams,
                          std::span<const uint32_t> samplesToReport = {},
                          TXtrGtReport* report = nullptr) const;
  // Genotypes of variant v. Every call first resets all outputs: counts 0, alleles missing,
  // ploidy 0, unphased. Calls naming alleles beyond the site's or a placeholder read as missing
  // (counted in report). Allele numbers follow GetAlleles' order. Any output may be null.
  TXtrFuncRes XtrGenotypeMem(uint64_t v, uint8_t allocatedAlleles, uint32_t* alleleCountTable,
                             uint32_t* sampleAlleleList, uint32_t* actualNAlleles,
                             bool alleleListSampleFirst, bool* phaseList,
                             std::span<const uint32_t> samplesToReport = {},
                             TXtrGtReport* report = nullptr) const;
  std::vector<std::string> GetInfoKeysPresent(uint64_t fromVariant, uint64_t toVariant);
  std::vector<std::string> GetGtKeysPresent(uint64_t fromVariant, uint64_t toVariant);
  // A call is missing when all its alleles are missing (or it has no usable GT).
  std::vector<uint64_t> SampleSummaryMissingGtCalls(std::span<const uint32_t> samplesToReport = {});

 private:
  bool SplitVariant(uint64_t v) const;
  bool OpenDone(const std::string& name);

  TVcfText FText;
  std::string FFileName;
  TZelErr FLastErr;
  uint64_t FHdrRowOfs = ~uint64_t(0);
  uint32_t FNSamples = 0;
  std::vector<std::string> FSampleNames;
  uint64_t FNVariants = 0;
  TVcfMetaKeyDir FMetaKeyDir;
  std::vector<std::string> FMetaWarnings;
  uint32_t FInfoDir = 0xFFFFFFFFu;
  uint32_t FFmtDir = 0xFFFFFFFFu;
  bool FIsGVCF = false;
  bool FSelectionMade = false;
  std::vector<uint64_t> FSelection;

  // The one split line: its variant, text and column starts.
  mutable uint64_t FSplitVar = ~uint64_t(0);
  mutable std::string_view FLine;
  mutable std::vector<uint32_t> FCols;
  mutable uint32_t FNFields = 0;
  mutable std::vector<uint32_t> FAlleleMap;
};
