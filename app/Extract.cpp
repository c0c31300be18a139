#include "app/Extract.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Progress.h"
#include "platform/Resources.h"

namespace app {
namespace {

// Counts every call, successful or not; the numbering of the lines is contiguous over the run.
int g_extractionCounter = 0;

// Formats one whole line and sends it in one call.
[[gnu::format(printf, 1, 2)]] void progressLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length > 0) {
    std::vector<char> line(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(line.data(), line.size(), format, args);
    platform::debugOutput(std::string_view(line.data(), static_cast<std::size_t>(length)));
  }
  va_end(args);
}

}  // namespace

namespace {


enum class WriteMode {
  Replacing,  // through a scratch file renamed over the target
  NewFile,    // the target itself is a scratch file, created exclusively
};

ExtractionResult extract(const std::string& targetPath, int resourceId, WriteMode mode, const std::string& backupPath = {}) {
  int number = ++g_extractionCounter;
  const char* path = targetPath.c_str();

  platform::EmbeddedFile resource = platform::findEmbeddedFile(resourceId);
  if (resource.status == platform::ResourceStatus::NotFound) {
    progressLine("[%02d] %s error: resource not found.\r\n", number, path);
    return {false, "the program carries no such file", false};
  }
  if (resource.status == platform::ResourceStatus::LoadFailed || (resource.size != 0 && resource.data == nullptr)) {
    progressLine("[%02d] %s error: resource data cannot loaded.\r\n", number, path);
    return {false, "the file the program carries cannot be loaded", false};
  }
  if (resource.size == 0) {
    progressLine("[%02d] %s error: resource size is zero.\r\n", number, path);
    return {false, "the file the program carries is empty", false};
  }

  // Written straight from the program image, in one call; the image's pages are not needed after.
  const std::string_view bytes(reinterpret_cast<const char*>(resource.data), resource.size);
  const platform::WriteResult written = mode == WriteMode::NewFile
                                            ? platform::writeNewFile(targetPath, bytes)
                                            : platform::writeFileReplacing(targetPath, bytes, backupPath);
  platform::releaseEmbeddedFile(resource);
  switch (written.failure) {
    case platform::WriteFailure::None:
      // Also when the folder could not be flushed: the file is there, whole.
      progressLine("[%02d] %s ( %d Bytes ) successfly updated!\r\n", number, path, static_cast<int>(resource.size));
      return {true, {}, false};
    case platform::WriteFailure::Create:
    case platform::WriteFailure::Backup:
    case platform::WriteFailure::Replace:
      // A target that cannot be replaced (read-only, a folder, held open) is one that cannot be opened.
      progressLine("[%02d] %s error: file cannot opened.\r\n", number, path);
      break;
    case platform::WriteFailure::Write:
      progressLine("[%02d] error: %s file io failed.\r\n", number, path);
      break;
  }
  return {false, written.reason, written.inUse};
}

}  // namespace

bool ExtractResourceToFile(const std::string& targetPath, int resourceId, const std::string& backupPath) {
  return extractResource(targetPath, resourceId, backupPath).written;
}

ExtractionResult extractResource(const std::string& targetPath, int resourceId, const std::string& backupPath) {
  return extract(targetPath, resourceId, WriteMode::Replacing, backupPath);
}

ExtractionResult extractResourceToNewFile(const std::string& targetPath, int resourceId) {
  return extract(targetPath, resourceId, WriteMode::NewFile);
}

int extractionCallCount() { return g_extractionCounter; }

}  // namespace app
