#pragma once

// Sequential reader of a Cairn recording: a flat run of 16-byte headers, each followed by its payload.
//
// The reader never trusts a length field: a record longer than what is left of the file is a
// truncated last record and ends the input without allocating for it. A record with an empty
// payload carries nothing and is skipped; reading goes on after it.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "moraine/driver/cairn_record.h"

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
  // Opens a recording for binary reading; nullptr when it cannot be opened.
  static std::unique_ptr<CairnReader> Open(const std::string& path);
  // Takes ownership of an open stream (a file or an in-memory stream); nullptr for a null stream
  // or one that cannot be positioned (the look-ahead and the length checks need its size).
  static std::unique_ptr<CairnReader> FromStream(std::FILE* stream);

  CairnReader(const CairnReader&) = delete;
  CairnReader& operator=(const CairnReader&) = delete;
  ~CairnReader();

  // The next record with a non-empty payload, or nullopt at the end of the input (which includes
  // a header or payload cut short by the end of the file).
  std::optional<CairnRecord> ReadNextRecord();

  // Distance in 90 kHz ticks from a record of `kind` at `current_record_time` to the next record
  // of the same family (video: kinds 1 and 2; audio: kind 6). 0 for other kinds, for the last
  // record of a family, and when the next record's time is not later. Leaves the read position
  // where it was.
  std::uint64_t LookAheadDuration(std::uint8_t kind, std::uint32_t current_record_time);

  // True once a read has hit the end of the input.
  bool AtEnd() const;

 private:
  struct FileCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
  };

  CairnReader(std::FILE* stream, std::int64_t size);

  // Reads one full header; false when the file ends before 16 bytes.
  bool ReadHeader(std::uint8_t* bytes);
  // Bytes between the read position and the end of the file (0 when the position is unknown).
  std::int64_t BytesLeft() const;

  std::unique_ptr<std::FILE, FileCloser> stream_;
  std::int64_t size_ = 0;
  bool at_end_ = false;
};

}  // namespace moraine
