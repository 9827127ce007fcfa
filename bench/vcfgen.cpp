// Seeded generator of realistic VCF text for examples, tests and benchmarks: populations that
// drifted apart from one ancestral frequency, GT:DP:GQ calls, missing calls (some with the
// trailing fields dropped), multi-allelic sites and indels. The same seed gives the same bytes.
// Build: g++ -O2 -std=c++20 bench/vcfgen.cpp -o vcfgen
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// splitmix64: small, fast and the same on every platform.
struct TRng {
  uint64_t s;
  uint64_t Next() {
    uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  double Unit() { return double(Next() >> 11) * (1.0 / 9007199254740992.0); }
  uint32_t Below(uint32_t n) { return uint32_t((Next() >> 32) * n >> 32); }
  double Normal() {
    double u = Unit(), v = Unit();
    if (u < 1e-300) u = 1e-300;
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }
  // Poisson by inversion for small means, normal approximation above.
  uint32_t Poisson(double m) {
    if (m > 30) {
      double x = m + std::sqrt(m) * Normal();
      return x < 0 ? 0 : uint32_t(x + 0.5);
    }
    double l = std::exp(-m), p = 1;
    uint32_t k = 0;
    do {
      ++k;
      p *= Unit();
    } while (p > l);
    return k - 1;
  }
};

struct TOpts {
  uint32_t Samples = 60, Pops = 4, Contigs = 3;
  uint64_t Variants = 3000, Seed = 1, TargetBytes = 0, CallSeed = 0;
  double Missing = 0.03, Multi = 0.05, Indel = 0.08, Fst = 0.08;
  std::string PopMap, Prefix = "S";
};

void Usage() {
  std::fprintf(stderr,
               "vcfgen [--samples N] [--variants N | --bytes N] [--pops K] [--contigs C]\n"
               "       [--seed S] [--missing F] [--multi F] [--indel F] [--fst F]\n"
               "       [--popmap FILE] [--prefix P] [--call-seed S]   VCF text to stdout\n"
               "--call-seed draws the calls from their own generator: files made with one --seed\n"
               "and different call seeds share every site and differ in their calls.\n");
}

const char* kBases = "ACGT";

}  // namespace

