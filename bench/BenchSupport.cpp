#include "BenchSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <malloc.h>

#include "model/DeviceSeriesIO.h"

namespace bench {

namespace fs = std::filesystem;

// Freed memory stays with the process, so that each iteration reuses the pages of the one before
// instead of having the kernel fault fresh ones in: on this virtual machine a page fault costs more
// than the parsing around it, and would turn both sides of every ratio into noise.
[[maybe_unused]] const bool keepFreedMemory = [] {
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  return true;
}();

std::string shippedDeviceFolder() { return std::string(NEXLUME_SOURCE_DIR) + "/resources/Tessaprint/Device"; }

std::vector<std::string> shippedDescriptions() {
  std::vector<std::string> paths;
  for (const fs::directory_entry& entry : fs::directory_iterator(shippedDeviceFolder()))
    if (entry.path().extension() == ".dsr") paths.push_back(entry.path().string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string largestShippedDescription() {
  std::string largest;
  std::uintmax_t size = 0;
  for (const std::string& path : shippedDescriptions()) {
    if (fs::file_size(path) > size) {
      size = fs::file_size(path);
      largest = path;
    }
  }
  return largest;
}

namespace {

struct ScratchFolder {
  std::string path;
  ScratchFolder() {
    fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "nexlume-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

}  // namespace

std::string scratchFolder() {
  static ScratchFolder folder;
  return folder.path;
}

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DeviceSeries loadOrDie(const std::string& path) {
  DeviceSeries series;
  DeviceSeriesIO2 io(path);
  if (!io.LoadDocumentWithFallback(series)) {
    std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), io.lastError().c_str());
    std::exit(1);
  }
  return series;
}

DeviceSeries descriptionWithMedia(std::size_t count) {
  static const DeviceSeries shipped = loadOrDie(largestShippedDescription());
  DeviceSeries series = shipped;
  const MediaInfo model = shipped.aMediaInfoList.at(0);
  series.aMediaInfoList.clear();
  series.aMediaInfoList.reserve(count);
  for (std::size_t n = 0; n < count; ++n) {
    MediaInfo medium = model;
    for (std::size_t slot = 0; slot < 10; ++slot) medium.strMediaName[slot] = "Medium " + std::to_string(n);
    medium.bVisibleMedia = true;
    series.aMediaInfoList.push_back(std::move(medium));
  }
  return series;
}

}  // namespace bench
