#pragma once

// The program's standard output carries its few fixed texts and nothing else. Modules and libraries
// in the process may print to standard output on their own (status texts, encoder errors); those
// lines are sent to standard error instead, so no caller parsing our output ever sees them.

#include <cstdio>

namespace moraine {

class ProgramConsole {
 public:
  // Keeps the original standard output for Print and points the process's standard output at
  // standard error. When that cannot be done everything stays on standard output.
  ProgramConsole();
  // Flushes and closes the kept stream and restores the original standard output.
  ~ProgramConsole();
  ProgramConsole(const ProgramConsole&) = delete;
  ProgramConsole& operator=(const ProgramConsole&) = delete;

  // Writes `text` to the original standard output at once.
  void Print(const char* text);

 private:
  int saved_descriptor_ = -1;
  std::FILE* console_ = nullptr;
};

}  // namespace moraine
