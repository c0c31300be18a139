// The "not well-formed" verdict against an independent judge. That verdict is the only one that lets
// the update merge replace an installed description unmerged, dropping the user's media; so for any
// bytes that libxml2 parses as well-formed (no network, no DTD loaded, no entity substituted), the
// DOM must never give it. The reverse is allowed: a document libxml2 refuses may still be kept.
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
  if (document.load(path) || !document.loadRejectedContent()) return 0;
  if (libxml2FindsWellFormed(data, size))
    fuzzsupport::finding("a document that libxml2 parses as well-formed was judged not well-formed:", document.loadError());
  return 0;
}
