// BayeScan, Structure and binary presence/absence exports of the selected variants: one pass
// over the variants, calls and depths read once per variant into buffers made once per run.
#include "vcf/vcfExport.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "vcf/vcfAlleles.h"

namespace {

constexpr const char* kCrLf = "\r\n";
// Text pieces grow to about this size before a new one starts.
constexpr size_t kPieceBytes = size_t(1) << 20;
constexpr uint64_t kProgressEvery = 0xFFFF;

// The piece to append the next lines to.
std::string& Piece(std::vector<std::string>& text) {
  if (text.empty() || text.back().size() >= kPieceBytes) {
    text.emplace_back();
    text.back().reserve(kPieceBytes + 4096);
  }
  return text.back();
}

void AppendU(std::string& s, uint64_t x) {
  char b[24];
  const auto r = std::to_chars(b, b + sizeof b, x);
  s.append(b, r.ptr);
}

void AppendMarker(std::string& s, const TVCFFile& vcf, uint64_t v, char delim) {
  s += vcf.Column(v, vcfChrom);
  s += delim;
  s += vcf.Column(v, vcfPos);
}

std::string Where(const TVCFFile& vcf, uint64_t v) {
  return vcf.FileName() + ", line " + std::to_string(vcf.VariantLineNo(v));
}

// The first threshold is lowered to the second when that is smaller; DP is read only when the
// (lowered) first threshold is above 0.
struct TDepthRule {
  uint32_t First = 0, Hom = 0;
  bool Use = false;
  TDepthRule(uint32_t hom, uint32_t first) {
    First = std::min(first, hom);
    Hom = std::max(hom, First);
    Use = First > 0;
  }
};

// Reads the genotypes (sample-first, two slots) and, when asked, the DP of the reported samples
// of one variant at a time.
class TCallReader {
 public:
  TCallReader(const TVCFFile& vcf, std::span<const uint32_t> smp, bool useDp, TXtrGtReport& report)
      : FVcf(vcf), FSmp(smp), FUseDp(useDp), FRep(report) {
    FN = smp.empty() ? vcf.NSamples() : uint32_t(smp.size());
    FSal.resize(size_t(2) * FN);
    FPloidy.resize(FN);
    if (useDp) {
      FDp.resize(1);
      FDp[0].MakeAndAlloc(xtSInt32, FN, std::vector<uint8_t>(4, 0));
    }
  }

  // widen: a call of more than two alleles is read in full (its ploidy tells) instead of
  // failing the variant.
  TXtrFuncRes Read(uint64_t v, bool widen) {
    const TXtrGtReport before = FRep;
    FA = 2;
    TXtrFuncRes r = Once(v, FA);
    if (r == xtrErrAlleles && widen && FRep.Fail.Tag == vcfNone32) {
      FRep = before;
      FA = 255;
      r = Once(v, FA);
    }
    return r;
  }
  uint32_t N() const { return FN; }
  uint32_t Ploidy(uint32_t i) const { return FPloidy[i]; }
  uint32_t* Alleles(uint32_t i) { return FSal.data() + size_t(i) * FA; }
  bool HasDp() const { return FUseDp && FDp[0].TagOfs != 0xFFFFFFFFu; }
  // A DP of "." or an absent one reads 0, as does a negative one.
  uint32_t Depth(uint32_t i) const {
    const int32_t d = FDp[0].Value<int32_t>(i);
    return d < 0 ? 0u : uint32_t(d);
  }

  TZelErr Error(uint64_t v, TXtrFuncRes r) const {
    const TXtrFuncResEx& f = FRep.Fail;
    std::string where = Where(FVcf, v);
    if (r == xtrErrInput) return TZelErr("Export", "Cannot read the calls", where);
    if (f.Smp < FVcf.NSamples()) where += ", sample " + FVcf.SampleNamesRef()[f.Smp];
    if (f.Tag != vcfNone32) return TZelErr::User("DP does not read as a depth", where);
    if (r == xtrErrAlleles)
      return TZelErr::User(
          "Genotype with more than " + std::to_string(FA == 2 ? 2 : 255) + " alleles", where);
    return TZelErr::User("Genotype does not read", where);
  }