int main(int argc, char** argv) {
  TOpts o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto val = [&]() -> const char* {
      if (i + 1 >= argc) {
        Usage();
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--samples")
      o.Samples = uint32_t(std::strtoul(val(), nullptr, 10));
    else if (a == "--variants")
      o.Variants = std::strtoull(val(), nullptr, 10);
    else if (a == "--bytes")
      o.TargetBytes = std::strtoull(val(), nullptr, 10);
    else if (a == "--pops")
      o.Pops = uint32_t(std::strtoul(val(), nullptr, 10));
    else if (a == "--contigs")
      o.Contigs = uint32_t(std::strtoul(val(), nullptr, 10));
    else if (a == "--seed")
      o.Seed = std::strtoull(val(), nullptr, 10);
    else if (a == "--missing")
      o.Missing = std::strtod(val(), nullptr);
    else if (a == "--multi")
      o.Multi = std::strtod(val(), nullptr);
    else if (a == "--indel")
      o.Indel = std::strtod(val(), nullptr);
    else if (a == "--fst")
      o.Fst = std::strtod(val(), nullptr);
    else if (a == "--popmap")
      o.PopMap = val();
    else if (a == "--prefix")
      o.Prefix = val();
    else if (a == "--call-seed")
      o.CallSeed = std::strtoull(val(), nullptr, 10);
    else {
      Usage();
      return 2;
    }
  }
  if (o.Pops == 0) o.Pops = 1;
  if (o.Contigs == 0) o.Contigs = 1;
  TRng rng{o.Seed * 0x2545F4914F6CDD1Dull + 7};
  TRng callRng{o.CallSeed * 0x9E3779B97F4A7C15ull + 3};
  // Without a call seed the calls come from the site generator, as they always did.
  TRng& crng = o.CallSeed ? callRng : rng;

  // Samples: consecutive blocks per population; each has its own depth and missing rate.
  std::vector<uint32_t> pop(o.Samples);
  std::vector<double> depth(o.Samples), miss(o.Samples);
  std::vector<std::string> names(o.Samples);
  for (uint32_t s = 0; s < o.Samples; ++s) {
    pop[s] = uint32_t(uint64_t(s) * o.Pops / (o.Samples ? o.Samples : 1));
    depth[s] = 8 + 24 * rng.Unit();
    miss[s] = o.Missing * (0.2 + 1.6 * rng.Unit());
    char buf[64];
    std::snprintf(buf, sizeof buf, "P%u_%s%03u", pop[s] + 1, o.Prefix.c_str(), s + 1);
    names[s] = buf;
  }
  if (!o.PopMap.empty()) {
    FILE* f = std::fopen(o.PopMap.c_str(), "wb");
    if (!f) {
      std::perror(o.PopMap.c_str());
      return 1;
    }
    std::fprintf(f, "<SAMPLES>\tpopulation\tregion\r\n");
    for (uint32_t s = 0; s < o.Samples; ++s)
      std::fprintf(f, "%s\tpop%u\t%s\r\n", names[s].c_str(), pop[s] + 1,
                   pop[s] < (o.Pops + 1) / 2 ? "north" : "south");
    std::fclose(f);
  }

  std::string out;
  out.reserve(1 << 22);
  auto flush = [&]() {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
  };
  const uint64_t contigLen = 50000000;
  out += "##fileformat=VCFv4.2\n";
  out += "##source=vcfgen\n";
  out += "##FILTER=<ID=PASS,Description=\"All filters passed\">\n";
  out += "##FILTER=<ID=q10,Description=\"Quality below 10\">\n";
  for (uint32_t c = 0; c < o.Contigs; ++c)
    out +=
        "##contig=<ID=chr" + std::to_string(c + 1) + ",length=" + std::to_string(contigLen) + ">\n";
  out += "##INFO=<ID=NS,Number=1,Type=Integer,Description=\"Number of samples with data\">\n";
  out += "##INFO=<ID=DP,Number=1,Type=Integer,Description=\"Total depth\">\n";
  out += "##INFO=<ID=AF,Number=A,Type=Float,Description=\"Allele frequency, per ALT allele\">\n";
  out += "##INFO=<ID=INDEL,Number=0,Type=Flag,Description=\"Insertion or deletion\">\n";
  out += "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n";
  out += "##FORMAT=<ID=DP,Number=1,Type=Integer,Description=\"Read depth\">\n";
  out += "##FORMAT=<ID=GQ,Number=1,Type=Integer,Description=\"Genotype quality\">\n";
  out += "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
  for (auto& n : names) out += "\t" + n;
  out += "\n";

  const uint64_t perContig = o.TargetBytes ? 200000 : o.Variants / o.Contigs + 1;
  uint64_t pos = 0, written = out.size();
  uint32_t contig = 0;
  std::vector<double> popFreq(o.Pops * 3);
  std::string line;
  for (uint64_t v = 0;; ++v) {
    if (o.TargetBytes ? written >= o.TargetBytes : v >= o.Variants) break;
    if (v > 0 && v % perContig == 0 && contig + 1 < o.Contigs) {
      ++contig;
      pos = 0;
    }
    pos += 1 + rng.Below(400);
    // Site: biallelic SNP, multi-allelic SNP or indel.
    const bool multi = rng.Unit() < o.Multi;
    const bool indel = !multi && rng.Unit() < o.Indel;
    const uint32_t nAlt = multi ? 2 : 1;
    char ref = kBases[rng.Below(4)];
    std::string refS(1, ref), altS;
    if (indel) {
      uint32_t len = 1 + rng.Below(6);
      std::string ins;
      for (uint32_t k = 0; k < len; ++k) ins += kBases[rng.Below(4)];
      if (rng.Below(2))
        altS = refS + ins;  // insertion
      else {
        altS = refS;
        refS += ins;  // deletion
      }
    } else {
      char a1 = kBases[(std::strchr(kBases, ref) - kBases + 1 + rng.Below(3)) % 4];
      altS = a1;
      if (multi) {
        char a2;
        do a2 = kBases[rng.Below(4)];
        while (a2 == ref || a2 == a1);
        altS += ',';
        altS += a2;
      }
    }
    // Ancestral frequencies, then drift in every population (Balding-Nichols, normal approx.).
    double anc = 0.02 + 0.96 * rng.Unit() * rng.Unit();
    double anc2 = multi ? anc * 0.4 : 0;
    for (uint32_t p = 0; p < o.Pops; ++p) {
      double sd = std::sqrt(o.Fst * anc * (1 - anc));
      double f = anc + sd * rng.Normal();
      f = f < 0 ? 0 : (f > 1 ? 1 : f);
      double f2 = multi ? anc2 * (0.5 + rng.Unit()) : 0;
      if (f + f2 > 1) f2 = 1 - f;
      popFreq[p * 3 + 0] = 1 - f - f2;
      popFreq[p * 3 + 1] = f;
      popFreq[p * 3 + 2] = f2;
    }
    line.clear();
    line += "chr" + std::to_string(contig + 1) + "\t" + std::to_string(pos) + "\t";
    line += rng.Unit() < 0.3 ? "rs" + std::to_string(1000000 + v) : std::string(".");
    line += "\t" + refS + "\t" + altS + "\t";
    uint32_t qual = 10 + rng.Below(990);
    line += std::to_string(qual) + "\t" + (qual < 30 ? "q10" : "PASS") + "\t";
    // Genotypes first (INFO needs their sums), appended after.
    std::string calls;
    uint32_t ns = 0, totDp = 0, altCnt[3] = {0, 0, 0};
    for (uint32_t s = 0; s < o.Samples; ++s) {
      calls += '\t';
      if (crng.Unit() < miss[s]) {
        uint32_t form = crng.Below(4);
        calls += form == 0 ? "." : form == 1 ? "./." : form == 2 ? "./.:0:." : "./.:.:.";
        continue;
      }
      const double* fr = &popFreq[pop[s] * 3];
      uint32_t g[2];
      for (int k = 0; k < 2; ++k) {
        double u = crng.Unit();
        g[k] = u < fr[0] ? 0 : (u < fr[0] + fr[1] ? 1 : 2);
        if (g[k] > nAlt) g[k] = nAlt;
      }
      uint32_t dp = crng.Poisson(depth[s]);
      uint32_t gq = dp == 0 ? 0 : std::min<uint32_t>(99, 3 * dp + crng.Below(10));
      ++ns;
      totDp += dp;
      ++altCnt[g[0]];
      ++altCnt[g[1]];
      calls += char('0' + g[0]);
      calls += '/';
      calls += char('0' + g[1]);
      if (dp == 0 && crng.Below(2)) continue;  // a writer that drops trailing fields
      calls += ':' + std::to_string(dp) + ':' + std::to_string(gq);
    }
    line += "NS=" + std::to_string(ns) + ";DP=" + std::to_string(totDp) + ";AF=";
    for (uint32_t a = 1; a <= nAlt; ++a) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%.3f", ns ? double(altCnt[a]) / (2.0 * ns) : 0.0);
      if (a > 1) line += ',';
      line += buf;
    }
    if (indel) line += ";INDEL";
    line += "\tGT:DP:GQ";
    line += calls;
    line += '\n';
    out += line;
    written += line.size();
    if (out.size() > (1 << 22)) flush();
  }
  flush();
  return 0;
}
