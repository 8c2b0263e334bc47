// The whole run under injected platform faults. Each row fails one operation at one call (once, or
// from that call on) while RunCleanup works on a real temp program directory; the run must return,
// leave everything outside the program directory and the user's own file alone, still reach the fixed
// list, and leave exactly the tree a fault-free run leaves plus what that particular fault kept.
//
// What a fault keeps is derived, never written down: from the call that failed (its object, its
// enumeration, the list bytes read before it), from the fault-free run of the same tree, and for the
// faults that change what the list says, from a fault-free run of the list as the tool got to see it.
#include <stdio.h>
#include <stdlib.h>
#include <strings.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "access_code.h"
#include "fault/fault_platform.h"
#include "removal/fixed_list.h"
#include "run/run_cleanup.h"

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------------------------------
// The tree every case starts from. Each case folder holds prog/ (the program directory) and outside/
// (beside it, the current directory while the tool runs, with look-alikes of what the list and the
// fixed list name, so that an action that strayed from the program directory would hit something).

struct Item {
  const char* path;
  const char* content;  // null: a directory
};

const Item kTree[] = {
    {"prog/Data/Sound/Bgm01.dat", "bgm01"},
    {"prog/Data/Sound/Bgm02.dat", "bgm02, read-only"},
    {"prog/Data/Sound/Old/Deeper/", nullptr},  // empty, below a listed directory
    {"prog/Data/Sound/Mine/mix.mp3", "the user's own mix"},
    {"prog/Data/Movie/Intro.bik", "intro"},
    {"prog/Map/Tiles/T1.map", "tiles"},
    {"prog/Map/Tiles/Cache/", nullptr},
    {"prog/Caf\xC3\xA9/Menu.dat", "menu"},             // Café
    {"prog/\xD0\x96\xD1\x83\xD0\xBA/Lapa.dat", "lapa"},  // Жук
    {"prog/\xCE\xBB/Y.dat", "y"},                       // λ
    {"outside/oxqt.exe", "not ours"},
    {"outside/XQTUP.TMP", "Data\\Sound\\Bgm01.dat\r\n"},
    {"outside/Data/Sound/Bgm01.dat", "not ours"},
    {"outside/GameGuard/npgg.erl", "not ours"},
    {"outside/Empty/", nullptr},
};

const char kUserFile[] = "prog/Data/Sound/Mine/mix.mp3";
const char kReadOnlyFile[] = "prog/Data/Sound/Bgm02.dat";
const char kListPath[] = "prog/XQTUP.TMP";

// Lines too long to be paths, which the reader passes over whole. They make the list span several
// reads, so that a read can fail in the middle of it with listed lines on either side.
std::string Filler(char c) { return std::string(3000, c); }

bool IsFiller(const std::string& line) { return line.size() >= 3000; }

// The uninstall list, line by line. Every non-ASCII line has bytes of its own, so that the bytes of
// a failed case mapping tell which line they came from.
std::vector<std::string> ListLines() {
  std::vector<std::string> lines = {
      "Data\\Sound\\Bgm01.dat",
      "DATA\\SOUND\\BGM02.DAT",
      "Caf\xC3\xA9\\Menu.dat",
      "..\\outside\\Data\\Sound\\Bgm01.dat",
  };
  for (int i = 0; i < 6; ++i) lines.push_back(Filler('f'));
  lines.insert(lines.end(), {"Data\\Movie\\Intro.bik", "\xD0\x96\xD1\x83\xD0\xBA\\Lapa.dat", "Data\\Gone\\x.dat"});
  for (int i = 0; i < 6; ++i) lines.push_back(Filler('g'));
  lines.insert(lines.end(), {"Map\\Tiles\\T1.map", "\xCE\xBB\\Y.dat"});
  return lines;
}

