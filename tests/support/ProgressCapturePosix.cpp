// The POSIX progress channel is stderr.
#include <gtest/gtest.h>

#include "tests/support/ProgressCapture.h"

namespace testprogress {

void start() { ::testing::internal::CaptureStderr(); }

std::string stop() { return ::testing::internal::GetCapturedStderr(); }

}  // namespace testprogress
