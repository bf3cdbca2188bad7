#include "moraine/overlay/analytic_block.h"

#include <algorithm>
#include <limits>

namespace moraine {
namespace {

constexpr std::uint8_t kMagic[] = {'G', 'A', 'D'};
constexpr std::size_t kTotalLengthOffset = 3;
constexpr std::size_t kSourceWidthOffset = 5;
constexpr std::size_t kSourceHeightOffset = 7;
constexpr std::size_t kNameLengthOffset = 9;
constexpr std::size_t kNameOffset = 10;
constexpr std::size_t kObjectCountSize = 2;
constexpr std::uint64_t kObjectHeaderSize = 3;  // type byte, body length word
constexpr std::size_t kTagEntryHeaderSize = 2;  // tag byte, value length byte
constexpr std::size_t kMaxTagValue = std::numeric_limits<std::uint8_t>::max();

bool StartsWithMagic(std::span<const std::uint8_t> payload) {
  return payload.size() >= std::size(kMagic) && std::equal(std::begin(kMagic), std::end(kMagic), payload.begin());
}

// Walks `count` objects from `position` on. Offsets are 64-bit: a count of 65535 objects each
// claiming 65535 body bytes reaches past 2^32, and the walk must not wrap back into the payload.
void ParseObjects(std::span<const std::uint8_t> payload, std::uint64_t position, std::uint16_t count,
                  AnalyticBlock& block) {
  const std::uint64_t size = payload.size();
  // Past the payload every object reads as type 0 with no body, which is passed over.
  for (std::uint32_t index = 0; index < count && position < size; ++index) {
    const std::uint8_t object_type = payload[position];
    const std::uint16_t body_length = ReadWord(payload, position + 1);
    const std::uint64_t body_start = std::min(position + kObjectHeaderSize, size);
    const std::uint64_t body_end = std::min(body_start + body_length, size);
    position += kObjectHeaderSize + body_length;
    if (object_type != kDrawingObjectType && object_type != kInfoObjectType) continue;
    // Both object classes serialise alike, so the stored body is the normalised tag map without
    // building the object itself.
    std::vector<std::uint8_t> body = SerializeTagMap(ParseTagBody(payload.subspan(body_start, body_end - body_start)));
    if (!body.empty()) block.objects.push_back({object_type, std::move(body)});
  }
}

}  // namespace

std::uint16_t ReadWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  if (offset >= bytes.size() || bytes.size() - offset < 2) return 0;
  return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

AnalyticBlock ParseAnalyticBlock(const std::uint8_t* payload, std::size_t length) {
  AnalyticBlock block;
  if (payload == nullptr) return block;
  const std::span<const std::uint8_t> bytes(payload, length);
  if (!StartsWithMagic(bytes) || ReadWord(bytes, kTotalLengthOffset) != length) return block;
  block.source_width = ReadWord(bytes, kSourceWidthOffset);
  block.source_height = ReadWord(bytes, kSourceHeightOffset);
  if (length <= kNameLengthOffset) return block;

  const std::size_t name_length = bytes[kNameLengthOffset];
  const std::size_t count_offset = kNameOffset + name_length;
  if (count_offset > length) return block;  // name cut short: nothing follows it
  const auto name_begin = bytes.begin() + kNameOffset;
  const auto name_end = bytes.begin() + static_cast<std::ptrdiff_t>(count_offset);
  block.name.assign(name_begin, std::find(name_begin, name_end, 0));
  // The count follows all n name bytes, a zero among them included: the text stops at the zero,
  // the layout does not.
  if (length - count_offset < kObjectCountSize) return block;
  ParseObjects(bytes, count_offset + kObjectCountSize, ReadWord(bytes, count_offset), block);
  return block;
}

TagMap ParseTagBody(std::span<const std::uint8_t> body) {
  TagMap tags;
  if (body.size() <= kTagEntryHeaderSize) return tags;
  // Every position the walk reaches has its tag, its length and at least one more byte present.
  std::size_t position = 0;
  for (;;) {
    const std::uint8_t tag = body[position];
    const std::size_t value_length = body[position + 1];
    const std::size_t value_start = position + kTagEntryHeaderSize;
    const std::size_t present = std::min(value_length, body.size() - value_start);
    if (present > 0) {
      const auto value_begin = body.begin() + static_cast<std::ptrdiff_t>(value_start);
      tags[tag].emplace_back(value_begin, value_begin + static_cast<std::ptrdiff_t>(present));
    }
    // Go on only while a whole entry with one value byte can follow; a shorter tail would be empty.
    if (body.size() < value_start + value_length + kTagEntryHeaderSize + 1) break;
    position = value_start + value_length;
  }
  return tags;
}

std::vector<std::uint8_t> SerializeTagMap(const TagMap& tags) {
  std::vector<std::uint8_t> body;
  for (const auto& [tag, values] : tags) {
    for (const TagValue& value : values) {
      // A length byte says at most 255; a longer value (never parsed, only built) is cut there so
      // that the body reads back entry by entry.
      const std::size_t kept = std::min(value.size(), kMaxTagValue);
      body.push_back(tag);
      body.push_back(static_cast<std::uint8_t>(kept));
      body.insert(body.end(), value.begin(), value.begin() + static_cast<std::ptrdiff_t>(kept));
    }
  }
  return body;
}

}  // namespace moraine