std::string ListBytes(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

std::vector<std::string> FixedPaths() {
  std::vector<std::string> paths;
  for (const char* const* entry = kFixedFiles; (*entry)[0] != '\0'; ++entry) {
    std::string path = std::string("prog/") + *entry;
    for (char& c : path) c = c == '\\' ? '/' : c;
    paths.push_back(path);
  }
  return paths;
}

std::string Parent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// ---------------------------------------------------------------------------------------------------
// Snapshots: every entry below a case folder by its "/"-separated relative path, described by type,
// content and write bits.

using Snapshot = std::map<std::string, std::string>;

Snapshot Take(const fs::path& area) {
  Snapshot snapshot;
  for (auto it = fs::recursive_directory_iterator(area); it != fs::recursive_directory_iterator(); ++it) {
    const fs::path& path = it->path();
    std::string rel = path.lexically_relative(area).generic_string();
    fs::file_status st = fs::symlink_status(path);
    bool writable = (st.permissions() & fs::perms::owner_write) != fs::perms::none;
    std::string mode = writable ? " writable" : " read-only";
    if (fs::is_symlink(st)) {
      snapshot[rel] = "link -> " + fs::read_symlink(path).string();
    } else if (fs::is_directory(st)) {
      snapshot[rel] = "directory" + mode;
    } else {
      std::ifstream in(path, std::ios::binary);
      std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      snapshot[rel] = "file of " + std::to_string(content.size()) + " bytes" + mode + ": " +
                      (content.size() > 40 ? content.substr(0, 40) + "..." : content);
    }
  }
  return snapshot;
}

Snapshot Below(const Snapshot& snapshot, const std::string& top) {
  Snapshot part;
  for (const auto& [path, entry] : snapshot) {
    if (path == top || path.rfind(top + "/", 0) == 0) part[path] = entry;
  }
  return part;
}

// The difference of two snapshots, one line per path, for a failure message.
std::string Difference(const Snapshot& expected, const Snapshot& actual) {
  std::ostringstream out;
  for (const auto& [path, entry] : expected) {
    auto it = actual.find(path);
    if (it == actual.end()) {
      out << "  gone, but should be there: " << path << " (" << entry << ")\n";
    } else if (it->second != entry) {
      out << "  changed: " << path << "\n    expected " << entry << "\n    actual   " << it->second << "\n";
    }
  }
  for (const auto& [path, entry] : actual) {
    if (expected.count(path) == 0) out << "  there, but should be gone: " << path << " (" << entry << ")\n";
  }
  return out.str();
}

std::string Joined(const std::set<std::string>& paths) {
  std::string text;
  for (const std::string& path : paths) text += (text.empty() ? "" : ", ") + path;
  return text.empty() ? "nothing" : text;
}

// The snapshot path a platform path (relative to the program directory, "\" or "/" separated) names
// in snapshot: each component the exact name first, else one equal without regard to ASCII case, as
// the platform matches names. Empty when it names nothing there.
std::string Resolve(const Snapshot& snapshot, const std::string& rel) {
  std::string current = "prog";
  std::string part;
  std::vector<std::string> parts;
  for (char c : rel + "\\") {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  for (const std::string& name : parts) {
    std::string exact = current + "/" + name;
    if (snapshot.count(exact) != 0) {
      current = exact;
      continue;
    }
    std::string found;
    for (auto it = snapshot.lower_bound(current + "/"); it != snapshot.end(); ++it) {
      const std::string& path = it->first;
      if (path.rfind(current + "/", 0) != 0) break;
      std::string last = path.substr(current.size() + 1);
      if (last.find('/') == std::string::npos && strcasecmp(last.c_str(), name.c_str()) == 0) {
        found = path;
        break;
      }
    }
    if (found.empty()) return {};
    current = found;
  }
  return current == "prog" ? std::string() : current;
}

bool IsDirectory(const Snapshot& snapshot, const std::string& path) {
  auto it = snapshot.find(path);
  return it != snapshot.end() && it->second.rfind("directory", 0) == 0;
}

// base with every kept path and every directory above it as they were before the run.
Snapshot WithKept(Snapshot base, const Snapshot& before, const std::set<std::string>& kept) {
  for (const std::string& path : kept) {
    for (std::string p = path; !p.empty(); p = Parent(p)) {
      auto it = before.find(p);
      if (it != before.end()) base[p] = it->second;
    }
  }
  return base;
}

// ---------------------------------------------------------------------------------------------------
// The table

// Which call of the operation fails: the first, the middle or the last one a fault-free run of the
// tree makes, or the first one that acts on a given object (for an enumeration: the first of its
// calls).
struct Position {
  enum Kind { kFirst, kMiddle, kLast, kOn } kind;
  const char* path;   // kOn: the snapshot path acted on
  const char* label;  // for the test name
};

const Position kFirst{Position::kFirst, nullptr, "First"};
const Position kMiddle{Position::kMiddle, nullptr, "Middle"};
const Position kLast{Position::kLast, nullptr, "Last"};
Position On(const char* path, const char* label) { return Position{Position::kOn, path, label}; }

// What must be there after the run, beyond what a fault-free run leaves.
enum class Survives {
  kEverything,           // without a program directory nothing anywhere is touched
  kAsWithoutFault,       // nothing more: the fault changes nothing the run does
  kFailedObjects,        // the objects of the failed calls (and the directories holding them)
  kUnfoundDirectories,   // the directories only the failed enumerations would have found
  kListAndListedFiles,   // the list, and all that only the list would have removed
  kWhatTheRestNames,     // all that only the lines after the failed read would have removed
  kWhatUnmappedLinesName,  // all that only the lines with an unmappable character would have removed
  kWhatItHid,            // whatever that call hid, which may be nothing: for calls that can fall on a
                         // directory without subdirectories
};

struct FaultRow {
  FaultOp op;
  Position at;
  bool persistent;
  Survives survives;
};

constexpr bool kOnce = false;
constexpr bool kFromThenOn = true;

const FaultRow kRows[] = {
    // No program directory: nothing may be deleted anywhere, not even in the current directory.
    {FaultOp::kGetProgramPath, kFirst, kOnce, Survives::kEverything},
    {FaultOp::kGetProgramPath, kFirst, kFromThenOn, Survives::kEverything},
    // Every action names the program directory itself, so a current directory left elsewhere is moot.
    {FaultOp::kSetCurrentDirectory, kFirst, kOnce, Survives::kAsWithoutFault},
    {FaultOp::kSetCurrentDirectory, kMiddle, kOnce, Survives::kAsWithoutFault},
    {FaultOp::kSetCurrentDirectory, kLast, kOnce, Survives::kAsWithoutFault},
    {FaultOp::kSetCurrentDirectory, kFirst, kFromThenOn, Survives::kAsWithoutFault},
    // A file that cannot be deleted stays, and so do the directories holding it; nothing else does.
    {FaultOp::kDeleteFileBeneath, kFirst, kOnce, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, kMiddle, kOnce, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, kLast, kOnce, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, On("prog/XQTUP.TMP", "OnTheList"), kOnce, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, On("prog/Data/Movie/Intro.bik", "OnIntroBik"), kOnce, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, On("prog/GameGuard/npgg.erl", "OnNpggErl"), kOnce, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, kFirst, kFromThenOn, Survives::kFailedObjects},
    {FaultOp::kDeleteFileBeneath, kMiddle, kFromThenOn, Survives::kFailedObjects},
    // A directory that cannot be removed stays with the directories above it.
    {FaultOp::kRemoveDirectoryBeneath, kFirst, kOnce, Survives::kFailedObjects},
    {FaultOp::kRemoveDirectoryBeneath, kMiddle, kOnce, Survives::kFailedObjects},
    {FaultOp::kRemoveDirectoryBeneath, kLast, kOnce, Survives::kFailedObjects},
    {FaultOp::kRemoveDirectoryBeneath, On("prog/Data/Sound/Old/Deeper", "OnDeeper"), kOnce, Survives::kFailedObjects},
    {FaultOp::kRemoveDirectoryBeneath, kFirst, kFromThenOn, Survives::kFailedObjects},
    // A directory that cannot be enumerated hides what is below it, unless the list names that. The
    // last enumeration of the run can hide nothing: a subdirectory not walked yet would have been
    // enumerated after it.
    {FaultOp::kFindFirst, kFirst, kOnce, Survives::kUnfoundDirectories},
    {FaultOp::kFindFirst, kMiddle, kOnce, Survives::kWhatItHid},
    {FaultOp::kFindFirst, kLast, kOnce, Survives::kAsWithoutFault},
    {FaultOp::kFindFirst, On("prog/Data/Sound/Old", "OnOld"), kOnce, Survives::kUnfoundDirectories},
    {FaultOp::kFindFirst, kFirst, kFromThenOn, Survives::kUnfoundDirectories},
    // An enumeration that ends early hides the entries it did not deliver. The last call of the run
    // is the one that reports the end of the last enumeration anyway.
    {FaultOp::kFindNext, kFirst, kOnce, Survives::kUnfoundDirectories},
    {FaultOp::kFindNext, kMiddle, kOnce, Survives::kWhatItHid},
    {FaultOp::kFindNext, kLast, kOnce, Survives::kAsWithoutFault},
    {FaultOp::kFindNext, On("prog/Map/Tiles", "OnTiles"), kOnce, Survives::kUnfoundDirectories},
    {FaultOp::kFindNext, kFirst, kFromThenOn, Survives::kUnfoundDirectories},
    // A list that cannot be opened is as no list: it stays, and so does all it names.
    {FaultOp::kOpenFileBeneath, kFirst, kOnce, Survives::kListAndListedFiles},
    {FaultOp::kOpenFileBeneath, kFirst, kFromThenOn, Survives::kListAndListedFiles},
    // A read error is the end of the list: what the rest names stays, the list itself goes. The last
    // read is the one that reports the end of the file anyway.
    {FaultOp::kReadFile, kFirst, kOnce, Survives::kWhatTheRestNames},
    {FaultOp::kReadFile, kMiddle, kOnce, Survives::kWhatTheRestNames},
    {FaultOp::kReadFile, kLast, kOnce, Survives::kAsWithoutFault},
    {FaultOp::kReadFile, kFirst, kFromThenOn, Survives::kWhatTheRestNames},
    // A line with a character the system cannot lowercase names nothing.
    {FaultOp::kLowerCharacter, kFirst, kOnce, Survives::kWhatUnmappedLinesName},
    {FaultOp::kLowerCharacter, kMiddle, kOnce, Survives::kWhatUnmappedLinesName},
    {FaultOp::kLowerCharacter, kLast, kOnce, Survives::kWhatUnmappedLinesName},
    {FaultOp::kLowerCharacter, kFirst, kFromThenOn, Survives::kWhatUnmappedLinesName},
};

std::string RowText(const FaultRow& row) {
  return std::string(FaultOpName(row.op)) + "_" + row.at.label + (row.persistent ? "_FromThenOn" : "_Once");
}

std::string RowName(const testing::TestParamInfo<FaultRow>& info) { return RowText(info.param); }

void PrintTo(const FaultRow& row, std::ostream* out) { *out << RowText(row); }

// ---------------------------------------------------------------------------------------------------
// Runs

struct Outcome {
  int result = -1;
  Snapshot before;
  Snapshot after;
  std::vector<FaultCall> log;
  int calls[kFaultOpCount] = {};
  int openFinds = 0;
  int openFiles = 0;
  std::vector<std::string> misuse;
};

class FaultTreeTest : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "xqti-fault-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }

  void TearDown() override {
    FaultReset();
    g_programDirectory[0] = '\0';
    fs::current_path(previous_);
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // Lays out the tree and the fixed files in a fresh case folder, with the list when there is one.
  fs::path LayOut(const std::string& name, const std::string* list) {
    fs::path area = root_ / name;
    std::vector<Item> items(std::begin(kTree), std::end(kTree));
    std::vector<std::string> fixed = FixedPaths();
    for (const std::string& path : fixed) items.push_back(Item{path.c_str(), "fixed"});
    for (const Item& item : items) {
      fs::path path = area / item.path;
      if (item.content == nullptr) {
        fs::create_directories(path);
      } else {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << item.content;
      }
    }
    if (list != nullptr) std::ofstream(area / kListPath, std::ios::binary) << *list;
    fs::permissions(area / kReadOnlyFile, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    return area;
  }

  // Runs the clean-up once in area with the faults plan() sets up, from outside/ as the current
  // directory, the program path being prog/xqti.
  Outcome Run(const fs::path& area, const std::function<void()>& plan) {
    Outcome outcome;
    outcome.before = Take(area);
    FaultReset();
    FaultSetProgramPath((area / "prog" / "xqti").string());
    plan();
    fs::current_path(area / "outside");
    char tail[64];
    snprintf(tail, sizeof tail, "Uninstall,%x,%x,%x,%x", XQTI_ACCESS_CODE_1, XQTI_ACCESS_CODE_2,
             XQTI_ACCESS_CODE_3, XQTI_ACCESS_CODE_4);
    outcome.result = RunCleanup(tail);
    fs::current_path(previous_);
    outcome.log = FaultLog();
    for (int op = 0; op < kFaultOpCount; ++op) outcome.calls[op] = FaultCalls(static_cast<FaultOp>(op));
    outcome.openFinds = FaultOpenFinds();
    outcome.openFiles = FaultOpenFiles();
    outcome.misuse = FaultMisuse();
    FaultReset();
    outcome.after = Take(area);
    return outcome;
  }

  Outcome RunWithList(const std::string& name, const std::string* list, const std::function<void()>& plan) {
    return Run(LayOut(name, list), plan);
  }

  // What holds after every run, whatever failed: it returned having accepted the command line,
  // nothing outside changed, the user's file is there as it was, and every enumeration and file the
  // run opened was closed, by handles the platform had given out.
  static void ExpectContained(const Outcome& outcome) {
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(Below(outcome.after, "outside"), Below(outcome.before, "outside"))
        << "outside the program directory:\n" << Difference(Below(outcome.before, "outside"), Below(outcome.after, "outside"));
    ASSERT_EQ(outcome.before.count(kUserFile), 1u);
    EXPECT_EQ(outcome.after.count(kUserFile), 1u) << "the user's file is gone";
    if (outcome.after.count(kUserFile) != 0) {
      EXPECT_EQ(outcome.after.at(kUserFile), outcome.before.at(kUserFile));
    }
    EXPECT_EQ(outcome.openFinds, 0) << "enumerations left open";
    EXPECT_EQ(outcome.openFiles, 0) << "files left open";
    for (const std::string& misuse : outcome.misuse) ADD_FAILURE() << misuse;
  }

  fs::path previous_;
  fs::path root_;
};

// Calls that would act on an object below the program directory.
int ObjectCalls(const Outcome& outcome) {
  int count = 0;
  for (FaultOp op : {FaultOp::kDeleteFileBeneath, FaultOp::kRemoveDirectoryBeneath, FaultOp::kFindFirst,
                     FaultOp::kOpenFileBeneath}) {
    count += outcome.calls[static_cast<int>(op)];
  }
  return count;
}

// The call of op a row makes fail, counted in the fault-free run; 0 when there is none.
int ChooseCall(const FaultRow& row, const Outcome& clean) {
  int count = clean.calls[static_cast<int>(row.op)];
  switch (row.at.kind) {
    case Position::kFirst: return count > 0 ? 1 : 0;
    case Position::kMiddle: return (count + 1) / 2;
    case Position::kLast: return count;
    case Position::kOn:
      for (const FaultCall& call : clean.log) {
        if (call.op == row.op && Resolve(clean.before, call.target) == row.at.path) return call.nth;
      }
      return 0;
  }
  return 0;
}

std::vector<FaultCall> FailedCalls(const Outcome& outcome, FaultOp op) {
  std::vector<FaultCall> failed;
  for (const FaultCall& call : outcome.log) {
    if (call.failed && call.op == op) failed.push_back(call);
  }
  return failed;
}

// The directories the scan may reach and the run tries to remove, when the failed enumerations hide
// their entries: those of the listed files; every directory below one of them that an enumeration
// delivered; and the directories of the fixed files, which the fixed list removes by name.
std::set<std::string> ReachedDirectories(const Snapshot& before, const std::vector<FaultCall>& failed) {
  std::map<std::string, std::set<std::string>> hidden;  // directory -> its entries not delivered
  auto children = [&before](const std::string& dir) {
    std::set<std::string> names;
    for (auto it = before.lower_bound(dir + "/"); it != before.end() && it->first.rfind(dir + "/", 0) == 0; ++it) {
      std::string last = it->first.substr(dir.size() + 1);
      if (last.find('/') == std::string::npos && IsDirectory(before, it->first)) names.insert(last);
    }
    return names;
  };
  for (const FaultCall& call : failed) {
    std::string dir = Resolve(before, call.target);
    if (dir.empty()) continue;
    std::set<std::string> delivered(call.delivered.begin(), call.delivered.end());
    for (const std::string& name : children(dir)) {
      if (delivered.count(name) == 0) hidden[dir].insert(name);
    }
  }
  std::set<std::string> reached;
  std::vector<std::string> pending;
  for (const std::string& line : ListLines()) {
    size_t sep = line.find_last_of("\\/");
    if (IsFiller(line) || sep == std::string::npos) continue;
    std::string dir = Resolve(before, line.substr(0, sep));
    if (IsDirectory(before, dir) && reached.insert(dir).second) pending.push_back(dir);
  }
  while (!pending.empty()) {
    std::string dir = pending.back();
    pending.pop_back();
    for (const std::string& name : children(dir)) {
      if (hidden[dir].count(name) == 0 && reached.insert(dir + "/" + name).second) pending.push_back(dir + "/" + name);
    }
  }
  for (const std::string& path : FixedPaths()) {
    if (IsDirectory(before, Parent(path))) reached.insert(Parent(path));
  }
  return reached;
}

class FaultRunTest : public FaultTreeTest, public testing::WithParamInterface<FaultRow> {
 protected:
  // The tree this run must leave, from the fault-free run and the calls that failed.
  Snapshot Expected(const FaultRow& row, const Outcome& clean, const Outcome& faulted) {
    const Snapshot& before = faulted.before;
    std::vector<FaultCall> failed = FailedCalls(faulted, row.op);
    std::set<std::string> kept;
    switch (row.op) {
      case FaultOp::kGetProgramPath:
        return before;
      case FaultOp::kSetCurrentDirectory:
        return clean.after;
      case FaultOp::kDeleteFileBeneath:
      case FaultOp::kRemoveDirectoryBeneath:
        for (const FaultCall& call : failed) {
          std::string path = Resolve(before, call.target);
          if (!path.empty()) kept.insert(path);
        }
        return WithKept(clean.after, before, kept);
      case FaultOp::kFindFirst:
      case FaultOp::kFindNext: {
        std::set<std::string> reachedWithout = ReachedDirectories(before, {});
        std::set<std::string> reached = ReachedDirectories(before, failed);
        for (const auto& [path, entry] : before) {
          if (!IsDirectory(before, path) || clean.after.count(path) != 0) continue;
          // The fault-free run removed only directories it reached; anything else means the
          // reasoning here no longer matches the run.
          EXPECT_EQ(reachedWithout.count(path), 1u) << "the fault-free run removed " << path << ", which it never reached";
          if (reached.count(path) == 0) kept.insert(path);
        }
        return WithKept(clean.after, before, kept);
      }
      case FaultOp::kOpenFileBeneath: {
        // The run of the same tree without a list, and the list left where it was.
        Snapshot expected = RunWithList("without-list", nullptr, [] {}).after;
        expected[kListPath] = before.at(kListPath);
        return expected;
      }
      case FaultOp::kReadFile: {
        // The run of the list up to the last whole line before the failed read: the line that read
        // would have finished is not used.
        std::string list = ListBytes(ListLines());
        EXPECT_FALSE(failed.empty());
        std::string cut = list.substr(0, failed.empty() ? list.size() : failed.front().offset);
        cut.erase(cut.rfind('\n') == std::string::npos ? 0 : cut.rfind('\n') + 1);
        Snapshot expected = RunWithList("cut-list", &cut, [] {}).after;
        return expected;
      }
      case FaultOp::kLowerCharacter: {
        // The run of the list without the lines that held a character the system could not map.
        std::vector<std::string> lines;
        for (const std::string& line : ListLines()) {
          bool unmapped = false;
          for (const FaultCall& call : failed) unmapped |= line.find(call.target) != std::string::npos;
          if (!unmapped) lines.push_back(line);
        }
        EXPECT_LT(lines.size(), ListLines().size()) << "no line holds the bytes of the failed call";
        std::string list = ListBytes(lines);
        Snapshot expected = RunWithList("mapped-lines", &list, [] {}).after;
        return expected;
      }
    }
    return {};
  }
};

TEST_P(FaultRunTest, RunStaysInsideAndDeletesOnlyWhatTheFaultAllows) {
  const FaultRow& row = GetParam();
  const std::string list = ListBytes(ListLines());

  Outcome clean = RunWithList("clean", &list, [] {});
  ExpectContained(clean);
  const int nth = ChooseCall(row, clean);
  ASSERT_GT(nth, 0) << "the fault-free run makes no such call of " << FaultOpName(row.op);

  Outcome faulted = RunWithList("faulted", &list, [&row, nth] { FaultPlan(row.op, nth, row.persistent); });
  SCOPED_TRACE(std::string(FaultOpName(row.op)) + " fails on call " + std::to_string(nth) +
               (row.persistent ? " and after" : " only"));
  ExpectContained(faulted);
  std::vector<FaultCall> failed = FailedCalls(faulted, row.op);
  ASSERT_FALSE(failed.empty()) << "the fault never fired";

  Snapshot expected = Expected(row, clean, faulted);
  EXPECT_EQ(faulted.after, expected) << "the tree after the run differs from the one expected:\n"
                                     << Difference(expected, faulted.after);

  // What the fault kept beyond the fault-free run, against what the row says must survive.
  std::set<std::string> extra;
  for (const auto& [path, entry] : expected) {
    if (clean.after.count(path) == 0) extra.insert(path);
  }
  switch (row.survives) {
    case Survives::kEverything:
      EXPECT_EQ(expected, faulted.before);
      EXPECT_EQ(ObjectCalls(faulted), 0) << "the system was asked to act without a program directory";
      break;
    case Survives::kAsWithoutFault:
      EXPECT_EQ(expected, clean.after) << "kept: " << Joined(extra);
      break;
    case Survives::kWhatItHid:
      break;
    default:
      EXPECT_FALSE(extra.empty()) << "the fault was expected to keep something";
      break;
  }

  // The fixed list is reached whatever failed before it: each fixed file is gone unless a failed
  // delete named it, or there was no program directory.
  if (row.survives != Survives::kEverything) {
    std::set<std::string> failedDeletes;
    for (const FaultCall& call : FailedCalls(faulted, FaultOp::kDeleteFileBeneath)) {
      failedDeletes.insert(Resolve(faulted.before, call.target));
    }
    for (const std::string& path : FixedPaths()) {
      if (failedDeletes.count(path) == 0) {
        EXPECT_EQ(faulted.after.count(path), 0u) << "fixed file left: " << path;
      }
    }
  }

  printf("[ fault    ] %s call %d%s: %zu failed call(s); kept beyond the fault-free run: %s\n",
         FaultOpName(row.op), nth, row.persistent ? " and after" : "", failed.size(), Joined(extra).c_str());
}

INSTANTIATE_TEST_SUITE_P(Table, FaultRunTest, testing::ValuesIn(kRows), RowName);

// Every operation failing from its first call on: the run still returns, and since nothing that
// changes the disk succeeds, nothing changes, inside or outside.
struct EveryFaultCase {
  const char* name;
  bool programPathToo;
};

void PrintTo(const EveryFaultCase& c, std::ostream* out) { *out << c.name; }

std::string EveryFaultName(const testing::TestParamInfo<EveryFaultCase>& param) { return param.param.name; }

class EveryFaultTest : public FaultTreeTest, public testing::WithParamInterface<EveryFaultCase> {};

TEST_P(EveryFaultTest, RunReturnsAndChangesNothing) {
  const std::string list = ListBytes(ListLines());
  bool programPathToo = GetParam().programPathToo;
  Outcome outcome = RunWithList("every-fault", &list, [programPathToo] {
    for (int op = 0; op < kFaultOpCount; ++op) {
      if (static_cast<FaultOp>(op) != FaultOp::kGetProgramPath || programPathToo) {
        FaultPlan(static_cast<FaultOp>(op), 1, true);
      }
    }
  });
  ExpectContained(outcome);
  EXPECT_EQ(outcome.after, outcome.before) << Difference(outcome.before, outcome.after);
  // Without the program path the run has nowhere to act; with it, it tries and every try fails.
  if (programPathToo) {
    EXPECT_EQ(ObjectCalls(outcome), 0) << "the system was asked to act without a program directory";
  } else {
    EXPECT_GT(outcome.calls[static_cast<int>(FaultOp::kOpenFileBeneath)], 0);
    EXPECT_GT(outcome.calls[static_cast<int>(FaultOp::kDeleteFileBeneath)], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Table, EveryFaultTest,
                         testing::Values(EveryFaultCase{"EveryOperation", true},
                                         EveryFaultCase{"EveryOperationButTheProgramPath", false}),
                         EveryFaultName);

}  // namespace
