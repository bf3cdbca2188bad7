#pragma once

// The module's diagnostic messages: each goes to the debugger output as one line
// "ThreadID:<thread id> : <text>", at most 1023 characters; longer texts are cut.

#include <exception>

namespace moraine::anonymizer {

// Formats the text like printf and writes it.
void DebugMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Writes `prefix` followed by the exception's text, the two cut to fit 511 characters.
void DebugException(const char* prefix, const std::exception& exception);

}  // namespace moraine::anonymizer
