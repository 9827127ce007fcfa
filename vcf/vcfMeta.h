// The header key directory: the definitions of INFO, FORMAT, FILTER, ALT, contig and any other
// key type read from the meta-information lines (those starting with "##").
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "vcf/bioVCFTypes.h"

struct TvcfKeyDescription {
  std::string kID;
  TvcfMetaNumber kNumberKind = vmnNumber;
  int32_t kNumber = 0;
  TvcfType kType = vtInt;
  std::string kDescription;
};

struct TVcfTagValueStr {
  std::string Tag;
  std::string ValueStr;
};

struct TVcfKeyDirectory {
  uint32_t N = 0;
  std::vector<std::string> Keys;           // header order
  std::vector<uint32_t> OrigKeyID;         // for each sorted position, the position in Keys
  std::vector<std::string> SortedKeys;     // name order
  std::vector<TvcfKeyDescription> KeyDef;  // parallel to Keys (empty for predefined names)
  std::vector<std::vector<TVcfTagValueStr>> TagValuePairs;

  void SetupPredefinedKeys(const std::string_view* defKeys, uint32_t nKeys);
  void RebuildSorted();
  // Position in Keys or 0xFFFFFFFF.
  uint32_t GetKeyID(std::string_view name) const;
  void MergeWith(const TVcfKeyDirectory& dir2, bool replaceWithNewContents);
};

struct TVcfMetaKeyDir {
  uint32_t N = 0;
  std::vector<std::string> KeyTypes;  // name order, unique
  std::vector<TVcfKeyDirectory> Definitions;
  std::array<std::vector<std::string>, 2> Dictionary;
  bool IsValid = false;

  void Clear();
  uint32_t FindKeyType(std::string_view keyType) const;  // 0xFFFFFFFF when absent
  uint32_t AddNewKeyType(const std::string& keyType, const TVcfKeyDirectory& def);
  uint32_t InitKeyType(const std::string& keyType, const std::string_view* predefined, uint32_t n);
  void MergeKeyType(uint32_t position, const TVcfKeyDirectory& def);
  void MergeWith(const TVcfMetaKeyDir& dir2);
};

// Parses meta-information text into dir. lineBrk empty: guessed from the text. Definitions
// that cannot be used (an unknown Type) are left out and described in warnings.
bool MakeVcfMetaKeyDir(std::string_view metaText, TVcfMetaKeyDir& dir, std::string_view lineBrk,
                       bool getStrDictionaries, std::vector<std::string>* warnings = nullptr);

// Splits a bracketed header value at commas outside double quotes (a backslash escapes a quote).
std::vector<std::string_view> VcfSplitMetaItems(std::string_view value);
// A Description value without its surrounding quotes and with \" and \\ unescaped.
std::string VcfUnquote(std::string_view value);
