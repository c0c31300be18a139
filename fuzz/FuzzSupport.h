#pragma once
// What the harnesses share: a scratch folder on a memory file system for inputs that the code under
// test reads from a file, and a check that stops the run with a message (a finding).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzsupport {

// A folder created once per process, below /dev/shm when there is one.
inline const std::string& scratchFolder() {
  static const std::string folder = [] {
    std::string pattern = (::access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
                          "/nexlume-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  std::fclose(out);
}

[[noreturn]] inline void finding(const char* what, const std::string& detail = std::string()) {
  std::fprintf(stderr, "FINDING: %s %s\n", what, detail.c_str());
  std::abort();
}

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
inline bool isValidUtf8(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = p[i];
    std::size_t length = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || n - i < length) return false;
    std::uint32_t c = length == 1 ? b : b & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3Fu);
    }
    if ((length == 3 && c < 0x800) || (length == 4 && c < 0x10000) || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

}  // namespace fuzzsupport
