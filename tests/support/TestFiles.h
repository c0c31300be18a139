#pragma once
// Small helpers for tests that work on real files: a temporary folder removed at the end, and
// whole-file reads and writes.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testfiles {

// A fresh folder below the temporary folder ($TMPDIR, else /tmp; on Windows %TEMP%), removed with its
// content when the object goes.
class TempFolder {
 public:
  TempFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    static unsigned counter = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          base / ("nexlume-test." + std::to_string(stamp) + "." + std::to_string(counter++));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
    if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

 private:
  std::string path_;
};

// Writes `content` to `path`, creating the folders above it.
inline void writeFile(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
}

// The whole content of `path`, or an empty string when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  if (in) content << in.rdbuf();
  return content.str();
}

inline bool exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::symlink_status(path, ignored));
}

}  // namespace testfiles
