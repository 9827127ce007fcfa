// An answerer with answers given in advance, for zelcli and tests.
#include "core/zelGivenUser.h"

namespace {

std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
  if (answers.empty()) return std::nullopt;
  std::optional<std::string> a = std::move(answers.front());
  answers.pop_front();
  return a;
}

}  // namespace

std::optional<std::string> TZelGivenUser::AskOpenFileName(const std::string& caption,
                                                          const std::string& filter) {
  Asked.push_back(caption + ": " + filter);
  return Next(OpenFileNames);
}

std::optional<std::string> TZelGivenUser::AskSaveFileName(const std::string& caption,
                                                          const std::string& filter,
                                                          const std::string&) {
  Asked.push_back(caption + ": " + filter);
  return Next(SaveFileNames);
}

std::optional<std::string> TZelGivenUser::InputBox(const std::string& caption,
                                                   const std::string& prompt, const std::string&) {
  Asked.push_back(caption + ": " + prompt);
  return Next(InputAnswers);
}

bool TZelGivenUser::ShowGroupManager(TZelObject& structure) {
  Asked.push_back("Group manager");
  return GroupManager ? GroupManager(structure) : false;
}

std::optional<TVarSelAnswer> TZelGivenUser::ShowVarSelection(const TVarSelRequest& request) {
  Asked.push_back("Variant Selection: page " + std::to_string(int(request.Page)));
  VarSelRequests.push_back(request);
  if (VarSelAnswers.empty()) return std::nullopt;
  std::optional<TVarSelAnswer> a = std::move(VarSelAnswers.front());
  VarSelAnswers.pop_front();
  return a;
}

std::optional<TZelValueSelection> TZelGivenUser::AskValueSelection(
    const std::string& caption, const std::vector<std::string>& dataSets) {
  Asked.push_back(caption);
  ValueSelectionLines = dataSets;
  if (ValueSelections.empty()) return std::nullopt;
  std::optional<TZelValueSelection> a = std::move(ValueSelections.front());
  ValueSelections.pop_front();
  return a;
}
