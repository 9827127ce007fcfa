// The one seam through which a command asks the user anything. The GUI answers with
// dialogs; zelcli and tests answer with given values. Commands never include a toolkit.
#pragma once

#include <optional>
#include <string>

#include "base/zelObject.h"
#include "base/zelProgress.h"

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
  void Progress(uint64_t, uint64_t) override {}
};

// The process-wide answerer; a default that cancels everything is installed at start.
IZelUser& ZelUser();
void ZelSetUser(IZelUser* user);
