// A description's bytes, loaded as the update merge loads an installed file: the DOM (with a walk
// over its nodes as the readers make it) and the whole DeviceSeries reader. A document that loads
// must save, the saved file must load again, and saving that gives the same bytes.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "model/DeviceSeriesIO.h"
#include "xmlio/Dom.h"

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Visits the first nodes in document order without recursion, asking each what the readers ask.
void walk(const dom::Node& start) {
  std::vector<dom::Node> stack{start};
  std::size_t visited = 0;
  while (!stack.empty() && ++visited < 4000) {
    dom::Node node = stack.back();
    stack.pop_back();
    const dom::NodeType type = node.type();
    (void)node.name();
    if (type == dom::NodeType::Element) {
      (void)node.attribute("strVersion");
      const dom::Node child = node.firstChild();
      if (!child || !child.nextSibling()) (void)node.value();  // the value elements of the readers
    }
    if (dom::Node next = node.nextSibling()) stack.push_back(next);
    if (dom::Node child = node.firstChild()) stack.push_back(child);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& folder = fuzzsupport::scratchFolder();
  const std::string input = folder + "/input.dsr";
  const std::string saved = folder + "/saved.dsr";
  const std::string resaved = folder + "/resaved.dsr";
  fuzzsupport::writeFile(input, data, size);

  dom::Document document = dom::Document::create();
  if (document.load(input)) {
    try {
      walk(document.node().firstChild());
    } catch (const dom::Error&) {
      fuzzsupport::finding("a walk over a loaded document failed");
    }
  }

  DeviceSeries series;
  DeviceSeriesIO2 io(input);
  if (!io.LoadDocumentWithFallback(series)) return 0;

  std::remove(saved.c_str());
  DeviceSeriesIO2 writer(saved);
  writer.takeDocumentVersion(io);
  if (!writer.SaveDocument(series)) return 0;  // text with a zero byte cannot be stored: refused, not written
  const std::string savedText = readAll(saved);
  if (!fuzzsupport::isValidUtf8(savedText)) fuzzsupport::finding("saved a description that is not UTF-8");

  DeviceSeries again;
  DeviceSeriesIO2 reader(saved);
  if (!reader.LoadDocumentWithFallback(again)) fuzzsupport::finding("a saved description does not load", reader.lastError());
  std::remove(resaved.c_str());
  DeviceSeriesIO2 rewriter(resaved);
  rewriter.takeDocumentVersion(reader);
  if (!rewriter.SaveDocument(again)) fuzzsupport::finding("a reloaded description does not save", rewriter.lastError());
  if (readAll(resaved) != savedText) fuzzsupport::finding("load and save is not stable");
  return 0;
}
