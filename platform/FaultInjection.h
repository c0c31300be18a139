#pragma once
// Fault injection for the file layer. Every operation of platform/FileSystem.h (the File methods
// included) passes through admitFileOperation() once, before it touches the disk, so the
// operations of a run can be numbered 1, 2, 3, ... and a test can make any one of them fail.
//
// Environment, read once at the first operation:
//   NEXLUME_FAULT_AT="k" or "k:fail"  the k-th operation fails as an I/O error (nothing is done);
//   NEXLUME_FAULT_AT="k:exit"         the process ends with _exit(99) just before the k-th operation;
//   NEXLUME_FAULT_COUNT=path          at normal exit the number of operations performed is written
//                                     to `path` (decimal, one line), so a test can try every k.
// Without these variables the hook only counts.
#include <cstdint>

namespace platform {

// Counts one file-system operation; false when this one must fail (the caller reports an I/O error).
// Does not return when this operation is the one to end the process at.
bool admitFileOperation();

// The number of file-system operations counted so far in this process.
std::int64_t fileOperationCount();

// Tests in the same process: forget the counter and read the environment again at the next operation.
void resetFaultInjectionForTesting();

}  // namespace platform
