// VCF statistics commands: the SNP transition matrix of the active VCF file.
#pragma once

void scVcfGetSnpTransitionMatrix();
