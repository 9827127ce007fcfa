// Processor identification through CPUID/XGETBV and the automatic or manual routine selection.
#include "base/korCpu.h"

#include <cstring>

#include "base/korMem.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define ZEL_X86 1
#endif

TSIMDLevel AllowSSE = NoSIMD;
bool AllowCMOV = false;
bool AllowPOPCNT = false;
bool UseERMSB = false;
bool UseBMI = false;
bool AutoFastRoutinesSet = false;

namespace {

bool Bit(uint32_t v, int i) { return (v >> i) & 1; }

#ifdef ZEL_X86
TCPUIDLeaves::TRegs Cpuid(uint32_t leaf, uint32_t sub = 0) {
  TCPUIDLeaves::TRegs r;
  __cpuid_count(leaf, sub, r.EAX, r.EBX, r.ECX, r.EDX);
  return r;
}
uint64_t XGetBV0() {
  uint32_t lo, hi;
  __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
  return (uint64_t(hi) << 32) | lo;
}
#endif

void AppendRegs(std::string& s, uint32_t a) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((a >> (8 * i)) & 0xFF));
}

TCPUIdentification& SelectionCPUMut() {
  static TCPUIdentification cpu = GetCPUID();
  return cpu;
}

}  // namespace

bool CpuidAvailable() {
#ifdef ZEL_X86
  return true;
#else
  return false;
#endif
}

TCPUIDLeaves ReadCPUIDLeaves() {
  TCPUIDLeaves l;
  l.Available = CpuidAvailable();
#ifdef ZEL_X86
  if (!l.Available) return l;
  l.L0 = Cpuid(0);
  l.LE0 = Cpuid(0x80000000u);
  if (l.L0.EAX >= 1) l.L1 = Cpuid(1);
  if (l.L0.EAX >= 6) l.L6 = Cpuid(6);
  if (l.L0.EAX >= 7) l.L7 = Cpuid(7, 0);
  if (l.LE0.EAX >= 0x80000001u) l.LE1 = Cpuid(0x80000001u);
  if (l.LE0.EAX >= 0x80000004u) {
    l.LE2 = Cpuid(0x80000002u);
    l.LE3 = Cpuid(0x80000003u);
    l.LE4 = Cpuid(0x80000004u);
  }
  if (Bit(l.L1.ECX, 27)) l.XCR0 = XGetBV0();
#endif
  return l;
}

