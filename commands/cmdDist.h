// Distance commands: pairwise SNP distance of the active VCF file, saving and reading back
// distance matrices, the PCoA of the last matrix and its UPGMA tree.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct TPCoAResult;

// The depth thresholds scVcfPwUDist applies: set by the main window (and zelcli) from its
// depth fields before it calls the command; 0 turns masking off.
extern uint32_t zelDistMinDP;
extern uint32_t zelDistMinDP_hom;

// Computes the matrix of the active VCF file (the most recent VCF when another object is
// active), registers it as oDist and makes it active. True on success.
bool scVcfPwUDist();
// Writes the most recent matrix; an empty name does nothing.
bool scSaveDist(const std::string& fileName);
// Reads a matrix file this program wrote and registers it as oDist (active).
bool iscLoadDistMatrix(const std::string& fileName);
// PCoA of the most recent matrix with the grouping of the most recent data set's current
// scheme. The result is kept (iscLastPCoA) and handed to the viewer when one is installed.
bool scPCoA();
const TPCoAResult* iscLastPCoA();
using TPCoAViewer = std::function<void(const TPCoAResult&)>;
void iscSetPCoAViewer(TPCoAViewer viewer);
// Writes prefix.coords.tsv (sample, population, every axis) and prefix.eigenvalues.tsv
// (eigenvalue, % of the positive sum, cumulative %) of the last PCoA.
bool iscSavePCoATables(const std::string& prefix);
// Appends the UPGMA tree of the most recent matrix as one line to fileName (created when
// missing); an empty name computes only.
bool scUPGMA(const std::string& fileName);
