#pragma once

// The output files of one run: each is written under a unique working name in the folder of its
// final name and renamed, once finished, after the wall-clock times of its first and latest video
// frame records. Only a complete file gets a final name: one that an error cut short keeps its
// working name, and the chain remembers that the run failed.

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>

#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/output_naming.h"
#include "moraine/recording/cairn_record.h"

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

  // Starts the MP4 writer of `output` on the current file (open_output), which makes the file worth
  // keeping. False, reported on standard error with the file's name, when it cannot be started.
  bool StartWriter(Mp4Output& output);

  // Notes the wall-clock time of a video frame record: the first of a file opens its time span.
  void NoteVideoFrame(const CairnRecordHeader& header);

  // Records that an error cut the current file short: it keeps its working name when finalized.
  void MarkCutShort() { cut_short_ = true; }

  // Completes the current file (the rest of its audio and its index, see finish_output), closes
  // it and gives it its final name (see finalize_output_file). A file that the writer never started
  // or that holds no sample is removed instead, and a file cut short keeps its working name
  // (reported on standard error). No file is open afterwards.
  void Finish(Mp4Output& output);

  // Creates the next working file, whose time span opens at the next video frame record. False
  // (reported on standard error) when it cannot be created.
  bool OpenNext();

  // Complete files under their final names so far.
  int finished_files() const { return finished_files_; }
  // A file could not be started, completed, named or created; each was reported when it happened.
  bool failed() const { return failed_; }
  // Some file of the run had its MP4 writer started.
  bool output_started() const { return output_started_; }

 private:
  explicit OutputFileChain(std::string output_base_name, WorkingFile first);
  void Finalize();
  void RemoveUnwritten();

  // Base of the final file names, as given on the command line (may include a folder).
  std::string output_base_name_;
  WorkingFile current_;
  bool written_ = false;  // the writer was started on the current file
  bool holds_samples_ = false;
  bool cut_short_ = false;
  bool first_frame_ = true;
  std::tm start_time_{};
  std::tm end_time_{};
  int finished_files_ = 0;
  bool failed_ = false;
  bool output_started_ = false;
};

}  // namespace moraine
