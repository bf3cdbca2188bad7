#include "bitstream/encoded_frame_cutter.h"

#include <gtest/gtest.h>

#include <vector>

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> Cut(const Bytes& access_unit) {
  std::vector<Bytes> units;
  for (const CutNalUnit& unit : CutAccessUnit(access_unit)) units.emplace_back(unit.bytes.begin(), unit.bytes.end());
  return units;
}

TEST(EncodedFrameCutter, CutsAnAccessUnitIntoUnitsWithTheirOwnStartCodes) {
  const Bytes access_unit = {
      0x00, 0x00, 0x00, 0x01, 0x67, 0x42, 0x00,  // SPS, four-byte start code, ends in a zero
      0x00, 0x00, 0x00, 0x01, 0x68, 0xCE,        // PPS
      0x00, 0x00, 0x01, 0x06, 0x05, 0x01,        // SEI, three-byte start code
      0x00, 0x00, 0x01, 0x65, 0x88, 0x80,        // IDR slice
      0x00, 0x00,                                // trailing zeros
  };
  const std::vector<CutNalUnit> units = CutAccessUnit(access_unit);
  ASSERT_EQ(units.size(), 4u);
  EXPECT_EQ(units[0].nal_unit_type, 7);
  EXPECT_EQ(units[1].nal_unit_type, 8);
  EXPECT_EQ(units[2].nal_unit_type, 6);
  EXPECT_EQ(units[3].nal_unit_type, 5);
  // The SPS's own last byte 0x00 cannot be told from a four-byte start code's zero and goes with it.
  EXPECT_EQ(Cut(access_unit), (std::vector<Bytes>{{0x00, 0x00, 0x00, 0x01, 0x67, 0x42},
                                                  {0x00, 0x00, 0x00, 0x01, 0x68, 0xCE},
                                                  {0x00, 0x00, 0x01, 0x06, 0x05, 0x01},
                                                  {0x00, 0x00, 0x01, 0x65, 0x88, 0x80}}));
}

TEST(EncodedFrameCutter, SkipsLeadingBytesAndEmptyUnits) {
  EXPECT_EQ(Cut({0xAB, 0x00, 0x00, 0x01, 0x41, 0x9A}), (std::vector<Bytes>{{0x00, 0x00, 0x01, 0x41, 0x9A}}));
  // A start code directly followed by another, or at the very end, delimits nothing.
  EXPECT_EQ(Cut({0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x41, 0x9A, 0x00, 0x00, 0x01}),
            (std::vector<Bytes>{{0x00, 0x00, 0x01, 0x41, 0x9A}}));
}

TEST(EncodedFrameCutter, AccessUnitWithoutStartCodeYieldsNothing) {
  EXPECT_TRUE(Cut({}).empty());
  EXPECT_TRUE(Cut({0x65, 0x88, 0x84, 0x00, 0x00, 0x02}).empty());
  EXPECT_TRUE(Cut({0x00, 0x00}).empty());
}

}  // namespace
}  // namespace moraine
