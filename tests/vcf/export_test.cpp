// The export workers: Structure allele codes, the marker-name file name, the BayeScan example,
// ploidy and failure rules, and a generated four-population file read back by readers written
// from each format's own description.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "vcf/vcfExport.h"

namespace {

const char* kHdr = "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";

std::string Join(const std::vector<std::string>& text) {
  std::string s;
  for (const std::string& t : text) s += t;
  return s;
}

// A file of the given samples whose lines are (CHROM, POS, REF, ALT, FORMAT, calls...).
std::string Vcf(const std::vector<std::string>& samples,
                const std::vector<std::vector<std::string>>& rows) {
  std::string t = kHdr;
  for (const std::string& s : samples) t += "\t" + s;
  t += "\n";
  for (const auto& r : rows) {
    t += r[0] + "\t" + r[1] + "\t.\t" + r[2] + "\t" + r[3] + "\t.\t.\t.\t" + r[4];
    for (size_t i = 5; i < r.size(); ++i) t += "\t" + r[i];
    t += "\n";
  }
  return t;
}

TEST(StructureCodes, RulesAndUniqueCodesWithinALocus) {
  const std::string long80(80, 'A'), long79(79, 'C'), ten(10, 'G');
  struct TCase {
    std::vector<std::string> Alleles;
    std::vector<std::string> Codes;
  };
  const std::vector<TCase> cases = {
      {{"A", "G"}, {"10", "12"}},
      {{"a", "G"}, {"10", "12"}},
      {{"c", "t"}, {"11", "13"}},
      {{"A", "ACGT"}, {"10", "24"}},
      {{"N", "*", "A"}, {"-9", "-9", "10"}},
      // Equal lengths collide: the later allele takes a code no rule makes.
      {{"AT", "GC"}, {"22", "14"}},
      {{"A", "a"}, {"10", "14"}},
      {{"AT", "GC", "ATTTG", "TA"}, {"22", "14", "25", "15"}},
      // 30 + allele number meets 20 + length.
      {{long80, "C", ten}, {"30", "11", "14"}},
      {{"A", long79}, {"10", "31"}},
      // The spare two-digit codes run out after eight; then three digits.
      {{"AA", "CC", "GG", "TT", "AC", "AG", "AT", "CA", "CG", "CT"},
       {"22", "14", "15", "16", "17", "18", "19", "20", "21", "100"}},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> codes{"stale"};
    uint32_t bad = 0;
    ASSERT_TRUE(StructureAlleleCodes(c.Alleles, codes, bad));
    EXPECT_EQ(codes, c.Codes) << c.Alleles[0] << " " << c.Alleles[1];
  }
  // A long allele numbered above 69 has no code.
  std::vector<std::string> many(71, "A");
  for (size_t a = 0; a < many.size(); ++a) many[a] = std::string(a + 1, 'T');
  many[70] = long80;
  std::vector<std::string> codes;
  uint32_t bad = 0;
  EXPECT_FALSE(StructureAlleleCodes(many, codes, bad));
  EXPECT_EQ(bad, 70u);
  many[70] = "G";
  many[69] = long80;
  EXPECT_TRUE(StructureAlleleCodes(many, codes, bad));
}

TEST(BayeScanMarkerFile, OnlyTheSuffixOfTheNameIsReplaced) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/a/my.dir/r.txt", "/a/my.dir/r_markernames.txt"},
      {"/out/run1.txt", "/out/run1_markernames.txt"},
      {"run1.bs.txt", "run1.bs_markernames.txt"},
      {"/a/my.dir/r", "/a/my.dir/r_markernames.txt"},
      {"/a/.hidden", "/a/.hidden_markernames.txt"},
      {"r", "r_markernames.txt"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(BayeScanMarkerFileName(in), out) << in;
}

TEST(BayeScanExport, TheTwoByTwoExample) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(
      Vcf({"a1", "a2", "b1", "b2"}, {{"1", "5", "A", "G", "GT", "0/0", "0/1", "1/1", "1/1"}})));
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2BayeScan(f, {{0, 1}, {2, 3}}, r, 0, 0, '|'));
  EXPECT_EQ(Join(r.Text),
            "[loci]=1\r\n\r\n[populations]=2\r\n\r\n[pop]=1\r\n1\t4\t2\t3\t1\r\n\r\n"
            "[pop]=2\r\n1\t4\t2\t0\t4\r\n\r\n");
  EXPECT_EQ(Join(r.MarkerNames), "1|5\r\n");
}

