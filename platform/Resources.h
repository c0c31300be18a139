#pragma once
// The program's own embedded files (type "BIN", integer names) and its string table.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class ResourceStatus { Found, NotFound, LoadFailed };

// An embedded file, used in place: `data` points into the program image and is never copied.
struct EmbeddedFile {
  ResourceStatus status = ResourceStatus::NotFound;
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
};

// FindResource + LoadResource + SizeofResource for type "BIN".
EmbeddedFile findEmbeddedFile(int resourceId);

// Tells the system that the program will not read this embedded file again soon: its pages leave
// the process's resident memory (they stay in the image, and a later read brings them back). The
// installer writes each file once, so the payload need not stay resident. No effect where the
// system cannot do this.
void releaseEmbeddedFile(const EmbeddedFile& file);

// The string-table entry `id`, or nothing when the table has no such entry.
std::optional<std::string> loadString(int id);

}  // namespace platform
