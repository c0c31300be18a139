// The embedded files: a table that the build generates from a manifest (see EmbedFiles.cmake) and
// links into each program, one entry per resource id pointing at data placed in the image by .incbin.
#include <sys/mman.h>
#include <unistd.h>

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

void releaseEmbeddedFile(const EmbeddedFile& file) {
  // A small file holds few pages: giving them back would cost more than keeping them.
  constexpr std::size_t kWorthReleasing = 256 * 1024;
  if (file.data == nullptr || file.size < kWorthReleasing) return;
  // Only the pages wholly inside the file: the pages at its ends may hold parts of its neighbours.
  static const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto begin = reinterpret_cast<std::uintptr_t>(file.data);
  const std::uintptr_t first = (begin + pageSize - 1) / pageSize * pageSize;
  const std::uintptr_t last = (begin + file.size) / pageSize * pageSize;
  // The image's pages are a private, read-only mapping of the program file: dropping them loses nothing.
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

}  // namespace platform
