// Byte-level toolkit: scanning, counting, filling, combining, compacting, copying and bits.
// Hot families are called through the f-pointers below; each starts with the portable variant
// and SetupFastRoutines installs the variant for this processor. All variants of one family
// give the same results. Scans return a 0-based index or -1; counts and lengths are 64-bit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/korCpu.h"
#include "base/korTypes.h"

// ---- Routine pointer types ----
using TScnMemBProc = int64_t (*)(const void* p, uint8_t b, uint64_t len);
using TScnMemIBProc = int64_t (*)(const void* p, int8_t v, uint64_t len);
using TScnMemDProc = int64_t (*)(const void* p, uint32_t v, uint64_t n);
using TScnNtEqBProc = int64_t (*)(const void* a, const void* b, uint64_t len);
using TScnMemSetProc = int64_t (*)(const void* p, const TByteSet& set, uint64_t len);
using TFndStrProc = int64_t (*)(const void* p, const void* pat, uint64_t len, uint64_t patLen);
using TCntMemBProc = uint64_t (*)(const void* p, uint8_t b, uint64_t len);
using TCntEqBProc = uint64_t (*)(const void* a, const void* b, uint64_t len);
using TCntBitsBProc = uint8_t (*)(uint8_t b);
using TCntBitsDProc = uint32_t (*)(uint32_t v);
using TCntMemBitsBProc = uint64_t (*)(const void* p, uint64_t len);
using TSumMemDblProc = double (*)(const double* p, uint64_t n);
using TCpyMemProc = void (*)(const void* src, void* dst, uint64_t len);
using TCpyMemMskProc = uint64_t (*)(const void* src, void* dst, const void* mask, uint64_t len,
                                    uint8_t v);
using TRepValBProc = void (*)(void* p, uint8_t b, uint64_t len);
using TRepValDProc = void (*)(void* p, uint32_t v, uint64_t n);
using TMemOp3Proc = void (*)(const void* a, const void* b, void* dst, uint64_t len);
using TMemAddCnsProc = void (*)(void* p, uint8_t c, uint64_t len);
using TMemNotProc = void (*)(void* p, uint64_t len);
using TRmvMemBProc = uint64_t (*)(const void* src, uint8_t b, uint64_t len, void* dst);
using TRmvMemSetProc = uint64_t (*)(const void* src, const TByteSet& set, uint64_t len, void* dst);
using TRmvCscBProc = uint64_t (*)(const void* src, void* dst, uint8_t b, uint64_t len);
using TRevMemProc = void (*)(void* p, uint64_t len);
using TRplMemBProc = void (*)(void* p, uint8_t oldB, uint8_t newB, uint64_t len);
using TRplMemSetProc = void (*)(void* p, const TByteSet& set, uint8_t newB, uint64_t len);
using TMemOrderProc = TOrder8 (*)(const void* a, const void* b, uint64_t lenA, uint64_t lenB);
using TXtrBitsDProc = uint32_t (*)(uint64_t v, uint8_t start, uint8_t len);
using TInsBitsDProc = uint32_t (*)(uint32_t dest, uint32_t src, uint32_t start, uint32_t len);
using TMinMaxDProc = uint32_t (*)(uint32_t a, uint32_t b);
using TMinMaxNProc = uint64_t (*)(uint64_t a, uint64_t b);
using TMinMaxIDProc = int32_t (*)(int32_t a, int32_t b);
using TLimitDProc = uint32_t (*)(uint32_t v, uint32_t low, uint32_t high);
using TLimitIDProc = int32_t (*)(int32_t v, int32_t low, int32_t high);

// ---- Constant tables ----
extern const uint8_t NBitsInByte[256];
extern const uint64_t NByteSelectionMask[9];
alignas(16) extern const uint8_t SSE_IgnoreMsk48[48];
extern const char HexCharTable[17];

