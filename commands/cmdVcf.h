// VCF statistics commands: the SNP transition matrix of the active VCF file; the warnings every
// command that walks the calls logs about what it read as missing or ignored.
#pragma once

struct TXtrGtReport;

// One WARNING line per kind of call or line the walk read as missing or ignored (alleles beyond
// the site's, short lines, extra sample columns, extra subfields), each with its count and the
// first line; nothing when the walk met none.
void iscLogCallReport(const TXtrGtReport& r);

void scVcfGetSnpTransitionMatrix();
