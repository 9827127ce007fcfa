// Allele counting over the selected variants, the locus filter, frequencies, expected
// heterozygosities, F_ST and the text tables built from them.
#include "popgen/bioPopGen.h"

#include <malloc.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>

#include "popgen/fstEstimators.h"
#include "vcf/bioVCF.h"

namespace {

// The raw line in a message, cut so that a line of thousands of samples does not flood the log.
std::string LineForMessage(const TVCFFile& vcf, uint64_t v) {
  constexpr size_t kMax = 200;
  std::string s = vcf.GetVariantItemStrRaw(v);
  if (s.size() > kMax) s = s.substr(0, kMax) + "...";
  return s;
}

// Depth of one call from the DP slots: absent, "." and negative values are 0.
inline uint32_t DepthOf(const TXtrFmtFuncParam& dp, uint32_t s) {
  const int32_t d = dp.Value<int32_t>(s);
  return d < 0 ? 0u : uint32_t(d);
}

// The DP item of every call read by hand, for a line where the fast reader met a DP it could
// not convert: an empty item is depth 0 like an absent one; anything else that is not a
// number stops the run.
bool ReadDepthsByHand(const TVCFFile& vcf, uint64_t v, uint32_t nS, std::vector<uint32_t>& depth,
                      uint32_t& badSample) {
  std::fill(depth.begin(), depth.end(), 0u);
  const std::string fmt(vcf.Column(v, vcfFormat));
  uint32_t pos = 0, k = 0;
  bool found = false;
  for (size_t b = 0; b <= fmt.size(); ++k) {
    size_t e = fmt.find(':', b);
    if (e == std::string::npos) e = fmt.size();
    if (fmt.compare(b, e - b, "DP") == 0) {
      pos = k;
      found = true;
      break;
    }
    b = e + 1;
  }
  if (!found) return true;
  for (uint32_t s = 0; s < nS; ++s) {
    const std::string_view call = vcf.Column(v, vcfSample + s);
    size_t b = 0;
    bool present = true;
    for (uint32_t i = 0; i < pos && present; ++i) {
      const size_t q = call.find(':', b);
      if (q == std::string_view::npos)
        present = false;
      else
        b = q + 1;
    }
    if (!present) continue;
    const size_t e = std::min(call.find(':', b), call.size());
    const std::string_view item = call.substr(b, e - b);
    if (item.empty() || item == ".") continue;
    uint32_t d = 0;
    const auto r = std::from_chars(item.data(), item.data() + item.size(), d);
    if (r.ec != std::errc() || r.ptr != item.data() + item.size()) {
      badSample = s;
      return false;
    }
    depth[s] = d;
  }
  return true;
}

}  // namespace

std::vector<uint32_t> AlleleCountPops(const std::vector<uint32_t>& popMembership, uint32_t nS,
                                      uint32_t& nPop) {
  // Unused numbers dropped, the others kept in ascending order.
  std::vector<uint32_t> popOf(nS, 0);
  nPop = 1;
  if (popMembership.empty()) return popOf;
  uint32_t raw = 0;
  for (uint32_t p : popMembership)
    if (p != kPopGenNone) raw = std::max(raw, p + 1);
  std::vector<uint32_t> used(raw, 0);
  for (uint32_t p : popMembership)
    if (p != kPopGenNone) ++used[p];
  std::vector<uint32_t> renum(raw, kPopGenNone);
  nPop = 0;
  for (uint32_t p = 0; p < raw; ++p)
    if (used[p]) renum[p] = nPop++;
  for (uint32_t s = 0; s < nS && s < popMembership.size(); ++s)
    popOf[s] = popMembership[s] == kPopGenNone ? kPopGenNone : renum[popMembership[s]];
  return popOf;
}

