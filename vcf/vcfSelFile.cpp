// Threshold texts and the dialog's input filter, the depth filter of genotype calls, and the
// bit and position forms of selection files.
#include <charconv>
#include <cmath>
#include <limits>

#include "vcf/vcfAlleles.h"
#include "vcf/vcfSelect.h"

std::string ChkTypeRange(std::string_view s, TvcfType keyType) {
  if (keyType != vtInt && keyType != vtFloat) return std::string(s);
  std::string r;
  for (char c : s)
    if ((c >= '0' && c <= '9') || c == '-' || (keyType == vtFloat && c == '.')) r += c;
  return r;
}

TZelErr ParseThreshold(std::string_view text, TvcfType keyType, TValue64& thr,
                       TVcfEvaluator& eval) {
  std::string shown(1, '<');
  shown.append(text);
  shown += '>';
  if (keyType == vtInt) {
    std::string_view t = text;
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    int64_t v = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || p != t.data() + t.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range))
      return TZelErr::User("Threshold value does not appear to be a valid integer number", shown);
    if (ec == std::errc::result_out_of_range || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
      return TZelErr::User("Threshold value is outside the 32-bit integer range of the comparison",
                           shown);
    thr = TValue64{};
    thr.i32 = int32_t(v);
    eval = EvalRelationV64_i32;
    return {};
  }
  if (keyType == vtFloat) {
    std::string_view t = text;
    if (!t.empty() && t[0] == '+') t.remove_prefix(1);
    double d = 0;
    auto [p, ec] = std::from_chars(t.data(), t.data() + t.size(), d);
    if (t.empty() || ec != std::errc() || p != t.data() + t.size() || !std::isfinite(d))
      return TZelErr::User("Threshold value does not appear to be a valid floating point number",
                           shown);
    thr.Dbl = d;
    eval = EvalRelationV64_Dbl;
    return {};
  }
  return TZelErr::User("Only Integer and Float keys can be compared with a threshold",
                       "Type=" + std::string(vcfTypeStr[keyType <= vtString ? keyType : vtString]));
}

