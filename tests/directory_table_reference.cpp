// The directory scan done the long way, for the differential test.
#include "directory_table_reference.h"

#include "list/path_text.h"
#include "removal/guarded_delete.h"
#include "removal/platform.h"
#include "run/run_cleanup.h"

namespace {

const size_t kSlots = 128;
const size_t kLongestEntry = 255;
const size_t kLongestText = kPathSize - 1;

bool IsSep(char c) { return c == '\\' || c == '/'; }

// The components of dir joined by "\" with one "\" at the end, empty and "." components left out.
std::string Components(const std::string& dir) {
  std::string out;
  std::string part;
  for (size_t i = 0; i <= dir.size(); ++i) {
    if (i == dir.size() || IsSep(dir[i])) {
      if (!part.empty() && part != ".") out += part + "\\";
      part.clear();
    } else {
      part += dir[i];
    }
  }
  return out;
}

// True when dir may be recorded and walked; its recorded form into text and the platform's path into
// rel.
bool Acceptable(const std::string& dir, std::string* text, std::string* rel) {
  if (dir.empty() || IsSep(dir[0]) || (dir.size() > 1 && dir[1] == ':')) return false;
  if (dir.find("..") != std::string::npos) return false;
  char resolved[kPathSize];
  if (!ResolveBeneath(OsCodePage(), g_programDirectory, dir.c_str(), resolved, sizeof resolved)) return false;
  *text = Components(dir);
  *rel = resolved;
  return true;
}

struct Scanner {
  ReferenceScan result;

  void Add(const std::string& dir) {
    std::string text;
    std::string rel;
    if (result.table.size() >= kSlots || !Acceptable(dir, &text, &rel)) return;
    if (text.size() > kLongestEntry) return;
    for (const std::string& entry : result.table) {
      if (FoldAscii(entry) == FoldAscii(text)) return;
    }
    result.table.push_back(text);
  }

  void Walk(const std::string& dir) {
    std::string text;
    std::string rel;
    if (!Acceptable(dir, &text, &rel)) return;
    ++result.enumerations;
    result.enumerated.insert(FoldAscii(text));
    if (result.table.size() < kSlots) result.enumeratedWithRoom.insert(FoldAscii(text));
    OsFindEntry entry;
    OsFind* find = OsFindFirst(g_programDirectory, rel.c_str(), &entry);
    if (find == nullptr) return;
    do {
      std::string name = entry.name;
      if (name == "." || name == "..") continue;
      if ((entry.attributes & kAttrDirectory) == 0 || (entry.attributes & kAttrReparsePoint) != 0) continue;
      if (name.find_first_of("\\/") != std::string::npos) continue;
      std::string child = text + name + "\\";
      if (child.size() > kLongestText) continue;
      Add(child);
      Walk(child);
    } while (OsFindNext(find, &entry));
    OsFindClose(find);
  }
};

}  // namespace

std::string FoldAscii(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return out;
}

ReferenceScan RunReferenceScan(const std::vector<std::string>& listDirs) {
  Scanner scanner;
  for (const std::string& dir : listDirs) scanner.Add(dir);
  for (size_t i = 0; i < scanner.result.table.size(); ++i) {
    std::string entry = scanner.result.table[i];
    scanner.Walk(entry);
  }
  return scanner.result;
}