bool GetVcfAlleleCounts(TVCFFile& vcf, const std::vector<uint32_t>& popMembership,
                        uint32_t minDP_all, uint32_t minDP_hom, TAlleleCounts& AC, uint32_t ploidy,
                        TAlleleCountInfo* info, IZelProgress* progress,
                        std::vector<std::string>* locusNames, TDiploidCounts* diploid) {
  TAlleleCountInfo localInfo;
  TAlleleCountInfo& inf = info ? *info : localInfo;
  inf = TAlleleCountInfo();
  if (ploidy == 0 || ploidy > 255) return false;
  if (!vcf.SelectionMade()) vcf.ClearSelection(true);
  AC.Clear();
  if (locusNames) locusNames->clear();
  if (ploidy != 2) diploid = nullptr;
  if (diploid) {
    const bool withHet = diploid->WithHet;
    *diploid = TDiploidCounts();
    diploid->WithHet = withHet;
  }
  const uint64_t nSel = vcf.NSelected();
  const uint32_t nS = vcf.NSamples();
  if (nSel == 0 || nS == 0) return false;
  if (!popMembership.empty() && popMembership.size() != nS) return false;

  uint32_t nPop = 1;
  const std::vector<uint32_t> popOf = AlleleCountPops(popMembership, nS, nPop);
  AC.nPop = nPop;
  AC.nAllelesPerPop.assign(nPop, 0);
  for (uint32_t s = 0; s < nS; ++s)
    if (popOf[s] != kPopGenNone) AC.nAllelesPerPop[popOf[s]] += ploidy;

  // Buffers made once and reused for every variant.
  std::vector<uint32_t> sal(size_t(nS) * ploidy), actN(nS), handDepth;
  std::vector<uint8_t> pairs(nS);
  // Per population 19 slots: 9 calls (3 * allele 0 + allele 1, 2 = missing), the same 9 below
  // the homozygote depth, and the dropped calls; one more row for the unassigned samples.
  const size_t tallyHalf = (size_t(nPop) + 1) * 19;
  std::vector<uint32_t> fastDepth(nS), tally(2 * tallyHalf), tallyRow(nS);
  for (uint32_t s = 0; s < nS; ++s) tallyRow[s] = (popOf[s] == kPopGenNone ? nPop : popOf[s]) * 19;
  std::vector<std::string> tags;
  std::vector<TXtrFmtFuncParam> params;
  if (minDP_all) {
    tags.push_back("DP");
    params.emplace_back();
    params.back().MakeAndAlloc(xtSInt32, nS, std::vector<uint8_t>(4, 0));
  }
  const uint32_t hom = std::max(minDP_hom, minDP_all);

  AC.nLoc = nSel;
  AC.maxNAlleles = 0;
  AC.LocOfs.assign(1, 0);
  AC.LocOfs.reserve(nSel + 1);
  AC.ac_global.reserve(nSel * 2);
  AC.ac_pop.reserve(nSel * 2 * nPop);
  if (diploid) {
    diploid->al_pop.reserve(nSel * 2 * nPop);
    if (diploid->WithHet) diploid->het_pop.reserve(nSel * 2 * nPop);
  }
  if (locusNames) locusNames->reserve(nSel);

  // Tallies to counts: each (call, low depth) slot of a population adds its number of calls to
  // the alleles it names. A site of n alleles has K = (n + 1)^2 call codes; a row holds 2K
  // slots, then the dropped calls.
  auto addTally = [&](const uint32_t* tl, size_t stride, uint64_t ofs, uint32_t n) {
    const uint32_t K = VcfTallyCodes(n);
    uint32_t* acg = AC.ac_global.data() + ofs;
    for (uint32_t p = 0; p < nPop; ++p) {
      uint32_t* cp = AC.ac_pop.data() + ofs * nPop + size_t(p) * n;
      for (uint32_t code = 0; code < 2 * K; ++code) {
        const uint32_t k = tl[size_t(p) * stride + code];
        if (k == 0) continue;
        const uint32_t x0 = (code % K) / (n + 1), x1 = code % (n + 1);
        const uint32_t a[2] = {x0 == n ? MissingAlleleNo : x0, x1 == n ? MissingAlleleNo : x1};
        // A homozygous call below the homozygote depth counts one allele.
        const uint32_t slots = code >= K && a[0] == a[1] ? 1 : 2;
        uint32_t called = 0;
        for (uint32_t q = 0; q < slots; ++q) {
          if (a[q] >= n) continue;
          cp[a[q]] += k;
          acg[a[q]] += k;
          ++called;
        }
        if (!diploid) continue;
        if (called == 2) {
          const size_t o = (ofs * nPop) + size_t(p) * n;
          diploid->al_pop[o + a[0]] += k;
          diploid->al_pop[o + a[1]] += k;
          if (a[0] != a[1] && diploid->WithHet) {
            diploid->het_pop[o + a[0]] += k;
            diploid->het_pop[o + a[1]] += k;
          }
        } else if (called == 1) {
          diploid->OneAlleleCalls += k;
        }
      }
    }
  };

  // A read polymorphic locus of n alleles: its zero counts; returns their offset.
  auto addLocus = [&](uint32_t n) {
    AC.maxNAlleles = std::max(AC.maxNAlleles, n);
    const uint64_t ofs = AC.LocOfs.back();
    AC.LocOfs.push_back(ofs + n);
    AC.ac_global.resize(ofs + n, 0);
    AC.ac_pop.resize((ofs + n) * nPop, 0);
    if (diploid) {
      diploid->al_pop.resize((ofs + n) * nPop, 0);
      if (diploid->WithHet) diploid->het_pop.resize((ofs + n) * nPop, 0);
    }
    ++inf.VariantsRead;
    return ofs;
  };

  // The tally made while the file was indexed, when it was made for these populations and
  // depths: its lines need no second reading.
  std::unique_ptr<TVcfCallTally> pre;
  std::vector<uint32_t> preTally;
  if (ploidy == 2 && vcf.CallTally()) {
    std::vector<uint32_t> rows(nS);
    for (uint32_t s = 0; s < nS; ++s) rows[s] = popOf[s] == kPopGenNone ? nPop : popOf[s];
    if (vcf.CallTally()->Fits(rows, nPop, minDP_all, hom)) pre = vcf.TakeCallTally();
  }

  const uint64_t nV = vcf.NVariants();
  uint64_t j = 0;
  for (uint64_t v = 0; v < nV; ++v) {
    if (!vcf.IsSelected(v)) continue;
    ++j;
    if (progress && (j & 0xFFF) == 0) {
      progress->Progress(j, nSel);
      if (progress->Cancelled()) {
        inf.Err = TZelErr("GetAlleleCounts", "Cancelled");
        return false;
      }
    }
    const TVcfTallyKind kind = pre ? pre->Kind(vcf.VariantItem(v)) : TVcfTallyKind::Read;
    if (kind != TVcfTallyKind::Read) {
      const uint64_t line = vcf.VariantItem(v);
      if (locusNames) locusNames->emplace_back(pre->Name(line));
      if (kind == TVcfTallyKind::Monomorphic) {
        AC.LocOfs.push_back(AC.LocOfs.back());
        continue;
      }
      const uint32_t n = pre->NAlleles(line);
      const uint64_t ofs = addLocus(n);
      if (kind == TVcfTallyKind::NoDepth) {
        ++inf.VariantsNoDP;  // every call has depth 0 and is dropped
        continue;
      }
      const uint32_t width = 2 * VcfTallyCodes(n);
      preTally.resize(size_t(nPop) * width);
      pre->CopyCounts(line, preTally.data());
      addTally(preTally.data(), width, ofs, n);
      continue;
    }
    if (locusNames) {
      std::string& name = locusNames->emplace_back(vcf.Column(v, vcfChrom));
      name += '\t';
      name += vcf.Column(v, vcfPos);
    }
    if (!vcf.IsPolymorphic(v)) {
      AC.LocOfs.push_back(AC.LocOfs.back());
      continue;
    }
    const uint32_t n = vcf.GetNAlleles(v);
    const uint64_t ofs = addLocus(n);

    // Biallelic diploid calls in their common form: each sample adds one to its population's
    // tally of (call, low depth), and the counts are made from the tallies.
    bool dpKey = false;
    if (ploidy == 2 && n == 2 &&
        vcf.XtrBiallelicCallsMem(v, pairs.data(), minDP_all ? fastDepth.data() : nullptr, &dpKey,
                                 &inf.Report)) {
      if (minDP_all && !dpKey) {
        ++inf.VariantsNoDP;  // every call has depth 0 and is dropped
        continue;
      }
      // Two tallies taken in turn; a dropped call goes to slot 18 and an unassigned sample to
      // the row after the last population, neither of which is read.
      std::fill(tally.begin(), tally.end(), 0u);
      uint32_t* const t0 = tally.data();
      VcfTallyCalls(pairs.data(), minDP_all ? fastDepth.data() : nullptr, tallyRow.data(), nS,
                    minDP_all, hom, VcfTallyCodes(2), t0, t0 + tallyHalf);
      for (size_t k = 0; k < tallyHalf; ++k) t0[k] += t0[tallyHalf + k];
      addTally(t0, 19, ofs, n);
      continue;
    }

    TXtrFuncRes r = vcf.XtrGenotypeAndKeysMem(v, uint8_t(ploidy), nullptr, sal.data(), actN.data(),
                                              true, nullptr, tags, params, {}, &inf.Report);
    bool byHand = false;
    if (r != xtrOK && minDP_all && inf.Report.Fail.Tag == 0) {
      // A DP the fast reader does not take (empty, say): genotypes alone, depths by hand.
      r = vcf.XtrGenotypeMem(v, uint8_t(ploidy), nullptr, sal.data(), actN.data(), true, nullptr,
                             {}, &inf.Report);
      if (r == xtrOK) {
        handDepth.resize(nS);
        uint32_t bad = 0;
        if (!ReadDepthsByHand(vcf, v, nS, handDepth, bad)) {
          inf.Err = TZelErr("GetAlleleCounts", "Invalid DP value",
                            vcf.FileName() + ", line " + std::to_string(vcf.VariantLineNo(v)) +
                                ", sample " + vcf.SampleNamesRef()[bad]);
          return false;
        }
        byHand = true;
      }
    }
    if (r != xtrOK) {
      const uint64_t smp = inf.Report.Fail.Smp;
      std::string where = vcf.FileName() + ", line " + std::to_string(vcf.VariantLineNo(v));
      if (smp < nS) where += ", sample " + vcf.SampleNamesRef()[smp];
      if (r == xtrErrAlleles) where += " (more than " + std::to_string(ploidy) + " alleles)";
      inf.Err = TZelErr("GetAlleleCounts", "No valid GT tag found",
                        where + ": Input seen: <" + LineForMessage(vcf, v) + ">");
      return false;
    }
    const bool depthOn = minDP_all != 0;
    const bool dpPresent = depthOn && (byHand || params[0].TagOfs != 0xFFFFFFFFu);
    if (depthOn && !byHand && !dpPresent) ++inf.VariantsNoDP;
    // Without DP on the line every call has depth 0 and is dropped.
    if (depthOn && !dpPresent) continue;

    uint32_t* acg = AC.ac_global.data() + ofs;
    uint32_t* acp = AC.ac_pop.data() + ofs * nPop;
    for (uint32_t s = 0; s < nS; ++s) {
      const uint32_t p = popOf[s];
      if (p == kPopGenNone) continue;
      const uint32_t* a = sal.data() + size_t(s) * ploidy;
      uint32_t slots = actN[s];
      if (depthOn) {
        const uint32_t d = byHand ? handDepth[s] : DepthOf(params[0], s);
        if (d < minDP_all) continue;
        if (d < hom) {
          if (ploidy == 2) {
            if (slots == 2 && a[0] == a[1]) slots = 1;
          } else if (ploidy > 2) {
            slots = std::min(slots, 1u);
          }
        }
      }
      uint32_t* cp = acp + size_t(p) * n;
      uint32_t called = 0;
      for (uint32_t k = 0; k < slots; ++k) {
        const uint32_t al = a[k];
        if (al >= n) continue;  // missing (or, never expected, beyond the site's alleles)
        ++cp[al];
        ++acg[al];
        ++called;
      }
      if (diploid) {
        if (called == 2) {
          const size_t o = (ofs * nPop) + size_t(p) * n;
          ++diploid->al_pop[o + a[0]];
          ++diploid->al_pop[o + a[1]];
          if (a[0] != a[1] && diploid->WithHet) {
            ++diploid->het_pop[o + a[0]];
            ++diploid->het_pop[o + a[1]];
          }
        } else if (called == 1) {
          ++diploid->OneAlleleCalls;
        }
      }
    }
  }
  if (progress) progress->Progress(nSel, nSel);
  if (pre) {
    // The tally was built in pieces on the indexing threads, in their own heaps: handed back
    // to the system now, before the results of the count are made, it is not kept twice.
    pre.reset();
    malloc_trim(0);
  }
  AC.ac_global.shrink_to_fit();
  AC.ac_pop.shrink_to_fit();
  return true;
}

