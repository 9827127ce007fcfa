// FASTA files read in place (entries found by the ">" that begins a line) and named sequence
// sets written out as FASTA.
#include "seq/bioFastAQ.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "fileaccess/bioBGZF.h"
#include "fileaccess/faScan.h"
#include "fileaccess/korFileIO.h"

namespace {

constexpr uint64_t kPiece = uint64_t(4) << 20;  // bytes read at once from an entry
constexpr uint64_t kHeaderPiece = 4096;         // first look for a header's end

bool IsLineBreak(uint8_t c) { return c == '\n' || c == '\r'; }

// Appends the bytes of p[0, n) that are not CR or LF.
void AppendWithoutBreaks(std::string& out, const uint8_t* p, uint64_t n) {
  const uint8_t* e = p + n;
  while (p < e) {
    const uint8_t* q = p;
    while (q < e && !IsLineBreak(*q)) ++q;
    out.append(reinterpret_cast<const char*>(p), size_t(q - p));
    while (q < e && IsLineBreak(*q)) ++q;
    p = q;
  }
}

// An output file built in a temporary file next to the target and renamed into place only
// when every byte was written; otherwise removed. Writes are gathered into large pieces.
class TTempFileOut {
 public:
  explicit TTempFileOut(const std::string& target) : FOut(target), FErr(FOut.Err()) {}

  int Err() const { return FErr; }
  void Write(const char* p, size_t n) {
    if (FErr) return;
    if (FBuf.size() + n > kFlushAt) Flush();
    if (n >= kFlushAt) {
      WriteAll(p, n);
      return;
    }
    FBuf.append(p, n);
  }
  void Write(const std::string& s) { Write(s.data(), s.size()); }
  int Commit() {
    Flush();
    if (FErr) return FErr;
    return FErr = FOut.Commit();
  }

 private:
  static constexpr size_t kFlushAt = size_t(1) << 20;
  void Flush() {
    if (!FBuf.empty()) WriteAll(FBuf.data(), FBuf.size());
    FBuf.clear();
  }
  void WriteAll(const char* p, size_t n) {
    while (n > 0 && !FErr) {
      const ssize_t w = ::write(FOut.Fd(), p, std::min<size_t>(n, size_t(1) << 30));
      if (w < 0) {
        if (errno != EINTR) FErr = errno;
        continue;
      }
      if (w == 0) FErr = EIO;
      p += w;
      n -= size_t(w);
    }
  }

  TFileOut FOut;
  int FErr = 0;
  std::string FBuf;
};

}  // namespace

std::vector<TQualSeq> ANamedSeq2AQualSeq(const std::vector<TNamedSeq>& NamedSeqs, bool SetQual,
                                         int8_t DefQual) {
  std::vector<TQualSeq> r;
  r.reserve(NamedSeqs.size());
  for (const TNamedSeq& s : NamedSeqs) {
    TQualSeq q{s.Name, s.Seq, {}};
    if (SetQual) q.Qual.assign(s.Seq.size(), DefQual);
    r.push_back(std::move(q));
  }
  return r;
}

// ---------------------------------------------------------------- TFastaFile

TFastaFile::TFastaFile() { Init(); }
TFastaFile::~TFastaFile() = default;

void TFastaFile::Init() {
  FnSeq = 0;
  FMakeQualArray = false;
  FDefQualVal = 0;
  FFaNameDelimiters.reset();
  for (uint8_t c : {uint8_t(0), uint8_t('\t'), uint8_t(' '), uint8_t('|')})
    FFaNameDelimiters.set(c);
}

void TFastaFile::CloseFile() {
  FText.reset();
  FMemText.clear();
  FEntryOfs.Make(1, 0);
  FnSeq = 0;
  FSize = 0;
}

bool TFastaFile::OpenFile(const std::string& FileName) {
  CloseFile();
  FLastErr.Clear();
  FFileName = FileName;
  if (!DoesFileExist(FileName)) {
    FLastErr = TZelErr::User("File not found", FileName);
    return false;
  }
  if (FileSizeOf(FileName) == 0) {
    FLastErr = TZelErr::User("Empty file, not a FASTA file", FileName);
    return false;
  }
  auto text = std::make_unique<TMMTF>();
  TZelErr err;
  if (!ZelLoadAndIndex(*text, FileName, err, ">")) {
    FLastErr = err ? err : TZelErr::User("Cannot open file", FileName);
    return false;
  }
  FText = std::move(text);
  return IndexEntries(FileName);
}

