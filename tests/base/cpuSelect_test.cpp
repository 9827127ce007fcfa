// Processor decoding and routine selection from synthetic CPUID records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/korCpu.h"
#include "base/korMem.h"
#include "base/korMemX86.h"

namespace {

enum TFeat {
  fMMX,
  fSSE,
  fSSE2,
  fSSE3,
  fSSSE3,
  fSSE41,
  fSSE42,
  fAVX,
  fFMA,
  fAVX2,
  fAVX512,
  fPOPCNT,
  fCMOV,
  fERMSB,
  fBMI1,
  fBMI2,
  fXSAVE
};

struct TRecord {
  TCPUIDLeaves l;
  TRecord() {
    l.Available = true;
    l.L0.EAX = 7;
    std::memcpy(&l.L0.EBX, "Genu", 4);
    std::memcpy(&l.L0.EDX, "ineI", 4);
    std::memcpy(&l.L0.ECX, "ntel", 4);
    l.LE0.EAX = 0x80000001u;
  }
  TRecord& With(TFeat f) {
    switch (f) {
      case fMMX:
        l.L1.EDX |= 1u << 23;
        break;
      case fSSE:
        l.L1.EDX |= 1u << 25;
        break;
      case fSSE2:
        l.L1.EDX |= 1u << 26;
        break;
      case fCMOV:
        l.L1.EDX |= 1u << 15;
        break;
      case fSSE3:
        l.L1.ECX |= 1u << 0;
        break;
      case fSSSE3:
        l.L1.ECX |= 1u << 9;
        break;
      case fFMA:
        l.L1.ECX |= 1u << 12;
        break;
      case fSSE41:
        l.L1.ECX |= 1u << 19;
        break;
      case fSSE42:
        l.L1.ECX |= 1u << 20;
        break;
      case fPOPCNT:
        l.L1.ECX |= 1u << 23;
        break;
      case fXSAVE:
        l.L1.ECX |= 1u << 27;
        break;
      case fAVX:
        l.L1.ECX |= 1u << 28;
        break;
      case fBMI1:
        l.L7.EBX |= 1u << 3;
        break;
      case fAVX2:
        l.L7.EBX |= 1u << 5;
        break;
      case fBMI2:
        l.L7.EBX |= 1u << 8;
        break;
      case fERMSB:
        l.L7.EBX |= 1u << 9;
        break;
      case fAVX512:
        l.L7.EBX |= 1u << 16;
        break;
    }
    return *this;
  }
  TRecord& Upto(TFeat last) {
    for (int f = fMMX; f <= last; ++f) With(static_cast<TFeat>(f));
    return *this;
  }
  TRecord& Xcr0(uint64_t x) {
    With(fXSAVE);
    l.XCR0 = x;
    return *this;
  }
  TCPUIdentification Cpu() const { return DecodeCPUID(l); }
};

TFastRoutines Select(const TCPUIdentification& c) {
  return SelectFastRoutines(c, SettingsFromCPU(c));
}

TEST(CpuDecode, VendorLevelAndCaps) {
  const auto c = TRecord().Upto(fAVX512).With(fPOPCNT).Xcr0(0xE7).Cpu();
  EXPECT_EQ(c.CPUstring, "GenuineIntel");
  EXPECT_EQ(c.SIMDVersion, AVX512);
  EXPECT_TRUE(c.OSEnabledYMM);
  EXPECT_TRUE(c.OSEnabledZMM);
  // Operating system saves YMM but not ZMM: level 10.
  EXPECT_EQ(TRecord().Upto(fAVX512).Xcr0(0x07).Cpu().SIMDVersion, AVX2);
  // No XSAVE: capped at 7.
  EXPECT_EQ(TRecord().Upto(fAVX2).Cpu().SIMDVersion, SSE4_2);
  // XSAVE on but YMM state not saved: capped at 7.
  EXPECT_EQ(TRecord().Upto(fAVX2).Xcr0(0x03).Cpu().SIMDVersion, SSE4_2);
  // Leaf 7 flags stay false when the processor has no leaf 7.
  TRecord r;
  r.Upto(fAVX2);
  r.l.L0.EAX = 6;
  EXPECT_FALSE(r.Cpu().HasAVX2);
}

TEST(CpuDecode, CacheLineAndFamily) {
  TRecord r;
  r.l.L1.EDX |= 1u << 19;
  r.l.L1.EBX = 8u << 8;
  r.l.L1.EAX = 6u << 8;
  const auto c = r.Cpu();
  EXPECT_EQ(c.CacheLineSize_CLFLUSH, 64);
  EXPECT_TRUE(c.HasMultibyteNOP);
  EXPECT_EQ(TRecord().Cpu().CacheLineSize_CLFLUSH, 32);
}

TEST(CpuSelect, NothingKnownMeansPortable) {
  const TCPUIdentification none;
  const TFastRoutines r = Select(none);
  EXPECT_STREQ(VariantName(r.ScnMemBf), "ScnMemBf");
  EXPECT_STREQ(VariantName(r.CntMemB), "CntMemB");
  EXPECT_STREQ(VariantName(r.CpyMem), "CpyMem");
  EXPECT_STREQ(VariantName(r.MinD), "minD");
  EXPECT_STREQ(VariantName(r.XtrBitsD), "XtrBitsD_noBMI");
}

#ifdef ZEL_HAVE_X86_VARIANTS
TEST(CpuSelect, VariantsPerLevelOnRealisticProcessors) {
  struct TCase {
    TRecord rec;
    const char* scan;
    const char* count;
    const char* copy;
    const char* fnd;
  };
  const TCase cases[] = {
      {TRecord().Upto(fSSE2).With(fCMOV), "ScnMemBf_SSE2", "CntMemB_SSE2", "AF_CpyMem_SSE2",
       "FndStrBf"},
      {TRecord().Upto(fSSE41).With(fCMOV), "ScnMemBf_SSSE3", "CntMemB_SSSE3", "AF_CpyMem_SSSE3",
       "FndStrBf"},
      {TRecord().Upto(fSSE42).With(fCMOV).With(fPOPCNT), "ScnMemBf_SSSE3", "CntMemB_SSSE3_POPCNT",
       "AF_CpyMem_SSSE3", "FndStrBf_SSE4_2_CMOV"},
      {TRecord().Upto(fAVX).With(fCMOV).With(fPOPCNT).Xcr0(7), "ScnMemBf_AVX",
       "CntMemB_SSSE3_POPCNT", "AF_CpyMem_SSSE3", "FndStrBf_SSE4_2_CMOV"},
      {TRecord().Upto(fAVX2).With(fCMOV).With(fPOPCNT).With(fERMSB).Xcr0(7), "ScnMemBf_AVX2",
       "CntMemB_AVX2", "CpyMem_ERMSB", "FndStrBf_SSE4_2_CMOV"},
  };
  for (const auto& c : cases) {
    const TFastRoutines r = Select(c.rec.Cpu());
    EXPECT_STREQ(VariantName(r.ScnMemBf), c.scan);
    EXPECT_STREQ(VariantName(r.CntMemB), c.count);
    EXPECT_STREQ(VariantName(r.CpyMem), c.copy);
    EXPECT_STREQ(VariantName(r.FndStrBf), c.fnd);
  }
}

TEST(CpuSelect, AvxWithoutOperatingSystemSupportGetsSse) {
  const auto cpu = TRecord().Upto(fAVX).With(fCMOV).With(fPOPCNT).Cpu();  // no XSAVE
  EXPECT_EQ(cpu.SIMDVersion, SSE4_2);
  const TFastRoutines r = Select(cpu);
  EXPECT_STREQ(VariantName(r.ScnMemBf), "ScnMemBf_SSSE3");
  EXPECT_STREQ(VariantName(r.FndStrBf), "FndStrBf_SSE4_2_CMOV");
}

TEST(CpuSelect, HiddenSsse3NeverGetsSsse3Code) {
  // A virtual machine that shows SSE4.1/4.2 and POPCNT but hides SSSE3.
  const auto cpu = TRecord().Upto(fSSE3).With(fSSE41).With(fSSE42).With(fPOPCNT).With(fCMOV).Cpu();
  EXPECT_EQ(cpu.SIMDVersion, SSE3);
  const TFastRoutines r = Select(cpu);
  EXPECT_STREQ(VariantName(r.ScnMemBf), "ScnMemBf_SSE2");
  EXPECT_STREQ(VariantName(r.CntMemB), "CntMemB_SSE2");
  EXPECT_STREQ(VariantName(r.CpyMem), "AF_CpyMem_SSE2");
  EXPECT_STREQ(VariantName(r.FndStrBf), "FndStrBf");
  // Even a caller that raises the ceiling gets no SSSE3 code.
  TRoutineSettings s = SettingsFromCPU(cpu);
  s.AllowSSE = AVX512;
  EXPECT_STREQ(VariantName(SelectFastRoutines(cpu, s).ScnMemBf), "ScnMemBf_SSE2");
  // AVX2 flag without AVX or OS support never gets AVX2 code.
  auto odd = TRecord().Upto(fSSE42).With(fAVX2).With(fPOPCNT).Cpu();
  s = SettingsFromCPU(odd);
  s.AllowSSE = AVX512;
  EXPECT_STREQ(VariantName(SelectFastRoutines(odd, s).ScnMemBf), "ScnMemBf_SSSE3");
}

TEST(CpuSelect, FlagOverrides) {
  // ERMSB copy even without any vector level.
  auto cpu = TRecord().With(fERMSB).With(fBMI1).With(fBMI2).With(fPOPCNT).Cpu();
  TFastRoutines r = Select(cpu);
  EXPECT_STREQ(VariantName(r.CpyMem), "CpyMem_ERMSB");
  EXPECT_STREQ(VariantName(r.RepValB), "RepValB_ERMSB");
  EXPECT_STREQ(VariantName(r.XtrBitsD), "XtrBitsD_BMI1");
  EXPECT_STREQ(VariantName(r.InsBitsD), "InsBitsD_BMI1_BMI2");
  EXPECT_STREQ(VariantName(r.CntMemBitsB), "CntMemBitsB_POPCNT");
  // BMI1 alone is not enough for the pair.
  cpu = TRecord().With(fBMI1).Cpu();
  EXPECT_STREQ(VariantName(Select(cpu).XtrBitsD), "XtrBitsD_noBMI");
  // CMOV gives the branch-free min/max forms.
  cpu = TRecord().With(fCMOV).Cpu();
  EXPECT_STREQ(VariantName(Select(cpu).MinD), "minD_C");
  EXPECT_STREQ(VariantName(Select(cpu).LimitMinMaxID), "LimitMinMaxID_C");
}

TEST(CpuSelect, ManualSelectionLowersAndAutomaticRestores) {
  const TFastRoutines before = CurrentRoutines();
  AllowSSE = NoSIMD;
  AllowCMOV = AllowPOPCNT = UseERMSB = UseBMI = false;
  SetupFastRoutines(true);
  EXPECT_FALSE(AutoFastRoutinesSet);
  EXPECT_STREQ(VariantName(fScnMemBf), "ScnMemBf");
  EXPECT_STREQ(VariantName(fCpyMem), "CpyMem");
  EXPECT_STREQ(VariantName(fCntBitsD), "CntBitsD");
  EXPECT_STREQ(VariantName(fMinD), "minD");
  SetupFastRoutines(false);  // selects again from detection
  EXPECT_TRUE(AutoFastRoutinesSet);
  InstallRoutines(before);  // keep the suite's forced level
}
#endif

TEST(CpuFrequency, BrandStrings) {
  EXPECT_DOUBLE_EQ(GetCPUNominalMaxFrq("Intel(R) Core(TM) i7-3770 CPU @ 3.40GHz"), 3.4e9);
  EXPECT_DOUBLE_EQ(GetCPUNominalMaxFrq("Some CPU @ 2.6GHz"), 2.6e9);
  EXPECT_DOUBLE_EQ(GetCPUNominalMaxFrq("Some CPU 800MHz"), 8e8);
  EXPECT_EQ(GetCPUNominalMaxFrq("AMD EPYC 7B13 64-Core Processor"), -1);
  EXPECT_EQ(GetCPUNominalMaxFrq("Some CPU @ 3.40 GHz"), -1);
  EXPECT_EQ(GetCPUNominalMaxFrq(""), -1);
}

TEST(CpuDecode, RealProcessorIsConsistent) {
  const TCPUIdentification c = GetCPUID();
#if defined(__x86_64__)
  EXPECT_TRUE(c.CPUID_Available);
  EXPECT_EQ(c.CPUstring.size(), 12u);
  EXPECT_TRUE(c.HasSSE2);
  EXPECT_GE(c.SIMDVersion, SSE2);
#endif
  (void)c;
}

}  // namespace

