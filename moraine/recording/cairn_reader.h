#pragma once

// Sequential reader of a Cairn recording: a flat run of 16-byte headers, each followed by its payload.
//
// The reader never trusts a length field: nothing is allocated for a record longer than what is
// left of the file. Damage (bytes that hold no plausible header) is passed over to the next
// plausible header, and each damaged range is reported once; a last record cut short is such a
// range too. A record with an empty payload carries nothing and is skipped; reading goes on after it.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "moraine/recording/cairn_record.h"
#include "moraine/recording/cairn_record_locator.h"

namespace moraine {

// One record: the header and, in `bytes`, the 16 header bytes followed by the payload.
struct CairnRecord {
  CairnRecordHeader header;
  std::vector<std::uint8_t> bytes;

  std::uint8_t* payload() { return bytes.data() + kCairnHeaderSize; }
  const std::uint8_t* payload() const { return bytes.data() + kCairnHeaderSize; }
  std::size_t payload_size() const { return bytes.size() - kCairnHeaderSize; }
};

class CairnReader {
 public:
  // Bytes of the file that hold no record and were passed over.
  struct SkippedRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
  };
  using DamageHandler = std::function<void(const SkippedRange&)>;

  // Opens a recording for binary reading; nullptr when it cannot be opened.
  static std::unique_ptr<CairnReader> Open(const std::string& path);
  // Takes ownership of an open stream (a file or an in-memory stream); nullptr for a null stream
  // or one that cannot be positioned (the look-ahead and the length checks need its size).
  static std::unique_ptr<CairnReader> FromStream(std::FILE* stream);

  CairnReader(const CairnReader&) = delete;
  CairnReader& operator=(const CairnReader&) = delete;
  ~CairnReader();

  // Receives each damaged range once, as reading passes it; by default a warning on standard error
  // with its offset and size.
  void SetDamageHandler(DamageHandler handler) { damage_handler_ = std::move(handler); }

  // The next record with a non-empty payload, or nullopt at the end of the input (which includes
  // a tail where no plausible header follows, such as a record cut short by the end of the file).
  std::optional<CairnRecord> ReadNextRecord();

  // Distance in 90 kHz ticks from a record of `kind` at `current_record_time` to the next record
  // of the same family (video: kinds 1 and 2; audio: kind 6) that ReadNextRecord will deliver,
  // past damage as it passes it. 0 for other kinds, for the last record of a family, and when the
  // next record's time is not later. Leaves the read position where it was.
  std::uint64_t LookAheadDuration(std::uint8_t kind, std::uint32_t current_record_time);

  // True once a read has hit the end of the input.
  bool AtEnd() const { return at_end_; }

  // Bytes of the input that reading has passed: the offset of the next record boundary.
  std::uint64_t position() const { return static_cast<std::uint64_t>(position_); }

 private:
  struct FileCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
  };

  CairnReader(std::FILE* stream, std::int64_t size);

  std::unique_ptr<std::FILE, FileCloser> stream_;
  CairnRecordLocator locator_;
  DamageHandler damage_handler_;
  // Where the next record boundary is; the stream itself is positioned freely by the look-ahead.
  std::int64_t position_ = 0;
  // Header seconds of the latest timed record delivered: damage is told from records by it.
  std::optional<std::uint32_t> reference_seconds_;
  bool at_end_ = false;
};

}  // namespace moraine
