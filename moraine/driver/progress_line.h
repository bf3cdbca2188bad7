#pragma once

// The progress line of a conversion on a terminal: the share of the input read, the pictures
// written, the recording time converted, the speed as a multiple of real time and the time left.
// It is rewritten in place on standard error at most four times a second and cleared at the end.
// Pipes, logs and test harnesses get nothing, and MORAINE_PROGRESS=0 turns it off on a terminal.

#include <cstdint>
#include <string>

namespace moraine {

// What the line reports at one moment.
struct ProgressSnapshot {
  std::uint64_t bytes_read = 0;
  std::uint64_t input_size = 0;
  std::uint64_t pictures = 0;
  std::uint64_t recording_milliseconds = 0;  // recording time of the pictures written
  std::uint64_t elapsed_milliseconds = 0;    // wall-clock time since the conversion began
};

// The text of the line, without terminal controls, e.g.
// "42% read | 1234 pictures | 0:49 converted | 3.1x real time | 1:08 left".
std::string FormatProgress(const ProgressSnapshot& snapshot);

// Whether the line belongs on `descriptor`: it is a terminal and `setting` (the value of
// MORAINE_PROGRESS, null when unset) is not "0".
bool ProgressWanted(int descriptor, const char* setting);

class ProgressLine {
 public:
  // Shows nothing until Begin turns it on.
  ProgressLine() = default;
  // Clears the line if it is still shown.
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // Starts the clock for the recording at `path` (its size is the whole of the input) and turns the
  // line on when standard error wants it (see ProgressWanted).
  void Begin(const std::string& path);

  // A picture went to the encoder; it lasts `duration` 90 kHz ticks.
  void NotePicture(std::uint64_t duration);

  // Notes that `bytes_read` bytes of the input are read, and rewrites the line when a quarter of a
  // second has passed since the conversion began or the line was last written.
  void Update(std::uint64_t bytes_read);

  // Removes the line from the terminal; a later Update shows it again.
  void Clear();

 private:
  void Write(const std::string& bytes);

  int descriptor_ = -1;  // -1: off
  std::uint64_t input_size_ = 0;
  std::uint64_t started_ = 0;
  std::uint64_t last_written_ = 0;
  std::uint64_t pictures_ = 0;
  std::uint64_t recording_ticks_ = 0;
  bool shown_ = false;
};

}  // namespace moraine
