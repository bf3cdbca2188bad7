#pragma once

// The output files of one run: each is written under a unique working name in the folder of its
// final name and renamed, once finished, after the wall-clock times of its first and latest video
// frame records.

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "moraine/driver/cairn_record.h"
#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/output_naming.h"

namespace moraine {

class OutputFileChain {
 public:
  // Creates the first working file; nullopt (reported on standard error) when it cannot be created.
  static std::optional<OutputFileChain> Start(const std::string& output_base_name);

  // A working file that never received an MP4 writer holds nothing and is removed.
  ~OutputFileChain();
  OutputFileChain(OutputFileChain&&) noexcept = default;
  OutputFileChain& operator=(OutputFileChain&&) = delete;
  OutputFileChain(const OutputFileChain&) = delete;
  OutputFileChain& operator=(const OutputFileChain&) = delete;

  // The open working file, or null between a finished file and a failed reopening.
  std::FILE* file() const { return current_.file.get(); }
  // Records that the MP4 writer was started on the current file, which makes it worth keeping.
  void MarkWritten() { written_ = true; }

  // Notes the wall-clock time of a video frame record: the first of a file opens its time span.
  void NoteVideoFrame(const CairnRecordHeader& header);

  // Closes the current file and gives it its final name (see finalize_output_file); a file the
  // writer never started is removed instead. No file is open afterwards.
  void Finalize(const Mp4Output& output);

  // Creates the next working file, whose time span opens at the next video frame record. False
  // (reported on standard error) when it cannot be created.
  bool OpenNext();

 private:
  explicit OutputFileChain(std::string output_base_name, WorkingFile first);
  void RemoveUnwritten();

  std::string output_base_name_;
  WorkingFile current_;
  bool written_ = false;
  bool first_frame_ = true;
  std::tm start_time_{};
  std::tm end_time_{};
};

}  // namespace moraine
