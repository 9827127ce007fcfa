// FASTA files with random access to their entries (plain, gzip or BGZF) and in-memory sets of
// named sequences with optional qualities that are written out as FASTA.
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "base/zelObject.h"
#include "fileaccess/korMMTF.h"

struct TNamedSeq {
  std::string Name, Seq;
  bool operator==(const TNamedSeq&) const = default;
};

struct TQualSeq {
  std::string Name, Seq;
  std::vector<int8_t> Qual;  // one value per base, or empty
  bool operator==(const TQualSeq&) const = default;
};

// One TQualSeq per named sequence, same order; with SetQual a quality per base, each DefQual.
std::vector<TQualSeq> ANamedSeq2AQualSeq(const std::vector<TNamedSeq>& NamedSeqs, bool SetQual,
                                         int8_t DefQual);

// What a selection by name found and wrote.
struct TFastaGrabReport {
  uint64_t Requested = 0;             // names asked for, a repeated name counted each time
  uint64_t Written = 0;               // records written
  std::vector<std::string> NotFound;  // asked for and not found (once per missing take)
  std::vector<std::string> Empty;     // found with an empty sequence, not written
  std::vector<std::string> TooLong;   // found but too long to hold, not written
};

// A FASTA file read in place: entry k is the text after the (k+1)-th ">" that begins a line,
// up to the next such ">" or the end of the file. Its name is the rest of that header line,
// its sequence every later line joined. Line breaks may be LF, CR LF or CR alone; no carriage
// return or line feed is ever part of a name or sequence. Text before the first entry is not
// read. Entry numbers count from 0; lengths and offsets are 64-bit, cNoOfs meaning "none".
class TFastaFile : public TZelObject {
 public:
  TFastaFile();
  ~TFastaFile() override;

  void Init();
  // Maps and indexes the file through the decoder its first bytes call for. False with
  // LastError() (file named) when it cannot be read or holds no entry.
  bool OpenFile(const std::string& FileName);
  // The same for text held in memory (name only names it in errors).
  bool OpenText(std::string text, const std::string& name);
  void CloseFile();
  const TZelErr& LastError() const { return FLastErr; }
  const std::string& FileName() const { return FFileName; }

  uint64_t NSeq() const { return FnSeq; }
  // Entries whose bytes exceed this are too long to hold: their sequence (and raw bytes) read
  // as empty. Default 0xFFFFFFFF.
  void SetMaxEntryLen(uint64_t n) { FMaxEntryLen = n; }
  uint64_t MaxEntryLen() const { return FMaxEntryLen; }
  bool EntryTooLong(uint64_t Entry) const;

  std::string GetEntryName(uint64_t Entry);
  std::string GetEntrySeq(uint64_t Entry);
  // The entry's bytes after its ">" up to the next entry's ">" (header, line breaks, sequence).
  std::string GetEntryRaw(uint64_t Entry);
  // Address and length of those bytes, valid until the next read of this file; nullptr and 0
  // for an entry that does not exist or is too long to hold.
  const uint8_t* GetEntryPtr(uint64_t Entry, uint64_t& Len);
  std::vector<int8_t> GetEntryQual(uint64_t Entry);
  TNamedSeq GetEntry(uint64_t Entry) { return GetNamedSeq(Entry); }
  TNamedSeq GetNamedSeq(uint64_t Entry);
  TQualSeq GetQSeq(uint64_t Entry);
  // Lengths measured without copying; cNoOfs when the entry does not exist (a sequence too long
  // to hold is measured all the same).
  uint64_t GetLName(uint64_t Entry);
  uint64_t GetLSeq(uint64_t Entry);

  // Range readers: ToEntry is lowered to the last entry; entry i lands at i - FromEntry.
  std::vector<TNamedSeq> AsNamedSeqs(uint64_t FromEntry, uint64_t ToEntry);
  std::vector<std::string> AsNames(uint64_t FromEntry, uint64_t ToEntry);
  std::vector<TQualSeq> AsQSeqsEx(uint64_t FromEntry, uint64_t ToEntry, bool MakeQualArray,
                                  int8_t QualValue);
  std::vector<TQualSeq> AsQSeqs(uint64_t FromEntry, uint64_t ToEntry) {
    return AsQSeqsEx(FromEntry, ToEntry, FMakeQualArray, FDefQualVal);
  }
  // Sizes the requested arrays to the range; returns the number of entries measured.
  uint64_t XtrEntrySizes(std::vector<uint64_t>* NameLengths, std::vector<uint64_t>* SeqLengths,
                         uint64_t FromEntry, uint64_t ToEntry);
  // Calls f(entry, name) for every entry in file order until f returns false.
  void ForEachName(const std::function<bool(uint64_t, const std::string&)>& f);