 private:
  TXtrFuncRes Once(uint64_t v, uint8_t a) {
    if (FSal.size() < size_t(a) * FN) FSal.resize(size_t(a) * FN);
    if (FUseDp)
      return FVcf.XtrGenotypeAndKeysMem(v, a, nullptr, FSal.data(), FPloidy.data(), true, nullptr,
                                        FTags, FDp, FSmp, &FRep);
    return FVcf.XtrGenotypeMem(v, a, nullptr, FSal.data(), FPloidy.data(), true, nullptr, FSmp,
                               &FRep);
  }

  const TVCFFile& FVcf;
  std::span<const uint32_t> FSmp;
  bool FUseDp;
  TXtrGtReport& FRep;
  uint32_t FN = 0;
  uint8_t FA = 2;
  std::vector<uint32_t> FSal, FPloidy;
  std::vector<std::string> FTags{"DP"};
  std::vector<TXtrFmtFuncParam> FDp;
};

// Indivs and their population numbers; an error for a member that is not a sample.
TZelErr FlattenPops(const TVCFFile& vcf, const TVcfOutputPops& pops, std::vector<uint32_t>& ind,
                    std::vector<uint32_t>& popOf) {
  ind.clear();
  popOf.clear();
  for (size_t p = 0; p < pops.size(); ++p)
    for (uint32_t s : pops[p]) {
      if (s >= vcf.NSamples())
        return TZelErr(
            "Export", "Population member is not a sample of the VCF file",
            "sample number " + std::to_string(s) + " of " + std::to_string(vcf.NSamples()));
      ind.push_back(s);
      popOf.push_back(uint32_t(p));
    }
  return {};
}

uint64_t SelectedCount(TVCFFile& vcf) {
  if (!vcf.SelectionMade()) vcf.ClearSelection(true);
  return vcf.NSelected();
}

// Why nothing is left: a depth threshold on a file without DP, or what the caller says.
TZelErr NoLocus(const TVcfExportResult& out, uint64_t selected, const std::string& why) {
  if (out.NoDepthVariants > 0)
    return TZelErr::User(
        "No locus to export",
        std::to_string(out.NoDepthVariants) + " of the " + std::to_string(selected) +
            " selected variants have no DP values while a minimum depth is set; set the depth "
            "thresholds to 0 to export without depth masking");
  return TZelErr::User("No locus to export",
                       "none of the " + std::to_string(selected) + " selected variants " + why);
}

// Reports progress now and then; true when the user asked to stop.
bool Stopped(IZelProgress* progress, uint64_t v, uint64_t nv) {
  if (!progress || (v & kProgressEvery) != 0) return false;
  progress->Progress(v, nv);
  return progress->Cancelled();
}

// The alleles of v as GetAlleles lists them (REF, then the ALT entries that are not
// placeholders), into strings kept from earlier variants; returns their number.
size_t ReadAlleles(const TVCFFile& vcf, uint64_t v, std::vector<std::string>& out) {
  const std::string_view ref = vcf.Column(v, vcfRef), alt = vcf.Column(v, vcfAlt);
  size_t n = 0;
  auto add = [&](std::string_view a) {
    if (out.size() <= n) out.emplace_back();
    out[n++].assign(a);
  };
  add(ref);
  if (alt == ".") return n;
  for (size_t b = 0; b < alt.size();) {
    size_t e = alt.find(',', b);
    if (e == std::string_view::npos) e = alt.size();
    const std::string_view a = alt.substr(b, e - b);
    if (!VcfIsPlaceholderAllele(a)) add(a);
    b = e + 1;
  }
  return n;
}

bool IsAcgt(char c, uint32_t& code) {
  switch (c) {
    case 'A':
    case 'a':
      code = 10;
      return true;
    case 'C':
    case 'c':
      code = 11;
      return true;
    case 'G':
    case 'g':
      code = 12;
      return true;
    case 'T':
    case 't':
      code = 13;
      return true;
    default:
      return false;
  }
}

// Empties the text of a result unless the export got to its end.
struct TTextOnSuccess {
  TVcfExportResult& R;
  bool Done = false;
  ~TTextOnSuccess() {
    if (Done) return;
    R.Text.clear();
    R.MarkerNames.clear();
  }
};

}  // namespace

