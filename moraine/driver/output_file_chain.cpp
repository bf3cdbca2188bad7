#include "moraine/driver/output_file_chain.h"

#include <cstdio>
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

void OutputFileChain::Finalize(const Mp4Output& output) {
  if (!current_.file) return;
  if (!written_) {
    RemoveUnwritten();
    return;
  }
  finalize_output_file(output, std::move(current_.file), current_.path, start_time_, end_time_);
  current_ = WorkingFile{};
}

bool OutputFileChain::OpenNext() {
  RemoveUnwritten();
  std::optional<WorkingFile> next = create_working_file(output_base_name_);
  if (!next) return false;
  current_ = std::move(*next);
  written_ = false;
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
