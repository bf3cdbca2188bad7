#pragma once

// One-time log4cplus configuration of the decoder module.

namespace moraine::tarn {

// Configures logging for the process on its first call; later calls do nothing. Thread-safe.
//
// Looks for "scree.properties" in the user's profile folder, then in the root of the system drive,
// and applies the first that log4cplus accepts. Without one, the root logger writes ERROR messages
// to "Kitewing.log" in the profile folder (the current folder when there is none), emptied at every
// process start, in TTCC layout with dates like "03-14-24 09:26:53,123".
void SetUpLoggingOnce();

}  // namespace moraine::tarn