void PairAlleleCounts(const TAlleleCounts& AC, uint32_t p0, uint32_t p1, TAlleleCounts& out) {
  out.Clear();
  out.nLoc = AC.nLoc;
  out.nPop = 2;
  out.maxNAlleles = AC.maxNAlleles;
  out.LocOfs = AC.LocOfs;
  out.nAllelesPerPop = {AC.nAllelesPerPop[p0], AC.nAllelesPerPop[p1]};
  if (AC.LocOfs.empty()) return;
  out.ac_global.assign(AC.LocOfs.back(), 0);
  out.ac_pop.assign(AC.LocOfs.back() * 2, 0);
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    const uint32_t n = AC.NAlleles(j);
    const uint32_t* a = AC.Pop(p0, j);
    const uint32_t* b = AC.Pop(p1, j);
    uint32_t* g = out.ac_global.data() + AC.LocOfs[j];
    uint32_t* oa = out.Pop(0, j);
    uint32_t* ob = out.Pop(1, j);
    for (uint32_t k = 0; k < n; ++k) {
      oa[k] = a[k];
      ob[k] = b[k];
      g[k] = a[k] + b[k];
    }
  }
}

uint64_t FilterAndTallyAlleleCounts(TAlleleCounts& AC, uint32_t minNPerPop, uint32_t minNPops,
                                    uint32_t max_NAlleles) {
  minNPerPop = std::max(minNPerPop, 1u);
  minNPops = std::max(minNPops, 1u);
  AC.nSelLoc = 0;
  if (AC.nPop == 0 || AC.nLoc == 0) return 0;
  if (AC.Selection.GetNBits() != AC.nLoc) AC.Selection.Make(AC.nLoc, true);
  AC.maxNAlleles = max_NAlleles;
  AC.nA_pop.assign(size_t(AC.nPop) * AC.nLoc, 0);
  AC.nA_global.assign(AC.nLoc, 0);
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    const uint32_t n = AC.NAlleles(j);
    if (!AC.Selection.GetFieldBit(j) || n > max_NAlleles) {
      AC.Selection.ChgFieldBit(j, false);
      continue;
    }
    uint32_t good = 0;
    for (uint32_t p = 0; p < AC.nPop; ++p) {
      const uint32_t* c = AC.Pop(p, j);
      uint32_t sum = 0;
      for (uint32_t a = 0; a < n; ++a) sum += c[a];
      AC.nA_pop[size_t(p) * AC.nLoc + j] = sum;
      AC.nA_global[j] += sum;
      if (sum >= minNPerPop) ++good;
    }
    const bool pass = good >= minNPops;
    AC.Selection.ChgFieldBit(j, pass);
    if (pass) ++AC.nSelLoc;
  }
  return AC.nSelLoc;
}

