// Fuzz target: arbitrary bytes as a FASTA file, as a GFF3 file and as one sequence through the
// sequence operations; nothing may crash, and what is read must hold together.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "seq/bioFastAQ.h"
#include "seq/bioGFF3.h"
#include "seq/bioSeq.h"

namespace {

void Fasta(const std::string& text) {
  TFastaFile f;
  if (!f.OpenText(text, "fuzz.fa")) {
    if (f.NSeq() != 0 || !f.LastError()) __builtin_trap();
    return;
  }
  const uint64_t n = f.NSeq() < 500 ? f.NSeq() : 500;
  std::vector<std::string> names;
  for (uint64_t i = 0; i < n; ++i) {
    const TNamedSeq s = f.GetNamedSeq(i);
    // No line break is ever part of a name or a sequence, and lengths measure what is read.
    if (s.Name.find_first_of("\r\n") != std::string::npos ||
        s.Seq.find_first_of("\r\n") != std::string::npos)
      __builtin_trap();
    if (f.GetLName(i) != s.Name.size() || f.GetLSeq(i) != s.Seq.size()) __builtin_trap();
    if (f.GetSeqIDByPName(s.Name.data(), s.Name.size(), 0) > i) __builtin_trap();
    uint64_t len = 0;
    const uint8_t* p = f.GetEntryPtr(i, len);
    if ((p == nullptr) != (len == 0)) __builtin_trap();
    names.push_back(s.Name);
  }
  if (n == f.NSeq() && f.CollectSeqsByName(names).size() != n) __builtin_trap();
  f.AsNames(n / 2, n + 3);
  std::vector<uint64_t> nl, sl;
  f.XtrEntrySizes(&nl, &sl, 0, n);
}

void Gff(const std::string& text) {
  TGFF3File g;
  if (!g.LoadFromText(text, "fuzz.gff3")) {
    // A failed load keeps nothing and says why.
    if (g.NFeatures() != 0 || !g.MetaComments().empty() || !g.LastError()) __builtin_trap();
    return;
  }
  for (const TGFF3Entry& e : g.Features()) {
    if (e.FtStart < 0 || e.FtEnd < 0) __builtin_trap();
    for (const TGFF3AttributeField& a : e.Attributes.ParsedAttributes)
      for (char c : a.Tag)
        if (!IsGff3AttributeTagCh(c)) __builtin_trap();
  }
}

void Ops(std::string_view s) {
  if (s.size() > 4096) s = s.substr(0, 4096);
  if (ReverseComplementSeq(s).size() != s.size()) __builtin_trap();
  if (ReverseSeq(ReverseSeq(s)) != s) __builtin_trap();
  for (uint32_t off = 0; off < 3; ++off) {
    const std::string aa = TranslateDNA(s, off, 'X');
    if (aa.size() != (s.size() > off ? (s.size() - off) / 3 : 0)) __builtin_trap();
  }
  if (ReverseTranslate(s, '-', '-', '?').size() != 3 * s.size()) __builtin_trap();
  oligo_tm_simple(s);
  oligo_tm_salt(s, 50);
  TPackedDNASet p;
  p.SetFromAmbigStr(s, 0.25);
  TSeqRegion r;
  for (size_t i = 0; i + 1 < s.size() && i < 16; i += 2)
    r.AddRegion(uint8_t(s[i]), uint8_t(s[i + 1]));
  GetSeqRegion(s, r);
  r.Sanitise();
  for (size_t i = 1; i < r.Parts.size(); ++i)
    if (r.Parts[i].Start <= uint64_t(r.Parts[i - 1].Start) + r.Parts[i - 1].Length)
      __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string text = size ? std::string(reinterpret_cast<const char*>(data), size) : "";
  Fasta(text);
  Gff(text);
  Ops(text);
  return 0;
}
