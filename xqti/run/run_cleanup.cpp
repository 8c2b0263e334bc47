// The run sequence: program directory, gate, uninstall list, directories, fixed files.
#include "run/run_cleanup.h"

#include "list/directory_table.h"
#include "list/list_reader.h"
#include "removal/fixed_list.h"
#include "run/gate.h"
#include "removal/platform.h"
#include "run/trace.h"

char g_programDirectory[kPathSize];

static char g_programPath[kPathSize];

static const char kVersion[] = "1.11";

// Finds the program directory from the executable's path and makes it current.
static void SettleProgramDirectory() {
  static PathParts parts;
  g_programDirectory[0] = '\0';
  if (OsGetProgramPath(g_programPath, sizeof g_programPath) &&
      SplitPath(OsCodePage(), g_programPath, &parts)) {
    JoinText(g_programDirectory, sizeof g_programDirectory, parts.drive, parts.dir);
  }
  OsSetCurrentDirectory(g_programDirectory);
}

int RunCleanup(char* tail) {
  SettleProgramDirectory();
  Trace(kVersion, g_programDirectory);
  if (!CheckInvocation(tail)) {
    Trace(tail);
    return 0;
  }
  ResetDirectoryTable();
  ReadUninstallList();
  OsSetCurrentDirectory(g_programDirectory);
  if (g_directoryCount > 0) {
    SortDirectoriesDescending();
    RemoveDirectories();
  }
  OsSetCurrentDirectory(g_programDirectory);
  DeleteFixedFiles();
  return 1;
}
