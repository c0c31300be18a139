#include "app/Extract.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Progress.h"
#include "platform/Resources.h"

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

bool extract(const std::string& targetPath, int resourceId, bool createNew) {
  int number = ++g_extractionCounter;
  const char* path = targetPath.c_str();

  platform::EmbeddedFile resource = platform::findEmbeddedFile(resourceId);
  if (resource.status == platform::ResourceStatus::NotFound) {
    progressLine("[%02d] %s error: resource not found.\r\n", number, path);
    return false;
  }
  if (resource.status == platform::ResourceStatus::LoadFailed || (resource.size != 0 && resource.data == nullptr)) {
    progressLine("[%02d] %s error: resource data cannot loaded.\r\n", number, path);
    return false;
  }
  if (resource.size == 0) {
    progressLine("[%02d] %s error: resource size is zero.\r\n", number, path);
    return false;
  }

  std::unique_ptr<platform::File> file =
      createNew ? platform::createNewFile(targetPath) : platform::createFileForWriting(targetPath);
  if (!file) {
    progressLine("[%02d] %s error: file cannot opened.\r\n", number, path);
    return false;
  }
  // Written straight from the program image, in one call.
  std::optional<std::size_t> written = file->write(resource.data, resource.size);
  if (written && *written == resource.size) {
    file.reset();
    progressLine("[%02d] %s ( %d Bytes ) successfly updated!\r\n", number, path, static_cast<int>(resource.size));
    return true;
  }
  progressLine("[%02d] error: %s file io failed.\r\n", number, path);
  file.reset();
  platform::deleteFile(targetPath);
  return false;
}

}  // namespace

bool ExtractResourceToFile(const std::string& targetPath, int resourceId) {
  return extract(targetPath, resourceId, false);
}

bool ExtractResourceToNewFile(const std::string& targetPath, int resourceId) {
  if (platform::pathExists(targetPath)) platform::deleteFile(targetPath);
  return extract(targetPath, resourceId, true);
}

int ExtractionCallCount() { return g_extractionCounter; }
