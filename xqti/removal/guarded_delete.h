// The guarded delete, the only way the tool deletes a file, and the containment rule it shares with
// directory removal: nothing outside the program directory, nothing through a link.
#pragma once

#include <stddef.h>

// Finds where path (relative to base, or absolute) lies below the directory base and writes that place
// into rel as "\"-separated components. False when it lies outside base or is base itself; when it is a
// "\\?\" or "\\.\" path, a drive-relative path on another drive, or holds a ".." component; when a
// component names a device, a stream (":"), or ends in a dot or blank, which Windows would silently
// drop; or when it does not fit in size.
bool ResolveBeneath(unsigned cp, const char* base, const char* path, char* rel, size_t size);

// Deletes the file path, read-only, hidden or system, unless the path holds ".." anywhere, lies outside
// the program directory, or passes through a link. Failures are passed over.
void DeleteGuarded(const char* path);

// Removes the directory path when it is empty, unless it lies outside the program directory (or is it),
// is a link, or passes through a link. Failures are passed over.
void RemoveDirectoryGuarded(const char* path);