TCPUIdentification DecodeCPUID(const TCPUIDLeaves& l) {
  TCPUIdentification c;
  c.CPUID_Available = l.Available;
  if (!l.Available) return c;
  AppendRegs(c.CPUstring, l.L0.EBX);
  AppendRegs(c.CPUstring, l.L0.EDX);
  AppendRegs(c.CPUstring, l.L0.ECX);
  c.MaxInputEAX = l.L0.EAX;
  c.MaxExtInputEAX = l.LE0.EAX;
  c.HasExtFs = l.LE0.EAX != l.L0.EAX;
  const uint32_t d1 = l.L1.EDX, c1 = l.L1.ECX;
  c.HasFPU = Bit(d1, 0);
  c.HasTSC = Bit(d1, 4);
  c.HasMSR = Bit(d1, 5);
  c.HasCMPXCHG8 = Bit(d1, 8);
  c.HasAPIC = Bit(d1, 9);
  c.HasCMOV = Bit(d1, 15);
  c.HasCLFLUSH = Bit(d1, 19);
  c.HasMMX = Bit(d1, 23);
  c.HasSSE = Bit(d1, 25);
  c.HasSSE2 = Bit(d1, 26);
  c.HasHTT = Bit(d1, 28);
  c.HasSSE3 = Bit(c1, 0);
  c.HasPCLMULQDQ = Bit(c1, 1);
  c.HasSSSE3 = Bit(c1, 9);
  c.HasFMA = Bit(c1, 12);
  c.HasCMPXCHG16 = Bit(c1, 13);
  c.HasSSE4_1 = Bit(c1, 19);
  c.HasSSE4_2 = Bit(c1, 20);
  c.HasX2APIC = Bit(c1, 21);
  c.HasMOVBE = Bit(c1, 22);
  c.HasPOPCNT = Bit(c1, 23);
  c.HasAES = Bit(c1, 25);
  c.HasXSAVE = Bit(c1, 26);
  c.OSEnabledXSAVE = Bit(c1, 27);
  c.HasAVX = Bit(c1, 28);
  c.HasF16C = Bit(c1, 29);
  c.HasRDRAND = Bit(c1, 30);
  const uint32_t family = (l.L1.EAX >> 8) & 0xF;
  c.HasMultibyteNOP = family == 6 || family == 15;
  c.CacheLineSize_CLFLUSH = c.HasCLFLUSH ? uint16_t(((l.L1.EBX >> 8) & 0xFF) * 8) : 32;
  if (l.L0.EAX >= 6) c.HasTurboBoost = Bit(l.L6.EAX, 1);
  if (l.L0.EAX >= 7) {
    const uint32_t b7 = l.L7.EBX;
    c.HasFSGSBase = Bit(b7, 0);
    c.HasBMI1 = Bit(b7, 3);
    c.HasHLE = Bit(b7, 4);
    c.HasAVX2 = Bit(b7, 5);
    c.HasBMI2 = Bit(b7, 8);
    c.HasERMSB = Bit(b7, 9);
    c.HasINVPCID = Bit(b7, 10);
    c.HasRTM = Bit(b7, 11);
    c.HasMPX = Bit(b7, 14);
    c.HasAVX512 = Bit(b7, 16);
    c.HasRDSEED = Bit(b7, 18);
    c.HasADX = Bit(b7, 19);
    c.HasAVX512PF = Bit(b7, 26);
    c.HasAVX512ER = Bit(b7, 27);
    c.HasAVX512CD = Bit(b7, 28);
    c.HasSHA = Bit(b7, 29);
  }
  if (l.LE0.EAX >= 0x80000001u) {
    const uint32_t ce = l.LE1.ECX, de = l.LE1.EDX;
    c.HasLZCNT = Bit(ce, 5);
    c.HasAmdSSE4a = Bit(ce, 6);
    c.HasPREFETCHW = Bit(ce, 8);
    c.HasAmdXOP = Bit(ce, 11);
    c.HasAmdFMA4 = Bit(ce, 16);
    c.HasAmdCVT16 = Bit(ce, 18);
    c.HasAmdMMXext = Bit(de, 22);
    c.HasEM64T = Bit(de, 29);
    c.HasAmd3DNOWext = Bit(de, 30);
    c.HasAmd3DNOW = Bit(de, 31);
  }
  // Level: the highest level whose feature and all lower ones are present. A count of present
  // features would hand SSSE3 code to a machine that hides SSSE3 but shows SSE4.2.
  const bool chain[11] = {c.HasMMX,    c.HasSSE, c.HasSSE2, c.HasSSE3, c.HasSSSE3, c.HasSSE4_1,
                          c.HasSSE4_2, c.HasAVX, c.HasFMA,  c.HasAVX2, c.HasAVX512};
  int level = 0;
  while (level < 11 && chain[level]) ++level;
  int cap = 11;
  if (!c.OSEnabledXSAVE) {
    cap = SSE4_2;
  } else {
    c.OSEnabledYMM = (l.XCR0 & 6) == 6;
    if (!c.OSEnabledYMM) {
      cap = SSE4_2;
    } else {
      c.OSEnabledZMM = (l.XCR0 & 0xE0) == 0xE0;
      if (!c.OSEnabledZMM) cap = AVX2;
    }
  }
  c.SIMDVersion = static_cast<TSIMDLevel>(level < cap ? level : cap);
  if (l.LE0.EAX >= 0x80000004u) {
    std::string b;
    for (const auto* r : {&l.LE2, &l.LE3, &l.LE4}) {
      AppendRegs(b, r->EAX);
      AppendRegs(b, r->EBX);
      AppendRegs(b, r->ECX);
      AppendRegs(b, r->EDX);
    }
    const size_t z = b.find('\0');
    if (z != std::string::npos) b.resize(z);
    c.CPUBrandString = b;
  }
  return c;
}

