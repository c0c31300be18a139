// The document frame: the root and its version, loading, probing and saving, and the provider.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "XmlTestSupport.h"
#include "xmlio/CommonIO.h"
#include "xmlio/Encodings.h"

namespace {

// A serialiser whose root content is one integer element read by position.
class ValueIO : public ICommonIO {
 public:
  using ICommonIO::LoadOutcome;

  explicit ValueIO(std::string path, std::string ownVersion = "3.3.0.0")
      : ICommonIO(std::move(path)), ownVersion_(std::move(ownVersion)) {}

  FormatVersion& GetVersion(FormatVersion& version) const override {
    version = FormatVersion::parse(ownVersion_);
    return version;
  }
  std::string GetRootName() const override { return "DeviceSeries"; }

  LoadOutcome load(int& value) {
    return loadContent([&](const dom::Node& root) {
      PositionalReader children(root);
      value = readIntValue(children.next());
    });
  }
  bool save(int value) {
    return saveContent([&](dom::Document& document) {
      dom::Node root = WriteRoot(document);
      root.appendChild(writeIntElement(document, "nValue", value));
      return root;
    });
  }
  const MSXMLDOMCreator& provider() const { return provider_; }

 private:
  std::string ownVersion_;
};

std::string document(const std::string& version, int value) {
  return "<?xml version='1.0' encoding='UTF-8'?>\n<DeviceSeries strVersion=\"" + version + "\">\n  <nValue>" +
         std::to_string(value) + "</nValue>\n</DeviceSeries>\n";
}

// The strVersion of the root of a saved file.
std::string savedVersion(const std::string& path) {
  dom::Document saved = dom::Document::create();
  if (!saved.load(path)) return "(does not load)";
  return xmltest::rootOf(saved).attribute("strVersion").value();
}

class Frame : public ::testing::Test {
 protected:
  void TearDown() override { ICommonIO::setVersionCheckForTesting(false); }
  std::string file(const std::string& text) {
    const std::string path = folder_.path("series.dsr");
    xmltest::writeFile(path, text);
    return path;
  }
  xmltest::TempFolder folder_;
};

TEST(FormatVersion, ParsesPacksAndFormats) {
  const struct {
    const char* text;
    FormatVersion version;
    std::int32_t packed;
  } cases[] = {
      {"4.2.7.0", {4, 2, 7, 0}, 4020700},
      {"3.3.0.0", {3, 3, 0, 0}, 3030000},
      {"1.2.345.0", {1, 2, 345, 0}, 1054500},
      {"1.2", {1, 2, 0, 0}, 1020000},
      {"abc", {0, 0, 0, 0}, 0},
      {"1..3.4", {1, 0, 0, 0}, 1000000},
      {" 1. 2.-3.4x", {1, 2, -3, 4}, 1019704},
      {"99999.0.0.0", {99999, 0, 0, 0}, 2147483647},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatVersion::parse(c.text), c.version) << c.text;
    EXPECT_EQ(c.version.packed(), c.packed) << c.text;
  }
  EXPECT_EQ((FormatVersion{1, 2, 345, 0}).text(), "1.2.345.0");
  EXPECT_EQ(FormatVersion::unpack(1054500).text(), "1.5.45.0") << "what the packed form alone would give";
}

TEST(FormatVersion, ComparesMajorThenMinorOnly) {
  const struct {
    const char* document;
    int expected;
  } cases[] = {{"3.3.9.9", 0}, {"4.0.0.0", 1}, {"3.2.0.0", -1}, {"2.9.0.0", -1}, {"3.10.0.0", 1}};
  for (const auto& c : cases)
    EXPECT_EQ(FormatVersion::compareMajorMinor(FormatVersion::parse(c.document), FormatVersion::parse("3.3.0.0")), c.expected)
        << c.document;
}

