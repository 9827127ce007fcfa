// Merging two opened VCF files into the lines of one: the chromosome union, the pairing of
// samples by name, the walk over both files' positions and the handler steps that combine the
// column values. Lines go to a sink as they are made, so a merge never holds its output whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelProgress.h"
#include "vcf/bioVCFTypes.h"

class TVCFFile;

enum TVcfMergeHandlerResult : uint8_t {
  vmMergeOK = 0,
  vmFAILED = 1,
  vmInsufficientMemory = 2,  // out_ActualOutLength holds the length needed; called again
  vmExcludeVariant = 3,
  vmExcludeInfoTag = 4,
  vmExcludeGtTag = 5,
};

enum TVcfMergeErrorCode : uint8_t {
  meOK = 0,
  meInputEmpty = 1,
  meHandler = 2,
  meNoHandler = 3,
  meRefNameError = 4,
  meNoSamplesToCombine = 5,
  meImplicitAssumptionsViolated = 6,
  meMemoryError = 7,
  meLogicError = 8,
  meMiscError = 9,
  meCancelled = 10,  // the progress callback asked to stop
};

enum THandlerCallingConvention : uint8_t { ccRegister = 0, ccStdCall = 1, ccCDecl = 2 };

struct TVcfMergeError {
  uint64_t ErrorLine1 = 0;  // zero-based line index in file 1 of the failing line
  uint64_t ErrorLine2 = 0;
  uint8_t ErrorCol = 0;  // TvcfColType of the failing step
  TVcfMergeErrorCode ErrorKind = meOK;
  TVcfMergeHandlerResult HandlerError = vmMergeOK;
  // Which file took part in the failing line (a line index of a file that did not is 0).
  bool InLine1 = false, InLine2 = false;
  std::string ErrorKey;  // the INFO or FORMAT key of a failing step
  std::string Detail;    // what a check made before the walk or a malformed line says
};

struct TVcfVariantMergeHandlerParams {
  const char* pKeyValueStr1 = nullptr;
  const char* pKeyValueStr2 = nullptr;
  // REF, a tab, ALT: the ALT text starts LRef + 1 bytes after pRefAlt.
  const char* pRefAlt1 = nullptr;
  const char* pRefAlt2 = nullptr;
  uint32_t LKeyValueStr1 = 0, LKeyValueStr2 = 0;
  uint32_t LRef1 = 0, LRef2 = 0;
  uint32_t LAlt1 = 0, LAlt2 = 0;
  char* pDefaultOut = nullptr;
  uint32_t MaxOutLength = 0;
  const char* out_PActualOut = nullptr;
  uint32_t out_ActualOutLength = 0;
  void* ExtraPtr = nullptr;
  uint32_t Pos = 0;
  uint32_t BlockStart1 = 0, BlockStart2 = 0;
  const void* pDebugInfo = nullptr;
  bool gVcfMode = false;
};

struct TVcfMrgExtraPtrWithCounters {
  void* ExtraPointer = nullptr;
  uint32_t InfoCounter = 0;
  uint32_t GtCounter = 0;
  uint32_t SampleCounter = 0;
};

using TVcfMetaMergeHandler = TVcfMergeHandlerResult (*)(
    const char* pMetaText1, const char* pMetaText2, uint32_t lMetaText1, uint32_t lMetaText2,
    std::vector<std::string>& mergedMetaTextLines, void* extraPtr);
using TVcfVariantMergeHandler = TVcfMergeHandlerResult (*)(TVcfVariantMergeHandlerParams& p);

// Where the merged lines go (without line breaks), in order.
class IVcfMergeSink {
 public:
  virtual ~IVcfMergeSink() = default;
  virtual void AddLine(std::string_view line) = 0;
  // Lines the sink held before the merge began: with AppendVcfLines and some, no header.
  virtual uint64_t LinesBefore() const { return 0; }
};

// A sink that keeps the lines (tests, small merges).
class TVcfMergeLines : public IVcfMergeSink {
 public:
  std::vector<std::string> Lines;
  uint64_t Before = 0;
  void AddLine(std::string_view line) override { Lines.emplace_back(line); }
  uint64_t LinesBefore() const override { return Before; }
};

struct TVcfMergeParams {
  TVcfMetaMergeHandler MetaInfoHandler = nullptr;  // none: no meta lines, no header line
  TVcfVariantMergeHandler IdHandler = nullptr, AlleleHandler = nullptr, QualHandler = nullptr,
                          FilterHandler = nullptr;
  std::vector<std::string> InfoKeysToMerge, GtKeysToMerge;
  std::vector<TVcfVariantMergeHandler> InfoKeyHandlers, GtKeyHandlers;
  std::vector<TvcfColType> HandlerOrder;
  std::vector<uint32_t> Vcf1SamplesToInclude, Vcf2SamplesToInclude;  // empty: all
  bool ProcessInfoTagEvenIfAbsent = false;
  bool ProcessGtTagEvenIfAbsent = false;
  uint64_t FromVcf1Variant = 0, ToVcf1Variant = ~uint64_t(0);
  uint64_t FromVcf2Variant = 0, ToVcf2Variant = ~uint64_t(0);
  bool AppendVcfLines = false;
  bool useSelection = false;
  bool ANDCombineLoci = false;
  bool ANDCombineSamples = false;
  void* VariantExtraPtr = nullptr;
  void* MetaExtraPtr = nullptr;
  uint32_t GrowStringsBy = 1000;
  THandlerCallingConvention CC_Handlers = ccRegister;
  bool ExtraPtrExpectsCounters = false;
  bool GvcfModeAuto = false;
  // REF of a block piece that stands alone (its base is unknown); ALT of a piece (empty:
  // the block's own ALT, which is only placeholders).
  std::string OutputUnkRefAllele = "N", OutputUnkAltAllele;
  // Told the records read and walked (of twice the records of both files); its Cancelled
  // stops the merge with meCancelled.
  IZelProgress* Progress = nullptr;
};

// What a merge met besides its result: records at a position both files have whose REF
// alleles do not pair (written on lines of their own, or left out when only shared loci are
// kept), and the lines written.
struct TVcfMergeStats {
  uint64_t DataLines = 0;
  uint64_t UnpairedRecords = 0;
  std::string FirstUnpaired;  // "chrom:pos"
  bool GvcfMode = false;
};

// True when the merge completed. The sink receives the lines made before a failure as well;
// a caller writing a file drops it then.
bool VcfMerge(TVCFFile& vcf1, TVCFFile& vcf2, IVcfMergeSink& out, TVcfMergeError& errorDetails,
              const TVcfMergeParams& p, TVcfMergeStats* stats = nullptr);

// "handler failed", "no handler", ... for messages.
std::string_view VcfMergeErrorName(TVcfMergeErrorCode code);
