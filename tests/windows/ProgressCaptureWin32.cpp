// OutputDebugStringA raises DBG_PRINTEXCEPTION_C with the text before anything else sees it: a
// vectored exception handler of the test process keeps the text and lets the program go on.
#include <windows.h>

#include "tests/support/ProgressCapture.h"

namespace testprogress {
namespace {

std::string captured;
PVOID handler = nullptr;

LONG WINAPI keepDebugOutput(EXCEPTION_POINTERS* exception) {
  const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
  if (record.ExceptionCode != DBG_PRINTEXCEPTION_C || record.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  // The parameters are the length with the terminating zero, and the text.
  const auto length = static_cast<std::size_t>(record.ExceptionInformation[0]);
  const auto* text = reinterpret_cast<const char*>(record.ExceptionInformation[1]);
  if (text != nullptr && length > 0) captured.append(text, length - 1);
  return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

void start() {
  captured.clear();
  if (handler == nullptr) handler = AddVectoredExceptionHandler(1, keepDebugOutput);
}

std::string stop() {
  if (handler != nullptr) RemoveVectoredExceptionHandler(handler);
  handler = nullptr;
  return std::move(captured);
}

}  // namespace testprogress
