// The directory table: recording, the scan below the recorded directories, the order and the removal.
#include "list/directory_table.h"

#include <stdlib.h>
#include <string.h>

#include "list/path_text.h"
#include "removal/guarded_delete.h"
#include "removal/platform.h"
#include "run/run_cleanup.h"
#include "run/trace.h"

char g_directories[kDirectorySlots][kDirectorySlotSize];
int g_directoryCount;

#if XQTI_SCAN_STATS
int g_scanEnumerations;
static void CountEnumeration() { ++g_scanEnumerations; }
static void ResetEnumerationCount() { g_scanEnumerations = 0; }
#else
static void CountEnumeration() {}
static void ResetEnumerationCount() {}
#endif

// Each level of the walk is at least two bytes ("x\") longer than the one above it and no text is
// longer than kPathSize - 1 bytes, so the walk never goes deeper than this.
enum : int { kScanLevels = kPathSize / 2 };

// Set for an entry once the scan has started walking its directory. The walk of a directory whose
// subtree has already been walked (under a text differing at most in letter case) could only offer
// texts that were offered before and were recorded or refused then, so it is not repeated; that keeps
// every directory to one enumeration while the table comes out as if every walk had been made. The
// mark is set as the walk starts: no text met below a directory equals that directory's own, so it is
// first consulted once the walk is over.
static bool g_walked[kDirectorySlots];

// The walk in progress: the text of the deepest directory (a parent's text is a prefix of it), the
// path the platform takes for the directory being entered, one open enumeration and text length per
// level, and the entry just delivered.
static char g_scanText[kPathSize];
static char g_scanRel[kPathSize];
static OsFind* g_scanFinds[kScanLevels];
static size_t g_scanLengths[kScanLevels];
static OsFindEntry g_scanEntry;

static bool TableFull() { return g_directoryCount >= kDirectorySlots; }

static unsigned char FoldLetter(unsigned char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Equal texts, ASCII letters taken without regard to case and every other byte exact.
static bool SameDirectoryText(const char* a, const char* b) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
  for (; FoldLetter(*p) == FoldLetter(*q); ++p, ++q) {
    if (*p == '\0') return true;
  }
  return false;
}

// Checks that dir names a directory below the program directory that the tool may record and walk,
// and writes the path the platform takes for it into rel. Rooted texts, drives and ".." anywhere are
// refused before ResolveBeneath applies the rest of the containment rule.
static bool ResolveDirectory(const char* dir, char* rel) {
  if (IsSeparator(static_cast<unsigned char>(dir[0])) || (dir[0] != '\0' && dir[1] == ':')) return false;
  if (ContainsText(dir, "..")) return false;
  return ResolveBeneath(OsCodePage(), g_programDirectory, dir, rel, kPathSize);
}

// Records text (already in its resolved form) unless it is too long for a slot, the table is full or
// an equal entry is there. The slot that now holds the text or its equal; -1 when there is none.
static int RecordDirectory(const char* text) {
  if (TableFull()) return -1;
  size_t n = strlen(text);
  if (n >= kDirectorySlotSize) return -1;
  for (int i = 0; i < g_directoryCount; ++i) {
    if (SameDirectoryText(g_directories[i], text)) return i;
  }
  memcpy(g_directories[g_directoryCount], text, n + 1);
  return g_directoryCount++;
}

void ResetDirectoryTable() {
  g_directoryCount = 0;
  memset(g_directories, 0, sizeof g_directories);
}

void AddDirectory(const char* dir) {
  char rel[kPathSize];
  char text[kPathSize];
  if (TableFull() || dir[0] == '\0') return;
  // The resolved form ("\" between components, one "\" at the end) is what is recorded, so that one
  // directory has one text apart from letter case, and children extend their parent's text.
  if (!ResolveDirectory(dir, rel) || !JoinText(text, sizeof text, rel, "\\")) return;
  RecordDirectory(text);
}

// Starts enumerating the directory whose resolved path is in g_scanRel, marking its entry (slot, or
// -1) as walked; the first entry goes into g_scanEntry. Null when it cannot be read.
static OsFind* StartEnumeration(int slot) {
  if (slot >= 0) g_walked[slot] = true;
  CountEnumeration();
  // Cleared, so that an enumeration that delivers no first entry offers nothing to enter.
  g_scanEntry.name[0] = '\0';
  g_scanEntry.attributes = 0;
  return OsFindFirst(g_programDirectory, g_scanRel, &g_scanEntry);
}

static bool HoldsSeparator(const char* name) {
  unsigned cp = OsCodePage();
  for (const char* p = name; *p != '\0'; p += CharacterLength(cp, p)) {
    if (IsSeparator(static_cast<unsigned char>(*p))) return true;
  }
  return false;
}