  // The first entry from StartSeqID on whose whole header equals the L bytes at PSeqName;
  // cNoOfs when none.
  uint64_t GetSeqIDByPName(const void* PSeqName, uint64_t L, uint64_t StartSeqID);
  // The entries whose whole header equals a requested name, in file order; a name asked for
  // twice takes two entries of that name when there are two. Missing names are left out.
  std::vector<TNamedSeq> CollectSeqsByName(const std::vector<std::string>& SeqNames);
  // Walks the entries once and hands each match (as CollectSeqsByName finds them) to found;
  // fills the report's Requested and NotFound. Stops early once every name is taken or when
  // found returns false.
  void FindSeqsByName(const std::vector<std::string>& SeqNames,
                      const std::function<bool(uint64_t Entry, const std::string& Name)>& found,
                      TFastaGrabReport& report);
  // Writes the matching entries in file order to OutFile (">" name CR LF sequence CR LF per
  // record, an empty line at the end) through a temporary file renamed into place; entries
  // with an empty sequence or too long to hold are reported and left out. Nothing is written
  // (an existing file stays as it was) when no record is; false with err set only when the
  // file cannot be written.
  bool WriteSeqsByName(const std::vector<std::string>& SeqNames, const std::string& OutFile,
                       TFastaGrabReport& report, TZelErr& err);

  bool FMakeQualArray = false;
  int8_t FDefQualVal = 0;
  // Characters that end a name inside a header line (byte 0, tab, space, "|"); the readers
  // above do not apply them.
  std::bitset<256> FFaNameDelimiters;
  const std::bitset<256>& FaNameDelimiters() const { return FFaNameDelimiters; }

 private:
  bool IndexEntries(const std::string& name);
  // The sequence (empty for a missing entry or one too long to hold); false when its bytes
  // cannot be read.
  bool ReadEntrySeq(uint64_t Entry, std::string& out);
  // Offsets of the entry's first byte after ">" and one past its last byte.
  bool EntryBounds(uint64_t Entry, uint64_t& start, uint64_t& end) const;
  // Calls f on consecutive pieces of the bytes [from, to); false when a piece cannot be read.
  bool ForBytes(uint64_t from, uint64_t to,
                const std::function<bool(const uint8_t* p, uint64_t n)>& f);
  // Offset one past the header line's last byte (the first CR or LF, or end).
  uint64_t HeaderEnd(uint64_t start, uint64_t end);

  std::unique_ptr<TMMTF> FText;
  std::string FMemText;
  TOfsArray FEntryOfs;  // offset of each entry's ">"
  uint64_t FnSeq = 0;
  uint64_t FSize = 0;  // decoded size
  uint64_t FMaxEntryLen = 0xFFFFFFFFull;
  std::string FFileName;
  TZelErr FLastErr;
};

// Named sequences with optional qualities, written out as FASTA.
class TQSeqSet {
 public:
  TQSeqSet() = default;
  explicit TQSeqSet(std::vector<TQualSeq> seqs) : FQSeq(std::move(seqs)) {}

  void AddQSeq(TQualSeq QS) { FQSeq.push_back(std::move(QS)); }
  void AddQSeq(std::string Name, std::string Seq, std::vector<int8_t> Qual = {}) {
    FQSeq.push_back({std::move(Name), std::move(Seq), std::move(Qual)});
  }
  void ClearQSeq() { FQSeq.clear(); }
  uint64_t NSeq() const { return FQSeq.size(); }
  const std::vector<TQualSeq>& QSeqs() const { return FQSeq; }
  // ">" name LineBreak sequence LineBreak for every record with a sequence, in order.
  std::string AllToFastA(const std::string& LineBreak) const;
  // AllToFastA with CR LF and one more CR LF at the end, replacing (or appending to) FN through
  // a temporary file; nothing is written when no record has a sequence. 0 or an error code
  // (errno value, -1 for a short write).
  int WriteFastA(const std::string& FN, bool AppendIfExists) const;

 private:
  std::vector<TQualSeq> FQSeq;
};
