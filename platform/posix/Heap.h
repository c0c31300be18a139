#pragma once

namespace platform {

// Prepares the heap of a short process that reads and writes descriptions of a few megabytes each:
// every one passes through the file's bytes, a parsed tree, the records, a second tree and the saved
// text, some 20 MiB of fresh memory, and on a virtual machine the page faults of that first touch
// cost more than the parsing itself. Memory freed after one document is kept for the next rather than
// handed back and faulted in again, and the heap grows in one 32 MiB step that asks the kernel for
// 2 MiB pages. Only hints: where the kernel gives no large pages, nothing else changes.
void prepareHeapForDocuments();

}  // namespace platform
