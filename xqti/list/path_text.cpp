// Path texts: bounded copying and joining, lowercasing and the splitting rule.
#include "list/path_text.h"

#include <string.h>

#include "removal/platform.h"

bool CopyText(char* dst, size_t size, const char* src) {
  return JoinText(dst, size, src, "");
}

bool JoinText(char* dst, size_t size, const char* a, const char* b) {
  size_t la = strlen(a);
  size_t lb = strlen(b);
  if (size == 0) return false;
  if (la + lb >= size) {
    dst[0] = '\0';
    return false;
  }
  memmove(dst, a, la);
  memmove(dst + la, b, lb);
  dst[la + lb] = '\0';
  return true;
}

bool ContainsText(const char* text, const char* needle) {
  return strstr(text, needle) != nullptr;
}

size_t CharacterLength(unsigned cp, const char* text) {
  unsigned char c = static_cast<unsigned char>(text[0]);
  if (c < 0x80 || text[1] == '\0') return 1;
  return OsIsLeadByte(cp, c) ? 2 : 1;
}

bool LowerText(unsigned cp, char* text) {
  for (char* p = text; *p != '\0';) {
    unsigned char* c = reinterpret_cast<unsigned char*>(p);
    if (*c < 0x80) {
      // Every code page the tool meets agrees with ASCII on its letters.
      if (*c >= 'A' && *c <= 'Z') *c = static_cast<unsigned char>(*c + ('a' - 'A'));
      ++p;
      continue;
    }
    int n = static_cast<int>(CharacterLength(cp, p));
    if (!OsLowerCharacter(cp, c, n)) {
      text[0] = '\0';
      return false;
    }
    p += n;
  }
  return true;
}

// Copies the n bytes at src into a part of the given size; false when they do not fit.
static bool TakePart(char* part, size_t size, const char* src, size_t n) {
  if (n >= size) return false;
  memcpy(part, src, n);
  part[n] = '\0';
  return true;
}

bool SplitPath(unsigned cp, const char* path, PathParts* parts) {
  size_t start = (path[0] != '\0' && path[1] == ':') ? 2 : 0;
  size_t dirEnd = start;  // one past the last separator
  size_t lastDot = 0;     // position of the last dot after the directory
  bool dot = false;
  size_t i = start;
  while (path[i] != '\0') {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (IsSeparator(c)) {
      dirEnd = i + 1;
      dot = false;
    } else if (c == '.') {
      lastDot = i;
      dot = true;
    }
    i += CharacterLength(cp, path + i);
  }
  size_t end = i;
  size_t nameEnd = dot ? lastDot : end;
  bool ok = TakePart(parts->drive, kDriveSize, path, start) &&
            TakePart(parts->dir, kPathSize, path + start, dirEnd - start) &&
            TakePart(parts->fname, kFileNameSize, path + dirEnd, nameEnd - dirEnd) &&
            TakePart(parts->ext, kExtensionSize, path + nameEnd, end - nameEnd);
  if (!ok) {
    parts->drive[0] = parts->dir[0] = parts->fname[0] = parts->ext[0] = '\0';
  }
  return ok;
}
