#pragma once

// How the process's heap treats the large blocks a conversion allocates and frees for every
// picture.

namespace moraine::platform {

// Keeps freed picture-sized blocks in the heap for the next picture instead of returning them to
// the system. A decoded picture is a fresh block of several megabytes each time; given back and
// fetched again, every page of it faults anew on the thread that fills it. The peak stays what the
// pictures in flight need: the heap only stops shrinking between them. Call once, before the
// first picture.
void KeepFreedBlocksForReuse();

}  // namespace moraine::platform
