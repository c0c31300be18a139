// hold-files.exe RELEASE_FILE PATH...: holds each PATH open as a running host program does (read
// access, read sharing, no delete sharing), prints "holding" once all are open, and lets them go
// when RELEASE_FILE exists (or after two minutes). Exit status 2 when a file cannot be opened.
#include <windows.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: hold-files RELEASE_FILE PATH...\n");
    return 2;
  }
  std::vector<HANDLE> held;
  for (int i = 2; i < argc; ++i) {
    HANDLE file = CreateFileW(argv[i], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      std::fprintf(stderr, "cannot open argument %d (error %lu)\n", i, GetLastError());
      return 2;
    }
    held.push_back(file);
  }
  std::printf("holding\n");
  std::fflush(stdout);
  for (int waited = 0; waited < 120000 && GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES; waited += 50) Sleep(50);
  for (HANDLE file : held) CloseHandle(file);
  return 0;
}
