#include "bitstream/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <vector>

#include "bitstream/emulation_prevention.h"
#include "tests/bitstream/nal_unit_writer.h"

namespace moraine {
namespace {

// The payload of a hand-built NAL unit without its one-byte header and emulation prevention.
std::vector<std::uint8_t> Rbsp(const testing::NalUnitWriter& writer) {
  const std::vector<std::uint8_t> nal = writer.Finish();
  std::vector<std::uint8_t> rbsp;
  RemoveEmulationPrevention(std::span(nal).subspan(1), EscapeRule::kDecoding, rbsp);
  return rbsp;
}

TEST(BitReaderTest, ReadsMostSignificantBitFirstAcrossBytes) {
  const std::vector<std::uint8_t> bytes = {0xA5, 0x0F, 0x80};
  BitReader reader(bytes);
  EXPECT_TRUE(reader.ReadFlag());
  EXPECT_EQ(reader.ReadBits(3), 0b010u);
  EXPECT_EQ(reader.ReadBits(8), 0x50u);
  EXPECT_EQ(reader.ReadBits(4), 0xFu);
  EXPECT_EQ(reader.ReadBits(0), 0u);
  EXPECT_TRUE(reader.ReadFlag());
  EXPECT_EQ(reader.bit_position(), 17u);
  EXPECT_EQ(reader.bits_left(), 7u);
  EXPECT_FALSE(reader.failed());
}

TEST(BitReaderTest, ReadsZerosPastTheEndAndFails) {
  const std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0xFF, 0xF0};
  BitReader reader(bytes);
  EXPECT_EQ(reader.ReadBits(32), 0xFFFFFFFFu);
  EXPECT_EQ(reader.ReadBits(8), 0xF0u);
  EXPECT_FALSE(reader.failed());
  // Nothing is left: zeros come, the position stays at the end, and the failure sticks.
  EXPECT_EQ(reader.ReadBits(12), 0u);
  EXPECT_TRUE(reader.failed());
  EXPECT_EQ(reader.bit_position(), 40u);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 0u);
  EXPECT_EQ(reader.ReadSignedExpGolomb(), 0);

  BitReader empty({});
  EXPECT_EQ(empty.ReadBits(8), 0u);
  EXPECT_TRUE(empty.failed());
}

TEST(BitReaderTest, SkipsWithinTheDataOnly) {
  const std::vector<std::uint8_t> bytes = {0x00, 0x01};
  BitReader reader(bytes);
  reader.SkipBits(15);
  EXPECT_FALSE(reader.failed());
  EXPECT_TRUE(reader.ReadFlag());
  reader.SkipBits(1);
  EXPECT_TRUE(reader.failed());
  EXPECT_EQ(reader.bits_left(), 0u);
}

TEST(BitReaderTest, ReadsExpGolombCodes) {
  const std::vector<std::uint32_t> unsigned_values = {0, 1, 2, 3, 7, 255, 65535, 0x7FFFFFFF,
                                                      0xFFFFFFFE};
  const std::vector<std::int32_t> signed_values = {0, 1, -1, 2, -2, 1000, -1000, 0x7FFFFFFF,
                                                   -0x7FFFFFFF};
  testing::NalUnitWriter writer({0x67});
  for (const std::uint32_t value : unsigned_values) {
    writer.Ue(value);
  }
  for (const std::int32_t value : signed_values) {
    writer.Se(value);
  }
  const std::vector<std::uint8_t> rbsp = Rbsp(writer);
  BitReader reader(rbsp);
  for (const std::uint32_t value : unsigned_values) {
    EXPECT_EQ(reader.ReadUnsignedExpGolomb(), value);
  }
  for (const std::int32_t value : signed_values) {
    EXPECT_EQ(reader.ReadSignedExpGolomb(), value);
  }
  EXPECT_TRUE(reader.ReadFlag());  // rbsp_stop_one_bit
  EXPECT_FALSE(reader.failed());
}

TEST(BitReaderTest, ExpGolombCodesCutByTheEndFail) {
  // Eight zeros, then the end: the prefix never ends.
  const std::vector<std::uint8_t> prefix_cut = {0x00};
  BitReader prefix_reader(prefix_cut);
  prefix_reader.ReadUnsignedExpGolomb();
  EXPECT_TRUE(prefix_reader.failed());
  // 0000001 and one of its six value bits.
  const std::vector<std::uint8_t> value_cut = {0x03};
  BitReader value_reader(value_cut);
  value_reader.ReadUnsignedExpGolomb();
  EXPECT_TRUE(value_reader.failed());
}

TEST(BitReaderTest, ExpGolombWithThirtyTwoLeadingZerosReadsAsZero) {
  // 32 zeros, a 1 and value bits: no valid code is this long.
  const std::vector<std::uint8_t> bytes = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  BitReader reader(bytes);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 0u);
  EXPECT_TRUE(reader.failed());
  // Only the 32 zeros were consumed.
  EXPECT_EQ(reader.ReadBits(8), 0xFFu);

  BitReader signed_reader(bytes);
  EXPECT_EQ(signed_reader.ReadSignedExpGolomb(), 0);
  EXPECT_TRUE(signed_reader.failed());
}

}  // namespace
}  // namespace moraine
