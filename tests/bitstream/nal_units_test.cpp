#include "bitstream/nal_units.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tests/bitstream/hex_bytes.h"

namespace moraine {
namespace {

using testing::FromHex;

// Each unit as "start_code_offset/payload_offset/size/payload without trailing zeros in hex".
std::vector<std::string> Describe(const std::vector<std::uint8_t>& stream) {
  std::vector<std::string> units;
  for (const NalUnit& unit : SplitNalUnits(stream)) {
    std::string text = std::to_string(unit.start_code_offset) + "/" + std::to_string(unit.payload_offset) +
                       "/" + std::to_string(unit.size) + "/";
    for (const std::uint8_t byte : PayloadWithoutTrailingZeros(stream, unit)) {
      text += "0123456789abcdef"[byte >> 4];
      text += "0123456789abcdef"[byte & 0xF];
    }
    units.push_back(text);
  }
  return units;
}

TEST(NalUnitsTest, SplitsAtThreeAndFourByteStartCodes) {
  const struct {
    const char* stream;
    std::vector<std::string> units;
  } cases[] = {
      {"", {}},
      {"ffee0001", {}},  // a start code cut by the end
      {"0000000167aa000001688000", {"0/4/2/67aa", "6/9/3/6880"}},
      // Bytes before the first start code belong to no unit; a zero byte right before a start code
      // belongs to it, further zeros stay with the unit before as padding.
      {"ff000001650000000000014180", {"1/4/3/65", "7/11/2/4180"}},
      // Start codes with nothing or only zeros behind them.
      {"00000100000001000000014100", {"0/3/0/", "3/7/0/", "7/11/2/41"}},
      // 00 00 02 and 00 00 03 are no start codes.
      {"00000165000002000003", {"0/3/7/65000002000003"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(FromHex(c.stream)), c.units) << c.stream;
  }
}

TEST(NalUnitsTest, SearchesFromAnOffset) {
  const std::vector<std::uint8_t> stream = FromHex("000001650000000141");
  const std::optional<NalUnit> second = NextNalUnit(stream, 3);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->start_code_offset, 4u);
  EXPECT_EQ(second->payload_offset, 8u);
  EXPECT_FALSE(NextNalUnit(stream, 6));
  EXPECT_FALSE(NextNalUnit(stream, 100));
}

// Access units of H.264: SPS PPS IDR | SEI slice | slice (first_mb 0) | slice (first_mb > 0).
TEST(NalUnitsTest, H264AccessUnitBoundaries) {
  const std::vector<std::uint8_t> stream = FromHex(
      "0000000167aa"    // SPS
      "0000000168bb"    // PPS
      "0000016588"      // IDR slice, first_mb_in_slice 0
      "0000016580"      // IDR slice, first_mb_in_slice 0 again: a new picture
      "00000106cc"      // SEI
      "0000014140");    // slice with first_mb_in_slice 1
  const AccessUnitBounds first = FindFirstAccessUnit(VideoCodec::kH264, stream);
  EXPECT_EQ(first.begin, 0u);
  ASSERT_TRUE(first.end);
  EXPECT_EQ(*first.end, 17u);
  const std::vector<std::uint8_t> rest(stream.begin() + 17, stream.end());
  const AccessUnitBounds second = FindFirstAccessUnit(VideoCodec::kH264, rest);
  ASSERT_TRUE(second.end);
  EXPECT_EQ(*second.end, 5u);
  const std::vector<std::uint8_t> last(rest.begin() + 5, rest.end());
  EXPECT_FALSE(FindFirstAccessUnit(VideoCodec::kH264, last).end);  // SEI + slice: one unit
  EXPECT_TRUE(HoldsSlice(VideoCodec::kH264, last));
  EXPECT_FALSE(HoldsSlice(VideoCodec::kH264, FromHex("0000000167aa0000000168bb")));
}

TEST(NalUnitsTest, HevcAccessUnitBoundariesAndLeadingBytes) {
  const std::vector<std::uint8_t> stream = FromHex(
      "ffee"              // bytes before the first start code
      "0000014001aa"      // VPS
      "000001260180"      // IDR_W_RADL, first_slice_segment_in_pic_flag 1
      "000001020140"      // TRAIL_R, a later segment of the same picture
      "000001020180");    // TRAIL_R, first of the next picture
  const AccessUnitBounds bounds = FindFirstAccessUnit(VideoCodec::kHevc, stream);
  EXPECT_EQ(bounds.begin, 2u);
  ASSERT_TRUE(bounds.end);
  EXPECT_EQ(*bounds.end, 20u);
  EXPECT_EQ(FindFirstAccessUnit(VideoCodec::kHevc, FromHex("ffee00")).begin, 3u);
}

}  // namespace
}  // namespace moraine
