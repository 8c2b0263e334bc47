// The pure pieces of list handling on arbitrary lines: lowercasing, line normalising, the splitting rule
// and the containment rule. The first input byte picks the code page (its value modulo 5, in the order
// of kFuzzCodePages) and the program directory (its value divided by 5, modulo 4, in the order of
// kBases); the rest is cut into lines as the list reader cuts them (on line feeds; a line of 2048 bytes
// or more is passed over).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "fuzz_check.h"
#include "list/list_reader.h"
#include "list/path_text.h"
#include "removal/guarded_delete.h"
#include "removal/platform.h"

namespace {

// Program directories of every shape the containment rule knows, one with a double-byte name whose
// second byte is 0x5C in CP932.
const char* const kBases[] = {"C:\\Games\\XQT\\", "\\\\server\\share\\XQT\\", "/tmp/t/prog/",
                              "C:\\\x95\x5C\\XQT\\"};
enum { kBaseCount = sizeof kBases / sizeof kBases[0] };

unsigned char LowerAsciiByte(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

// The components of text, split on separators that stand as characters of their own in cp.
std::vector<std::string> Components(unsigned cp, const std::string& text, bool keepEmpty) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < text.size();) {
    size_t n = CharacterLength(cp, text.c_str() + i);
    if (n == 1 && IsSeparator(static_cast<unsigned char>(text[i]))) {
      if (keepEmpty || !part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.append(text, i, n);
    }
    i += n;
  }
  if (keepEmpty || !part.empty()) parts.push_back(part);
  return parts;
}

// True when text holds a separator or (with dot set) a dot that stands as a character of its own.
bool HoldsSingleByte(unsigned cp, const std::string& text, bool dot) {
  for (size_t i = 0; i < text.size();) {
    size_t n = CharacterLength(cp, text.c_str() + i);
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (n == 1 && (IsSeparator(c) || (dot && c == '.'))) return true;
    i += n;
  }
  return false;
}

void CheckLowerText(unsigned cp, const std::string& line) {
  static char text[kPathSize];
  memcpy(text, line.c_str(), line.size() + 1);
  bool ok = LowerText(cp, text);
  if (!ok) {
    FUZZ_CHECK(text[0] == '\0', "a failed lowercasing left text behind");
    return;
  }
  FUZZ_CHECK(strlen(text) == line.size(), "lowercasing changed the length");
  // Single-byte characters follow ASCII; a double-byte character stays double-byte.
  for (size_t i = 0; i < line.size();) {
    size_t n = CharacterLength(cp, line.c_str() + i);
    unsigned char in = static_cast<unsigned char>(line[i]);
    unsigned char out = static_cast<unsigned char>(text[i]);
    if (n == 1) {
      FUZZ_CHECK(out == LowerAsciiByte(in), "a single byte lowered other than ASCII");
    } else {
      FUZZ_CHECK(CharacterLength(cp, text + i) == 2, "a double-byte character lost its lead byte");
    }
    i += n;
  }
}

// Line normalising takes its code page from the platform, not from the input.
void CheckNormalize(const std::string& line) {
  unsigned cp = OsCodePage();
  static char path[kPathSize];
  static char lowered[kPathSize];
  memcpy(path, line.c_str(), line.size() + 1);
  memcpy(lowered, line.c_str(), line.size() + 1);
  LowerText(cp, lowered);
  std::string trimmed(lowered);
  if (!trimmed.empty() && trimmed.back() == '\r') trimmed.pop_back();
  NormalizeListLine(path);
  std::string out(path);
  if (trimmed.find("exe\\") == std::string::npos) {
    FUZZ_CHECK(out == trimmed, "a line without \"exe\\\" is more than lowered and trimmed");
    return;
  }
  // Reduced to the last component: a tail of the line that holds no separator.
  FUZZ_CHECK(
      out.size() <= trimmed.size() && trimmed.compare(trimmed.size() - out.size(), out.size(), out) == 0,
      "a reduced line is not the end of the line");
  FUZZ_CHECK(out.empty() || !HoldsSingleByte(cp, out, false), "a reduced line still holds a separator");
}

void CheckSplitPath(unsigned cp, const std::string& path) {
  static PathParts parts;
  if (!SplitPath(cp, path.c_str(), &parts)) {
    FUZZ_CHECK(
        parts.drive[0] == '\0' && parts.dir[0] == '\0' && parts.fname[0] == '\0' && parts.ext[0] == '\0',
        "a failed split left parts behind");
    FUZZ_CHECK(path.size() >= kExtensionSize, "a short path failed to split");
    return;
  }
  std::string drive(parts.drive), dir(parts.dir), fname(parts.fname), ext(parts.ext);
  FUZZ_CHECK(drive + dir + fname + ext == path, "the parts do not make up the path");
  FUZZ_CHECK(drive.empty() || (drive.size() == 2 && drive[1] == ':'), "a drive that is not \"x:\"");
  FUZZ_CHECK(dir.empty() || IsSeparator(static_cast<unsigned char>(dir.back())),
             "a directory not ending in a separator");
  FUZZ_CHECK(!HoldsSingleByte(cp, fname + ext, false), "a separator after the directory");
  FUZZ_CHECK(!HoldsSingleByte(cp, fname, true) || (!ext.empty() && ext[0] == '.'),
             "a dot in the name while the extension does not start with one");
  FUZZ_CHECK(ext.empty() || (ext[0] == '.' && !HoldsSingleByte(cp, ext.substr(1), true)),
             "an extension that is not the text after the last dot");
}

void CheckResolve(unsigned cp, const char* base, const std::string& path) {
  static char rel[kPathSize];
  static char again[kPathSize];
  static char joined[2 * kPathSize];
  if (!ResolveBeneath(cp, base, path.c_str(), rel, sizeof rel)) {
    FUZZ_CHECK(rel[0] == '\0', "a refused path left a result behind");
    return;
  }
  std::string result(rel);
  FUZZ_CHECK(!result.empty(), "resolved to the program directory itself");
  FUZZ_CHECK(!IsSeparator(static_cast<unsigned char>(result[0])), "the result starts with a separator");
  FUZZ_CHECK(CharacterLength(cp, rel) == 2 || result.size() < 2 || result[1] != ':',
             "the result starts with a drive");
  for (const std::string& part : Components(cp, result, true)) {
    FUZZ_CHECK(!part.empty(), "the result has an empty component");
    FUZZ_CHECK(part != "." && part != "..", "the result has a \".\" or \"..\" component");
    FUZZ_CHECK(part.back() != '.' && part.back() != ' ',
               "the result has a component ending in a dot or blank");
  }
  // Separated by "\" only, and no character Windows would read as more than a name.
  for (size_t i = 0; i < result.size();) {
    size_t n = CharacterLength(cp, rel + i);
    unsigned char c = static_cast<unsigned char>(rel[i]);
    FUZZ_CHECK(n == 2 || (c >= 32 && c != '/' && strchr(":*?\"<>|", c) == nullptr),
               "the result holds a character no plain name holds");
    i += n;
  }
  // A path that names its way up is never let through, however it is written.
  std::string written = path.size() >= 2 && path[1] == ':' ? path.substr(2) : path;  // past a drive
  std::vector<std::string> parts = Components(cp, written, false);
  for (const std::string& part : parts) {
    FUZZ_CHECK(part != "..", "a path with a \"..\" component was let through");
  }
  // Its last component is the path's last component, as written.
  while (!parts.empty() && parts.back() == ".") parts.pop_back();
  FUZZ_CHECK(!parts.empty() && Components(cp, result, false).back() == parts.back(),
             "the result does not end in the path's last component");
  // The result is its own place below the base, both as it stands and with the base in front.
  FUZZ_CHECK(ResolveBeneath(cp, base, rel, again, sizeof again) && strcmp(again, rel) == 0,
             "the result does not resolve to itself");
  if (JoinText(joined, sizeof joined, base, rel) && strlen(joined) < kPathSize &&
      LowerText(cp, strcpy(again, joined))) {
    FUZZ_CHECK(ResolveBeneath(cp, base, joined, again, sizeof again) && strcmp(again, rel) == 0,
               "the base followed by the result does not resolve to the result");
  }
}

void CheckLine(unsigned cp, const char* base, const std::string& line) {
  CheckLowerText(cp, line);
  CheckNormalize(line);
  CheckSplitPath(cp, line);
  CheckResolve(cp, base, line);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  unsigned cp = kFuzzCodePages[data[0] % kFuzzCodePageCount];
  const char* base = kBases[data[0] / kFuzzCodePageCount % kBaseCount];
  const char* text = reinterpret_cast<const char*>(data) + 1;
  size_t length = size - 1;
  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    if (i < length && text[i] != '\n') continue;
    if (i - start < kPathSize && (i < length || i > start)) {
      std::string line(text + start, i - start);
      CheckLine(cp, base, line.c_str());  // the tool sees a line up to its first zero byte
    }
    start = i + 1;
  }
  return 0;
}
