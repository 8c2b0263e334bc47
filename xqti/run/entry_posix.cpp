// The POSIX entry: the arguments joined with single blanks stand for the Windows command-line tail.
#include <string.h>

#include "run/run_cleanup.h"

// The longest tail Windows can hand over; a longer one is not cut but replaced by an empty tail.
static char g_tail[65536];

int main(int argc, char** argv) {
  size_t len = 0;
  for (int i = 1; i < argc; ++i) {
    size_t n = strlen(argv[i]);
    size_t need = n + (i > 1 ? 1 : 0);
    if (len + need >= sizeof g_tail) {
      len = 0;
      break;
    }
    if (i > 1) g_tail[len++] = ' ';
    memcpy(g_tail + len, argv[i], n);
    len += n;
  }
  g_tail[len] = '\0';
  RunCleanup(g_tail);
  return 0;
}
