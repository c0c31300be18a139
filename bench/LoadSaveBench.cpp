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

// The DOM's part of the load: the same file opened as a document (checked and parsed), nothing read.
void BM_Load_DocumentOnly(benchmark::State& state) {
  const std::string path = bench::largestShippedDescription();
  for (auto _ : state) {
    dom::Document document = dom::Document::create();
    if (!document.load(path)) state.SkipWithError("load failed");
    benchmark::DoNotOptimize(document.impl());
  }
}
BENCHMARK(BM_Load_DocumentOnly)->Unit(benchmark::kMillisecond);

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
  explicit StringWriter(std::size_t expected) { text.reserve(expected); }
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

// Build the document from the record, as the save does, and serialise it to memory.
void BM_Save_DeviceSeries(benchmark::State& state) {
  DeviceSeries series = bench::loadOrDie(bench::largestShippedDescription());
  DeviceSeriesIO2 io(bench::scratchFolder() + "/unused.dsr");
  dom::initializeCom();
  for (auto _ : state) {
    const std::string text = io.ComposeDocument(series).text();
    benchmark::DoNotOptimize(text.data());
  }
  dom::uninitializeCom();
}
BENCHMARK(BM_Save_DeviceSeries)->Unit(benchmark::kMillisecond);

// The serialising part of the save: the text of the document built as above, built once.
void BM_Save_TextOnly(benchmark::State& state) {
  DeviceSeries series = bench::loadOrDie(bench::largestShippedDescription());
  DeviceSeriesIO2 io(bench::scratchFolder() + "/unused.dsr");
  dom::initializeCom();
  const dom::Document document = io.ComposeDocument(series);
  for (auto _ : state) {
    const std::string text = document.text();
    benchmark::DoNotOptimize(text.data());
  }
  dom::uninitializeCom();
}
BENCHMARK(BM_Save_TextOnly)->Unit(benchmark::kMillisecond);

// The floor: pugixml serialises the same DOM (the saved document, loaded) with the same layout into
// memory reserved for it.
void BM_Save_BarePugixml(benchmark::State& state) {
  const std::string path = bench::largestShippedDescription();
  pugi::xml_document document;
  if (!document.load_file(path.c_str())) state.SkipWithError("parse failed");
  const std::size_t size = bench::readBytes(path).size();
  for (auto _ : state) {
    StringWriter writer(size);
    document.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    benchmark::DoNotOptimize(writer.text.data());
  }
}
BENCHMARK(BM_Save_BarePugixml)->Unit(benchmark::kMillisecond);

// A whole save to a file over an existing description, whose version the save keeps: the file there
// is probed (loaded) first, then the document is built, serialised and written.
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
