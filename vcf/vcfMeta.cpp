// The header key directory read from the meta-information lines.
#include "vcf/vcfMeta.h"

#include <algorithm>
#include <charconv>
#include <numeric>

void TVcfKeyDirectory::RebuildSorted() {
  N = uint32_t(Keys.size());
  OrigKeyID.resize(N);
  std::iota(OrigKeyID.begin(), OrigKeyID.end(), 0u);
  std::stable_sort(OrigKeyID.begin(), OrigKeyID.end(),
                   [&](uint32_t a, uint32_t b) { return VcfNameLess(Keys[a], Keys[b]); });
  SortedKeys.resize(N);
  for (uint32_t i = 0; i < N; ++i) SortedKeys[i] = Keys[OrigKeyID[i]];
}

void TVcfKeyDirectory::SetupPredefinedKeys(const std::string_view* defKeys, uint32_t nKeys) {
  Keys.assign(defKeys, defKeys + nKeys);
  KeyDef.clear();
  TagValuePairs.clear();
  RebuildSorted();
}

uint32_t TVcfKeyDirectory::GetKeyID(std::string_view name) const {
  auto it =
      std::lower_bound(SortedKeys.begin(), SortedKeys.end(), name,
                       [](const std::string& a, std::string_view b) { return VcfNameLess(a, b); });
  if (it == SortedKeys.end() || *it != name) return 0xFFFFFFFFu;
  return OrigKeyID[size_t(it - SortedKeys.begin())];
}

void TVcfKeyDirectory::MergeWith(const TVcfKeyDirectory& dir2, bool replace) {
  bool hasDefs = KeyDef.size() == Keys.size();
  for (uint32_t i = 0; i < dir2.Keys.size(); ++i) {
    const bool d2 = i < dir2.KeyDef.size();
    uint32_t id = GetKeyID(dir2.Keys[i]);
    if (id == 0xFFFFFFFFu) {
      if (!hasDefs) {
        KeyDef.resize(Keys.size());
        TagValuePairs.resize(Keys.size());
        hasDefs = true;
      }
      Keys.push_back(dir2.Keys[i]);
      KeyDef.push_back(d2 ? dir2.KeyDef[i] : TvcfKeyDescription{});
      TagValuePairs.push_back(i < dir2.TagValuePairs.size() ? dir2.TagValuePairs[i]
                                                            : std::vector<TVcfTagValueStr>{});
      RebuildSorted();
    } else if (replace && d2) {
      if (!hasDefs) {
        KeyDef.resize(Keys.size());
        TagValuePairs.resize(Keys.size());
        hasDefs = true;
      }
      KeyDef[id] = dir2.KeyDef[i];
      TagValuePairs[id] =
          i < dir2.TagValuePairs.size() ? dir2.TagValuePairs[i] : std::vector<TVcfTagValueStr>{};
    }
  }
  RebuildSorted();
}

void TVcfMetaKeyDir::Clear() {
  N = 0;
  KeyTypes.clear();
  Definitions.clear();
  Dictionary[0].clear();
  Dictionary[1].clear();
  IsValid = false;
}

uint32_t TVcfMetaKeyDir::FindKeyType(std::string_view keyType) const {
  auto it =
      std::lower_bound(KeyTypes.begin(), KeyTypes.end(), keyType,
                       [](const std::string& a, std::string_view b) { return VcfNameLess(a, b); });
  if (it == KeyTypes.end() || *it != keyType) return 0xFFFFFFFFu;
  return uint32_t(it - KeyTypes.begin());
}

uint32_t TVcfMetaKeyDir::AddNewKeyType(const std::string& keyType, const TVcfKeyDirectory& def) {
  uint32_t pos = FindKeyType(keyType);
  if (pos != 0xFFFFFFFFu) {
    Definitions[pos] = def;
    return pos;
  }
  auto it =
      std::lower_bound(KeyTypes.begin(), KeyTypes.end(), keyType,
                       [](const std::string& a, std::string_view b) { return VcfNameLess(a, b); });
  pos = uint32_t(it - KeyTypes.begin());
  KeyTypes.insert(it, keyType);
  Definitions.insert(Definitions.begin() + pos, def);
  N = uint32_t(KeyTypes.size());
  IsValid = true;
  return pos;
}

