// The text forms of values: numbers, booleans, escaped strings, base64, language texts, time
// stamps, attributes, and the two reading styles.
#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "xmlio/Encodings.h"

namespace {

using namespace std::string_literals;

constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

TEST(ParseInt, FollowsAtoiAndSaturates) {
  const struct {
    const char* text;
    std::int32_t expected;
  } cases[] = {
      {"12abc", 12},          {" -7", -7},           {"\t\n\v\f\r 42", 42},   {"+5", 5},
      {"abc", 0},             {"", 0},               {"- 5", 0},              {"0x1A", 0},
      {"007", 7},             {"2147483647", kIntMax}, {"2147483648", kIntMax}, {"99999999999999999999", kIntMax},
      {"-2147483648", kIntMin}, {"-2147483649", kIntMin}, {"-99999999999999999999", kIntMin}, {"1 2", 1},
  };
  for (const auto& c : cases) EXPECT_EQ(parseInt(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseFloat, FollowsAtofWithoutInfinityOrHexText) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* text;
    double expected;
  } cases[] = {
      {"1.5", 1.5},     {"  -2.5e2x", -250.0}, {".5", 0.5},     {"5.", 5.0},       {"+0.25", 0.25},
      {"abc", 0.0},     {"", 0.0},             {".", 0.0},      {"-", 0.0},        {"1e", 1.0},
      {"1e+", 1.0},     {"2E-1", 0.2},         {"1,5", 1.0},    {"inf", 0.0},      {"nan", 0.0},
      {"0x10", 0.0},    {"1e400", inf},        {"-1e400", -inf}, {"1e-400", 0.0},  {"0.0000e99999", 0.0},
      {"123456789012345678901234567890", 1.2345678901234568e29},
  };
  for (const auto& c : cases) EXPECT_EQ(parseFloat(c.text), c.expected) << '"' << c.text << '"';
}

TEST(ParseFloat, RoundsDecimalsAsStrtodDoes) {
  for (const char* text : {"0.1", "0.3", "1.005", "123456789012.345", "999999999999999", "9999999999999999",
                           "0.000000000000001", "12345678901234567890.5", "3.14159265358979323846", "72.000"})
    EXPECT_EQ(parseFloat(text), std::strtod(text, nullptr)) << text;
}

TEST(FormatFloat, IsFixedWithThreeDecimals) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {-2.5, "-2.500"}, {1e-4, "0.000"},    {0.0006, "0.001"},  {0.0, "0.000"},   {250.0, "250.000"},
      {12.5, "12.500"}, {-1e-4, "-0.000"},  {1.0005, "1.000"},  {2.0005, "2.001"}, {1e20, "100000000000000000000.000"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFloat(c.value, 3), c.expected) << c.value;
  EXPECT_EQ(formatFloat(2.5, 0), "2");
  EXPECT_EQ(formatFloat(-DBL_MAX, 3).size(), 1 + 309 + 4u);
}

// The short path for values below 2^53 must give exactly what printf gives, ties included (half to
// even on the exact binary value), for every precision it takes and the ones beside them.
TEST(FormatFloat, MatchesPrintfExactly) {
  std::vector<double> values = {0.0625, 0.1875, 2.0625, -0.0625, 0.0005, 0.0015, 1e-300, 5e-324, -5e-324,
                                0.4999999999999999, 0.5, 1.5, 2.5, 9007199254740991.0, 9007199254740992.0,
                                4503599627370495.5, 1234.5675, 0.9995, 0.9994999999999999, 99.9995};
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int i = 0; i < 20000; ++i) {
    // Three-decimal values and their neighbours, and raw bit patterns of every magnitude.
    const double decimal = static_cast<double>(static_cast<std::int64_t>(next() % 2000000) - 1000000) / 1000.0;
    values.push_back(decimal);
    values.push_back(std::nextafter(decimal, 1e300));
    double raw;
    const std::uint64_t bits = next();
    std::memcpy(&raw, &bits, sizeof raw);
    if (std::isfinite(raw)) values.push_back(raw);
  }
  char expected[512];
  for (const double value : values) {
    for (int precision = 0; precision <= 4; ++precision) {
      std::snprintf(expected, sizeof expected, "%.*f", precision, value);
      ASSERT_EQ(formatFloat(value, precision), expected) << "value " << value << ", precision " << precision;
    }
  }
}

