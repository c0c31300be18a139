// nexlume-update-floor INSTALLED_FOLDER NEW_FOLDER SCRATCH_FOLDER
// The least work an update run over eight installed descriptions could do, as one process for
// hyperfine to time beside the installer: parse the sixteen documents (the installed and the new
// descriptions) with bare pugixml, serialise eight of them, and replace eight files of the same size
// durably (write, flush, rename, flush the folder).
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "platform/FileSystem.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> descriptionsIn(const std::string& folder) {
  std::vector<std::string> paths;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".dsr") paths.push_back(entry.path().string());
  return paths;
}

class StringWriter : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

// The whole file into `buffer` (its size set to the file's).
bool readInto(const std::string& path, std::vector<char>& buffer) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  bool ok = size >= 0 && ::lseek(fd, 0, SEEK_SET) == 0;
  if (ok) buffer.resize(static_cast<std::size_t>(size));
  for (std::size_t done = 0; ok && done < buffer.size();) {
    const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return ok;
}

bool replaceDurably(const std::string& folder, const std::string& name, const std::string& text) {
  // The scratch name the installer's own replacing write uses.
  const std::string target = folder + "/" + name;
  const std::string scratch = platform::scratchPathFor(target);
  int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(scratch.c_str(), target.c_str()) != 0) return false;
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = dir >= 0 && ::fsync(dir) == 0;
  if (dir >= 0) ::close(dir);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: nexlume-update-floor INSTALLED_FOLDER NEW_FOLDER SCRATCH_FOLDER\n");
    return 2;
  }
  const std::vector<std::string> installed = descriptionsIn(argv[1]);
  const std::vector<std::string> fresh = descriptionsIn(argv[2]);
  if (installed.size() != 8 || fresh.size() != 8) {
    std::fprintf(stderr, "expected eight descriptions in each folder\n");
    return 1;
  }
  // One buffer, one document and one text, reused, and memory kept in the process once touched: the
  // floor pays for no page it need not fault in.
  mallopt(M_MMAP_THRESHOLD, 1 << 30);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  std::vector<char> buffer;
  pugi::xml_document document;
  StringWriter writer;
  auto parse = [&](const std::string& path) {
    if (!readInto(path, buffer)) return false;
    return static_cast<bool>(document.load_buffer_inplace(buffer.data(), buffer.size(), pugi::parse_default));
  };
  for (const std::string& path : installed)
    if (!parse(path)) return 1;
  for (const std::string& path : fresh) {
    if (!parse(path)) return 1;
    writer.text.clear();
    document.save(writer, "  ", pugi::format_indent, pugi::encoding_utf8);
    if (!replaceDurably(argv[3], fs::path(path).filename().string(), writer.text)) return 1;
  }
  return 0;
}
