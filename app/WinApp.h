#pragma once
// The small part of the application framework that the installer relies on: one application
// object whose start-up operation performs the program's work. On POSIX the program's main plays
// the framework: it constructs the object and calls InitInstance once.
using BOOL = int;
inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

class CWinApp {
 public:
  // appName: the application's name, or null to take it from the program (unused here).
  explicit CWinApp(const char* appName = nullptr) : appName_(appName) {}
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The start-up operation; TRUE to go on to the message loop (which, without a main window,
  // ends at once).
  virtual BOOL InitInstance() { return TRUE; }

 protected:
  const char* appName_;
};
