// The well-formedness judge against an independent one, in both directions. "Not well-formed" is the
// only verdict that lets the update merge replace an installed description unmerged; so for any bytes
// that libxml2 parses as well-formed (no network, no DTD loaded, no entity substituted) the load must
// never give it, and what the load accepts libxml2 must accept too. A document the project declines
// (a DTD that declares something, an encoding it does not read) is no verdict either way.
#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "xmlio/Dom.h"

namespace {

bool libxml2FindsWellFormed(const std::uint8_t* data, std::size_t size) {
  if (size > static_cast<std::size_t>(INT32_MAX)) return false;
  xmlDocPtr document = xmlReadMemory(reinterpret_cast<const char*>(data), static_cast<int>(size), "input.xml", nullptr,
                                     XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
  if (document == nullptr) return false;
  xmlFreeDoc(document);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  xmlInitParser();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzzsupport::scratchFolder() + "/verdict.xml";
  fuzzsupport::writeFile(path, data, size);
  dom::Document document = dom::Document::create();
  const dom::LoadResult verdict = document.load(path);
  const bool wellFormed = libxml2FindsWellFormed(data, size);
  if (verdict.notWellFormed() && wellFormed) {
    // libxml2 ends its reading at a zero byte after the root element and takes what came before; XML
    // allows no zero byte anywhere, and a file a crash padded with zeros is such a file.
    if (verdict.reason.find("a zero byte") == std::string::npos)
      fuzzsupport::finding("a document that libxml2 parses as well-formed was judged not well-formed:", verdict.reason);
  }
  // The other way: what the judge lets through libxml2 reads too (a DOM's own limits aside).
  if ((verdict || verdict.status == dom::LoadStatus::BeyondDomLimits) && !wellFormed)
    fuzzsupport::finding("a document that libxml2 refuses was judged well-formed:", std::string(data, data + size));
  return 0;
}
