// The operating system as the tool sees it. The tool's logic calls nothing else, so the same logic runs
// on Windows (platform_win32.cpp, the product) and on POSIX (platform_posix.cpp, a stand-in that behaves
// the way the tool needs Windows to behave). The build links exactly one of them.
//
// Paths are zero-terminated byte strings in the ANSI code page. Every operation that touches an object
// takes the directory it must stay below (`base`, the program directory) and a path relative to it
// (`rel`): "\"-separated, no empty, "." or ".." components, no drive or root. An object is acted on only
// when it lies below `base` and is reached from `base` without passing through a link (symbolic link,
// junction or other reparse point); a link is never followed, deleted or removed. `base` itself may be
// reached through links.
#pragma once

#include <stddef.h>

// Full path of the running executable into buf; false when it cannot be had or does not fit in size.
bool OsGetProgramPath(char* buf, size_t size);

// Makes dir the current directory of the process; false when that failed.
bool OsSetCurrentDirectory(const char* dir);

// Deletes the regular file base\rel, clearing read-only, hidden and system first; false when it is not
// there, is a directory or a link, lies behind a link, or the system refuses (in use, protected).
bool OsDeleteFileBeneath(const char* base, const char* rel);

// Removes the directory base\rel when it is empty; false when it holds anything, is not there, is a
// link or lies behind a link, or the system refuses.
bool OsRemoveDirectoryBeneath(const char* base, const char* rel);

// Attribute bits as Windows reports them in an enumeration.
enum : unsigned {
  kAttrReadOnly = 0x1,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrReparsePoint = 0x400,
};

// One entry of a directory enumeration.
struct OsFindEntry {
  char name[260];
  unsigned attributes;
};

struct OsFind;  // an enumeration in progress, owned by the platform

// Starts enumerating base\rel (rel "" for base itself) and delivers its first entry; "." and ".." are
// delivered first. Null when the directory cannot be read, is a link or lies behind a link. An entry
// that is a link carries kAttrReparsePoint (and kAttrDirectory when it points at a directory).
OsFind* OsFindFirst(const char* base, const char* rel, OsFindEntry* entry);

// The next entry of the enumeration; false at the end.
bool OsFindNext(OsFind* find, OsFindEntry* entry);

// Ends the enumeration and releases it.
void OsFindClose(OsFind* find);

struct OsFile;  // an open file, owned by the platform

// Opens the regular file base\rel for reading, sharing it with every reader, writer and deleter; null
// when it is not there, is a directory or a link, or lies behind a link.
OsFile* OsOpenFileBeneath(const char* base, const char* rel);

// Reads up to size bytes into buf and sets *got to the count read, 0 at the end of the file; false on a
// read error.
bool OsReadFile(OsFile* file, void* buf, size_t size, size_t* got);

// Closes the file.
void OsCloseFile(OsFile* file);

// The ANSI code page the tool's texts are in (Windows: GetACP; POSIX: 20127, plain ASCII).
unsigned OsCodePage();

// True when byte b is the first byte of a double-byte character in code page cp.
bool OsIsLeadByte(unsigned cp, unsigned char b);

// Lowercases one character of n bytes (1, or 2 for a double-byte character) of code page cp in place,
// as the system's case mapping does; false when the system cannot map it.
bool OsLowerCharacter(unsigned cp, unsigned char* c, int n);

// Writes one line of diagnostic text where a developer can see it (Windows: the debugger; POSIX:
// standard error).
void OsTraceLine(const char* text);
