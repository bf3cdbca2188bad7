#pragma once

// Structured analytic metadata blocks: the "GAD" payloads of info records that carry an analytic's
// name, the picture size it ran on and its objects, each object a body of tag entries. Parsing
// never fails and never reads past the bytes it is given; malformed input gives an empty or
// shortened result.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace moraine {

// Object types of a block; objects of any other type are passed over.
inline constexpr std::int32_t kDrawingObjectType = 1;
inline constexpr std::int32_t kInfoObjectType = 2;

using TagValue = std::vector<std::uint8_t>;
// Tag -> its non-empty values in body order; tags ascending.
using TagMap = std::map<std::uint8_t, std::vector<TagValue>>;

struct RawObject {
  std::int32_t object_type = 0;
  std::vector<std::uint8_t> body;  // normalised: tags ascending, empty entries gone
};

struct AnalyticBlock {
  std::string name;  // cut at its first zero byte
  std::uint16_t source_width = 0;
  std::uint16_t source_height = 0;
  std::vector<RawObject> objects;  // drawing and info objects with at least one entry, in block order
};

// Parses a payload that starts with "GAD" and whose total-length field equals `length`; any other
// payload gives an empty block (empty name, 0 x 0, no objects). `payload` may be null when
// `length` is 0. The block owns copies of the bytes it keeps.
AnalyticBlock ParseAnalyticBlock(const std::uint8_t* payload, std::size_t length);

// Splits an object body into its tag entries. Entries with an empty value are dropped; a value cut
// short by the end of the body keeps the bytes present. A body of 2 bytes or fewer gives no tags.
TagMap ParseTagBody(std::span<const std::uint8_t> body);

// Writes the entries back as a body: tags ascending, each value in order, as tag, length, bytes.
std::vector<std::uint8_t> SerializeTagMap(const TagMap& tags);

// The big-endian unsigned 16-bit word at `offset`; 0 when the bytes end before the word does.
std::uint16_t ReadWord(std::span<const std::uint8_t> bytes, std::size_t offset);

}  // namespace moraine
