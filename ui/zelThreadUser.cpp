// Questions from a command running on a worker thread, answered on the interface thread.
#include "ui/zelThreadUser.h"

#include <QMetaObject>
#include <QObject>
#include <QThread>

template <class F>
auto TZelThreadUser::OnGui(F f) -> decltype(f()) {
  if (QThread::currentThread() == Gui->thread()) return f();
  // Dialogs may only be made on the interface thread; the command waits for the answer,
  // which is safe because the interface thread never waits for the command.
  decltype(f()) answer{};
  QMetaObject::invokeMethod(
      Gui, [&] { answer = f(); }, Qt::BlockingQueuedConnection);
  return answer;
}

std::optional<std::string> TZelThreadUser::AskOpenFileName(const std::string& caption,
                                                           const std::string& filter) {
  return OnGui([&] { return Inner.AskOpenFileName(caption, filter); });
}

std::optional<std::string> TZelThreadUser::AskSaveFileName(const std::string& caption,
                                                           const std::string& filter,
                                                           const std::string& defaultExt) {
  return OnGui([&] { return Inner.AskSaveFileName(caption, filter, defaultExt); });
}

std::optional<std::string> TZelThreadUser::InputBox(const std::string& caption,
                                                    const std::string& prompt,
                                                    const std::string& defaultValue) {
  return OnGui([&] { return Inner.InputBox(caption, prompt, defaultValue); });
}

bool TZelThreadUser::ShowGroupManager(TZelObject& structure) {
  return OnGui([&] { return Inner.ShowGroupManager(structure); });
}

std::optional<TZelValueSelection> TZelThreadUser::AskValueSelection(
    const std::string& caption, const std::vector<std::string>& dataSets) {
  return OnGui([&] { return Inner.AskValueSelection(caption, dataSets); });
}

std::optional<TVarSelAnswer> TZelThreadUser::ShowVarSelection(const TVarSelRequest& request) {
  return OnGui([&] { return Inner.ShowVarSelection(request); });
}
