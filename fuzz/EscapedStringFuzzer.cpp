// decodeEscapedString on any text: it returns the bytes or throws its one exception type, and what
// it returns encodes to a text that decodes to the same bytes.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "FuzzSupport.h"
#include "xmlio/Encodings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string decoded;
  try {
    decoded = decodeEscapedString(text);
  } catch (const std::runtime_error&) {
    return 0;
  }
  if (decoded.size() > size) fuzzsupport::finding("decoded text longer than its source");
  const std::string encoded = encodeEscapedString(decoded);
  for (const char c : encoded)
    if (c < 0x20 || c > 0x7E) fuzzsupport::finding("the escaped form holds a byte that is not printable ASCII");
  if (decodeEscapedString(encoded) != decoded) fuzzsupport::finding("escaping does not round-trip");
  return 0;
}
