// Weir & Cockerham's and Hudson's F_ST from diploid calls, genome-wide figures, windows and the
// block jackknife.
#include "popgen/fstEstimators.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace {

constexpr int kDecimals = 8;
const double kNaN = std::nan("");

void SetValues(TFstLocusParts& out) {
  out.Value.resize(out.Num.size());
  for (size_t i = 0; i < out.Num.size(); ++i)
    out.Value[i] = std::isfinite(out.Num[i]) && std::isfinite(out.Den[i]) && out.Den[i] != 0
                       ? out.Num[i] / out.Den[i]
                       : kNaN;
}

const uint32_t* DipPop(const TAlleleCounts& AC, const THugeVec<uint32_t>& v, uint32_t p,
                       uint64_t j) {
  return v.data() + AC.LocOfs[j] * AC.nPop + uint64_t(p) * AC.NAlleles(j);
}

}  // namespace

bool FstEstimatorFromName(const std::string& name, TFstEstimator& est) {
  if (name == "nei")
    est = fstNei;
  else if (name == "wc")
    est = fstWC;
  else if (name == "hudson")
    est = fstHudson;
  else
    return false;
  return true;
}

const char* FstEstimatorName(TFstEstimator est) {
  switch (est) {
    case fstWC:
      return "wc";
    case fstHudson:
      return "hudson";
    default:
      return "nei";
  }
}

uint64_t PairLocusFilter(const TAlleleCounts& AC, uint32_t p0, uint32_t p1, uint32_t minNPerPop,
                         uint32_t minNPops, uint32_t max_NAlleles, TBitField& pass) {
  minNPerPop = std::max(minNPerPop, 1u);
  minNPops = std::max(minNPops, 1u);
  pass.Make(AC.nLoc, false);
  uint64_t n = 0;
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    const uint32_t nA = AC.NAlleles(j);
    if (nA > max_NAlleles) continue;
    uint32_t good = 0;
    for (uint32_t p : {p0, p1}) {
      const uint32_t* c = AC.Pop(p, j);
      uint32_t sum = 0;
      for (uint32_t a = 0; a < nA; ++a) sum += c[a];
      if (sum >= minNPerPop) ++good;
    }
    if (good >= minNPops) {
      pass.ChgFieldBit(j, true);
      ++n;
    }
  }
  return n;
}

void WcFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, TFstLocusParts& out) {
  std::vector<uint32_t> pops(AC.nPop);
  for (uint32_t p = 0; p < AC.nPop; ++p) pops[p] = p;
  WcFstParts(AC, dc, AC.Selection, pops, out);
}

void WcFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, const TBitField& pass,
                const std::vector<uint32_t>& pops, TFstLocusParts& out) {
  out = TFstLocusParts();
  if (pass.GetNBits() != AC.nLoc || dc.het_pop.size() != dc.al_pop.size()) return;
  const uint64_t nPass = pass.BitsSet();
  out.Num.reserve(nPass);
  out.Den.reserve(nPass);
  const uint32_t nPop = uint32_t(pops.size());
  std::vector<double> nInd(nPop);
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    if (!pass.GetFieldBit(j)) continue;
    const uint32_t nA = AC.NAlleles(j);
    double r = 0, sumN = 0, sumN2 = 0;
    for (uint32_t p = 0; p < nPop; ++p) {
      const uint32_t* al = DipPop(AC, dc.al_pop, pops[p], j);
      uint64_t alleles = 0;
      for (uint32_t a = 0; a < nA; ++a) alleles += al[a];
      nInd[p] = double(alleles / 2);
      if (nInd[p] > 0) {
        r += 1;
        sumN += nInd[p];
        sumN2 += nInd[p] * nInd[p];
      }
    }
    const double nBar = r > 0 ? sumN / r : 0;
    if (r < 2 || nBar <= 1) {
      out.Num.push_back(kNaN);
      out.Den.push_back(kNaN);
      continue;
    }
    const double nC = (r * nBar - sumN2 / (r * nBar)) / (r - 1);
    double num = 0, den = 0;
    for (uint32_t a = 0; a < nA; ++a) {
      double pBar = 0, hBar = 0;
      for (uint32_t p = 0; p < nPop; ++p) {
        if (nInd[p] == 0) continue;
        pBar += DipPop(AC, dc.al_pop, pops[p], j)[a] / 2.0;  // n_i p_i
        hBar += DipPop(AC, dc.het_pop, pops[p], j)[a];       // n_i h_i
      }
      pBar /= r * nBar;
      hBar /= r * nBar;
      double s2 = 0;
      for (uint32_t p = 0; p < nPop; ++p) {
        if (nInd[p] == 0) continue;
        const double pi = DipPop(AC, dc.al_pop, pops[p], j)[a] / (2.0 * nInd[p]);
        s2 += nInd[p] * (pi - pBar) * (pi - pBar);
      }
      s2 /= (r - 1) * nBar;
      const double pq = pBar * (1 - pBar);
      const double ca = nBar / nC * (s2 - (pq - (r - 1) / r * s2 - hBar / 4) / (nBar - 1));
      const double cb =
          nBar / (nBar - 1) * (pq - (r - 1) / r * s2 - (2 * nBar - 1) / (4 * nBar) * hBar);
      const double cc = hBar / 2;
      num += ca;
      den += ca + cb + cc;
    }
    out.Num.push_back(num);
    out.Den.push_back(den);
  }
  SetValues(out);
}

void HudsonFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, TFstLocusParts& out) {
  HudsonFstParts(AC, dc, AC.Selection, 0, 1, out);
}

void HudsonFstParts(const TAlleleCounts& AC, const TDiploidCounts& dc, const TBitField& pass,
                    uint32_t p0, uint32_t p1, TFstLocusParts& out) {
  out = TFstLocusParts();
  if (pass.GetNBits() != AC.nLoc) return;
  const uint64_t nPass = pass.BitsSet();
  out.Num.reserve(nPass);
  out.Den.reserve(nPass);
  for (uint64_t j = 0; j < AC.nLoc; ++j) {
    if (!pass.GetFieldBit(j)) continue;
    const uint32_t nA = AC.NAlleles(j);
    const uint32_t* c0 = DipPop(AC, dc.al_pop, p0, j);
    const uint32_t* c1 = DipPop(AC, dc.al_pop, p1, j);
    double n0 = 0, n1 = 0;
    for (uint32_t a = 0; a < nA; ++a) {
      n0 += c0[a];
      n1 += c1[a];
    }
    if (n0 < 2 || n1 < 2) {
      out.Num.push_back(kNaN);
      out.Den.push_back(kNaN);
      continue;
    }
    double same = 0, sq0 = 0, sq1 = 0;
    for (uint32_t a = 0; a < nA; ++a) {
      const double p0 = c0[a] / n0, p1 = c1[a] / n1;
      same += p0 * p1;
      sq0 += p0 * p0;
      sq1 += p1 * p1;
    }
    const double hb = 1 - same;
    const double hw = (n0 / (n0 - 1) * (1 - sq0) + n1 / (n1 - 1) * (1 - sq1)) / 2;
    out.Num.push_back(hb - hw);
    out.Den.push_back(hb);
  }
  SetValues(out);
}

void HetFstParts(const THeterozygosities& het, const std::vector<double>& fst,
                 TFstLocusParts& out) {
  out = TFstLocusParts();
  const uint64_t n = std::min<uint64_t>(het.nLoc, fst.size());
  out.Num.resize(n);
  out.Den.resize(n);
  out.Value.resize(n);
  for (uint64_t i = 0; i < n; ++i) {
    out.Num[i] = het.het_global[i] - het.Hs[i];
    out.Den[i] = het.het_global[i];
    // The value as computed: where it is undefined (or limited to zero) the parts say so.
    out.Value[i] = std::isfinite(out.Den[i]) && out.Den[i] != 0 ? fst[i] : kNaN;
  }
}