// ---- Portable variants ----
int64_t ScnMemBf(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemBr(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemNtBf(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemNtBr(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemGTiBf(const void* p, int8_t v, uint64_t len);
int64_t ScnMemLTEiBf(const void* p, int8_t v, uint64_t len);
int64_t ScnMemDf(const void* p, uint32_t v, uint64_t n);
int64_t ScnNtEqBf(const void* a, const void* b, uint64_t len);
int64_t ScnMemAnySBf(const void* p, const TByteSet& set, uint64_t len);
int64_t ScnMemAnySBr(const void* p, const TByteSet& set, uint64_t len);
int64_t ScnMemAnyNtSBf(const void* p, const TByteSet& set, uint64_t len);
int64_t ScnMemAnyNtSBr(const void* p, const TByteSet& set, uint64_t len);
int64_t FndStrBf(const void* p, const void* pat, uint64_t len, uint64_t patLen);
int64_t FndStrBr(const void* p, const void* pat, uint64_t len, uint64_t patLen);

uint64_t CntMemB(const void* p, uint8_t b, uint64_t len);
uint64_t CntEqB(const void* a, const void* b, uint64_t len);
uint8_t CntBitsB(uint8_t b);
uint32_t CntBitsD(uint32_t v);
uint64_t CntMemBitsB(const void* p, uint64_t len);
double SumMemDbl(const double* p, uint64_t n);

void RepValB(void* p, uint8_t b, uint64_t len);
void RepValD(void* p, uint32_t v, uint64_t n);
void FillMemIncD(void* p, uint32_t start, uint64_t n);
void FillMemIncN(void* p, uint64_t start, uint64_t n);
std::vector<uint32_t> RepDW(uint32_t v, uint32_t n);
std::vector<void*> RepPtr(void* v, uint32_t n);
// s := the len bytes at p + ofs; len 0 empties s.
void SetStr(std::string& s, const void* p, uint64_t ofs, uint64_t len);

void MemAndB(const void* a, const void* b, void* dst, uint64_t len);
void MemOrB(const void* a, const void* b, void* dst, uint64_t len);
void MemXOrB(const void* a, const void* b, void* dst, uint64_t len);
void MemAddB(const void* a, const void* b, void* dst, uint64_t len);
void MemAddCnsB(void* p, uint8_t c, uint64_t len);
void MemNotB(void* p, uint64_t len);

// Compacting routines return the number of bytes written; dst may equal src.
uint64_t RmvMemB(const void* src, uint8_t b, uint64_t len, void* dst);
uint64_t RmvMemAnySB(const void* src, const TByteSet& set, uint64_t len, void* dst);
uint64_t RmvCscB(const void* src, void* dst, uint8_t b, uint64_t len);
uint64_t CpyMemMskBf(const void* src, void* dst, const void* mask, uint64_t len, uint8_t v);
void RplMemB(void* p, uint8_t oldB, uint8_t newB, uint64_t len);
void RplMemAnySB(void* p, const TByteSet& set, uint8_t newB, uint64_t len);
void XlatMemB(const void* src, void* dst, const uint8_t* table, uint64_t len);
void RevMemB(void* p, uint64_t len);
TByteSet NotSB(const TByteSet& set);
inline TChSet NotSCh(const TChSet& set) { return NotSB(set); }

// Copies always have memmove semantics: overlapping ranges are copied correctly.
void CpyMem(const void* src, void* dst, uint64_t len);
void MovMem(const void* src, void* dst, uint64_t len);
void CpySmallMem(const void* src, void* dst, uint8_t n);
void XChange(void* a, void* b, uint32_t n);
void XchgD(uint32_t& a, uint32_t& b);
void XchgN(uint64_t& a, uint64_t& b);

bool GetMemBit(const void* p, uint64_t i);
bool SetMemBit(void* p, uint64_t i);
bool ClrMemBit(void* p, uint64_t i);
bool ChgMemBit(void* p, uint64_t i, bool v);
bool GetBit(uint32_t v, uint32_t i);
uint8_t ChgBitB(uint8_t b, uint8_t i, bool v);
uint32_t XtrBitsD_noBMI(uint64_t v, uint8_t start, uint8_t len);
uint32_t InsBitsD_noBMI(uint32_t dest, uint32_t src, uint32_t start, uint32_t len);
// Parallel bit extract; uses the instruction when the processor has BMI2.
uint32_t BitPExtD_BMI2(uint32_t v, uint32_t mask);
uint8_t ReqB(uint64_t v);
uint8_t ReqB64(uint64_t v);

TOrder8 MemOrderBf(const void* a, const void* b, uint64_t lenA, uint64_t lenB);
// Item n between delim bytes; see the unit's notes: for n >= 1 the reported stretch includes the
// delimiter before the item and the result is 1, so the item is at pos + result, len - result.
uint8_t fGetPosNthMemItemF(const void* p, uint64_t size, uint64_t n, uint8_t delim, int64_t& pos,
                           uint64_t& len);
inline const void* pAdd(const void* p, int64_t n) { return static_cast<const uint8_t*>(p) + n; }
inline void* pAdd(void* p, int64_t n) { return static_cast<uint8_t*>(p) + n; }
// Bytes to add to p to reach the next multiple of align (a power of two; others are rounded up).
uint32_t MemAlignOfsNext(const void* p, uint32_t align);
inline void SetB(void* p, int64_t i, uint8_t b) { static_cast<uint8_t*>(p)[i] = b; }
inline uint8_t GetB(const void* p, int64_t i) { return static_cast<const uint8_t*>(p)[i]; }
// Atomic compare-and-exchange of *target from expected to newVal, repeated (with a pause hint)
// until it succeeds.
void SpinLoopB(uint8_t expected, uint8_t newVal, uint8_t* target);
// Plain atomic store, to release a lock taken with SpinLoopB.
void SpinReleaseB(uint8_t value, uint8_t* target);

// ---- Routine pointers ----
extern TCpyMemProc fCpyMem, fMovMem;
extern TCpyMemMskProc fCpyMemMskBf;
extern TMinMaxDProc fMinD, fMaxD;
extern TMinMaxNProc fMinN, fMaxN;
extern TMinMaxIDProc fMinID, fMaxID;
extern TLimitDProc fLimitMinMaxD;
extern TLimitIDProc fLimitMinMaxID;
extern TCntBitsBProc fCntBitsB;
extern TCntBitsDProc fCntBitsD;
extern TCntMemBitsBProc fCntMemBitsB;
extern TCntMemBProc fCntMemB;
extern TCntEqBProc fCntEqB;
extern TScnMemBProc fScnMemBf, fScnMemBr, fScnMemNtBf, fScnMemNtBr;
extern TScnMemIBProc fScnMemGTiBf, fScnMemLTEiBf;
extern TScnMemDProc fScnMemDf;
extern TScnNtEqBProc fScnNtEqBf;
extern TScnMemSetProc fScnMemAnySBf, fScnMemAnySBr, fScnMemAnyNtSBf, fScnMemAnyNtSBr;
extern TSumMemDblProc fSumMemDbl;
extern TMemOp3Proc fMemAndB, fMemOrB, fMemXorB, fMemAddB;
extern TMemAddCnsProc fMemAddCnsB;
extern TMemNotProc fMemNotB;
extern TRepValBProc fRepValB;
extern TRepValDProc fRepValD;
extern TFndStrProc fFndStrBf, fFndStrBr;
extern TRplMemBProc fRplMemB;
extern TRplMemSetProc fRplMemAnySB;
extern TRmvMemBProc fRmvMemB;
extern TRmvMemSetProc fRmvMemAnySB;
extern TRmvCscBProc fRmvCscB;
extern TRevMemProc fRevMemB;
extern TMemOrderProc fMemOrderBf;
extern TXtrBitsDProc XtrBitsD;
extern TInsBitsDProc InsBitsD;

// The complete set of routine pointers, so a selection can be computed and inspected without
// installing it.
struct TFastRoutines {
  TCpyMemProc CpyMem, MovMem;
  TCpyMemMskProc CpyMemMskBf;
  TMinMaxDProc MinD, MaxD;
  TMinMaxNProc MinN, MaxN;
  TMinMaxIDProc MinID, MaxID;
  TLimitDProc LimitMinMaxD;
  TLimitIDProc LimitMinMaxID;
  TCntBitsBProc CntBitsB;
  TCntBitsDProc CntBitsD;
  TCntMemBitsBProc CntMemBitsB;
  TCntMemBProc CntMemB;
  TCntEqBProc CntEqB;
  TScnMemBProc ScnMemBf, ScnMemBr, ScnMemNtBf, ScnMemNtBr;
  TScnMemIBProc ScnMemGTiBf, ScnMemLTEiBf;
  TScnMemDProc ScnMemDf;
  TScnNtEqBProc ScnNtEqBf;
  TScnMemSetProc ScnMemAnySBf, ScnMemAnySBr, ScnMemAnyNtSBf, ScnMemAnyNtSBr;
  TSumMemDblProc SumMemDbl;
  TMemOp3Proc MemAndB, MemOrB, MemXorB, MemAddB;
  TMemAddCnsProc MemAddCnsB;
  TMemNotProc MemNotB;
  TRepValBProc RepValB;
  TRepValDProc RepValD;
  TFndStrProc FndStrBf, FndStrBr;
  TRplMemBProc RplMemB;
  TRplMemSetProc RplMemAnySB;
  TRmvMemBProc RmvMemB;
  TRmvMemSetProc RmvMemAnySB;
  TRmvCscBProc RmvCscB;
  TRevMemProc RevMemB;
  TMemOrderProc MemOrderBf;
  TXtrBitsDProc XtrBitsD;
  TInsBitsDProc InsBitsD;
};

TFastRoutines PortableRoutines();
// The variants for a processor and selection settings; every variant needs all features its
// code uses, whatever the level count says.
TFastRoutines SelectFastRoutines(const TCPUIdentification& cpu, const TRoutineSettings& s);
TFastRoutines CurrentRoutines();
void InstallRoutines(const TFastRoutines& r);
// The routine pointers that are chosen together (one family setter each).
enum class TRoutineFamily : uint8_t {
  CpyMem,
  MinMax,
  CntBits,
  CntMemB,
  CntEqB,
  ScnMem,
  RepVal,
  MemOp,
  FndStr,
  RmvMem,
  RplMem,
  BitManip,
  Last = BitManip
};
// Installs the pointers of one family from r.
void InstallFamily(TRoutineFamily f, const TFastRoutines& r);

// Family setters: each installs the choice for its own pointers only (diagnostics; the
// selection at start-up installs all families at once).
void SetupCpyMem(TSIMDLevel allowSSE, bool allowCMOV, bool useERMSB);
void SetupMinMax(bool allowCMOV);
void SetupCntBits(bool allowPOPCNT);
void SetupCntMemB(TSIMDLevel allowSSE, bool allowPOPCNT);
void SetupCntEqB(TSIMDLevel allowSSE, bool allowPOPCNT);
void SetupScnMem(TSIMDLevel allowSSE);
void SetupRepVal(TSIMDLevel allowSSE, bool useERMSB);
void SetupMemOp(TSIMDLevel allowSSE);
void SetupFndStr(TSIMDLevel allowSSE);
void SetupRmvMem(TSIMDLevel allowSSE);
void SetupRplMem(TSIMDLevel allowSSE);
void SetupBitManip(bool useBMI);

// Every variant compiled into this build that the given processor can run, portable ones
// included, by family name (e.g. "ScnMemBf") for differential tests and benchmarks.
struct TRoutineVariant {
  const char* Family;
  const char* Name;
  void (*Proc)();  // cast to the family's pointer type
};
std::vector<TRoutineVariant> RunnableVariants(const TCPUIdentification& cpu);
// Name of the variant a pointer holds, or "?" (reports and tests).
const char* RoutineVariantName(void (*proc)());
template <class F>
const char* VariantName(F proc) {
  return RoutineVariantName(reinterpret_cast<void (*)()>(proc));
}
