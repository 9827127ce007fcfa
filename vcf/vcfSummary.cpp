// A quick quality check of a VCF file: every call's GT and DP walked once.
#include "vcf/vcfSummary.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_set>

bool VcfSummariseGenotypes(TVCFFile& vcf, TVcfGtSummary& out, TZelErr& err,
                           IZelProgress* progress) {
  out = TVcfGtSummary();
  err.Clear();
  const uint32_t n = vcf.NSamples();
  const uint64_t nv = vcf.NVariants();
  out.Variants = nv;
  if (n == 0) return true;
  const uint8_t A = 8;  // the largest ploidy read
  std::vector<uint32_t> sal(size_t(A) * n), ploidy(n);
  std::vector<std::string> tags{"DP"};
  std::vector<TXtrFmtFuncParam> dp(1);
  const int32_t kNoDepth = std::numeric_limits<int32_t>::min();
  std::vector<uint8_t> missBytes(4);
  std::memcpy(missBytes.data(), &kNoDepth, 4);
  dp[0].MakeAndAlloc(xtSInt32, n, missBytes);
  // Depth histogram; depths beyond it are kept one by one.
  std::vector<uint64_t> hist(4096, 0);
  std::vector<uint32_t> big;
  std::vector<uint32_t> bigOfLine(n);  // one variant's large depths, kept after its walk
  std::vector<uint64_t> perPloidy(A + 1, 0);
  for (uint64_t v = 0; v < nv; ++v) {
    if (progress && (v & 0xFFFF) == 0) {
      progress->Progress(v, nv);
      if (progress->Cancelled()) {
        err = TZelErr::User("Cancelled");
        return false;
      }
    }
    // GT and DP of each call in one walk over its column.
    TXtrFuncRes r = vcf.XtrGenotypeAndKeysMem(v, A, nullptr, sal.data(), ploidy.data(), true,
                                              nullptr, tags, dp, {}, &out.Report);
    if (r != xtrOK) {
      if (out.Report.LineFault) {
        err = vcf.LineError();
        return false;
      }
      const auto& f = out.Report.Fail;
      const std::string smp = f.Smp < n ? vcf.SampleNamesRef()[f.Smp] : std::string();
      const std::string where =
          vcf.FileName() + ", line " + std::to_string(vcf.VariantLineNo(v)) + ", sample " + smp;
      if (f.Tag != vcfNone32)
        err = TZelErr::User("DP does not read as a depth", where);
      else
        err = TZelErr::User(
            r == xtrErrAlleles ? "Genotype with more than 8 alleles" : "Genotype does not read",
            where);
      return false;
    }
    const bool hasDp = dp[0].TagOfs != 0xFFFFFFFFu;
    const int32_t* depth = reinterpret_cast<const int32_t*>(dp[0].Slot(0));
    // Counted in locals: stores into the histogram would otherwise force every count through
    // memory.
    uint64_t kinds[3] = {0, 0, 0};  // missing, called, partly missing
    uint64_t depthCalls = 0;
    uint32_t nBig = 0;
    // Raw pointers in locals and no call in the loop, so that the loop's values stay in
    // registers.
    uint32_t* const bl = bigOfLine.data();
    uint64_t* const h = hist.data();
    const uint32_t hn = uint32_t(hist.size());
    uint64_t* const pp = perPloidy.data();
    const uint32_t* const pl = ploidy.data();
    const uint32_t* const sl = sal.data();
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t p = pl[i];
      ++pp[p];
      const uint32_t* a = sl + size_t(i) * A;
      uint32_t known;
      if (p == 2) {
        known = uint32_t(a[0] != MissingAlleleNo) + uint32_t(a[1] != MissingAlleleNo);
      } else {
        known = 0;
        for (uint32_t k = 0; k < p; ++k) known += a[k] != MissingAlleleNo;
      }
      ++kinds[known == 0 ? 0 : known == p ? 1 : 2];
      int32_t d;
      std::memcpy(&d, depth + i, 4);
      // The missing mark is negative, as is any depth that means nothing.
      if (hasDp && d >= 0) {
        ++depthCalls;
        if (uint32_t(d) < hn)
          ++h[uint32_t(d)];
        else
          bl[nBig++] = uint32_t(d);
      }
    }
    if (nBig) big.insert(big.end(), bl, bl + nBig);
    out.Missing += kinds[0];
    out.Called += kinds[1];
    out.PartlyMissing += kinds[2];
    out.DepthCalls += depthCalls;
    out.DepthAbsent += n - depthCalls;
  }
  out.Calls = nv * n;
  for (uint32_t p = 0; p <= A; ++p)
    if (perPloidy[p]) out.CallsPerPloidy[p] = perPloidy[p];
  if (out.DepthCalls > 0) {
    std::sort(big.begin(), big.end());
    for (double q : {0.0, 0.05, 0.25, 0.5, 0.75, 0.95, 1.0}) {
      // Nearest rank: the smallest depth with at least q of the calls at or below it.
      uint64_t rank = std::max<uint64_t>(1, uint64_t(q * double(out.DepthCalls) + 0.999999));
      rank = std::min(rank, out.DepthCalls);
      uint64_t seen = 0;
      uint32_t value = 0;
      bool found = false;
      for (uint32_t d = 0; d < hist.size() && !found; ++d) {
        seen += hist[d];
        if (seen >= rank) {
          value = d;
          found = true;
        }
      }
      if (!found) value = big[rank - seen - 1];
      out.DepthQuantiles.push_back(value);
    }
  }
  if (progress) progress->Progress(nv, nv);
  return true;
}

std::vector<std::string> VcfContigNames(TVCFFile& vcf, bool* fromHeader, TZelErr* err) {
  if (err) err->Clear();
  vcf.MakeKeyDir(false, true, true);
  const TVcfMetaKeyDir& dir = vcf.MetaKeyDir();
  const uint32_t c = dir.FindKeyType("contig");
  if (c != 0xFFFFFFFFu && !dir.Definitions[c].Keys.empty()) {
    if (fromHeader) *fromHeader = true;
    return dir.Definitions[c].Keys;
  }
  if (fromHeader) *fromHeader = false;
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;
  std::string last;  // a copy: the view of a line ends when the next line is read
  for (uint64_t v = 0; v < vcf.NVariants(); ++v) {
    if (!vcf.ReadVariant(v)) {
      if (err) *err = vcf.LineError();
      return {};
    }
    const std::string_view chrom = vcf.Column(v, vcfChrom);
    if (chrom == last) continue;
    last = chrom;
    if (seen.insert(std::string(chrom)).second) names.emplace_back(chrom);
  }
  return names;
}
