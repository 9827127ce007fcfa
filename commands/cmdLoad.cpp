// Loading commands: file-type guess by suffix, opening VCF files, listing their samples.
#include "commands/cmdLoad.h"

#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "commands/cmdSeq.h"
#include "core/zelLog.h"
#include "core/zelRegistry.h"
#include "core/zelUiState.h"
#include "vcf/bioVCF.h"

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
  const std::string t(suffix);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

uint8_t iscGuessFileTypeBySuffix(const std::string& fileName) {
  std::string n = fileName;
  for (char& c : n)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  if (EndsWith(n, ".GZ")) n.resize(n.size() - 3);
  if (EndsWith(n, ".BGZ")) n.resize(n.size() - 4);
  static const struct {
    const char* Suffix;
    uint8_t Type;
  } table[] = {{".FA", oFASTA}, {".FAS", oFASTA},   {".FNA", oFASTA}, {".FASTA", oFASTA},
               {".FQ", oFASTQ}, {".FASTQ", oFASTQ}, {".VCF", oVCF},   {".BCF", oBCF},
               {".GFF", oGFF3}, {".GFF3", oGFF3}};
  for (const auto& row : table)
    if (EndsWith(n, row.Suffix)) return row.Type;
  return 255;
}

bool scLoadFileAuto(const std::string& fileName) {
  switch (iscGuessFileTypeBySuffix(fileName)) {
    case oVCF:
      return scLoadVcfFile(fileName);
    case oFASTA:
      return scLoadFastaFile(fileName);
    case oGFF3:
      return scLoadGff3File(fileName);
    default:
      // FASTQ, BCF and unknown suffixes load nothing.
      return false;
  }
}

std::string iscVcfDataSizeText(const TVCFFile& vcf) {
  return std::to_string(vcf.NSamples()) + " x " + std::to_string(vcf.NVariants());
}

bool scLoadVcfFile(const std::string& fileName) { return iscLoadVcfFileTallied(fileName, nullptr); }

bool iscLoadVcfFileTallied(const std::string& fileName, const TVcfCallTallyPlan* plan) {
  iscZelHasError(true);
  struct stat st {};
  // Said out loud: from the command line a silent false looks like success.
  if (fileName.empty() || (::stat(fileName.c_str(), &st) != 0 && errno == ENOENT)) {
    iscZelError(TZelErr::User("File not found", fileName));
    return false;
  }
  auto vcf = std::make_unique<TVCFFile>();
  if (plan) vcf->PlanCallTally(*plan);
  if (!vcf->OpenFile(fileName)) {
    // Nothing is registered: the previously active file stays active.
    iscZelError(vcf->LastError());
    return false;
  }
  for (const std::string& w : vcf->FileWarnings()) iscZelWarning(w);
  for (const std::string& w : vcf->OpenWarnings()) iscZelWarning(w);
  vcf->ClearSelection(true);
  const std::string size = iscVcfDataSizeText(*vcf);
  scUiSetFileName(fileName);
  scUiSetDataSize(size);
  const uint32_t id = AddObj2ObjList(std::move(vcf), oVCF);
  SetActiveObj(int32_t(id));
  scUiSetObject(int32_t(id));
  return true;
}

TVCFFile* iscActiveVcfFile() {
  const int32_t id = GetActiveObj();
  if (id < 0 || GetObjTypeById(id) != oVCF) return nullptr;
  return dynamic_cast<TVCFFile*>(GetObjById(id));
}

void scVcfListSampleNames() {
  TVCFFile* vcf = iscActiveVcfFile();
  if (!vcf) return;
  std::string text;
  for (const std::string& n : vcf->SampleNamesRef()) {
    if (!text.empty()) text += "\r\n";
    text += n;
  }
  iscZelLog(text);
}
