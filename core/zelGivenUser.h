// An answerer with answers given in advance, for zelcli and tests: each question takes the
// next answer of its kind; when none is left, the question is cancelled.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/zelUser.h"

class TZelGivenUser : public IZelUser {
 public:
  std::deque<std::optional<std::string>> OpenFileNames;
  std::deque<std::optional<std::string>> SaveFileNames;
  std::deque<std::optional<std::string>> InputAnswers;
  // Edits the structure for the group manager; unset: nothing modified.
  std::function<bool(TZelObject&)> GroupManager;
  // Answers of the variant selection dialog, and the requests it was opened with.
  std::deque<std::optional<TVarSelAnswer>> VarSelAnswers;
  std::vector<TVarSelRequest> VarSelRequests;
  std::deque<std::optional<TZelValueSelection>> ValueSelections;
  // The data-set lines of the last value selection asked.
  std::vector<std::string> ValueSelectionLines;
  // Every question asked, as "caption: prompt", in order (tests check what was asked).
  std::vector<std::string> Asked;

  std::optional<std::string> AskOpenFileName(const std::string& caption,
                                             const std::string& filter) override;
  std::optional<std::string> AskSaveFileName(const std::string& caption, const std::string& filter,
                                             const std::string& defaultExt) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultValue) override;
  bool ShowGroupManager(TZelObject& structure) override;
  std::optional<TVarSelAnswer> ShowVarSelection(const TVarSelRequest& request) override;
  std::optional<TZelValueSelection> AskValueSelection(
      const std::string& caption, const std::vector<std::string>& dataSets) override;
};