uint32_t TVcfMetaKeyDir::InitKeyType(const std::string& keyType, const std::string_view* predefined,
                                     uint32_t n) {
  TVcfKeyDirectory d;
  d.SetupPredefinedKeys(predefined, n);
  return AddNewKeyType(keyType, d);
}

void TVcfMetaKeyDir::MergeKeyType(uint32_t position, const TVcfKeyDirectory& def) {
  if (position < N) Definitions[position].MergeWith(def, true);
}

void TVcfMetaKeyDir::MergeWith(const TVcfMetaKeyDir& dir2) {
  if (!dir2.IsValid || (N == 0 && dir2.N == 0)) return;
  if (N == 0 && !IsValid) {
    *this = dir2;
    return;
  }
  for (uint32_t i = 0; i < dir2.N; ++i) {
    uint32_t pos = FindKeyType(dir2.KeyTypes[i]);
    if (pos == 0xFFFFFFFFu)
      AddNewKeyType(dir2.KeyTypes[i], dir2.Definitions[i]);
    else
      MergeKeyType(pos, dir2.Definitions[i]);
  }
  for (int k = 0; k < 2; ++k)
    if (Dictionary[k].empty()) Dictionary[k] = dir2.Dictionary[k];
}

std::vector<std::string_view> VcfSplitMetaItems(std::string_view v) {
  std::vector<std::string_view> items;
  bool inQuote = false;
  size_t b = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    if (inQuote && c == '\\' && i + 1 < v.size()) {
      ++i;  // an escaped quote or backslash stays inside the quoted text
    } else if (c == '"') {
      inQuote = !inQuote;
    } else if (c == ',' && !inQuote) {
      items.push_back(v.substr(b, i - b));
      b = i + 1;
    }
  }
  items.push_back(v.substr(b));
  return items;
}

std::string VcfUnquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  std::string r;
  r.reserve(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size() && (v[i + 1] == '"' || v[i + 1] == '\\')) ++i;
    r.push_back(v[i]);
  }
  return r;
}