namespace {
TEST(CpuSelect, ForcedLevelIsInEffect) {
  const char* e = std::getenv("ZEL_CPU_LEVEL");
  if (!e || !*e) GTEST_SKIP() << "no forced level";
  const int level = std::atoi(e);
  if (level == 0) {
    EXPECT_STREQ(VariantName(fScnMemBf), "ScnMemBf");
    EXPECT_STREQ(VariantName(fCntMemB), "CntMemB");
    EXPECT_STREQ(VariantName(fCpyMem), "CpyMem");
    EXPECT_STREQ(VariantName(fCntMemBitsB), "CntMemBitsB");
    EXPECT_STREQ(VariantName(XtrBitsD), "XtrBitsD_noBMI");
  }
#ifdef ZEL_HAVE_X86_VARIANTS
  if (level == SSE2) {
    EXPECT_STREQ(VariantName(fScnMemBf), "ScnMemBf_SSE2");
  }
  if (level == SSSE3 && SelectionCPU().HasSSSE3) {
    EXPECT_STREQ(VariantName(fScnMemBf), "ScnMemBf_SSSE3");
  }
  if (level == AVX2 && SelectionCPU().SIMDVersion >= AVX2) {
    EXPECT_STREQ(VariantName(fScnMemBf), "ScnMemBf_AVX2");
  }
#endif
}
}  // namespace

namespace {
TEST(CpuSelect, FamilySettersTouchOnlyTheirFamily) {
  const TFastRoutines before = CurrentRoutines();
  SetupScnMem(NoSIMD);
  EXPECT_STREQ(VariantName(fScnMemBf), "ScnMemBf");
  EXPECT_EQ(fCntMemB, before.CntMemB);
  SetupCntBits(false);
  EXPECT_STREQ(VariantName(fCntMemBitsB), "CntMemBitsB");
  SetupCpyMem(NoSIMD, false, false);
  EXPECT_STREQ(VariantName(fCpyMem), "CpyMem");
  SetupBitManip(false);
  EXPECT_STREQ(VariantName(XtrBitsD), "XtrBitsD_noBMI");
  InstallRoutines(before);
}
}  // namespace
