// The process-wide answerer of user questions; without a front end every question is cancelled.
#include "core/zelUser.h"

namespace {

class TZelCancelUser final : public IZelUser {
 public:
  std::optional<std::string> AskOpenFileName(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> AskSaveFileName(const std::string&, const std::string&,
                                             const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  bool ShowGroupManager(TZelObject&) override { return false; }
};

TZelCancelUser& CancelUser() {
  static TZelCancelUser user;
  return user;
}

IZelUser*& Current() {
  static IZelUser* user = &CancelUser();
  return user;
}

}  // namespace

IZelUser& ZelUser() { return *Current(); }

void ZelSetUser(IZelUser* user) { Current() = user ? user : &CancelUser(); }
