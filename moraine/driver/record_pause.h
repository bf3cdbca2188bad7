#pragma once

// The pause after every record of a conversion. An audio decoder that works on a thread of its own
// may rely on it to keep up; MORAINE_RECORD_PAUSE_MS sets it (0 disables it).

#include <cstdint>

namespace moraine {

inline constexpr std::uint32_t kDefaultRecordPauseMilliseconds = 50;

// The pause from the environment: MORAINE_RECORD_PAUSE_MS as a whole number of milliseconds from 0
// to 10000; unset gives the default, anything else gives the default with a warning on standard
// error.
std::uint32_t RecordPauseMilliseconds();

// The same rule applied to `text` (null when the variable is not set).
std::uint32_t ParseRecordPause(const char* text);

}  // namespace moraine
