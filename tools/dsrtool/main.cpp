#include <iostream>
#include <string>
#include <vector>

#include "DsrTool.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "platform/win32/WideText.h"

// The wide entry point (linked with -municode): the arguments as the command line has them, where
// main's would be in the ANSI code page, losing any name outside it.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(platform::win32::toUtf8(argv[i]));
  // A description on standard input is read as bytes: text mode would turn CR LF into LF (breaking
  // UTF-16) and stop at the first Ctrl-Z.
  _setmode(_fileno(stdin), _O_BINARY);
  // The program writes UTF-8; the console shows it so while the program runs.
  const UINT consoleCodePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  const int status = runDsrTool(args, std::cin, std::cout, std::cerr);
  std::cout.flush();
  if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
  return status;
}
#else
#include "platform/posix/Heap.h"

int main(int argc, char** argv) {
  platform::prepareHeapForDocuments();
  const std::vector<std::string> args(argv + 1, argv + argc);
  return runDsrTool(args, std::cin, std::cout, std::cerr);
}
#endif
