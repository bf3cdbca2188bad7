#pragma once

// Finds where the next record of a recording begins. At an intact record boundary that is the header
// found there. Where the bytes hold no plausible header (random bytes written into the file, a torn
// write), the locator scans forward byte by byte for the next plausible header, as robust demuxers
// resynchronise, so that damage costs only the damaged bytes and not the rest of the recording.
//
// A plausible header has a kind the converter reads (1, 2, 4, 5, 6), a length that fits in the file,
// a time within a minute of the last good record, and is followed by a header that is plausible too
// (or by the exact end of the file). A file without damage reads exactly as it would without the
// locator: a header that fits is only passed over when a plausible header starts inside the bytes
// it claims, or when it is odd itself, followed by a header that does not fit and by nothing
// plausible at all.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "moraine/recording/cairn_record.h"

namespace moraine {

// Where reading goes on from a record boundary.
struct NextRecordStart {
  // The header to read, at `offset`; nullopt when nothing readable is left (`offset` is then the
  // file size).
  std::optional<CairnRecordHeader> header;
  std::int64_t offset = 0;
  // [damage_offset, offset): bytes that hold no record and are passed over; empty when the boundary
  // was intact.
  std::int64_t damage_offset = 0;
};

class CairnRecordLocator {
 public:
  // Reads headers from `stream` (not owned) of `file_size` bytes with absolute positioning; the
  // stream's position is left anywhere, so callers position it themselves afterwards.
  CairnRecordLocator(std::FILE* stream, std::int64_t file_size) : stream_(stream), file_size_(file_size) {}

  // The record that reading at `position`, the end of the previous record, meets next.
  // `reference_seconds` is the header seconds of the last timed record read (kinds 1, 2, 5, 6), if
  // there was one. The same question always gets the same answer.
  NextRecordStart Next(std::int64_t position, std::optional<std::uint32_t> reference_seconds);

 private:
  // The header at `offset`; nullopt when fewer than 16 bytes are left there.
  std::optional<CairnRecordHeader> HeaderAt(std::int64_t offset);
  bool Fits(std::int64_t offset, const CairnRecordHeader& header) const;
  // Oddities of a header that fits, found where the previous record ended: a kind the converter does
  // not read, a time more than a minute from the last good record (before the first, from the next
  // record; with neither, a time nothing vouches for), and, counting twice, a next header that does
  // not fit in the file. An intact file has none almost everywhere; damage that fits by chance has
  // several.
  int Oddities(std::int64_t offset, const CairnRecordHeader& header, std::optional<std::uint32_t> reference_seconds);
  // The candidate test of a scan: kind, length, time and the header that follows it.
  bool Plausible(std::int64_t offset, const CairnRecordHeader& header, std::optional<std::uint32_t> reference_seconds);
  // First offset in [from, to) holding a plausible header.
  std::optional<std::int64_t> Scan(std::int64_t from, std::int64_t to, std::optional<std::uint32_t> reference_seconds);
  // Where reading goes on when the header at `position` is not plainly intact.
  NextRecordStart Resynchronise(std::int64_t position, const CairnRecordHeader& header, int oddities,
                                std::optional<std::uint32_t> reference_seconds);

  std::FILE* stream_;
  std::int64_t file_size_;
  // The look-ahead and the sequential reading ask about the same damaged boundary in turn; the last
  // answer that needed a scan is kept so that the scan runs once.
  struct ScannedAnswer {
    std::int64_t position = 0;
    std::optional<std::uint32_t> reference_seconds;
    NextRecordStart answer;
  };
  std::optional<ScannedAnswer> last_scan_;
  std::vector<std::uint8_t> scan_buffer_;
};

}  // namespace moraine
