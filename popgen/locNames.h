// Names of the passing loci of one data set (CHROM "\t" POS): a pick from the names of all
// loci of a run, which the run's data sets share instead of each holding a copy.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TLocNames {
 public:
  TLocNames() = default;
  // A list of its own (every entry, in order).
  TLocNames(std::vector<std::string> names)  // NOLINT: a plain list is taken as it is
      : FAll(std::make_shared<const std::vector<std::string>>(std::move(names))) {}
  TLocNames(std::initializer_list<std::string> names)
      : TLocNames(std::vector<std::string>(names)) {}
  // Entries pick (increasing positions) of a list shared with other data sets.
  TLocNames(std::shared_ptr<const std::vector<std::string>> all, std::vector<uint32_t> pick)
      : FAll(std::move(all)), FPick(std::move(pick)), FPicked(true) {}

  size_t size() const { return FPicked ? FPick.size() : FAll ? FAll->size() : 0; }
  bool empty() const { return size() == 0; }
  const std::string& operator[](size_t i) const { return (*FAll)[FPicked ? FPick[i] : i]; }
  void clear() { *this = TLocNames(); }
  std::vector<std::string> ToVector() const {
    std::vector<std::string> r;
    r.reserve(size());
    for (size_t i = 0; i < size(); ++i) r.push_back((*this)[i]);
    return r;
  }
  friend bool operator==(const TLocNames& a, const std::vector<std::string>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i)
      if (a[i] != b[i]) return false;
    return true;
  }

 private:
  std::shared_ptr<const std::vector<std::string>> FAll;
  std::vector<uint32_t> FPick;
  bool FPicked = false;
};
