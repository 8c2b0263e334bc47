// The platform on POSIX: a stand-in for Windows that gives the tool's logic what it relies on there.
// Both "\" and "/" separate; names match without regard to ASCII case (the exact name first), since the
// uninstall list is lowercased while the disk keeps its case; enumeration yields "." and ".." first and
// the rest in case-insensitive order, as NTFS does; a symbolic link shows as a reparse point. Every
// object is reached component by component from an open directory with O_NOFOLLOW, so that a link is
// never followed below the base directory and nothing can be swapped in between check and action.
//
// A list of tens of thousands of files names them directory by directory, and a lowercased name is
// never the name on disk, so two things are kept from one call to the next:
// - the chain of directories opened for the last path. A later path that shares its beginning starts
//   from there. An inotify watch on every kept directory reports it moved, removed or changed in its
//   permissions, and a name created, moved in or moved away in it; a directory such a report concerns,
//   or whose name in the directory above it concerns, is opened afresh. A directory that could not be
//   watched is checked on every use instead (one fstatat from the directory above: the same name still
//   leads, without a link, to the same directory). The base directory is checked by its path each time.
// - for each kept directory, an index of its names in case-insensitive order, built by one listing the
//   first time a name is not there exactly, so that a lowercased name costs no listing of its own. The
//   index follows the tool's own deletions; every name it offers is looked at on disk before use (one
//   gone since means a fresh listing), and a name it lacks is trusted missing only while the watch has
//   reported nothing created or moved in.
// The tool's own deletions report nothing, so the watches cost nothing while it works.
//
// Written without the C++ library (plain buffers from malloc, qsort_r), so that the tool loads no more
// than the C library when it starts.
#include "removal/platform.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <limits.h>
#include <locale.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

// The ASCII-case-insensitive order in which entries are delivered and names are matched.
int CompareFolded(const char* a, const char* b) {
  int r = strcasecmp(a, b);
  return r != 0 ? r : strcmp(a, b);
}

// Copies a name found on disk or asked for; false when it is longer than any name on disk can be.
bool CopyName(char* dst, const char* src) {
  size_t n = strlen(src);
  if (n > NAME_MAX) return false;
  memcpy(dst, src, n + 1);
  return true;
}

// The names of one directory (without "." and ".."), in case-insensitive order, each with the type
// the listing gave for it. They share one buffer, so that a directory of many thousand names costs a
// few allocations, not one per name.
struct NameList {
  char* pool;          // each name preceded by its type (a d_type value) and followed by its zero byte
  size_t poolSize;
  size_t poolCapacity;
  uint32_t* offsets;   // where each name starts in pool, in order
  size_t count;
  size_t capacity;
};

const char* NameAt(const NameList& list, size_t i) { return list.pool + list.offsets[i]; }

unsigned char TypeAt(const NameList& list, size_t i) {
  return static_cast<unsigned char>(list.pool[list.offsets[i] - 1]);
}

void FreeNames(NameList* list) {
  free(list->pool);
  free(list->offsets);
  *list = NameList{};
}

bool AppendName(NameList* list, const char* name, unsigned char type) {
  size_t n = strlen(name) + 2;
  if (list->poolSize + n > list->poolCapacity) {
    size_t capacity = list->poolCapacity != 0 ? list->poolCapacity : 4096;
    while (capacity < list->poolSize + n) capacity *= 2;
    char* pool = static_cast<char*>(realloc(list->pool, capacity));
    if (pool == nullptr || capacity > UINT32_MAX) {
      if (pool != nullptr) list->pool = pool;
      return false;
    }
    list->pool = pool;
    list->poolCapacity = capacity;
  }
  if (list->count == list->capacity) {
    size_t capacity = list->capacity != 0 ? list->capacity * 2 : 64;
    uint32_t* offsets = static_cast<uint32_t*>(realloc(list->offsets, capacity * sizeof *offsets));
    if (offsets == nullptr) return false;
    list->offsets = offsets;
    list->capacity = capacity;
  }
  list->pool[list->poolSize] = static_cast<char>(type);
  memcpy(list->pool + list->poolSize + 1, name, n - 1);
  list->offsets[list->count++] = static_cast<uint32_t>(list->poolSize + 1);
  list->poolSize += n;
  return true;
}

