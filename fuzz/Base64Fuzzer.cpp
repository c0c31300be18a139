// CBase64::Decode on any text: it never reads past the text, gives 3 bytes per group of 4 characters
// less the padding, and its output encodes and decodes back to itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "xmlio/Encodings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A copy of exactly `size` bytes, so that AddressSanitizer sees any read past the end.
  std::vector<char> text(data, data + size);
  CBase64 codec;
  std::vector<std::uint8_t> decoded;
  if (codec.Decode(text.data(), text.size(), decoded) != 0) return 0;
  if (decoded.size() > size / 4 * 3) fuzzsupport::finding("more bytes than the text can hold");
  std::string encoded;
  if (codec.Encode(decoded.data(), decoded.size(), encoded) != 0) fuzzsupport::finding("Encode refused Decode's output");
  std::vector<std::uint8_t> again;
  if (codec.Decode(encoded.data(), encoded.size(), again) != 0 || again != decoded)
    fuzzsupport::finding("Base64 does not round-trip");
  return 0;
}
