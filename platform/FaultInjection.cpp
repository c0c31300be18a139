#include "platform/FaultInjection.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

enum class FaultKind { None, Fail, Exit };

struct FaultPlan {
  bool environmentRead = false;
  FaultKind kind = FaultKind::None;
  std::int64_t at = 0;        // 1-based number of the operation to hit
  std::string countPath;      // where to write the count at exit, or empty
  std::int64_t performed = 0;
};

FaultPlan& plan() {
  static FaultPlan instance;
  return instance;
}

void writeCountAtExit() {
  const FaultPlan& p = plan();
  if (p.countPath.empty()) return;
  if (std::FILE* out = std::fopen(p.countPath.c_str(), "w")) {
    std::fprintf(out, "%lld\n", static_cast<long long>(p.performed));
    std::fclose(out);
  }
}

// "k", "k:fail" or "k:exit" with k >= 1; anything else injects nothing.
void parseFaultAt(const char* text, FaultPlan& p) {
  if (text == nullptr || *text == '\0') return;
  char* end = nullptr;
  long long k = std::strtoll(text, &end, 10);
  if (end == text || k < 1) return;
  if (*end == '\0' || std::strcmp(end, ":fail") == 0) {
    p.kind = FaultKind::Fail;
  } else if (std::strcmp(end, ":exit") == 0) {
    p.kind = FaultKind::Exit;
  } else {
    return;
  }
  p.at = k;
}

void readEnvironment(FaultPlan& p) {
  p.environmentRead = true;
  parseFaultAt(std::getenv("NEXLUME_FAULT_AT"), p);
  if (const char* countPath = std::getenv("NEXLUME_FAULT_COUNT"); countPath != nullptr && *countPath) {
    static bool registered = false;
    p.countPath = countPath;
    if (!registered) {
      registered = true;
      std::atexit(writeCountAtExit);
    }
  }
}

// Read at start-up too, so that a run performing no operation still writes its count of 0.
const bool environmentReadAtStart = (readEnvironment(plan()), true);

}  // namespace

bool admitFileOperation() {
  FaultPlan& p = plan();
  if (!p.environmentRead) readEnvironment(p);
  std::int64_t number = p.performed + 1;
  if (p.kind == FaultKind::Exit && number == p.at) {
    std::fflush(nullptr);
    std::_Exit(99);
  }
  p.performed = number;
  return !(p.kind == FaultKind::Fail && number == p.at);
}

std::int64_t fileOperationCount() { return plan().performed; }

void resetFaultInjectionForTesting() {
  FaultPlan& p = plan();
  p.environmentRead = false;
  p.kind = FaultKind::None;
  p.at = 0;
  p.countPath.clear();
  p.performed = 0;
}

}  // namespace platform
