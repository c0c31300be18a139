// Load and save of the largest shipped description, each beside the bare pugixml work on the same
// bytes, so that the ratio is taken on one machine in one run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <pugixml.hpp>

#include "BenchSupport.h"
#include "model/DeviceSeriesIO.h"

namespace {

// Open the file as a document and read the whole DeviceSeries record.
void BM_Load_DeviceSeries(benchmark::State& state) {
  const std::string path = bench::largestShippedDescription();
  for (auto _ : state) {
    DeviceSeries series;
    DeviceSeriesIO2 io(path);
    if (!io.LoadDocumentWithFallback(series)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(series.aMediaInfoList.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bench::readBytes(path).size()));
}
BENCHMARK(BM_Load_DeviceSeries)->Unit(benchmark::kMillisecond);

// The floor: pugixml reads the same file and parses it with its default options.
void BM_Load_BarePugixml(benchmark::State& state) {
  const std::string path = bench::largestShippedDescription();
  for (auto _ : state) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str())) state.SkipWithError("parse failed");
    benchmark::DoNotOptimize(document.first_child().internal_object());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bench::readBytes(path).size()));
}
BENCHMARK(BM_Load_BarePugixml)->Unit(benchmark::kMillisecond);

// Writes `text` to a new file and flushes it, as the DOM's save does.
void writeDurably(const std::string& path, const std::string& text) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return;
  [[maybe_unused]] ssize_t written = ::write(fd, text.data(), text.size());
  ::fsync(fd);
  ::close(fd);
}

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

// Build the document from the record and save it to a file on the memory file system (the file is
// new each time, as the merged file of an update is).
void BM_Save_DeviceSeries(benchmark::State& state) {
  DeviceSeries series = bench::loadOrDie(bench::largestShippedDescription());
  const std::string path = bench::scratchFolder() + "/save.dsr";
  for (auto _ : state) {
    DeviceSeriesIO2 io(path);
    if (!io.SaveDocument(series)) state.SkipWithError("save failed");
    state.PauseTiming();
    ::unlink(path.c_str());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Save_DeviceSeries)->Unit(benchmark::kMillisecond);

// The floor: pugixml serialises the same DOM (the saved document, loaded) with the same layout and
// the text is written and flushed the same way.
void BM_Save_BarePugixml(benchmark::State& state) {
  DeviceSeries series = bench::loadOrDie(bench::largestShippedDescription());
  const std::string path = bench::scratchFolder() + "/bare.dsr";
  {
    DeviceSeriesIO2 io(path);
    if (!io.SaveDocument(series)) state.SkipWithError("save failed");
  }
  pugi::xml_document document;
  if (!document.load_file(path.c_str())) state.SkipWithError("parse failed");
  ::unlink(path.c_str());
  for (auto _ : state) {
    StringWriter writer;
    document.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    writeDurably(path, writer.text);
    state.PauseTiming();
    ::unlink(path.c_str());
    state.ResumeTiming();
  }
}
BENCHMARK(BM_Save_BarePugixml)->Unit(benchmark::kMillisecond);

// The save as the update merge makes it: over the fresh copy of the new description, whose version
// the save keeps (so the file there is probed first).
void BM_Save_DeviceSeriesOverCopy(benchmark::State& state) {
  DeviceSeries series = bench::loadOrDie(bench::largestShippedDescription());
  const std::string original = bench::largestShippedDescription();
  const std::string path = bench::scratchFolder() + "/over.dsr";
  const std::vector<std::uint8_t> bytes = bench::readBytes(original);
  for (auto _ : state) {
    state.PauseTiming();
    writeDurably(path, std::string(bytes.begin(), bytes.end()));
    state.ResumeTiming();
    DeviceSeriesIO2 io(path);
    if (!io.SaveDocument(series)) state.SkipWithError("save failed");
  }
}
BENCHMARK(BM_Save_DeviceSeriesOverCopy)->Unit(benchmark::kMillisecond);

}  // namespace
