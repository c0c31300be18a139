// The saved layout, byte for byte, and the text the MSXML component is given to parse. The documents
// are loaded through the DOM interface, so the same table runs on every backend.
#include <gtest/gtest.h>

#include <string>

#include "XmlTestSupport.h"
#include "xmlio/Dom.h"
#include "xmlio/XmlSource.h"

namespace {

TEST(SavedText, LaysOutEveryKindOfNode) {
  xmltest::TempFolder folder;
  const struct {
    const char* loaded;
    const char* saved;
    const char* what;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r a='1'><a>5</a><b/><c><d>x</d></c></r>",
       "<?xml version='1.0' encoding='UTF-8'?>\n<r a=\"1\">\n  <a>5</a>\n  <b />\n  <c>\n    <d>x</d>\n  </c>\n</r>\n",
       "declaration, nesting and indentation, empty element"},
      {"<?xml version='1.0'  encoding='ISO-8859-1' standalone='yes'?>\n<r>caf\xE9</r>",
       "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n<r>caf\xC3\xA9</r>\n", "a declaration of another encoding"},
      {"<r/>", "<r />\n", "no declaration"},
      {"<r>\n  <a>1<b>2</b>3</a>\n  <c>t<!--n--><e/></c>\n</r>",
       "<r>\n  <a>1<b>2</b>3</a>\n  <c>t<!--n-->\n    <e />\n  </c>\n</r>\n",
       "a text inline, and the node right after it"},
      {"<r>a&#13;b\r\nc&#xD;</r>", "<r>a&#13;b\nc&#13;</r>\n", "a carriage return"},
      {"<r>&lt;&amp;&gt;&quot;&apos; ]]&gt;</r>", "<r>&lt;&amp;&gt;\"' ]]&gt;</r>\n", "escapes in a text"},
      {"<r a='&lt;&amp;&gt;&quot;&apos;' b='&#9;&#10;&#13;' c=\"'\"/>",
       "<r a=\"&lt;&amp;>&quot;'\" b=\"&#09;&#10;&#13;\" c=\"'\" />\n", "escapes in an attribute value"},
      {"<!--top--><?p  data?><r><!-- c --><?q?><e/></r><!--end-->",
       "<!--top-->\n<?p data?>\n<r>\n  <!-- c -->\n  <?q?>\n  <e />\n</r>\n<!--end-->\n",
       "comments and processing instructions"},
      {"<r><![CDATA[<x> & ]]></r>", "<r><![CDATA[<x> & ]]></r>\n", "CDATA"},
      {"<r>\xD0\x93\xE5\x85\x89</r>", "<r>\xD0\x93\xE5\x85\x89</r>\n", "characters beyond ASCII as they are"},
      {"<r><a>&#32;</a><b>&#9;&#10;&#13; </b><c> x </c></r>",
       "<r>\n  <a>&#32;</a>\n  <b>&#09;&#10;&#13;&#32;</b>\n  <c> x </c>\n</r>\n", "a value of white space alone"},
  };
  for (const auto& c : cases) {
    const dom::Document loaded = xmltest::loadText(folder, c.loaded);
    ASSERT_TRUE(loaded) << c.what;
    try {
      EXPECT_EQ(loaded.text(), c.saved) << c.what;
    } catch (const dom::Error& e) {
      ADD_FAILURE() << c.what << ": " << e.what();
    }
  }
}

// Indentation stops growing at 32 levels, so that deep nesting cannot blow the text up.
TEST(SavedText, IndentsAtMostThirtyTwoLevels) {
  xmltest::TempFolder folder;
  constexpr int kDepth = 35;
  std::string loaded;
  std::string saved;
  for (int level = 0; level < kDepth; ++level) {
    loaded += "<n>";
    saved += std::string(2 * std::min(level, 32), ' ') + "<n>\n";
  }
  loaded += "<e/>";
  saved += std::string(64, ' ') + "<e />\n";
  for (int level = kDepth - 1; level >= 0; --level) {
    loaded += "</n>";
    saved += std::string(2 * std::min(level, 32), ' ') + "</n>\n";
  }
  const dom::Document document = xmltest::loadText(folder, loaded);
  ASSERT_TRUE(document);
  EXPECT_EQ(document.text(), saved);
}

// What a DOM that keeps all white space is given: the stretches the judge marked are left out, and the
// declared encoding is the UTF-8 the text has become.
TEST(SavedTextComponentInput, LeavesOutBlankTextTheDoctypeAndAnyOtherEncoding) {
  const struct {
    const char* text;
    const char* given;
  } cases[] = {
      {"<?xml version=\"1.0\"   encoding=\"ISO-8859-1\"?>\n<!DOCTYPE r>\n<r>\n  <a> x </a>\n  <b>&#32;</b>\t\r\n"
       "  <c a='> \"x\"' b=\"'\">  </c><!-- > < -->  <![CDATA[ ]]> <?p > ?>\n</r>\n",
       "<?xml version=\"1.0\"   encoding=\"UTF-8\"?><r><a> x </a><b>&#32;</b><c a='> \"x\"' b=\"'\"></c>"
       "<!-- > < --><![CDATA[ ]]><?p > ?></r>"},
      {"<?xml version='1.0'?><r/>", "<?xml version='1.0'?><r/>"},
      {" <!DOCTYPE r > <r> a ] b <e/>  &amp; </r> ", "<r> a ] b <e/>  &amp; </r>"},
      {"<r>\n  <e>  </e>\n</r>", "<r><e></e></r>"},
  };
  for (const auto& c : cases) {
    const xmlsource::JudgedDocument judged = xmlsource::judgeBytes(c.text, xmlsource::BlankText::Listed);
    ASSERT_TRUE(judged.verdict) << c.text << ": " << judged.verdict.reason;
    EXPECT_EQ(xmlsource::withoutBlankText(judged), c.given) << c.text;
  }
}

}  // namespace
