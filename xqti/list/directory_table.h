// The directory table: the directories of the listed files and every directory below them, ordered so
// that each comes before its parent, then removed when empty.
#pragma once

enum : int {
  kDirectorySlots = 128,
  kDirectorySlotSize = 256,
};

extern char g_directories[kDirectorySlots][kDirectorySlotSize];
extern int g_directoryCount;

// Empties the table: count 0, every slot zero bytes.
void ResetDirectoryTable();

// Records one directory text unless the table is full, the text is empty or too long for a slot, lies
// outside the program directory, or equals an entry already present (ASCII letters without regard to
// case). What is recorded is the resolved form: components joined by "\", ending in "\".
void AddDirectory(const char* dir);

// Records every directory below every recorded one, never through a link.
void ScanAllDirectories();

#if XQTI_SCAN_STATS
// The enumerations the last ScanAllDirectories started, for the tests and benchmarks that hold the
// scan to one per directory. Test and benchmark builds only.
extern int g_scanEnumerations;
#endif

// Orders the entries so that every directory comes before every directory above it.
void SortDirectoriesDescending();

// The sort's order of two slots: 1 when a comes after b, -1 when before, 0 when equal.
int CompareDescending(const void* a, const void* b);

// Asks the system to remove every recorded directory, in table order.
void RemoveDirectories();