TEST(BayeScanExport, CallsAboveTwoAllelesAreSkippedWhateverCameBefore) {
  TVCFFile f;
  // The four-allele site first: a triploid call after it is still skipped, and a tetraploid
  // one too, instead of being read into slots sized by earlier sites.
  ASSERT_TRUE(f.OpenText(
      Vcf({"a1", "a2", "b1", "b2"}, {{"1", "5", "A", "C,G,T", "GT", "0/3", "1/2", "0/0", "0/1"},
                                     {"1", "6", "A", "G", "GT", "0/1/1", "0/1", "0/0/1/1", "1"}})));
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2BayeScan(f, {{0, 1}, {2, 3}}, r, 0, 0, '|'));
  EXPECT_EQ(r.HighPloidyCalls, 2u);
  EXPECT_EQ(Join(r.Text),
            "[loci]=2\r\n\r\n[populations]=2\r\n\r\n[pop]=1\r\n"
            "1\t4\t4\t1\t1\t1\t1\r\n2\t2\t2\t1\t1\r\n\r\n"
            "[pop]=2\r\n1\t4\t4\t3\t1\t0\t0\r\n2\t1\t2\t0\t1\r\n\r\n");
}

TEST(BayeScanExport, FailuresLeaveTheSelectionAndWriteNothing) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(
      Vcf({"a1", "a2", "b1", "b2"}, {{"1", "5", "A", ".", "GT", "0/0", "0/0", "0/0", "0/0"},
                                     {"1", "6", "A", "G", "GT", "0/1", "0/1", "0/0", "1/1"},
                                     {"1", "7", "A", "G", "GT", "0/1", "0/x", "0/0", "1/1"}})));
  f.ClearSelection(true);
  struct TCase {
    std::string Name;
    TVcfOutputPops Pops;
    TZelErr Err;
  };
  const std::vector<TCase> cases = {
      {"genotype error at the last line",
       {{0, 1}, {2, 3}},
       TZelErr::User("Genotype does not read", "<memory>, line 5, sample a2")},
      {"one population",
       {{0, 1, 2, 3}},
       TZelErr::User("BayeScan export needs at least two populations", "1 given")},
      {"a member beyond the samples",
       {{0, 1}, {2, 4}},
       TZelErr("Export", "Population member is not a sample of the VCF file",
               "sample number 4 of 4")},
  };
  for (const TCase& c : cases) {
    TVcfExportResult r;
    const TZelErr e = ExportVcf2BayeScan(f, c.Pops, r, 0, 0, '|');
    EXPECT_EQ(e.Sender, c.Err.Sender) << c.Name;
    EXPECT_EQ(e.Msg, c.Err.Msg) << c.Name;
    EXPECT_EQ(e.Details, c.Err.Details) << c.Name;
    EXPECT_TRUE(r.Text.empty() && r.MarkerNames.empty()) << c.Name;
    EXPECT_EQ(f.NSelected(), 3u) << c.Name;
  }
  // Without the bad line the site without ALT is deselected, the other stays.
  f.SetSelected(2, false);
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2BayeScan(f, {{0, 1}, {2, 3}}, r, 0, 0, '|'));
  EXPECT_EQ(r.Loci, 1u);
  EXPECT_EQ(r.NotExported, 1u);
  EXPECT_FALSE(f.IsSelected(0));
  EXPECT_TRUE(f.IsSelected(1));
  EXPECT_FALSE(f.IsSelected(2));
}

TEST(StructureExport, RowsForTheCasesThatMatter) {
  TVCFFile f;
  ASSERT_TRUE(
      f.OpenText(Vcf({"x", "y", "z"}, {{"c1", "1", "a", "G", "GT", "0/1", "1", "./."},
                                       {"c1", "2", "A", "ACGT,T", "GT", "1/2", "2/2", "0|1"}})));
  TVcfExportResult r;
  // Populations numbered 0 and 1 are written 1 and 2; z is in no population.
  ASSERT_FALSE(ExportVcf2Structure(f, {{1}, {0}}, true, true, r, 0, 0, "-9", '|'));
  EXPECT_EQ(Join(r.Text),
            "\t\tc1|1\tc1|2\r\n"
            "y\t1\t12\t13\t\r\ny\t1\t-9\t13\t\r\n"
            "x\t2\t10\t24\t\r\nx\t2\t12\t13\t\r\n");
  // Without the marker line and the population column, with another missing item.
  ASSERT_FALSE(ExportVcf2Structure(f, {{2}}, false, false, r, 0, 0, "0", ':'));
  EXPECT_EQ(Join(r.Text), "z\t0\t10\t\r\nz\t0\t24\t\r\n");
}

