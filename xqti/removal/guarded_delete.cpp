// The guarded delete and the containment rule.
#include "removal/guarded_delete.h"

#include <string.h>

#include "list/path_text.h"
#include "removal/platform.h"
#include "run/run_cleanup.h"

static char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// A drive letter and its colon. (A lead byte followed by ":" is no drive, and no character either.)
static bool HasDrive(const char* path) {
  char c = LowerAscii(path[0]);
  return c >= 'a' && c <= 'z' && path[1] == ':';
}

static bool IsDeviceName(const char* name, size_t n) {
  // Windows opens a device for these names whatever follows the first dot, and ignores blanks before it.
  static const char* const kDevices[] = {"con", "prn", "aux", "nul", "conin$", "conout$", "clock$"};
  size_t end = 0;
  while (end < n && name[end] != '.') ++end;
  while (end > 0 && name[end - 1] == ' ') --end;
  char base[8];
  if (end == 0 || end >= sizeof base) return false;
  for (size_t i = 0; i < end; ++i) base[i] = LowerAscii(name[i]);
  base[end] = '\0';
  for (const char* device : kDevices) {
    if (strcmp(base, device) == 0) return true;
  }
  bool numbered = end == 4 && (memcmp(base, "com", 3) == 0 || memcmp(base, "lpt", 3) == 0);
  return numbered && base[3] >= '0' && base[3] <= '9';
}

// True when the component name[0..n) may be acted on as it stands.
static bool IsPlainComponent(unsigned cp, const char* name, size_t n) {
  if (name[n - 1] == '.' || name[n - 1] == ' ') return false;
  // No code page has ":" as the second byte of a character, so one anywhere marks a stream or a drive.
  if (memchr(name, ':', n) != nullptr) return false;
  for (size_t i = 0; i < n;) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if (c < 32 || strchr(":*?\"<>|", c) != nullptr) return false;
    i += CharacterLength(cp, name + i);
  }
  return !IsDeviceName(name, n);
}

// Appends the components of src to dst (which holds len bytes), each preceded by "\", passing over
// empty and "." components. With check set, every component must be plain. False on "..", on a
// refused component, or when the result does not fit.
static bool AppendComponents(unsigned cp, const char* src, char* dst, size_t size, size_t len, bool check) {
  const char* p = src;
  while (*p != '\0') {
    while (IsSeparator(static_cast<unsigned char>(*p))) ++p;
    const char* name = p;
    while (*p != '\0' && !IsSeparator(static_cast<unsigned char>(*p))) p += CharacterLength(cp, p);
    size_t n = static_cast<size_t>(p - name);
    if (n == 0 || (n == 1 && name[0] == '.')) continue;
    if (n == 2 && name[0] == '.' && name[1] == '.') return false;
    if (check && !IsPlainComponent(cp, name, n)) return false;
    if (len + 1 + n >= size) return false;
    dst[len++] = '\\';
    memcpy(dst + len, name, n);
    len += n;
    dst[len] = '\0';
  }
  return true;
}

// Writes the root of an absolute path ("c:", "\" for a UNC path, or nothing for a rooted path)
// followed by its components.
static bool CanonicalAbsolute(unsigned cp, const char* path, char* dst, size_t size) {
  size_t len = 0;
  if (HasDrive(path)) {
    dst[len++] = path[0];
    dst[len++] = ':';
    path += 2;
  } else if (IsSeparator(static_cast<unsigned char>(path[0])) &&
             IsSeparator(static_cast<unsigned char>(path[1]))) {
    dst[len++] = '\\';
  }
  dst[len] = '\0';
  return AppendComponents(cp, path, dst, size, len, false);
}

// The root of base that a rooted path ("\x") hangs from: its drive, its UNC "\\server\share", or
// nothing.
static size_t RootLength(unsigned cp, const char* base) {
  if (HasDrive(base)) return 2;
  if (!(IsSeparator(static_cast<unsigned char>(base[0])) && IsSeparator(static_cast<unsigned char>(base[1])))) {
    return 0;
  }
  size_t i = 2;
  for (int part = 0; part < 2; ++part) {
    while (IsSeparator(static_cast<unsigned char>(base[i]))) ++i;
    while (base[i] != '\0' && !IsSeparator(static_cast<unsigned char>(base[i]))) i += CharacterLength(cp, base + i);
  }
  return i;
}

// Finds the part of the absolute path that lies below base; null when it lies elsewhere.
static const char* BelowBase(unsigned cp, const char* base, const char* absolute, char* scratch, size_t size) {
  char canonicalBase[kPathSize];
  char lowerBase[kPathSize];
  char lowerPath[kPathSize];
  if (!CanonicalAbsolute(cp, base, canonicalBase, sizeof canonicalBase)) return nullptr;
  if (!CanonicalAbsolute(cp, absolute, scratch, size)) return nullptr;
  if (!CopyText(lowerBase, sizeof lowerBase, canonicalBase) || !LowerText(cp, lowerBase)) return nullptr;
  if (!CopyText(lowerPath, sizeof lowerPath, scratch) || !LowerText(cp, lowerPath)) return nullptr;
  size_t n = strlen(lowerBase);
  if (strncmp(lowerBase, lowerPath, n) != 0 || lowerPath[n] != '\\') return nullptr;
  return scratch + n;
}

bool ResolveBeneath(unsigned cp, const char* base, const char* path, char* rel, size_t size) {
  char absolute[kPathSize + 1];  // room for the leading "\" of a whole-length relative path
  char scratch[kPathSize];
  const char* inside = path;
  bool rooted = IsSeparator(static_cast<unsigned char>(path[0]));
  bool unc = rooted && IsSeparator(static_cast<unsigned char>(path[1]));
  rel[0] = '\0';
  if (base[0] == '\0') return false;
  if (unc && (path[2] == '?' || path[2] == '.') && IsSeparator(static_cast<unsigned char>(path[3]))) {
    return false;
  }
  if (HasDrive(path) && !IsSeparator(static_cast<unsigned char>(path[2]))) {
    // Drive-relative: it means the program directory only when that is the current one of its drive.
    if (!HasDrive(base) || LowerAscii(path[0]) != LowerAscii(base[0])) return false;
    inside = path + 2;
  } else if (HasDrive(path) || unc) {
    inside = BelowBase(cp, base, path, scratch, sizeof scratch);
  } else if (rooted) {
    size_t root = RootLength(cp, base);
    if (root >= sizeof absolute) return false;
    memcpy(absolute, base, root);
    absolute[root] = '\0';
    if (!JoinText(absolute, sizeof absolute, absolute, path)) return false;
    inside = BelowBase(cp, base, absolute, scratch, sizeof scratch);
  }
  if (inside == nullptr) return false;
  absolute[0] = '\0';
  if (!AppendComponents(cp, inside, absolute, sizeof absolute, 0, true) || absolute[0] == '\0') return false;
  return CopyText(rel, size, absolute + 1);  // without the leading "\"

}

void DeleteGuarded(const char* path) {
  char rel[kPathSize];
  if (ContainsText(path, "..")) return;
  if (!ResolveBeneath(OsCodePage(), g_programDirectory, path, rel, sizeof rel)) return;
  OsDeleteFileBeneath(g_programDirectory, rel);
}

void RemoveDirectoryGuarded(const char* path) {
  char rel[kPathSize];
  if (!ResolveBeneath(OsCodePage(), g_programDirectory, path, rel, sizeof rel)) return;
  OsRemoveDirectoryBeneath(g_programDirectory, rel);
}