bool TFastaFile::OpenText(std::string text, const std::string& name) {
  CloseFile();
  FLastErr.Clear();
  FFileName = name;
  if (text.empty()) {
    FLastErr = TZelErr::User("Empty file, not a FASTA file", name);
    return false;
  }
  FMemText = std::move(text);
  FText = std::make_unique<TMMTF>();
  FText->MemAttach(reinterpret_cast<const uint8_t*>(FMemText.data()), FMemText.size());
  if (FText->MakeIndex(">") == cNoIdx) {
    FLastErr = FText->LastError() ? FText->LastError() : TZelErr::User("Cannot index text", name);
    CloseFile();
    return false;
  }
  return IndexEntries(name);
}

// Keeps the ">" that begin a line (the first byte of the file or after CR or LF): a ">" inside
// a line is data.
bool TFastaFile::IndexEntries(const std::string& name) {
  FSize = FText->DecodedFileSize();
  const TCompactIndex* gt = FText->Index(0);
  const uint64_t n = gt ? gt->Idx.Count() : 0;
  FEntryOfs.Make(FaReqB64(FSize), 0);
  FEntryOfs.Reserve(n);
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t o = gt->Idx.Get(i);
    if (o != 0) {
      const uint8_t* p = FText->OfsPtr(o - 1, 1);
      if (!p) {
        TZelErr e = FText->Decoder() ? FText->Decoder()->LastError() : TZelErr();
        FLastErr = e ? e : TZelErr::User("Cannot read file", name);
        CloseFile();
        return false;
      }
      if (!IsLineBreak(*p)) continue;
    }
    FEntryOfs.Push(o, 1);
  }
  FnSeq = FEntryOfs.Count();
  // The ">" index is not needed any more: the entries have their own.
  FText->ClearIndices();
  if (FnSeq == 0) {
    FLastErr = TZelErr::User("Not a FASTA file (no line starts with \">\")", name);
    CloseFile();
    return false;
  }
  // Entries are mostly read in order: a plain file comes through a read window.
  FText->SetReadWindow(uint64_t(1) << 20);
  return true;
}

bool TFastaFile::EntryBounds(uint64_t Entry, uint64_t& start, uint64_t& end) const {
  if (Entry >= FnSeq) return false;
  start = FEntryOfs.Get(Entry) + 1;
  end = Entry + 1 < FnSeq ? FEntryOfs.Get(Entry + 1) : FSize;
  return true;
}

bool TFastaFile::EntryTooLong(uint64_t Entry) const {
  uint64_t s, e;
  return EntryBounds(Entry, s, e) && e - s > FMaxEntryLen;
}

bool TFastaFile::ForBytes(uint64_t from, uint64_t to,
                          const std::function<bool(const uint8_t* p, uint64_t n)>& f) {
  while (from < to) {
    const uint64_t n = std::min(kPiece, to - from);
    const uint8_t* p = FText->OfsPtr(from, n);
    if (!p) return false;
    if (!f(p, n)) return true;
    from += n;
  }
  return true;
}

uint64_t TFastaFile::HeaderEnd(uint64_t start, uint64_t end) {
  uint64_t at = end;
  uint64_t pos = start;
  // Most headers end within the first few kilobytes: look there before reading big pieces.
  uint64_t want = kHeaderPiece;
  while (pos < end) {
    const uint64_t n = std::min(want, end - pos);
    const uint8_t* p = FText->OfsPtr(pos, n);
    if (!p) return end;
    for (uint64_t i = 0; i < n; ++i)
      if (IsLineBreak(p[i])) return pos + i;
    pos += n;
    want = kPiece;
  }
  return at;
}