TFstJackknife FstJackknife(const TFstLocusParts& parts, uint32_t nBlocks) {
  TFstJackknife jk;
  uint64_t n = 0;
  double sumNum = 0, sumDen = 0, sumVal = 0;
  for (uint64_t i = 0; i < parts.Size(); ++i)
    if (parts.Defined(i)) {
      ++n;
      sumNum += parts.Num[i];
      sumDen += parts.Den[i];
      sumVal += parts.Value[i];
    }
  if (n == 0 || nBlocks == 0) return jk;
  std::vector<double> bNum(nBlocks, 0), bDen(nBlocks, 0), bVal(nBlocks, 0);
  std::vector<uint64_t> bN(nBlocks, 0);
  uint64_t k = 0;
  for (uint64_t i = 0; i < parts.Size(); ++i) {
    if (!parts.Defined(i)) continue;
    const uint64_t b = k * nBlocks / n;
    ++k;
    bNum[b] += parts.Num[i];
    bDen[b] += parts.Den[i];
    bVal[b] += parts.Value[i];
    ++bN[b];
  }
  for (uint32_t b = 0; b < nBlocks; ++b) {
    if (bN[b] == 0) continue;
    const double den = sumDen - bDen[b];
    jk.LooWeighted.push_back(den != 0 ? (sumNum - bNum[b]) / den : kNaN);
    jk.LooMean.push_back(n > bN[b] ? (sumVal - bVal[b]) / double(n - bN[b]) : kNaN);
  }
  return jk;
}

double JackknifeSE(const std::vector<double>& loo) {
  const size_t g = loo.size();
  if (g < 2) return kNaN;
  double mean = 0;
  for (double x : loo) {
    if (!std::isfinite(x)) return kNaN;
    mean += x;
  }
  mean /= double(g);
  double ss = 0;
  for (double x : loo) ss += (x - mean) * (x - mean);
  return std::sqrt(double(g - 1) / double(g) * ss);
}

TFstSummary SummariseFst(const TFstLocusParts& parts, uint32_t nBlocks) {
  TFstSummary s;
  double sumNum = 0, sumDen = 0, sumVal = 0;
  for (uint64_t i = 0; i < parts.Size(); ++i)
    if (parts.Defined(i)) {
      ++s.Loci;
      sumNum += parts.Num[i];
      sumDen += parts.Den[i];
      sumVal += parts.Value[i];
    }
  if (s.Loci == 0) return s;
  s.Weighted = sumDen != 0 ? sumNum / sumDen : kNaN;
  s.Mean = sumVal / double(s.Loci);
  const TFstJackknife jk = FstJackknife(parts, nBlocks);
  s.SeWeighted = JackknifeSE(jk.LooWeighted);
  s.SeMean = JackknifeSE(jk.LooMean);
  return s;
}