TEST(StructureExport, TenPopulationsAreNumberedOneToTen) {
  std::vector<std::string> names;
  std::vector<std::string> row{"c1", "1", "A", "G", "GT"};
  TVcfOutputPops pops;
  for (uint32_t p = 0; p < 10; ++p) {
    names.push_back("s" + std::to_string(p));
    row.push_back("0/1");
    pops.push_back({9 - p});  // population p holds sample 9 - p
  }
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf(names, {row})));
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2Structure(f, pops, false, true, r, 0, 0, "-9", '|'));
  std::string want;
  for (uint32_t p = 0; p < 10; ++p)
    for (const char* code : {"10", "12"})
      want += "s" + std::to_string(9 - p) + "\t" + std::to_string(p + 1) + "\t" + code + "\t\r\n";
  EXPECT_EQ(Join(r.Text), want);
}

TEST(StructureExport, AThirdAlleleOrALongAlleleNumberedAbove69IsAnError) {
  std::string alt;
  for (int a = 1; a <= 70; ++a) alt += (a > 1 ? "," : "") + std::string(a == 70 ? 90 : a + 1, 'C');
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(Vcf({"x", "y"}, {{"c1", "1", "A", "G", "GT", "0/1", "0/1/1"},
                                          {"c1", "2", "A", alt, "GT", "0/1", "0/0"}})));
  TVcfExportResult r;
  TZelErr e = ExportVcf2Structure(f, {{0, 1}}, true, true, r, 0, 0, "-9", '|');
  EXPECT_EQ(e.Msg, "Genotype with more than 2 alleles");
  EXPECT_EQ(e.Details, "<memory>, line 3, sample y");
  EXPECT_TRUE(r.Text.empty());
  f.ClearSelection(true);
  f.SetSelected(0, false);
  e = ExportVcf2Structure(f, {{0, 1}}, true, true, r, 0, 0, "-9", '|');
  EXPECT_EQ(e.Msg, "Allele too long for a Structure code: allele number 70 is above 69");
  EXPECT_EQ(e.Details, "<memory>, line 4");
  e = ExportVcf2BinBiallelic(f, r, {}, 0, '1', '0', '?', '|', true, true, true);
  EXPECT_EQ(e.Msg, "No locus to export");
}

TEST(BinaryExport, ChosenSamplesCharactersAndReferenceBlocks) {
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(
      Vcf({"x", "y", "z"}, {{"c1", "1", "A", "G", "GT:DP", "0/1:4", "1/1:9", "./.:9"},
                            {"c1", "2", "A", "<*>", "GT:DP", "0/0:4", "0/0:9", "0/0:9"},
                            {"c1", "3", "A", "C,<*>", "GT:DP", "0/2:9", "0/1:9", "1/1:9"},
                            {"c1", "4", "A", "<DEL>", "GT:DP", "0/1:9", "0/0:9", "1/1:9"}})));
  TVcfExportResult r;
  // Symbolic alleles kept: reference blocks (a placeholder ALT, here without END) are still
  // left out; monomorphic sites kept (a symbolic ALT counts as one). Samples z and x only,
  // depth 5, other characters.
  const std::vector<uint32_t> smp{2, 0};
  ASSERT_FALSE(ExportVcf2BinBiallelic(f, r, smp, 5, '+', '-', 'n', ':', false, false, false));
  EXPECT_EQ(Join(r.Text), "z\tx\r\nc1:1:A\tnn\r\nc1:1:G\tnn\r\nc1:4:A\t-+\r\nc1:4:<DEL>\t++\r\n");
  EXPECT_EQ(r.Loci, 2u);
  EXPECT_EQ(r.NotExported, 2u);
  const std::vector<uint32_t> bad{3};
  const TZelErr e = ExportVcf2BinBiallelic(f, r, bad, 0, '1', '0', '?', '|', true, true, true);
  EXPECT_EQ(e.Msg, "Sample to export is not a sample of the VCF file");
  EXPECT_TRUE(r.Text.empty());
}

// ---------------------------------------------------------------- a generated file

