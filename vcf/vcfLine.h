// Splitting a VCF line at its tabs once, so that every column of the line is then reached by
// offset; also the small in-place scanners the column readers share.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

// Fills starts with the offset of every field of the line and one final entry len + 1, so
// field k is [starts[k], starts[k + 1] - 1). Returns the number of fields (at least 1); the
// vector keeps its larger size from earlier lines (no refill per line), so only the first
// fields + 1 entries count. Lines longer than 4 GiB are not split (0 fields).
size_t VcfSplitLine(const char* p, size_t len, std::vector<uint32_t>& starts);
// The same, also telling whether the line holds a control byte other than tab and CR (a NUL or
// other binary data) and how many ':' it holds, found in the same pass.
size_t VcfSplitLineChecked(const char* p, size_t len, std::vector<uint32_t>& starts, bool& ctrl,
                           uint32_t& colons);

// The k-th item of a text separated by delim (empty when there are fewer items); present
// tells whether the item exists at all.
inline std::string_view VcfNthItem(std::string_view s, uint32_t k, char delim, bool* present) {
  size_t b = 0;
  for (uint32_t i = 0; i < k; ++i) {
    size_t q = s.find(delim, b);
    if (q == std::string_view::npos) {
      if (present) *present = false;
      return {};
    }
    b = q + 1;
  }
  size_t e = s.find(delim, b);
  if (present) *present = true;
  return s.substr(b, e == std::string_view::npos ? std::string_view::npos : e - b);
}

// Position of the item exactly equal to key among the delim-separated items; 0xFFFFFFFF if absent.
inline uint32_t VcfFindItem(std::string_view s, std::string_view key, char delim) {
  uint32_t idx = 0;
  size_t b = 0;
  while (b <= s.size()) {
    size_t e = s.find(delim, b);
    if (e == std::string_view::npos) e = s.size();
    if (e - b == key.size() && std::memcmp(s.data() + b, key.data(), key.size()) == 0) return idx;
    ++idx;
    b = e + 1;
  }
  return 0xFFFFFFFFu;
}
