// Test helper: holds a file open without delete sharing, the way a running program or an editor may
// hold it while the tool runs. Usage: xqti-hold.exe FILE MARKER. Opens FILE, then creates MARKER to say
// it holds it, and keeps it open until it is ended.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) return 3;
  HANDLE marker = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return 4;
  CloseHandle(marker);
  Sleep(INFINITE);
  return 0;
}
