#include "moraine/driver/parameter_sets/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/driver/parameter_sets/nal_unit_writer.h"

namespace moraine {
namespace {

// The payload of a hand-built NAL unit without its one-byte header, for reading it back.
std::vector<std::uint8_t> Payload(const testing::NalUnitWriter& writer) {
  std::vector<std::uint8_t> nal = writer.Finish();
  return {nal.begin() + 1, nal.end()};
}

TEST(BitReaderTest, ReadsMostSignificantBitFirstAcrossBytes) {
  const std::uint8_t bytes[] = {0xA5, 0x0F, 0x80};
  BitReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.ReadBit(), 1u);
  EXPECT_EQ(reader.ReadBits(3), 0b010u);
  EXPECT_EQ(reader.ReadBits(8), 0x50u);
  EXPECT_EQ(reader.ReadBits(4), 0xFu);
  EXPECT_EQ(reader.ReadBits(0), 0u);
  EXPECT_EQ(reader.ReadBit(), 1u);
  EXPECT_FALSE(reader.AtEnd());
}

TEST(BitReaderTest, ReadsZerosPastTheEndWithoutMoving) {
  const std::uint8_t bytes[] = {0xFF, 0xFF, 0xFF, 0xFF, 0xF0};
  BitReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.ReadBits(32), 0xFFFFFFFFu);
  // Four bits remain: they come first, then zeros.
  EXPECT_EQ(reader.ReadBits(12), 0xF00u);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.ReadBit(), 0u);
  EXPECT_EQ(reader.ReadBits(32), 0u);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 0u);
  EXPECT_EQ(reader.ReadSignedExpGolomb(), 0);

  BitReader empty(nullptr, 0);
  EXPECT_TRUE(empty.AtEnd());
  EXPECT_EQ(empty.ReadBits(8), 0u);
}

TEST(BitReaderTest, LongReadsKeepTheLastThirtyTwoBits) {
  const std::uint8_t bytes[] = {0x80, 0x00, 0x00, 0x00, 0x01};
  BitReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.ReadBits(40), 1u);

  const std::uint8_t short_bytes[] = {0xFF};
  BitReader short_reader(short_bytes, sizeof short_bytes);
  // Eight ones, then 32 zeros from past the end: the ones are shifted out.
  EXPECT_EQ(short_reader.ReadBits(40), 0u);
}

TEST(BitReaderTest, SkipsEmulationPreventionBytes) {
  struct Case {
    std::vector<std::uint8_t> escaped;
    std::vector<std::uint32_t> expected_bytes;
  };
  const Case cases[] = {
      {{0x11, 0x00, 0x00, 0x03, 0x01}, {0x11, 0x00, 0x00, 0x01}},
      // At the very start of the range.
      {{0x00, 0x00, 0x03, 0x02}, {0x00, 0x00, 0x02}},
      // A 03 right after an escape is data; the zeros before a second escape count afresh.
      {{0x00, 0x00, 0x03, 0x03, 0x00, 0x00, 0x03, 0x00}, {0x00, 0x00, 0x03, 0x00, 0x00, 0x00}},
      // Only two zeros in a row escape: 00 03 and 00 00 04 are data.
      {{0x00, 0x03, 0x00, 0x00, 0x04}, {0x00, 0x03, 0x00, 0x00, 0x04}},
      // An escape as the last byte ends the range.
      {{0x00, 0x00, 0x03}, {0x00, 0x00}},
  };
  for (const Case& c : cases) {
    BitReader reader(c.escaped.data(), c.escaped.size());
    std::vector<std::uint32_t> read;
    while (!reader.AtEnd()) {
      read.push_back(reader.ReadBits(8));
    }
    EXPECT_EQ(read, c.expected_bytes);
  }
}

TEST(BitReaderTest, SkipsAnEscapeReachedInTheMiddleOfAField) {
  const std::uint8_t bytes[] = {0x00, 0x00, 0x03, 0xFF};
  BitReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.ReadBits(12), 0x000u);
  EXPECT_EQ(reader.ReadBits(12), 0x0FFu);
  EXPECT_TRUE(reader.AtEnd());
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
  const std::vector<std::uint8_t> payload = Payload(writer);
  BitReader reader(payload.data(), payload.size());
  for (const std::uint32_t value : unsigned_values) {
    EXPECT_EQ(reader.ReadUnsignedExpGolomb(), value);
  }
  for (const std::int32_t value : signed_values) {
    EXPECT_EQ(reader.ReadSignedExpGolomb(), value);
  }
  EXPECT_EQ(reader.ReadBit(), 1u);  // rbsp_stop_one_bit
}

TEST(BitReaderTest, ExpGolombCodeCutByTheEndReadsAsAllOnes) {
  // Eight zeros, then the end: 2^8 - 1, the value whose remaining bits are all zero.
  const std::uint8_t bytes[] = {0x00};
  BitReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 255u);
}

TEST(BitReaderTest, ExpGolombWithThirtyTwoLeadingZerosReadsAsZero) {
  // 32 zeros, a 1 and value bits: no valid code is this long.
  const std::uint8_t bytes[] = {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  BitReader reader(bytes, sizeof bytes);
  EXPECT_EQ(reader.ReadUnsignedExpGolomb(), 0u);
  // Only the 32 zeros were consumed.
  EXPECT_EQ(reader.ReadBits(8), 0xFFu);

  BitReader signed_reader(bytes, sizeof bytes);
  EXPECT_EQ(signed_reader.ReadSignedExpGolomb(), 0);
}

}  // namespace
}  // namespace moraine