int CompareAt(const void* a, const void* b, void* pool) {
  const char* names = static_cast<const char*>(pool);
  return CompareFolded(names + *static_cast<const uint32_t*>(a), names + *static_cast<const uint32_t*>(b));
}

// Lists directory fd from its start (rewinding it first when a listing has moved its offset).
bool ListNames(int fd, bool rewind, NameList* list) {
  list->poolSize = 0;
  list->count = 0;
  if (rewind && lseek(fd, 0, SEEK_SET) != 0) return false;
  alignas(dirent64) char buf[32768];
  for (;;) {
    ssize_t n = getdents64(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // the end, or an error: what was read is the listing, as readdir would give it
    for (ssize_t at = 0; at < n;) {
      const dirent64* e = reinterpret_cast<const dirent64*>(buf + at);
      at += e->d_reclen;
      if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
      if (!AppendName(list, e->d_name, e->d_type)) return false;
    }
  }
  if (list->count > 1) qsort_r(list->offsets, list->count, sizeof *list->offsets, CompareAt, list->pool);
  return true;
}

// The first name of the list equal to name without regard to ASCII case, or the end of the list.
size_t FirstFolded(const NameList& list, const char* name) {
  size_t low = 0;
  size_t high = list.count;
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    if (strcasecmp(NameAt(list, mid), name) < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

// A directory's names as one listing found them, less those the tool has deleted or removed since.
struct NameIndex {
  bool built;
  NameList names;
  bool* gone;
};

void DropIndex(NameIndex* index) {
  FreeNames(&index->names);
  free(index->gone);
  *index = NameIndex{};
}

constexpr size_t kNoName = static_cast<size_t>(-1);

// Where the name the index offers for name is: the exact name when it holds it, else the first one
// equal to it without regard to ASCII case. kNoName when there is none.
size_t Offer(const NameIndex& index, const char* name) {
  size_t first = kNoName;
  for (size_t i = FirstFolded(index.names, name); i < index.names.count; ++i) {
    const char* candidate = NameAt(index.names, i);
    if (strcasecmp(candidate, name) != 0) break;
    if (index.gone[i]) continue;
    if (strcmp(candidate, name) == 0) return i;
    if (first == kNoName) first = i;
  }
  return first;
}

void MarkGone(NameIndex* index, const char* name) {
  if (!index->built) return;
  for (size_t i = FirstFolded(index->names, name); i < index->names.count; ++i) {
    const char* candidate = NameAt(index->names, i);
    if (strcasecmp(candidate, name) != 0) return;
    if (strcmp(candidate, name) == 0) {
      index->gone[i] = true;
      return;
    }
  }
}

// One directory of the chain opened for the last path: level 0 is the base directory, level i the
// directory the path's component i names.
struct Level {
  int fd;
  dev_t dev;
  ino_t ino;
  char asked[NAME_MAX + 1];  // the component as the caller wrote it (empty for the base)
  char name[NAME_MAX + 1];   // its name on disk in the level above (empty for the base)
  int watch;                 // the inotify watch on it, -1 for none
  bool stale;                // a report says it may no longer be where the chain has it
  bool listed;               // a listing has moved the offset of fd
  NameIndex index;
};

// The chain keeps this many directories below the base; a deeper path walks the rest as a single
// call would, closing each directory behind it, so that the chain holds few descriptors.
constexpr size_t kKeptLevels = 32;

Level g_levels[kKeptLevels + 1];
size_t g_levelCount;
char g_base[PATH_MAX];  // the path level 0 was opened by

// The inotify instance of the watches; -1 when the system gives none, -2 before it was asked.
int g_notify = -2;

// What a watch reports: the directory itself moved, removed or changed in its attributes, and names
// created in it, moved into it or moved away from it. Deleting a file reports nothing.
constexpr uint32_t kWatchMask =
    IN_MOVE_SELF | IN_DELETE_SELF | IN_ATTRIB | IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_ONLYDIR;

void ForgetWatch(int watch) {
  if (watch < 0 || g_notify < 0) return;
  for (size_t i = 0; i < g_levelCount; ++i) {
    if (g_levels[i].watch == watch) return;  // the same directory, still kept at another level
  }
  inotify_rm_watch(g_notify, watch);
}

// Closes the levels from `from` down.
void DropLevels(size_t from) {
  while (g_levelCount > from) {
    Level& level = g_levels[--g_levelCount];
    close(level.fd);
    DropIndex(&level.index);
    ForgetWatch(level.watch);
  }
}

void MarkAllStale() {
  for (size_t i = 0; i < g_levelCount; ++i) {
    g_levels[i].stale = true;
    DropIndex(&g_levels[i].index);
  }
}

// Applies one report to the level at, whose watch it came from.
void Apply(const inotify_event& event, size_t at) {
  Level& level = g_levels[at];
  if (event.len == 0 || event.name[0] == '\0') {
    level.stale = true;  // the directory itself moved, went, changed its permissions or lost its watch
    return;
  }
  if ((event.mask & (IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM)) == 0) return;
  if ((event.mask & IN_MOVED_FROM) != 0) {
    MarkGone(&level.index, event.name);
  } else {
    DropIndex(&level.index);  // a name the index does not know
  }
  // The name of the level below, taken away, or given to another directory or a link.
  if (at + 1 < g_levelCount && strcasecmp(g_levels[at + 1].name, event.name) == 0) g_levels[at + 1].stale = true;
}

// Reads what the watches have reported since the last time.
void DrainNotifications() {
  if (g_notify < 0) return;
  alignas(inotify_event) char buf[4096];
  for (;;) {
    ssize_t n = read(g_notify, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0 && errno != EAGAIN) MarkAllStale();  // reports may have been lost
      return;
    }
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const inotify_event* event = reinterpret_cast<const inotify_event*>(buf + at);
      if ((event->mask & IN_Q_OVERFLOW) != 0) MarkAllStale();
      for (size_t i = 0; i < g_levelCount; ++i) {
        if (event->wd >= 0 && event->wd == g_levels[i].watch) Apply(*event, i);
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

// Lists the level's directory into its index.
bool BuildIndex(Level* level) {
  DropIndex(&level->index);
  bool listed = ListNames(level->fd, level->listed, &level->index.names);
  level->listed = true;
  if (listed) level->index.gone = static_cast<bool*>(calloc(level->index.names.count + 1, sizeof(bool)));
  if (!listed || level->index.gone == nullptr) {
    DropIndex(&level->index);
    return false;
  }
  level->index.built = true;
  return true;
}

// Finds the name in directory fd that name denotes, as a listing of fd would: the exact name when it
// exists, else the first name equal to it without regard to ASCII case. Its status (the name itself,
// never a link's target) goes into st.
bool MatchByListing(int fd, const char* name, char* actual, struct stat* st) {
  if (fstatat(fd, name, st, AT_SYMLINK_NOFOLLOW) == 0) return CopyName(actual, name);
  NameList names{};
  bool found = false;
  if (ListNames(fd, true, &names)) {
    size_t i = FirstFolded(names, name);
    found = i < names.count && strcasecmp(NameAt(names, i), name) == 0 && CopyName(actual, NameAt(names, i)) &&
            fstatat(fd, actual, st, AT_SYMLINK_NOFOLLOW) == 0;
  }
  FreeNames(&names);
  return found;
}

// The same for the directory of a kept level, through its index. The index is built on the first name
// that is not there exactly, and listed afresh when a name it offers has gone or, unless its watch
// vouches for it, when it offers none. Called by OpenParent only, after it has read the reports.
//
// With unlooked given, a name the index offers as a regular file, in a directory whose watch vouches for
// the index, is not looked at: *unlooked is set and st left alone. Such a name is the one a look would
// find, unless it changed since the reports were read (a name cannot become a link, a directory or
// another file without a report of a name created or moved in); the caller acts on the name alone.
bool MatchName(Level* level, const char* name, char* actual, struct stat* st, bool* unlooked = nullptr) {
  if (unlooked != nullptr) *unlooked = false;
  bool fresh = false;
  if (!level->index.built) {
    if (fstatat(level->fd, name, st, AT_SYMLINK_NOFOLLOW) == 0) return CopyName(actual, name);
    if (!BuildIndex(level)) return false;
    fresh = true;
  }
  for (;;) {
    size_t offered = Offer(level->index, name);
    if (offered != kNoName) {
      if (!CopyName(actual, NameAt(level->index.names, offered))) return false;
      if (unlooked != nullptr && level->watch >= 0 && TypeAt(level->index.names, offered) == DT_REG) {
        *unlooked = true;
        return true;
      }
      if (fstatat(level->fd, actual, st, AT_SYMLINK_NOFOLLOW) == 0) return true;
    } else if (level->watch >= 0) {
      return false;  // OpenParent read the reports as it began: nothing came in since the listing
    }
    if (fresh || !BuildIndex(level)) return false;
    fresh = true;
  }
}

// The components of a path, split in a copy of it.
struct Parts {
  char* text;
  const char** at;
  size_t count;
};

void FreeParts(Parts* parts) {
  free(parts->text);
  free(parts->at);
  *parts = Parts{};
}

bool SplitParts(const char* rel, Parts* parts) {
  size_t n = strlen(rel);
  *parts = Parts{};
  parts->text = static_cast<char*>(malloc(n + 1));
  parts->at = static_cast<const char**>(malloc((n / 2 + 1) * sizeof *parts->at));
  if (parts->text == nullptr || parts->at == nullptr) {
    FreeParts(parts);
    return false;
  }
  memcpy(parts->text, rel, n + 1);
  for (size_t i = 0; i <= n; ++i) {
    if (i < n && !IsSep(parts->text[i])) {
      if (i == 0 || parts->text[i - 1] == '\0') parts->at[parts->count++] = parts->text + i;
    } else {
      parts->text[i] = '\0';
    }
  }
  return true;
}

// True when the kept level i is still what its name in level i - 1 leads to, without a link.
bool LevelHolds(size_t i) {
  struct stat st;
  return fstatat(g_levels[i - 1].fd, g_levels[i].name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
         st.st_dev == g_levels[i].dev && st.st_ino == g_levels[i].ino;
}

// Keeps fd, the directory asked for as asked and found as name in the deepest level, as the next
// level. Its watch is set first and the name checked after, so that no change between the opening and
// the watch goes unseen. False when the name no longer leads to it (fd is closed then).
bool PushLevel(int fd, const struct stat& st, const char* asked, const char* name) {
  if (g_notify == -2) {
    g_notify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (g_notify < 0) g_notify = -1;
  }
  int watch = -1;
  if (g_notify >= 0) {
    char path[64];
    snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    watch = inotify_add_watch(g_notify, path, kWatchMask);
  }
  Level& level = g_levels[g_levelCount++];
  level = Level{};
  level.fd = fd;
  level.dev = st.st_dev;
  level.ino = st.st_ino;
  level.watch = watch;
  bool named = CopyName(level.asked, asked) && CopyName(level.name, name);
  if (!named || (g_levelCount > 1 && watch >= 0 && !LevelHolds(g_levelCount - 1))) {
    DropLevels(g_levelCount - 1);
    return false;
  }
  return true;
}

// Makes level 0 the open base directory: the kept one while base still leads to it.
bool SettleBase(const char* base) {
  if (base[0] == '\0') return false;
  struct stat st;
  if (g_levelCount > 0 && !g_levels[0].stale && strcmp(g_base, base) == 0 && stat(base, &st) == 0 &&
      st.st_dev == g_levels[0].dev && st.st_ino == g_levels[0].ino) {
    return true;
  }
  DropLevels(0);
  size_t n = strlen(base);
  if (n >= sizeof g_base) return false;
  int fd = open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return false;
  }
  memcpy(g_base, base, n + 1);
  return PushLevel(fd, st, "", "");
}

// Opens a directory of the walk from fd by its name on disk, never through a link.
int OpenChild(int fd, const char* name) { return openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }

// The directory that holds the last component of a path, open: a level of the chain (level set,
// owned false) or, below the levels the chain keeps, a descriptor of its own (owned true).
struct Parent {
  int fd;
  bool owned;
  Level* level;
};

void ReleaseParent(const Parent& parent) {
  if (parent.owned) close(parent.fd);
}

bool MatchIn(const Parent& at, const char* name, char* actual, struct stat* st, bool* unlooked = nullptr) {
  if (unlooked != nullptr) *unlooked = false;
  return at.level != nullptr ? MatchName(at.level, name, actual, st, unlooked)
                             : MatchByListing(at.fd, name, actual, st);
}

// Opens the directory that holds the last of parts below base, walking every component without
// following a link, and finds the last component's name on disk (into last) and its status (unless
// unlooked is given and set: see MatchName). The kept levels that the path shares are used as they are
// while no report has been made against them (without a watch, once checked again).
bool OpenParent(const char* base, const Parts& parts, Parent* parent, char* last, struct stat* st,
                bool* unlooked = nullptr) {
  if (parts.count == 0) return false;
  DrainNotifications();
  if (!SettleBase(base)) return false;
  size_t depth = parts.count - 1;
  size_t kept = depth < kKeptLevels ? depth : kKeptLevels;
  size_t i = 1;
  while (i < g_levelCount && i <= kept && !g_levels[i].stale && strcmp(g_levels[i].asked, parts.at[i - 1]) == 0 &&
         (g_levels[i].watch >= 0 || LevelHolds(i))) {
    ++i;
  }
  // Levels below the path's own stay for a later path that goes on into them.
  if (i <= kept) DropLevels(i);
  for (; i <= kept; ++i) {
    char name[NAME_MAX + 1];
    struct stat dirSt;
    if (!MatchName(&g_levels[i - 1], parts.at[i - 1], name, &dirSt)) return false;
    int fd = OpenChild(g_levels[i - 1].fd, name);
    if (fd < 0) return false;
    if (fstat(fd, &dirSt) != 0) {
      close(fd);
      return false;
    }
    if (!PushLevel(fd, dirSt, parts.at[i - 1], name)) return false;
  }
  Parent at{g_levels[kept].fd, false, &g_levels[kept]};
  for (size_t j = kept + 1; j <= depth; ++j) {
    char name[NAME_MAX + 1];
    struct stat dirSt;
    int next = MatchIn(at, parts.at[j - 1], name, &dirSt) ? OpenChild(at.fd, name) : -1;
    ReleaseParent(at);
    at = Parent{next, true, nullptr};
    if (next < 0) return false;
  }
  if (!MatchIn(at, parts.at[depth], last, st, unlooked)) {
    ReleaseParent(at);
    return false;
  }
  *parent = at;
  return true;
}

// The attributes Windows would report for the entry name of directory dirFd, whose own status (not a
// link's target) is st.
unsigned Attributes(int dirFd, const char* name, const struct stat& st) {
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

// The kept level right below parent when that level is the directory last (asked for as asked, with
// status st) and its index can stand for a listing made now: its watch has reported no name created
// or moved in since the index was built. Null otherwise.
Level* KeptLevelBelow(const Parent& parent, const char* asked, const char* last, const struct stat& st) {
  if (parent.level == nullptr) return nullptr;
  size_t below = static_cast<size_t>(parent.level - g_levels) + 1;
  if (below >= g_levelCount) return nullptr;
  Level& level = g_levels[below];
  bool same = !level.stale && strcmp(level.asked, asked) == 0 && strcmp(level.name, last) == 0 &&
              level.dev == st.st_dev && level.ino == st.st_ino;
  return same && level.watch >= 0 && level.index.built ? &level : nullptr;
}

}  // namespace

struct OsFind {
  int fd;
  NameList names;  // "." and ".." come before them
  size_t next;     // 0 and 1 for "." and "..", then 2 for the first name
  bool indexed;    // the names came from an index, not from a listing made now
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

// Clearing the attributes gives a read-only file its owner write bit back, as on Windows.
static void ClearReadOnly(int dirFd, const char* name, const struct stat& st) {
  if ((st.st_mode & S_IWUSR) != 0) return;
  int fd = openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    fchmod(fd, st.st_mode | S_IWUSR);
    close(fd);
  }
}

static bool DeleteFileBeneath(const char* base, const char* rel, bool lookFirst) {
  Parts parts;
  if (!SplitParts(rel, &parts)) return false;
  Parent parent;
  char name[NAME_MAX + 1];
  struct stat st;
  bool unlooked = false;
  bool ok = OpenParent(base, parts, &parent, name, &st, lookFirst ? nullptr : &unlooked);
  FreeParts(&parts);
  if (!ok) return false;
  bool retry = false;
  if (unlooked) {
    // A regular file by the index: the name is deleted at once. Clearing read-only first matters only
    // if the deletion fails, so it is done then, leaving the file as it would have been left.
    ok = unlinkat(parent.fd, name, 0) == 0;
    if (!ok && errno == ENOENT && parent.level != nullptr) {
      // Gone behind the index's back: looked for again, as a listing made now would find it.
      DropIndex(&parent.level->index);
      retry = true;
    } else if (!ok && fstatat(parent.fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode)) {
      ClearReadOnly(parent.fd, name, st);
    }
  } else {
    ok = S_ISREG(st.st_mode);
    if (ok) ClearReadOnly(parent.fd, name, st);
    // unlinkat acts on the name itself: a link swapped in meanwhile loses its name, not its target.
    ok = ok && unlinkat(parent.fd, name, 0) == 0;
  }
  if (ok && parent.level != nullptr) MarkGone(&parent.level->index, name);
  ReleaseParent(parent);
  return retry ? DeleteFileBeneath(base, rel, true) : ok;
}

bool OsDeleteFileBeneath(const char* base, const char* rel) { return DeleteFileBeneath(base, rel, false); }

bool OsRemoveDirectoryBeneath(const char* base, const char* rel) {
  Parts parts;
  if (!SplitParts(rel, &parts)) return false;
  Parent parent;
  char name[NAME_MAX + 1];
  struct stat st;
  bool ok = OpenParent(base, parts, &parent, name, &st);
  FreeParts(&parts);
  if (!ok) return false;
  ok = S_ISDIR(st.st_mode) && unlinkat(parent.fd, name, AT_REMOVEDIR) == 0;
  if (ok && parent.level != nullptr) {
    MarkGone(&parent.level->index, name);
    // The chain may hold the removed directory as the level below: it leads nowhere now.
    size_t below = static_cast<size_t>(parent.level - g_levels) + 1;
    if (below < g_levelCount && g_levels[below].dev == st.st_dev && g_levels[below].ino == st.st_ino) {
      DropLevels(below);
    }
  }
  ReleaseParent(parent);
  return ok;
}

static bool DeliverEntry(OsFind* find, OsFindEntry* entry) {
  if (find->next < 2) {
    snprintf(entry->name, sizeof entry->name, "%s", find->next == 0 ? "." : "..");
    entry->attributes = kAttrDirectory;
    ++find->next;
    return true;
  }
  while (find->next - 2 < find->names.count) {
    const char* name = NameAt(find->names, find->next++ - 2);
    if (strlen(name) >= sizeof entry->name) continue;  // Windows never delivers a name this long
    struct stat st;
    bool there = fstatat(find->fd, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    // A name the index still had but that has gone since would not be in a listing made now.
    if (!there && find->indexed && errno == ENOENT) continue;
    snprintf(entry->name, sizeof entry->name, "%s", name);
    entry->attributes = there ? Attributes(find->fd, name, st) : kAttrArchive;
    return true;
  }
  return false;
}

void OsFindClose(OsFind* find) {
  if (find->fd >= 0) close(find->fd);
  FreeNames(&find->names);
  free(find);
}

OsFind* OsFindFirst(const char* base, const char* rel, OsFindEntry* entry) {
  Parts parts;
  OsFind* find = static_cast<OsFind*>(calloc(1, sizeof(OsFind)));
  if (find == nullptr) return nullptr;
  find->fd = -1;
  if (!SplitParts(rel, &parts)) {
    OsFindClose(find);
    return nullptr;
  }
  if (parts.count == 0) {
    find->fd = base[0] == '\0' ? -1 : open(base, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } else {
    Parent parent;
    char last[NAME_MAX + 1];
    struct stat st;
    if (OpenParent(base, parts, &parent, last, &st)) {
      // A directory the chain keeps with its index is not listed a second time.
      if (Level* kept = KeptLevelBelow(parent, parts.at[parts.count - 1], last, st)) {
        find->fd = fcntl(kept->fd, F_DUPFD_CLOEXEC, 0);
        find->indexed = find->fd >= 0;
        for (size_t i = 0; find->indexed && i < kept->index.names.count; ++i) {
          if (!kept->index.gone[i] &&
              !AppendName(&find->names, NameAt(kept->index.names, i), TypeAt(kept->index.names, i))) {
            find->indexed = false;
          }
        }
        if (!find->indexed && find->fd >= 0) {
          close(find->fd);
          find->fd = -1;
        }
      } else {
        find->fd = OpenChild(parent.fd, last);
      }
      ReleaseParent(parent);
    }
  }
  FreeParts(&parts);
  if (find->fd < 0 || (!find->indexed && !ListNames(find->fd, false, &find->names))) {
    OsFindClose(find);
    return nullptr;
  }
  DeliverEntry(find, entry);
  return find;
}

bool OsFindNext(OsFind* find, OsFindEntry* entry) { return DeliverEntry(find, entry); }

OsFile* OsOpenFileBeneath(const char* base, const char* rel) {
  Parts parts;
  if (!SplitParts(rel, &parts)) return nullptr;
  Parent parent;
  char name[NAME_MAX + 1];
  struct stat st;
  bool found = OpenParent(base, parts, &parent, name, &st);
  FreeParts(&parts);
  if (!found) return nullptr;
  int fd = openat(parent.fd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  ReleaseParent(parent);
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
  }
  OsFile* file = fd < 0 ? nullptr : static_cast<OsFile*>(malloc(sizeof(OsFile)));
  if (file == nullptr) {
    if (fd >= 0) close(fd);
    return nullptr;
  }
  file->fd = fd;
  return file;
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
  free(file);
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
  static const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  static unsigned openCp;
  static bool opened;
  static iconv_t toWideCd;
  static iconv_t fromWideCd;
  if (!opened || openCp != cp) {
    char name[16];
    snprintf(name, sizeof name, "CP%u", cp);
    if (opened && toWideCd != kNone) iconv_close(toWideCd);
    if (opened && fromWideCd != kNone) iconv_close(fromWideCd);
    toWideCd = iconv_open("UTF-32LE", name);
    fromWideCd = iconv_open(name, "UTF-32LE");
    openCp = cp;
    opened = true;
  }
  iconv_t cd = toWide ? toWideCd : fromWideCd;
  if (cd == kNone) return false;
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
  static bool localeTried;
  static locale_t utf8;
  if (!localeTried) {
    utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    localeTried = true;
  }
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
