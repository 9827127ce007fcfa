// VCF statistics commands: the SNP transition matrix of the active VCF file, and the warnings
// about calls read as missing or ignored.
#include "commands/cmdVcf.h"

#include <cstdio>
#include <string>

#include "commands/cmdLoad.h"
#include "core/zelLog.h"
#include "core/zelUiState.h"
#include "vcf/bioVCF.h"
#include "vcf/vcfXtr.h"

void scVcfGetSnpTransitionMatrix() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  iscZelLog("Obtaining nucleotide transition matrix from biallelic SNP data...");
  scUiSetState(1);
  double m[4][4];
  // Without a qualifying SNP every frequency is 0 (never 0/0).
  vcf->ForgetLineErrors();
  const uint64_t total = vcf->GetNucMatrix(m, 0, ~uint64_t(0));
  if (const TZelErr e = vcf->FirstLineError()) {
    scUiSetState(0);
    iscZelError(e);
    return;
  }
  iscZelLog("Total transitions considered: " + std::to_string(total));
  const char* bases = "ACGT";
  std::string hdr = "\t";
  for (int j = 0; j < 4; ++j) hdr += std::string(1, bases[j]) + "\t";
  iscZelLog(hdr);
  for (int i = 0; i < 4; ++i) {
    std::string row(1, bases[i]);
    row += '\t';
    for (int j = 0; j < 4; ++j) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%6.4f\t", m[i][j]);
      row += buf;
    }
    iscZelLog(row);
  }
  iscZelLog("");
  scUiSetState(0);
}

void iscLogCallReport(const TXtrGtReport& r) {
  auto warn = [](uint64_t n, const char* what, uint64_t first) {
    if (n) iscZelWarning(std::to_string(n) + what + std::to_string(first) + ")");
  };
  warn(r.BadAlleleCalls,
       " calls name alleles beyond their site's alleles and were read as missing (first at line ",
       r.FirstBadAlleleLine);
  warn(r.ShortLines,
       " lines have fewer columns than the header; their absent calls read as missing (first at "
       "line ",
       r.FirstShortLine);
  warn(r.LongLines,
       " lines have more sample columns than the header names; the extra columns were ignored "
       "(first at line ",
       r.FirstLongLine);
  warn(r.ExtraItemLines,
       " lines have calls with more subfields than FORMAT keys (or sample columns without "
       "FORMAT); the extra subfields were ignored (first at line ",
       r.FirstExtraItemLine);
}
