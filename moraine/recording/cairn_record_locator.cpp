#include "moraine/recording/cairn_record_locator.h"

#include <sys/types.h>

#include <algorithm>

namespace moraine {
namespace {

// Recorders stamp consecutive records seconds apart at most; a minute leaves room for a stalled
// recorder while a random 32-bit field matches by chance about once in 35 million tries.
constexpr std::uint32_t kPlausibleSecondsApart = 60;
// Bytes read per step of a scan; a header may straddle two steps, so each step reads 15 more.
constexpr std::int64_t kScanStep = 64 * 1024;
constexpr std::int64_t kHeaderSize = static_cast<std::int64_t>(kCairnHeaderSize);
// Oddities that make a header damage whatever its length says: a next header that does not fit
// (which counts twice) together with an unknown kind or a time far off. See Oddities.
constexpr int kDamageOddities = 3;

// The kinds the converter reads: those that take the record time, and info records.
bool KnownKind(std::uint8_t kind) {
  return TakesRecordTime(kind) || kind == static_cast<std::uint8_t>(RecordKind::kInfo);
}

// Header seconds are compared on the 32-bit circle: a minute either way.
bool WithinAMinute(std::uint32_t seconds, std::uint32_t other) {
  return std::min(seconds - other, other - seconds) <= kPlausibleSecondsApart;
}

bool TimeFits(const CairnRecordHeader& header, std::optional<std::uint32_t> reference_seconds) {
  return !reference_seconds || WithinAMinute(header.seconds, *reference_seconds);
}

}  // namespace

std::optional<CairnRecordHeader> CairnRecordLocator::HeaderAt(std::int64_t offset) {
  if (offset < 0 || file_size_ - offset < kHeaderSize) return std::nullopt;
  std::uint8_t bytes[kCairnHeaderSize];
  if (fseeko(stream_, static_cast<off_t>(offset), SEEK_SET) != 0 ||
      std::fread(bytes, 1, kCairnHeaderSize, stream_) != kCairnHeaderSize) {
    return std::nullopt;
  }
  return DecodeCairnHeader(bytes);
}

bool CairnRecordLocator::Fits(std::int64_t offset, const CairnRecordHeader& header) const {
  return file_size_ - offset >= kHeaderSize && header.length <= file_size_ - offset - kHeaderSize;
}

int CairnRecordLocator::Oddities(std::int64_t offset, const CairnRecordHeader& header,
                                 std::optional<std::uint32_t> reference_seconds) {
  int oddities = KnownKind(header.kind) ? 0 : 1;
  const std::int64_t end = offset + kHeaderSize + header.length;
  // At the end of the file, or before a tail too short for a header, nothing contradicts this one.
  std::optional<CairnRecordHeader> next;
  if (file_size_ - end >= kHeaderSize) {
    next = HeaderAt(end);
    // In an intact file only a last record cut short does not fit: the strongest sign, so it counts twice.
    if (!next || !Fits(end, *next)) {
      oddities += 2;
      // A record cut short by the end of the file still has a kind and a time worth comparing.
      if (next && !KnownKind(next->kind)) next.reset();
    }
  }
  // Before the first good record the record after this one, if it looks like one, stands in for it;
  // without either nothing vouches for the time.
  if (!reference_seconds && next) reference_seconds = next->seconds;
  if (!reference_seconds || !WithinAMinute(header.seconds, *reference_seconds)) ++oddities;
  return oddities;
}

bool CairnRecordLocator::Plausible(std::int64_t offset, const CairnRecordHeader& header,
                                   std::optional<std::uint32_t> reference_seconds) {
  if (!KnownKind(header.kind) || !Fits(offset, header) || !TimeFits(header, reference_seconds)) return false;
  const std::int64_t end = offset + kHeaderSize + header.length;
  // The last record of the file has no successor to vouch for it, so its time must.
  if (end == file_size_) return reference_seconds.has_value();
  const std::optional<CairnRecordHeader> next = HeaderAt(end);
  return next && KnownKind(next->kind) && Fits(end, *next) && WithinAMinute(next->seconds, header.seconds);
}

std::optional<std::int64_t> CairnRecordLocator::Scan(std::int64_t from, std::int64_t to,
                                                     std::optional<std::uint32_t> reference_seconds) {
  to = std::min(to, file_size_ - kHeaderSize + 1);
  if (from >= to) return std::nullopt;
  // Never more than the file holds: a length field alone does not make the reader allocate.
  scan_buffer_.resize(static_cast<std::size_t>(std::min(kScanStep + kHeaderSize - 1, file_size_ - from)));
  for (std::int64_t step = from; step < to; step += kScanStep) {
    const std::int64_t wanted = std::min(static_cast<std::int64_t>(scan_buffer_.size()), file_size_ - step);
    if (fseeko(stream_, static_cast<off_t>(step), SEEK_SET) != 0) return std::nullopt;
    const auto got =
        static_cast<std::int64_t>(std::fread(scan_buffer_.data(), 1, static_cast<std::size_t>(wanted), stream_));
    const std::int64_t last = std::min({got - kHeaderSize, kScanStep - 1, to - 1 - step});
    for (std::int64_t at = 0; at <= last; ++at) {
      const std::uint8_t* bytes = scan_buffer_.data() + at;
      // Most offsets fail on the kind alone; the full test reads the header that follows.
      if (!KnownKind(bytes[0] & 0x0F)) continue;
      if (Plausible(step + at, DecodeCairnHeader(bytes), reference_seconds)) return step + at;
    }
    if (got < wanted) return std::nullopt;
  }
  return std::nullopt;
}

NextRecordStart CairnRecordLocator::Resynchronise(std::int64_t position, const CairnRecordHeader& header,
                                                  int oddities, std::optional<std::uint32_t> reference_seconds) {
  // A header that fits may still be an unusual record of an intact file (a kind the converter
  // skips, a gap in the recording, the last record before damage): only a plausible header inside
  // the bytes it claims shows that it is damage. A header that does not fit is damage whatever
  // follows; one whose next header does not fit while it is odd itself is damage unless a plausible
  // header follows past its bytes (it is then the last record before the damage).
  const bool fits = Fits(position, header);
  const bool damaged = !fits || oddities >= kDamageOddities;
  const std::int64_t end = position + kHeaderSize + header.length;
  if (const std::optional<std::int64_t> found = Scan(position + 1, damaged ? file_size_ : end, reference_seconds)) {
    if (fits && *found >= end) return {header, position, position};
    return {HeaderAt(*found), *found, position};
  }
  if (!damaged) return {header, position, position};
  // Before the first good record nothing vouches for a time: a plausible header after this one's
  // bytes whose time agrees with it shows that this is the first record, with damage right after it.
  if (fits && !reference_seconds && KnownKind(header.kind) && Scan(end, file_size_, header.seconds)) {
    return {header, position, position};
  }
  return {std::nullopt, file_size_, position};
}

NextRecordStart CairnRecordLocator::Next(std::int64_t position, std::optional<std::uint32_t> reference_seconds) {
  if (position >= file_size_) return {std::nullopt, file_size_, file_size_};
  const std::optional<CairnRecordHeader> header = HeaderAt(position);
  // A few bytes too short for a header end the file.
  if (!header) return {std::nullopt, file_size_, position};
  const bool fits = Fits(position, *header);
  const int oddities = fits ? Oddities(position, *header, reference_seconds) : 0;
  if (fits && oddities == 0) return {header, position, position};

  if (last_scan_ && last_scan_->position == position && last_scan_->reference_seconds == reference_seconds) {
    return last_scan_->answer;
  }
  const NextRecordStart answer = Resynchronise(position, *header, oddities, reference_seconds);
  last_scan_ = ScannedAnswer{position, reference_seconds, answer};
  return answer;
}

}  // namespace moraine
