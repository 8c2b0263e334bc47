// The whole clean-up, run like the tool (copy it into the program directory and start it with the
// tool's command line), that then prints what the directory scan did. The release tool has no output,
// so this is how the benchmark learns how many enumerations the scan started.
#include <stdio.h>
#include <string.h>

#include "list/directory_table.h"
#include "run/run_cleanup.h"

static char g_tail[65536];

int main(int argc, char** argv) {
  size_t len = 0;
  for (int i = 1; i < argc; ++i) {
    size_t n = strlen(argv[i]);
    if (len + n + 2 >= sizeof g_tail) return 2;
    if (i > 1) g_tail[len++] = ' ';
    memcpy(g_tail + len, argv[i], n);
    len += n;
  }
  g_tail[len] = '\0';
  int ran = RunCleanup(g_tail);
  // The table keeps its entries after the removal, so the count is what the scan recorded.
  printf("ran %d\nscan_enumerations %d\nrecorded_directories %d\ntable_slots %d\n", ran, g_scanEnumerations,
         g_directoryCount, static_cast<int>(kDirectorySlots));
  return 0;
}