std::string BayeScanMarkerFileName(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t base = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = fileName.find_last_of('.');
  const bool suffix = dot != std::string::npos && dot > base;
  return (suffix ? fileName.substr(0, dot) : fileName) + "_markernames.txt";
}

bool StructureAlleleCodes(std::span<const std::string> alleles, std::vector<std::string>& codes,
                          uint32_t& badAllele) {
  constexpr int32_t kMissing = -9;
  codes.resize(alleles.size());
  // Rule codes first; a long allele with a number above 69 has none.
  int32_t ruleCodes[256];
  std::vector<int32_t> many;
  int32_t* rc = ruleCodes;
  if (alleles.size() > 256) {
    many.resize(alleles.size());
    rc = many.data();
  }
  for (size_t a = 0; a < alleles.size(); ++a) {
    const size_t len = alleles[a].size();
    uint32_t c = 0;
    if (len == 1)
      rc[a] = IsAcgt(alleles[a][0], c) ? int32_t(c) : kMissing;
    else if (len >= 2 && len <= 78)
      rc[a] = int32_t(20 + len);
    else if (len > 78) {
      if (a > 69) {
        badAllele = uint32_t(a);
        return false;
      }
      rc[a] = int32_t(30 + a);
    } else {
      rc[a] = kMissing;
    }
  }
  // Codes no rule produces, in the order they are handed out.
  int32_t spare = 14;
  auto nextSpare = [&]() {
    const int32_t c = spare;
    spare = spare == 21 ? 100 : spare + 1;
    return c;
  };
  for (size_t a = 0; a < alleles.size(); ++a) {
    int32_t c = rc[a];
    if (c != kMissing)
      for (size_t b = 0; b < a; ++b)
        if (rc[b] == c) {
          c = nextSpare();
          rc[a] = c;
          break;
        }
    codes[a] = std::to_string(c);
  }
  return true;
}

