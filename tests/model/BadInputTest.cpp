// A description that lacks any one of its elements either loads or fails with a reason; it never
// crashes or hangs (run under the sanitizers too).
#include <regex>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "model/DeviceSeriesIO.h"

using namespace modeltest;

namespace {

// Where each element without element children stands in `text`: "<x>text</x>" or "<x/>".
std::vector<std::pair<std::size_t, std::size_t>> leafElements(const std::string& text) {
  static const std::regex leaf(R"(<([A-Za-z_][A-Za-z0-9_]*)( [^<>]*)?>[^<]*</\1>|<[A-Za-z_][A-Za-z0-9_]*( [^<>]*)?/>)");
  std::vector<std::pair<std::size_t, std::size_t>> found;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), leaf); it != std::sregex_iterator(); ++it)
    found.emplace_back(static_cast<std::size_t>(it->position()), static_cast<std::size_t>(it->length()));
  return found;
}

TEST(BadInput, EveryDescriptionMissingOneElementLoadsOrFailsWithAReason) {
  TempFolder folder;
  DeviceSeries series = sampleSeries();
  series.aMediaInfoList.resize(1);
  series.aMediaInfoList[0].aPermissionSetList.resize(1);
  series.aMediaInfoList[0].aPermissionSetList[0].aCalibrationInfoList.resize(1);
  series.aSeparationInfoList[0].aSeparationTableList.resize(1);
  DeviceSeriesIO2 writer(folder.path("full.dsr"));
  ASSERT_TRUE(writer.SaveDocument(series));
  const std::string full = readFile(folder.path("full.dsr"));
  const auto leaves = leafElements(full);
  ASSERT_GT(leaves.size(), 100u);

  int failures = 0;
  for (const auto& [position, length] : leaves) {
    const std::string path = folder.path("cut.dsr");
    writeFile(path, full.substr(0, position) + full.substr(position + length));
    DeviceSeries loaded;
    DeviceSeriesIO2 io(path);
    if (!io.LoadDocument(loaded)) {
      ++failures;
      EXPECT_FALSE(io.lastError().empty()) << full.substr(position, length);
    }
  }
  EXPECT_GT(failures, 0);
}

TEST(BadInput, ElementsWhereTextIsExpectedAndTextWhereElementsAreExpected) {
  // A positional record list holding text, and a value element holding elements: values never fail.
  const Xml xml = parse("<DeviceSeries strVersion=\"1\"><aModelInfoList>text</aModelInfoList><a/><b/><c/><d/><e/><f/><g/>"
                        "<commandSet><x><y>1</y></x><b/><c/><d/><e/><f/><g/><h/><i/></commandSet><m/></DeviceSeries>");
  DeviceSeries series;
  EXPECT_EQ(readFailure([&] { readDeviceSeries(xml.root, series); }), "aModelInfoList/ModelInfo[1]: child 1 (strLongModelName) missing");
  const Xml nested = parse("<DeviceSeries strVersion=\"1\"><a/><b/><c/><d/><e/><f/><g/><h/>"
                           "<commandSet><x><y>\\x41</y></x><b/><c/><d/><e/><f/><g/><h/><i/></commandSet><m/></DeviceSeries>");
  DeviceSeries read;
  readDeviceSeries(nested.root, read);
  EXPECT_EQ(read.commandSet.strInitialize, "A");
}

}  // namespace
