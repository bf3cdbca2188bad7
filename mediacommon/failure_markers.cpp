#include "mediacommon/failure_markers.h"

#include "platform/debug_output.h"

namespace moraine::mediacommon {

void MarkFailedCall() { platform::OutputDebugText("ERROR CHECK RESULT\n"); }

void MarkFailedAllocation() { platform::OutputDebugText("ERROR CHECK POINTER\n"); }

}  // namespace moraine::mediacommon
