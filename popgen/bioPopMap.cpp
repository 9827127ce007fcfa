// Population map files: parsing and writing the "<SAMPLES>" table of individuals and schemes.
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

#include "fileaccess/korFileIO.h"
#include "popgen/bioPop.h"

namespace {

constexpr std::string_view kSamplesTag = "<SAMPLES>";
constexpr std::string_view kUnassigned = ".";

std::string Where(const std::string& fileName, size_t lineNo) {
  return fileName + ", line " + std::to_string(lineNo);
}

// Splits at CR LF, LF or a lone CR; a break after the last line adds no line. Each line keeps
// its 1-based physical line number for error reports.
struct TMapLine {
  std::string_view Text;
  size_t No;
};

std::vector<TMapLine> SplitLines(std::string_view text) {
  std::vector<TMapLine> lines;
  size_t pos = 0, no = 1;
  while (pos < text.size()) {
    size_t brk = text.find_first_of("\r\n", pos);
    if (brk == std::string_view::npos) {
      lines.push_back({text.substr(pos), no});
      break;
    }
    lines.push_back({text.substr(pos, brk - pos), no++});
    pos = brk + ((text[brk] == '\r' && brk + 1 < text.size() && text[brk + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t pos = 0;
  for (;;) {
    size_t tab = line.find('\t', pos);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(pos));
      return fields;
    }
    fields.push_back(line.substr(pos, tab - pos));
    pos = tab + 1;
  }
}

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Writes beside the file a symbolic link points to, so the link itself survives the
// temporary-file-and-rename replacement.
std::string ResolveLink(const std::string& fileName) {
  struct stat lst {};
  if (::lstat(fileName.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode)) return fileName;
  char* real = ::realpath(fileName.c_str(), nullptr);
  if (!real) return fileName;
  std::string target(real);
  std::free(real);
  return target;
}

}  // namespace

TZelErr TPopStructure::LoadFromPopMapText(std::string_view text, const std::string& fileName) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // UTF-8 mark of some editors
  std::vector<TMapLine> lines = SplitLines(text);
  std::erase_if(lines, [](const TMapLine& l) { return IsBlank(l.Text); });
  if (lines.empty()) return TZelErr::User("Population map is empty", fileName);

  const std::vector<std::string_view> header = SplitTabs(lines[0].Text);
  if (header[0] != kSamplesTag)
    return TZelErr::User("Population map header must begin with \"<SAMPLES>\"",
                         Where(fileName, lines[0].No));
  if (header.size() < 2)
    return TZelErr::User("Population map header names no scheme", Where(fileName, lines[0].No));
  // Schemes are chosen by name: a repeated name would leave one of them unreachable.
  for (size_t c = 2; c < header.size(); ++c)
    for (size_t d = 1; d < c; ++d)
      if (header[c] == header[d])
        return TZelErr::User("Scheme name \"" + std::string(header[c]) + "\" of column " +
                                 std::to_string(c + 1) + " is already the name of column " +
                                 std::to_string(d + 1),
                             Where(fileName, lines[0].No));
  if (lines.size() < 2) return TZelErr::User("Population map lists no individuals", fileName);

  const size_t nCols = header.size();
  const size_t nRows = lines.size() - 1;
  TPopNames names;
  names.reserve(nRows);
  std::vector<std::vector<std::string_view>> cells(nCols - 1);
  for (auto& col : cells) col.reserve(nRows);
  std::unordered_map<std::string_view, size_t> firstLine;
  for (size_t r = 1; r < lines.size(); ++r) {
    const std::vector<std::string_view> fields = SplitTabs(lines[r].Text);
    if (fields.size() != nCols)
      return TZelErr::User("Population map row has " + std::to_string(fields.size()) +
                               " fields where the header has " + std::to_string(nCols),
                           Where(fileName, lines[r].No));
    if (fields[0].empty())
      return TZelErr::User("Population map row has an empty individual name",
                           Where(fileName, lines[r].No));
    auto [it, added] = firstLine.try_emplace(fields[0], lines[r].No);
    if (!added)
      return TZelErr::User("Individual \"" + std::string(fields[0]) +
                               "\" is listed again (first on line " + std::to_string(it->second) +
                               ")",
                           Where(fileName, lines[r].No));
    names.emplace_back(fields[0]);
    for (size_t c = 1; c < nCols; ++c) cells[c - 1].push_back(fields[c]);
  }

  TPopStructure parsed;
  if (!parsed.init(names))  // names are unique and free of separators here
    return TZelErr::User("Population map individuals cannot be used", fileName);
  for (size_t c = 1; c < nCols; ++c) {
    const std::vector<std::string_view>& col = cells[c - 1];
    std::vector<std::string_view> labels(col.begin(), col.end());
    std::sort(labels.begin(), labels.end());  // byte order: "Pop1" < "pop10" < "pop2"
    labels.erase(std::unique(labels.begin(), labels.end()), labels.end());
    std::erase_if(labels, [](std::string_view l) { return l.empty() || l == kUnassigned; });

    // Members in ascending order, collected in one pass (a column may hold as many labels
    // as individuals).
    std::vector<TPopIdList> members(labels.size());
    for (uint32_t i = 0; i < nRows; ++i) {
      auto it = std::lower_bound(labels.begin(), labels.end(), col[i]);
      if (it != labels.end() && *it == col[i]) members[it - labels.begin()].push_back(i);
    }
    uint32_t schemeId = kPopNone;
    for (uint32_t p = 0; p < labels.size(); ++p) {
      TPopMask mask(nRows, false);
      for (uint32_t i : members[p]) mask[i] = true;
      schemeId = parsed.AddValidPopListToScheme(std::string(labels[p]), members[p], mask, schemeId,
                                                std::string(header[c]));
      if (schemeId == kPopNone)  // labels come from one line's fields: always writable
        return TZelErr::User("Population map label cannot be used",
                             fileName + ": \"" + std::string(labels[p]) + "\"");
    }
  }
  *this = std::move(parsed);
  return {};
}

TZelErr TPopStructure::LoadFromPopMap(const std::string& fileName) {
  std::string text;
  uint64_t size = 0;
  if (const int code = ReadFile(fileName, text, size))
    return TZelErr::User("Cannot read population map", fileName + ": " + FioErrorText(code));
  return LoadFromPopMapText(text, fileName);
}

TZelErr TPopStructure::PopMapLines(TPopNames& lines) const {
  lines.clear();
  if (nInd == 0 || IndNames.size() != nInd || Schemes.empty())
    return TZelErr::User("No population scheme to save");
  // A name that would split a field or a line, or read back as unassigned, would give a
  // different structure on reloading: refuse instead of writing it.
  for (const std::string& name : IndNames)
    if (name.empty() || name.find_first_of("\t\r\n") != std::string::npos)
      return TZelErr::User("Individual name cannot be written to a population map",
                           "\"" + name + "\"");
  std::string header(kSamplesTag);
  std::vector<TPopNames> columns;
  for (uint32_t s = 0; s < Schemes.size(); ++s) {
    const TPopScheme& scheme = Schemes[s];
    if (scheme.Name.find_first_of("\t\r\n") != std::string::npos)
      return TZelErr::User("Scheme name cannot be written to a population map",
                           "\"" + scheme.Name + "\"");
    for (const std::string& pop : scheme.PopNames)
      if (!IsSaveablePopName(pop))
        return TZelErr::User("Population name cannot be written to a population map",
                             "\"" + pop + "\"");
    header += '\t';
    header += scheme.Name;
    columns.push_back(GetSchemePopMbNames(s, std::string(kUnassigned)));
  }
  lines.reserve(nInd + 1);
  lines.push_back(std::move(header));
  for (uint32_t i = 0; i < nInd; ++i) {
    std::string row = IndNames[i];
    for (const TPopNames& col : columns) {
      row += '\t';
      row += col[i];
    }
    lines.push_back(std::move(row));
  }
  return {};
}

TZelErr TPopStructure::SaveToPopMap(const std::string& fileName) const {
  TPopNames lines;
  if (TZelErr err = PopMapLines(lines)) {
    if (err.Details.empty()) err.Details = fileName;
    return err;
  }
  // Each line followed by CR LF, replacing the file through a temporary one beside it.
  if (const int code = WriteFileDataStr(ResolveLink(fileName), lines, "\r\n", 0))
    return TZelErr("", "Cannot write population map", fileName + ": " + FioErrorText(code));
  return {};
}
