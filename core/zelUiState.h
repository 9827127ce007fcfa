// The interface state a front end shows: busy/idle/error indicator and the six status
// panels, held headless so the GUI observes it and tests read it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TZelRgb {
  uint8_t R = 0, G = 0, B = 0;
};

struct TZelUiState {
  // 0 file name, 1 last object id, 2 data size, 3 population scheme, 4 lamp, 5 state word
  std::string Panels[6];
  uint8_t State = 0;  // 0 Idle, 1 Busy, 2 ERROR
  TZelRgb Colour;
  // Items of the "Quick select ..." menu under "Filter": scheme names, in the order added
  // (repeated updates append again, as the menu does).
  std::vector<std::string> QuickSelect;
};

const TZelUiState& ZelUiState();
// Start-up state: panel 0 "No file", panel 2 "No data [0 x 0]", indicator "Idle".
void ZelUiStartState(TZelUiState& state);
// Puts the process-wide state back to the start-up state (start-up and tests).
void ZelUiReset();
// Called after every change (the GUI repaints at once).
void ZelUiSetObserver(std::function<void(const TZelUiState&)> observer);

void scUiSetState(uint8_t status);
void scUiSetObject(int32_t oid);
// Panel 0: the whole name up to 29 characters, else the first 5, "..." and the last 29.
void scUiSetFileName(const std::string& fileName);
void scUiSetPopScheme(const std::string& name);
void scUiSetDataSize(const std::string& text);  // panel 2, e.g. "96 x 1200"
void iscAddQuickSelectScheme(const std::string& schemeName);
