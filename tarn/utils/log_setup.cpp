#include "tarn/utils/log_setup.h"

#include <log4cplus/configurator.h>
#include <log4cplus/fileappender.h>
#include <log4cplus/hierarchy.h>
#include <log4cplus/helpers/property.h>
#include <log4cplus/config.hxx>
#include <log4cplus/layout.h>
#include <log4cplus/logger.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "platform/environment.h"

namespace moraine::tarn {
namespace {

constexpr const char* kPropertyFileName = "scree.properties";
constexpr const char* kDefaultLogName = "Kitewing";

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

bool AnyLoggerHasAppender() {
  if (!log4cplus::Logger::getRoot().getAllAppenders().empty()) return true;
  for (log4cplus::Logger logger : log4cplus::Logger::getCurrentLoggers()) {
    if (!logger.getAllAppenders().empty()) return true;
  }
  return false;
}

// True when log4cplus took the configuration in `property_file`. log4cplus reports most faults of a
// property file (unknown appender or layout classes, unopenable files) on its own diagnostic channel
// instead of throwing, so a configuration that leaves no logger with an appender counts as failed too.
bool ConfigureFrom(const std::string& property_file) {
  try {
    log4cplus::PropertyConfigurator::doConfigure(property_file);
    if (AnyLoggerHasAppender()) return true;
  } catch (...) {
  }
  log4cplus::Logger::getDefaultHierarchy().resetConfiguration();
  return false;
}

void ConfigureDefault(const std::optional<std::string>& user_profile) {
  const std::string directory =
      user_profile ? platform::WithTrailingSeparator(*user_profile) : std::string(".") + platform::kPathSeparator;
  const std::string log_file = directory + kDefaultLogName + ".log";

  log4cplus::SharedAppenderPtr appender(new log4cplus::FileAppender(log_file, std::ios_base::trunc, true));
  appender->setName("main");
  log4cplus::helpers::Properties layout_properties;
  layout_properties.setProperty("DateFormat", "%m-%d-%y %H:%M:%S,%q");
  layout_properties.setProperty("Use_gmtime", "false");
  appender->setLayout(std::make_unique<log4cplus::TTCCLayout>(layout_properties));

  log4cplus::Logger root = log4cplus::Logger::getRoot();
  root.addAppender(appender);
  root.setLogLevel(log4cplus::ERROR_LOG_LEVEL);
}

void SetUpLogging() {
  log4cplus::initialize();
  const std::optional<std::string> user_profile = platform::UserProfileDirectory();
  const std::string profile_file = platform::WithTrailingSeparator(user_profile.value_or("")) + kPropertyFileName;
  const std::string drive_file = platform::WithTrailingSeparator(platform::HomeDriveDirectory()) + kPropertyFileName;

  // The first property file found decides: when it cannot be applied the default follows, without
  // looking at the second place.
  if (FileExists(profile_file)) {
    if (ConfigureFrom(profile_file)) return;
  } else if (FileExists(drive_file)) {
    if (ConfigureFrom(drive_file)) return;
  }
  ConfigureDefault(user_profile);
}

}  // namespace

void SetUpLoggingOnce() {
  static const bool configured = (SetUpLogging(), true);
  (void)configured;
}

}  // namespace moraine::tarn