struct TRng {
  uint64_t S;
  uint64_t Next() {
    uint64_t z = (S += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return uint32_t(Next() % n); }
};

constexpr uint32_t kMiss = 0xFFFFFFFFu;

struct TCall {
  uint32_t Ploidy = 2;
  std::array<uint32_t, 2> A{kMiss, kMiss};
  int Dp = 0;  // -1: "."
};

struct TSite {
  std::string Chrom, Pos;
  std::vector<std::string> Alleles;
  std::vector<TCall> Calls;
};

struct TGenerated {
  std::vector<std::string> Samples;
  std::vector<TSite> Sites;
  TVcfOutputPops Pops;
  std::string Text;
};

TGenerated Generate() {
  TGenerated g;
  TRng rng{17};
  const uint32_t nSmp = 40;
  for (uint32_t s = 0; s < nSmp; ++s) g.Samples.push_back("ind" + std::to_string(s));
  // Four populations of shuffled members; every fifth sample stays unassigned.
  g.Pops.resize(4);
  std::vector<uint32_t> order(nSmp);
  for (uint32_t s = 0; s < nSmp; ++s) order[s] = s;
  for (uint32_t s = nSmp - 1; s > 0; --s) std::swap(order[s], order[rng.Below(s + 1)]);
  for (uint32_t k = 0; k < nSmp; ++k)
    if (order[k] % 5 != 4) g.Pops[rng.Below(4)].push_back(order[k]);
  const std::vector<std::string> pool = {"A",
                                         "C",
                                         "G",
                                         "T",
                                         "a",
                                         "g",
                                         "N",
                                         "*",
                                         "AT",
                                         "GC",
                                         "ATTTG",
                                         "CA",
                                         std::string(85, 'T'),
                                         std::string(12, 'G')};
  for (uint32_t v = 0; v < 400; ++v) {
    TSite site;
    site.Chrom = "chr" + std::to_string(1 + v / 150);
    site.Pos = std::to_string(1000 + v * 7);
    const uint32_t nAl = std::array<uint32_t, 8>{1, 2, 2, 2, 2, 3, 3, 4}[rng.Below(8)];
    std::set<std::string> used;
    while (site.Alleles.size() < nAl) {
      const std::string& a = pool[rng.Below(uint32_t(pool.size()))];
      if (site.Alleles.empty() && a == "*") continue;
      if (used.insert(a).second) site.Alleles.push_back(a);
    }
    const uint32_t fixed = rng.Below(10) == 0 ? 0 : kMiss;  // some sites carry one allele only
    for (uint32_t s = 0; s < nSmp; ++s) {
      TCall c;
      c.Ploidy = rng.Below(12) == 0 ? 1 : 2;
      for (uint32_t k = 0; k < c.Ploidy; ++k)
        c.A[k] = rng.Below(9) == 0 ? kMiss : fixed != kMiss ? fixed : rng.Below(nAl);
      c.Dp = rng.Below(15) == 0 ? -1 : int(rng.Below(14));
      site.Calls.push_back(c);
    }
    g.Sites.push_back(std::move(site));
  }
  g.Text = kHdr;
  for (const std::string& s : g.Samples) g.Text += "\t" + s;
  g.Text += "\n";
  for (const TSite& site : g.Sites) {
    std::string alt;
    for (size_t a = 1; a < site.Alleles.size(); ++a) alt += (a > 1 ? "," : "") + site.Alleles[a];
    g.Text += site.Chrom + "\t" + site.Pos + "\t.\t" + site.Alleles[0] + "\t" +
              (alt.empty() ? "." : alt) + "\t.\t.\t.\tGT:DP";
    for (const TCall& c : site.Calls) {
      g.Text += '\t';
      for (uint32_t k = 0; k < c.Ploidy; ++k)
        g.Text += (k ? "/" : "") + (c.A[k] == kMiss ? std::string(".") : std::to_string(c.A[k]));
      g.Text += ":" + (c.Dp < 0 ? std::string(".") : std::to_string(c.Dp));
    }
    g.Text += '\n';
  }
  return g;
}

// The depth rule as stated for the exports: below the first threshold nothing is left, below
// the second a homozygous diploid call keeps one allele.
TCall Masked(TCall c, uint32_t first, uint32_t hom) {
  const uint32_t d = c.Dp < 0 ? 0 : uint32_t(c.Dp);
  if (d < first) c.A = {kMiss, kMiss};
  if (d >= first && d < hom && c.Ploidy == 2 && c.A[0] == c.A[1]) c.A[1] = kMiss;
  return c;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> r;
  size_t b = 0;
  while (b < text.size()) {
    const size_t e = text.find("\r\n", b);
    EXPECT_NE(e, std::string::npos) << "every line ends with CR LF";
    if (e == std::string::npos) break;
    r.push_back(text.substr(b, e - b));
    b = e + 2;
  }
  return r;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> r;
  std::stringstream ss(line);
  std::string f;
  while (std::getline(ss, f, '\t')) r.push_back(f);
  if (!line.empty() && line.back() == '\t') r.push_back("");
  return r;
}

constexpr uint32_t kFirst = 3, kHom = 8;

// The Structure code an allele gets by its rule alone (as REF, numbered 0).
std::string RuleCode(const std::string& al) {
  const size_t acgt = al.size() == 1 ? std::string("ACGT").find(char(std::toupper(al[0]))) : 4;
  if (al.size() == 1) return acgt < 4 ? std::to_string(10 + acgt) : "-9";
  return al.size() <= 78 ? std::to_string(20 + al.size()) : "30";
}

TEST(GeneratedExport, BayeScanReadsBackAsTheCountsOfTheMembers) {
  const TGenerated g = Generate();
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(g.Text));
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2BayeScan(f, g.Pops, r, kHom, kFirst, '|'));
  // Expected: per site and population the copies of each allele that the depth rule leaves.
  std::vector<std::vector<std::vector<uint32_t>>> expected;  // locus, population, allele
  std::vector<std::string> markers;
  std::vector<bool> exported;
  for (const TSite& site : g.Sites) {
    const size_t nAl = site.Alleles.size();
    std::vector<std::vector<uint32_t>> cnt(g.Pops.size(), std::vector<uint32_t>(nAl, 0));
    std::vector<uint32_t> total(nAl, 0);
    for (size_t p = 0; p < g.Pops.size(); ++p)
      for (uint32_t s : g.Pops[p]) {
        const TCall c = Masked(site.Calls[s], kFirst, kHom);
        for (uint32_t k = 0; k < c.Ploidy; ++k)
          if (c.A[k] != kMiss) ++cnt[p][c.A[k]], ++total[c.A[k]];
      }
    std::vector<std::vector<uint32_t>> kept(g.Pops.size());
    for (size_t p = 0; p < g.Pops.size(); ++p)
      for (size_t a = 0; a < nAl; ++a)
        if (total[a]) kept[p].push_back(cnt[p][a]);
    const bool ok = nAl > 1 && kept[0].size() > 1;
    exported.push_back(ok);
    if (!ok) continue;
    expected.push_back(kept);
    markers.push_back(site.Chrom + "|" + site.Pos);
  }
  ASSERT_GT(expected.size(), 100u);
  // The reader: "[loci]=", "[populations]=", then one "[pop]=" block per population, one line
  // per locus (number, copies, k, then k counts), blank lines between.
  const std::vector<std::string> l = Lines(Join(r.Text));
  size_t i = 0;
  ASSERT_EQ(l[i++], "[loci]=" + std::to_string(expected.size()));
  ASSERT_EQ(l[i++], "");
  ASSERT_EQ(l[i++], "[populations]=" + std::to_string(g.Pops.size()));
  ASSERT_EQ(l[i++], "");
  std::vector<size_t> kOfLocus(expected.size(), 0);
  for (size_t p = 0; p < g.Pops.size(); ++p) {
    ASSERT_EQ(l[i++], "[pop]=" + std::to_string(p + 1));
    for (size_t loc = 0; loc < expected.size(); ++loc) {
      const std::vector<std::string> fl = Fields(l[i++]);
      ASSERT_GE(fl.size(), 3u);
      EXPECT_EQ(fl[0], std::to_string(loc + 1));
      const size_t k = std::stoul(fl[2]);
      ASSERT_EQ(fl.size(), 3 + k);
      if (p == 0) kOfLocus[loc] = k;
      EXPECT_EQ(k, kOfLocus[loc]) << "same allele count in every population";
      uint64_t sum = 0;
      std::vector<uint32_t> counts;
      for (size_t a = 0; a < k; ++a) {
        counts.push_back(uint32_t(std::stoul(fl[3 + a])));
        sum += counts.back();
      }
      EXPECT_EQ(std::to_string(sum), fl[1]);
      EXPECT_EQ(counts, expected[loc][p]) << "locus " << loc + 1 << " population " << p + 1;
    }
    ASSERT_EQ(l[i++], "");
  }
  EXPECT_EQ(i, l.size());
  EXPECT_EQ(Lines(Join(r.MarkerNames)), markers);
  for (size_t v = 0; v < g.Sites.size(); ++v) EXPECT_EQ(f.IsSelected(v), exported[v]) << v;
}

