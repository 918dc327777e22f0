#pragma once

namespace tavix {

/// Keeps the few hundred kilobytes of each state save in the process heap instead of fresh memory
/// mappings: otherwise every save maps, faults in page by page, and unmaps its buffers again, which
/// costs more than encoding the state. Call once at start, before any thread is started.
void tuneAllocatorForStateSaves();

} // namespace tavix