bool FstWindows(const TLocNames& locNames, const TFstLocusParts& parts, uint64_t size,
                uint64_t step, std::vector<TFstWindow>& out) {
  out.clear();
  if (size == 0 || step == 0 || locNames.size() != parts.Size()) return false;
  struct TLoc {
    uint64_t Pos;
    uint64_t Idx;
  };
  std::vector<std::string> order;
  std::map<std::string, std::vector<TLoc>, std::less<>> byChr;
  for (uint64_t i = 0; i < locNames.size(); ++i) {
    const std::string& s = locNames[i];
    const size_t tab = s.find('\t');
    if (tab == std::string::npos) return false;
    uint64_t pos = 0;
    const char* b = s.data() + tab + 1;
    const char* e = s.data() + s.size();
    if (std::from_chars(b, e, pos).ptr != e) return false;
    const std::string_view chr(s.data(), tab);
    auto it = byChr.find(chr);
    if (it == byChr.end()) {
      order.emplace_back(chr);
      it = byChr.emplace(std::string(chr), std::vector<TLoc>()).first;
    }
    it->second.push_back({pos, i});
  }
  for (const std::string& chr : order) {
    std::vector<TLoc>& locs = byChr[chr];
    std::stable_sort(locs.begin(), locs.end(),
                     [](const TLoc& a, const TLoc& b) { return a.Pos < b.Pos; });
    // Running sums over the defined loci, so that every window costs two searches.
    std::vector<double> cNum(locs.size() + 1, 0), cDen(locs.size() + 1, 0);
    std::vector<uint64_t> cN(locs.size() + 1, 0);
    for (size_t k = 0; k < locs.size(); ++k) {
      const bool d = parts.Defined(locs[k].Idx);
      cNum[k + 1] = cNum[k] + (d ? parts.Num[locs[k].Idx] : 0);
      cDen[k + 1] = cDen[k] + (d ? parts.Den[locs[k].Idx] : 0);
      cN[k + 1] = cN[k] + (d ? 1 : 0);
    }
    const uint64_t last = locs.back().Pos;
    for (uint64_t start = 1; start <= last; start += step) {
      TFstWindow w;
      w.Chr = chr;
      w.Start = start;
      w.End = start + size - 1;
      const auto lo = std::lower_bound(locs.begin(), locs.end(), start,
                                       [](const TLoc& l, uint64_t p) { return l.Pos < p; });
      const auto hi = std::upper_bound(locs.begin(), locs.end(), w.End,
                                       [](uint64_t p, const TLoc& l) { return p < l.Pos; });
      const size_t a = size_t(lo - locs.begin()), b = size_t(hi - locs.begin());
      w.Loci = cN[b] - cN[a];
      if (w.Loci) {
        // Sums of a few defined loci taken directly: differences of long running sums lose
        // digits.
        w.Num = 0;
        w.Den = 0;
        for (size_t k = a; k < b; ++k)
          if (parts.Defined(locs[k].Idx)) {
            w.Num += parts.Num[locs[k].Idx];
            w.Den += parts.Den[locs[k].Idx];
          }
        w.Value = w.Den != 0 ? w.Num / w.Den : kNaN;
      }
      out.push_back(std::move(w));
    }
  }
  return true;
}

namespace {

// The per-locus table's lines to out (a TTextSink or TLinesSink).
template <class TOut>
bool EmitFstParts(TOut& out, const TFstLocusParts& parts, const TLocNames& locNames) {
  if (locNames.size() != parts.Size()) return false;
  out.push_back("Chr\tPos\tNumerator\tDenominator\tFst");
  for (uint64_t i = 0; i < parts.Size(); ++i) {
    std::string& l = out.Begin();
    l += locNames[i];
    l += '\t';
    AppendFixed(l, parts.Num[i], kDecimals, 0);
    l += '\t';
    AppendFixed(l, parts.Den[i], kDecimals, 0);
    l += '\t';
    AppendFixed(l, parts.Value[i], kDecimals, 0);
    out.End();
  }
  return true;
}

}  // namespace

std::vector<std::string> ReportFstPartsStr(const TFstLocusParts& parts, const TLocNames& locNames) {
  std::vector<std::string> lines;
  TLinesSink sink{lines, {}};
  sink.reserve(parts.Size() + 1);
  EmitFstParts(sink, parts, locNames);
  return lines;
}

bool ReportFstPartsText(std::string& text, const char* eol,
                        const std::function<void(std::string&)>& drain, const TFstLocusParts& parts,
                        const TLocNames& locNames) {
  TTextSink sink{text, eol, drain};
  return EmitFstParts(sink, parts, locNames);
}

std::vector<std::string> ReportFstWindowsStr(const std::vector<TFstWindow>& windows) {
  std::vector<std::string> lines;
  lines.reserve(windows.size() + 1);
  lines.push_back("Chr\tStart\tEnd\tLoci\tFst");
  for (const TFstWindow& w : windows) {
    std::string& l = lines.emplace_back(w.Chr);
    l += '\t' + std::to_string(w.Start) + '\t' + std::to_string(w.End) + '\t' +
         std::to_string(w.Loci) + '\t';
    AppendFixed(l, w.Value, kDecimals, 0);
  }
  return lines;
}

std::string FstSummaryHeader() { return "Pair\tLoci\tWeighted\tMean\tSE_Weighted\tSE_Mean"; }

std::string FstSummaryLine(const std::string& desc, const TFstSummary& s) {
  std::string l = desc + '\t' + std::to_string(s.Loci);
  for (double v : {s.Weighted, s.Mean, s.SeWeighted, s.SeMean}) {
    l += '\t';
    AppendFixed(l, v, kDecimals, 0);
  }
  return l;
}
