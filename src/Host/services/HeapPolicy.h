#pragma once
// How the host process asks the C library to manage its heap. Called once, first thing in
// main, by the programs that host the panel (the desk, the benchmarks).

namespace ttservice {

// No fast bins: a reload or a save of a large tender frees thousands of small blocks (rows,
// texts, map nodes) and makes thousands again. Kept in fast bins, the freed blocks come
// back last-freed first, scattered, and every walk over the new rows jumps through memory;
// merged with their freed neighbours instead, the next blocks are cut from the merged
// space in order, so rows made one after the other lie one after the other. The price is
// a little more work per free, which the smaller tenders do not notice.
void useHeapPolicyForLargeTenders();

} // namespace ttservice
