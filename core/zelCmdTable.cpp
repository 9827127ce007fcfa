// The command table and the interpreter.
#include "core/zelCmdTable.h"

#include <exception>
#include <new>
#include <set>

#include "core/zelLog.h"
#include "core/zelUiState.h"

TZelFunctionTableI ZelFunctionTable;

void TZelFunctionTableI::SetLen(uint32_t n) {
  ft.nZelFunctions = n;
  ft.FunctionName.resize(n);
  ft.FunctionPtr.resize(n);
  ft.ReturnType.resize(n, tUInt8);
  ft.FuncDescr.resize(n);
  ft.nParams.resize(n, 0);
  ft.PParams.resize(n);
  ft.PDefaultVal.resize(n);
  ft.PParamNames.resize(n);
  ft.ParamDescr.resize(n);
  ft.FunctSortID.resize(n, 0);
}

namespace {

std::vector<TZelCmdDef>& Registrations() {
  static std::vector<TZelCmdDef> defs;
  return defs;
}

int& RunDepth() {
  static int depth = 0;
  return depth;
}

// Runs of spaces become one, then one leading and one trailing space go. Only the space
// separates words; tabs are ordinary characters.
std::string Normalise(const std::string& text) {
  std::string r;
  r.reserve(text.size());
  for (char c : text)
    if (c != ' ' || r.empty() || r.back() != ' ') r += c;
  if (!r.empty() && r.front() == ' ') r.erase(0, 1);
  if (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

std::vector<std::string> SplitWords(const std::string& normalised) {
  std::vector<std::string> words;
  size_t start = 0;
  while (start < normalised.size()) {
    size_t end = normalised.find(' ', start);
    if (end == std::string::npos) end = normalised.size();
    words.push_back(normalised.substr(start, end - start));
    start = end + 1;
  }
  return words;
}

// Exception texts become messages of the error form, which adds its own full stop.
std::string AsMessage(const char* what) {
  std::string m = what && *what ? what : "Unexpected failure";
  while (!m.empty() && (m.back() == '.' || m.back() == '\n' || m.back() == ' ')) m.pop_back();
  return m.empty() ? "Unexpected failure" : m;
}

}  // namespace

void ZelRegisterCommand(TZelCmdDef def) { Registrations().push_back(std::move(def)); }

void ZelClearCommandRegistrations() { Registrations().clear(); }

const std::vector<TZelCmdDef>& ZelCommandRegistrations() { return Registrations(); }

bool GetExportSection() {
  const auto& defs = Registrations();
  if (defs.empty()) return false;
  std::set<std::string> seen;
  for (const TZelCmdDef& d : defs) {
    if (d.Name.empty() || d.Name.find(' ') != std::string::npos || !d.Proc) return false;
    if (d.Params.size() > 1) return false;
    if (!seen.insert(d.Name).second) return false;
  }
  TZelFunctionTableI table;
  const uint32_t n = static_cast<uint32_t>(defs.size());
  table.SetLen(n);
  table.ft.nZelCoreFunctions = n;
  for (uint32_t i = 0; i < n; ++i) {
    table.ft.FunctionName[i] = defs[i].Name;
    table.ft.FunctionPtr[i] = defs[i].Proc;
    table.ft.nParams[i] = static_cast<uint8_t>(defs[i].Params.size());
    table.ft.PParams[i] = defs[i].Params;
  }
  ZelFunctionTable = std::move(table);
  return true;
}

bool MakeZelFunctionTable() { return GetExportSection(); }

TZelErr iscInitFunctionList() {
  if (!MakeZelFunctionTable()) return TZelErr("", "The command table could not be built");
  return {};
}

bool ZelCmdRunning() { return RunDepth() > 0; }

bool ZelRunCmd(const std::string& cmd) {
  const std::string norm = Normalise(cmd);
  iscZelLog(">" + cmd);
  const std::vector<std::string> words = SplitWords(norm);
  if (words.empty()) return true;

  const TZelFunctionTable& ft = ZelFunctionTable.ft;
  uint32_t idx = 0;
  while (idx < ft.nZelFunctions && ft.FunctionName[idx] != words[0]) ++idx;
  if (idx == ft.nZelFunctions) {
    iscZelLog("Unknown command: " + cmd);
    return false;
  }

  const size_t n = words.size() - 1;
  const unsigned want = ft.nParams[idx];
  if (n != want) {
    iscZelLog("Wrong number of parameters for " + words[0] +
              " ... shd be: " + std::to_string(want) + " is: " + std::to_string(n));
    return false;
  }

  // Copies: a command may rebuild the table (plug-ins) while it runs.
  const std::string name = words[0];
  const TZelCmdProc proc = ft.FunctionPtr[idx];
  const std::vector<std::string> args(words.begin() + 1, words.end());

  scUiSetState(1);
  ++RunDepth();
  // Nothing a command throws may reach the event loop or leave the indicator on Busy.
  try {
    proc(args);
  } catch (const std::bad_alloc&) {
    iscZelError("Out of memory", name);
  } catch (const std::exception& e) {
    iscZelError(AsMessage(e.what()), name);
  } catch (...) {
    iscZelError("Unexpected failure", name);
  }
  --RunDepth();
  scUiSetState(0);
  return true;
}

void scListCommands() {
  const TZelFunctionTable& ft = ZelFunctionTable.ft;
  std::string line;
  for (uint32_t i = 0; i < ft.nZelFunctions; ++i) {
    if (i) line += " - ";
    line += ft.FunctionName[i];
  }
  iscZelLog(line);
}
