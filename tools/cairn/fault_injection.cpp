#include "tools/cairn/fault_injection.h"

#include <random>

#include "moraine/recording/cairn_record.h"

namespace moraine::cairn {
namespace {

constexpr std::size_t kGarbageBytes = 37;

// A header with the time of `neighbour` but the given kind and no payload.
RecordBytes EmptyRecordLike(const RecordBytes& neighbour, RecordKind kind) {
  CairnRecordHeader header = DecodeCairnHeader(neighbour.data());
  header.kind = static_cast<std::uint8_t>(kind);
  header.length = 0;
  const auto bytes = EncodeCairnHeader(header);
  return RecordBytes(bytes.begin(), bytes.end());
}

}  // namespace

void InjectFaults(std::vector<RecordBytes>& pieces, const FaultSet& faults, std::uint32_t seed) {
  if (pieces.empty()) return;
  // Truncate first, so the damaged record is still the last one whatever else is inserted.
  if (faults.truncated_last_record) {
    RecordBytes& last = pieces.back();
    const std::size_t payload = last.size() - kCairnHeaderSize;
    last.resize(kCairnHeaderSize + payload / 2);
  }
  // Empty records go in before the garbage, so their times are taken from a real record.
  if (faults.zero_length_records) {
    const std::size_t middle = pieces.size() / 2;
    const RecordBytes& neighbour = pieces[middle];
    RecordBytes empty_info = EmptyRecordLike(neighbour, RecordKind::kInfo);
    RecordBytes empty_video = EmptyRecordLike(neighbour, RecordKind::kVideoFrame);
    pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(middle), {std::move(empty_info), std::move(empty_video)});
  }
  if (faults.garbage_between_records) {
    std::mt19937 generator(seed ^ 0x6A09E667u);
    RecordBytes garbage(kGarbageBytes);
    for (std::uint8_t& byte : garbage) byte = static_cast<std::uint8_t>(generator() >> 24);
    pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(pieces.size() * 2 / 3), std::move(garbage));
  }
}

}  // namespace moraine::cairn
