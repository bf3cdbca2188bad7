#include "moraine/mp4/output_file_chain.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace moraine {

std::optional<OutputFileChain> OutputFileChain::Start(const std::string& output_base_name) {
  std::optional<WorkingFile> first = create_working_file(output_base_name);
  if (!first) return std::nullopt;
  return OutputFileChain(output_base_name, std::move(*first));
}

OutputFileChain::OutputFileChain(std::string output_base_name, WorkingFile first)
    : output_base_name_(std::move(output_base_name)), current_(std::move(first)) {}

OutputFileChain::~OutputFileChain() { RemoveUnwritten(); }

void OutputFileChain::NoteVideoFrame(const CairnRecordHeader& header) {
  const std::tm time = WallClockTime(header);
  if (first_frame_) {
    start_time_ = time;
    first_frame_ = false;
  }
  // Also for the first frame: a file of one picture ends where it starts, not at a time left over
  // from the previous file.
  end_time_ = time;
}

bool OutputFileChain::StartWriter(Mp4Output& output) {
  if (open_output(output, current_.file.get()) != 0) {
    const int error = output_write_error(output);
    std::fprintf(stderr, "error: cannot start the MP4 writer on %s: %s\n", current_.path.c_str(),
                 error != 0 ? std::strerror(error) : "no file is open");
    failed_ = true;
    return false;
  }
  written_ = true;
  output_started_ = true;
  return true;
}

void OutputFileChain::Finish(Mp4Output& output) {
  if (output.writer) {
    // The audio still staged and held by the encoder is written first, so that it counts.
    close_audio_encoder(output);
    holds_samples_ = MP4E_sample_count(output.writer.get(), output.video_track) > 0 ||
                     MP4E_sample_count(output.writer.get(), output.audio_track) > 0;
  }
  finish_output(output);
  if (const int error = output_write_error(output); error != 0 && current_.file && written_) {
    std::fprintf(stderr, "error: writing %s failed: %s\n", current_.path.c_str(), std::strerror(error));
    cut_short_ = true;
  }
  Finalize();
}

void OutputFileChain::Finalize() {
  if (!current_.file) return;
  // A file without a single sample plays nothing: it is no result of the conversion.
  if (!written_ || (!holds_samples_ && !cut_short_)) {
    written_ = false;
    RemoveUnwritten();
    return;
  }
  if (cut_short_) {
    // No final name may ever hold a file that lacks part of what it should hold.
    current_.file.reset();
    std::fprintf(stderr, "error: %s is cut short and keeps its working name\n", current_.path.c_str());
    failed_ = true;
  } else {
    const std::string name =
        finalize_output_file(output_base_name_, std::move(current_.file), current_.path, start_time_, end_time_);
    if (name == current_.path) {
      failed_ = true;  // it could not be renamed; finalize_output_file said why
    } else {
      ++finished_files_;
    }
  }
  current_ = WorkingFile{};
}

bool OutputFileChain::OpenNext() {
  RemoveUnwritten();
  std::optional<WorkingFile> next = create_working_file(output_base_name_);
  if (!next) {
    failed_ = true;
    return false;
  }
  current_ = std::move(*next);
  written_ = false;
  holds_samples_ = false;
  cut_short_ = false;
  first_frame_ = true;
  return true;
}

void OutputFileChain::RemoveUnwritten() {
  if (!current_.file || written_) return;
  current_.file.reset();
  std::remove(current_.path.c_str());
  current_ = WorkingFile{};
}

}  // namespace moraine
