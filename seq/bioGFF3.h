// GFF3 annotation files: feature lines parsed into records with their attributes (percent
// escapes decoded), directives and comment lines kept apart.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "base/zelError.h"
#include "base/zelObject.h"

enum TGFF3Strand : uint8_t {
  gff3PosStrand = 0,
  gff3NegStrand = 1,
  gff3StrandIrrelevant = 2,
  gff3StrandUnknown = 3
};
enum TGFF3Phase : uint8_t {
  gff3Phase0 = 0,
  gff3Phase1 = 1,
  gff3Phase2 = 2,
  gff3PhaseIrrelevant = 3
};

inline constexpr char gff3StrandChars[] = "+-.?";
inline constexpr char gff3PhaseChars[] = "012.";
inline constexpr char gff3WhiteSpace = ' ';
inline constexpr char gff3MetaCommentStart[] = "##";
inline constexpr const char* gff3PredefinedAttributeStr[] = {
    "ID",           "Name", "Alias",  "Parent",        "Target",     "Gap",
    "Derives_from", "Note", "Dbxref", "Ontology_term", "Is_circular"};
enum Tgff3PredefinedAttributes : uint8_t {
  gaID,
  gaName,
  gaAlias,
  gaParent,
  gaTarget,
  gaGap,
  gaDerivesFrom,
  gaNote,
  gaDbxref,
  gaOntologyTerm,
  gaIsCircular
};
// Digits, letters and "_": the characters a tag keeps.
bool IsGff3AttributeTagCh(char c);

inline constexpr double MissingScore = std::numeric_limits<double>::infinity();

struct TGFF3AttributeField {
  std::string Tag;
  std::vector<std::string> ValuesAsStr;
  bool operator==(const TGFF3AttributeField&) const = default;
};

struct TGFF3AttributeFieldEx {
  std::vector<TGFF3AttributeField> ParsedAttributes;  // in column order
  std::string UnparsedAttributes;                     // the raw column when not parsed
  // The first attribute whose tag is Tag exactly: its value number SubValue, else empty.
  std::string GetParsedTagValue(std::string_view Tag, uint64_t SubValue) const;
};

// One feature line.
struct TGFF3Entry {
  std::string SeqName;     // column 1, unescaped
  std::string Source;      // 2
  std::string FeatureStr;  // 3, the feature type
  int64_t FtStart = 0;     // 4, first base (1-based); 0 for "."
  int64_t FtEnd = 0;       // 5, last base; 0 for "."
  double Score = MissingScore;
  TGFF3Strand Strand = gff3StrandUnknown;
  TGFF3Phase Phase = gff3PhaseIrrelevant;
  TGFF3AttributeFieldEx Attributes;
};

// A GFF3 file in memory. Lines starting with "##" are directives, other lines starting with
// "#" comments; a "#" anywhere else is data. "##FASTA" ends the features (the sequences after
// it are not read). Every other non-blank line must have 9 tab-separated columns, and its start,
// end and score must read as numbers: a load that meets a bad line fails as a whole, naming
// the line (counted in the original file, blank lines included) and keeps nothing.
class TGFF3File : public TZelObject {
 public:
  enum TCommentType : uint8_t { ctNone = 0, ctNormalLineStart = 1, ctMetaLineStart = 2 };

  explicit TGFF3File(bool ParseAttributes = true, bool HandleEscapedChars = true);

  // Lines of a file, A[i] being line i + 1 (a final CR is dropped).
  bool LoadGFFfromAStr(const std::vector<std::string>& A);
  // Reads a plain, gzip or BGZF file line by line.
  bool LoadFromFile(const std::string& fileName);
  // The same from text in memory; name names it in errors.
  bool LoadFromText(std::string_view text, const std::string& name);

  uint64_t NFeatures() const { return FFeatures.size(); }
  const std::vector<TGFF3Entry>& Features() const { return FFeatures; }
  const std::vector<std::string>& MetaComments() const { return FMetaComments; }
  const std::vector<std::string>& CommentLines() const { return FCommentLines; }
  bool ParseError() const { return FParseError; }
  // The 1-based line of the last failure; 0 when none.
  uint64_t LastErrorLine() const { return FLastErrorLine; }
  const TZelErr& LastError() const { return FLastErr; }

  static TCommentType GetCommentType(std::string_view line);
  // Splits an attribute column into tags and values (when ParseCompletely; else keeps it
  // whole in UnparsedAttributes), unescaping each tag and value when unescape is set. c is
  // emptied.
  static TGFF3AttributeFieldEx ParseAttributes(std::string& c, bool ParseCompletely,
                                               bool unescape = false);
  static TGFF3Strand GetGff3Strand(char c);
  static TGFF3Phase GetGff3Phase(char c);
  // "%" and two hexadecimal digits (either case) become the byte they encode; zero bytes,
  // decoded or present, are dropped.
  static std::string UnescapeGff3Str(std::string_view S);

 private:
  // Parsing state of one load; the file's lists change only when the whole load succeeded.
  struct TLoad;
  bool Finish(TLoad& ld);

  std::vector<TGFF3Entry> FFeatures;
  std::vector<std::string> FMetaComments;
  std::vector<std::string> FCommentLines;
  bool FParseError = false;
  uint64_t FLastErrorLine = 0;
  bool FDoParseAttributes = true;
  bool FHandleEscapedCh = true;
  TZelErr FLastErr;
};