TEST(GeneratedExport, StructureRowsCodeEachAlleleOnceAndKeepTheMembersOrder) {
  const TGenerated g = Generate();
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(g.Text));
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2Structure(f, g.Pops, true, true, r, kHom, kFirst, "-9", '|'));
  // The reader: a marker line, then two rows per individual, one column per locus.
  const std::vector<std::string> l = Lines(Join(r.Text));
  const std::vector<std::string> marker = Fields(l[0]);
  const size_t nLoci = g.Sites.size();
  ASSERT_EQ(marker.size(), nLoci + 2);
  for (size_t v = 0; v < nLoci; ++v)
    EXPECT_EQ(marker[v + 2], g.Sites[v].Chrom + "|" + g.Sites[v].Pos);
  // Per locus, the code of each allele as read from the rows: one code per allele and one
  // allele per code, -9 for missing (and N, *).
  std::vector<std::map<uint32_t, std::string>> codeOf(nLoci);
  std::vector<std::map<std::string, uint32_t>> alleleOf(nLoci);
  size_t row = 1;
  for (size_t p = 0; p < g.Pops.size(); ++p)
    for (uint32_t s : g.Pops[p])
      for (uint32_t slot = 0; slot < 2; ++slot) {
        const std::vector<std::string> fl = Fields(l[row++]);
        ASSERT_EQ(fl.size(), nLoci + 3);
        EXPECT_EQ(fl[0], g.Samples[s]);
        EXPECT_EQ(fl[1], std::to_string(p + 1));
        EXPECT_EQ(fl.back(), "");
        for (size_t v = 0; v < nLoci; ++v) {
          const TCall c = Masked(g.Sites[v].Calls[s], kFirst, kHom);
          const uint32_t a = c.A[slot];
          const std::string& code = fl[v + 2];
          const bool unknownBase =
              a != kMiss && (g.Sites[v].Alleles[a] == "N" || g.Sites[v].Alleles[a] == "*");
          if (a == kMiss || unknownBase) {
            EXPECT_EQ(code, "-9") << "locus " << v << " sample " << s;
            continue;
          }
          ASSERT_NE(code, "-9");
          EXPECT_TRUE(codeOf[v].emplace(a, code).first->second == code) << v;
          EXPECT_TRUE(alleleOf[v].emplace(code, a).first->second == a) << v << " " << code;
          const std::string& al = g.Sites[v].Alleles[a];
          // REF comes first, so it always keeps the code of its rule.
          if (a == 0) {
            EXPECT_EQ(code, RuleCode(al)) << al;
          }
        }
      }
  EXPECT_EQ(row, l.size());
}

