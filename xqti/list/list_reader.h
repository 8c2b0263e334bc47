// The uninstall list: reading it, turning each line into a path, deleting the listed files.
#pragma once

// Name of the uninstall list in the program directory.
extern const char kListName[];

// Works through the uninstall list of the program directory: each line's file is deleted through the
// guarded delete, then the list itself. Without a list it only traces.
void ReadUninstallList();

// Normalises one list line in place in its 2048-byte buffer: lowercased (a double-byte character as a
// whole), one final line feed and then one carriage return removed, and a path holding "exe\" reduced
// to its last component. Empty when a character cannot be lowercased or the reduction does not fit.
void NormalizeListLine(char* path);
