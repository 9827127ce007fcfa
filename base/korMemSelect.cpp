// Choice of routine variants: a table of every compiled variant with the processor features
// its code uses; each family gets its best variant whose features are all present and allowed.
#include <cstring>
#include <vector>

#include "base/korMem.h"
#include "base/korMemX86.h"
#include "base/korNum.h"

namespace {

enum TNeed : uint32_t {
  kNone = 0,
  kSSE2 = 1u << 0,
  kSSE3 = 1u << 1,
  kSSSE3 = 1u << 2,
  kSSE42 = 1u << 3,  // with SSE4.1
  kAVX = 1u << 4,    // with the operating system saving YMM state
  kAVX2 = 1u << 5,
  kPOPCNT = 1u << 6,
  kERMSB = 1u << 7,
  kBMI = 1u << 8,  // BMI1 and BMI2
  kCMOV = 1u << 9,
};
constexpr uint32_t kToSSE3 = kSSE2 | kSSE3;
constexpr uint32_t kToSSSE3 = kToSSE3 | kSSSE3;
constexpr uint32_t kToSSE42 = kToSSSE3 | kSSE42 | kPOPCNT;
constexpr uint32_t kToAVX = kToSSE42 | kAVX;
constexpr uint32_t kToAVX2 = kToAVX | kAVX2;

struct TEntry {
  const char* Family;
  const char* Name;
  void (*Proc)();
  uint32_t Needs;
};

template <class F>
void (*G(F f))() {
  return reinterpret_cast<void (*)()>(f);
}

#define V(fam, fn, needs) \
  { #fam, #fn, G(fn), needs }

// Within a family, later entries are preferred when usable. Built on first use, so the
// selection at start-up never meets an uninitialised table.
const std::vector<TEntry>& Variants() {
  static const std::vector<TEntry> kVariants = {
      V(CpyMem, CpyMem, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(CpyMem, AF_CpyMem_SSE2, kSSE2),
      V(CpyMem, AF_CpyMem_SSSE3, kToSSSE3),
      V(CpyMem, CpyMem_ERMSB, kERMSB),
#endif
      V(MovMem, MovMem, kNone),
      V(CpyMemMskBf, CpyMemMskBf, kNone),
      V(MinD, minD, kNone),
      V(MinD, minD_C, kCMOV),
      V(MaxD, maxD, kNone),
      V(MaxD, maxD_C, kCMOV),
      V(MinN, minN, kNone),
      V(MinN, minN_C, kCMOV),
      V(MaxN, maxN, kNone),
      V(MaxN, maxN_C, kCMOV),
      V(MinID, minID, kNone),
      V(MinID, minID_C, kCMOV),
      V(MaxID, maxID, kNone),
      V(MaxID, maxID_C, kCMOV),
      V(LimitMinMaxD, LimitMinMaxD, kNone),
      V(LimitMinMaxD, LimitMinMaxD_C, kCMOV),
      V(LimitMinMaxID, LimitMinMaxID, kNone),
      V(LimitMinMaxID, LimitMinMaxID_C, kCMOV),
      V(CntBitsB, CntBitsB, kNone),
      V(CntBitsD, CntBitsD, kNone),
      V(CntMemBitsB, CntMemBitsB, kNone),
      V(CntMemB, CntMemB, kNone),
      V(CntEqB, CntEqB, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(CntBitsB, CntBitsB_POPCNT, kPOPCNT),
      V(CntBitsD, CntBitsD_POPCNT, kPOPCNT),
      V(CntMemBitsB, CntMemBitsB_POPCNT, kPOPCNT),
      V(CntMemB, CntMemB_SSE2, kSSE2),
      V(CntMemB, CntMemB_SSSE3, kToSSSE3),
      V(CntMemB, CntMemB_SSSE3_POPCNT, kToSSSE3 | kPOPCNT),
      V(CntMemB, CntMemB_AVX2, kToAVX2),
      V(CntEqB, CntEqB_SSE2, kSSE2),
      V(CntEqB, CntEqB_SSE3_POPCNT, kToSSSE3 | kPOPCNT),
#endif
      V(ScnMemBf, ScnMemBf, kNone),
      V(ScnMemBr, ScnMemBr, kNone),
      V(ScnMemNtBf, ScnMemNtBf, kNone),
      V(ScnMemNtBr, ScnMemNtBr, kNone),
      V(ScnMemDf, ScnMemDf, kNone),
      V(ScnMemGTiBf, ScnMemGTiBf, kNone),
      V(ScnMemLTEiBf, ScnMemLTEiBf, kNone),
      V(ScnNtEqBf, ScnNtEqBf, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(ScnMemBf, ScnMemBf_SSE2, kSSE2),
      V(ScnMemBf, ScnMemBf_SSSE3, kToSSSE3),
      V(ScnMemBf, ScnMemBf_AVX, kToAVX),
      V(ScnMemBf, ScnMemBf_AVX2, kToAVX2),
      V(ScnMemBr, ScnMemBr_SSE2, kSSE2),
      V(ScnMemBr, ScnMemBr_SSSE3, kToSSSE3),
      V(ScnMemNtBf, ScnMemNtBf_SSE2, kSSE2),
      V(ScnMemNtBf, ScnMemNtBf_SSSE3, kToSSSE3),
      V(ScnMemNtBr, ScnMemNtBr_SSE2, kSSE2),
      V(ScnMemNtBr, ScnMemNtBr_SSSE3, kToSSSE3),
      V(ScnMemDf, ScnMemDf_SSE2, kSSE2),
      V(ScnMemDf, ScnMemDf_SSSE3, kToSSSE3),
      V(ScnMemGTiBf, ScnMemGTiBf_SSE2, kSSE2),
      V(ScnMemLTEiBf, ScnMemLTEiBf_SSE2, kSSE2),
      V(ScnNtEqBf, ScnNtEqBf_SSE2, kSSE2),
#endif
      V(ScnMemAnySBf, ScnMemAnySBf, kNone),
      V(ScnMemAnySBr, ScnMemAnySBr, kNone),
      V(ScnMemAnyNtSBf, ScnMemAnyNtSBf, kNone),
      V(ScnMemAnyNtSBr, ScnMemAnyNtSBr, kNone),
      V(SumMemDbl, SumMemDbl, kNone),
      V(MemAndB, MemAndB, kNone),
      V(MemOrB, MemOrB, kNone),
      V(MemXorB, MemXOrB, kNone),
      V(MemAddB, MemAddB, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(MemAndB, MemAndB_SSE2, kSSE2),
      V(MemOrB, MemOrB_SSE2, kSSE2),
      V(MemXorB, MemXOrB_SSE2, kSSE2),
      V(MemAddB, MemAddB_SSE2, kSSE2),
#endif
      V(MemAddCnsB, MemAddCnsB, kNone),
      V(MemNotB, MemNotB, kNone),
      V(RepValB, RepValB, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(RepValB, RepValB_SSE2, kSSE2),
      V(RepValB, RepValB_SSSE3, kToSSSE3),
      V(RepValB, RepValB_ERMSB, kERMSB),
#endif
      V(RepValD, RepValD, kNone),
      V(FndStrBf, FndStrBf, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(FndStrBf, FndStrBf_SSE4_2_CMOV, kToSSE42 | kCMOV),
#endif
      V(FndStrBr, FndStrBr, kNone),
      V(RplMemB, RplMemB, kNone),
      V(RplMemAnySB, RplMemAnySB, kNone),
      V(RmvMemB, RmvMemB, kNone),
      V(RmvMemAnySB, RmvMemAnySB, kNone),
      V(RmvCscB, RmvCscB, kNone),
      V(RevMemB, RevMemB, kNone),
      V(MemOrderBf, MemOrderBf, kNone),
      V(XtrBitsD, XtrBitsD_noBMI, kNone),
      V(InsBitsD, InsBitsD_noBMI, kNone),
#ifdef ZEL_HAVE_X86_VARIANTS
      V(XtrBitsD, XtrBitsD_BMI1, kBMI),
      V(InsBitsD, InsBitsD_BMI1_BMI2, kBMI),
#endif
  };
  return kVariants;
}
#undef V

bool Usable(uint32_t needs, const TCPUIdentification& c, const TRoutineSettings& s) {
  const int lvl = s.AllowSSE;
  if ((needs & kSSE2) && !(lvl >= SSE2 && c.HasSSE2)) return false;
  if ((needs & kSSE3) && !(lvl >= SSE3 && c.HasSSE3)) return false;
  if ((needs & kSSSE3) && !(lvl >= SSSE3 && c.HasSSSE3)) return false;
  if ((needs & kSSE42) && !(lvl >= SSE4_2 && c.HasSSE4_1 && c.HasSSE4_2)) return false;
  if ((needs & kAVX) && !(lvl >= AVX && c.HasAVX && c.OSEnabledYMM)) return false;
  if ((needs & kAVX2) && !(lvl >= AVX2 && c.HasAVX2)) return false;
  if ((needs & kPOPCNT) && !(s.AllowPOPCNT && c.HasPOPCNT)) return false;
  if ((needs & kERMSB) && !(s.UseERMSB && c.HasERMSB)) return false;
  if ((needs & kBMI) && !(s.UseBMI && c.HasBMI1 && c.HasBMI2)) return false;
  if ((needs & kCMOV) && !(s.AllowCMOV && c.HasCMOV)) return false;
  return true;
}

template <class F>
void Pick(F& slot, const char* family, const TCPUIdentification& c, const TRoutineSettings& s) {
  for (const TEntry& e : Variants())
    if (std::strcmp(e.Family, family) == 0 && Usable(e.Needs, c, s))
      slot = reinterpret_cast<F>(e.Proc);
}

}  // namespace

TFastRoutines SelectFastRoutines(const TCPUIdentification& c, const TRoutineSettings& s) {
  TFastRoutines r = PortableRoutines();
#define P(field) Pick(r.field, #field, c, s)
  P(CpyMem);
  P(MovMem);
  P(CpyMemMskBf);
  P(MinD);
  P(MaxD);
  P(MinN);
  P(MaxN);
  P(MinID);
  P(MaxID);
  P(LimitMinMaxD);
  P(LimitMinMaxID);
  P(CntBitsB);
  P(CntBitsD);
  P(CntMemBitsB);
  P(CntMemB);
  P(CntEqB);
  P(ScnMemBf);
  P(ScnMemBr);
  P(ScnMemNtBf);
  P(ScnMemNtBr);
  P(ScnMemGTiBf);
  P(ScnMemLTEiBf);
  P(ScnMemDf);
  P(ScnNtEqBf);
  P(ScnMemAnySBf);
  P(ScnMemAnySBr);
  P(ScnMemAnyNtSBf);
  P(ScnMemAnyNtSBr);
  P(SumMemDbl);
  P(MemAndB);
  P(MemOrB);
  P(MemXorB);
  P(MemAddB);
  P(MemAddCnsB);
  P(MemNotB);
  P(RepValB);
  P(RepValD);
  P(FndStrBf);
  P(FndStrBr);
  P(RplMemB);
  P(RplMemAnySB);
  P(RmvMemB);
  P(RmvMemAnySB);
  P(RmvCscB);
  P(RevMemB);
  P(MemOrderBf);
  P(XtrBitsD);
  P(InsBitsD);
#undef P
  return r;
}

std::vector<TRoutineVariant> RunnableVariants(const TCPUIdentification& cpu) {
  const TRoutineSettings s = SettingsFromCPU(cpu);
  std::vector<TRoutineVariant> out;
  for (const TEntry& e : Variants())
    if (Usable(e.Needs, cpu, s)) out.push_back({e.Family, e.Name, e.Proc});
  return out;
}

const char* RoutineVariantName(void (*proc)()) {
  for (const TEntry& e : Variants())
    if (e.Proc == proc) return e.Name;
  return "?";
}

// ---- Family setters: install the choice for one family of pointers ----

namespace {
TFastRoutines ChoiceFor(TSIMDLevel sse, bool cmov, bool popcnt, bool ermsb, bool bmi) {
  TRoutineSettings s;
  s.AllowSSE = sse;
  s.AllowCMOV = cmov;
  s.AllowPOPCNT = popcnt;
  s.UseERMSB = ermsb;
  s.UseBMI = bmi;
  return SelectFastRoutines(SelectionCPU(), s);
}
}  // namespace

void SetupCpyMem(TSIMDLevel allowSSE, bool allowCMOV, bool useERMSB) {
  InstallFamily(TRoutineFamily::CpyMem, ChoiceFor(allowSSE, allowCMOV, false, useERMSB, false));
}

void SetupMinMax(bool allowCMOV) {
  InstallFamily(TRoutineFamily::MinMax, ChoiceFor(NoSIMD, allowCMOV, false, false, false));
}

void SetupCntBits(bool allowPOPCNT) {
  InstallFamily(TRoutineFamily::CntBits, ChoiceFor(NoSIMD, false, allowPOPCNT, false, false));
}

void SetupCntMemB(TSIMDLevel allowSSE, bool allowPOPCNT) {
  InstallFamily(TRoutineFamily::CntMemB, ChoiceFor(allowSSE, false, allowPOPCNT, false, false));
}

void SetupCntEqB(TSIMDLevel allowSSE, bool allowPOPCNT) {
  InstallFamily(TRoutineFamily::CntEqB, ChoiceFor(allowSSE, false, allowPOPCNT, false, false));
}

void SetupScnMem(TSIMDLevel allowSSE) {
  // The AVX2 forms also use POPCNT, which every AVX2 processor has.
  InstallFamily(TRoutineFamily::ScnMem, ChoiceFor(allowSSE, false, true, false, false));
}

void SetupRepVal(TSIMDLevel allowSSE, bool useERMSB) {
  InstallFamily(TRoutineFamily::RepVal, ChoiceFor(allowSSE, false, false, useERMSB, false));
}

void SetupMemOp(TSIMDLevel allowSSE) {
  InstallFamily(TRoutineFamily::MemOp, ChoiceFor(allowSSE, false, false, false, false));
}

void SetupFndStr(TSIMDLevel allowSSE) {
  InstallFamily(TRoutineFamily::FndStr, ChoiceFor(allowSSE, AllowCMOV, true, false, false));
}

void SetupRmvMem(TSIMDLevel allowSSE) {
  InstallFamily(TRoutineFamily::RmvMem, ChoiceFor(allowSSE, false, false, false, false));
}

void SetupRplMem(TSIMDLevel allowSSE) {
  InstallFamily(TRoutineFamily::RplMem, ChoiceFor(allowSSE, false, false, false, false));
}

void SetupBitManip(bool useBMI) {
  InstallFamily(TRoutineFamily::BitManip, ChoiceFor(NoSIMD, false, false, false, useBMI));
}