TEST(GeneratedExport, BinaryRowsShowPresenceOfEachAllele) {
  const TGenerated g = Generate();
  TVCFFile f;
  ASSERT_TRUE(f.OpenText(g.Text));
  TVcfExportResult r;
  ASSERT_FALSE(ExportVcf2BinBiallelic(f, r, {}, kFirst, '1', '0', '?', '|', true, true, true));
  // The reader: header, names, then two lines per biallelic site (REF, ALT), "*" at the end.
  const std::vector<std::string> l = Lines(Join(r.Text));
  ASSERT_GE(l.size(), 3u);
  EXPECT_EQ(l[0], "<FAMD:10?}{*:c+,i+,l+,d-,a->");
  EXPECT_EQ(Fields(l[1]), g.Samples);
  EXPECT_EQ(l.back(), "*");
  size_t i = 2;
  for (const TSite& site : g.Sites) {
    if (site.Alleles.size() != 2) continue;
    for (uint32_t a = 0; a < 2; ++a) {
      const std::vector<std::string> fl = Fields(l[i++]);
      ASSERT_EQ(fl.size(), 2u);
      EXPECT_EQ(fl[0], site.Chrom + "|" + site.Pos + "|" + site.Alleles[a]);
      std::string want;
      for (const TCall& c : site.Calls) {
        const uint32_t d = c.Dp < 0 ? 0 : uint32_t(c.Dp);
        bool has = false, missing = false;
        for (uint32_t k = 0; k < c.Ploidy; ++k) {
          has |= c.A[k] == a;
          missing |= c.A[k] == kMiss;
        }
        want += d < kFirst ? '?' : has ? '1' : missing ? '?' : '0';
      }
      EXPECT_EQ(fl[1], want) << fl[0];
    }
  }
  EXPECT_EQ(i + 1, l.size());
}

}  // namespace
