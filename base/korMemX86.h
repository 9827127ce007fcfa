// The processor-specific variants of the byte routines (x86-64 only). Callers use the
// f-pointers of korMem.h; tests and benchmarks name variants through RunnableVariants.
#pragma once

#include <cstdint>

#include "base/korMem.h"

#if defined(__x86_64__)
#define ZEL_HAVE_X86_VARIANTS 1

// SSE2
int64_t ScnMemBf_SSE2(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemBr_SSE2(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemNtBf_SSE2(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemNtBr_SSE2(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemDf_SSE2(const void* p, uint32_t v, uint64_t n);
int64_t ScnMemGTiBf_SSE2(const void* p, int8_t v, uint64_t len);
int64_t ScnMemLTEiBf_SSE2(const void* p, int8_t v, uint64_t len);
int64_t ScnNtEqBf_SSE2(const void* a, const void* b, uint64_t len);
uint64_t CntMemB_SSE2(const void* p, uint8_t b, uint64_t len);
uint64_t CntEqB_SSE2(const void* a, const void* b, uint64_t len);
void RepValB_SSE2(void* p, uint8_t b, uint64_t len);
void MemAndB_SSE2(const void* a, const void* b, void* dst, uint64_t len);
void MemOrB_SSE2(const void* a, const void* b, void* dst, uint64_t len);
void MemXOrB_SSE2(const void* a, const void* b, void* dst, uint64_t len);
void MemAddB_SSE2(const void* a, const void* b, void* dst, uint64_t len);
void AF_CpyMem_SSE2(const void* src, void* dst, uint64_t len);

// SSSE3
int64_t ScnMemBf_SSSE3(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemBr_SSSE3(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemNtBf_SSSE3(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemNtBr_SSSE3(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemDf_SSSE3(const void* p, uint32_t v, uint64_t n);
uint64_t CntMemB_SSSE3(const void* p, uint8_t b, uint64_t len);
void RepValB_SSSE3(void* p, uint8_t b, uint64_t len);
void AF_CpyMem_SSSE3(const void* src, void* dst, uint64_t len);

// POPCNT (with SSSE3)
uint8_t CntBitsB_POPCNT(uint8_t b);
uint32_t CntBitsD_POPCNT(uint32_t v);
uint64_t CntMemBitsB_POPCNT(const void* p, uint64_t len);
uint64_t CntMemB_SSSE3_POPCNT(const void* p, uint8_t b, uint64_t len);
uint64_t CntEqB_SSE3_POPCNT(const void* a, const void* b, uint64_t len);

// SSE4.2
int64_t FndStrBf_SSE4_2_CMOV(const void* p, const void* pat, uint64_t len, uint64_t patLen);

// AVX (VEX-encoded 128-bit) and AVX2 (256-bit)
int64_t ScnMemBf_AVX(const void* p, uint8_t b, uint64_t len);
int64_t ScnMemBf_AVX2(const void* p, uint8_t b, uint64_t len);
uint64_t CntMemB_AVX2(const void* p, uint8_t b, uint64_t len);

// BMI
uint32_t XtrBitsD_BMI1(uint64_t v, uint8_t start, uint8_t len);
uint32_t InsBitsD_BMI1_BMI2(uint32_t dest, uint32_t src, uint32_t start, uint32_t len);

// ERMSB (fast string instructions)
void CpyMem_ERMSB(const void* src, void* dst, uint64_t len);
void RepValB_ERMSB(void* p, uint8_t b, uint64_t len);
#endif
