#pragma once
// Files and documents for the xmlio tests, through the DOM interface only (so the same tests run on
// every backend).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "xmlio/Dom.h"

namespace xmltest {

// A fresh folder per test, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("nexlume_test_") + info->test_suite_name() + "_" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    folder_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  std::string path(std::string_view file) const { return (folder_ / file).string(); }

 private:
  std::filesystem::path folder_;
};

inline void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool fileExists(const std::string& path) { return std::filesystem::exists(path); }

// Loads `bytes` as a document through a file; an empty document when it does not load.
inline dom::Document loadText(const TempFolder& folder, std::string_view bytes) {
  const std::string path = folder.path("doc.xml");
  writeFile(path, bytes);
  dom::Document document = dom::Document::create();
  if (!document.load(path)) return dom::Document();
  return document;
}

// The first element child of the document node.
inline dom::Node rootOf(const dom::Document& document) {
  for (dom::Node child = document.node().firstChild(); child; child = child.nextSibling())
    if (child.type() == dom::NodeType::Element) return child;
  return dom::Node();
}

}  // namespace xmltest
