// Distance commands: pairwise SNP distance of the active VCF file and the PCoA of the last
// distance matrix.
#pragma once

void scVcfPwUDist();
void scPCoA();