TZelErr ExportVcf2BayeScan(TVCFFile& vcf, const TVcfOutputPops& outputPops, TVcfExportResult& out,
                           uint32_t minPerSampleDP_hom, uint32_t minPerSampleDP_first,
                           char markerNameDelim, IZelProgress* progress) {
  out = TVcfExportResult();
  TTextOnSuccess keep{out};
  const uint64_t nv = vcf.NVariants();
  if (nv == 0 || vcf.NSamples() == 0)
    return TZelErr::User("Nothing to export", "the VCF file has no variants or no samples");
  const uint32_t nPops = uint32_t(outputPops.size());
  if (nPops < 2)
    return TZelErr::User("BayeScan export needs at least two populations",
                         std::to_string(nPops) + " given");
  std::vector<uint32_t> ind, popOf;
  if (TZelErr e = FlattenPops(vcf, outputPops, ind, popOf)) return e;
  if (ind.empty()) return TZelErr::User("No individuals to export", "the populations are empty");
  const uint64_t selected = SelectedCount(vcf);
  const TDepthRule depth(minPerSampleDP_hom, minPerSampleDP_first);
  TCallReader calls(vcf, ind, depth.Use, out.Report);

  std::vector<std::vector<std::string>> blocks(nPops);
  std::vector<uint64_t> dropped;  // deselected only once the export succeeded
  std::vector<uint32_t> cnt, total;
  const uint32_t n = uint32_t(ind.size());
  for (uint64_t v = 0; v < nv; ++v) {
    if (Stopped(progress, v, nv)) return TZelErr::User("Cancelled");
    if (!vcf.IsSelected(v)) continue;
    const uint32_t nAl = vcf.GetNAlleles(v);
    if (nAl <= 1) {
      dropped.push_back(v);
      continue;
    }
    if (const TXtrFuncRes r = calls.Read(v, true); r != xtrOK) return calls.Error(v, r);
    if (depth.Use && !calls.HasDp()) {
      ++out.NoDepthVariants;
      dropped.push_back(v);
      continue;
    }
    cnt.assign(size_t(nPops) * nAl, 0);
    for (uint32_t i = 0; i < n; ++i) {
      const uint32_t pl = calls.Ploidy(i);
      if (pl > 2) {
        ++out.HighPloidyCalls;
        continue;
      }
      uint32_t* c = cnt.data() + size_t(popOf[i]) * nAl;
      const uint32_t* a = calls.Alleles(i);
      if (depth.Use) {
        const uint32_t d = calls.Depth(i);
        if (d < depth.First) continue;
        if (d < depth.Hom && pl == 2 && a[0] == a[1]) {
          if (a[0] < nAl) ++c[a[0]];
          continue;
        }
      }
      for (uint32_t k = 0; k < pl; ++k)
        if (a[k] < nAl) ++c[a[k]];
    }
    total.assign(nAl, 0);
    for (uint32_t p = 0; p < nPops; ++p)
      for (uint32_t a = 0; a < nAl; ++a) total[a] += cnt[size_t(p) * nAl + a];
    uint32_t k = 0;
    for (uint32_t a = 0; a < nAl; ++a) k += total[a] != 0;
    if (k <= 1) {
      dropped.push_back(v);
      continue;
    }
    ++out.Loci;
    for (uint32_t p = 0; p < nPops; ++p) {
      const uint32_t* c = cnt.data() + size_t(p) * nAl;
      uint64_t copies = 0;
      for (uint32_t a = 0; a < nAl; ++a) copies += c[a];
      std::string& s = Piece(blocks[p]);
      AppendU(s, out.Loci);
      s += '\t';
      AppendU(s, copies);
      s += '\t';
      AppendU(s, k);
      for (uint32_t a = 0; a < nAl; ++a)
        if (total[a] != 0) {
          s += '\t';
          AppendU(s, c[a]);
        }
      s += kCrLf;
    }
    std::string& m = Piece(out.MarkerNames);
    AppendMarker(m, vcf, v, markerNameDelim);
    m += kCrLf;
  }
  if (progress) progress->Progress(nv, nv);
  out.NotExported = selected - out.Loci;
  if (out.Loci == 0)
    return NoLocus(out, selected, "has two alleles called among the population members");
  std::string head = "[loci]=";
  AppendU(head, out.Loci);
  head += "\r\n\r\n[populations]=";
  AppendU(head, nPops);
  head += "\r\n\r\n";
  out.Text.push_back(std::move(head));
  for (uint32_t p = 0; p < nPops; ++p) {
    std::string title = "[pop]=";
    AppendU(title, p + 1);
    title += kCrLf;
    out.Text.push_back(std::move(title));
    for (std::string& s : blocks[p]) out.Text.push_back(std::move(s));
    out.Text.emplace_back(kCrLf);
  }
  for (uint64_t v : dropped) vcf.SetSelected(v, false);
  keep.Done = true;
  return {};
}

