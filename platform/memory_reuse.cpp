#include "platform/memory_reuse.h"

#include <malloc.h>

namespace moraine::platform {
namespace {

// Above the largest picture block (3840 × 2160 NV12 is about 12 MiB), so that every block comes from
// the heap rather than from a mapping of its own that is unmapped when freed. Larger blocks, such
// as the modules' surface pools, still get mappings of their own, whose pages cost memory only
// once they are used.
constexpr int kMappedBlockThreshold = 16 << 20;
// Setting the threshold above stops glibc from adapting both values; the heap is then trimmed only
// when this much lies free at its top, which pictures in flight never leave.
constexpr int kTrimThreshold = 256 << 20;

}  // namespace

void KeepFreedBlocksForReuse() {
  mallopt(M_MMAP_THRESHOLD, kMappedBlockThreshold);
  mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
}

}  // namespace moraine::platform
