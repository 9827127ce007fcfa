// Saving the selected variants of a VCF file as a VCF file, plain or BGZF.
#include "fileaccess/korFileIO.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfOutFile.h"
#include "vcf/vcfSelect.h"

TZelErr VcfWriteSelection(TVCFFile& vcf, const std::string& fileName,
                          const std::vector<uint32_t>* samples, unsigned threads) {
  if (fileName.empty()) return TZelErr::User("No output file name given");
  if (IsSameFile(fileName, vcf.FileName()))
    return TZelErr::User("The output file is the open input file", fileName);
  if (samples)
    for (uint32_t s : *samples)
      if (s >= vcf.NSamples())
        return TZelErr::User("Sample number beyond the VCF's samples", std::to_string(s));
  const uint32_t ns = vcf.NSamples();
  // Every sample in file order: the lines go out as stored.
  bool asStored = !samples && ns > 0;
  if (samples && samples->size() == ns && ns > 0) {
    asStored = true;
    for (uint32_t i = 0; i < ns; ++i) asStored = asStored && (*samples)[i] == i;
  }
  const bool sitesOnly = !asStored && (!samples || samples->empty());
  const std::string_view lb = vcf.CrLf() ? "\r\n" : "\n";

  TVcfOutFile out;
  if (TZelErr e = out.Open(fileName, threads)) return e;
  for (const std::string& l : vcf.ParseMetaText()) {
    out.Write(l);
    out.Write(lb);
  }
  std::string hdr;
  const size_t nFixed = sitesOnly ? vcfHdrFixedCol.size() : vcfHdrPredefCol.size();
  for (size_t c = 0; c < nFixed; ++c) {
    if (c) hdr += '\t';
    hdr += vcfHdrPredefCol[c];
  }
  const auto& names = vcf.SampleNamesRef();
  if (asStored)
    for (const std::string& n : names) hdr += "\t" + n;
  else if (!sitesOnly)
    for (uint32_t s : *samples) hdr += "\t" + names[s];
  out.Write(hdr);
  out.Write(lb);

  const bool all = !vcf.SelectionMade();
  const uint64_t nv = vcf.NVariants();
  for (uint64_t v = 0; v < nv; ++v) {
    if (!all && !vcf.IsSelected(v)) continue;
    // A malformed line is never passed on as a variant; the output is dropped unwritten.
    if (!vcf.ReadVariant(v)) return vcf.LineError();
    const std::string_view line = vcf.VariantLine(v);
    if (asStored) {
      out.Write(line);
    } else {
      const uint32_t keep = sitesOnly ? vcfInfo : vcfFormat;
      const uint32_t nc = vcf.NColumns(v);
      if (nc > keep) {
        const std::string_view last = vcf.Column(v, keep);
        out.Write(line.substr(0, size_t(last.data() + last.size() - line.data())));
      } else {
        out.Write(line);
      }
      if (!sitesOnly)
        for (uint32_t s : *samples) {
          out.Write("\t");
          out.Write(vcf.Column(v, vcfSample + s));
        }
    }
    out.Write(lb);
  }
  return out.Commit();
}
