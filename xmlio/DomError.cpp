// The DOM's error type, shared by both backends.
#include <cstdio>
#include <cstring>

#include "xmlio/Dom.h"

namespace dom {

namespace {

const char* describe(std::int32_t code) {
  switch (code) {
    case kInvalidPointer:
      return "invalid pointer";
    case kOutOfMemory:
      return "out of memory";
    case kFailed:
      return "unspecified failure";
    default:
      return "failure";
  }
}

}  // namespace

Error::Error(std::int32_t code) noexcept : Error(code, std::string_view()) {}

Error::Error(std::int32_t code, std::string_view detail) noexcept : code_(code) {
  int used = std::snprintf(text_, sizeof text_, "DOM error 0x%08X (%s)", static_cast<unsigned>(code), describe(code));
  if (used < 0) used = 0;
  if (static_cast<std::size_t>(used) >= sizeof text_) used = sizeof text_ - 1;
  detailAt_ = static_cast<std::size_t>(used);
  if (!detail.empty() && static_cast<std::size_t>(used) + 3 < sizeof text_) {
    detailAt_ = static_cast<std::size_t>(used) + 2;
    const std::size_t room = sizeof text_ - static_cast<std::size_t>(used) - 3;
    const std::size_t length = detail.size() < room ? detail.size() : room;
    std::memcpy(text_ + used, ": ", 2);
    std::memcpy(text_ + used + 2, detail.data(), length);
    text_[static_cast<std::size_t>(used) + 2 + length] = '\0';
  }
}

const char* Error::what() const noexcept { return text_; }

namespace {
bool g_domMissingForTesting = false;
}

void setDomMissingForTesting(bool missing) { g_domMissingForTesting = missing; }

bool domMissingForTesting() { return g_domMissingForTesting; }

}  // namespace dom
