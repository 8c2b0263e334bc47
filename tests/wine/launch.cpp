// Test launcher: starts a program with an exact raw command line and returns its exit code, so that the
// Windows build can be run under Wine with command lines that `wine prog args` cannot produce (runs of
// blanks, odd quoting, double-byte bytes). Usage: xqti-launch.exe LINE, where LINE is the whole command
// line of the child, its program path included.
//
// LINE is taken as the single argument that follows the launcher's own name. Wine (like any Windows
// caller passing LINE as one argument) wraps an argument holding blanks in quotes and escapes its quotes
// with backslashes; undoing exactly that quoting gives LINE back byte for byte.
#include <windows.h>

#include <stdio.h>
#include <string.h>

static char g_line[65536];

// Length of the character at p in the ANSI code page.
static int CharLength(const char* p) {
  return IsDBCSLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' ? 2 : 1;
}

// Past the launcher's own name, by the tool's rule: quotes toggle, a blank or control character outside
// quotes ends it, the blanks after it are passed over.
static const char* SkipOwnName(const char* p) {
  bool quoted = false;
  for (;;) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\0' || (!quoted && c <= ' ')) break;
    if (c == '"') quoted = !quoted;
    p += CharLength(p);
  }
  while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') ++p;
  return p;
}

// Undoes the quoting of one argument: 2n backslashes before a quote stand for n and the quote toggles
// quoting; 2n+1 stand for n and a literal quote; other backslashes are literal. Blanks are kept, since
// the argument runs to the end of the command line. False when the result does not fit.
static bool Unquote(const char* p, char* out, size_t size) {
  size_t len = 0;
  while (*p != '\0') {
    if (*p == '\\') {
      size_t n = 0;
      while (p[n] == '\\') ++n;
      bool beforeQuote = p[n] == '"';
      size_t keep = beforeQuote ? n / 2 : n;
      bool literalQuote = beforeQuote && n % 2 == 1;
      if (len + keep + 1 >= size) return false;
      memset(out + len, '\\', keep);
      len += keep;
      p += n;
      if (literalQuote) {
        out[len++] = '"';
        ++p;
      }
    } else if (*p == '"') {
      ++p;
    } else {
      int n = CharLength(p);  // a trail byte 0x5C is not a backslash
      if (len + static_cast<size_t>(n) + 1 >= size) return false;
      memcpy(out + len, p, static_cast<size_t>(n));
      len += static_cast<size_t>(n);
      p += n;
    }
  }
  out[len] = '\0';
  return true;
}

int main() {
  const char* arg = SkipOwnName(GetCommandLineA());
  if (*arg == '\0' || !Unquote(arg, g_line, sizeof g_line)) {
    fputs("xqti-launch: usage: xqti-launch.exe \"COMMAND LINE\"\n", stderr);
    return 255;
  }
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  if (!CreateProcessA(nullptr, g_line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    fprintf(stderr, "xqti-launch: CreateProcessA failed with error %lu for [%s]\n", GetLastError(), g_line);
    return 255;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 255;
  if (!GetExitCodeProcess(process.hProcess, &code)) code = 255;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
