// The uninstall list reader.
#include "list/list_reader.h"

#include <string.h>

#include "list/directory_table.h"
#include "list/path_text.h"
#include "removal/guarded_delete.h"
#include "removal/platform.h"
#include "run/run_cleanup.h"
#include "run/trace.h"

const char kListName[] = "XQTUP.TMP";

// The current list path.
static char g_listPath[kPathSize];

// Read-ahead over the list file, so that lines cost no system call each.
static char g_readBuffer[16384];
static size_t g_readPos;
static size_t g_readLen;
// Set at the end of the file or at a read error: a failed read ends the list for good.
static bool g_readEnded;

enum LineRead { kLineRead, kLineTooLong, kEndOfList };

// Reads the next line, without its line feed, into line. A line whose bytes do not fit in size together
// with the terminating zero is read to its end and reported as too long, so no piece of it is used. A
// read error ends the list, and the line it cut short is dropped: a piece of a line can name another
// file. (The last line of the file needs no line feed.)
static LineRead ReadListLine(OsFile* list, char* line, size_t size) {
  size_t n = 0;
  bool any = false;
  for (;;) {
    if (g_readPos == g_readLen) {
      if (g_readEnded) break;
      bool ok = OsReadFile(list, g_readBuffer, sizeof g_readBuffer, &g_readLen);
      g_readPos = 0;
      if (!ok) {
        g_readEnded = true;
        return kEndOfList;
      }
      if (g_readLen == 0) {
        g_readEnded = true;
        break;
      }
    }
    char c = g_readBuffer[g_readPos++];
    any = true;
    if (c == '\n') break;
    if (n < size) line[n] = c;
    ++n;
  }
  if (!any) return kEndOfList;
  if (n >= size) return kLineTooLong;
  line[n] = '\0';
  return kLineRead;
}

void NormalizeListLine(char* path) {
  unsigned cp = OsCodePage();
  static PathParts parts;
  LowerText(cp, path);
  size_t n = strlen(path);
  if (n > 0 && path[n - 1] == '\n') path[--n] = '\0';
  if (n > 0 && path[n - 1] == '\r') path[--n] = '\0';
  if (ContainsText(path, "exe\\")) {
    SplitPath(cp, path, &parts);
    JoinText(path, kPathSize, parts.fname, parts.ext);
  }
}

// Records the directory of a listed path (without its drive), even when the file itself is refused.
static void RecordListDirectory(const char* path) {
  static PathParts parts;
  if (SplitPath(OsCodePage(), path, &parts)) AddDirectory(parts.dir);
}

void ReadUninstallList() {
  char rel[kPathSize];
  OsFile* list = nullptr;
  if (ResolveBeneath(OsCodePage(), g_programDirectory, kListName, rel, sizeof rel)) {
    list = OsOpenFileBeneath(g_programDirectory, rel);
  }
  if (list == nullptr) {
    Trace(g_programDirectory);
    return;
  }
  g_readPos = g_readLen = 0;
  g_readEnded = false;
  LineRead read;
  while ((read = ReadListLine(list, g_listPath, sizeof g_listPath)) != kEndOfList) {
    if (read == kLineTooLong || g_listPath[0] == '\0') continue;
    NormalizeListLine(g_listPath);
    RecordListDirectory(g_listPath);
    Trace(g_listPath);
    DeleteGuarded(g_listPath);
  }
  OsCloseFile(list);
  ScanAllDirectories();
  DeleteGuarded(kListName);
}