bool AlleleFreq(const TAlleleCounts& AC, TAlleleFrequencies& AF) {
  AF = TAlleleFrequencies();
  AF.nPop = AC.nPop;
  AF.LocOfs.assign(1, 0);
  if (AC.nLoc == 0 || AC.nSelLoc == 0 || AC.maxNAlleles <= 1 || AC.Selection.GetNBits() != AC.nLoc)
    return false;
  const uint32_t nPop = AC.nPop;
  AF.nLoc = AC.nSelLoc;
  AF.af_n.reserve(AF.nLoc);
  AF.LocOfs.reserve(AF.nLoc + 1);
  // Sized exactly: results of many pairs stay in memory together.
  uint64_t slots = 0;
  for (uint64_t i = 0; i < AC.nLoc; ++i)
    if (AC.Selection.GetFieldBit(i)) slots += AC.NAlleles(i);
  AF.af_global.reserve(slots);
  AF.af_pop.reserve(slots * nPop);
  bool undetermined = true;
  for (uint64_t i = 0; i < AC.nLoc; ++i) {
    if (!AC.Selection.GetFieldBit(i)) continue;
    const uint32_t n = AC.NAlleles(i);
    AF.af_n.push_back(n);
    if (n > AF.max_nAF) {
      AF.max_nAF = n;
      if (n != 2) {
        AF.isAllBiallelic = false;
        undetermined = false;
      }
    }
    AF.LocOfs.push_back(AF.LocOfs.back() + n);
    const double ng = AC.nA_global[i];
    const uint32_t* g = AC.Global(i);
    for (uint32_t a = 0; a < n; ++a) AF.af_global.push_back(double(g[a]) / ng);
    for (uint32_t p = 0; p < nPop; ++p) {
      const uint32_t np = AC.nA_pop[size_t(p) * AC.nLoc + i];
      const uint32_t* c = AC.Pop(p, i);
      for (uint32_t a = 0; a < n; ++a)
        AF.af_pop.push_back(np ? double(c[a]) / double(np) : std::nan(""));
    }
  }
  if (undetermined) AF.isAllBiallelic = true;
  return true;
}

