// nexlume-load-save-timer FILE SCRATCH_FOLDER [TIMES]
// Loads the description FILE (open + whole DeviceSeries) and saves the record to a new file in
// SCRATCH_FOLDER, TIMES times each (default 10), and prints the least time of each in milliseconds:
//   load <ms> save <ms>
// Built natively and in the Windows cross build, so that the pugixml and MSXML backends can be
// timed side by side (the latter under Wine) with the same code around them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/DeviceSeriesIO.h"
#include "platform/FileSystem.h"

namespace {

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: nexlume-load-save-timer FILE SCRATCH_FOLDER [TIMES]\n");
    return 2;
  }
  const std::string file = argv[1];
  const std::string saved = std::string(argv[2]) + "/timed-save.dsr";
  const int times = argc > 3 ? std::atoi(argv[3]) : 10;
  double bestLoad = 1e300;
  double bestSave = 1e300;
  DeviceSeries series;
  for (int i = 0; i < times; ++i) {
    DeviceSeries loaded;
    const auto start = std::chrono::steady_clock::now();
    DeviceSeriesIO2 io(file);
    if (!io.LoadDocumentWithFallback(loaded)) {
      std::fprintf(stderr, "cannot load %s: %s\n", file.c_str(), io.lastError().c_str());
      return 1;
    }
    const double took = millisecondsSince(start);
    if (took < bestLoad) bestLoad = took;
    series = std::move(loaded);
  }
  for (int i = 0; i < times; ++i) {
    platform::deleteFile(saved);
    const auto start = std::chrono::steady_clock::now();
    DeviceSeriesIO2 io(saved);
    if (!io.SaveDocument(series)) {
      std::fprintf(stderr, "cannot save %s: %s\n", saved.c_str(), io.lastError().c_str());
      return 1;
    }
    const double took = millisecondsSince(start);
    if (took < bestSave) bestSave = took;
  }
  platform::deleteFile(saved);
  std::printf("load %.2f save %.2f\n", bestLoad, bestSave);
  return 0;
}
