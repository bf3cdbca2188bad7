#pragma once

// Survives a segmentation fault inside one risky call into the SDK.

#include <functional>

namespace moraine::tarn {

// Runs `call` with a SIGSEGV handler that abandons the call when the calling thread faults inside it.
// The process's previous handler is restored before returning, and faults of other threads meanwhile
// are handed on to it. Returns true when `call` finished, false when it was abandoned.
//
// An abandoned call is cut off mid-way: objects it had on its stack are not destroyed and whatever it
// was changing stays half-changed, so callers use this only around a call whose state they discard.
bool CallWithAccessViolationGuard(const std::function<void()>& call);

}  // namespace moraine::tarn
