// The uninstall list end to end: the input becomes XQTUP.TMP in a real program directory, and the run's
// list stage works through it on the POSIX platform layer: the reader deletes the listed files and
// records their directories, and those that are left empty are removed. Around the program directory
// lie a sibling whose name it is a prefix of and files beside it; inside it lie links to all of those.
// After each run:
// - nothing outside has changed, no link inside is gone, and the list itself is gone;
// - every file that went is named somewhere in the list, and every directory that went has its first
//   component named there;
// - every file that a line names plainly (its path as laid, relative or absolute, in any case, with
//   either separator, and no "exe\" or ".." in the line) is gone.
// What went is then laid anew for the next input.
//
// Two markers in the input stand for absolute paths, so that the corpus can name places by a path that
// the temporary directory's random name would otherwise hide: "<P>" is the program directory (no final
// separator) and "<R>" the directory around it. Both hold characters no name may hold, so no line that
// means a real path is lost to them.
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "list/directory_table.h"
#include "list/list_reader.h"
#include "run/run_cleanup.h"

namespace {

enum Kind { kFile, kDirectory, kLink };

struct Entry {
  const char* path;  // below the temporary root
  Kind kind;
  const char* target;  // a link's target; a file's content
  mode_t mode;
};

// Inside the program directory; names keep their case on disk while the list is lowercased.
const Entry kInside[] = {
    {"prog/Data", kDirectory, nullptr, 0755},
    {"prog/Data/Sound", kDirectory, nullptr, 0755},
    {"prog/Data/Sound/Bgm01.dat", kFile, "bgm", 0644},
    {"prog/Data/Map", kDirectory, nullptr, 0755},
    {"prog/Data/Map/M1.map", kFile, "map", 0644},
    {"prog/Data/a b.txt", kFile, "blank", 0644},
    {"prog/Data/Empty", kDirectory, nullptr, 0755},
    {"prog/Empty", kDirectory, nullptr, 0755},
    {"prog/Empty/Below", kDirectory, nullptr, 0755},
    {"prog/Exe", kDirectory, nullptr, 0755},
    {"prog/Exe/Tool.dat", kFile, "tool", 0644},
    {"prog/Patch.DLL", kFile, "patch", 0644},
    {"prog/oxqt.exe", kFile, "exe", 0644},
    {"prog/ReadOnly.txt", kFile, "read-only", 0444},
    {"prog/x..y", kFile, "dots", 0644},
    {"prog/lnk", kLink, "../progx", 0},
    {"prog/Data/up", kLink, "../../progx/Data", 0},
    {"prog/flnk", kLink, "../keep.dat", 0},
    {"prog/dangling", kLink, "../gone.dat", 0},
};

// Outside it: a sibling that shares its name's start, and files beside both.
const Entry kOutside[] = {
    {"progx", kDirectory, nullptr, 0755},
    {"progx/Patch.DLL", kFile, "outside patch", 0644},
    {"progx/Data", kDirectory, nullptr, 0755},
    {"progx/Data/Sound", kDirectory, nullptr, 0755},
    {"progx/Data/Sound/Bgm01.dat", kFile, "outside bgm", 0644},
    {"progx/oxqt.exe", kFile, "outside exe", 0644},
    {"progx/Empty", kDirectory, nullptr, 0755},
    {"keep.dat", kFile, "keep", 0644},
    {"prog.dat", kFile, "beside", 0644},
    {"XQTUP.TMP", kFile, "outside list", 0644},
};

std::string g_root;  // the temporary directory around everything
std::string g_list;  // the list's path

std::string Under(const char* path) { return g_root + "/" + path; }

void Lay(const Entry& e) {
  std::string path = Under(e.path);
  if (e.kind == kDirectory) {
    FUZZ_CHECK(mkdir(path.c_str(), e.mode) == 0 || errno == EEXIST, "cannot make a directory of the tree");
  } else if (e.kind == kLink) {
    FUZZ_CHECK(symlink(e.target, path.c_str()) == 0, "cannot make a link of the tree");
  } else {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    FUZZ_CHECK(fd >= 0, "cannot make a file of the tree");
    FUZZ_CHECK(write(fd, e.target, strlen(e.target)) == static_cast<ssize_t>(strlen(e.target)),
               "short write");
    fchmod(fd, e.mode);
    close(fd);
  }
}

// True when the entry is there as laid.
bool Intact(const Entry& e) {
  std::string path = Under(e.path);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return false;
  if (e.kind == kDirectory) return S_ISDIR(st.st_mode);
  if (e.kind == kLink) {
    char target[256];
    ssize_t n = readlink(path.c_str(), target, sizeof target);
    return S_ISLNK(st.st_mode) && n == static_cast<ssize_t>(strlen(e.target)) &&
           memcmp(target, e.target, n) == 0;
  }
  char content[64];
  int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW);
  if (fd < 0) return false;
  ssize_t n = read(fd, content, sizeof content);
  close(fd);
  return S_ISREG(st.st_mode) && (st.st_mode & 0777) == e.mode &&
         n == static_cast<ssize_t>(strlen(e.target)) && memcmp(content, e.target, n) == 0;
}

