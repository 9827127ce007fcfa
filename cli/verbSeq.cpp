// zelcli seq OPERATION SEQUENCE: one DNA or protein sequence through the sequence tab's
// operations (reverse complement, reverse, complement, translation, reverse translation,
// melting temperature); the result is printed as one line.
#include <string>

#include "cli/cliVerb.h"
#include "commands/cmdSeq.h"
#include "core/zelLog.h"
#include "seq/bioSeq.h"

namespace {

int RunSeq(const std::string& op, const std::string& seq) {
  if (op == "tm") {
    scCalcTm(seq);
    return 0;
  }
  std::string r;
  if (op == "revcomp")
    r = ReverseComplementSeq(seq);
  else if (op == "reverse")
    r = ReverseSeq(seq);
  else if (op == "complement")
    r = ComplementSeq(seq);
  else if (op == "translate")
    r = TranslateDNA(seq, 0, 'X');  // as the sequence tab: from the first base, X if unsure
  else
    r = ReverseTranslate(seq, '-', '-', '?');
  iscZelLog(r);
  return 0;
}

const TCliVerbRegistrar registrar(TCliVerb{
    "seq",
    "One sequence: revcomp, reverse, complement, translate, revtranslate or tm (melting "
    "temperature)",
    [](CLI::App& sub, const TCliGlobals&) -> std::function<int()> {
      auto op = std::make_shared<std::string>();
      auto seq = std::make_shared<std::string>();
      sub.add_option("OPERATION", *op,
                     "revcomp | reverse | complement | translate (standard code, from the "
                     "first base) | revtranslate (IUPAC codons) | tm")
          ->required()
          ->check(CLI::IsMember(
              {"revcomp", "reverse", "complement", "translate", "revtranslate", "tm"}));
      sub.add_option("SEQUENCE", *seq, "DNA in IUPAC codes, or a protein for revtranslate")
          ->required();
      return [op, seq]() { return RunSeq(*op, *seq); };
    }});

}  // namespace
