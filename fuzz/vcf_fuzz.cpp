// Fuzz target: arbitrary bytes as a VCF file through the line splitter, the header directory,
// the allele questions and INFO/FORMAT/genotype extraction; nothing may crash or read outside.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "vcf/bioVCF.h"
#include "vcf/vcfLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = size ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
  std::vector<uint32_t> cols;
  VcfSplitLine(text.data(), text.size(), cols);

  TVCFFile f;
  if (!f.OpenText(text, "fuzz")) return 0;
  f.MakeKeyDir(false, true, true);
  f.GuessIsGVCF(false, true);
  f.ClearSelection(true);
  const uint32_t n = f.NSamples();
  const uint8_t A = uint8_t(1 + (size % 4));
  std::vector<uint32_t> act(size_t(A) * n), sal(size_t(A) * n), ploidy(n);
  std::vector<uint8_t> phaseBytes(n + 1);
  bool* phase = reinterpret_cast<bool*>(phaseBytes.data());
  std::vector<std::string> ftags{"DP", "GQ", "FT"};
  std::vector<TXtrFmtFuncParam> fp(3);
  fp[0].MakeAndAlloc(xtSInt32, n, {0xff, 0xff, 0xff, 0xff});
  fp[1].MakeAndAlloc(xtUInt8, n, {});
  fp[2].MakeAndAlloc(xtString, n, {'.'}, 8);
  std::vector<std::string> itags{"DP", "AF", "END", "DB"};
  std::vector<TXtrInfFuncParam> ip(4);
  ip[0].Make(xtSInt32, {0, 0, 0, 0}, "");
  ip[1].Make(xtDbl, {}, "");
  ip[2].Make(xtUInt64, {}, "");
  ip[3].Make(xtUInt8, {}, "\x01");
  std::vector<uint32_t> some{0, n ? n - 1 : 0, n + 3};
  std::vector<uint8_t> dose(size_t(2) * n), pairs(n);
  std::vector<uint32_t> depth(n);
  const uint64_t nv = f.NVariants() < 2000 ? f.NVariants() : 2000;
  TXtrGtReport rep;
  for (uint64_t v = 0; v <= nv; ++v) {
    f.XtrGenotypeMem(v, A, act.data(), sal.data(), ploidy.data(), v & 1, phase, {}, &rep);
    if (n)
      f.XtrGenotypeMem(v, A, nullptr, sal.data(), ploidy.data(), true, nullptr, {some.data(), 1});
    f.XtrGtKeyMem(v, ftags, fp, {}, &rep);
    f.XtrGenotypeAndKeysMem(v, A, act.data(), sal.data(), ploidy.data(), !(v & 1), phase, ftags, fp,
                            {}, &rep);
    if (n)
      f.XtrGenotypeAndKeysMem(v, A, nullptr, sal.data(), ploidy.data(), true, nullptr, ftags, fp,
                              {some.data(), std::min<size_t>(some.size(), n)}, &rep);
    f.XtrDosageMem(v, dose.data(), 2, v & 3, nullptr, &rep);
    f.XtrBiallelicCallsMem(v, pairs.data(), (v & 1) ? depth.data() : nullptr, nullptr, &rep);
    f.XtrInfokeyValMem(v, itags, ip);
    f.GetAlleles(v);
    f.GetNAlleles(v);
    f.IsSNP(v);
    f.IsBiallelic(v);
    f.IsTransition(v);
    f.IsIndel(v);
    f.IsNondegenerate(v);
    f.LenRefOnlyBlock(v);
    uint64_t s, e;
    f.GetBlockCoord(v, s, e, false, true);
  }
  double m[4][4];
  f.GetNucMatrix(m, 0, nv);
  f.GetInfoKeysPresent(0, nv);
  f.GetGtKeysPresent(0, nv);
  if (nv < 200) f.SampleSummaryMissingGtCalls();
  return 0;
}
