// What the DOM loads and refuses, the values it reads, and the text it saves.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "XmlTestSupport.h"
#include "platform/FaultInjection.h"
#include "xmlio/Dom.h"

namespace {

using namespace std::string_literals;

std::string utf16(const std::u16string& text, bool bigEndian, bool withBom) {
  std::string bytes;
  if (withBom) bytes += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

// One verdict per input on both backends: whether a file counts as not well-formed (and may be
// replaced unmerged) is decided by the bytes alone, never by the parser that happens to read them.
TEST(DomLoad, GivesTheSameVerdictOnEveryBackend) {
  xmltest::TempFolder folder;
  using dom::LoadStatus;
  const struct {
    std::string bytes;
    LoadStatus verdict;
    const char* why;
  } cases[] = {
      {"", LoadStatus::NotWellFormed, "empty file"},
      {"<a>", LoadStatus::NotWellFormed, "unclosed element"},
      {"<a></b>", LoadStatus::NotWellFormed, "mismatched tags"},
      {"<a><b></a></b>", LoadStatus::NotWellFormed, "overlapping elements"},
      {"<ab></a>", LoadStatus::NotWellFormed, "an end tag naming a prefix of the open element"},
      {"<a></ab>", LoadStatus::NotWellFormed, "an end tag naming the open element and more"},
      {"<a></a\xC3\xA9>", LoadStatus::NotWellFormed, "an end tag whose name goes on past the open one's in a letter outside ASCII"},
      {"<a></a", LoadStatus::NotWellFormed, "an end tag cut short after its name"},
      {"<a></a x>", LoadStatus::NotWellFormed, "an end tag with more than its name"},
      {"plain text, not XML at all", LoadStatus::NotWellFormed, "no element"},
      {"<?xml version='1.0'?>\n<DeviceSeries strVersion='3.3.0.0'>\n  <aMediaInfoList>\n    <MediaIn",
       LoadStatus::NotWellFormed, "cut short, as a crash while saving leaves it"},
      {"<a/><b/>", LoadStatus::NotWellFormed, "two root elements"},
      {"text<a/>", LoadStatus::NotWellFormed, "text before the root"},
      {"<a/>text", LoadStatus::NotWellFormed, "text after the root"},
      {"<a/>&amp;", LoadStatus::NotWellFormed, "a reference after the root"},
      {"<a/>text<!-- c --><?p?>", LoadStatus::NotWellFormed, "text after the root, before a comment"},
      {"<![CDATA[x]]><a/>", LoadStatus::NotWellFormed, "CDATA before the root"},
      {" <?xml version='1.0'?><a/>", LoadStatus::NotWellFormed, "white space before the declaration"},
      {"<?xml version='1.0'?><?xml version='1.0'?><a/>", LoadStatus::NotWellFormed, "a second declaration"},
      {"<a/><?xml version='1.0'?>", LoadStatus::NotWellFormed, "declaration after the root"},
      {"<!-- c --><?xml version='1.0'?><a/>", LoadStatus::NotWellFormed, "declaration after the start"},
      {"<?XML version='1.0'?><a/>", LoadStatus::NotWellFormed, "a declaration in capitals"},
      {"<?xml encoding='UTF-8'?><a/>", LoadStatus::NotWellFormed, "a declaration without version"},
      {"<?xml encoding='UTF-8' version='1.0'?><a/>", LoadStatus::NotWellFormed, "a declaration in the wrong order"},
      {"<?xml version='1.0' standalone='maybe'?><a/>", LoadStatus::NotWellFormed, "standalone neither yes nor no"},
      {"<?xml version='2.0'?><a/>", LoadStatus::NotWellFormed, "XML version 2.0"},
      {"<?xml version='1.0' encoding=UTF-8?><a/>", LoadStatus::NotWellFormed, "an unquoted encoding"},
      {"<?xml version='1.0'encoding='UTF-8'?><a/>", LoadStatus::NotWellFormed, "no space between pseudo-attributes"},
      {"<a/><!DOCTYPE a>", LoadStatus::NotWellFormed, "document type declaration after the root"},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", LoadStatus::NotWellFormed, "two document type declarations"},
      {"<a><!DOCTYPE a></a>", LoadStatus::NotWellFormed, "document type declaration inside the root"},
      {"<a>&foo;</a>", LoadStatus::NotWellFormed, "undeclared entity"},
      {"<a>fish & chips</a>", LoadStatus::NotWellFormed, "bare ampersand"},
      {"<a>&#1;</a>", LoadStatus::NotWellFormed, "reference to a control character"},
      {"<a x='&#0;'/>", LoadStatus::NotWellFormed, "reference to NUL in an attribute"},
      {"<a>&#xFFFE;</a>", LoadStatus::NotWellFormed, "reference to U+FFFE"},
      {"<a>&#X41;</a>", LoadStatus::NotWellFormed, "a hexadecimal reference with a capital X"},
      {"<a x='<'/>", LoadStatus::NotWellFormed, "'<' in an attribute value"},
      {"<a x='1' x='2'/>", LoadStatus::NotWellFormed, "an attribute given twice"},
      {"<DeviceSeries strVersion='3.3.0.0' strVersion='1.0.0.0'/>", LoadStatus::NotWellFormed, "strVersion twice"},
      {"<a x='1'y='2'/>", LoadStatus::NotWellFormed, "no space between attributes"},
      {"<a x=1/>", LoadStatus::NotWellFormed, "an unquoted attribute value"},
      {"<a><!-- a -- b --></a>", LoadStatus::NotWellFormed, "'--' inside a comment"},
      {"<a><!-- a ---></a>", LoadStatus::NotWellFormed, "a comment ending in '-'"},
      {"<a>x ]]> y</a>", LoadStatus::NotWellFormed, "']]>' in text"},
      {"<a\xC3\x97/>", LoadStatus::NotWellFormed, "a name character XML does not allow (U+00D7)"},
      {"<1a/>", LoadStatus::NotWellFormed, "a name that starts with a digit"},
      {"<a><?xml-stylesheet?><?pi?x?></a>", LoadStatus::NotWellFormed, "no space after a processing instruction's target"},
      {"<a>\xC3</a>", LoadStatus::NotWellFormed, "truncated UTF-8 sequence"},
      {"<a>\xC0\xAF</a>", LoadStatus::NotWellFormed, "overlong UTF-8"},
      {"<a>\xE0\x80\xAF</a>", LoadStatus::NotWellFormed, "overlong three-byte UTF-8"},
      {"<a>\xED\xA0\x80</a>", LoadStatus::NotWellFormed, "UTF-8 encoded surrogate"},
      {"<a>\xF4\x90\x80\x80</a>", LoadStatus::NotWellFormed, "beyond U+10FFFF"},
      {"<a>\xFF</a>", LoadStatus::NotWellFormed, "byte that is never UTF-8"},
      {"<a>\x80</a>", LoadStatus::NotWellFormed, "a lone continuation byte"},
      {"<a>\xE2\x82</a>", LoadStatus::NotWellFormed, "a three-byte sequence cut short"},
      {"<a>\x01</a>", LoadStatus::NotWellFormed, "control character"},
      {"<a>\xEF\xBF\xBF</a>", LoadStatus::NotWellFormed, "U+FFFF"},
      {"<a>\xEF\xBF\xBE</a>", LoadStatus::NotWellFormed, "U+FFFE"},
      {"<a>x"s + '\0' + "y</a>", LoadStatus::NotWellFormed, "a zero byte inside the root"},
      {"<a/>"s + '\0', LoadStatus::NotWellFormed, "a zero byte after the root"},
      // Not read, so neither kept as loaded nor called not well-formed: the file is kept as it is.
      {"\xFF\xFE\x00\x00<\x00\x00\x00"s, LoadStatus::Declined, "UTF-32"},
      {"\x00\x00\x00<\x00\x00\x00a\x00\x00\x00/\x00\x00\x00>"s, LoadStatus::Declined, "UTF-32 without byte-order mark"},
      {utf16(u"<a>\xD800</a>", false, true), LoadStatus::Declined, "UTF-16 with an unpaired surrogate"},
      {utf16(u"<?xml version='1.0' encoding='UTF-8'?><a/>", false, true), LoadStatus::Declined, "UTF-16 declaring UTF-8"},
      {"<!DOCTYPE a [<!ENTITY e 'xxxxxxxxxx'>]><a>&e;</a>", LoadStatus::Declined, "an entity declared in an internal subset"},
      {"<!DOCTYPE a []><a/>", LoadStatus::Declined, "an empty internal subset"},
      {"<!DOCTYPE a SYSTEM 'a.dtd'><a/>", LoadStatus::Declined, "an external subset"},
      {"<!DOCTYPE a PUBLIC '-//x//y' 'http://192.0.2.1/a.dtd'><a/>", LoadStatus::Declined, "a public identifier"},
      {"<?xml version='1.0' encoding='Shift_JIS'?><a/>", LoadStatus::Declined, "a declared encoding this DOM cannot read"},
      {"<?xml version='1.0' encoding='US-ASCII'?><a>caf\xC3\xA9</a>", LoadStatus::Declined, "a byte US-ASCII does not define"},
      {"<?xml version='1.0' encoding='windows-1252'?><a>\x81</a>", LoadStatus::Declined, "a byte windows-1252 does not define"},
      {"<?xml version='1.0' encoding='UTF-8'?><a/>", LoadStatus::Loaded, "the declaration a description has"},
      {"<?xml version = \"1.0\"  encoding = 'utf-8' standalone = 'yes' ?><a/>", LoadStatus::Loaded, "spaces around '='"},
      {"<a>&#32;</a>", LoadStatus::Loaded, "text that is only a character reference"},
      {"<\xC3\xA9l\xC3\xA9ment \xE5\x90\x8D='\xE5\x80\xA4'/>", LoadStatus::Loaded, "names of letters outside ASCII"},
      {"<a x='>]]>'/>", LoadStatus::Loaded, "'>' and ']]>' in an attribute value"},
      {"<a><!----></a>", LoadStatus::Loaded, "an empty comment"},
      {"<a><b.c-d_e></b.c-d_e \n></a>", LoadStatus::Loaded, "an end tag with white space before '>'"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.path("case.xml");
    xmltest::writeFile(path, c.bytes);
    dom::Document document = dom::Document::create();
    const dom::LoadResult result = document.load(path);
    EXPECT_EQ(dom::describe(result.status), std::string(dom::describe(c.verdict))) << c.why << ": " << result.reason;
    if (c.verdict == LoadStatus::NotWellFormed) {
      EXPECT_GE(result.line, 1u) << c.why << ": the place is given";
    }
    if (c.verdict != LoadStatus::Loaded) {
      EXPECT_FALSE(document.node().firstChild()) << c.why << ": the document is left empty";
    }
  }
}

TEST(DomLoad, AcceptsWellFormedDocumentsThatLookSuspicious) {
  xmltest::TempFolder folder;
  const struct {
    const char* xml;
    const char* value;
  } cases[] = {
      {"<a><!-- fish & chips <b> --></a>", ""},
      {"<a x=\"&lt;b&gt; &amp; &#x3C;\">v</a>", "v"},
      {"<r><a>x=\"</a><b>\"</b></r>", "x=\"\""},
      {"<a>y</a><?pi a <? b?>", "y"},
      {"<?xml version='1.0'?>\n<!-- c -->\n<?p d?>\n<a>z</a>\n<!-- tail -->\n<?q?>\n", "z"},
      {"<a><![CDATA[ & < ]]></a>", " & < "},
      {"<a><?xml-stylesheet href='s'?>w</a>", "w"},
      {"<?xml version='1.0'?>\n<!DOCTYPE a>\n<a>d</a>", "d"},
      {"<!DOCTYPE  a  ><a>e</a>", "e"},
      {"<a>&#x000000000041;&#00066;</a>", "AB"},
  };
  for (const auto& c : cases) {
    const dom::Document loaded = xmltest::loadText(folder, c.xml);
    ASSERT_TRUE(loaded) << c.xml;
    EXPECT_EQ(xmltest::rootOf(loaded).value(), c.value) << c.xml;
  }
}

TEST(DomLoad, ReadsEveryEncodingItAccepts) {
  xmltest::TempFolder folder;
  const std::u16string document = u"<?xml version='1.0' encoding='UTF-16'?><a>\x5149\x6CA2 \xD83D\xDE00</a>";
  const std::string expected = "光沢 \xF0\x9F\x98\x80";
  const struct {
    std::string bytes;
    std::string value;
    const char* why;
  } cases[] = {
      {"<a>光沢</a>", "光沢", "UTF-8 without declaration"},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><a>光沢</a>", "光沢", "UTF-8 with byte-order mark"},
      {utf16(document, false, true), expected, "UTF-16 little endian with byte-order mark"},
      {utf16(document, true, true), expected, "UTF-16 big endian with byte-order mark"},
      {utf16(document, false, false), expected, "UTF-16 little endian recognised by its start"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><a>caf\xE9</a>", "café", "ISO-8859-1"},
      {"<?xml version='1.0' encoding='windows-1252'?><a>\x80 caf\xE9</a>", "€ café", "windows-1252"},
      {"<?xml version='1.0' encoding='US-ASCII'?><a>plain</a>", "plain", "US-ASCII"},
  };
  for (const auto& c : cases) {
    const dom::Document loaded = xmltest::loadText(folder, c.bytes);
    ASSERT_TRUE(loaded) << c.why;
    EXPECT_EQ(xmltest::rootOf(loaded).value(), c.value) << c.why;
  }
}

// Well-formed documents that a DOM may still refuse to build (its limits on nesting and sizes, its
// own reading of names and versions): never called not well-formed, so never replaced unmerged.
TEST(DomLoad, AWellFormedDocumentIsNeverCalledNotWellFormed) {
  xmltest::TempFolder folder;
  std::string deep;
  for (int i = 0; i < 300; ++i) deep += "<n>";
  for (int i = 0; i < 300; ++i) deep += "</n>";
  const struct {
    std::string bytes;
    const char* why;
  } cases[] = {
      {"<?xml version='1.1'?><a/>", "a later 1.x version"},
      {"<a:b:c x:y='1'/>", "names with two colons"},
      {deep, "300 levels of nesting"},
      {"<a x='" + std::string(11u << 20, 'v') + "'/>", "an attribute value of 11 MiB"},
      {"<a><!--" + std::string(11u << 20, 'c') + "--></a>", "a comment of 11 MiB"},
  };
  for (const auto& c : cases) {
    const std::string path = folder.path("large.xml");
    xmltest::writeFile(path, c.bytes);
    dom::Document document = dom::Document::create();
    const dom::LoadResult result = document.load(path);
    EXPECT_TRUE(result || result.status == dom::LoadStatus::BeyondDomLimits)
        << c.why << ": " << dom::describe(result.status) << ": " << result.reason;
  }
}

TEST(DomLoad, AMissingFileIsUnreadableNotRejected) {
  xmltest::TempFolder folder;
  dom::Document document = dom::Document::create();
  const dom::LoadResult missing = document.load(folder.path("absent.xml"));
  EXPECT_EQ(missing.status, dom::LoadStatus::Unreadable) << "nothing was read to reject";
  EXPECT_FALSE(missing.reason.empty());
  xmltest::writeFile(folder.path("present.xml"), "<a/>");
  const dom::LoadResult present = document.load(folder.path("present.xml"));
  EXPECT_TRUE(present);
  EXPECT_TRUE(present.reason.empty());
}

TEST(DomLoad, ReportsWhereTheDocumentIsBroken) {
  xmltest::TempFolder folder;
  const struct {
    std::string bytes;
    std::size_t line;
    std::size_t column;
  } cases[] = {
      {"<a>\n  <b>x</b>\n  <c>caf\xE9</c>\n</a>", 3, 9},
      {"<a>\n  <b>x</c>\n</a>", 2, 7},
      {"<a>\n<b x='1' x='2'/></a>", 2, 10},
  };
  for (const auto& c : cases) {
    const std::string path = folder.path("broken.xml");
    xmltest::writeFile(path, c.bytes);
    dom::Document document = dom::Document::create();
    const dom::LoadResult result = document.load(path);
    ASSERT_EQ(result.status, dom::LoadStatus::NotWellFormed) << c.bytes;
    EXPECT_EQ(result.line, c.line) << c.bytes;
    EXPECT_EQ(result.column, c.column) << c.bytes;
    EXPECT_NE(result.reason.find("line " + std::to_string(c.line)), std::string::npos) << result.reason;
  }
}

TEST(DomValue, ConcatenatesTextAndCDataUntrimmed) {
  xmltest::TempFolder folder;
  const struct {
    const char* xml;
    const char* value;
  } cases[] = {
      {"<d>1<e>2</e>3</d>", "123"},
      {"<a> true</a>", " true"},
      {"<a>  </a>", ""},
      {"<a>&#32;</a>", " "},  // only raw white space is dropped
      {"<a><![CDATA[<x>]]> &amp; y</a>", "<x> & y"},
      {"<a>x<!-- not text -->y<?pi not text?></a>", "xy"},
      {"<a>&lt;&#x41;&#66;&gt;&quot;&apos;</a>", "<AB>\"'"},
      {"<a>line1\r\nline2</a>", "line1\nline2"},
      {"<a/>", ""},
  };
  for (const auto& c : cases) {
    const dom::Document loaded = xmltest::loadText(folder, c.xml);
    ASSERT_TRUE(loaded) << c.xml;
    EXPECT_EQ(xmltest::rootOf(loaded).value(), c.value) << c.xml;
  }
}

TEST(DomValue, ADeeplyNestedDocumentLoadsReadsAndSaves) {
  xmltest::TempFolder folder;
  constexpr int kDepth = 100000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  text += "x";
  for (int i = 0; i < kDepth; ++i) text += "</a>";
  text += "\n";
  const dom::Document loaded = xmltest::loadText(folder, text);
  // A DOM may refuse such nesting; what it must not do is fail in any other way.
  if (!loaded) GTEST_SKIP() << "this DOM refuses a nesting depth of " << kDepth;
  EXPECT_EQ(xmltest::rootOf(loaded).value(), "x");
  loaded.save(folder.path("deep.xml"));
  dom::Document again = dom::Document::create();
  EXPECT_TRUE(again.load(folder.path("deep.xml")));
}

TEST(DomWalk, DropsIndentationAndKeepsCommentsAndProcessingInstructions) {
  xmltest::TempFolder folder;
  const dom::Document loaded = xmltest::loadText(
      folder, "<?xml version='1.0' encoding='UTF-8'?>\n<!-- top -->\n<r at='1' next='2'>\n  <a>x</a>\n  <!-- c -->\n  <?p d?>\n  <![CDATA[z]]>\n</r>\n");
  ASSERT_TRUE(loaded);
  std::vector<std::string> top;
  for (dom::Node n = loaded.node().firstChild(); n; n = n.nextSibling()) top.push_back(n.name());
  EXPECT_EQ(top, (std::vector<std::string>{"xml", "#comment", "r"}));
  EXPECT_EQ(loaded.node().firstChild().type(), dom::NodeType::ProcessingInstruction);

  std::vector<std::pair<dom::NodeType, std::string>> children;
  for (dom::Node n = xmltest::rootOf(loaded).firstChild(); n; n = n.nextSibling()) children.emplace_back(n.type(), n.name());
  const std::vector<std::pair<dom::NodeType, std::string>> expected = {
      {dom::NodeType::Element, "a"},
      {dom::NodeType::Comment, "#comment"},
      {dom::NodeType::ProcessingInstruction, "p"},
      {dom::NodeType::CData, "#cdata-section"},
  };
  EXPECT_EQ(children, expected);
  EXPECT_EQ(xmltest::rootOf(loaded).firstChild().nextSibling().value(), " c ");
  EXPECT_EQ(xmltest::rootOf(loaded).attribute("at").value(), "1");
  EXPECT_FALSE(xmltest::rootOf(loaded).attribute("At"));
  EXPECT_FALSE(xmltest::rootOf(loaded).attribute("at").nextSibling()) << "attributes are no siblings";
  EXPECT_FALSE(xmltest::rootOf(loaded).attribute("at").firstChild()) << "an attribute's text is no child";
  std::vector<std::string> attributes;
  for (std::size_t i = 0; dom::Node a = xmltest::rootOf(loaded).attributeAt(i); ++i) attributes.push_back(a.name() + "=" + a.value());
  EXPECT_EQ(attributes, (std::vector<std::string>{"at=1", "next=2"}));
  EXPECT_FALSE(xmltest::rootOf(loaded).firstChild().attributeAt(0)) << "an element without attributes";
  EXPECT_FALSE(xmltest::rootOf(loaded).firstChild().hasName("A"));
}

TEST(DomNode, AnEmptyNodeThrowsInvalidPointer) {
  const dom::Node none;
  dom::Node target;
  const std::vector<std::function<void()>> operations = {
      [&] { (void)none.type(); },          [&] { (void)none.name(); },
      [&] { (void)none.value(); },         [&] { (void)none.firstChild(); },
      [&] { (void)none.nextSibling(); },   [&] { (void)none.attribute("a"); },
      [&] { target.setValue("x"); },       [&] { target.setAttribute("a", "b"); },
      [&] { target.appendChild(none); },   [&] { (void)none.hasName("a"); },
  };
  for (std::size_t i = 0; i < operations.size(); ++i) {
    try {
      operations[i]();
      ADD_FAILURE() << "operation " << i << " did not throw";
    } catch (const dom::Error& e) {
      EXPECT_EQ(e.code(), dom::kInvalidPointer) << i;
      EXPECT_STREQ(e.what(), "DOM error 0x80004003 (invalid pointer)");
    }
  }
}

dom::Node writeText(dom::Document& doc, const char* text) {
  dom::Node element = doc.createElement("t");
  element.setValue(text);
  return element;
}

TEST(DomNode, CreatedNodesStayOutOfTheDocumentUntilAppended) {
  dom::Document doc = dom::Document::create();
  dom::Node element = doc.createElement("root");
  doc.createElement("never_appended").setValue("hidden");
  EXPECT_FALSE(doc.node().firstChild());
  element.appendChild(writeText(doc, "shown"));
  doc.node().appendChild(element);
  EXPECT_TRUE(doc.node().firstChild().hasName("root"));
  EXPECT_FALSE(doc.node().firstChild().nextSibling());
  EXPECT_EQ(doc.node().value(), "shown");
  EXPECT_THROW(doc.createElement(""), dom::Error);
  EXPECT_THROW(doc.createElement("1abc"), dom::Error);
  EXPECT_THROW(element.appendChild(doc.createAttribute("a")), dom::Error);
}

class DomSave : public ::testing::Test {
 protected:
  // A small document built the way the frame builds one.
  dom::Document build(const std::string& value) {
    dom::Document doc = dom::Document::create();
    doc.insertBefore(doc.createProcessingInstruction("xml", "version='1.0' encoding='UTF-8'"), dom::Node());
    dom::Node root = doc.createElement("DeviceSeries");
    root.setAttribute("strVersion", "3.3.0.0");
    if (!value.empty()) root.setAttribute("note", value);
    dom::Node list = doc.createElement("aList");
    dom::Node entry = doc.createElement("value");
    entry.setValue(value);
    list.appendChild(entry);
    root.appendChild(list);
    root.appendChild(doc.createElement("empty"));
    doc.node().appendChild(root);
    return doc;
  }

  xmltest::TempFolder folder_;
};

TEST_F(DomSave, WritesIndentedUtf8WithTheDeclaration) {
  const std::string path = folder_.path("out.xml");
  build("").save(path);
  EXPECT_NE(xmltest::readFile(path).find("<value />"), std::string::npos) << "an empty value is an empty-element tag";
  build("a & b < c").save(path);
  EXPECT_EQ(xmltest::readFile(path),
            "<?xml version='1.0' encoding='UTF-8'?>\n"
            "<DeviceSeries strVersion=\"3.3.0.0\" note=\"a &amp; b &lt; c\">\n"
            "  <aList>\n"
            "    <value>a &amp; b &lt; c</value>\n"
            "  </aList>\n"
            "  <empty />\n"
            "</DeviceSeries>\n");
}

TEST_F(DomSave, WhatIsSavedLoadsBackUnchanged) {
  const std::string path = folder_.path("out.xml");
  const std::vector<std::string> values = {" leading and trailing ", "<&>\"'", "Глянцевая бумага", "ورق لامع",
                                           "光沢紙 \xF0\x9F\x96\xA8", "]]>", "tab\there",
                                           "two\r\nline ends\r", " ", "\t\r\n "};
  for (const std::string& value : values) {
    build(value).save(path);
    dom::Document loaded = dom::Document::create();
    ASSERT_TRUE(loaded.load(path)) << loaded.load(path).reason;
    const dom::Node root = xmltest::rootOf(loaded);
    EXPECT_EQ(root.firstChild().firstChild().value(), value);
    EXPECT_EQ(root.attribute("strVersion").value(), "3.3.0.0");
    EXPECT_EQ(root.attribute("note").value(), value) << "as an attribute";
    // Saving the loaded document again gives the same bytes.
    const std::string first = xmltest::readFile(path);
    loaded.save(folder_.path("again.xml"));
    EXPECT_EQ(xmltest::readFile(folder_.path("again.xml")), first) << value;
  }
}

TEST_F(DomSave, ADeclarationOfAnotherEncodingIsSavedDeclaringUtf8) {
  dom::Document doc = dom::Document::create();
  doc.insertBefore(doc.createProcessingInstruction("xml", "version='1.0' encoding='ISO-8859-1'"), dom::Node());
  dom::Node root = doc.createElement("r");
  root.setValue("Gl\xC3\xA4nzend");
  doc.node().appendChild(root);
  EXPECT_EQ(doc.text(), "<?xml version='1.0' encoding='UTF-8'?>\n<r>Gl\xC3\xA4nzend</r>\n");
  EXPECT_NE(doc.node().firstChild().value().find("ISO-8859-1"), std::string::npos) << "the document keeps its own";
}

TEST_F(DomSave, ALoadedDocumentWithoutDeclarationIsSavedWithoutOne) {
  const dom::Document loaded = xmltest::loadText(folder_, "<r>\n<a>1</a><b/>\n</r>");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded.text(), "<r>\n  <a>1</a>\n  <b />\n</r>\n");
}

TEST_F(DomSave, RefusesTextThatWouldNotLoadAgain) {
  const std::string path = folder_.path("out.xml");
  xmltest::writeFile(path, "old");
  EXPECT_THROW(build("\xC3(").save(path), dom::Error) << "invalid UTF-8";
  EXPECT_THROW(build("bell\x07").save(path), dom::Error) << "a control character";
  EXPECT_THROW(build("a\0b"s), dom::Error) << "a zero byte";
  EXPECT_EQ(xmltest::readFile(path), "old");
}

TEST_F(DomSave, AFailedSaveLeavesNoPartialFile) {
  try {
    build("x").save(folder_.path("no/such/folder/out.xml"));
    ADD_FAILURE() << "saved into a missing folder";
  } catch (const dom::Error& e) {
    EXPECT_EQ(e.code(), dom::kFailed);
  }

  // A save into a new file looks whether the file already holds the text (1), for a stale scratch
  // file (2), creates the scratch file (3), gives it the access of a file it replaces (4) and writes
  // it in one call (5): make the write fail.
  static char faultAt[] = "NEXLUME_FAULT_AT=5";
  static char noFault[] = "NEXLUME_FAULT_AT=";
  const std::string path = folder_.path("out.xml");
  putenv(faultAt);
  platform::resetFaultInjectionForTesting();
  EXPECT_THROW(build("x").save(path), dom::Error);
  putenv(noFault);
  platform::resetFaultInjectionForTesting();
  EXPECT_FALSE(xmltest::fileExists(path));
}

TEST(DomCom, InitialisationsAreCounted) {
  const int before = dom::comInitializationCount();
  ASSERT_TRUE(dom::initializeCom());
  EXPECT_EQ(dom::comInitializationCount(), before + 1);
  dom::uninitializeCom();
  EXPECT_EQ(dom::comInitializationCount(), before);
  EXPECT_TRUE(dom::IsMsxmlAvailable());
  EXPECT_TRUE(dom::IsMsxmlAvailable());
}

}  // namespace
