// The saved layout written from a DOM's own serialisation (the MSXML backend's way), and the text the
// component is given to parse. Both are plain text functions, so they are checked on every build.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "XmlTestSupport.h"
#include "xmlio/Dom.h"
#include "xmlio/SavedText.h"
#include "xmlio/XmlSource.h"

namespace {

std::string laidOut(std::string_view serialised) { return std::string(savedtext::layOut(serialised).view()); }

// A serialisation as a DOM writes one (references of its own choosing, no white space of its own)
// gives the layout that the tree walk of the other backend gives.
TEST(SavedTextLayOut, WritesAComponentsSerialisationInTheSavedLayout) {
  const struct {
    const char* serialised;
    const char* saved;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<r a=\"x&#9;y&#xA;z&#xD;&quot;\"><e/><e></e><t>a&#xD;&#10;b &apos;q&apos; > &gt;</t></r>\r\n",
       "<?xml version='1.0' encoding='UTF-8'?>\n<r a=\"x&#09;y&#10;z&#13;&quot;\">\n  <e />\n  <e />\n  <t>a&#13;\nb 'q' &gt; &gt;</t>\n</r>\n"},
      {"<!--top--><r><a>1<b>2</b>3</a><!-- c --><?p  data?><?q?><![CDATA[<x>]]></r>",
       "<!--top-->\n<r>\n  <a>1<b>2</b>3</a>\n  <!-- c -->\n  <?p data?>\n  <?q?><![CDATA[<x>]]></r>\n"},
      {"\xEF\xBB\xBF<r x='1' y = \"&lt;2&gt;\"><s><t>&#x41D;&#1072;</t></s></r>",
       "<r x=\"1\" y=\"&lt;2>\">\n  <s>\n    <t>\xD0\x9D\xD0\xB0</t>\n  </s>\n</r>\n"},
      {"<!DOCTYPE r><r>  </r>", "<r>  </r>\n"},
  };
  for (const auto& c : cases) {
    try {
      EXPECT_EQ(laidOut(c.serialised), c.saved) << c.serialised;
    } catch (const dom::Error& e) {
      ADD_FAILURE() << c.serialised << ": " << e.what();
    }
  }
}

TEST(SavedTextLayOut, RefusesWhatIsNoSerialisationOfADocument) {
  for (const char* serialised : {"<r>", "<r></s></r>x", "text<r/>", "<r a=1/>", "<r><!-- open</r>", "<r>&unknown;</r>",
                                 "<r>&#xFFFFFFFF;</r>", "<r>\x01</r>", "</r>"}) {
    EXPECT_THROW((void)laidOut(serialised), dom::Error) << serialised;
  }
}

// What one backend saved, with its layout taken out again, is laid out to the same bytes: the two
// writers agree, on a shipped description and on the constructs the descriptions do not use.
TEST(SavedTextLayOut, AgreesWithTheTreeWalkOnSavedDocuments) {
  xmltest::TempFolder folder;
  const std::string shipped =
      (std::filesystem::path(NEXLUME_SOURCE_DIR) / "resources/Tessaprint/Device/Nexlume Q7 D4.dsr").string();
  dom::Document description = dom::Document::create();
  ASSERT_TRUE(description.load(shipped)) << description.load(shipped).reason;
  const dom::Document tricky = xmltest::loadText(
      folder,
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" standalone=\"yes\"?>\n<!-- top -->\n<r a=\"&#9;&#10;&#13;&quot;&amp;\">\n"
      "  <a>  x &amp; y  </a>\n  <b><c/></b>\n  <?p d?>\n  <d>1<!--in-->2<![CDATA[ ]]></d>\n</r>\n<?tail?>\n");
  ASSERT_TRUE(tricky);
  const dom::Document* documents[] = {&description, &tricky};
  for (const dom::Document* document : documents) {
    const std::string saved = document->text();
    const std::string compact = xmlsource::withoutBlankText(saved);
    ASSERT_LT(compact.size(), saved.size());
    EXPECT_EQ(laidOut(compact), saved);
  }
}

TEST(SavedTextComponentInput, LeavesOutBlankTextTheDoctypeAndAnyOtherEncoding) {
  const std::string text =
      "<?xml version=\"1.0\"   encoding=\"ISO-8859-1\"?>\n<!DOCTYPE r>\n<r>\n  <a> x </a>\n  <b>&#32;</b>\t\r\n"
      "  <c a='> \"x\"' b=\"'\">  </c><!-- > < -->  <![CDATA[ ]]> <?p > ?>\n</r>\n";
  const std::size_t doctypeAt = text.find("<!DOCTYPE");
  EXPECT_EQ(xmlsource::withoutBlankText(text, {doctypeAt, std::string_view("<!DOCTYPE r>").size()}),
            "<?xml version='1.0' encoding='UTF-8'?><r><a> x </a><b>&#32;</b><c a='> \"x\"' b=\"'\"></c>"
            "<!-- > < --><![CDATA[ ]]><?p > ?></r>");
  // What is left open is copied as it stands, for the parser to refuse.
  const struct {
    const char* open;
    const char* given;
  } open[] = {{"<r><!-- x", "<r><!-- x"}, {"<r a='x", "<r a='x"}, {"<r>\n  <![CDATA[", "<r><![CDATA["}, {"<r><?p", "<r><?p"}};
  for (const auto& c : open) EXPECT_EQ(xmlsource::withoutBlankText(c.open), c.given) << c.open;
  EXPECT_EQ(xmlsource::withoutBlankText("<?xml version='1.0'?><r/>"), "<?xml version='1.0'?><r/>");
}

}  // namespace
