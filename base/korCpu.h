// Processor identification and the choice of routine variants for this processor.
#pragma once

#include <cstdint>
#include <string>

enum TSIMDLevel : uint8_t {
  NoSIMD = 0,
  MMX = 1,
  SSE = 2,
  SSE2 = 3,
  SSE3 = 4,
  SSSE3 = 5,
  SSE4_1 = 6,
  SSE4_2 = 7,
  AVX = 8,
  FMA = 9,
  AVX2 = 10,
  AVX512 = 11
};

// The raw register values of the CPUID leaves we read, and XCR0. Filled from the hardware by
// ReadCPUIDLeaves, or by hand in tests to describe any processor.
struct TCPUIDLeaves {
  struct TRegs {
    uint32_t EAX = 0, EBX = 0, ECX = 0, EDX = 0;
  };
  bool Available = false;
  TRegs L0, L1, L6, L7, LE0, LE1, LE2, LE3, LE4;  // leaves 0, 1, 6, 7, 0x80000000..0x80000004
  uint64_t XCR0 = 0;                              // only meaningful when L1 ECX bit 27 is set
};

struct TCPUIdentification {
  bool CPUID_Available = false;
  std::string CPUstring;  // vendor, 12 characters
  uint32_t MaxInputEAX = 0;
  bool HasExtFs = false;
  bool HasFPU = false, HasCMOV = false, HasMMX = false, HasSSE = false, HasSSE2 = false;
  bool HasSSE3 = false, HasSSSE3 = false, HasSSE4_1 = false, HasSSE4_2 = false, HasAVX = false;
  bool HasAES = false, HasFMA = false;
  bool HasAVX2 = false, HasAVX512 = false, HasAVX512CD = false, HasAVX512ER = false,
       HasAVX512PF = false;
  bool HasXSTORE = false, HasMOVBE = false, HasCLFLUSH = false, HasMultibyteNOP = false;
  bool HasINVPCID = false, HasLZCNT = false;
  bool OSEnabledXSAVE = false, OSEnabledYMM = false, OSEnabledZMM = false;
  bool HasSHA = false, HasMPX = false, HasADX = false, HasRDSEED = false, HasPREFETCHW = false;
  bool HasAmdSSE4a = false, HasAmdXOP = false, HasAmdFMA4 = false, HasAmdCVT16 = false;
  bool HasTSC = false, HasMSR = false, HasAPIC = false, HasX2APIC = false, HasCMPXCHG8 = false;
  bool HasCMPXCHG16 = false, HasXSAVE = false, HasPCLMULQDQ = false, HasPOPCNT = false,
       HasF16C = false, HasRDRAND = false;
  bool HasFSGSBase = false, HasBMI1 = false, HasBMI2 = false, HasTurboBoost = false;
  bool HasRTM = false, HasHLE = false, HasERMSB = false;
  // Highest level whose features and all lower levels' features are present (after the
  // operating-system caps). On real processors this equals the count of present features.
  TSIMDLevel SIMDVersion = NoSIMD;
  uint32_t MaxExtInputEAX = 0;
  bool HasHTT = false;
  bool HasEM64T = false, HasAmdMMXext = false, HasAmd3DNOW = false, HasAmd3DNOWext = false;
  uint16_t CacheLineSize_CLFLUSH = 32;
  std::string CPUBrandString;
};

// Hardware access (all false / empty on processors without CPUID).
bool CpuidAvailable();
TCPUIDLeaves ReadCPUIDLeaves();
// Decodes a set of leaves into the identification record (pure; used with synthetic records).
TCPUIdentification DecodeCPUID(const TCPUIDLeaves& leaves);
TCPUIdentification GetCPUID();
std::string GetCPUBrandString();
double GetCPUNominalMaxFrq(const std::string& brand);
bool OSEnabledXmmYmm();
bool OSEnabledXmmYmmZmm();

// Selection settings (process-wide). A manual selection uses them as they are, so a caller
// may lower them to force slower variants. AllowSSE is a ceiling: a variant is installed only
// when its level is within AllowSSE and the processor has every feature its code uses.
extern TSIMDLevel AllowSSE;
extern bool AllowCMOV;
extern bool AllowPOPCNT;
extern bool UseERMSB;
extern bool UseBMI;
extern bool AutoFastRoutinesSet;
// The processor the selection checks features against (detected on first use).
const TCPUIdentification& SelectionCPU();

struct TRoutineSettings {
  TSIMDLevel AllowSSE = NoSIMD;
  bool AllowCMOV = false, AllowPOPCNT = false, UseERMSB = false, UseBMI = false;
};
TRoutineSettings SettingsFromCPU(const TCPUIdentification& cpu);

void SetupCPUSpecs();
void SetupFastRoutines(bool manual);
// Convenience for diagnostics and tests: lower the selection to at most `level` (NoSIMD turns
// the POPCNT, CMOV, ERMSB and BMI flags off too) and select manually.
void ForceRoutineLevel(TSIMDLevel level);
