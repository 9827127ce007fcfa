// Remote command requests: a locked queue filled from any thread, drained by the main loop.
#include "core/zelRemote.h"

#include <deque>
#include <mutex>
#include <string>

#include "core/zelCmdTable.h"

bool Remoteable = true;

namespace {

struct TRemoteQueue {
  std::mutex Lock;
  std::deque<std::string> Items;
  std::function<void()> Notify;
};

TRemoteQueue& Queue() {
  static TRemoteQueue q;
  return q;
}

bool& Draining() {
  static bool draining = false;
  return draining;
}

}  // namespace

int scRemoteCmd(uint64_t, const char* remoteCmd) {
  if (!remoteCmd) return 0;
  std::function<void()> notify;
  {
    std::lock_guard<std::mutex> g(Queue().Lock);
    Queue().Items.emplace_back(remoteCmd);
    notify = Queue().Notify;
  }
  if (notify) notify();
  return 1;
}

size_t ZelDrainRemoteCmds() {
  if (ZelCmdRunning() || Draining()) return 0;
  Draining() = true;
  size_t ran = 0;
  for (;;) {
    std::string cmd;
    {
      std::lock_guard<std::mutex> g(Queue().Lock);
      if (Queue().Items.empty()) break;
      cmd = std::move(Queue().Items.front());
      Queue().Items.pop_front();
    }
    if (!Remoteable) continue;
    ZelRunCmd(cmd);
    ++ran;
  }
  Draining() = false;
  return ran;
}

size_t ZelPendingRemoteCmds() {
  std::lock_guard<std::mutex> g(Queue().Lock);
  return Queue().Items.size();
}

void ZelSetRemoteCmdNotify(std::function<void()> notify) {
  std::lock_guard<std::mutex> g(Queue().Lock);
  Queue().Notify = std::move(notify);
}
