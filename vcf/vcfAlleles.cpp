// Allele questions answered from the REF, ALT, POS and INFO texts of one variant, in place.
#include "vcf/vcfAlleles.h"

#include <algorithm>

namespace {

bool MissingAlt(std::string_view alt) { return alt.empty() || alt[0] == '.'; }

// Calls f(entry) for every comma-separated ALT entry; a trailing comma adds no empty entry.
template <class F>
void ForEachAlt(std::string_view alt, F&& f) {
  size_t b = 0;
  while (b < alt.size()) {
    size_t e = alt.find(',', b);
    if (e == std::string_view::npos) e = alt.size();
    if (!f(alt.substr(b, e - b))) return;
    b = e + 1;
  }
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
bool IsACGT(char c) { return c == 'A' || c == 'C' || c == 'G' || c == 'T'; }
bool Unambiguous(char c) {
  switch (c) {
    case 'A':
    case 'C':
    case 'G':
    case 'T':
    case 'a':
    case 'c':
    case 'g':
    case 't':
    case ',':
      return true;
    default:
      return false;
  }
}

// First ALT entry that is not a placeholder.
std::string_view FirstRealAlt(std::string_view alt) {
  std::string_view r;
  ForEachAlt(alt, [&](std::string_view a) {
    if (VcfIsPlaceholderAllele(a)) return true;
    r = a;
    return false;
  });
  return r;
}

}  // namespace

bool VcfIsPlaceholderAllele(std::string_view a) { return a == "<*>" || a == "<NON_REF>"; }

std::vector<std::string> VcfGetAlleles(std::string_view ref, std::string_view alt) {
  std::vector<std::string> r{std::string(ref)};
  if (alt == ".") return r;
  ForEachAlt(alt, [&](std::string_view a) {
    if (!VcfIsPlaceholderAllele(a)) r.emplace_back(a);
    return true;
  });
  return r;
}

uint32_t VcfGetNAlleles(std::string_view alt) {
  if (alt.empty()) return 0;
  if (alt[0] == '.') return 1;
  uint32_t n = 1;
  ForEachAlt(alt, [&](std::string_view a) {
    if (!VcfIsPlaceholderAllele(a)) ++n;
    return true;
  });
  return n;
}

bool VcfIsAltAllelePresent(std::string_view alt) { return !MissingAlt(alt); }

bool VcfIsPolymorphic(std::string_view ref, std::string_view alt) {
  if (ref.empty() || (ref[0] == '<' && ref.size() > 1)) return false;
  if (MissingAlt(alt)) return false;
  return alt[0] != '<';
}

bool VcfIsSNP(std::string_view ref, std::string_view alt) {
  if (ref.size() != 1 || MissingAlt(alt)) return false;
  if (alt.size() == 1) return true;
  // Every entry one character, except placeholders; at least one real entry.
  bool ok = true, real = false;
  ForEachAlt(alt, [&](std::string_view a) {
    if (VcfIsPlaceholderAllele(a)) return true;
    if (a.size() != 1) ok = false;
    real = true;
    return ok;
  });
  return ok && real && alt.back() != ',';
}

bool VcfIsBiallelic(std::string_view alt) {
  if (MissingAlt(alt)) return false;
  uint32_t entries = 0, real = 0;
  ForEachAlt(alt, [&](std::string_view a) {
    ++entries;
    if (!VcfIsPlaceholderAllele(a)) ++real;
    return true;
  });
  return entries <= 2 && real == 1;
}

static int TsTv(std::string_view ref, std::string_view alt) {
  // 1 transition, 2 transversion, 0 neither.
  if (!VcfIsSNP(ref, alt) || !VcfIsBiallelic(alt)) return 0;
  std::string_view a = FirstRealAlt(alt);
  if (a.empty()) return 0;
  char r = Upper(ref[0]), b = Upper(a[0]);
  if (!IsACGT(r) || !IsACGT(b) || r == b) return 0;
  bool ts = (r == 'A' && b == 'G') || (r == 'G' && b == 'A') || (r == 'C' && b == 'T') ||
            (r == 'T' && b == 'C');
  return ts ? 1 : 2;
}

bool VcfIsTransition(std::string_view ref, std::string_view alt) { return TsTv(ref, alt) == 1; }
bool VcfIsTransversion(std::string_view ref, std::string_view alt) { return TsTv(ref, alt) == 2; }

bool VcfIsIndel(std::string_view ref, std::string_view alt, std::string_view info) {
  uint32_t ofs, len;
  GetPInfoKeyOfs(info, "INDEL", ofs, len);
  if (ofs != 0xFFFFFFFFu) return true;
  if (MissingAlt(alt)) return false;
  if (ref.size() == 1 && alt.size() == 1) return false;
  bool indel = false;
  ForEachAlt(alt, [&](std::string_view a) {
    if (!a.empty() && a[0] != '<' && a.size() != ref.size()) indel = true;
    return !indel;
  });
  return indel;
}

bool VcfIsNondegenerate(std::string_view ref, std::string_view alt) {
  for (char c : ref)
    if (!Unambiguous(c)) return false;
  if (alt == ".") return true;
  bool inBracket = false;
  for (char c : alt) {
    if (inBracket) {
      if (c == '>') inBracket = false;
      continue;
    }
    if (c == '<') {
      inBracket = true;
      continue;
    }
    if (!Unambiguous(c)) return false;
  }
  return true;
}

bool VcfHasSymbolicAllele(std::string_view ref, std::string_view alt) {
  return ref.find('<') != std::string_view::npos || alt.find('<') != std::string_view::npos;
}

bool VcfHasUnkNonRefAltAllele(std::string_view alt) {
  for (size_t i = alt.find('<'); i != std::string_view::npos; i = alt.find('<', i + 1)) {
    std::string_view rest = alt.substr(i);
    if (rest.starts_with("<*>") || rest.starts_with("<NON_REF>")) return true;
  }
  return false;
}

void GetPInfoKeyOfs(std::string_view info, std::string_view key, uint32_t& ofsTagVal,
                    uint32_t& lenTagVal) {
  ofsTagVal = 0xFFFFFFFFu;
  lenTagVal = 0;
  if (key.empty() || info.size() >= 0xFFFFFFFFu) return;
  size_t from = 0;
  while (true) {
    size_t p = info.find(key, from);
    if (p == std::string_view::npos) return;
    size_t e = p + key.size();
    bool before = p == 0 || info[p - 1] == ';';
    bool after = e == info.size() || info[e] == ';' || info[e] == '=';
    if (before && after) {
      if (e < info.size() && info[e] == '=') {
        size_t q = info.find(';', e + 1);
        if (q == std::string_view::npos) q = info.size();
        ofsTagVal = uint32_t(e + 1);
        lenTagVal = uint32_t(q - e - 1);
      } else {
        ofsTagVal = uint32_t(e);
        lenTagVal = 0;
      }
      return;
    }
    from = p + 1;
  }
}

bool VcfReadPlainUInt(std::string_view s, uint64_t& value) {
  value = 0;
  if (s.empty() || s.size() > 255) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    uint64_t d = uint64_t(c - '0');
    if (v > (~uint64_t(0) - d) / 10) return false;
    v = v * 10 + d;
  }
  value = v;
  return true;
}

