// TVCFFile: one VCF file read in place through the indexed text file (plain, gzip or BGZF).
// Opening indexes line starts only; a variant line is split into its columns once when first
// asked and every later access uses those offsets.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/korStruc.h"
#include "base/zelError.h"
#include "base/zelObject.h"
#include "fileaccess/korMMTF.h"
#include "vcf/bioVCFTypes.h"
#include "vcf/vcfCallTally.h"
#include "vcf/vcfFilter.h"
#include "vcf/vcfMeta.h"
#include "vcf/vcfXtr.h"

class TVCFFile : public TZelObject {
 public:
  TVCFFile();
  ~TVCFFile() override;
  TVCFFile(const TVCFFile&) = delete;
  TVCFFile& operator=(const TVCFFile&) = delete;

  void InitVCFFields();
  // False when the file cannot be read or holds no "#CHROM" header line; LastError() says
  // why, naming the file. Nothing is logged here.
  [[nodiscard]] bool OpenFile(const std::string& fileName);
  // Size of the parts a plain file is mapped in by the next OpenFile (0: the default, 1 GiB);
  // small parts let tests cross part boundaries.
  void SetPartSize(uint64_t partSz) { FPartSz = partSz ? partSz : cDefMMFPartSz; }
  // Asks the next OpenFile for a tally of the calls of biallelic lines, made in the pass that
  // indexes the file when that pass decodes it on worker threads (BGZF): the allele count that
  // follows then reads only the lines the tally did not take. Used by that one OpenFile.
  void PlanCallTally(TVcfCallTallyPlan plan) {
    FTallyPlan = std::make_unique<TVcfCallTallyPlan>(std::move(plan));
  }
  // The tally the last OpenFile made for its plan (null: none, or the header named other
  // samples than the plan); records are by line index (VariantItem). Taking it hands it over.
  const TVcfCallTally* CallTally() const { return FCallTally.get(); }
  std::unique_ptr<TVcfCallTally> TakeCallTally() { return std::move(FCallTally); }
  // The same over text in memory (fuzzing, tests); the text is kept, never decoded.
  [[nodiscard]] bool OpenText(std::string text, const std::string& name = "<memory>");
  const TZelErr& LastError() const { return FLastErr; }
  // Warnings of the opened file itself (a BGZF file without its end-of-file block); the
  // loading command logs them.
  std::vector<std::string> FileWarnings() const {
    return FText ? FText->LoadWarnings() : std::vector<std::string>();
  }
  const std::string& FileName() const { return FFileName; }
  TVcfCompression Compression() const { return FCompression; }

  uint64_t FindHdrRowOfs() const;
  uint64_t HeaderRowLine() const { return FHdrRowOfs; }
  uint32_t NSamples() const { return FNSamples; }
  uint64_t NVariants() const { return FNVariants; }
  std::vector<std::string> SampleNames() const { return FSampleNames; }
  const std::vector<std::string>& SampleNamesRef() const { return FSampleNames; }
  bool SetSampleNames(const std::vector<std::string>& newSampleNames);
  // Line number in the file (from 1) of a variant, for messages.
  uint64_t VariantLineNo(uint64_t v) const { return VariantItem(v) + 1; }
  // Line index (from 0) of a variant. Blank lines of the data section are not variants: when
  // there are any, variant numbers skip them.
  uint64_t VariantItem(uint64_t v) const {
    if (FBlankVarsBefore.empty()) return FHdrRowOfs + 1 + v;
    return FHdrRowOfs + 1 + v + BlanksBefore(v);
  }
  // Blank lines of the data section (left out of the variants) and the first one's line number.
  uint64_t NBlankLines() const { return FBlankVarsBefore.size(); }
  uint64_t FirstBlankLineNo() const { return FFirstBlankLineNo; }
  // What opening found worth a warning (blank lines, an empty last field of the #CHROM line,
  // repeated sample names), for the command to log.
  const std::vector<std::string>& OpenWarnings() const { return FOpenWarnings; }
  // A meta or header line longer than this is refused when the file is opened: no real file
  // comes near it, and reading such a line would cost its size in memory.
  static constexpr uint64_t cMaxHeaderLineLen = uint64_t(64) << 20;