// Handles the entry in g_scanEntry of the directory whose text is the first length bytes of
// g_scanText: a subdirectory that is no link is recorded, and its enumeration is started unless its
// subtree has been walked already or the table is full. Returns that enumeration (g_scanText then
// holds the subdirectory's text), null when there is nothing to enter.
static OsFind* EnterEntry(size_t length) {
  const OsFindEntry& entry = g_scanEntry;
  if ((entry.attributes & kAttrDirectory) == 0 || (entry.attributes & kAttrReparsePoint) != 0) return nullptr;
  if (strcmp(entry.name, ".") == 0 || strcmp(entry.name, "..") == 0 || HoldsSeparator(entry.name)) {
    return nullptr;
  }
  size_t n = strlen(entry.name);
  if (length + n + 1 >= kPathSize) return nullptr;  // its text would not fit the path buffer
  memcpy(g_scanText + length, entry.name, n);
  g_scanText[length + n] = '\\';
  g_scanText[length + n + 1] = '\0';
  if (!ResolveDirectory(g_scanText, g_scanRel)) return nullptr;
  // A text too long for a slot is not recorded, but the walk goes on below it.
  int slot = RecordDirectory(g_scanText);
  if (TableFull() || (slot >= 0 && g_walked[slot])) return nullptr;
  return StartEnumeration(slot);
}

// Walks the subtree of the entry slot depth first, recording every subdirectory in the order the
// system delivers them. Stops as soon as the table is full, since nothing more can be recorded.
static void WalkSubtree(int slot) {
  if (!CopyText(g_scanText, sizeof g_scanText, g_directories[slot]) || !ResolveDirectory(g_scanText, g_scanRel)) {
    g_walked[slot] = true;
    return;
  }
  OsFind* find = StartEnumeration(slot);
  if (find == nullptr) return;
  int depth = 0;
  g_scanFinds[0] = find;
  g_scanLengths[0] = strlen(g_scanText);
  for (;;) {
    OsFind* below = EnterEntry(g_scanLengths[depth]);
    if (below != nullptr && depth + 1 < kScanLevels) {
      ++depth;
      g_scanFinds[depth] = below;
      g_scanLengths[depth] = strlen(g_scanText);
      continue;  // g_scanEntry holds the first entry below
    }
    if (below != nullptr) OsFindClose(below);
    if (TableFull()) break;
    while (!OsFindNext(g_scanFinds[depth], &g_scanEntry)) {
      OsFindClose(g_scanFinds[depth]);
      if (--depth < 0) return;
    }
  }
  for (; depth >= 0; --depth) OsFindClose(g_scanFinds[depth]);
}

void ScanAllDirectories() {
  ResetEnumerationCount();
  memset(g_walked, 0, sizeof g_walked);
  // The count grows while the scan runs; entries found by it are walked in their turn.
  for (int i = 0; i < g_directoryCount && !TableFull(); ++i) {
    if (!g_walked[i]) WalkSubtree(i);
  }
}

static int SlotsInUse() {
  if (g_directoryCount <= 0) return 0;
  return g_directoryCount < kDirectorySlots ? g_directoryCount : kDirectorySlots;
}

void SortDirectoriesDescending() {
  int count = SlotsInUse();
  if (count > 0) qsort(g_directories, static_cast<size_t>(count), kDirectorySlotSize, CompareDescending);
}

// Letters without case and "/" as "\": a directory's text is then a prefix of every text below it,
// whichever way either was written, and so always sorts after them.
static unsigned char SortByte(unsigned char c) { return c == '/' ? static_cast<unsigned char>('\\') : FoldLetter(c); }

int CompareDescending(const void* a, const void* b) {
  const unsigned char* p = static_cast<const unsigned char*>(a);
  const unsigned char* q = static_cast<const unsigned char*>(b);
  for (int i = 0; i < kDirectorySlotSize; ++i) {
    unsigned char x = SortByte(p[i]);
    unsigned char y = SortByte(q[i]);
    if (x != y) return x < y ? 1 : -1;
    if (x == '\0') break;
  }
  return 0;
}

void RemoveDirectories() {
  Trace(g_directoryCount);
  int count = SlotsInUse();
  for (int i = 0; i < count; ++i) {
    char* text = g_directories[i];
    size_t n = strlen(text);
    if (n > 0 && text[n - 1] == '\\') text[n - 1] = '\0';
    // Refused outside the program directory and through links; one that still holds anything stays.
    RemoveDirectoryGuarded(text);
    Trace(text);
  }
}
