// The answerer a command sees while it runs off the interface thread: questions go to the
// window's dialogs on the interface thread (the command waits for the answer), progress and
// the Cancel request are shared through atomics the window polls.
#pragma once

#include <atomic>

#include "core/zelUser.h"

class QObject;

class TZelThreadUser : public IZelUser {
 public:
  // gui: an object living on the interface thread; inner: the dialogs, used only there.
  TZelThreadUser(QObject* gui, IZelUser& inner) : Gui(gui), Inner(inner) {}

  std::optional<std::string> AskOpenFileName(const std::string& caption,
                                             const std::string& filter) override;
  std::optional<std::string> AskSaveFileName(const std::string& caption, const std::string& filter,
                                             const std::string& defaultExt) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultValue) override;
  bool ShowGroupManager(TZelObject& structure) override;
  std::optional<TZelValueSelection> AskValueSelection(
      const std::string& caption, const std::vector<std::string>& dataSets) override;
  std::optional<TVarSelAnswer> ShowVarSelection(const TVarSelRequest& request) override;

  void Progress(uint64_t done, uint64_t total) override {
    Done.store(done, std::memory_order_relaxed);
    Total.store(total, std::memory_order_relaxed);
  }
  bool Cancelled() override { return CancelRequested.load(std::memory_order_relaxed); }

  // A new command starts: no progress yet, no Cancel.
  void Reset() {
    Done.store(0);
    Total.store(0);
    CancelRequested.store(false);
  }
  void RequestCancel() { CancelRequested.store(true); }
  bool CancelWasRequested() const { return CancelRequested.load(); }
  uint64_t DoneUnits() const { return Done.load(std::memory_order_relaxed); }
  uint64_t TotalUnits() const { return Total.load(std::memory_order_relaxed); }

 private:
  template <class F>
  auto OnGui(F f) -> decltype(f());

  QObject* Gui;
  IZelUser& Inner;
  std::atomic<uint64_t> Done{0}, Total{0};
  std::atomic<bool> CancelRequested{false};
};
