#include "moraine/mp4/output_naming.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace moraine {

namespace {

constexpr int kMaxWorkingNameAttempts = 100;
constexpr int kMaxFinalNameSuffix = 9999;

std::string RandomTag(std::mt19937_64& generator) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(generator()));
  return text;
}

// Gives `from` the name `to` unless `to` exists; 0 or an errno value (EEXIST when taken).
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  // File systems without RENAME_NOREPLACE: a new hard link fails rather than replace.
  if (link(from.c_str(), to.c_str()) != 0) return errno;
  if (unlink(from.c_str()) != 0) {
    const int error = errno;
    unlink(to.c_str());
    return error;
  }
  return 0;
}

}  // namespace

std::optional<WorkingFile> create_working_file(const std::string& output_base_name) {
  std::filesystem::path folder = std::filesystem::path(output_base_name).parent_path();
  std::mt19937_64 generator(std::random_device{}());
  int error = 0;
  std::string path;
  for (int attempt = 0; attempt < kMaxWorkingNameAttempts; ++attempt) {
    path = (folder / ("moraine-work-" + RandomTag(generator) + ".mp4")).string();
    const int descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      std::FILE* file = fdopen(descriptor, "wb");
      if (file != nullptr) return WorkingFile{OutputFile(file), path};
      error = errno;
      close(descriptor);
      unlink(path.c_str());
      break;
    }
    error = errno;
    if (error != EEXIST) break;
  }
  std::fprintf(stderr, "error: cannot create the output file %s: %s\n", path.c_str(),
               std::strerror(error));
  return std::nullopt;
}

std::string final_output_name(const std::string& output_base_name, const std::tm& start,
                              const std::tm& end, const std::string& suffix) {
  char times[128];
  std::snprintf(times, sizeof times, "%d%02d%02d_%02d%02d%02d-%02d%02d%02d", start.tm_year + 1900,
                start.tm_mon + 1, start.tm_mday, start.tm_hour, start.tm_min, start.tm_sec,
                end.tm_hour, end.tm_min, end.tm_sec);
  std::string name = output_base_name;
  name.append(times).append(suffix).append(".mp4");
  return name;
}

std::string finalize_output_file(const std::string& output_base_name, OutputFile file,
                                 const std::string& working_name, const std::tm& start,
                                 const std::tm& end) {
  // Closing writes out what the stream still buffered: a full disk may show up only here, and then
  // the file lacks its end, so it must not get a final name.
  if (file && std::fclose(file.release()) != 0) {
    std::fprintf(stderr, "error: writing %s failed: %s; the file is cut short and keeps its working name\n",
                 working_name.c_str(), std::strerror(errno));
    return working_name;
  }
  std::string final_name;
  int error = EEXIST;
  for (int suffix = 0; suffix <= kMaxFinalNameSuffix && error == EEXIST; ++suffix) {
    const std::string suffix_text = suffix == 0 ? std::string() : '_' + std::to_string(suffix);
    final_name = final_output_name(output_base_name, start, end, suffix_text);
    error = RenameWithoutReplacing(working_name, final_name);
  }
  if (error == 0) return final_name;
  std::fprintf(stderr, "error: cannot rename %s to %s (%s); the file is kept as %s\n",
               working_name.c_str(), final_name.c_str(), std::strerror(error),
               working_name.c_str());
  return working_name;
}

}  // namespace moraine