// A value without a fixed-point text that reads back is written as what it then holds for good:
// saved, loaded and saved again, the text stays the same.
TEST(FormatFloat, ElementsOfNonFiniteValuesReadBackStably) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    double readBack;
  } cases[] = {{inf, DBL_MAX}, {-inf, -DBL_MAX}, {std::nan(""), 0.0}, {FLT_MAX, FLT_MAX}};
  dom::Document doc = dom::Document::create();
  for (const auto& c : cases) {
    const std::string text = writeFloatElement(doc, "f", c.value).value();
    EXPECT_EQ(parseFloat(text), c.readBack) << c.value;
    EXPECT_EQ(writeFloatElement(doc, "f", parseFloat(text)).value(), text) << c.value;
  }
  // A float field holding infinity (a hand-edited 1e39) reads back as infinity again.
  const std::string huge = writeFloatElement(doc, "f", narrowToFloat(parseFloat("1e39"))).value();
  EXPECT_EQ(narrowToFloat(parseFloat(huge)), std::numeric_limits<float>::infinity());
}

// A locale whose decimal point is a comma, as in German.
struct CommaDecimalPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(FormatFloat, IgnoresTheProcessLocale) {
  const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaDecimalPoint));
  const std::string cLocale = std::setlocale(LC_NUMERIC, nullptr);
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_EQ(formatFloat(1.5, 3), "1.500");
  EXPECT_EQ(parseFloat("1.5"), 1.5);
  dom::Document doc = dom::Document::create();
  EXPECT_EQ(writeFloatElement(doc, "f", 1234.5).value(), "1234.500");
  EXPECT_EQ(writeIntElement(doc, "n", 1234567).value(), "1234567");
  std::setlocale(LC_NUMERIC, cLocale.c_str());
  std::locale::global(previous);
  if (!german) GTEST_LOG_(INFO) << "no German C locale here; only the C++ global locale was changed";
}

TEST(NarrowToFloat, OutOfRangeBecomesInfinity) {
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(narrowToFloat(1e300), inf);
  EXPECT_EQ(narrowToFloat(-1e300), -inf);
  EXPECT_EQ(narrowToFloat(std::numeric_limits<double>::infinity()), inf);
  EXPECT_EQ(narrowToFloat(FLT_MAX), FLT_MAX);
  EXPECT_EQ(narrowToFloat(1.5), 1.5f);
  EXPECT_EQ(narrowToFloat(1e-300), 0.0f);
  EXPECT_TRUE(std::isnan(narrowToFloat(std::nan(""))));
  // A float element of a huge value reads back as infinity once narrowed.
  EXPECT_EQ(narrowToFloat(parseFloat("1e39")), inf);
}

TEST(ValueElements, WriteTheirTextForms) {
  dom::Document doc = dom::Document::create();
  const struct {
    dom::Node element;
    const char* name;
    const char* text;
  } cases[] = {
      {writeIntElement(doc, "n", 0), "n", "0"},
      {writeIntElement(doc, "n", -1), "n", "-1"},
      {writeIntElement(doc, "n", 209), "n", "209"},
      {writeIntElement(doc, "n", kIntMin), "n", "-2147483648"},
      {writeFloatElement(doc, "flPrice", 12.5), "flPrice", "12.500"},
      {writeBoolElement(doc, "bOn", true), "bOn", "true"},
      {writeBoolElement(doc, "bOn", false), "bOn", "false"},
      {writeStringElement(doc, "str", "Glänzend 光沢"), "str", "Glänzend 光沢"},
      {writeStringElement(doc, "str", ""), "str", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.element.type(), dom::NodeType::Element);
    EXPECT_TRUE(c.element.hasName(c.name));
    EXPECT_EQ(c.element.value(), c.text);
  }
  // An empty string leaves the element without content.
  EXPECT_FALSE(writeStringElement(doc, "s", "").firstChild());
}

TEST(ReadBoolValue, IsTrueOnlyForTheExactText) {
  dom::Document doc = dom::Document::create();
  for (const char* text : {"TRUE", "True", "1", " true", "true ", "", "yes"})
    EXPECT_FALSE(readBoolValue(writeStringElement(doc, "b", text))) << '"' << text << '"';
  EXPECT_TRUE(readBoolValue(writeStringElement(doc, "b", "true")));
}

