#include "tools/cairn/recording_writer.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

#include "moraine/recording/cairn_record.h"

namespace moraine::cairn {
namespace {

constexpr std::size_t kMaxPayload = 0xFFFFFF;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool SerializeInTimeOrder(std::vector<PendingRecord> records, std::int8_t zone, std::vector<RecordBytes>& serialized,
                          std::string& error) {
  std::stable_sort(records.begin(), records.end(), [](const PendingRecord& a, const PendingRecord& b) {
    if (a.time_ms != b.time_ms) return a.time_ms < b.time_ms;
    return a.rank < b.rank;
  });
  serialized.clear();
  serialized.reserve(records.size());
  for (const PendingRecord& record : records) {
    if (record.payload.size() > kMaxPayload) {
      error = "a record of " + std::to_string(record.payload.size()) + " bytes exceeds the 24-bit length field";
      return false;
    }
    const std::int64_t seconds = record.time_ms / 1000;
    if (record.time_ms < 0 || seconds > std::numeric_limits<std::uint32_t>::max()) {
      error = "record time outside the 32-bit seconds of a header";
      return false;
    }
    CairnRecordHeader header;
    header.kind = record.kind;
    header.length = static_cast<std::uint32_t>(record.payload.size());
    header.milliseconds = static_cast<std::uint16_t>(record.time_ms % 1000);
    header.seconds = static_cast<std::uint32_t>(seconds);
    header.zone = zone;
    const auto header_bytes = EncodeCairnHeader(header);
    RecordBytes bytes(header_bytes.begin(), header_bytes.end());
    bytes.insert(bytes.end(), record.payload.begin(), record.payload.end());
    serialized.push_back(std::move(bytes));
  }
  return true;
}

bool WriteRecording(const std::string& path, const std::vector<RecordBytes>& pieces, std::string& error) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  for (const RecordBytes& piece : pieces) {
    if (std::fwrite(piece.data(), 1, piece.size(), file.get()) != piece.size()) {
      error = "cannot write " + path;
      return false;
    }
  }
  if (std::fclose(file.release()) != 0) {
    error = "cannot finish writing " + path;
    return false;
  }
  return true;
}

}  // namespace moraine::cairn
