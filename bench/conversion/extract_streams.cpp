// conversion_bench_extract <recording> <video out> <audio out>: writes the video records (parameter
// sets and pictures, privacy marker removed) as one byte stream and the audio frames back to back,
// so that ffmpeg can be given the same streams that Moraine converts.

#include <cstdio>
#include <memory>

#include "moraine/recording/cairn_reader.h"
#include "moraine/recording/video_payload.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: conversion_bench_extract <recording> <video out> <audio out>\n", stderr);
    return 2;
  }
  const std::unique_ptr<moraine::CairnReader> reader = moraine::CairnReader::Open(argv[1]);
  const File video(std::fopen(argv[2], "wb"));
  const File audio(std::fopen(argv[3], "wb"));
  if (!reader || !video || !audio) {
    std::fputs("cannot open the files\n", stderr);
    return 1;
  }
  while (std::optional<moraine::CairnRecord> record = reader->ReadNextRecord()) {
    const auto kind = static_cast<moraine::RecordKind>(record->header.kind);
    std::FILE* target = nullptr;
    if (kind == moraine::RecordKind::kVideoFrame || kind == moraine::RecordKind::kVideoFrameAlt ||
        kind == moraine::RecordKind::kParameterSet) {
      moraine::RemovePrivacyMarker(record->payload(), record->payload_size());
      target = video.get();
    } else if (kind == moraine::RecordKind::kAudioFrame) {
      target = audio.get();
    }
    if (target != nullptr && std::fwrite(record->payload(), 1, record->payload_size(), target) != record->payload_size()) {
      std::fputs("write failed\n", stderr);
      return 1;
    }
  }
  return 0;
}
