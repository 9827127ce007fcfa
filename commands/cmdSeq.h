// Sequence and annotation commands: loading FASTA and GFF3 files, listing and grabbing FASTA
// entries, the oligonucleotide melting temperature.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TFastaFile;
class TGFF3File;

// Registers the file (plain, gzip or BGZF) and makes it active; status panel 2 shows
// "12 seq" / "3050 FT". A file that does not load is a user error naming it and the cause;
// the active object stays as it was.
bool scLoadFastaFile(const std::string& fn);
bool scLoadGff3File(const std::string& fn);

// The header lines of the active FASTA file, in file order, handed to onName (the "Fasta"
// list of a front end). False after a user error ("Nothing loaded", "Need to operate on
// FASTA/Q input").
bool iscListFastaSeq(const std::function<void(const std::string&)>& onName);
// Writes the entries of the active FASTA file whose whole header is one of SelSeq to
// OutFile, in file order; logs the names not found, the empty and too long entries and
// "k of n written to OutFile". Writing nothing is a user error, and no file is made.
bool iscGrabSelFasta2File(const std::vector<std::string>& SelSeq, const std::string& OutFile);

// Logs the simple and the salt-adjusted (50 mM) melting temperature of an oligonucleotide;
// an empty one is a user error.
void scCalcTm(const std::string& seq);

// The active object as a FASTA or GFF3 file, else null.
TFastaFile* iscActiveFastaFile();
TGFF3File* iscActiveGff3File();