static bool InfoUInt(std::string_view info, std::string_view key, bool& has, uint64_t& v) {
  uint32_t ofs, len;
  GetPInfoKeyOfs(info, key, ofs, len);
  has = ofs != 0xFFFFFFFFu;
  if (!has) return false;
  return VcfReadPlainUInt(info.substr(ofs, len), v);
}

uint32_t VcfLenRefOnlyBlock(std::string_view pos, std::string_view alt, std::string_view info) {
  if (!VcfHasUnkNonRefAltAllele(alt)) return 0;
  bool has;
  uint64_t end = 0, p = 0;
  bool ok = InfoUInt(info, "END", has, end);
  if (!has) return 1;
  if (!ok || !VcfReadPlainUInt(pos, p)) return 0;
  // A block that ends before it starts has no length.
  if (end < p) return 0;
  uint64_t n = end - p + 1;
  return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(n);
}

bool VcfGetBlockCoord(std::string_view pos, std::string_view ref, std::string_view alt,
                      std::string_view info, uint64_t& blkStartPos, uint64_t& blkEndPos,
                      bool onlyRefOnlyBlocks, bool evalREFLenIfENDless, bool* hasENDTag) {
  if (onlyRefOnlyBlocks && !VcfHasUnkNonRefAltAllele(alt)) return false;
  if (!VcfReadPlainUInt(pos, blkStartPos)) blkStartPos = ~uint64_t(0);
  bool has;
  uint64_t end = 0;
  bool ok = InfoUInt(info, "END", has, end);
  if (hasENDTag) *hasENDTag = has;
  if (has) {
    blkEndPos = ok ? end : ~uint64_t(0);
  } else {
    blkEndPos = blkStartPos;
    if (evalREFLenIfENDless && ref.size() > 1 && ref[0] != '<' && blkStartPos != ~uint64_t(0))
      blkEndPos = blkStartPos + ref.size() - 1;
  }
  return true;
}

uint32_t VcfAlleleIndexMap(std::string_view alt, std::vector<uint32_t>& map) {
  map.clear();
  map.push_back(0);
  if (MissingAlt(alt)) return 1;
  uint32_t next = 1;
  ForEachAlt(alt, [&](std::string_view a) {
    if (VcfIsPlaceholderAllele(a)) {
      map.push_back(0xFFFFFFFFu);
    } else {
      map.push_back(next++);
    }
    return true;
  });
  return uint32_t(map.size());
}
