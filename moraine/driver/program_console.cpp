#include "moraine/driver/program_console.h"

#include <unistd.h>

namespace moraine {

ProgramConsole::ProgramConsole() {
  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  if (saved < 0) return;
  std::FILE* console = fdopen(saved, "w");
  if (console == nullptr) {
    close(saved);
    return;
  }
  if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    std::fclose(console);
    return;
  }
  saved_descriptor_ = saved;
  console_ = console;
  // Standard output now ends on standard error, which is unbuffered: line buffering keeps what
  // modules print there in order with the program's own diagnostics.
  std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
}

ProgramConsole::~ProgramConsole() {
  if (console_ == nullptr) return;
  std::fflush(stdout);
  std::fflush(console_);
  dup2(saved_descriptor_, STDOUT_FILENO);
  std::fclose(console_);
}

void ProgramConsole::Print(const char* text) {
  std::FILE* stream = console_ != nullptr ? console_ : stdout;
  std::fputs(text, stream);
  std::fflush(stream);
}

}  // namespace moraine
