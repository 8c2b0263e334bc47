// The platform on POSIX: a stand-in for Windows that gives the tool's logic what it relies on there.
// Both "\" and "/" separate; names match without regard to ASCII case (the exact name first), since the
// uninstall list is lowercased while the disk keeps its case; enumeration yields "." and ".." first and
// the rest in case-insensitive order, as NTFS does; a symbolic link shows as a reparse point. Every
// object is reached component by component from an open directory with O_NOFOLLOW, so that a link is
// never followed below the base directory and nothing can be swapped in between check and action.
#include "removal/platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <locale.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

// The ASCII-case-insensitive order in which entries are delivered and names are matched.
int CompareFolded(const std::string& a, const std::string& b) {
  int r = strcasecmp(a.c_str(), b.c_str());
  return r != 0 ? r : strcmp(a.c_str(), b.c_str());
}

// The names in directory fd (without "." and ".."), in case-insensitive order.
bool ListNames(int fd, std::vector<std::string>* names) {
  int copy = dup(fd);
  if (copy < 0) return false;
  DIR* dir = fdopendir(copy);
  if (dir == nullptr) {
    close(copy);
    return false;
  }
  rewinddir(dir);
  while (dirent* e = readdir(dir)) {
    if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names->push_back(e->d_name);
  }
  closedir(dir);
  std::sort(names->begin(), names->end(),
            [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
  return true;
}

// The name on disk in directory fd that name denotes: the exact name if it exists, else the first
// name equal to it without regard to ASCII case. False when there is none.
bool MatchName(int fd, const std::string& name, std::string* actual) {
  struct stat st;
  if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    *actual = name;
    return true;
  }
  std::vector<std::string> names;
  if (!ListNames(fd, &names)) return false;
  for (const std::string& candidate : names) {
    if (strcasecmp(candidate.c_str(), name.c_str()) == 0) {
      *actual = candidate;
      return true;
    }
  }
  return false;
}

std::vector<std::string> Components(const char* rel) {
  std::vector<std::string> parts;
  std::string part;
  for (const char* p = rel;; ++p) {
    if (*p == '\0' || IsSep(*p)) {
      if (!part.empty()) parts.push_back(part);
      part.clear();
      if (*p == '\0') break;
    } else {
      part += *p;
    }
  }
  return parts;
}

// Opens the directory that holds the last component of base\rel, walking every component below base
// without following a link, and finds the last component's name on disk. -1 when that fails.
int OpenParent(const char* base, const char* rel, std::string* last) {
  std::vector<std::string> parts = Components(rel);
  if (base[0] == '\0' || parts.empty()) return -1;
  int fd = open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (size_t i = 0; fd >= 0 && i + 1 < parts.size(); ++i) {
    std::string actual;
    int next = -1;
    if (MatchName(fd, parts[i], &actual)) {
      next = openat(fd, actual.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    close(fd);
    fd = next;
  }
  if (fd >= 0 && !MatchName(fd, parts.back(), last)) {
    close(fd);
    fd = -1;
  }
  return fd;
}

// Opens base\rel itself (base for an empty rel) as a directory, never through a link.
int OpenDirectory(const char* base, const char* rel) {
  if (Components(rel).empty()) {
    return base[0] == '\0' ? -1 : open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  std::string last;
  int parent = OpenParent(base, rel, &last);
  if (parent < 0) return -1;
  int fd = openat(parent, last.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  close(parent);
  return fd;
}

unsigned Attributes(int dirFd, const char* name) {
  struct stat st;
  if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return kAttrArchive;
  unsigned attributes = 0;
  if (S_ISLNK(st.st_mode)) {
    attributes |= kAttrReparsePoint;
    struct stat target;
    if (fstatat(dirFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) attributes |= kAttrDirectory;
  } else if (S_ISDIR(st.st_mode)) {
    attributes |= kAttrDirectory;
  } else {
    attributes |= kAttrArchive;
  }
  if ((st.st_mode & 0222) == 0) attributes |= kAttrReadOnly;
  return attributes;
}

}  // namespace

struct OsFind {
  int fd;
  std::vector<std::string> names;
  size_t next;
};

struct OsFile {
  int fd;
};

bool OsGetProgramPath(char* buf, size_t size) {
  ssize_t n = readlink("/proc/self/exe", buf, size);
  if (n <= 0 || static_cast<size_t>(n) >= size) {
    if (size > 0) buf[0] = '\0';
    return false;
  }
  buf[n] = '\0';
  return true;
}

bool OsSetCurrentDirectory(const char* dir) { return dir[0] != '\0' && chdir(dir) == 0; }

bool OsDeleteFileBeneath(const char* base, const char* rel) {
  std::string name;
  int parent = OpenParent(base, rel, &name);
  if (parent < 0) return false;
  struct stat st;
  bool ok = fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
  if (ok) {
    // Clearing the attributes gives a read-only file its owner write bit back, as on Windows.
    int fd = openat(parent, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      fchmod(fd, st.st_mode | S_IWUSR);
      close(fd);
    }
    // unlinkat acts on the name itself: a link swapped in meanwhile loses its name, not its target.
    ok = unlinkat(parent, name.c_str(), 0) == 0;
  }
  close(parent);
  return ok;
}

bool OsRemoveDirectoryBeneath(const char* base, const char* rel) {
  std::string name;
  int parent = OpenParent(base, rel, &name);
  if (parent < 0) return false;
  struct stat st;
  bool ok = fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
            unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
  close(parent);
  return ok;
}

static bool DeliverEntry(OsFind* find, OsFindEntry* entry) {
  if (find->next >= find->names.size()) return false;
  const std::string& name = find->names[find->next++];
  snprintf(entry->name, sizeof entry->name, "%s", name.c_str());
  entry->attributes = name == "." || name == ".." ? kAttrDirectory : Attributes(find->fd, name.c_str());
  return true;
}

OsFind* OsFindFirst(const char* base, const char* rel, OsFindEntry* entry) {
  int fd = OpenDirectory(base, rel);
  if (fd < 0) return nullptr;
  OsFind* find = new OsFind{fd, {".", ".."}, 0};
  std::vector<std::string> names;
  if (!ListNames(fd, &names)) {
    OsFindClose(find);
    return nullptr;
  }
  for (std::string& name : names) {
    if (name.size() < sizeof entry->name) find->names.push_back(std::move(name));
  }
  DeliverEntry(find, entry);
  return find;
}

bool OsFindNext(OsFind* find, OsFindEntry* entry) { return DeliverEntry(find, entry); }

void OsFindClose(OsFind* find) {
  close(find->fd);
  delete find;
}

OsFile* OsOpenFileBeneath(const char* base, const char* rel) {
  std::string name;
  int parent = OpenParent(base, rel, &name);
  if (parent < 0) return nullptr;
  int fd = openat(parent, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  close(parent);
  struct stat st;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
  }
  return fd < 0 ? nullptr : new OsFile{fd};
}

bool OsReadFile(OsFile* file, void* buf, size_t size, size_t* got) {
  *got = 0;
  for (;;) {
    ssize_t n = read(file->fd, buf, size);
    if (n >= 0) {
      *got = static_cast<size_t>(n);
      return true;
    }
    if (errno != EINTR) return false;
  }
}

void OsCloseFile(OsFile* file) {
  close(file->fd);
  delete file;
}

unsigned OsCodePage() { return 20127; }

bool OsIsLeadByte(unsigned cp, unsigned char b) {
  switch (cp) {
    case 932:
      return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936:
    case 949:
    case 950:
      return b >= 0x81 && b <= 0xFE;
    default:
      return false;
  }
}

// Converts between a double-byte code page and UTF-32 through iconv, opened once per direction.
static bool Convert(unsigned cp, bool toWide, const void* in, size_t inSize, void* out, size_t* outSize) {
  static unsigned openCp;
  static iconv_t toWideCd = reinterpret_cast<iconv_t>(-1);
  static iconv_t fromWideCd = reinterpret_cast<iconv_t>(-1);
  if (openCp != cp) {
    char name[16];
    snprintf(name, sizeof name, "CP%u", cp);
    if (toWideCd != reinterpret_cast<iconv_t>(-1)) iconv_close(toWideCd);
    if (fromWideCd != reinterpret_cast<iconv_t>(-1)) iconv_close(fromWideCd);
    toWideCd = iconv_open("UTF-32LE", name);
    fromWideCd = iconv_open(name, "UTF-32LE");
    openCp = cp;
  }
  iconv_t cd = toWide ? toWideCd : fromWideCd;
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = static_cast<char*>(const_cast<void*>(in));
  char* outPtr = static_cast<char*>(out);
  size_t inLeft = inSize;
  size_t outLeft = *outSize;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return false;
  *outSize -= outLeft;
  return true;
}

bool OsLowerCharacter(unsigned cp, unsigned char* c, int n) {
  if (n == 1) {
    // A single byte: only the ASCII letters are letters in the stand-in's code pages.
    if (c[0] >= 'A' && c[0] <= 'Z') c[0] = static_cast<unsigned char>(c[0] + 32);
    return true;
  }
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  unsigned wide[2];
  size_t wideSize = sizeof wide;
  if (!Convert(cp, true, c, 2, wide, &wideSize) || wideSize != 4) return false;
  unsigned lower = utf8 != nullptr ? static_cast<unsigned>(towlower_l(static_cast<wint_t>(wide[0]), utf8)) : wide[0];
  if (lower == wide[0]) return true;
  unsigned char back[8];
  size_t backSize = sizeof back;
  if (Convert(cp, false, &lower, 4, back, &backSize) && backSize == 2) memcpy(c, back, 2);
  return true;
}

void OsTraceLine(const char* text) { fprintf(stderr, "xqti: %s\n", text); }
