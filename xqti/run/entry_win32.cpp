// The Windows entry. The tail is taken from GetCommandLineA by the tool's own rule: the C runtime's
// start-up compares signed bytes and mistakes bytes 0x80-0xFF in the program path for blanks.
#include <windows.h>

#include <string.h>

#include "list/path_text.h"
#include "removal/platform.h"
#include "run/command_tail.h"
#include "run/run_cleanup.h"

// The longest tail Windows can hand over; a longer one is not cut but replaced by an empty tail.
static char g_tail[65536];

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const char* tail = CommandTail(OsCodePage(), GetCommandLineA());
  CopyText(g_tail, sizeof g_tail, tail);
  RunCleanup(g_tail);
  return 0;
}
