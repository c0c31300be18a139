#pragma once
// The small part of the application framework that the installer relies on: one application
// object whose start-up operation performs the program's work. On POSIX the program's main plays
// the framework: it constructs the object and calls InitInstance once.
#include <cstdint>

// The framework's BOOL and its two values, in a namespace of their own: <windows.h> declares BOOL in
// the global namespace and defines TRUE and FALSE as macros, so this header may come before or after
// it in any file.
namespace winapp {
using BOOL = std::int32_t;
inline constexpr BOOL kTrue = 1;
inline constexpr BOOL kFalse = 0;
}  // namespace winapp

class CWinApp {
 public:
  // appName: the application's name, or null to take it from the program (unused here).
  explicit CWinApp(const char* appName = nullptr) : appName_(appName) {}
  virtual ~CWinApp() = default;
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The start-up operation; kTrue to go on to the message loop (which, without a main window,
  // ends at once).
  virtual winapp::BOOL InitInstance() { return winapp::kTrue; }

 protected:
  const char* appName_;
};
