// window-probe.exe PROGRAM [ARGUMENTS...]: starts PROGRAM and watches for a visible dialog of its
// process for up to ten seconds (the hidden windows that COM or an input method make do not count).
// Prints "window: <title>" and "text: <the window's static text>" for the first one seen, then closes
// it as a user would (the OK button), and "exit: <status>" once the process ended; "no window" when
// it ended or the time ran out without one.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<Search*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  // A process that uses COM or an input method also owns hidden windows of its own: only a dialog counts.
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (lstrcmpW(className, L"#32770") != 0) return TRUE;
  search->found = window;
  return FALSE;
}

// The text of the dialog's message: its static control's text.
BOOL CALLBACK visitChild(HWND child, LPARAM context) {
  wchar_t className[64] = {};
  GetClassNameW(child, className, 64);
  if (lstrcmpiW(className, L"Static") != 0) return TRUE;
  wchar_t text[4096] = {};
  GetWindowTextW(child, text, 4096);
  if (text[0] != L'\0') *reinterpret_cast<std::wstring*>(context) = text;
  return text[0] == L'\0';
}

void printUtf8(const char* label, const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
  std::printf("%s: %s\n", label, utf8.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: window-probe PROGRAM [ARGUMENTS...]\n");
    return 2;
  }
  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
  for (int i = 2; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start the program (error %lu)\n", GetLastError());
    return 2;
  }
  Search search{process.dwProcessId, nullptr};
  for (int waited = 0; waited < 10000 && search.found == nullptr; waited += 50) {
    if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) break;
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
  }
  if (search.found == nullptr) {
    std::printf("no window\n");
  } else {
    // The dialog fills in its controls after it appears: its text is awaited, on a busy machine too.
    std::wstring text;
    for (int waited = 0; waited < 5000 && text.empty(); waited += 100) {
      Sleep(100);
      EnumChildWindows(search.found, visitChild, reinterpret_cast<LPARAM>(&text));
    }
    wchar_t title[512] = {};
    GetWindowTextW(search.found, title, 512);
    printUtf8("window", title);
    printUtf8("text", text);
    PostMessageW(search.found, WM_COMMAND, IDOK, 0);
  }
  std::fflush(stdout);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    std::printf("still running\n");
    TerminateProcess(process.hProcess, 99);
    return 1;
  }
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  std::printf("exit: %lu\n", status);
  return 0;
}
