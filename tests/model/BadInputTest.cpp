// A description that lacks any one of its elements either loads or fails with a reason; it never
// crashes or hangs (run under the sanitizers too).
#include <sstream>
#include <string>
#include <vector>

#include "ModelTestSupport.h"
#include "model/DeviceSeriesIO.h"

using namespace modeltest;

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// A line holding one whole element without element children: "<x>text</x>" or "<x />".
bool isLeafElement(const std::string& line) {
  const std::size_t open = line.find('<');
  if (open == std::string::npos || line.compare(open, 2, "</") == 0 || line.compare(open, 2, "<?") == 0) return false;
  return line.find("/>") != std::string::npos || line.find("</") != std::string::npos;
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
  const std::vector<std::string> all = lines(readFile(folder.path("full.dsr")));

  int failures = 0;
  for (std::size_t drop = 0; drop < all.size(); ++drop) {
    if (!isLeafElement(all[drop])) continue;
    std::string text;
    for (std::size_t i = 0; i < all.size(); ++i)
      if (i != drop) text += all[i] + "\n";
    const std::string path = folder.path("cut.dsr");
    writeFile(path, text);
    DeviceSeries loaded;
    DeviceSeriesIO2 io(path);
    if (!io.LoadDocument(loaded)) {
      ++failures;
      EXPECT_FALSE(io.lastError().empty()) << all[drop];
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