namespace {

// Slot k of sample i lives at index(i, k).
template <class Index>
uint32_t MaskByDepth(std::vector<uint32_t>& gt, const std::vector<uint32_t>& dw, uint32_t first,
                     uint32_t homMin, uint32_t nA, Index index) {
  if (first == 0 || dw.empty() || nA == 0) return homMin;
  const uint32_t hom = std::max(homMin, first);
  // A genotype array too short for the depths is left alone rather than overrun.
  if (gt.size() < dw.size() * size_t(nA)) return hom;
  for (size_t i = 0; i < dw.size(); ++i) {
    const uint32_t d = dw[i];
    if (d < first) {
      for (uint32_t k = 0; k < nA; ++k) gt[index(i, k)] = MissingAlleleNo;
    } else if (d < hom) {
      if (nA == 2) {
        if (gt[index(i, 0)] == gt[index(i, 1)]) gt[index(i, 1)] = MissingAlleleNo;
      } else if (nA >= 3) {
        for (uint32_t k = 1; k < nA; ++k) gt[index(i, k)] = MissingAlleleNo;
      }
    }
  }
  return hom;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// Calls below minScoreDw_first become fully missing; calls below the homozygote threshold
// max(first, hom) lose their second allele when homozygous (diploid) or every allele after
// the first (ploidy 3 and up). Nothing changes when first is 0.
uint32_t FilterGenotypesMinDW_SmpFirst(std::vector<uint32_t>& gt, const std::vector<uint32_t>& dw,
                                       uint32_t first, uint32_t hom, uint32_t nA) {
  return MaskByDepth(gt, dw, first, hom, nA, [nA](size_t i, uint32_t k) { return i * nA + k; });
}

uint32_t FilterGenotypesMinDW_AlleleFirst(std::vector<uint32_t>& gt,
                                          const std::vector<uint32_t>& dw, uint32_t first,
                                          uint32_t hom, uint32_t nA) {
  const size_t n = dw.size();
  return MaskByDepth(gt, dw, first, hom, nA, [n](size_t i, uint32_t k) { return k * n + i; });
}

uint32_t sh2d(std::string_view s) {
  if (s.empty() || s.size() > 8) return 0xFFFFFFFFu;
  uint32_t r = 0;
  for (size_t k = 0; k < s.size(); ++k) {
    const int d = HexDigit(s[k]);
    if (d < 0) break;
    r |= uint32_t(d) << (28 - 4 * k);
  }
  return r;
}

uint64_t sh2q(std::string_view s) {
  if (s.size() != 16) return ~uint64_t(0);
  return (uint64_t(sh2d(s.substr(0, 8))) << 32) | sh2d(s.substr(8, 8));
}

std::string VcfSelectionBitForm(const TBitField& sel) {
  static const char hex[] = "0123456789ABCDEF";
  std::string r = "Selection1\t";
  const uint64_t n = sel.GetNBits();
  for (int k = 15; k >= 0; --k) r += hex[(n >> (4 * k)) & 15];
  r += '.';
  const uint8_t* p = sel.GetBasePtr();
  const uint64_t nb = sel.NUsedBytes();
  r.reserve(r.size() + 2 * nb);
  for (uint64_t i = 0; i < nb; ++i) {
    r += hex[p[i] >> 4];
    r += hex[p[i] & 15];
  }
  return r;
}

TZelErr VcfReadSelectionBitForm(std::string_view line, uint64_t nVariants, TBitField& sel) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const size_t tab = line.find('\t');
  const size_t dot = tab == std::string_view::npos ? tab : line.find('.', tab);
  if (tab == std::string_view::npos || dot == std::string_view::npos || dot - tab - 1 != 16)
    return TZelErr::User("Not a selection file (expected: name, tab, 16 hex digits, \".\", bytes)");
  const std::string_view countText = line.substr(tab + 1, 16), bytes = line.substr(dot + 1);
  for (char c : countText)
    if (HexDigit(c) < 0)
      return TZelErr::User("Selection file count is not hexadecimal", std::string(countText));
  const uint64_t count = sh2q(countText);
  if (count != nVariants)
    return TZelErr::User("Selection file was written for another VCF",
                         std::to_string(count) + " variants in the file, " +
                             std::to_string(nVariants) + " in the VCF");
  const uint64_t nb = (nVariants + 7) / 8;
  if (bytes.size() != 2 * nb)
    return TZelErr::User(
        "Selection file bit text has the wrong length",
        std::to_string(bytes.size()) + " characters, " + std::to_string(2 * nb) + " expected");
  TBitField f;
  f.Make(nVariants, false);
  uint8_t* p = f.GetBasePtr();
  for (uint64_t i = 0; i < nb; ++i) {
    const int h = HexDigit(bytes[2 * i]), l = HexDigit(bytes[2 * i + 1]);
    if (h < 0 || l < 0)
      return TZelErr::User("Selection file bit text is not hexadecimal",
                           "byte " + std::to_string(i));
    p[i] = uint8_t(h * 16 + l);
  }
  if (nVariants % 8 && (p[nb - 1] >> (nVariants % 8)))
    return TZelErr::User("Selection file sets bits past the last variant");
  sel = std::move(f);
  return {};
}

std::vector<std::string> VcfSelectionPosForm(const std::vector<std::string>& names,
                                             const std::vector<std::vector<uint64_t>>& pos) {
  std::vector<std::string> lines;
  for (size_t c = 0; c < names.size() && c < pos.size(); ++c) {
    if (pos[c].empty()) continue;
    std::string l = names[c] + "\t";
    for (size_t i = 0; i < pos[c].size(); ++i) {
      if (i) l += ',';
      l += std::to_string(pos[c][i]);
    }
    lines.push_back(std::move(l));
  }
  return lines;
}

TZelErr VcfReadSelectionPosForm(const std::vector<std::string>& lines,
                                std::vector<std::string>& names,
                                std::vector<std::vector<uint64_t>>& pos) {
  std::vector<std::string> n;
  std::vector<std::vector<uint64_t>> p;
  for (size_t r = 0; r < lines.size(); ++r) {
    std::string_view l = lines[r];
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    if (l.empty()) continue;
    const auto bad = [&] {
      return TZelErr::User("Selection file row does not parse",
                           "row " + std::to_string(r + 1) + ": " + std::string(l));
    };
    const size_t tab = l.find('\t');
    if (tab == std::string_view::npos || tab == 0) return bad();
    std::string_view field = l.substr(tab + 1);
    field = field.substr(0, field.find('\t'));
    std::vector<uint64_t> list;
    if (field != ".") {
      size_t b = 0;
      while (true) {
        const size_t e = field.find(',', b);
        const std::string_view part =
            field.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b);
        uint64_t v;
        if (!VcfReadPlainUInt(part, v)) return bad();
        list.push_back(v);
        if (e == std::string_view::npos) break;
        b = e + 1;
      }
    }
    n.emplace_back(l.substr(0, tab));
    p.push_back(std::move(list));
  }
  names = std::move(n);
  pos = std::move(p);
  return {};
}
