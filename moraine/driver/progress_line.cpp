#include "moraine/driver/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/clock.h"

namespace moraine {
namespace {

// At most four lines a second: faster rewriting only makes the terminal flicker.
constexpr std::uint64_t kRewriteIntervalMilliseconds = 250;
// A time left beyond this (about 31 years) only says "a very long time"; it also keeps the
// conversion to an integer defined.
constexpr double kMaxShownSeconds = 1e9;
constexpr std::uint64_t kTicksPerMillisecond = 90;

std::string FormatDuration(std::uint64_t seconds) {
  char text[32];
  const std::uint64_t hours = seconds / 3600;
  const auto minutes = static_cast<unsigned>(seconds / 60 % 60);
  const auto rest = static_cast<unsigned>(seconds % 60);
  if (hours > 0) {
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", hours, minutes, rest);
  } else {
    std::snprintf(text, sizeof text, "%u:%02u", minutes, rest);
  }
  return text;
}

// Columns of the terminal on `descriptor`; 0 when it does not say.
std::size_t TerminalColumns(int descriptor) {
  winsize size{};
  if (ioctl(descriptor, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

}  // namespace

std::string FormatProgress(const ProgressSnapshot& snapshot) {
  const std::uint64_t read = std::min(snapshot.bytes_read, snapshot.input_size);
  const std::uint64_t percent = snapshot.input_size == 0 ? 100 : read * 100 / snapshot.input_size;
  const double elapsed_seconds = static_cast<double>(snapshot.elapsed_milliseconds) / 1000;

  std::string speed = "--";
  if (snapshot.elapsed_milliseconds > 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1fx",
                  static_cast<double>(snapshot.recording_milliseconds) / static_cast<double>(snapshot.elapsed_milliseconds));
    speed = text;
  }
  // The rest of the input at the pace of what is read so far.
  std::string left = "--:--";
  if (read > 0 && snapshot.elapsed_milliseconds > 0) {
    const double seconds = elapsed_seconds * static_cast<double>(snapshot.input_size - read) / static_cast<double>(read);
    left = FormatDuration(static_cast<std::uint64_t>(std::min(seconds + 0.5, kMaxShownSeconds)));
  }

  char text[160];
  std::snprintf(text, sizeof text, "%" PRIu64 "%% read | %" PRIu64 " pictures | %s converted | %s real time | %s left",
                percent, snapshot.pictures, FormatDuration(snapshot.recording_milliseconds / 1000).c_str(),
                speed.c_str(), left.c_str());
  return text;
}

bool ProgressWanted(int descriptor, const char* setting) {
  if (setting != nullptr && std::strcmp(setting, "0") == 0) return false;
  return isatty(descriptor) == 1;
}

ProgressLine::~ProgressLine() { Clear(); }

void ProgressLine::Begin(const std::string& path) {
  if (!ProgressWanted(STDERR_FILENO, std::getenv("MORAINE_PROGRESS"))) return;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  input_size_ = error ? 0 : size;
  descriptor_ = STDERR_FILENO;
  started_ = platform::TickCountMilliseconds();
  last_written_ = started_;
}

void ProgressLine::NotePicture(std::uint64_t duration) {
  ++pictures_;
  recording_ticks_ += duration;
}

void ProgressLine::Update(std::uint64_t bytes_read) {
  if (descriptor_ < 0) return;
  const std::uint64_t now = platform::TickCountMilliseconds();
  if (now - last_written_ < kRewriteIntervalMilliseconds) return;
  last_written_ = now;

  std::string text = FormatProgress({bytes_read, input_size_, pictures_, recording_ticks_ / kTicksPerMillisecond,
                                     now - started_});
  // A line longer than the terminal wraps, and the carriage return would then rewrite only its
  // last part.
  const std::size_t columns = TerminalColumns(descriptor_);
  if (columns > 1 && text.size() > columns - 1) text.resize(columns - 1);
  Write("\r" + text + "\x1b[K");
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  Write("\r\x1b[K");
  shown_ = false;
}

void ProgressLine::Write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(descriptor_, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // a terminal that takes nothing more gets no progress
    done += static_cast<std::size_t>(written);
  }
}

}  // namespace moraine
