// The command-line tail rule, on unsigned bytes.
#include "run/command_tail.h"

#include "list/path_text.h"

const char* CommandTail(unsigned cp, const char* cmd) {
  const char* p = cmd;
  bool quoted = false;
  for (;;) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\0' || (!quoted && c <= ' ')) break;
    if (c == '"') quoted = !quoted;
    p += CharacterLength(cp, p);
  }
  while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
  return p;
}
