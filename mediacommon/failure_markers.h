#pragma once

// Markers on the debugger output that flag failed checks in the media modules.

namespace moraine::mediacommon {

// Writes "ERROR CHECK RESULT\n": a Media SDK call failed.
void MarkFailedCall();

// Writes "ERROR CHECK POINTER\n": an allocation failed.
void MarkFailedAllocation();

}  // namespace moraine::mediacommon
