// Every record written and read back compares equal, field by field.
#include "ModelTestSupport.h"
#include "model/DeviceSeriesIO.h"

using namespace modeltest;

namespace {

template <class R, R (*Make)()>
struct Sample {
  using Record = R;
  static R make() { return Make(); }
};

template <class S>
class RecordRoundTrip : public ::testing::Test {};

using Samples = ::testing::Types<
    Sample<ModelInfo, sampleModel>, Sample<InkInfo, sampleInk>, Sample<InkConfigInfo, sampleInkConfig>,
    Sample<ResolutionInfo, sampleResolution>, Sample<PatternInfo, samplePattern>,
    Sample<SeparationTable, sampleSeparationTable>, Sample<SeparationInfo, sampleSeparation>,
    Sample<VControlPoint, sampleControlPoint>, Sample<ModeInfo, sampleMode>,
    Sample<PermissionSet, samplePermissionSet>, Sample<QualityInfo, sampleQuality>, Sample<MediaInfo, sampleMedia>,
    Sample<PrintChartFileInfoSet, samplePrintChart>, Sample<InkVolumeInfo, sampleInkVolume>>;
TYPED_TEST_SUITE(RecordRoundTrip, Samples);

TYPED_TEST(RecordRoundTrip, WrittenRecordReadsBackEqual) {
  const auto record = TypeParam::make();
  EXPECT_TRUE(roundTrip(record) == record);
}

TYPED_TEST(RecordRoundTrip, FreshRecordReadsBackEqual) {
  const typename TypeParam::Record fresh{};
  EXPECT_TRUE(roundTrip(fresh) == fresh);
}

TEST(DeviceSeriesRoundTrip, SavedSeriesLoadsEqualAndResavesIdentically) {
  TempFolder folder;
  DeviceSeries series = sampleSeries();
  DeviceSeriesIO2 writer(folder.path("a.dsr"));
  ASSERT_TRUE(writer.SaveDocument(series)) << writer.lastError();

  DeviceSeries back;
  DeviceSeriesIO2 reader(folder.path("a.dsr"));
  ASSERT_TRUE(reader.LoadDocument(back)) << reader.lastError();
  EXPECT_TRUE(back == series);

  DeviceSeriesIO2 again(folder.path("b.dsr"));
  ASSERT_TRUE(again.SaveDocument(back));
  EXPECT_EQ(readFile(folder.path("a.dsr")), readFile(folder.path("b.dsr")));
}

TEST(DeviceSeriesRoundTrip, CopiedModelKeepsMembersWithoutXmlForm) {
  ModelInfo model = sampleModel();
  model.hostOnly.strText = "kept";
  model.hostOnly.aListA = {{"a", "b"}};
  const ModelInfo copy = model;
  EXPECT_EQ(copy.hostOnly, model.hostOnly);
}

}  // namespace
