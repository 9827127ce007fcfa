// The command table and the interpreter: commands runnable by name, with their argument
// counts and kinds, filled at start-up from a fixed registration list in table order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/zelError.h"

enum TZelBaseType : uint8_t {
  tUInt8 = 0,
  tUInt16 = 1,
  tUInt32 = 2,
  tUInt64 = 3,
  TSInt8 = 4,
  TSInt16 = 5,
  tSInt32 = 6,
  tSInt64 = 7,
  tBool = 8,
  tFSgl = 9,
  tFDbl = 10,
  tFExt = 11,
  tPtr = 12,
  tPCharA = 13,  // 8-bit text
  tPCharU = 14,  // text that names a file (UTF-8 on this platform)
};

struct TZelFuncParam {
  TZelBaseType ParamType = tUInt8;
  bool IsArray = false;
};

// A command's entry point: receives exactly nParams words (each without spaces).
using TZelCmdProc = std::function<void(const std::vector<std::string>& args)>;

struct TZelFunctionTable {
  uint32_t nZelFunctions = 0;
  uint32_t nZelCoreFunctions = 0;
  std::vector<std::string> FunctionName;
  std::vector<TZelCmdProc> FunctionPtr;
  std::vector<TZelBaseType> ReturnType;               // reserved, zero
  std::vector<std::string> FuncDescr;                 // reserved, empty
  std::vector<uint8_t> nParams;                       // 0 or 1
  std::vector<std::vector<TZelBaseType>> PParams;     // kinds of the arguments
  std::vector<std::vector<const void*>> PDefaultVal;  // reserved, empty
  std::vector<std::vector<std::string>> PParamNames;  // reserved, empty
  std::vector<std::vector<std::string>> ParamDescr;   // reserved, empty
  std::vector<uint32_t> FunctSortID;                  // reserved, zero
};

struct TZelFunctionTableI {
  TZelFunctionTable ft;
  // nZelFunctions := n and every per-command array resized to n (new entries zero/empty).
  void SetLen(uint32_t n);
};

// One command as a plug-in would see it; the host does not fill it.
struct TZelFunctionTableEntry {
  std::string FunctionName;
  TZelCmdProc FunctionPtr;
  uint8_t nParams = 0;
  TZelFuncParam ReturnType;
  std::string FuncDescr;
  std::vector<TZelFuncParam> PParams;
  std::vector<const void*> PDefaultVal;
  std::vector<std::string> PParamNames;
  std::vector<std::string> ParamDescr;
};

// The process-wide table; read by the interpreter on the main thread only.
extern TZelFunctionTableI ZelFunctionTable;

// One registration: the name, the entry point and the kinds of its arguments (their count
// is nParams).
struct TZelCmdDef {
  std::string Name;
  TZelCmdProc Proc;
  std::vector<TZelBaseType> Params;
};

// The registration list the table is built from, in table order. The command layer fills
// it before start-up; the core knows no command beyond its own.
void ZelRegisterCommand(TZelCmdDef def);
void ZelClearCommandRegistrations();
const std::vector<TZelCmdDef>& ZelCommandRegistrations();

// Builds ZelFunctionTable from the registration list; false when the list is empty, a
// name repeats, or a command takes more than one argument.
bool GetExportSection();
bool MakeZelFunctionTable();
// Start-up entry: builds the table; an error when it cannot (the front end then ends with
// exit status 1).
[[nodiscard]] TZelErr iscInitFunctionList();

// Runs one command line: echo, lookup, argument check, Busy/Idle bracket. An exception
// escaping the command is reported as an error of that command; the indicator ends Idle.
// False when the line named no command or gave the wrong number of arguments (logged as
// "Unknown command: ..." or "Wrong number of parameters ..."; the error flag is not set).
// Whether the command itself failed is the error flag's business. Not [[nodiscard]]: the
// outcome is already in the log; only a front end that reports it (zelcli) looks at it.
bool ZelRunCmd(const std::string& cmd);
// True while a command started by ZelRunCmd is running (also nested ones).
bool ZelCmdRunning();

// Logs the command names in table order joined by " - ".
void scListCommands();
