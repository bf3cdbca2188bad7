#pragma once

// Finds boxes in a finished MP4 file held in memory, for checking the layout in tests.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace moraine::testing {

struct BoxSpan {
  std::size_t offset = 0;       // of the box header
  std::uint64_t size = 0;       // whole box, header included
  std::size_t header_size = 8;  // 16 for a box with a 64-bit size
};

// The `index`-th child of type `type` among the boxes in [begin, end).
std::optional<BoxSpan> FindChild(const std::vector<std::uint8_t>& file, std::size_t begin,
                                 std::size_t end, const std::string& type, int index = 0);

// Follows `path` from the top level, e.g. {"moov", "trak", "mdia", "mdhd"}; sample entries and
// the few boxes with fields before their children are stepped into as well. The first box of
// each type is taken, except that "trak#1" names the second `trak`.
std::optional<BoxSpan> FindBox(const std::vector<std::uint8_t>& file,
                               const std::vector<std::string>& path);

std::uint32_t ReadU32(const std::vector<std::uint8_t>& file, std::size_t offset);
std::uint64_t ReadU64(const std::vector<std::uint8_t>& file, std::size_t offset);
std::uint16_t ReadU16(const std::vector<std::uint8_t>& file, std::size_t offset);

// The picture size the first track declares in its track header (16.16 fixed point) and in its
// avc1 sample entry, as "WxH / WxH", so one expectation shows both.
std::string DeclaredVideoSize(const std::vector<std::uint8_t>& file);

// Bytes of a box, header included.
std::vector<std::uint8_t> BoxBytes(const std::vector<std::uint8_t>& file, const BoxSpan& box);

}  // namespace moraine::testing