TEST(Readers, ReadTheTextOfTheNode) {
  dom::Document doc = dom::Document::create();
  EXPECT_EQ(readIntValue(writeStringElement(doc, "n", "12abc")), 12);
  EXPECT_EQ(readIntValue(writeStringElement(doc, "n", "")), 0);
  EXPECT_EQ(readFloatValue(writeStringElement(doc, "f", "-0.125")), -0.125);
  EXPECT_EQ(readStringValue(writeStringElement(doc, "s", " a b ")), " a b ");
}

TEST(Readers, AnEmptyNodeIsAnInvalidPointer) {
  const dom::Node none;
  auto codeOf = [](auto read) {
    try {
      read();
    } catch (const dom::Error& e) {
      return e.code();
    }
    return std::int32_t{0};
  };
  EXPECT_EQ(codeOf([&] { readIntValue(none); }), dom::kInvalidPointer);
  EXPECT_EQ(codeOf([&] { readFloatValue(none); }), dom::kInvalidPointer);
  EXPECT_EQ(codeOf([&] { readBoolValue(none); }), dom::kInvalidPointer);
  EXPECT_EQ(codeOf([&] { readStringValue(none); }), dom::kInvalidPointer);
  EXPECT_EQ(codeOf([&] { readIntAttribute(none, "position"); }), dom::kInvalidPointer);
  EXPECT_EQ(codeOf([&] {
              LanguageText text;
              readLanguageText(none, text);
            }),
            dom::kInvalidPointer);
}

TEST(EscapedString, EncodesEverythingButPlainPrintableAscii) {
  const struct {
    std::string bytes;
    const char* text;
  } cases[] = {
      {"\x1B" "E", "\\x1BE"},
      {"a<b", "a\\x3Cb"},
      {"a b", "a b"},
      {"\t", "\\x09"},
      {"\n", "\\x0A"},
      {"\\", "\\x5C"},
      {"\"&'<>", "\\x22\\x26\\x27\\x3C\\x3E"},
      {"~\x7F\x80\xFF", "~\\x7F\\x80\\xFF"},
      {"\x1B" "E\0A"s, "\\x1BE\\x00A"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encodeEscapedString(c.bytes), c.text);
    EXPECT_EQ(decodeEscapedString(c.text), c.bytes) << c.text;
  }
}

TEST(EscapedString, DecodesLikeStrtolOnTwoCharacters) {
  const struct {
    const char* text;
    std::string bytes;
  } cases[] = {
      {"\\x1b", "\x1B"}, {"\\xZZ", "\0"s}, {"\\x4G", "\x04"}, {"\\x-1", "\xFF"}, {"\\x 5", "\x05"},
      {"a\\x41b", "aAb"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeEscapedString(c.text), c.bytes) << c.text;
}

TEST(EscapedString, MalformedEscapesThrowTheirMessages) {
  const struct {
    std::string text;
    const char* message;
  } cases[] = {
      {"abc\\", "decodeEscapedString(): invalid source string"},
      {"\\n", "decodeEscapedString(): unrecognized escape sequence"},
      {"\\X41", "decodeEscapedString(): unrecognized escape sequence"},
      {"\\x4", "decodeEscapedString(): invalid source string"},
      {"\\x", "decodeEscapedString(): invalid source string"},
  };
  for (const auto& c : cases) {
    try {
      decodeEscapedString(c.text);
      ADD_FAILURE() << c.text << " decoded";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.message) << c.text;
    }
  }
}

TEST(Base64, EncodesWithPadding) {
  const CBase64 codec;
  const struct {
    std::vector<std::uint8_t> bytes;
    const char* text;
  } cases[] = {
      {{'a', 'b', 'c'}, "YWJj"},
      {{0x00}, "AA=="},
      {{}, ""},
      {{'a', 'b'}, "YWI="},
      {{0xFB, 0xFF, 0xBF, 0x00}, "+/+/AA=="},
  };
  for (const auto& c : cases) {
    std::string text = "old";
    EXPECT_EQ(codec.Encode(c.bytes.data(), c.bytes.size(), text), 0);
    EXPECT_EQ(text, c.text);
    std::vector<std::uint8_t> decoded;
    EXPECT_EQ(codec.Decode(text.data(), text.size(), decoded), 0);
    EXPECT_EQ(decoded, c.bytes) << c.text;
  }
}

