// The platform on Windows: the product's only contact with the system, on kernel32 alone and without
// the C++ runtime, so that the executable stays small and imports nothing an uninstaller could lack.
//
// An object below the program directory is opened by its full path, never following a last-component
// link, and then proved to be the object asked for: the handle must not be a reparse point, and the
// path the system resolves the handle to must be the program directory's own resolved path followed by
// the relative path. A link anywhere below the program directory (Wine resolves Unix symlinks to their
// targets), a short 8.3 name or any other alias fails that proof. Whatever is done is then done through
// that same handle, so nothing can be swapped in between the proof and the act.
#include <windows.h>

#include <string.h>

#include "removal/platform.h"

namespace {

// Room for a full path in the ANSI code page (the tool's own paths are shorter).
const size_t kFullPathSize = 4096;
// Room for a resolved path as the system returns it, in UTF-16 units.
const DWORD kWidePathSize = 32768;

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsSep(char c) { return c == '\\' || c == '/'; }

WCHAR g_wide[kWidePathSize];
WCHAR g_roundTrip[kWidePathSize];

// Converts wideLen UTF-16 units to the ANSI code page into out (size bytes with the terminating zero);
// false when a character has no exact counterpart there or the text does not fit.
bool ToAnsi(const WCHAR* wide, int wideLen, char* out, int size) {
  if (size <= 0) return false;
  out[0] = '\0';
  if (wideLen == 0) return true;
  UINT cp = GetACP();
  BOOL usedDefault = FALSE;
  // UTF-8 takes no best-fit flag and no default character; it refuses unpaired surrogates instead.
  int n = cp == CP_UTF8
              ? WideCharToMultiByte(cp, WC_ERR_INVALID_CHARS, wide, wideLen, out, size - 1, nullptr, nullptr)
              : WideCharToMultiByte(cp, WC_NO_BEST_FIT_CHARS, wide, wideLen, out, size - 1, nullptr, &usedDefault);
  if (n <= 0 || usedDefault) {
    out[0] = '\0';
    return false;
  }
  out[n] = '\0';
  // Only a name that converts back to itself is the name on disk; anything else could name another object.
  int back = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, out, n, g_roundTrip, static_cast<int>(kWidePathSize));
  if (back != wideLen || memcmp(g_roundTrip, wide, static_cast<size_t>(wideLen) * sizeof(WCHAR)) != 0) {
    out[0] = '\0';
    return false;
  }
  return true;
}

// The path the system resolves an open handle to, in the ANSI code page.
bool ResolvedPath(HANDLE h, char* out, size_t size) {
  DWORD n = GetFinalPathNameByHandleW(h, g_wide, kWidePathSize, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (n == 0 || n >= kWidePathSize) return false;
  return ToAnsi(g_wide, static_cast<int>(n), out, static_cast<int>(size));
}

// The form in which two paths are compared: no "\\?\" prefix ("\\?\UNC\" becomes "\\"), "/" taken as
// "\", lowercased by the same mapping the tool lowercases list lines with.
bool ComparableForm(const char* path, char* out, size_t size) {
  static char plain[kFullPathSize];
  size_t len = 0;
  const char* p = path;
  if (strncmp(p, "\\\\?\\UNC\\", 8) == 0) {
    plain[len++] = '\\';
    plain[len++] = '\\';
    p += 8;
  } else if (strncmp(p, "\\\\?\\", 4) == 0) {
    p += 4;
  }
  for (; *p != '\0'; ++p) {
    if (len + 1 >= sizeof plain) return false;
    plain[len++] = *p == '/' ? '\\' : *p;  // "/" is never the trail byte of a double-byte character
  }
  if (len == 0) return false;
  int n = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, plain, static_cast<int>(len), out,
                       static_cast<int>(size) - 1);
  if (n <= 0) return false;
  out[n] = '\0';
  return true;
}

// The resolved path of the last base asked for: base itself may be reached through links, so it is
// opened following them, and remembered because every operation of a run starts from the same base.
char g_cachedBase[kFullPathSize];
char g_cachedBaseResolved[kFullPathSize];
bool g_cacheValid;