TCPUIdentification GetCPUID() { return DecodeCPUID(ReadCPUIDLeaves()); }

std::string GetCPUBrandString() { return GetCPUID().CPUBrandString; }

double GetCPUNominalMaxFrq(const std::string& brandIn) {
  const std::string b = brandIn.substr(0, 48);
  const int64_t n = static_cast<int64_t>(b.size());
  // 1-based position i with b[i] = 'z' and b[i-1] = 'H', searched from the end down to 3.
  int64_t i = n;
  for (; i >= 3; --i)
    if (b[i - 1] == 'z' && b[i - 2] == 'H') break;
  if (i < 3) return -1;
  const int64_t unitPos = i - 2;  // 1-based position of the unit letter
  double mult;
  switch (b[unitPos - 1]) {
    case 'G':
      mult = 1e9;
      break;
    case 'M':
      mult = 1e6;
      break;
    case 'T':
      mult = 1e12;
      break;
    default:
      return -1;
  }
  std::string digits;
  for (int64_t k = unitPos - 1; k >= 1; --k) {
    const char ch = b[k - 1];
    if (ch == ' ') break;
    if ((ch >= '0' && ch <= '9') || ch == '.') digits.insert(digits.begin(), ch);
  }
  if (digits.empty()) return -1;
  char* end = nullptr;
  const double v = std::strtod(digits.c_str(), &end);
  if (end != digits.c_str() + digits.size()) return -1;
  return v * mult;
}

bool OSEnabledXmmYmm() {
  const TCPUIDLeaves l = ReadCPUIDLeaves();
  return Bit(l.L1.ECX, 27) && (l.XCR0 & 6) == 6;
}

bool OSEnabledXmmYmmZmm() {
  const TCPUIDLeaves l = ReadCPUIDLeaves();
  return Bit(l.L1.ECX, 27) && (l.XCR0 & 6) == 6 && (l.XCR0 & 0xE0) == 0xE0;
}

const TCPUIdentification& SelectionCPU() { return SelectionCPUMut(); }

TRoutineSettings SettingsFromCPU(const TCPUIdentification& cpu) {
  TRoutineSettings s;
  s.AllowSSE = cpu.SIMDVersion;
  s.AllowCMOV = cpu.HasCMOV;
  s.AllowPOPCNT = cpu.HasPOPCNT;
  s.UseERMSB = cpu.HasERMSB;
  s.UseBMI = cpu.HasBMI1 && cpu.HasBMI2;
  return s;
}

void SetupCPUSpecs() {
  const TRoutineSettings s = SettingsFromCPU(SelectionCPU());
  AllowSSE = s.AllowSSE;
  AllowCMOV = s.AllowCMOV;
  AllowPOPCNT = s.AllowPOPCNT;
  UseERMSB = s.UseERMSB;
  UseBMI = s.UseBMI;
}

void SetupFastRoutines(bool manual) {
  if (!manual) {
    if (AutoFastRoutinesSet) return;
    SetupCPUSpecs();
  }
  TRoutineSettings s;
  s.AllowSSE = AllowSSE;
  s.AllowCMOV = AllowCMOV;
  s.AllowPOPCNT = AllowPOPCNT;
  s.UseERMSB = UseERMSB;
  s.UseBMI = UseBMI;
  InstallRoutines(SelectFastRoutines(SelectionCPU(), s));
  AutoFastRoutinesSet = !manual;
}

void ForceRoutineLevel(TSIMDLevel level) {
  SetupCPUSpecs();
  if (level < AllowSSE) AllowSSE = level;
  if (level == NoSIMD) {
    AllowCMOV = AllowPOPCNT = UseERMSB = UseBMI = false;
  }
  SetupFastRoutines(true);
}