TZelErr ExportVcf2Structure(TVCFFile& vcf, const TVcfOutputPops& outputPops, bool writeMarkerNames,
                            bool writePopInfo, TVcfExportResult& out, uint32_t minPerSampleDP_hom,
                            uint32_t minPerSampleDP_first, std::string_view missingDataItem,
                            char markerNameDelim, IZelProgress* progress) {
  out = TVcfExportResult();
  TTextOnSuccess keep{out};
  std::vector<uint32_t> ind, popOf;
  if (TZelErr e = FlattenPops(vcf, outputPops, ind, popOf)) return e;
  if (ind.empty()) return TZelErr::User("No individuals to export", "the populations are empty");
  const uint64_t nv = vcf.NVariants();
  const uint64_t selected = nv ? SelectedCount(vcf) : 0;
  if (selected == 0) return TZelErr::User("No variant selected to export");
  const TDepthRule depth(minPerSampleDP_hom, minPerSampleDP_first);
  TCallReader calls(vcf, ind, depth.Use, out.Report);
  const uint32_t n = uint32_t(ind.size());

  std::string marker;
  if (writeMarkerNames) {
    if (writePopInfo) marker += '\t';
    marker.reserve(size_t(selected) * 12 + 2);
  }
  // The rows are sized for three bytes per selected locus up front and filled in place; a
  // longer field grows its row.
  std::vector<std::string> rows(size_t(n) * 2);
  std::vector<size_t> used(rows.size());
  for (uint32_t i = 0; i < n; ++i)
    for (uint32_t r = 0; r < 2; ++r) {
      std::string& row = rows[size_t(i) * 2 + r];
      row += vcf.SampleNamesRef()[ind[i]];
      row += '\t';
      if (writePopInfo) {
        AppendU(row, uint64_t(popOf[i]) + 1);
        row += '\t';
      }
      used[size_t(i) * 2 + r] = row.size();
      row.resize(row.size() + size_t(selected) * 3 + 2);
    }
  const std::string missingField = std::string(missingDataItem) + '\t';
  std::vector<std::string> alleles, codes;
  for (uint64_t v = 0; v < nv; ++v) {
    if (Stopped(progress, v, nv)) return TZelErr::User("Cancelled");
    if (!vcf.IsSelected(v)) continue;
    if (const TXtrFuncRes r = calls.Read(v, false); r != xtrOK) return calls.Error(v, r);
    if (depth.Use && !calls.HasDp()) {
      ++out.NoDepthVariants;
      continue;
    }
    uint32_t bad = 0;
    const size_t nRead = ReadAlleles(vcf, v, alleles);
    if (!StructureAlleleCodes(std::span<const std::string>(alleles.data(), nRead), codes, bad))
      return TZelErr::User("Allele too long for a Structure code: allele number " +
                               std::to_string(bad) + " is above 69",
                           Where(vcf, v));
    const uint32_t nAl = uint32_t(codes.size());
    for (std::string& c : codes) c += '\t';
    for (uint32_t i = 0; i < n; ++i) {
      uint32_t* a = calls.Alleles(i);
      if (depth.Use) {
        const uint32_t d = calls.Depth(i);
        if (d < depth.First) {
          a[0] = a[1] = MissingAlleleNo;
        } else if (d < depth.Hom && a[0] == a[1]) {
          a[1] = MissingAlleleNo;
        }
      }
      for (uint32_t r = 0; r < 2; ++r) {
        const std::string& field = a[r] < nAl ? codes[a[r]] : missingField;
        std::string& row = rows[size_t(i) * 2 + r];
        size_t& at = used[size_t(i) * 2 + r];
        if (at + field.size() > row.size()) row.resize(std::max(row.size() * 3 / 2, at + 4096));
        std::memcpy(row.data() + at, field.data(), field.size());
        at += field.size();
      }
    }
    if (writeMarkerNames) {
      marker += '\t';
      AppendMarker(marker, vcf, v, markerNameDelim);
    }
    ++out.Loci;
  }
  if (progress) progress->Progress(nv, nv);
  out.NotExported = selected - out.Loci;
  if (out.Loci == 0) return NoLocus(out, selected, "could be read");
  if (writeMarkerNames) {
    marker += kCrLf;
    out.Text.push_back(std::move(marker));
  }
  for (size_t k = 0; k < rows.size(); ++k) {
    rows[k].resize(used[k]);
    rows[k] += kCrLf;
    out.Text.push_back(std::move(rows[k]));
  }
  keep.Done = true;
  return {};
}

