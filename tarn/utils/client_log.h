#pragma once

// The decoder module's logger: printf-style messages into a log4cplus logger.

#include <log4cplus/logger.h>

#include <string>

namespace moraine::tarn {

class CClientLog {
 public:
  // Sets up logging for the process on first use and takes the logger "main".
  CClientLog();
  virtual ~CClientLog() = default;

  // Switches to the logger called `name`.
  void UseLogger(const std::string& name);

  // Formats the message printf-style and logs it at ERROR (or DEBUG) level when the logger is enabled
  // for that level. Messages longer than kMessageCapacity - 1 characters are cut.
  void Error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Debug(const char* format, ...) __attribute__((format(printf, 2, 3)));

  static constexpr int kMessageCapacity = 256;

 private:
  log4cplus::Logger logger_;
};

}  // namespace moraine::tarn
