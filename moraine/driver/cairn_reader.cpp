#include "moraine/driver/cairn_reader.h"

#include <sys/types.h>

#include <algorithm>
#include <array>

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

CairnReader::CairnReader(std::FILE* stream, std::int64_t size) : stream_(stream), size_(size) {}

CairnReader::~CairnReader() = default;

bool CairnReader::ReadHeader(std::uint8_t* bytes) {
  return std::fread(bytes, 1, kCairnHeaderSize, stream_.get()) == kCairnHeaderSize;
}

std::int64_t CairnReader::BytesLeft() const {
  const off_t position = ftello(stream_.get());
  if (position < 0 || position > size_) return 0;
  return size_ - position;
}

std::optional<CairnRecord> CairnReader::ReadNextRecord() {
  while (!at_end_) {
    std::array<std::uint8_t, kCairnHeaderSize> header_bytes{};
    if (!ReadHeader(header_bytes.data())) break;
    const CairnRecordHeader header = DecodeCairnHeader(header_bytes.data());
    // An empty record carries nothing to convert; the records after it are still read.
    if (header.length == 0) continue;
    // A length reaching past the end of the file marks a last record cut short: it is dropped
    // before anything is allocated for it.
    if (header.length > BytesLeft()) break;

    CairnRecord record;
    record.header = header;
    record.bytes.resize(kCairnHeaderSize + header.length);
    std::copy(header_bytes.begin(), header_bytes.end(), record.bytes.begin());
    if (std::fread(record.payload(), 1, header.length, stream_.get()) != header.length) break;
    return record;
  }
  at_end_ = true;
  return std::nullopt;
}

std::uint64_t CairnReader::LookAheadDuration(std::uint8_t kind, std::uint32_t current_record_time) {
  const Family family = FamilyOf(kind);
  if (family == Family::kNone) return 0;
  const off_t start = ftello(stream_.get());
  if (start < 0) return 0;

  std::uint64_t duration = 0;
  std::array<std::uint8_t, kCairnHeaderSize> header_bytes{};
  while (ReadHeader(header_bytes.data())) {
    const CairnRecordHeader header = DecodeCairnHeader(header_bytes.data());
    // Only records that ReadNextRecord would deliver count: not empty ones, not a truncated tail.
    if (header.length > BytesLeft()) break;
    if (header.length != 0 && FamilyOf(header.kind) == family) {
      const std::uint32_t next_record_time = RecordTime(header);
      if (next_record_time > current_record_time) {
        duration = static_cast<std::uint64_t>(next_record_time - current_record_time) * 90;
      }
      break;
    }
    if (fseeko(stream_.get(), header.length, SEEK_CUR) != 0) break;
  }

  // Seeking back also clears the end-of-file indicator the scan may have set.
  fseeko(stream_.get(), start, SEEK_SET);
  return duration;
}

bool CairnReader::AtEnd() const { return at_end_ || std::feof(stream_.get()) != 0; }

}  // namespace moraine
