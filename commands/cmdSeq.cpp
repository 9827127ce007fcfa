// Sequence and annotation commands: FASTA and GFF3 loading, listing and grabbing FASTA
// entries, oligonucleotide melting temperatures.
#include "commands/cmdSeq.h"

#include <memory>

#include "base/korNum.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "seq/bioFastAQ.h"
#include "seq/bioGFF3.h"
#include "seq/bioSeq.h"

namespace {

// The log is UTF-8: the degree sign takes two bytes.
const char* const kDegC =
    " \xC2\xB0"
    "C";

// "(n): a, b, c" with at most ten names shown.
std::string NameList(const std::vector<std::string>& names) {
  std::string s = "(" + std::to_string(names.size()) + "): ";
  const size_t shown = names.size() < 10 ? names.size() : 10;
  for (size_t i = 0; i < shown; ++i) s += (i ? ", " : "") + names[i];
  if (shown < names.size()) s += ", ... (" + std::to_string(names.size() - shown) + " more)";
  return s;
}

// The active FASTA/FASTQ file, or null after the user error that says why not.
TFastaFile* FastaForCommand() {
  const int32_t id = GetActiveObj();
  if (id < 0 || !GetObjById(id)) {
    iscZelUserError("Nothing loaded");
    return nullptr;
  }
  TFastaFile* f = iscActiveFastaFile();
  if (!f) iscZelUserError("Need to operate on FASTA/Q input");
  return f;
}

}  // namespace

TFastaFile* iscActiveFastaFile() {
  const int32_t id = GetActiveObj();
  if (id < 0) return nullptr;
  const TObjType t = GetObjTypeById(id);
  if (t != oFASTA && t != oFASTQ) return nullptr;
  return dynamic_cast<TFastaFile*>(GetObjById(id));
}

TGFF3File* iscActiveGff3File() {
  const int32_t id = GetActiveObj();
  if (id < 0 || GetObjTypeById(id) != oGFF3) return nullptr;
  return dynamic_cast<TGFF3File*>(GetObjById(id));
}

bool scLoadFastaFile(const std::string& fn) {
  iscZelHasError(true);
  auto fa = std::make_unique<TFastaFile>();
  if (!fa->OpenFile(fn)) {
    // Nothing is registered: the previously active object stays active.
    iscZelError(fa->LastError());
    return false;
  }
  scUiSetFileName(fn);
  scUiSetDataSize(std::to_string(fa->NSeq()) + " seq");
  const uint32_t id = AddObj2ObjList(std::move(fa), oFASTA);
  SetActiveObj(int32_t(id));
  scUiSetObject(int32_t(id));
  return true;
}

bool scLoadGff3File(const std::string& fn) {
  iscZelHasError(true);
  auto gff = std::make_unique<TGFF3File>(true, true);
  if (!gff->LoadFromFile(fn)) {
    iscZelError(gff->LastError());
    return false;
  }
  scUiSetFileName(fn);
  scUiSetDataSize(std::to_string(gff->NFeatures()) + " FT");
  const uint32_t id = AddObj2ObjList(std::move(gff), oGFF3);
  SetActiveObj(int32_t(id));
  scUiSetObject(int32_t(id));
  return true;
}

bool iscListFastaSeq(const std::function<void(const std::string&)>& onName) {
  iscZelHasError(true);
  TFastaFile* fa = FastaForCommand();
  if (!fa) return false;
  scUiSetState(1);
  fa->ForEachName([&](uint64_t, const std::string& name) {
    onName(name);
    return true;
  });
  scUiSetState(0);
  return true;
}

bool iscGrabSelFasta2File(const std::vector<std::string>& SelSeq, const std::string& OutFile) {
  iscZelHasError(true);
  TFastaFile* fa = FastaForCommand();
  if (!fa) return false;
  scUiSetState(1);
  TFastaGrabReport rep;
  TZelErr err;
  if (!fa->WriteSeqsByName(SelSeq, OutFile, rep, err)) {
    iscZelError(err);
    return false;
  }
  if (!rep.NotFound.empty()) iscZelWarning("Names not found " + NameList(rep.NotFound));
  if (!rep.Empty.empty())
    iscZelWarning("Entries with an empty sequence, not written " + NameList(rep.Empty));
  if (!rep.TooLong.empty())
    iscZelWarning("Entries too long to hold, not written " + NameList(rep.TooLong));
  const std::string counts =
      std::to_string(rep.Written) + " of " + std::to_string(rep.Requested) + " written";
  if (rep.Written == 0) {
    iscZelError(TZelErr::User("No sequence written", counts));
    return false;
  }
  iscZelLog(counts + " to " + OutFile);
  scUiSetState(0);
  return true;
}

void scCalcTm(const std::string& seq) {
  iscZelHasError(true);
  if (seq.empty()) {
    iscZelUserError("No oligonucleotide to calculate Tm for");
    return;
  }
  iscZelLog("Calculating Tm for Oligo: " + seq);
  iscZelLog("Tm simplest: " + e2sX(oligo_tm_simple(seq), 1, 2) + kDegC);
  iscZelLog("Tm salt: " + e2sX(oligo_tm_salt(seq, 50), 1, 2) + kDegC + " @ [Salt+]=50mM");
}