TEST(Base64, DecodeTakesForeignCharactersAsSlashAndPaddingAsZero) {
  const CBase64 codec;
  const struct {
    const char* text;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"A*==", {0x03}},
      {"A/==", {0x03}},
      {"A=A=", {0x00, 0x00}},
      {"====", {}},
      {"YW\nj", {0x61, 0x6F, 0xE3}},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> decoded;
    EXPECT_EQ(codec.Decode(c.text, std::strlen(c.text), decoded), 0);
    EXPECT_EQ(decoded, c.bytes) << c.text;
  }
}

TEST(Base64, DecodeReportsATextCutShortAndNeverReadsPastIt) {
  const CBase64 codec;
  // Exactly sized heap buffers, so that a read past the end shows under the address sanitizer.
  for (const std::string text : {"YWJjY", "YWJjYW", "YWJjYWJ", "Y"}) {
    const auto buffer = std::make_unique<char[]>(text.size());
    std::memcpy(buffer.get(), text.data(), text.size());
    std::vector<std::uint8_t> decoded = {42};
    EXPECT_NE(codec.Decode(buffer.get(), text.size(), decoded), 0) << text;
    EXPECT_EQ(decoded, std::vector<std::uint8_t>{42}) << "output untouched";
  }
  const auto exact = std::make_unique<char[]>(4);
  std::memcpy(exact.get(), "YWI=", 4);
  std::vector<std::uint8_t> decoded;
  EXPECT_EQ(codec.Decode(exact.get(), 4, decoded), 0);
  EXPECT_EQ(decoded, (std::vector<std::uint8_t>{'a', 'b'}));
  EXPECT_NE(codec.Decode(nullptr, 4, decoded), 0);
  std::string text;
  EXPECT_NE(codec.Encode(nullptr, 1, text), 0);
}

LanguageText englishOnly(const std::string& english) {
  LanguageText text;
  text[0] = english;
  return text;
}

TEST(LanguageText, WritesAllThirteenSlotsWithTheEnglishFallback) {
  dom::Document doc = dom::Document::create();
  LanguageText text = englishOnly("Glossy");
  text[6] = "光沢";
  const dom::Node container = writeLanguageText(doc, "strMediaName", text);
  EXPECT_TRUE(container.hasName("strMediaName"));
  const char* names[] = {"English", "Chinese_Simplified", "Chinese_Traditional", "French", "German",
                         "Italian", "Japanese", "Korean", "Portuguese", "Spanish", "Russian", "Turkish", "Arabic"};
  int slot = 0;
  forEachChild(container, [&](const dom::Node& child) {
    ASSERT_LT(slot, kLanguageCount);
    EXPECT_TRUE(child.hasName(names[slot])) << slot;
    EXPECT_EQ(child.value(), slot == 6 ? "光沢" : "Glossy") << names[slot];
    ++slot;
  });
  EXPECT_EQ(slot, kLanguageCount);
  for (int i = 0; i < kLanguageCount; ++i) EXPECT_EQ(languageName(i), names[i]);
}

TEST(LanguageText, ReadsByNameAndKeepsSlotsWithoutAChild) {
  xmltest::TempFolder folder;
  const dom::Document doc = xmltest::loadText(folder,
                                              "<t><French>Brillant</French><Unknown>x</Unknown><english>no</english>"
                                              "<!-- c --><German>Erst</German><German>Glänzend</German></t>");
  ASSERT_TRUE(doc);
  LanguageText text;
  text.fill("before");
  readLanguageText(xmltest::rootOf(doc), text);
  EXPECT_EQ(text[3], "Brillant");
  EXPECT_EQ(text[4], "Glänzend") << "a later duplicate wins";
  EXPECT_EQ(text[0], "before") << "names compare case-sensitively";
  EXPECT_EQ(text[7], "before") << "a slot without a child keeps its text";
}

