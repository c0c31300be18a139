// The embedded files: a table that the build generates from a manifest (see EmbedFiles.cmake) and
// links into each program, one entry per resource id pointing at data placed in the image by .incbin.
#include <cstdint>

#include "platform/Resources.h"

namespace {
struct EmbeddedEntry {
  std::int64_t id;
  const std::uint8_t* begin;
  const std::uint8_t* end;
};
}  // namespace

extern "C" const EmbeddedEntry nexlume_embedded_files[];
extern "C" const std::int64_t nexlume_embedded_file_count;

namespace platform {

EmbeddedFile findEmbeddedFile(int resourceId) {
  for (std::int64_t i = 0; i < nexlume_embedded_file_count; ++i) {
    const EmbeddedEntry& entry = nexlume_embedded_files[i];
    if (entry.id == resourceId) {
      return {ResourceStatus::Found, entry.begin, static_cast<std::size_t>(entry.end - entry.begin)};
    }
  }
  return {};
}

}  // namespace platform
