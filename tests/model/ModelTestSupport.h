#pragma once
// Small XML fixtures and populated records for the model tests.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "model/DeviceSeries.h"
#include "xmlio/Dom.h"
#include "../xmlio/XmlTestSupport.h"

namespace modeltest {

// Per-test folders and whole-file reads and writes, shared with the xmlio tests.
using xmltest::readFile;
using xmltest::TempFolder;
using xmltest::writeFile;

// A document parsed from text, with its root element.
struct Xml {
  dom::Document document;
  dom::Node root;
};

inline Xml parse(std::string_view text) {
  static int counter = 0;
  const auto path = std::filesystem::temp_directory_path() /
                    ("nexlume_model_fixture_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                     "_" + std::to_string(counter++) + ".xml");
  writeFile(path.string(), text);
  Xml xml{dom::Document::create(), {}};
  const bool loaded = static_cast<bool>(xml.document.load(path.string()));
  std::filesystem::remove(path);
  EXPECT_TRUE(loaded) << text;
  for (dom::Node child = xml.document.node().firstChild(); child; child = child.nextSibling()) {
    if (child.type() == dom::NodeType::Element) {
      xml.root = child;
      break;
    }
  }
  return xml;
}

// Reads a record from XML text.
template <class R>
R readFrom(std::string_view text) {
  const Xml xml = parse(text);
  R record{};
  form::readRecord(xml.root, record);
  return record;
}

// Writes a record and reads it back into a fresh one.
template <class R>
R roundTrip(const R& record) {
  dom::Document doc = dom::Document::create();
  const dom::Node element = form::writeRecord(doc, record);
  R back{};
  form::readRecord(element, back);
  return back;
}

inline std::vector<std::string> childNames(const dom::Node& element) {
  std::vector<std::string> names;
  for (dom::Node child = element.firstChild(); child; child = child.nextSibling()) names.push_back(child.name());
  return names;
}

// The first child named `name`, or an empty node.
inline dom::Node child(const dom::Node& element, std::string_view name) {
  for (dom::Node c = element.firstChild(); c; c = c.nextSibling())
    if (c.hasName(name)) return c;
  return dom::Node();
}

// The message of the ReadError that `read` throws, or "" when it reads.
template <class Read>
std::string readFailure(Read read) {
  try {
    read();
  } catch (const form::ReadError& error) {
    return error.what();
  }
  return "";
}

inline LanguageText languages(std::string_view english) {
  LanguageText text;
  for (int slot = 0; slot < kLanguageCount; ++slot) text[slot] = std::string(english) + " " + std::to_string(slot);
  return text;
}

// Records whose every field differs from its initial value (and survives 3 decimals).
ModelInfo sampleModel();
InkInfo sampleInk();
InkConfigInfo sampleInkConfig();
ResolutionInfo sampleResolution();
PatternInfo samplePattern();
SeparationTable sampleSeparationTable();
SeparationInfo sampleSeparation();
VControlPoint sampleControlPoint();
ModeInfo sampleMode();
PermissionSet samplePermissionSet();
QualityInfo sampleQuality();
MediaInfo sampleMedia();
PrintChartFileInfoSet samplePrintChart();
InkVolumeInfo sampleInkVolume();
DeviceSeries sampleSeries();

}  // namespace modeltest
