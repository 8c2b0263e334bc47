// The command-line tail on arbitrary bytes under every code page. The input, zero-terminated, ends where
// a fixed buffer ends, so that stepping over a double-byte character past the zero byte leaves the
// buffer. The tail must lie inside the input and match a plain restatement of the rule.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"
#include "run/command_tail.h"

namespace {

char g_buffer[65536];

// Lead bytes of the double-byte code pages, as Windows has them.
bool IsLead(unsigned cp, unsigned char b) {
  if (cp == 932) return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  if (cp == 936 || cp == 949 || cp == 950) return b >= 0x81 && b <= 0xFE;
  return false;
}

// The program name runs to the first byte 1..32 outside quotes, a double-byte character counting as
// one (a lead byte just before the zero stands alone); the blanks after it are passed over.
size_t ReferenceTail(unsigned cp, const unsigned char* cmd, size_t length) {
  size_t i = 0;
  bool quoted = false;
  while (i < length && (quoted || cmd[i] > ' ')) {
    if (cmd[i] == '"') quoted = !quoted;
    i += IsLead(cp, cmd[i]) && i + 1 < length ? 2 : 1;
  }
  while (i < length && cmd[i] <= ' ') ++i;
  return i;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size + 1 > sizeof g_buffer) return 0;
  char* cmd = g_buffer + sizeof g_buffer - (size + 1);
  memcpy(cmd, data, size);
  cmd[size] = '\0';
  size_t length = strlen(cmd);
  for (unsigned cp : kFuzzCodePages) {
    const char* tail = CommandTail(cp, cmd);
    FUZZ_CHECK(tail >= cmd && tail <= cmd + length, "the tail points outside the command line");
    FUZZ_CHECK(*tail == '\0' || static_cast<unsigned char>(*tail) > ' ', "the tail starts with a blank");
    FUZZ_CHECK(static_cast<size_t>(tail - cmd) ==
                   ReferenceTail(cp, reinterpret_cast<const unsigned char*>(cmd), length),
               "the tail disagrees with the rule");
  }
  return 0;
}