const char* ResolvedBase(const char* base) {
  if (g_cacheValid && strcmp(g_cachedBase, base) == 0) return g_cachedBaseResolved;
  g_cacheValid = false;
  if (strlen(base) >= sizeof g_cachedBase) return nullptr;
  HANDLE h = CreateFileA(base, FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  bool ok = ResolvedPath(h, g_cachedBaseResolved, sizeof g_cachedBaseResolved);
  CloseHandle(h);
  if (!ok) return nullptr;
  strcpy(g_cachedBase, base);
  g_cacheValid = true;
  return g_cachedBaseResolved;
}

// Opens base\rel (base itself for an empty rel) with access and proves it is what base\rel names,
// reached without a link; INVALID_HANDLE_VALUE otherwise. Hands back the object's attributes.
HANDLE OpenBeneath(const char* base, const char* rel, DWORD access, DWORD* attributes) {
  static char full[kFullPathSize];
  static char expected[kFullPathSize];
  static char resolved[kFullPathSize];
  static char want[kFullPathSize];
  static char have[kFullPathSize];
  size_t baseLen = strlen(base);
  size_t relLen = strlen(rel);
  if (baseLen == 0 || !IsSep(base[baseLen - 1]) || baseLen + relLen >= sizeof full) return INVALID_HANDLE_VALUE;
  const char* baseResolved = ResolvedBase(base);
  if (baseResolved == nullptr) return INVALID_HANDLE_VALUE;
  size_t resolvedLen = strlen(baseResolved);
  bool needSep = relLen > 0 && resolvedLen > 0 && baseResolved[resolvedLen - 1] != '\\';
  if (resolvedLen + 1 + relLen >= sizeof expected) return INVALID_HANDLE_VALUE;
  memcpy(expected, baseResolved, resolvedLen);
  if (needSep) expected[resolvedLen++] = '\\';
  memcpy(expected + resolvedLen, rel, relLen + 1);
  memcpy(full, base, baseLen);
  memcpy(full + baseLen, rel, relLen + 1);

  // Base itself is followed like any way into it; below it, a last-component link is opened as itself.
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (relLen > 0 ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
  HANDLE h = CreateFileA(full, access | FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  BY_HANDLE_FILE_INFORMATION info;
  bool ok = GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
            ResolvedPath(h, resolved, sizeof resolved) && ComparableForm(resolved, have, sizeof have) &&
            ComparableForm(expected, want, sizeof want) && strcmp(have, want) == 0;
  if (!ok) {
    CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  *attributes = info.dwFileAttributes;
  return h;
}

bool SetDisposition(HANDLE h) {
  FILE_DISPOSITION_INFO disposition;
  disposition.DeleteFile = TRUE;
  return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// Sets the attributes through the handle; zero times leave the times as they are.
bool SetAttributes(HANDLE h, DWORD attributes) {
  FILE_BASIC_INFO basic;
  memset(&basic, 0, sizeof basic);
  basic.FileAttributes = attributes;
  return SetFileInformationByHandle(h, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

}  // namespace

struct OsFind {
  HANDLE handle;
  int dotsGiven;    // "." and ".." come first, whatever the system delivers
  bool restart;     // the next query starts the enumeration over
  bool exhausted;   // the system has no more entries
  bool buffered;    // records are waiting in buffer at offset
  DWORD offset;
  LONGLONG buffer[8192];  // 64 KiB, aligned as the records need
};

bool OsGetProgramPath(char* buf, size_t size) {
  if (size == 0) return false;
  DWORD cap = size > 32768 ? 32768 : static_cast<DWORD>(size);
  DWORD n = GetModuleFileNameA(GetModuleHandleA(nullptr), buf, cap);
  // A result that fills the buffer was cut short.
  if (n == 0 || n >= cap) {
    buf[0] = '\0';
    return false;
  }
  return true;
}

bool OsSetCurrentDirectory(const char* dir) { return dir[0] != '\0' && SetCurrentDirectoryA(dir) != FALSE; }

bool OsDeleteFileBeneath(const char* base, const char* rel) {
  if (rel[0] == '\0') return false;
  DWORD attributes = 0;
  HANDLE h = OpenBeneath(base, rel, DELETE | FILE_WRITE_ATTRIBUTES, &attributes);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool ok = false;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // Read-only (and on Wine a file without write bits) refuses deletion until its attributes are cleared.
    bool cleared = SetAttributes(h, FILE_ATTRIBUTE_NORMAL);
    ok = SetDisposition(h);
    // A file that stays (a running image, say) keeps the attributes it had.
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (!ok && cleared && (attributes & settable) != 0) SetAttributes(h, attributes & settable);
  }
  CloseHandle(h);
  return ok;
}

bool OsRemoveDirectoryBeneath(const char* base, const char* rel) {
  if (rel[0] == '\0') return false;
  DWORD attributes = 0;
  HANDLE h = OpenBeneath(base, rel, DELETE, &attributes);
  if (h == INVALID_HANDLE_VALUE) return false;
  // The system refuses the disposition of a directory that holds anything (Windows and Wine alike).
  bool ok = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && SetDisposition(h);
  CloseHandle(h);
  return ok;
}

// True for the names "." and "..".
static bool IsDots(const WCHAR* name, DWORD bytes) {
  return (bytes == 2 && name[0] == L'.') || (bytes == 4 && name[0] == L'.' && name[1] == L'.');
}

static bool NextEntry(OsFind* find, OsFindEntry* entry) {
  if (find->dotsGiven < 2) {
    strcpy(entry->name, find->dotsGiven == 0 ? "." : "..");
    entry->attributes = FILE_ATTRIBUTE_DIRECTORY;
    ++find->dotsGiven;
    return true;
  }
  for (;;) {
    if (!find->buffered) {
      if (find->exhausted) return false;
      FILE_INFO_BY_HANDLE_CLASS query = find->restart ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo;
      find->restart = false;
      if (!GetFileInformationByHandleEx(find->handle, query, find->buffer, sizeof find->buffer)) {
        find->exhausted = true;
        return false;
      }
      find->buffered = true;
      find->offset = 0;
    }
    const FILE_ID_BOTH_DIR_INFO* record =
        reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(reinterpret_cast<const BYTE*>(find->buffer) + find->offset);
    if (record->NextEntryOffset == 0) {
      find->buffered = false;
    } else {
      find->offset += record->NextEntryOffset;
    }
    if (IsDots(record->FileName, record->FileNameLength)) continue;
    // A name the code page cannot hold exactly, or too long for an entry, could not be acted on by name.
    if (!ToAnsi(record->FileName, static_cast<int>(record->FileNameLength / sizeof(WCHAR)), entry->name,
                static_cast<int>(sizeof entry->name))) {
      continue;
    }
    entry->attributes = record->FileAttributes;
    return true;
  }
}

OsFind* OsFindFirst(const char* base, const char* rel, OsFindEntry* entry) {
  DWORD attributes = 0;
  HANDLE h = OpenBeneath(base, rel, FILE_LIST_DIRECTORY, &attributes);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  OsFind* find = nullptr;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    find = static_cast<OsFind*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(OsFind)));
  }
  if (find == nullptr) {
    CloseHandle(h);
    return nullptr;
  }
  find->handle = h;
  find->restart = true;
  NextEntry(find, entry);
  return find;
}

bool OsFindNext(OsFind* find, OsFindEntry* entry) { return NextEntry(find, entry); }

void OsFindClose(OsFind* find) {
  CloseHandle(find->handle);
  HeapFree(GetProcessHeap(), 0, find);
}

// An open file is its handle; a valid handle is never null.
OsFile* OsOpenFileBeneath(const char* base, const char* rel) {
  if (rel[0] == '\0') return nullptr;
  DWORD attributes = 0;
  HANDLE h = OpenBeneath(base, rel, GENERIC_READ, &attributes);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return nullptr;
  }
  return reinterpret_cast<OsFile*>(h);
}

bool OsReadFile(OsFile* file, void* buf, size_t size, size_t* got) {
  DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD read = 0;
  bool ok = ReadFile(reinterpret_cast<HANDLE>(file), buf, want, &read, nullptr) != FALSE;
  *got = ok ? read : 0;
  return ok;
}

void OsCloseFile(OsFile* file) { CloseHandle(reinterpret_cast<HANDLE>(file)); }

unsigned OsCodePage() { return GetACP(); }

bool OsIsLeadByte(unsigned cp, unsigned char b) { return IsDBCSLeadByteEx(cp, b) != FALSE; }

bool OsLowerCharacter(unsigned cp, unsigned char* c, int n) {
  (void)cp;  // the system's own lowercasing of ANSI text, as the tool has always relied on
  char lower[8];
  int got = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_LOWERCASE, reinterpret_cast<const char*>(c), n, lower,
                         static_cast<int>(sizeof lower));
  if (got <= 0) return false;
  // A mapping that changes the length would shift the rest of the path; the character stays as it is.
  if (got == n) memcpy(c, lower, static_cast<size_t>(n));
  return true;
}

void OsTraceLine(const char* text) {
  static char line[8192];
  size_t n = strlen(text);
  if (n + 2 <= sizeof line) {
    memcpy(line, text, n);
    line[n] = '\n';
    line[n + 1] = '\0';
    OutputDebugStringA(line);
  } else {
    OutputDebugStringA(text);
    OutputDebugStringA("\n");
  }
}
