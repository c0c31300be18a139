#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/FaultInjection.h"
#include "platform/FileSystem.h"
#include "tests/support/TestFiles.h"

namespace {

class FaultInjection : public ::testing::Test {
 protected:
  void TearDown() override {
    ::unsetenv("NEXLUME_FAULT_AT");
    platform::resetFaultInjectionForTesting();
  }
  void inject(const char* plan) {
    ::setenv("NEXLUME_FAULT_AT", plan, 1);
    platform::resetFaultInjectionForTesting();
  }
  testfiles::TempFolder folder_;
};

TEST_F(FaultInjection, EveryFileOperationIsCountedOnce) {
  inject("");
  const std::string path = folder_ / "x.txt";
  auto file = platform::createFileForWriting(path).value;  // 1
  ASSERT_TRUE(file);
  file->write("abc", 3);                              // 2
  file->flush();                                      // 3
  file.reset();
  platform::pathExists(path);                         // 4
  platform::fileExists(path);                         // 5
  platform::readWholeFile(path);                      // 6
  platform::linkFile(path, folder_ / "y.txt");        // 7
  platform::moveFileReplacing(folder_ / "y.txt", folder_ / "z.txt");  // 8
  platform::deleteFile(folder_ / "z.txt");            // 9
  EXPECT_EQ(platform::fileOperationCount(), 9);
}

TEST_F(FaultInjection, TheChosenOperationFailsAsAnIoErrorAndNothingElse) {
  for (const char* plan : {"2", "2:fail"}) {
    inject(plan);
    const std::string path = folder_ / "x.txt";
    auto file = platform::createFileForWriting(path).value;
    ASSERT_TRUE(file) << plan;
    EXPECT_FALSE(file->write("abc", 3)) << plan;  // the second operation
    EXPECT_EQ(file->write("abc", 3).value, 3u) << plan;
    file.reset();
    EXPECT_EQ(testfiles::readFile(path), "abc") << plan;
  }
}

TEST_F(FaultInjection, AFailedOpenTouchesNothing) {
  testfiles::writeFile(folder_ / "x.txt", "installed");
  inject("1");
  EXPECT_FALSE(platform::createFileForWriting(folder_ / "x.txt"));
  EXPECT_EQ(testfiles::readFile(folder_ / "x.txt"), "installed");
}

TEST_F(FaultInjection, UnusablePlansInjectNothing) {
  for (const char* plan : {"0", "-3", "x", "2:later", "1:"}) {
    inject(plan);
    EXPECT_TRUE(platform::createFileForWriting(folder_ / "x.txt")) << plan;
  }
}

TEST_F(FaultInjection, ExitEndsTheProcessJustBeforeTheOperation) {
  const std::string path = folder_ / "never.txt";
  EXPECT_EXIT(
      {
        inject("1:exit");
        platform::createFileForWriting(path);
        std::exit(0);
      },
      ::testing::ExitedWithCode(99), "");
  EXPECT_FALSE(testfiles::exists(path));
}

}  // namespace
