// Trace points of a trace build, written one line each through the platform.
#include "run/trace.h"

#if XQTI_TRACE

#include "list/path_text.h"
#include "removal/platform.h"

void Trace(const char* text) { OsTraceLine(text); }

void Trace(const char* text, const char* more) {
  char line[2 * kPathSize];
  char head[kPathSize];
  if (JoinText(head, sizeof head, text, " ") && JoinText(line, sizeof line, head, more)) {
    OsTraceLine(line);
  } else {
    OsTraceLine(text);
  }
}

void Trace(int count) {
  char digits[16];
  char* p = digits + sizeof digits;
  *--p = '\0';
  unsigned value = count < 0 ? 0u - static_cast<unsigned>(count) : static_cast<unsigned>(count);
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (count < 0) *--p = '-';
  OsTraceLine(p);
}

#endif
