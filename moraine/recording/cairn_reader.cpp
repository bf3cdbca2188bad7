#include "moraine/recording/cairn_reader.h"

#include <sys/types.h>

#include <cstdio>

namespace moraine {
namespace {

// Recordings can exceed 2 GiB.
static_assert(sizeof(off_t) >= 8, "64-bit file positions are needed");

// The look-ahead family of a kind: video frames of either kind form one family.
enum class Family { kNone, kVideo, kAudio };

Family FamilyOf(std::uint8_t kind) {
  if (IsVideoFrameKind(kind)) return Family::kVideo;
  if (kind == static_cast<std::uint8_t>(RecordKind::kAudioFrame)) return Family::kAudio;
  return Family::kNone;
}

void WarnOfDamage(const CairnReader::SkippedRange& range) {
  std::fprintf(stderr,
               "warning: the recording is damaged: %llu bytes at offset %llu hold no readable record and were "
               "skipped\n",
               static_cast<unsigned long long>(range.size), static_cast<unsigned long long>(range.offset));
}

}  // namespace

std::unique_ptr<CairnReader> CairnReader::Open(const std::string& path) {
  return FromStream(std::fopen(path.c_str(), "rb"));
}

std::unique_ptr<CairnReader> CairnReader::FromStream(std::FILE* stream) {
  if (stream == nullptr) return nullptr;
  std::unique_ptr<std::FILE, FileCloser> owned(stream);
  const off_t start = ftello(stream);
  if (start < 0 || fseeko(stream, 0, SEEK_END) != 0) return nullptr;
  const off_t size = ftello(stream);
  if (size < 0 || fseeko(stream, start, SEEK_SET) != 0) return nullptr;
  return std::unique_ptr<CairnReader>(new CairnReader(owned.release(), size));
}

CairnReader::CairnReader(std::FILE* stream, std::int64_t size)
    : stream_(stream), locator_(stream, size), damage_handler_(WarnOfDamage) {
  const off_t start = ftello(stream);
  position_ = start < 0 ? size : start;
}

CairnReader::~CairnReader() = default;

std::optional<CairnRecord> CairnReader::ReadNextRecord() {
  while (!at_end_) {
    const NextRecordStart next = locator_.Next(position_, reference_seconds_);
    if (next.damage_offset < next.offset && damage_handler_) {
      damage_handler_({static_cast<std::uint64_t>(next.damage_offset),
                       static_cast<std::uint64_t>(next.offset - next.damage_offset)});
    }
    if (!next.header) break;
    const CairnRecordHeader& header = *next.header;
    position_ = next.offset + static_cast<std::int64_t>(kCairnHeaderSize + header.length);
    // An empty record carries nothing to convert; the records after it are still read.
    if (header.length == 0) continue;

    // The locator checked the length against the file, so this allocation is backed by bytes.
    CairnRecord record;
    record.header = header;
    record.bytes.resize(kCairnHeaderSize + header.length);
    if (fseeko(stream_.get(), static_cast<off_t>(next.offset), SEEK_SET) != 0 ||
        std::fread(record.bytes.data(), 1, record.bytes.size(), stream_.get()) != record.bytes.size()) {
      break;
    }
    if (TakesRecordTime(header.kind)) reference_seconds_ = header.seconds;
    return record;
  }
  at_end_ = true;
  return std::nullopt;
}

std::uint64_t CairnReader::LookAheadDuration(std::uint8_t kind, std::uint32_t current_record_time) {
  const Family family = FamilyOf(kind);
  if (family == Family::kNone) return 0;
  const off_t start = ftello(stream_.get());

  // The records ReadNextRecord will deliver, found the way it finds them.
  std::uint64_t duration = 0;
  std::int64_t position = position_;
  std::optional<std::uint32_t> reference_seconds = reference_seconds_;
  for (;;) {
    const NextRecordStart next = locator_.Next(position, reference_seconds);
    if (!next.header) break;
    const CairnRecordHeader& header = *next.header;
    if (header.length != 0 && FamilyOf(header.kind) == family) {
      const std::uint32_t next_record_time = RecordTime(header);
      if (next_record_time > current_record_time) {
        duration = static_cast<std::uint64_t>(next_record_time - current_record_time) * 90;
      }
      break;
    }
    if (header.length != 0 && TakesRecordTime(header.kind)) reference_seconds = header.seconds;
    position = next.offset + static_cast<std::int64_t>(kCairnHeaderSize + header.length);
  }

  // Seeking back also clears the end-of-file indicator the scan may have set.
  if (start >= 0) fseeko(stream_.get(), start, SEEK_SET);
  return duration;
}

}  // namespace moraine
