#pragma once

// Output files are written under a unique working name in the folder of their final name and
// get their final name, made of the base name and the times of their first and last pictures,
// once complete. No existing file is ever replaced.

#include <cstdio>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace moraine {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OutputFile = std::unique_ptr<std::FILE, FileCloser>;

struct WorkingFile {
  OutputFile file;   // open for binary writing, empty
  std::string path;  // where it was created
};

// Creates a new file with a name nobody else uses, in the folder that `output_base_name` names
// (the current folder when it has none). nullopt, with a line on standard error, when the file
// cannot be created.
std::optional<WorkingFile> create_working_file(const std::string& output_base_name);

// base name, start year, month, day, "_", start hour, minute, second, "-", end hour, minute,
// second, `suffix`, ".mp4"; every number after the year two digits wide.
std::string final_output_name(const std::string& output_base_name, const std::tm& start,
                              const std::tm& end, const std::string& suffix = "");

// Closes `file` and moves `working_name` to its final name (`output_base_name` with the times).
// When that name is taken, "_1", "_2", ... is added before ".mp4". Returns the name the file now
// has; when it cannot be closed (its last bytes could not be written) or renamed it keeps its
// working name, reported on standard error.
std::string finalize_output_file(const std::string& output_base_name, OutputFile file,
                                 const std::string& working_name, const std::tm& start,
                                 const std::tm& end);

}  // namespace moraine