int RemoveOne(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

void RemoveTree() { nftw(g_root.c_str(), RemoveOne, 16, FTW_DEPTH | FTW_PHYS); }

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

// The relative path of an entry inside, or the absolute path of the program directory, as a list line
// that names it plainly: lowercased and "\"-separated.
std::string Plain(const std::string& path) {
  std::string text = LowerAscii(path);
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

// The lines of the list as the reader takes them: cut on line feeds, read up to a zero byte, one
// carriage return dropped; a line of 2048 bytes or more is passed over.
std::vector<std::string> Lines(const std::string& list) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\n', start);
    if (end == std::string::npos) end = list.size();
    if (end - start < 2048) {
      const char* zero = static_cast<const char*>(memchr(list.data() + start, '\0', end - start));
      std::string line(list.data() + start, zero != nullptr ? zero : list.data() + end);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    start = end + 1;
  }
  return lines;
}

// The input with its markers replaced by the absolute paths they stand for.
std::string Expand(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "<P>") == 0) {
      out += g_root + "/prog";
      i += 2;
    } else if (text.compare(i, 3, "<R>") == 0) {
      out += g_root;
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/xqti-fuzz-list.XXXXXX";
  FUZZ_CHECK(mkdtemp(&pattern[0]) != nullptr, "cannot make the temporary directory");
  g_root = pattern;
  atexit(RemoveTree);
  FUZZ_CHECK(mkdir(Under("prog").c_str(), 0755) == 0, "cannot make the program directory");
  for (const Entry& e : kOutside) Lay(e);
  for (const Entry& e : kInside) Lay(e);
  g_list = Under("prog/XQTUP.TMP");
  std::string base = Under("prog/");
  FUZZ_CHECK(base.size() < sizeof g_programDirectory, "the temporary directory's path is too long");
  memcpy(g_programDirectory, base.c_str(), base.size() + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string list = Expand(data, size);
  int fd = open(g_list.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  FUZZ_CHECK(fd >= 0, "cannot write the list");
  FUZZ_CHECK(write(fd, list.data(), list.size()) == static_cast<ssize_t>(list.size()),
             "short write of the list");
  close(fd);

  // The list stage of a run, as the run sequence has it.
  ResetDirectoryTable();
  ReadUninstallList();
  if (g_directoryCount > 0) {
    SortDirectoriesDescending();
    RemoveDirectories();
  }

  for (const Entry& e : kOutside) FUZZ_CHECK(Intact(e), ("changed outside: " + std::string(e.path)).c_str());
  struct stat st;
  FUZZ_CHECK(lstat(g_list.c_str(), &st) != 0, "the list is still there");
  std::string named = LowerAscii(list);
  std::vector<std::string> plainLines;
  for (const std::string& line : Lines(list)) {
    // A line holding "exe\" names its last component only; one holding ".." anywhere is passed over.
    std::string lowered = LowerAscii(line);
    if (lowered.find("exe\\") == std::string::npos && lowered.find("..") == std::string::npos) {
      plainLines.push_back(Plain(line));
    }
  }
  const std::string prog = Plain(Under("prog/"));
  for (const Entry& e : kInside) {
    if (e.kind == kFile) {
      std::string rel = Plain(e.path + 5);  // past "prog/"
      for (const std::string& line : plainLines) {
        FUZZ_CHECK((line != rel && line != prog + rel) || !Intact(e),
                   ("named plainly but still there: " + std::string(e.path)).c_str());
      }
    }
    if (Intact(e)) continue;
    FUZZ_CHECK(e.kind != kLink, ("a link is gone: " + std::string(e.path)).c_str());
    FUZZ_CHECK(lstat(Under(e.path).c_str(), &st) != 0,
               ("changed rather than deleted: " + std::string(e.path)).c_str());
    std::string rel = e.path + 5;
    std::string name = e.kind == kFile ? rel.substr(rel.rfind('/') + 1) : rel.substr(0, rel.find('/'));
    FUZZ_CHECK(named.find(LowerAscii(name)) != std::string::npos,
               ("gone without being named: " + std::string(e.path)).c_str());
    Lay(e);
  }
  return 0;
}