THugeVec<double> makeSSC_global(const TAlleleCounts& AC) {
  THugeVec<double> f;
  if (AC.Selection.GetNBits() != AC.nLoc) return f;
  f.reserve(AC.nSelLoc);
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    if (!AC.Selection.GetFieldBit(j)) continue;
    const double n = AC.nA_global[j];
    f.push_back(n < 2 ? std::nan("") : n / (n - 1));
  }
  return f;
}

THugeVec<double> makeSSC_pop(const TAlleleCounts& AC) {
  THugeVec<double> f;
  if (AC.Selection.GetNBits() != AC.nLoc) return f;
  f.assign(size_t(AC.nPop) * AC.nSelLoc, 0);
  uint64_t i = 0;
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    if (!AC.Selection.GetFieldBit(j)) continue;
    for (uint32_t p = 0; p < AC.nPop; ++p) {
      const double n = AC.nA_pop[size_t(p) * AC.nLoc + j];
      f[size_t(p) * AC.nSelLoc + i] = n < 2 ? std::nan("") : n / (n - 1);
    }
    ++i;
  }
  return f;
}

bool GetExpHet(const TAlleleFrequencies& AF, THeterozygosities& Hets,
               const TAlleleCounts* PAC4SmSmpCorr) {
  Hets = THeterozygosities();
  Hets.nPop = AF.nPop;
  if (AF.nLoc == 0) return false;
  const uint64_t nLoc = AF.nLoc;
  const uint32_t nPop = AF.nPop;
  THugeVec<double> fg, fp;
  if (PAC4SmSmpCorr) {
    fg = makeSSC_global(*PAC4SmSmpCorr);
    fp = makeSSC_pop(*PAC4SmSmpCorr);
    // Counts that do not belong to these frequencies: no factor can be read.
    if (fg.size() != nLoc || fp.size() != size_t(nPop) * nLoc) return false;
  }
  Hets.nLoc = nLoc;
  Hets.het_global.assign(nLoc, 0);
  Hets.het_pop.assign(size_t(nPop) * nLoc, 0);
  if (nPop) Hets.Hs.assign(nLoc, 0);
  for (uint64_t i = 0; i < nLoc; ++i) {
    const uint32_t n = AF.af_n[i];
    double sq = 0;
    const double* g = AF.Global(i);
    for (uint32_t a = 0; a < n; ++a) sq += g[a] * g[a];
    Hets.het_global[i] = (1 - sq) * (PAC4SmSmpCorr ? fg[i] : 1.0);
    double sum = 0;
    uint32_t defined = 0;
    for (uint32_t p = 0; p < nPop; ++p) {
      const double* f = AF.Pop(p, i);
      double s2 = 0;
      for (uint32_t a = 0; a < n; ++a) s2 += f[a] * f[a];
      const double h = (1 - s2) * (PAC4SmSmpCorr ? fp[size_t(p) * nLoc + i] : 1.0);
      Hets.het_pop[size_t(p) * nLoc + i] = h;
      if (!std::isnan(h)) {
        sum += h;
        ++defined;
      }
    }
    if (nPop) Hets.Hs[i] = defined ? sum / defined : std::nan("");
  }
  return true;
}

