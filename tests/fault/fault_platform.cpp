// The fault-injecting platform: the Os* functions of platform.h, counting each fallible operation and
// consulting the plan before handing the call on to the real backend (real_platform.h).
#include "fault/fault_platform.h"

#include <string.h>

#include <map>

#include "fault/real_platform.h"
#include "removal/platform.h"

namespace {

struct Plan {
  int nth = 0;  // 0: never fails
  bool persistent = false;
};

struct FindState {
  std::string target;
  std::vector<std::string> delivered;
};

struct FileState {
  std::string target;
  size_t offset = 0;
};

struct State {
  Plan plans[kFaultOpCount];
  int calls[kFaultOpCount] = {};
  std::vector<FaultCall> log;
  std::string programPath;
  std::map<const OsFind*, FindState> finds;
  std::map<const OsFile*, FileState> files;
  std::vector<std::string> misuse;
};

State& S() {
  static State state;
  return state;
}

// Counts a call of op, logs it, and tells whether the plan makes it fail.
FaultCall& Enter(FaultOp op, std::string target) {
  State& s = S();
  int index = static_cast<int>(op);
  int nth = ++s.calls[index];
  const Plan& plan = s.plans[index];
  bool failed = plan.nth > 0 && (nth == plan.nth || (plan.persistent && nth > plan.nth));
  s.log.push_back(FaultCall{op, nth, failed, std::move(target), {}, 0});
  return s.log.back();
}

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

}  // namespace

const char* FaultOpName(FaultOp op) {
  switch (op) {
    case FaultOp::kGetProgramPath: return "GetProgramPath";
    case FaultOp::kSetCurrentDirectory: return "SetCurrentDirectory";
    case FaultOp::kDeleteFileBeneath: return "DeleteFileBeneath";
    case FaultOp::kRemoveDirectoryBeneath: return "RemoveDirectoryBeneath";
    case FaultOp::kFindFirst: return "FindFirst";
    case FaultOp::kFindNext: return "FindNext";
    case FaultOp::kOpenFileBeneath: return "OpenFileBeneath";
    case FaultOp::kReadFile: return "ReadFile";
    case FaultOp::kLowerCharacter: return "LowerCharacter";
  }
  return "?";
}

void FaultReset() {
  State& s = S();
  for (Plan& plan : s.plans) plan = Plan{};
  for (int& count : s.calls) count = 0;
  s.log.clear();
  s.programPath.clear();
  s.misuse.clear();
  // What a run left open is released here, so that one leak is reported by its own case only.
  for (auto& open : s.finds) RealOsFindClose(const_cast<OsFind*>(open.first));
  for (auto& open : s.files) RealOsCloseFile(const_cast<OsFile*>(open.first));
  s.finds.clear();
  s.files.clear();
}

void FaultSetProgramPath(const std::string& path) { S().programPath = path; }

void FaultPlan(FaultOp op, int nth, bool persistent) {
  S().plans[static_cast<int>(op)] = Plan{nth, persistent};
}

int FaultCalls(FaultOp op) { return S().calls[static_cast<int>(op)]; }

const std::vector<FaultCall>& FaultLog() { return S().log; }

int FaultOpenFinds() { return static_cast<int>(S().finds.size()); }

int FaultOpenFiles() { return static_cast<int>(S().files.size()); }

const std::vector<std::string>& FaultMisuse() { return S().misuse; }

// ---------------------------------------------------------------------------------------------------
// The platform

bool OsGetProgramPath(char* buf, size_t size) {
  const std::string& path = S().programPath;
  FaultCall& call = Enter(FaultOp::kGetProgramPath, path);
  if (call.failed || (!path.empty() && path.size() >= size)) {
    if (size > 0) buf[0] = '\0';
    return false;
  }
  if (path.empty()) return RealOsGetProgramPath(buf, size);
  memcpy(buf, path.c_str(), path.size() + 1);
  return true;
}

bool OsSetCurrentDirectory(const char* dir) {
  if (Enter(FaultOp::kSetCurrentDirectory, Text(dir)).failed) return false;
  return RealOsSetCurrentDirectory(dir);
}

bool OsDeleteFileBeneath(const char* base, const char* rel) {
  if (Enter(FaultOp::kDeleteFileBeneath, Text(rel)).failed) return false;
  return RealOsDeleteFileBeneath(base, rel);
}

bool OsRemoveDirectoryBeneath(const char* base, const char* rel) {
  if (Enter(FaultOp::kRemoveDirectoryBeneath, Text(rel)).failed) return false;
  return RealOsRemoveDirectoryBeneath(base, rel);
}

OsFind* OsFindFirst(const char* base, const char* rel, OsFindEntry* entry) {
  if (Enter(FaultOp::kFindFirst, Text(rel)).failed) return nullptr;
  OsFind* find = RealOsFindFirst(base, rel, entry);
  if (find != nullptr) S().finds[find] = FindState{Text(rel), {entry->name}};
  return find;
}

bool OsFindNext(OsFind* find, OsFindEntry* entry) {
  State& s = S();
  auto it = s.finds.find(find);
  if (it == s.finds.end()) {
    s.misuse.push_back("OsFindNext on an enumeration that is not open");
    return false;
  }
  FaultCall& call = Enter(FaultOp::kFindNext, it->second.target);
  call.delivered = it->second.delivered;
  if (call.failed) return false;
  if (!RealOsFindNext(find, entry)) return false;
  it->second.delivered.push_back(entry->name);
  return true;
}

void OsFindClose(OsFind* find) {
  State& s = S();
  if (s.finds.erase(find) == 0) {
    s.misuse.push_back("OsFindClose on an enumeration that is not open");
    return;
  }
  RealOsFindClose(find);
}

OsFile* OsOpenFileBeneath(const char* base, const char* rel) {
  if (Enter(FaultOp::kOpenFileBeneath, Text(rel)).failed) return nullptr;
  OsFile* file = RealOsOpenFileBeneath(base, rel);
  if (file != nullptr) S().files[file] = FileState{Text(rel), 0};
  return file;
}

bool OsReadFile(OsFile* file, void* buf, size_t size, size_t* got) {
  State& s = S();
  *got = 0;
  auto it = s.files.find(file);
  if (it == s.files.end()) {
    s.misuse.push_back("OsReadFile on a file that is not open");
    return false;
  }
  FaultCall& call = Enter(FaultOp::kReadFile, it->second.target);
  call.offset = it->second.offset;
  if (call.failed) return false;
  bool ok = RealOsReadFile(file, buf, size, got);
  it->second.offset += *got;
  return ok;
}

void OsCloseFile(OsFile* file) {
  State& s = S();
  if (s.files.erase(file) == 0) {
    s.misuse.push_back("OsCloseFile on a file that is not open");
    return;
  }
  RealOsCloseFile(file);
}

unsigned OsCodePage() { return RealOsCodePage(); }

bool OsIsLeadByte(unsigned cp, unsigned char b) { return RealOsIsLeadByte(cp, b); }

bool OsLowerCharacter(unsigned cp, unsigned char* c, int n) {
  std::string bytes(reinterpret_cast<const char*>(c), n > 0 ? static_cast<size_t>(n) : 0);
  if (Enter(FaultOp::kLowerCharacter, bytes).failed) return false;
  return RealOsLowerCharacter(cp, c, n);
}

void OsTraceLine(const char* text) { RealOsTraceLine(text); }
