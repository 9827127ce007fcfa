// The Qt answerer of the user-prompt seam: file dialogs, the input box, the variant selection
// dialog, the sample group manager and message boxes.
#pragma once

#include "core/zelUser.h"

class QWidget;

class TZelQtUser : public IZelUser {
 public:
  explicit TZelQtUser(QWidget* parent) : Parent(parent) {}
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

 private:
  QWidget* Parent;
};
