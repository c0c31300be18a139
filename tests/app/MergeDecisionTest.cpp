#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "app/NexlumeQ7App.h"
#include "platform/FileSystem.h"
#include "tests/support/TestFiles.h"

using namespace app;

namespace {

// An installed description is merged when one read from its start delivers exactly 1024 bytes; a
// shorter one is replaced, nothing there is written; what cannot be examined is kept.
TEST(WriteOrMerge, ExactlyOneFullReadOf1024BytesMeansMerge) {
  testfiles::TempFolder folder;
  const struct {
    std::size_t size;
    InstalledDescription probed;
  } cases[] = {{0, InstalledDescription::Short},
               {1023, InstalledDescription::Short},
               {1024, InstalledDescription::Merge},
               {1025, InstalledDescription::Merge},
               {200000, InstalledDescription::Merge}};
  for (const auto& c : cases) {
    const std::string path = folder / "installed.dsr";
    testfiles::writeFile(path, std::string(c.size, '<'));
    EXPECT_EQ(ProbeInstalledDescription(path), c.probed) << c.size;
  }
  EXPECT_EQ(ProbeInstalledDescription(folder / "missing.dsr"), InstalledDescription::Absent);
  EXPECT_EQ(ProbeInstalledDescription(folder.path()), InstalledDescription::Unreadable) << "a folder is not a description";

  // A file another program holds open for writing cannot be probed: it may hold the user's media, so
  // it is kept, and the probe says why. (Readers share a file; a writer holds it alone.)
  const std::string held = folder / "held.dsr";
  auto holder = platform::createNewFile(held).value;
  ASSERT_TRUE(holder);
  const std::string content(2048, '<');
  ASSERT_EQ(holder->write(content.data(), content.size()).value, content.size());
  std::string why;
  EXPECT_EQ(ProbeInstalledDescription(held, &why), InstalledDescription::Unreadable);
  EXPECT_FALSE(why.empty());
}

}  // namespace
