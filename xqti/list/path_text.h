// Path texts: bounded copying and joining, the multibyte-aware lowercasing and the splitting rule.
// Nothing here ever cuts a text to fit: an operation whose result does not fit reports failure and
// leaves its output empty.
#pragma once

#include <stddef.h>

enum : size_t {
  kPathSize = 2048,  // a whole path with its terminating zero
  kDriveSize = 3,
  kFileNameSize = 512,
  kExtensionSize = 256,
};

// True for "\" and "/", the two separators.
inline bool IsSeparator(unsigned char c) { return c == '\\' || c == '/'; }

// Copies src into dst; false (dst emptied) when it does not fit in size.
bool CopyText(char* dst, size_t size, const char* src);

// Writes a followed by b into dst (the "%s%s" format); false (dst emptied) when it does not fit.
bool JoinText(char* dst, size_t size, const char* a, const char* b);

// True when text contains needle as plain bytes.
bool ContainsText(const char* text, const char* needle);

// Length of the character that starts at text in code page cp: 2 for a lead byte followed by another
// byte, else 1.
size_t CharacterLength(unsigned cp, const char* text);

// Lowercases text in place, one character at a time (a double-byte character as a whole, never byte by
// byte). When the system cannot map a character the text becomes empty and the result is false.
bool LowerText(unsigned cp, char* text);

// The parts of a path by the splitting rule: drive, directory, file name, extension.
struct PathParts {
  char drive[kDriveSize];
  char dir[kPathSize];
  char fname[kFileNameSize];
  char ext[kExtensionSize];
};

// Splits path into parts. The drive is the first two bytes when the second is ":"; the directory runs
// from after the drive up to and including the last separator; the file name runs up to the last "."
// after the directory; the extension is the rest. The second byte of a double-byte character is never a
// separator or a dot. False (all parts empty) when a part does not fit.
bool SplitPath(unsigned cp, const char* path, PathParts* parts);
