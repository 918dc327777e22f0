#include "allocatortuning.h"

#include <malloc.h>

namespace tavix {

void tuneAllocatorForStateSaves() {
    // Called from main() before any other thread exists, so the process-wide setting cannot race.
    // NOLINTBEGIN(concurrency-mt-unsafe)
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
    // NOLINTEND(concurrency-mt-unsafe)
}

} // namespace tavix
