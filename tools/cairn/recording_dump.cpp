#include "tools/cairn/recording_dump.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "moraine/recording/cairn_reader.h"
#include "tools/cairn/recording_inspector.h"

namespace moraine::cairn {
namespace {

using HeaderBytes = std::array<std::uint8_t, kCairnHeaderSize>;

// Reads raw header bytes at an offset: for the parts of the file the reader passes over (empty
// records) or stops at (a damaged tail), which the listing shows too.
class HeaderPeek {
 public:
  explicit HeaderPeek(const std::string& path) : file_(path, std::ios::binary) {}

  std::optional<HeaderBytes> At(std::uint64_t offset) {
    HeaderBytes bytes{};
    file_.clear();
    file_.seekg(static_cast<std::streamoff>(offset));
    if (!file_.read(reinterpret_cast<char*>(bytes.data()), bytes.size())) return std::nullopt;
    return bytes;
  }

 private:
  std::ifstream file_;
};

class DumpWalk {
 public:
  DumpWalk(const std::string& path, std::uint64_t file_size, DumpPrinter& printer)
      : peek_(path), file_size_(file_size), printer_(printer) {}

  // Lists what the reader passed over between two records: empty records, and the damaged ranges
  // it reported (`damage`, in file order), each as a problem.
  void ListPassedOver(std::uint64_t from, std::uint64_t to, const std::vector<CairnReader::SkippedRange>& damage) {
    for (const CairnReader::SkippedRange& range : damage) {
      if (range.offset < from || range.offset + range.size > to) continue;
      ListSkipped(from, range.offset);
      Problem(range.offset, std::to_string(range.size) + " damaged bytes skipped: no plausible record header");
      from = range.offset + range.size;
    }
    ListSkipped(from, to);
  }

  // Lists the empty records between `from` and `to`, where the reader skipped over them.
  void ListSkipped(std::uint64_t from, std::uint64_t to) {
    std::uint64_t offset = from;
    while (offset < to) {
      const auto bytes = to - offset >= kCairnHeaderSize ? peek_.At(offset) : std::nullopt;
      const CairnRecordHeader header = bytes ? DecodeCairnHeader(bytes->data()) : CairnRecordHeader{};
      if (!bytes || header.length != 0) {
        Problem(offset, std::to_string(to - offset) + " bytes the reader passed over");
        return;
      }
      printer_.Record(inspector_.DescribeEmpty(offset, header));
      offset += kCairnHeaderSize;
    }
  }

  // Lists what follows the last record the reader delivered: empty records, then a record cut
  // short or a piece of a header.
  void ListTail(std::uint64_t from) {
    std::uint64_t offset = from;
    while (offset < file_size_) {
      const std::uint64_t left = file_size_ - offset;
      const auto bytes = left >= kCairnHeaderSize ? peek_.At(offset) : std::nullopt;
      if (!bytes) {
        Problem(offset, std::to_string(left) + " trailing bytes, too few for a record header");
        return;
      }
      const CairnRecordHeader header = DecodeCairnHeader(bytes->data());
      if (header.length != 0) {
        Problem(offset, "truncated record of kind " + std::to_string(header.kind) + ": header says " +
                            std::to_string(header.length) + " payload bytes, " +
                            std::to_string(left - kCairnHeaderSize) + " present");
        return;
      }
      printer_.Record(inspector_.DescribeEmpty(offset, header));
      offset += kCairnHeaderSize;
    }
  }

  void Record(std::uint64_t offset, const CairnRecord& record) { printer_.Record(inspector_.Describe(offset, record)); }
  void Finish() { printer_.Summary(inspector_.Summary()); }

 private:
  void Problem(std::uint64_t offset, const std::string& message) {
    inspector_.NoteProblem();
    printer_.Problem(offset, message);
  }

  HeaderPeek peek_;
  std::uint64_t file_size_;
  DumpPrinter& printer_;
  RecordingInspector inspector_;
};

}  // namespace

bool DumpRecording(const std::string& path, DumpFormat format, std::ostream& out, std::string& error) {
  std::error_code size_error;
  const std::uint64_t file_size = std::filesystem::file_size(path, size_error);
  std::FILE* stream = size_error ? nullptr : std::fopen(path.c_str(), "rb");
  if (!stream) {
    error = "cannot open " + path;
    return false;
  }
  // The reader owns the stream; its position after each record tells where the record began.
  const std::unique_ptr<CairnReader> reader = CairnReader::FromStream(stream);
  if (!reader) {
    error = "cannot read " + path;
    return false;
  }
  DumpPrinter printer(format, out);
  DumpWalk walk(path, file_size, printer);
  // Damage the reader passes over is listed here rather than warned of.
  std::vector<CairnReader::SkippedRange> damage;
  reader->SetDamageHandler([&damage](const CairnReader::SkippedRange& range) { damage.push_back(range); });
  std::uint64_t next_offset = 0;
  while (const std::optional<CairnRecord> record = reader->ReadNextRecord()) {
    const off_t end = ftello(stream);
    if (end < 0 || static_cast<std::uint64_t>(end) < record->bytes.size()) {
      error = "cannot tell the read position in " + path;
      return false;
    }
    const std::uint64_t offset = static_cast<std::uint64_t>(end) - record->bytes.size();
    walk.ListPassedOver(next_offset, offset, damage);
    damage.clear();
    walk.Record(offset, *record);
    next_offset = static_cast<std::uint64_t>(end);
  }
  // Damage before the end that the reader resynchronised past, then what ends the file.
  for (const CairnReader::SkippedRange& range : damage) {
    if (range.offset + range.size >= file_size) break;
    walk.ListPassedOver(next_offset, range.offset + range.size, {range});
    next_offset = range.offset + range.size;
  }
  walk.ListTail(next_offset);
  walk.Finish();
  return true;
}

}  // namespace moraine::cairn