namespace {

bool ParseInt32(std::string_view s, int32_t& v) {
  if (!s.empty() && s[0] == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

struct TLine {
  std::string_view KeyType;
  std::string_view Value;
  bool Bracketed = false;
  bool Broken = false;  // only one of '<' and '>'
  size_t LineNo = 0;
};

}  // namespace

bool MakeVcfMetaKeyDir(std::string_view text, TVcfMetaKeyDir& dir, std::string_view lineBrk,
                       bool getStrDictionaries, std::vector<std::string>* warnings) {
  dir.Clear();
  if (lineBrk.empty()) lineBrk = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const char brk = lineBrk.back();
  std::vector<TLine> lines;
  size_t b = 0, lineNo = 0;
  while (b < text.size()) {
    size_t e = text.find(brk, b);
    if (e == std::string_view::npos) e = text.size();
    std::string_view s = text.substr(b, e - b);
    b = e + 1;
    ++lineNo;
    if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
    if (s.size() <= 4 || s[0] != '#' || s[1] != '#') continue;
    size_t eq = s.find('=');
    if (eq == std::string_view::npos || eq < 5) continue;
    TLine l;
    l.KeyType = s.substr(2, eq - 2);
    l.LineNo = lineNo;
    std::string_view rest = s.substr(eq + 1);
    size_t lt = rest.find('<');
    size_t gt = rest.rfind('>');
    if (lt != std::string_view::npos && gt != std::string_view::npos && gt > lt) {
      l.Value = rest.substr(lt + 1, gt - lt - 1);
      l.Bracketed = true;
    } else if (lt == std::string_view::npos && gt == std::string_view::npos) {
      l.Value = rest;
    } else {
      l.Broken = true;
    }
    lines.push_back(l);
  }
  if (lines.empty()) return false;

  std::vector<std::string> types;
  for (auto& l : lines) types.emplace_back(l.KeyType);
  std::sort(types.begin(), types.end(), VcfNameLess);
  types.erase(std::unique(types.begin(), types.end()), types.end());
  dir.KeyTypes = types;
  dir.N = uint32_t(types.size());
  dir.Definitions.assign(dir.N, TVcfKeyDirectory{});

  uint32_t cntGeneral = 0, cntContig = 0;
  bool sawContigIdx = false;
  for (auto& l : lines) {
    TVcfKeyDirectory& kd = dir.Definitions[dir.FindKeyType(l.KeyType)];
    TvcfKeyDescription desc;
    std::vector<TVcfTagValueStr> pairs;
    std::string keyName;
    if (!l.Broken) {
      std::vector<std::string_view> items = VcfSplitMetaItems(l.Value);
      bool asPairs = items.size() >= 2 || (l.Bracketed && items.size() == 1 &&
                                           items[0].find('=') != std::string_view::npos);
      if (getStrDictionaries && l.KeyType == "dictionary") {
        dir.Dictionary[sdGeneral].assign(items.begin(), items.end());
        cntGeneral = uint32_t(items.size());
      }
      if (!asPairs) {
        keyName = std::string(items.empty() ? std::string_view() : items[0]);
      } else {
        bool drop = false;
        for (std::string_view it : items) {
          size_t q = it.find('=');
          if (q == std::string_view::npos) continue;
          std::string_view tag = it.substr(0, q), val = it.substr(q + 1);
          pairs.push_back({std::string(tag), std::string(val)});
          if (tag == "ID") {
            desc.kID = std::string(val);
          } else if (tag == "IDX") {
            if (getStrDictionaries) {
              uint64_t idx = 0;
              bool num = !val.empty() && std::all_of(val.begin(), val.end(), [](char c) {
                return c >= '0' && c <= '9';
              }) && val.size() < 10;
              if (num) {
                for (char c : val) idx = idx * 10 + uint64_t(c - '0');
                if (desc.kID.empty()) return false;
                bool contig = l.KeyType == "contig";
                auto& d = dir.Dictionary[contig ? sdContig : sdGeneral];
                uint32_t& cnt = contig ? cntContig : cntGeneral;
                if (contig) sawContigIdx = true;
                while (idx >= d.size()) d.resize(d.size() + 5000);
                cnt = std::max<uint32_t>(cnt, uint32_t(idx + 1));
                d[idx] = desc.kID;
              }
            }
          } else if (tag == "Type") {
            auto t = std::find(vcfTypeStr.begin(), vcfTypeStr.end(), val);
            if (t == vcfTypeStr.end()) {
              drop = true;
              if (warnings)
                warnings->push_back("Unknown Type \"" + std::string(val) + "\" in header line " +
                                    std::to_string(l.LineNo) + "; definition dropped");
            } else {
              desc.kType = TvcfType(t - vcfTypeStr.begin());
            }
          } else if (tag == "Number") {
            desc.kNumber = -1;
            desc.kNumberKind = vmnNumber;
            if (val == "A") {
              desc.kNumberKind = vmnAllele;
            } else if (val == "G") {
              desc.kNumberKind = vmnGenotype;
            } else if (val == ".") {
              desc.kNumberKind = vmnUnknown;
            } else {
              int32_t n;
              desc.kNumber = ParseInt32(val, n) ? n : 999;
              if (desc.kNumber < 0) desc.kNumberKind = vmnUnknown;
            }
          } else if (tag == "Description") {
            desc.kDescription = VcfUnquote(val);
          }
          keyName = desc.kID;
        }
        if (drop) continue;
      }
    }
    kd.Keys.push_back(keyName);
    kd.KeyDef.push_back(std::move(desc));
    kd.TagValuePairs.push_back(std::move(pairs));
  }
  for (auto& kd : dir.Definitions) kd.RebuildSorted();
  if (getStrDictionaries) {
    dir.Dictionary[sdGeneral].resize(cntGeneral);
    dir.Dictionary[sdContig].resize(cntContig);
    if (!sawContigIdx) {
      uint32_t c = dir.FindKeyType("contig");
      dir.Dictionary[sdContig] =
          c == 0xFFFFFFFFu ? std::vector<std::string>{} : dir.Definitions[c].Keys;
    }
  }
  dir.IsValid = dir.N > 0;
  return dir.IsValid;
}
