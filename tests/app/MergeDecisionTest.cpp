#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/NexlumeQ7App.h"
#include "platform/FileSystem.h"
#include "tests/support/TestFiles.h"

namespace {

// An installed description is merged when one read from its start delivers exactly 1024 bytes.
TEST(WriteOrMerge, ExactlyOneFullReadOf1024BytesMeansMerge) {
  testfiles::TempFolder folder;
  const struct {
    std::size_t size;
    bool merged;
  } cases[] = {{0, false}, {1023, false}, {1024, true}, {1025, true}, {200000, true}};
  for (const auto& c : cases) {
    const std::string path = folder / "installed.dsr";
    testfiles::writeFile(path, std::string(c.size, '<'));
    EXPECT_EQ(InstalledDescriptionIsMerged(path), c.merged) << c.size;
  }
  EXPECT_FALSE(InstalledDescriptionIsMerged(folder / "missing.dsr"));
  EXPECT_FALSE(InstalledDescriptionIsMerged(folder.path()));  // a folder is not a description

  // A file held open without sharing cannot be probed: it is written plainly.
  const std::string held = folder / "held.dsr";
  testfiles::writeFile(held, std::string(2048, '<'));
  auto holder = platform::openFileForReading(held);
  ASSERT_TRUE(holder);
  EXPECT_FALSE(InstalledDescriptionIsMerged(held));
}

}  // namespace