TZelErr ExportVcf2BinBiallelic(TVCFFile& vcf, TVcfExportResult& out,
                               std::span<const uint32_t> samplesToExport, uint32_t minDP,
                               char presenceCh, char absenceCh, char missingDataCh,
                               char markerNameDelim, bool writeFamdHeaderAndEnd,
                               bool polymorphicOnly, bool ignoreSymbolicAlleles,
                               IZelProgress* progress) {
  out = TVcfExportResult();
  TTextOnSuccess keep{out};
  for (uint32_t s : samplesToExport)
    if (s >= vcf.NSamples())
      return TZelErr(
          "Export", "Sample to export is not a sample of the VCF file",
          "sample number " + std::to_string(s) + " of " + std::to_string(vcf.NSamples()));
  if (vcf.NSamples() == 0) return TZelErr::User("Nothing to export", "the VCF file has no samples");
  const uint64_t nv = vcf.NVariants();
  const uint64_t selected = nv ? SelectedCount(vcf) : 0;
  if (selected == 0) return TZelErr::User("No variant selected to export");
  const bool useDp = minDP > 0;
  TCallReader calls(vcf, samplesToExport, useDp, out.Report);
  const uint32_t n = calls.N();

  std::string head;
  if (writeFamdHeaderAndEnd) {
    head = "<FAMD:10?}{*:c+,i+,l+,d-,a->";
    head[6] = presenceCh;
    head[7] = absenceCh;
    head[8] = missingDataCh;
    head += kCrLf;
  }
  for (uint32_t j = 0; j < n; ++j) {
    if (j) head += '\t';
    head += vcf.SampleNamesRef()[samplesToExport.empty() ? j : samplesToExport[j]];
  }
  head += kCrLf;
  out.Text.push_back(std::move(head));

  std::vector<char> ch(size_t(n) * 2);
  std::vector<std::string> alleles;
  for (uint64_t v = 0; v < nv; ++v) {
    if (Stopped(progress, v, nv)) return TZelErr::User("Cancelled");
    if (!vcf.IsSelected(v)) continue;
    const bool skip =
        !vcf.IsBiallelic(v) ||
        (ignoreSymbolicAlleles ? vcf.HasSymbolicAllele(v) : vcf.LenRefOnlyBlock(v) > 0) ||
        (polymorphicOnly && !vcf.IsPolymorphic(v));
    if (skip) continue;
    if (const TXtrFuncRes r = calls.Read(v, false); r != xtrOK) return calls.Error(v, r);
    if (useDp && !calls.HasDp()) {
      ++out.NoDepthVariants;
      continue;
    }
    for (uint32_t i = 0; i < n; ++i) {
      char* c = ch.data() + size_t(i) * 2;
      c[0] = c[1] = missingDataCh;
      if (useDp && calls.Depth(i) < minDP) continue;
      const uint32_t pl = calls.Ploidy(i);
      const uint32_t* a = calls.Alleles(i);
      bool has[2] = {false, false}, partly = false;
      uint32_t known = 0;
      for (uint32_t k = 0; k < pl; ++k) {
        if (a[k] == MissingAlleleNo) {
          partly = true;
        } else if (a[k] < 2) {
          has[a[k]] = true;
          ++known;
        }
      }
      if (known == 0) continue;
      for (uint32_t r = 0; r < 2; ++r)
        c[r] = has[r] ? presenceCh : partly ? missingDataCh : absenceCh;
    }
    const size_t nRead = ReadAlleles(vcf, v, alleles);
    std::string& s = Piece(out.Text);
    for (uint32_t r = 0; r < 2; ++r) {
      AppendMarker(s, vcf, v, markerNameDelim);
      s += markerNameDelim;
      if (r < nRead) s += alleles[r];
      s += '\t';
      const size_t at = s.size();
      s.resize(at + n);
      for (uint32_t i = 0; i < n; ++i) s[at + i] = ch[size_t(i) * 2 + r];
      s += kCrLf;
    }
    ++out.Loci;
  }
  if (progress) progress->Progress(nv, nv);
  out.NotExported = selected - out.Loci;
  if (out.Loci == 0) {
    return NoLocus(out, selected,
                   "is a biallelic site" +
                       std::string(polymorphicOnly ? " with an ALT allele" : "") +
                       (ignoreSymbolicAlleles ? " without symbolic alleles" : ""));
  }
  if (writeFamdHeaderAndEnd) Piece(out.Text) += "*\r\n";
  keep.Done = true;
  return {};
}
