#pragma once

// The debugger output channel: short diagnostic texts meant for a developer, not for the user.
//
// Texts are dropped unless the environment variable MORAINE_DEBUG_OUTPUT is "1", in which case they
// go to standard error unchanged. Code linked into the same binary as this library can install a
// hook that receives every text instead (tests use it). The shared modules each carry their own
// private copy of this library and export nothing but their entry points, so a hook installed in a
// test program does not see what a module writes: tests of the modules set MORAINE_DEBUG_OUTPUT=1
// and capture standard error.

#include <functional>
#include <string_view>

namespace moraine::platform {

// Writes `text` to the debugger output.
void OutputDebugText(std::string_view text);

// Receives the texts of OutputDebugText. An empty hook restores the default behaviour.
using DebugOutputHook = std::function<void(std::string_view text)>;
void SetDebugOutputHook(DebugOutputHook hook);

}  // namespace moraine::platform