  // True when variant v exists and its line is well formed: at least 8 tab-separated columns,
  // POS an integer from 0 to 2^63-1, no control byte other than tab and CR, not a header line.
  // False otherwise; for a malformed line LineError() names the file, the line and the fault
  // (every column of such a line reads as empty).
  bool ReadVariant(uint64_t v) const { return SplitVariant(v); }
  const TZelErr& LineError() const { return FLineErr; }
  // The first malformed line any reader met since the file was opened: readers whose results
  // carry no error (the transition matrix, keys present, missing calls) leave such lines out,
  // and the command that ran them reports this.
  const TZelErr& FirstLineError() const { return FFirstLineErr; }
  // Starts a command's count afresh: the line read last is read (and checked) again.
  void ForgetLineErrors() const {
    FFirstLineErr.Clear();
    FSplitVar = ~uint64_t(0);
  }

  // Views of variant text (VariantLine, Column) stay valid until a different variant is read.
  std::string GetVariantItemStrRaw(uint64_t v) const { return std::string(VariantLine(v)); }
  // Variant v's line without its line break (empty when it does not exist).
  std::string_view VariantLine(uint64_t v) const {
    return SplitVariant(v) ? std::string_view(FLine, FLineLen) : std::string_view();
  }
  // Column c of variant v (empty when either does not exist).
  std::string_view Column(uint64_t v, uint32_t c) const {
    if (!SplitVariant(v) || c >= FNFields) return {};
    return std::string_view(FLine + FCols[c], FCols[c + 1] - 1 - FCols[c]);
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
  // From the header's ALT definitions and the ALT column of the first cGVcfGuessLines
  // variants: a gVCF has its placeholder allele on nearly every line, so the guess never
  // needs the whole file.
  bool GuessIsGVCF(bool forceMakeDir, bool updateVCFState);
  static constexpr uint64_t cGVcfGuessLines = 1000;
  bool IsGVcf() const { return FIsGVCF; }

  // Variant selection: one bit per variant.
  void ClearSelection(bool selectAll);
  bool SelectionMade() const { return FSelectionMade; }
  bool IsSelected(uint64_t v) const { return FSelection.GetFieldBit(v); }
  const TBitField& Selection() const { return FSelection; }
  void SetSelected(uint64_t v, bool on);
  uint64_t NSelected() const;

  // Selection operations, chromosome groups and filters (vcf/vcfSelect.cpp). Ranges are
  // inclusive variant numbers; a "to" beyond the last variant means the last.
  // Set bits, or NVariants while no selection exists.
  uint64_t NVariantsSelected() const;
  // Creates the selection with every bit set when none exists yet.
  void EnsureSelection();
  void Select(const std::vector<bool>& selectedVariants);
  void SelectVariant(uint64_t v, bool selectionValue);
  void InvertSelection();
  // Combines mask (NVariants bits) with the selection; false when the sizes differ.
  bool CombineSelection(const TBitField& mask, TMaskLogic logic);
  bool CrLf() const { return FCrLf; }
  std::vector<std::string> GetSortedUniqueChromNames();
  std::vector<std::string> GetSortedUniqueChromNamesEx(bool useSelectionOnly, uint64_t fromVariant,
                                                       uint64_t toVariant);
  void GetChromGroups(std::vector<std::string>& sortedUniqueChromNames,
                      std::vector<std::vector<uint64_t>>& chromGroups, bool useSelectionOnly,
                      uint64_t fromVariant, uint64_t toVariant);
  void GetAllChromGroups(std::vector<std::string>& sortedUniqueChromNames,
                         std::vector<std::vector<uint64_t>>& chromGroups, bool keepCopy);
  // The cached names and groups of all variants (filled on first use), without copies.
  const std::vector<std::string>& ChromNames();
  const std::vector<std::vector<uint64_t>>& ChromGroups();
  // Chromosome id of a name, or vcfNone64.
  uint64_t FindChrom(std::string_view name);
  void GetAllChromPos(std::vector<std::string>& sortedUniqueChromNames,
                      std::vector<std::vector<uint64_t>>& chromPos, bool ignoreSelection,
                      bool doSort);
  uint64_t GetNVariantsInChrom(uint64_t chromId);
  // The variants of the listed chromosomes as a mask, combined by logic (lSet: only them).
  uint64_t SelectChroms(const std::vector<uint64_t>& chromIDs, TMaskLogic logic = lSet);
  uint64_t SelectChromRangeOnly(uint64_t chromId, uint64_t fromPos, uint64_t toPos,
                                TMaskLogic logic = lSet);
  // Every variant at a listed position is marked, also when several share it.
  void SelectFromChromPos(const std::vector<std::string>& selChromNames,
                          const std::vector<std::vector<uint64_t>>& selChromPos,
                          TMaskLogic selectionMode);
  // -1 (nothing changed) when the number of values is not the number of variants of the mask
  // (of all variants without one) or the mask is not NVariants bits long.
  int64_t SelectVarByValDbl(const std::vector<double>& value, double thresh,
                            const TBitField* val2VarMsk, TComparison cmp, TBool defaultIfNoValue);
  // -1 with err set and the selection unchanged when a key cannot be filtered (not in the
  // header, Number other than 1, no evaluator, a type other than Integer or Float) or a value
  // does not convert; otherwise the number of selected variants.
  virtual int64_t InfoFilters(const std::vector<TVcfFilterItem>& filterTask,
                              TMaskLogic selectionMode, TMaskLogic filterCombMode,
                              uint64_t fromVariant, uint64_t toVariant,
                              const TXtrConversion* typeConversion = nullptr,
                              TZelErr* err = nullptr);
  // Keeps selected only the selected variants whose INFO column holds the key, with or
  // without a value. -1 with err set and the selection unchanged at a malformed line.
  int64_t InfoKeyPresentFilter(const std::string& key, TZelErr* err = nullptr);
  virtual int64_t SampleFilters(const std::vector<TVcfFilterItem>& filterTask,
                                uint32_t minNSamplesToPass,
                                const std::vector<uint32_t>& samplesToCheck,
                                TMaskLogic selectionMode, TMaskLogic filterCombMode,
                                uint64_t fromVariant, uint64_t toVariant,
                                const TXtrConversion* typeConversion = nullptr,
                                TZelErr* err = nullptr);
  virtual int64_t SampleFilter(const TVcfFilterItem& filterItem, uint32_t minNSamplesToPass,
                               const std::vector<uint32_t>& samplesToCheck,
                               TMaskLogic selectionMode, TMaskLogic filterCombMode,
                               uint64_t fromVariant, uint64_t toVariant,
                               const TXtrConversion* typeConversion = nullptr,
                               TZelErr* err = nullptr);
  // Header and selected lines as a VCF holds them; samplesToReport empty: all, as stored.
  std::vector<std::string> GetSelVariantLines(const std::vector<uint32_t>& samplesToReport,
                                              bool includeHeaderLine);
  // CHROM + delim + POS of every selected variant; empty when one of them lacks either.
  std::vector<std::string> GetSelVariantNames(std::string_view delimStr);

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
  // Both of the above in one walk over each call: genotypes as XtrGenotypeMem gives them and
  // the FORMAT values of tags as XtrGtKeyMem gives them. A line without FORMAT is no input
  // error here: every call is missing and every tag absent. On failure report->Fail.Tag tells
  // whether the genotype (vcfNone32) or a tag failed.
  TXtrFuncRes XtrGenotypeAndKeysMem(uint64_t v, uint8_t allocatedAlleles,
                                    uint32_t* alleleCountTable, uint32_t* sampleAlleleList,
                                    uint32_t* actualNAlleles, bool alleleListSampleFirst,
                                    bool* phaseList, const std::vector<std::string>& tags,
                                    std::vector<TXtrFmtFuncParam>& inOutParams,
                                    std::span<const uint32_t> samplesToReport = {},
                                    TXtrGtReport* report = nullptr) const;
  // Dosage of a biallelic diploid call for distance kernels: code[s * stride] of every sample
  // is its number of allele-1 copies (0, 1, 2), or DoseNotScored. A call scores when one
  // allele is 0 or 1 and the other 0, 1 or missing (a half-missing call scores as the
  // homozygous call of its known allele); with minDepth > 0 only when its DP reads as a depth
  // of at least minDepth (absent or not a number: 0). Any call form, read one call at a time:
  // for the lines XtrBiallelicCallsMem does not take. *depthKey: FORMAT names DP.
  static constexpr uint8_t DoseNotScored = 3;
  TXtrFuncRes XtrDosageMem(uint64_t v, uint8_t* code, size_t stride, uint32_t minDepth,
                           bool* depthKey, TXtrGtReport* report = nullptr) const;
  // The calls of a biallelic line in their common form, for allele counting: pair[s] is
  // 3 * first + second allele, each 0, 1 or 2 for missing; depth[s] (when depth is given) the
  // call's DP, 0 when absent, empty or ".". False when any call or DP is in another form (GT
  // not first, other alleles, haploid, placeholders, DP not a plain count): the line is then
  // for the general readers, which give the same values and the errors. *depthKey: FORMAT
  // names DP (also when no depth is asked for).
  bool XtrBiallelicCallsMem(uint64_t v, uint8_t* pair, uint32_t* depth, bool* depthKey,
                            TXtrGtReport* report = nullptr) const;
  std::vector<std::string> GetInfoKeysPresent(uint64_t fromVariant, uint64_t toVariant);
  std::vector<std::string> GetGtKeysPresent(uint64_t fromVariant, uint64_t toVariant);
  // A call is missing when all its alleles are missing (or it has no usable GT).
  std::vector<uint64_t> SampleSummaryMissingGtCalls(std::span<const uint32_t> samplesToReport = {});

 private:
  struct TGtWalk;
  struct TKeyWalk;
  template <bool kGt, bool kKeys>
  TXtrFuncRes WalkCalls(uint64_t v, TGtWalk* gt, TKeyWalk* keys, std::span<const uint32_t> smp,
                        TXtrGtReport* report) const;
  bool SplitVariant(uint64_t v) const;
  void NoteLineShape(uint64_t v, TXtrGtReport* r) const;
  TXtrFuncRes LineFail(uint64_t v, TXtrGtReport* r) const;
  bool CheckSplitLine(uint64_t v, bool ctrl) const;
  uint64_t BlanksBefore(uint64_t v) const;
  bool FindBlankLines();
  bool NoHeaderLineInData(const std::string& name);
  bool ReadHeaderLine(const std::string& name);
  // Line i of the text without its line break (and without a CR before it), for opening. The
  // pointer lies in FText and is valid until FText is next accessed.
  bool LineAt(uint64_t i, const char*& p, uint64_t& len) const;
  bool OpenDone(const std::string& name);
  void CloseText();

  // The indexed text (line breaks as index 0). Once opened, only SplitVariant reads it, so the
  // split line it points into stays valid until another variant is split.
  std::unique_ptr<TMMTF> FText;
  std::unique_ptr<TVcfCallTallyPlan> FTallyPlan;
  std::unique_ptr<TVcfCallTally> FCallTally;
  uint64_t FPartSz = cDefMMFPartSz;
  std::string FMemText;  // the text of OpenText, attached to FText
  uint64_t FNLines = 0;
  TVcfCompression FCompression = TVcfCompression::None;
  std::string FMetaText;  // every byte before the header line, line breaks included
  bool FCrLf = false;
  std::string FFileName;
  TZelErr FLastErr;
  uint64_t FHdrRowOfs = ~uint64_t(0);
  uint32_t FNSamples = 0;
  std::vector<std::string> FSampleNames;
  uint64_t FNVariants = 0;
  // For each blank line of the data section, in order: the number of variants before it.
  std::vector<uint64_t> FBlankVarsBefore;
  uint64_t FFirstBlankLineNo = 0;
  uint32_t FBom = 0;  // bytes of a UTF-8 byte-order mark before the first line
  std::vector<std::string> FOpenWarnings;
  TVcfMetaKeyDir FMetaKeyDir;
  std::vector<std::string> FMetaWarnings;
  uint32_t FInfoDir = 0xFFFFFFFFu;
  uint32_t FFmtDir = 0xFFFFFFFFu;
  bool FIsGVCF = false;
  bool FSelectionMade = false;
  TBitField FSelection;
  // Names and groups of all variants' chromosomes, filled on first use (vcf/vcfSelect.cpp).
  struct TChromCache {
    bool Made = false;
    std::vector<std::string> Names;
    std::vector<std::vector<uint64_t>> Groups;
    void Clear() { *this = TChromCache(); }
  } FChromCache;
  void MakeChromCache();

  // The one split line: its variant, text and column starts.
  mutable uint64_t FSplitVar = ~uint64_t(0);
  mutable const char* FLine = "";
  mutable uint32_t FLineLen = 0;
  mutable std::vector<uint32_t> FCols;
  mutable uint32_t FNFields = 0;
  mutable uint32_t FNColons = 0;   // ':' in the split line
  mutable bool FSplitBad = false;  // the split line is malformed (FLineErr says how)
  mutable TZelErr FLineErr;
  mutable TZelErr FFirstLineErr;
  mutable std::vector<uint32_t> FAlleleMap;
};