TEST_F(Frame, LoadFindsTheRootAndReadsItsVersion) {
  const struct {
    std::string text;
    ValueIO::LoadOutcome outcome;
    std::int32_t documentVersion;
    const char* error;
  } cases[] = {
      {document("3.3.0.0", 7), ValueIO::LoadOutcome::Loaded, 3030000, ""},
      {"<!-- a comment first -->" + document("4.2.7.0", 7).substr(39), ValueIO::LoadOutcome::Loaded, 4020700, ""},
      {"<?xml version='1.0'?><?other pi?><DeviceSeries strVersion='9.0.0.0'><n>7</n></DeviceSeries>",
       ValueIO::LoadOutcome::Loaded, 9000000, ""},
      {"<DeviceSeries strVersion='not dotted'><n>7</n></DeviceSeries>", ValueIO::LoadOutcome::Loaded, 0, ""},
      {"<deviceseries strVersion='3.3.0.0'><n>7</n></deviceseries>", ValueIO::LoadOutcome::Failed, 0,
       "XMLIO reader reports lexically conforming but invalid structured xml file"},
      {"<Other strVersion='3.3.0.0'><DeviceSeries strVersion='3.3.0.0'/></Other>", ValueIO::LoadOutcome::Failed, 0,
       "XMLIO reader reports lexically conforming but invalid structured xml file"},
      {"<DeviceSeries version='3.3.0.0'><n>7</n></DeviceSeries>", ValueIO::LoadOutcome::Failed, 0,
       "DeviceSeriesIO: Lacking version attribute"},
      {"<DeviceSeries strVersion='3.3.0.0'/>", ValueIO::LoadOutcome::Failed, 3030000,
       "DOM error 0x80004003 (invalid pointer)"},
  };
  for (const auto& c : cases) {
    ValueIO io(file(c.text));
    int value = 0;
    EXPECT_EQ(io.load(value), c.outcome) << c.text;
    EXPECT_EQ(io.documentVersion(), c.documentVersion) << c.text;
    EXPECT_EQ(io.lastError(), c.error) << c.text;
    if (c.outcome == ValueIO::LoadOutcome::Loaded) {
      EXPECT_EQ(value, 7) << c.text;
    }
  }
}

TEST_F(Frame, FindRootThrowsTheFrameExceptions) {
  ValueIO io(file("<deviceSeries strVersion='3.3.0.0'/>"));
  ASSERT_TRUE(io.OpenDocument());
  EXPECT_THROW(io.FindRoot(), ICommonIO::InterpretException);
  ValueIO noVersion(folder_.path("other.dsr"));
  xmltest::writeFile(noVersion.path(), "<DeviceSeries/>");
  ASSERT_TRUE(noVersion.OpenDocument());
  try {
    noVersion.FindRoot();
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "DeviceSeriesIO: Lacking version attribute");
  }
}

TEST_F(Frame, AFailedOpenIsReportedAndRetriedWithAFreshProvider) {
  ValueIO io(folder_.path("series.dsr"));
  int value = 0;
  EXPECT_EQ(io.load(value), ValueIO::LoadOutcome::Failed);
  EXPECT_NE(io.lastError().find("cannot open"), std::string::npos) << io.lastError();
  EXPECT_TRUE(io.provider().openFailed);
  EXPECT_EQ(io.openResult().status, dom::LoadStatus::Unreadable) << "nothing was read";

  file("<DeviceSeries strVersion='3.3.0.0'>\n  <n>1</n>\n  <n>2</n\n</DeviceSeries>");
  EXPECT_EQ(io.load(value), ValueIO::LoadOutcome::Failed);
  EXPECT_NE(io.lastError().find(io.path()), std::string::npos) << io.lastError();
  EXPECT_EQ(io.openResult().status, dom::LoadStatus::NotWellFormed) << "read, but not well-formed";

  file(document("3.3.0.0", 5));
  EXPECT_EQ(io.load(value), ValueIO::LoadOutcome::Loaded);
  EXPECT_EQ(value, 5);
  EXPECT_FALSE(io.provider().openFailed);
  EXPECT_TRUE(io.lastError().empty());
}

TEST_F(Frame, ReadersCanCarryTheirOwnMessage) {
  ValueIO io(file(document("3.3.0.0", 5)));
  const auto outcome = [&] {
    struct Reader : ValueIO {
      using ValueIO::ValueIO;
      LoadOutcome failing() {
        return loadContent([](const dom::Node&) { throw std::runtime_error("InkInfo 3, child 2: invalid pointer"); });
      }
    } reader(io.path());
    const auto result = reader.failing();
    EXPECT_EQ(reader.lastError(), "InkInfo 3, child 2: invalid pointer");
    return result;
  }();
  EXPECT_EQ(outcome, ValueIO::LoadOutcome::Failed);
}

TEST_F(Frame, TheVersionCheckIsOffForTheInstallerAndComparesWhenOn) {
  EXPECT_FALSE(ICommonIO::versionCheckActive());
  const struct {
    const char* version;
    ValueIO::LoadOutcome outcome;
    int probe;
  } cases[] = {
      {"3.3.9.9", ValueIO::LoadOutcome::Loaded, 0},
      {"4.0.0.0", ValueIO::LoadOutcome::DocumentNewer, 1},
      {"3.2.0.0", ValueIO::LoadOutcome::DocumentOlder, -1},
  };
  for (const auto& c : cases) {
    const std::string path = file(document(c.version, 1));
    int value = 0;
    ICommonIO::setVersionCheckForTesting(false);
    EXPECT_EQ(ValueIO(path).load(value), ValueIO::LoadOutcome::Loaded) << c.version;
    EXPECT_EQ(ValueIO(path).ProbeDocument(), 0) << c.version;

    ICommonIO::setVersionCheckForTesting(true);
    ValueIO io(path);
    EXPECT_EQ(io.load(value), c.outcome) << c.version;
    EXPECT_EQ(io.documentVersion(), FormatVersion::parse(c.version).packed());
    EXPECT_EQ(ValueIO(path).ProbeDocument(), c.probe) << c.version;
  }
}

