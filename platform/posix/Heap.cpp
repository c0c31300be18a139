#include "platform/posix/Heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace platform {

void prepareHeapForDocuments() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)  // the sanitizer's heap is not the break
  constexpr std::size_t kGrowth = std::size_t{32} << 20;
  constexpr std::size_t kLargePage = std::size_t{2} << 20;
  mallopt(M_TOP_PAD, static_cast<int>(kGrowth));
  void* first = std::malloc(std::size_t{1} << 20);  // grows the heap by the step
  if (first == nullptr) return;
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(first) + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(::sbrk(0)) & ~(kLargePage - 1);
  // Only a range of the heap just grown: anything else means the block came from elsewhere.
  if (end > start && end - start <= 2 * kGrowth) ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  std::free(first);
#endif
}

}  // namespace platform
