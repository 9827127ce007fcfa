// Population pairs, level translation and file-name descriptions of F_ST results.
#include "popgen/bioFst.h"

#include <algorithm>

uint32_t MakePopPairs(const std::vector<uint32_t>& popMembership,
                      std::vector<std::vector<uint32_t>>& popMbList, std::vector<uint32_t>& pwPop1,
                      std::vector<uint32_t>& pwPop2) {
  popMbList.clear();
  pwPop1.clear();
  pwPop2.clear();
  uint32_t nPop = 0;
  for (uint32_t p : popMembership)
    if (p != 0xFFFFFFFFu) nPop = std::max(nPop, p + 1);
  for (uint32_t a = 1; a < nPop; ++a)
    for (uint32_t b = 0; b < a; ++b) {
      pwPop1.push_back(a);
      pwPop2.push_back(b);
      std::vector<uint32_t> mb(popMembership.size(), 0xFFFFFFFFu);
      for (size_t s = 0; s < popMembership.size(); ++s)
        if (popMembership[s] == a || popMembership[s] == b) mb[s] = popMembership[s];
      popMbList.push_back(std::move(mb));
    }
  return uint32_t(pwPop1.size());
}

std::vector<uint32_t> Xlat2Levels(const std::vector<uint32_t>& values,
                                  const std::vector<uint32_t>& levels) {
  std::vector<uint32_t> out(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const auto it = std::find(levels.begin(), levels.end(), values[i]);
    out[i] = it == levels.end() ? values[i] : uint32_t(it - levels.begin());
  }
  return out;
}

std::vector<std::string> xlatPopNames(const std::vector<std::string>& names,
                                      const std::vector<uint32_t>& levels) {
  std::vector<std::string> out(names.size());
  for (size_t i = 0; i < names.size() && i < levels.size(); ++i)
    if (levels[i] < names.size()) out[i] = names[levels[i]];
  return out;
}

std::string FstFileDesc(const std::string& desc) {
  std::string s = desc;
  for (char& c : s)
    if (c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  return s;
}

TBitField MakeFstSelMask(const TBitField& vcfSelection, const TBitField& locusPass) {
  TBitField m = vcfSelection;
  uint64_t k = 0;
  for (uint64_t v = 0; v < m.GetNBits(); ++v) {
    if (!m.GetFieldBit(v)) continue;
    m.ChgFieldBit(v, k < locusPass.GetNBits() && locusPass.GetFieldBit(k));
    ++k;
  }
  return m;
}

void PopParamsFreqAndHet(const TPopParams& pp, TAlleleFrequencies& af, THeterozygosities& het) {
  if (pp.AF.nLoc > 0 || pp.AC.nSelLoc == 0) {
    af = pp.AF;
    het = pp.Het;
    return;
  }
  AlleleFreq(pp.AC, af);
  GetExpHet(af, het, pp.SmallSampleCorrection ? &pp.AC : nullptr);
}
