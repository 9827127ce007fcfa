// The headless interface state: indicator and status panels, with one observer that a
// front end uses to repaint.
#include "core/zelUiState.h"

#include <utility>

namespace {

TZelUiState& State() {
  static TZelUiState state = [] {
    TZelUiState s;
    ZelUiStartState(s);
    return s;
  }();
  return state;
}

std::function<void(const TZelUiState&)>& Observer() {
  static std::function<void(const TZelUiState&)> observer;
  return observer;
}

void Changed() {
  if (Observer()) Observer()(State());
}

// Number of code points in UTF-8 text, so a name is never cut inside a character.
size_t CodePoints(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

// Byte offset where code point `cp` starts (s.size() when past the end).
size_t ByteOfCodePoint(const std::string& s, size_t cp) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (n == cp) return i;
      ++n;
    }
  }
  return s.size();
}

}  // namespace

void ZelUiStartState(TZelUiState& s) {
  s = TZelUiState();
  s.Panels[0] = "No file";
  s.Panels[2] = "No data [0 x 0]";
  s.Panels[5] = "Idle";
  s.State = 0;
  s.Colour = {0, 255, 0};
}

const TZelUiState& ZelUiState() { return State(); }

void ZelUiSetObserver(std::function<void(const TZelUiState&)> observer) {
  Observer() = std::move(observer);
}

void ZelUiReset() {
  ZelUiStartState(State());
  Changed();
}

void scUiSetState(uint8_t status) {
  TZelUiState& s = State();
  switch (status) {
    case 0:
      s.Panels[5] = "Idle";
      s.Colour = {0, 255, 0};
      s.State = 0;
      break;
    case 1:
      s.Panels[5] = "Busy";
      s.Colour = {255, 140, 0};
      s.State = 1;
      break;
    case 2:
      s.Panels[5] = "ERROR";
      s.Colour = {255, 0, 0};
      s.State = 2;
      break;
    default:
      break;  // unknown states change nothing, but the front end still repaints
  }
  Changed();
}

void scUiSetObject(int32_t oid) {
  State().Panels[1] = std::to_string(oid);
  Changed();
}

void scUiSetFileName(const std::string& fileName) {
  constexpr size_t kWhole = 29, kHead = 5;
  const size_t n = CodePoints(fileName);
  if (n <= kWhole) {
    State().Panels[0] = fileName;
  } else {
    const std::string head = fileName.substr(0, ByteOfCodePoint(fileName, kHead));
    const std::string tail = fileName.substr(ByteOfCodePoint(fileName, n - kWhole));
    State().Panels[0] = head + "..." + tail;
  }
  Changed();
}

void scUiSetPopScheme(const std::string& name) {
  State().Panels[3] = name;
  Changed();
}

void scUiSetDataSize(const std::string& text) {
  State().Panels[2] = text;
  Changed();
}

void iscAddQuickSelectScheme(const std::string& schemeName) {
  State().QuickSelect.push_back(schemeName);
  Changed();
}
