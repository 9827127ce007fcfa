// End-to-end: zelcli seq, fasta list/grab and gff info on small fixtures (plain, gzip, BGZF),
// whole outputs and written files compared.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/cli/cliRun.h"

namespace {

namespace fs = std::filesystem;

const std::string kData = ZEL_TEST_DATA "/seq/";

TEST(CliSeq, Operations) {
  const struct {
    const char* Op;
    const char* Seq;
    const char* Out;
  } cases[] = {{"revcomp", "ATGCRYKMBVDHNSW-", "-WSNDHBVKMRYGCAT\n"},
               {"reverse", "ACGTT", "TTGCA\n"},
               {"complement", "AUG", "T?C\n"},
               {"translate", "ATGGCNTAA", "MA*\n"},
               {"translate", "atgYTRATN", "MLX\n"},
               {"revtranslate", "MW-Z", "ATGTGG---???\n"},
               {"revtranslate", "LRS*", "ytnmgnwsntrr\n"},
               {"tm", "ACGTACGT",
                "Calculating Tm for Oligo: ACGTACGT\nTm simplest: 24.0 \xC2\xB0"
                "C\nTm salt: -3.1 \xC2\xB0"
                "C @ [Salt+]=50mM\n"}};
  for (const auto& c : cases) {
    const TCliRun r = RunZelcli({"seq", c.Op, c.Seq});
    EXPECT_EQ(r.Status, 0) << c.Op;
    EXPECT_EQ(r.Out, c.Out) << c.Op << " " << c.Seq;
  }
  TCliRun r = RunZelcli({"seq", "tm", ""});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "ERROR [U]: No oligonucleotide to calculate Tm for.\n");
  r = RunZelcli({"seq", "fold", "ACGT"});
  EXPECT_EQ(r.Status, 2);
}

TEST(CliFasta, ListEveryCompression) {
  const std::string want = "seq1 first sequence\nseq2|x y\nseq3\nempty one\nseq5\n";
  for (const char* name : {"multi.fa", "multi.fa.gz", "multi.fa.bgz"}) {
    const TCliRun r = RunZelcli({"fasta", "list", kData + name});
    EXPECT_EQ(r.Status, 0) << name;
    EXPECT_EQ(r.Out, want) << name;
  }
  const TCliRun r = RunZelcli({"fasta", "list", kData + "crlf.fa"});
  EXPECT_EQ(r.Out, "a\nb x\nc\n");
}

TEST(CliFasta, GrabWritesRequestedEntriesInFileOrder) {
  const fs::path dir = fs::temp_directory_path() / ("zel_cli_grab_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string out = (dir / "out.fa").string();
  TCliRun r = RunZelcli(
      {"fasta", "grab", kData + "multi.fa.bgz", "--names", kData + "names.txt", "--out", out});
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Out,
            "Names not found (1): missing\n"
            "Entries with an empty sequence, not written (1): empty one\n"
            "2 of 4 written to " +
                out + "\n");
  EXPECT_EQ(CliReadFile(out),
            ">seq1 first sequence\r\nACGTACGTACGTACGT\r\n>seq5\r\ngattaca\r\n\r\n");

  // Nothing found: a user error, exit status 1 and no file.
  const std::string names = (dir / "names").string();
  std::ofstream(names, std::ios::binary) << "nope\r\n\r\nempty one\r\n";
  const std::string none = (dir / "none.fa").string();
  r = RunZelcli({"fasta", "grab", kData + "multi.fa", "--names", names, "--out", none});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out,
            "Names not found (1): nope\n"
            "Entries with an empty sequence, not written (1): empty one\n"
            "ERROR [U]: No sequence written: 0 of 2 written.\n");
  EXPECT_FALSE(fs::exists(none));

  r = RunZelcli(
      {"fasta", "grab", kData + "multi.fa", "--names", (dir / "x").string(), "--out", none});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "ERROR [U]: Cannot read names file: " + (dir / "x").string() + ".\n");
  fs::remove_all(dir);
}

TEST(CliGff, InfoEveryCompression) {
  for (const char* name : {"real.gff3", "real.gff3.gz", "real.gff3.bgz"}) {
    const TCliRun r = RunZelcli({"gff", "info", kData + name});
    EXPECT_EQ(r.Status, 0) << name;
    EXPECT_EQ(r.Out, "File: " + kData + name +
                         "\nDirectives: 4\nComment lines: 1\nFeatures: 10\n"
                         "Feature types (4):\n  gene\t2\n  mRNA\t2\n  exon\t3\n  CDS\t3\n");
  }
  const TCliRun r = RunZelcli({"gff", "info", kData + "bad_cols.gff3"});
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Out, "ERROR [U]: Not a GFF3 feature line (8 columns, 9 needed): " + kData +
                       "bad_cols.gff3 line 5.\n");
}

}  // namespace
