#include "anonymizer/module_diagnostics.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <string>

#include "platform/debug_output.h"

namespace moraine::anonymizer {
namespace {

constexpr std::size_t kLineBytes = 1024;
constexpr std::size_t kExceptionTextBytes = 512;

void WriteLine(const char* text) {
  char line[kLineBytes];
  std::snprintf(line, sizeof line, "ThreadID:%d : %s", static_cast<int>(gettid()), text);
  std::string output(line);
  // A debugger shows every message on a line of its own; a plain stream needs the line end.
  if (output.back() != '\n') output.push_back('\n');
  platform::OutputDebugText(output);
}

}  // namespace

void DebugMessage(const char* format, ...) {
  char text[kLineBytes];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  WriteLine(text);
}

void DebugException(const char* prefix, const std::exception& exception) {
  char text[kExceptionTextBytes];
  std::snprintf(text, sizeof text, "%s%s", prefix, exception.what());
  WriteLine(text);
}

}  // namespace moraine::anonymizer
