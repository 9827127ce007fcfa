// The one seam through which a command asks the user anything. The GUI answers with
// dialogs; zelcli and tests answer with given values. Commands never include a toolkit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/zelObject.h"
#include "base/zelProgress.h"

// The variant selection dialog: the page it opens on, what it offers, and what it hands back
// when confirmed.
enum TVarSelPage : uint8_t {
  vsChr = 0,
  vsRegion = 1,
  vsVcfInfo = 2,
  vsVcfSample = 3,
  vsValue = 4,
  vsFeature = 5
};

struct TVarSelKey {
  std::string Id;
  std::string Description;
  uint8_t Type = 0;  // header Type: 0 Integer, 1 Float, 2 Flag, 3 Character, 4 String
};

struct TVarSelRequest {
  TVarSelPage Page = vsChr;
  std::vector<std::string> Contigs;  // vsChr, vsRegion: in chromosome order
  std::vector<TVarSelKey> Keys;      // vsVcfInfo, vsVcfSample: the header's keys
};

struct TVarSelAnswer {
  std::vector<uint32_t> CheckedContigs;  // positions in the request's contig list
  std::string FromPos = "1";
  std::string ToPos = "10000000000";
  std::string Key;              // the chosen INFO or FORMAT key
  bool TagPresent = false;      // INFO page: "if tag is present" instead of a threshold
  uint8_t Comparison = 3;       // 0 "<", 1 "<=", 2 "=", 3 ">=", 4 ">", 5 "<>"
  std::string Threshold = "0";  // as typed, after the field's input filter
  std::string MinSamples = "1";
};

// The answer of the selection by a per-variant value (F_ST): which data set of the list, which
// comparison (0 "<", 1 "<=", 2 "=", 3 ">=", 4 ">", 5 "<>") and the threshold as typed.
struct TZelValueSelection {
  uint32_t DataSet = 0;
  uint8_t Comparison = 0;
  std::string Threshold;
};

class IZelUser : public IZelProgress {
 public:
  // nullopt: the user cancelled.
  virtual std::optional<std::string> AskOpenFileName(const std::string& caption,
                                                     const std::string& filter) = 0;
  virtual std::optional<std::string> AskSaveFileName(const std::string& caption,
                                                     const std::string& filter,
                                                     const std::string& defaultExt) = 0;
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& defaultValue) = 0;
  // The sample group manager edits a population structure in place (the object is the
  // engine's structure, seen here only through its root type). True when modified.
  virtual bool ShowGroupManager(TZelObject& structure) = 0;
  // The variant selection dialog on its value page: one line per data set, the first chosen
  // at the start. nullopt: cancelled (the default for front ends that do not offer it).
  virtual std::optional<TZelValueSelection> AskValueSelection(
      const std::string& caption, const std::vector<std::string>& dataSets) {
    (void)caption;
    (void)dataSets;
    return std::nullopt;
  }
  void Progress(uint64_t, uint64_t) override {}
  // The variant selection dialog; nullopt: cancelled (the default of answerers without it).
  virtual std::optional<TVarSelAnswer> ShowVarSelection(const TVarSelRequest&) {
    return std::nullopt;
  }
};

// The process-wide answerer; a default that cancels everything is installed at start.
IZelUser& ZelUser();
void ZelSetUser(IZelUser* user);
