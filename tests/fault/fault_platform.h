// The fault-injecting platform of the fault tests: every Os* call goes to the real POSIX backend,
// except that a planned operation fails on its Nth call, once or from then on, the way the contract
// in platform.h lets it fail. Real resources are still released: a failed OsFindNext ends the
// enumeration, yet the OsFindClose that follows closes the real one; a failed OsReadFile leaves the
// file open for OsCloseFile. Every call of a fallible operation is logged with what it acted on, so
// that a test can tell which object, directory or list byte a fault hit.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// The operations that can fail, in the order of platform.h.
enum class FaultOp {
  kGetProgramPath,
  kSetCurrentDirectory,
  kDeleteFileBeneath,
  kRemoveDirectoryBeneath,
  kFindFirst,
  kFindNext,
  kOpenFileBeneath,
  kReadFile,
  kLowerCharacter,
};

constexpr int kFaultOpCount = 9;

const char* FaultOpName(FaultOp op);

// One call of a fallible operation.
struct FaultCall {
  FaultOp op;
  int nth;      // 1 for the first call of op since FaultReset
  bool failed;  // the plan made it fail
  // What it acted on: the program path (GetProgramPath), the directory (SetCurrentDirectory), the
  // relative path (DeleteFileBeneath, RemoveDirectoryBeneath, FindFirst, OpenFileBeneath, and for
  // FindNext and ReadFile the path of the enumeration or file), the bytes (LowerCharacter).
  std::string target;
  // FindNext: the names the enumeration had delivered before this call.
  std::vector<std::string> delivered;
  // ReadFile: the bytes of the file delivered before this call.
  size_t offset = 0;
};

// Forgets counts, log and plan, takes the real program path again, and closes whatever the last run
// left open.
void FaultReset();

// The path OsGetProgramPath delivers from now on (the real executable's when empty).
void FaultSetProgramPath(const std::string& path);

// Makes the nth call of op fail; with persistent, every later call as well. Counting starts at the
// last FaultReset. Plans for several operations hold side by side.
void FaultPlan(FaultOp op, int nth, bool persistent);

// Calls of op since FaultReset.
int FaultCalls(FaultOp op);

// Every call of a fallible operation since FaultReset, in order.
const std::vector<FaultCall>& FaultLog();

// Enumerations and files the logic has opened and not yet closed.
int FaultOpenFinds();
int FaultOpenFiles();

// Handles the logic used that it had not got from the platform or had closed already.
const std::vector<std::string>& FaultMisuse();