bool Het2Fst(const THeterozygosities& He, std::vector<double>& Fst, bool limitFstToZero) {
  if (He.nPop < 2) return false;
  Fst.assign(He.nLoc, 0);
  for (uint64_t i = 0; i < He.nLoc; ++i) {
    const double ht = He.het_global[i], hs = He.Hs[i];
    double f;
    if (std::isnan(ht) || std::isnan(hs) || ht == 0)
      f = std::nan("");
    else if (hs == 0)
      f = 1;
    else
      f = 1 - hs / ht;
    if (limitFstToZero && f < 0) f = 0;
    Fst[i] = f;
  }
  return true;
}

namespace {

// The text of q / 10^D with D decimals (q below 2^32), a '-' in front when neg; its length.
// The divisions are by constants, which the compiler turns into multiplications.
template <int D>
size_t ScaledText(uint32_t q, bool neg, char* buf) {
  constexpr uint32_t kPow = [] {
    uint32_t p = 1;
    for (int k = 0; k < D; ++k) p *= 10;
    return p;
  }();
  uint32_t ip = q / kPow, fr = q % kPow;
  char* p = buf;
  if (neg) *p++ = '-';
  char tmp[10];
  int n = 0;
  do {
    tmp[n++] = char('0' + ip % 10);
    ip /= 10;
  } while (ip);
  while (n) *p++ = tmp[--n];
  *p++ = '.';
  for (int k = D - 1; k >= 0; --k) {
    p[k] = char('0' + fr % 10);
    fr /= 10;
  }
  return size_t(p + D - buf);
}

// Fixed notation with up to 9 decimals for moderate values (scaled below 4e8), without the
// general conversion: the scaled value is rounded directly unless it lies within 1e-7 of a tie,
// where the rounding of the product could differ from that of the exact binary value (then false:
// the caller takes the general conversion). Same text as printf's "%.*f".
bool FastFixed(double v, int decimals, char* buf, size_t& len) {
  static constexpr double kScale[10] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
  if (decimals < 1 || decimals > 9 || !std::isfinite(v)) return false;
  const double x = std::fabs(v) * kScale[decimals];
  // Below 4e8 the product is within 5e-8 of the exact scaled value.
  if (x >= 4e8) return false;
  const double fl = std::floor(x);
  const double frac = x - fl;
  if (std::fabs(frac - 0.5) < 1e-7) return false;
  const uint32_t q = uint32_t(fl) + (frac > 0.5 ? 1 : 0);
  const bool neg = std::signbit(v);
  using TText = size_t (*)(uint32_t, bool, char*);
  static constexpr TText kText[10] = {nullptr,       ScaledText<1>, ScaledText<2>, ScaledText<3>,
                                      ScaledText<4>, ScaledText<5>, ScaledText<6>, ScaledText<7>,
                                      ScaledText<8>, ScaledText<9>};
  len = kText[decimals](q, neg, buf);
  return true;
}

}  // namespace

void AppendFixed(std::string& out, double v, int decimals, int width) {
  char buf[400];
  size_t len = 0;
  if (std::isnan(v)) {
    out.append("NA");
    return;
  }
  if (!FastFixed(v, decimals, buf, len)) {
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    if (r.ec != std::errc()) {
      out.append("NA");
      return;
    }
    len = size_t(r.ptr - buf);
  }
  if (int(len) < width) out.append(size_t(width) - len, ' ');
  out.append(buf, len);
}

std::string FixedStr(double v, int decimals, int width) {
  std::string s;
  AppendFixed(s, v, decimals, width);
  return s;
}

namespace {

// Starts a data line (at the end of line): the locus name and the delimiter, when names are
// given.
inline void StartLine(std::string& line, const TLocNames& names, uint64_t k, char delim) {
  if (!names.empty()) {
    line += names[k];
    line += delim;
  }
}

inline void TrimDelim(std::string& line, char delim) {
  if (!line.empty() && line.back() == delim) line.pop_back();
}

}  // namespace