TEST(TimeStamp, RoundTripsAndTruncatesToTheFieldWidths) {
  dom::Document doc = dom::Document::create();
  const TimeStamp stamp{2024, 12, 31, 23, 59, 58, 999};
  TimeStamp read;
  readTimeStamp(writeTimeStamp(doc, "TimeStamp", stamp), read);
  EXPECT_EQ(read, stamp);

  xmltest::TempFolder folder;
  const dom::Document hand = xmltest::loadText(
      folder, "<TimeStamp><a>70000</a><b>300</b><c>-1</c><d>1</d><e>2</e><f>3</f><g>4</g><h>9</h></TimeStamp>");
  ASSERT_TRUE(hand);
  readTimeStamp(xmltest::rootOf(hand), read);
  EXPECT_EQ(read, (TimeStamp{4464, 44, 255, 1, 2, 3, 4})) << "names are not looked at; values keep their low bits";

  const dom::Document shortStamp = xmltest::loadText(folder, "<TimeStamp><a>1</a><b>2</b></TimeStamp>");
  ASSERT_TRUE(shortStamp);
  EXPECT_THROW(readTimeStamp(xmltest::rootOf(shortStamp), read), dom::Error);
}

TEST(IntAttribute, WritesAndReadsByName) {
  dom::Document doc = dom::Document::create();
  dom::Node element = doc.createElement("UVLampPower");
  EXPECT_EQ(readIntAttribute(element, "position"), -1);
  element.setNamedItem(writeIntAttribute(doc, "position", 12));
  EXPECT_EQ(readIntAttribute(element, "position"), 12);
  element.setNamedItem(writeIntAttribute(doc, "position", -3));
  EXPECT_EQ(readIntAttribute(element, "position"), -3) << "replaced, not added";
  EXPECT_EQ(readIntAttribute(element, "Position"), -1);
  // A node without attributes (a text) reads as absent.
  dom::Node text = writeStringElement(doc, "s", "x").firstChild();
  EXPECT_EQ(readIntAttribute(text, "position"), -1);
}

// The positional and by-name reading pieces that the record forms build on.
class ReadingStyles : public ::testing::Test {
 protected:
  dom::Node load(const std::string& text) {
    document_ = xmltest::loadText(folder_, text);
    EXPECT_TRUE(document_) << text;
    return document_ ? xmltest::rootOf(document_) : dom::Node();
  }

  xmltest::TempFolder folder_;
  dom::Document document_;
};

TEST_F(ReadingStyles, APositionalReadCountsCommentsAndProcessingInstructions) {
  const dom::Node root = load("<r>\n  <a>1</a>\n  <!-- note -->\n  <?pi data?>\n  <b>2</b>\n</r>");
  PositionalReader reader(root);
  EXPECT_TRUE(reader.next().hasName("a"));
  EXPECT_EQ(reader.next().type(), dom::NodeType::Comment);
  EXPECT_EQ(reader.next().type(), dom::NodeType::ProcessingInstruction);
  EXPECT_TRUE(reader.remaining().hasName("b"));
  EXPECT_EQ(readIntValue(reader.next()), 2);
  EXPECT_FALSE(reader.remaining());
  try {
    reader.next();
    ADD_FAILURE() << "read past the last child";
  } catch (const dom::Error& e) {
    EXPECT_EQ(e.code(), dom::kInvalidPointer);
  }
}

TEST_F(ReadingStyles, ArraysAndListsWriteOneChildPerEntry) {
  dom::Document doc = dom::Document::create();
  const std::vector<double> degrees = {15.0, 45.5};
  const dom::Node array = writeIndexedArray(doc, "flDegrees", "flDegree", degrees, [](Placement at, std::string_view name, double v) {
    return writeFloatElement(at, name, v);
  });
  const dom::Node list = writeList(doc, "anIndex", "nIndex", std::vector<int>{3, 4, 5}, [](Placement at, std::string_view name, int v) {
    return writeIntElement(at, name, v);
  });
  std::vector<std::string> seen;
  for (const dom::Node* parent : {&array, &list})
    forEachChild(*parent, [&](const dom::Node& child) { seen.push_back(child.name() + "=" + child.value()); });
  EXPECT_EQ(seen, (std::vector<std::string>{"flDegree0=15.000", "flDegree1=45.500", "nIndex=3", "nIndex=4", "nIndex=5"}));
}

}  // namespace
