#include "tarn/utils/client_log.h"

#include <cstdarg>
#include <cstdio>

#include "tarn/utils/log_setup.h"

namespace moraine::tarn {
namespace {

void LogFormatted(log4cplus::Logger& logger, log4cplus::LogLevel level, const char* format, std::va_list arguments) {
  if (!logger.isEnabledFor(level)) return;
  char message[CClientLog::kMessageCapacity];
  // vsnprintf never writes past the buffer: a longer message is cut and still terminated.
  std::vsnprintf(message, sizeof message, format, arguments);
  logger.forcedLog(level, message);
}

}  // namespace

CClientLog::CClientLog() {
  SetUpLoggingOnce();
  logger_ = log4cplus::Logger::getInstance("main");
}

void CClientLog::UseLogger(const std::string& name) { logger_ = log4cplus::Logger::getInstance(name); }

void CClientLog::Error(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  LogFormatted(logger_, log4cplus::ERROR_LOG_LEVEL, format, arguments);
  va_end(arguments);
}

void CClientLog::Debug(const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  LogFormatted(logger_, log4cplus::DEBUG_LOG_LEVEL, format, arguments);
  va_end(arguments);
}

}  // namespace moraine::tarn