TEST_F(Frame, ANewFileGetsTheSerialisersVersionAndLoadsAgain) {
  const std::string path = folder_.path("new.dsr");
  ValueIO writer(path);
  ASSERT_TRUE(writer.save(42)) << writer.lastError();
  EXPECT_EQ(xmltest::readFile(path), document("3.3.0.0", 42));
  ValueIO reader(path);
  int value = 0;
  EXPECT_EQ(reader.load(value), ValueIO::LoadOutcome::Loaded) << reader.lastError();
  EXPECT_EQ(value, 42);
}

TEST_F(Frame, ReSavingKeepsTheFourVersionNumbersOfTheFile) {
  for (const char* version : {"4.2.7.0", "1.2.345.0", "10.20.3000.40", "3.3.0.0"}) {
    const std::string path = file(document(version, 1));
    ValueIO io(path);
    int value = 0;
    ASSERT_EQ(io.load(value), ValueIO::LoadOutcome::Loaded);
    ASSERT_TRUE(io.save(2)) << io.lastError();
    EXPECT_EQ(savedVersion(path), version);
    // A serialiser that never loaded the file probes it before saving.
    ASSERT_TRUE(ValueIO(path).save(3));
    EXPECT_EQ(savedVersion(path), version);
  }
  // A version that packs to 0 is replaced by the serialiser's own.
  const std::string path = file(document("0.0.0.0", 1));
  ASSERT_TRUE(ValueIO(path).save(2));
  EXPECT_EQ(savedVersion(path), "3.3.0.0");
}

TEST_F(Frame, ASaveToAnotherFileCanKeepTheVersionRead) {
  ValueIO source(file(document("1.2.345.0", 1)));
  int value = 0;
  ASSERT_EQ(source.load(value), ValueIO::LoadOutcome::Loaded);
  ValueIO target(folder_.path("copy.dsr"));
  target.takeDocumentVersion(source);
  ASSERT_TRUE(target.save(value));
  EXPECT_EQ(savedVersion(target.path()), "1.2.345.0");
  // Copying the serialiser carries the version too.
  ValueIO copy(source);
  EXPECT_EQ(copy.documentVersion(), 1054500);
  ASSERT_TRUE(copy.save(value));
  EXPECT_EQ(savedVersion(copy.path()), "1.2.345.0");
}

TEST_F(Frame, AFailedSaveLeavesTheFileUntouched) {
  const std::string original = document("4.2.7.0", 1);
  const std::string path = file(original);
  struct Throwing : ValueIO {
    using ValueIO::ValueIO;
    bool saveFailing() {
      return saveContent([](dom::Document&) -> dom::Node { throw std::runtime_error("writer failed"); });
    }
  } io(path);
  EXPECT_FALSE(io.saveFailing());
  EXPECT_NE(io.lastError().find("writer failed"), std::string::npos) << io.lastError();
  EXPECT_EQ(xmltest::readFile(path), original);

  ValueIO nowhere(folder_.path("missing/series.dsr"));
  EXPECT_FALSE(nowhere.save(1));
  EXPECT_NE(nowhere.lastError().find("cannot save"), std::string::npos) << nowhere.lastError();
}

TEST_F(Frame, EveryProviderAndEverySaveBalancesItsComInitialisation) {
  const int before = dom::comInitializationCount();
  {
    ValueIO first(file(document("3.3.0.0", 1)));
    EXPECT_TRUE(first.provider().comReady);
    int value = 0;
    ASSERT_EQ(first.load(value), ValueIO::LoadOutcome::Loaded);
    ValueIO copy(first);
    EXPECT_TRUE(copy.provider().document) << "the copy shares the document";
    EXPECT_EQ(dom::comInitializationCount(), before + 2);
    ASSERT_TRUE(copy.save(2));
    ValueIO missing(folder_.path("absent.dsr"));
    EXPECT_EQ(missing.load(value), ValueIO::LoadOutcome::Failed);
    EXPECT_EQ(missing.load(value), ValueIO::LoadOutcome::Failed) << "re-created provider";
    copy = missing;
    EXPECT_EQ(dom::comInitializationCount(), before + 3);
  }
  EXPECT_EQ(dom::comInitializationCount(), before);
}

}  // namespace