namespace {

template <class TOut>
bool EmitAC(TOut& out, const TAlleleCounts& AC, bool addheader, const TLocNames& locusNames,
            const std::string& locHeader, bool doGlobal, bool doPops, bool excludeIgnored,
            char popDelim, const std::string& alleleDelim, const std::string& ignoreLineStr) {
  if (AC.nPop == 0) doPops = false;
  const bool filtered = AC.Selection.GetNBits() == AC.nLoc && AC.nLoc > 0;
  const uint64_t nOut = excludeIgnored ? (filtered ? AC.nSelLoc : 0) : AC.nLoc;
  if (!locusNames.empty() && locusNames.size() != nOut) return false;
  out.reserve(nOut + 1);
  if (addheader) {
    std::string h = locHeader;
    if (doGlobal) h += std::string(1, popDelim) + "AC_global";
    if (doPops)
      for (uint32_t p = 0; p < AC.nPop; ++p)
        h += std::string(1, popDelim) + "AC_Pop" + std::to_string(p);
    out.push_back(std::move(h));
  }
  std::string* lp = nullptr;  // the line being built
  uint64_t k = 0;
  char num[16];
  auto appendCounts = [&](const uint32_t* c, uint32_t n) {
    std::string& line = *lp;
    for (uint32_t a = 0; a < n; ++a) {
      if (a) line += alleleDelim;
      const auto r = std::to_chars(num, num + sizeof num, c[a]);
      line.append(num, size_t(r.ptr - num));
    }
  };
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    const bool pass = filtered && AC.Selection.GetFieldBit(j);
    if (!pass && excludeIgnored) continue;
    std::string& line = out.Begin();
    lp = &line;
    StartLine(line, locusNames, k++, popDelim);
    if (!pass) {
      line += ignoreLineStr;
      out.End();
      continue;
    }
    const uint32_t n = AC.NAlleles(j);
    if (doGlobal) {
      appendCounts(AC.Global(j), n);
      line += popDelim;
    }
    if (doPops)
      for (uint32_t p = 0; p < AC.nPop; ++p) {
        appendCounts(AC.Pop(p, j), n);
        line += popDelim;
      }
    TrimDelim(line, popDelim);
    out.End();
  }
  return true;
}

}  // namespace

std::vector<std::string> ReportACStr(const TAlleleCounts& AC, bool addheader,
                                     const TLocNames& locusNames, const std::string& locHeader,
                                     bool doGlobal, bool doPops, bool excludeIgnored, char popDelim,
                                     const std::string& alleleDelim,
                                     const std::string& ignoreLineStr) {
  std::vector<std::string> out;
  TLinesSink sink{out, {}};
  EmitAC(sink, AC, addheader, locusNames, locHeader, doGlobal, doPops, excludeIgnored, popDelim,
         alleleDelim, ignoreLineStr);
  return out;
}

bool ReportACText(std::string& text, const char* eol,
                  const std::function<void(std::string&)>& drain, const TAlleleCounts& AC,
                  bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                  bool doGlobal, bool doPops, bool excludeIgnored, char popDelim,
                  const std::string& alleleDelim, const std::string& ignoreLineStr) {
  TTextSink sink{text, eol, drain};
  return EmitAC(sink, AC, addheader, locusNames, locHeader, doGlobal, doPops, excludeIgnored,
                popDelim, alleleDelim, ignoreLineStr);
}

namespace {

template <class TOut>
bool EmitAF(TOut& out, const TAlleleFrequencies& AF, bool addheader, const TLocNames& locusNames,
            const std::string& locHeader, bool doGlobal, bool doPops, char popDelim,
            const std::string& alleleDelim, int decimals, int width) {
  if (AF.nPop == 0) doPops = false;
  if (!locusNames.empty() && locusNames.size() != AF.nLoc) return false;
  out.reserve(AF.nLoc + 1);
  if (addheader) {
    std::string h = locHeader;
    if (doGlobal) h += std::string(1, popDelim) + "AF_global";
    if (doPops)
      for (uint32_t p = 0; p < AF.nPop; ++p)
        h += std::string(1, popDelim) + "AF_" + std::to_string(p);
    out.push_back(std::move(h));
  }
  std::string* lp = nullptr;  // the line being built
  auto appendFreqs = [&](const double* f, uint32_t n) {
    std::string& line = *lp;
    for (uint32_t a = 0; a < n; ++a) {
      if (a) line += alleleDelim;
      AppendFixed(line, f[a], decimals, width);
    }
  };
  for (uint64_t i = 0; i < AF.nLoc; ++i) {
    std::string& line = out.Begin();
    lp = &line;
    StartLine(line, locusNames, i, popDelim);
    if (doGlobal) {
      appendFreqs(AF.Global(i), AF.af_n[i]);
      line += popDelim;
    }
    if (doPops)
      for (uint32_t p = 0; p < AF.nPop; ++p) {
        appendFreqs(AF.Pop(p, i), AF.af_n[i]);
        line += popDelim;
      }
    TrimDelim(line, popDelim);
    out.End();
  }
  return true;
}

}  // namespace

