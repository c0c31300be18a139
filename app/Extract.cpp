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

enum class WriteMode {
  Truncate,     // createFileForWriting on the target itself
  CreateNew,    // the target is a scratch file created fresh
  ThroughCopy,  // written to target + ".tmp", flushed, renamed over the target
};

bool extract(const std::string& targetPath, int resourceId, WriteMode mode) {
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

  const std::string writtenPath = mode == WriteMode::ThroughCopy ? targetPath + ".tmp" : targetPath;
  if (mode == WriteMode::ThroughCopy && platform::pathExists(writtenPath)) platform::deleteFile(writtenPath);
  std::unique_ptr<platform::File> file = mode == WriteMode::Truncate ? platform::createFileForWriting(targetPath)
                                                                     : platform::createNewFile(writtenPath);
  if (!file) {
    progressLine("[%02d] %s error: file cannot opened.\r\n", number, path);
    return false;
  }
  // Written straight from the program image, in one call; the image's pages are not needed after.
  std::optional<std::size_t> written = file->write(resource.data, resource.size);
  platform::releaseEmbeddedFile(resource);
  bool complete = written && *written == resource.size;
  if (complete && mode == WriteMode::ThroughCopy) {
    complete = file->flush();
    file.reset();
    // A target that cannot be replaced (read-only, a folder) is one that cannot be opened.
    if (complete && !platform::moveFileReplacing(writtenPath, targetPath)) {
      platform::deleteFile(writtenPath);
      progressLine("[%02d] %s error: file cannot opened.\r\n", number, path);
      return false;
    }
    if (complete) platform::flushFolderOf(targetPath);
  }
  if (complete) {
    file.reset();
    progressLine("[%02d] %s ( %d Bytes ) successfly updated!\r\n", number, path, static_cast<int>(resource.size));
    return true;
  }
  progressLine("[%02d] error: %s file io failed.\r\n", number, path);
  file.reset();
  platform::deleteFile(writtenPath);
  return false;
}

}  // namespace

bool ExtractResourceToFile(const std::string& targetPath, int resourceId) {
  return extract(targetPath, resourceId, WriteMode::Truncate);
}

bool ExtractResourceToNewFile(const std::string& targetPath, int resourceId) {
  if (platform::pathExists(targetPath)) platform::deleteFile(targetPath);
  return extract(targetPath, resourceId, WriteMode::CreateNew);
}

bool ExtractResourceToFileReplacing(const std::string& targetPath, int resourceId) {
  return extract(targetPath, resourceId, WriteMode::ThroughCopy);
}

int ExtractionCallCount() { return g_extractionCounter; }
