#pragma once
// What the benchmarks share: the shipped descriptions, a scratch folder on a memory file system,
// and descriptions with a chosen number of generated media.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/DeviceSeries.h"

namespace bench {

// The folder of the shipped descriptions in the source tree.
std::string shippedDeviceFolder();
// The paths of the eight shipped descriptions.
std::vector<std::string> shippedDescriptions();
// The largest of them (the one the load and save figures are taken on).
std::string largestShippedDescription();

// A fresh folder below /dev/shm (else the temporary folder), removed at exit.
std::string scratchFolder();

std::vector<std::uint8_t> readBytes(const std::string& path);

// A shipped description whose media list holds `count` media, copies of its first medium with the
// English to Spanish names "Medium <n>" (so each is a different medium), each visible.
DeviceSeries descriptionWithMedia(std::size_t count);

// Loads a description or aborts the benchmark run.
DeviceSeries loadOrDie(const std::string& path);

}  // namespace bench
