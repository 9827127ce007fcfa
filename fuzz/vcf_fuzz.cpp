// Fuzz target: arbitrary bytes as a VCF file through the line splitter, the header directory,
// the allele questions and INFO/FORMAT/genotype extraction; nothing may crash or read outside.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "vcf/bioVCF.h"
#include "vcf/vcfCallTally.h"
#include "vcf/vcfLine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = size ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
  std::vector<uint32_t> cols;
  VcfSplitLine(text.data(), text.size(), cols);

  // The call tally of the index pass, fed the lines as a one-thread pass gives them: the
  // first line is the piece's joined line, the rest its own, the last one without a break.
  {
    TVcfCallTallyPlan plan;
    const uint32_t ns = uint32_t(1 + size % 7);
    for (uint32_t s = 0; s < ns; ++s) {
      plan.SampleNames.push_back("s" + std::to_string(s));
      plan.Rows.push_back(s % 3);
    }
    plan.NPops = 2;
    plan.MinDPAll = uint32_t(size % 3);
    plan.MinDPHom = plan.MinDPAll + uint32_t(size % 5);
    TVcfTallyBuilder b(plan);
    b.Slots(1);
    b.Begin(0);
    const size_t firstEnd = std::min(text.find('\n'), text.size());
    size_t pos = firstEnd + 1, lastStart = text.size();
    while (pos < text.size()) {
      const size_t e = text.find('\n', pos);
      if (e == std::string::npos) {
        lastStart = pos;
        break;
      }
      b.Line(0, text.data() + pos, e - pos);
      pos = e + 1;
    }
    if (firstEnd < text.size()) {
      b.Commit(0, text.data(), firstEnd);
      b.End(text.data() + lastStart, text.size() - lastStart);
    } else {
      b.End(text.data(), text.size());
    }
    if (std::unique_ptr<TVcfCallTally> t = b.Finish()) {
      std::vector<uint32_t> counts(2 * 2 * 100);
      for (uint64_t i = 0; i <= t->NLines(); ++i) {
        t->Kind(i);
        t->Name(i);
        if (t->Kind(i) == TVcfTallyKind::Tallied && t->NAlleles(i) <= 9)
          t->CopyCounts(i, counts.data());
      }
    }
  }

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