std::vector<std::string> ReportAFStr(const TAlleleFrequencies& AF, bool addheader,
                                     const TLocNames& locusNames, const std::string& locHeader,
                                     bool doGlobal, bool doPops, char popDelim,
                                     const std::string& alleleDelim, int decimals, int width) {
  std::vector<std::string> out;
  TLinesSink sink{out, {}};
  EmitAF(sink, AF, addheader, locusNames, locHeader, doGlobal, doPops, popDelim, alleleDelim,
         decimals, width);
  return out;
}

bool ReportAFText(std::string& text, const char* eol,
                  const std::function<void(std::string&)>& drain, const TAlleleFrequencies& AF,
                  bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                  bool doGlobal, bool doPops, char popDelim, const std::string& alleleDelim,
                  int decimals, int width) {
  TTextSink sink{text, eol, drain};
  return EmitAF(sink, AF, addheader, locusNames, locHeader, doGlobal, doPops, popDelim, alleleDelim,
                decimals, width);
}

namespace {

template <class TOut>
bool EmitHet(TOut& out, const THeterozygosities& H, bool addheader, const TLocNames& locusNames,
             const std::string& locHeader, char delim, int decimals, int width) {
  if (!locusNames.empty() && locusNames.size() != H.nLoc) return false;
  out.reserve(H.nLoc + 1);
  const std::string d(1, delim);
  if (addheader) {
    std::string h = locHeader + d + "H_T";
    if (H.nPop) {
      h += d + "H_S";
      for (uint32_t p = 0; p < H.nPop; ++p) h += d + "H_" + std::to_string(p);
    }
    out.push_back(std::move(h));
  }
  for (uint64_t i = 0; i < H.nLoc; ++i) {
    std::string& line = out.Begin();
    StartLine(line, locusNames, i, delim);
    AppendFixed(line, H.het_global[i], decimals, width);
    if (H.nPop) {
      line += delim;
      AppendFixed(line, H.Hs[i], decimals, width);
      for (uint32_t p = 0; p < H.nPop; ++p) {
        line += delim;
        AppendFixed(line, H.het_pop[size_t(p) * H.nLoc + i], decimals, width);
      }
    }
    out.End();
  }
  return true;
}

}  // namespace

std::vector<std::string> ReportHetStr(const THeterozygosities& H, bool addheader,
                                      const TLocNames& locusNames, const std::string& locHeader,
                                      char delim, int decimals, int width) {
  std::vector<std::string> out;
  TLinesSink sink{out, {}};
  EmitHet(sink, H, addheader, locusNames, locHeader, delim, decimals, width);
  return out;
}

bool ReportHetText(std::string& text, const char* eol,
                   const std::function<void(std::string&)>& drain, const THeterozygosities& H,
                   bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                   char delim, int decimals, int width) {
  TTextSink sink{text, eol, drain};
  return EmitHet(sink, H, addheader, locusNames, locHeader, delim, decimals, width);
}

namespace {

template <class TOut>
bool EmitFst(TOut& out, const std::vector<double>& Fst, bool addheader, const TLocNames& locusNames,
             const std::string& locHeader, char delim, int decimals, int width) {
  if (!locusNames.empty() && locusNames.size() != Fst.size()) return false;
  out.reserve(Fst.size() + 1);
  if (addheader) out.push_back(locHeader + delim + "Fst");
  for (size_t i = 0; i < Fst.size(); ++i) {
    std::string& line = out.Begin();
    StartLine(line, locusNames, i, delim);
    AppendFixed(line, Fst[i], decimals, width);
    out.End();
  }
  return true;
}

}  // namespace

std::vector<std::string> ReportFstStr(const std::vector<double>& Fst, bool addheader,
                                      const TLocNames& locusNames, const std::string& locHeader,
                                      char delim, int decimals, int width) {
  std::vector<std::string> out;
  TLinesSink sink{out, {}};
  EmitFst(sink, Fst, addheader, locusNames, locHeader, delim, decimals, width);
  return out;
}

bool ReportFstText(std::string& text, const char* eol,
                   const std::function<void(std::string&)>& drain, const std::vector<double>& Fst,
                   bool addheader, const TLocNames& locusNames, const std::string& locHeader,
                   char delim, int decimals, int width) {
  TTextSink sink{text, eol, drain};
  return EmitFst(sink, Fst, addheader, locusNames, locHeader, delim, decimals, width);
}