std::string TFastaFile::GetEntryName(uint64_t Entry) {
  uint64_t s, e;
  if (!EntryBounds(Entry, s, e)) return {};
  const uint64_t h = HeaderEnd(s, e);
  std::string r;
  r.reserve(h - s);
  ForBytes(s, h, [&](const uint8_t* p, uint64_t n) {
    r.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  return r;
}

uint64_t TFastaFile::GetLName(uint64_t Entry) {
  uint64_t s, e;
  if (!EntryBounds(Entry, s, e)) return cNoOfs;
  return HeaderEnd(s, e) - s;
}

bool TFastaFile::ReadEntrySeq(uint64_t Entry, std::string& out) {
  out.clear();
  uint64_t s, e;
  if (!EntryBounds(Entry, s, e) || e - s > FMaxEntryLen) return true;
  const uint64_t h = HeaderEnd(s, e);
  out.reserve(e - h);
  if (!ForBytes(h, e, [&](const uint8_t* p, uint64_t n) {
        AppendWithoutBreaks(out, p, n);
        return true;
      })) {
    out.clear();
    return false;
  }
  out.shrink_to_fit();
  return true;
}

std::string TFastaFile::GetEntrySeq(uint64_t Entry) {
  std::string r;
  ReadEntrySeq(Entry, r);
  return r;
}

uint64_t TFastaFile::GetLSeq(uint64_t Entry) {
  uint64_t s, e;
  if (!EntryBounds(Entry, s, e)) return cNoOfs;
  const uint64_t h = HeaderEnd(s, e);
  uint64_t breaks = 0;
  ForBytes(h, e, [&](const uint8_t* p, uint64_t n) {
    breaks += FaCountB(p, n, '\n') + FaCountB(p, n, '\r');
    return true;
  });
  return e - h - breaks;
}

std::string TFastaFile::GetEntryRaw(uint64_t Entry) {
  uint64_t n = 0;
  const uint8_t* p = GetEntryPtr(Entry, n);
  return p ? std::string(reinterpret_cast<const char*>(p), n) : std::string();
}

const uint8_t* TFastaFile::GetEntryPtr(uint64_t Entry, uint64_t& Len) {
  Len = 0;
  uint64_t s, e;
  if (!EntryBounds(Entry, s, e) || e - s > FMaxEntryLen || e == s) return nullptr;
  const uint8_t* p = FText->OfsPtr(s, e - s);
  if (p) Len = e - s;
  return p;
}

std::vector<int8_t> TFastaFile::GetEntryQual(uint64_t Entry) {
  if (!FMakeQualArray) return {};
  const uint64_t n = GetLSeq(Entry);
  if (n == cNoOfs || EntryTooLong(Entry)) return {};
  return std::vector<int8_t>(n, FDefQualVal);
}

TNamedSeq TFastaFile::GetNamedSeq(uint64_t Entry) {
  return {GetEntryName(Entry), GetEntrySeq(Entry)};
}

TQualSeq TFastaFile::GetQSeq(uint64_t Entry) {
  TQualSeq q{GetEntryName(Entry), GetEntrySeq(Entry), {}};
  if (FMakeQualArray) q.Qual.assign(q.Seq.size(), FDefQualVal);
  return q;
}

namespace {

// Lowers to to the last entry; false when the range is then empty.
bool ClipRange(uint64_t n, uint64_t from, uint64_t& to) {
  if (n == 0) return false;
  if (to > n - 1) to = n - 1;
  return to >= from;
}

}  // namespace

std::vector<TNamedSeq> TFastaFile::AsNamedSeqs(uint64_t FromEntry, uint64_t ToEntry) {
  std::vector<TNamedSeq> r;
  if (!ClipRange(FnSeq, FromEntry, ToEntry)) return r;
  r.reserve(ToEntry - FromEntry + 1);
  for (uint64_t i = FromEntry; i <= ToEntry; ++i) r.push_back(GetNamedSeq(i));
  return r;
}

std::vector<std::string> TFastaFile::AsNames(uint64_t FromEntry, uint64_t ToEntry) {
  std::vector<std::string> r;
  if (!ClipRange(FnSeq, FromEntry, ToEntry)) return r;
  r.reserve(ToEntry - FromEntry + 1);
  for (uint64_t i = FromEntry; i <= ToEntry; ++i) r.push_back(GetEntryName(i));
  return r;
}

std::vector<TQualSeq> TFastaFile::AsQSeqsEx(uint64_t FromEntry, uint64_t ToEntry,
                                            bool MakeQualArray, int8_t QualValue) {
  std::vector<TQualSeq> r;
  if (!ClipRange(FnSeq, FromEntry, ToEntry)) return r;
  r.reserve(ToEntry - FromEntry + 1);
  for (uint64_t i = FromEntry; i <= ToEntry; ++i) {
    TQualSeq q{GetEntryName(i), GetEntrySeq(i), {}};
    if (MakeQualArray) q.Qual.assign(q.Seq.size(), QualValue);
    r.push_back(std::move(q));
  }
  return r;
}

uint64_t TFastaFile::XtrEntrySizes(std::vector<uint64_t>* NameLengths,
                                   std::vector<uint64_t>* SeqLengths, uint64_t FromEntry,
                                   uint64_t ToEntry) {
  if (!NameLengths && !SeqLengths) return 0;
  if (!ClipRange(FnSeq, FromEntry, ToEntry)) return 0;
  const uint64_t n = ToEntry - FromEntry + 1;
  if (NameLengths) NameLengths->assign(n, 0);
  if (SeqLengths) SeqLengths->assign(n, 0);
  for (uint64_t i = FromEntry; i <= ToEntry; ++i) {
    if (NameLengths) (*NameLengths)[i - FromEntry] = GetLName(i);
    if (SeqLengths) (*SeqLengths)[i - FromEntry] = GetLSeq(i);
  }
  return n;
}

void TFastaFile::ForEachName(const std::function<bool(uint64_t, const std::string&)>& f) {
  for (uint64_t i = 0; i < FnSeq; ++i)
    if (!f(i, GetEntryName(i))) return;
}

uint64_t TFastaFile::GetSeqIDByPName(const void* PSeqName, uint64_t L, uint64_t StartSeqID) {
  if (FnSeq == 0 || StartSeqID >= FnSeq || (!PSeqName && L)) return cNoOfs;
  const std::string_view want(static_cast<const char*>(PSeqName), L);
  for (uint64_t i = StartSeqID; i < FnSeq; ++i) {
    uint64_t s, e;
    EntryBounds(i, s, e);
    const uint64_t h = HeaderEnd(s, e);
    if (h - s != L) continue;
    if (L == 0) return i;
    const uint8_t* p = FText->OfsPtr(s, L);
    if (p && std::memcmp(p, want.data(), L) == 0) return i;
  }
  return cNoOfs;
}

void TFastaFile::FindSeqsByName(
    const std::vector<std::string>& SeqNames,
    const std::function<bool(uint64_t Entry, const std::string& Name)>& found,
    TFastaGrabReport& report) {
  report.Requested = SeqNames.size();
  report.NotFound.clear();
  // Takes left per name: a name asked for twice takes two entries of that name.
  std::unordered_map<std::string, uint64_t> want;
  want.reserve(SeqNames.size());
  for (const std::string& n : SeqNames) ++want[n];
  uint64_t left = SeqNames.size();
  for (uint64_t i = 0; i < FnSeq && left > 0; ++i) {
    std::string name = GetEntryName(i);
    auto it = want.find(name);
    if (it == want.end() || it->second == 0) continue;
    --it->second;
    --left;
    if (!found(i, name)) break;
  }
  // Reported in request order; a repeated name once per take that found nothing.
  for (const std::string& n : SeqNames) {
    auto it = want.find(n);
    if (it->second > 0) {
      report.NotFound.push_back(n);
      --it->second;
    }
  }
}

std::vector<TNamedSeq> TFastaFile::CollectSeqsByName(const std::vector<std::string>& SeqNames) {
  std::vector<TNamedSeq> r;
  if (FnSeq == 0 || SeqNames.empty()) return r;
  TFastaGrabReport rep;
  FindSeqsByName(
      SeqNames,
      [&](uint64_t e, const std::string& name) {
        r.push_back({name, GetEntrySeq(e)});
        return true;
      },
      rep);
  return r;
}

bool TFastaFile::WriteSeqsByName(const std::vector<std::string>& SeqNames,
                                 const std::string& OutFile, TFastaGrabReport& report,
                                 TZelErr& err) {
  report = TFastaGrabReport();
  err.Clear();
  std::unique_ptr<TTempFileOut> out;
  std::string seq;
  bool readFailed = false;
  FindSeqsByName(
      SeqNames,
      [&](uint64_t e, const std::string& name) {
        if (EntryTooLong(e)) {
          report.TooLong.push_back(name);
          return true;
        }
        if (!ReadEntrySeq(e, seq)) {
          readFailed = true;
          return false;
        }
        if (seq.empty()) {
          report.Empty.push_back(name);
          return true;
        }
        if (!out) {
          out = std::make_unique<TTempFileOut>(OutFile);
          if (out->Err()) return false;
        }
        out->Write(">" + name + "\r\n");
        out->Write(seq);
        out->Write("\r\n", 2);
        ++report.Written;
        return out->Err() == 0;
      },
      report);
  if (readFailed) {
    const TZelErr d = FText && FText->Decoder() ? FText->Decoder()->LastError() : TZelErr();
    err = d ? d : TZelErr::User("Cannot read file", FFileName);
    report.Written = 0;
    return false;
  }
  if (!out) return true;
  if (!out->Err()) {
    out->Write("\r\n", 2);
    out->Commit();
  }
  if (out->Err()) {
    err = TZelErr::User("Cannot write file", OutFile + ": " + std::strerror(out->Err()));
    report.Written = 0;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- TQSeqSet

std::string TQSeqSet::AllToFastA(const std::string& LineBreak) const {
  std::string r;
  for (const TQualSeq& q : FQSeq) {
    if (q.Seq.empty()) continue;
    r += '>';
    r += q.Name;
    r += LineBreak;
    r += q.Seq;
    r += LineBreak;
  }
  return r;
}

int TQSeqSet::WriteFastA(const std::string& FN, bool AppendIfExists) const {
  const std::string text = AllToFastA("\r\n");
  if (text.empty()) return 0;
  return WriteFileDataStr(FN, {text}, "\r\n", AppendIfExists ? cFioAppend : 0);
}
