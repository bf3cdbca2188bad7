#include "bitstream/emulation_prevention.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct EscapeCase {
  Bytes unit;
  Bytes decoded;                    // under EscapeRule::kDecoding
  std::optional<Bytes> reversible;  // under EscapeRule::kReversible; empty: malformed
  std::optional<bool> canonical;    // what CheckEmulationPrevention says
};

const EscapeCase kCases[] = {
    {{0x11, 0x00, 0x00, 0x03, 0x01}, {0x11, 0x00, 0x00, 0x01}, Bytes{0x11, 0x00, 0x00, 0x01}, true},
    // At the very start of the unit.
    {{0x00, 0x00, 0x03, 0x02}, {0x00, 0x00, 0x02}, Bytes{0x00, 0x00, 0x02}, true},
    // A 03 right after an escape is data; the zeros before a second escape count afresh.
    {{0x00, 0x00, 0x03, 0x03, 0x00, 0x00, 0x03, 0x00},
     {0x00, 0x00, 0x03, 0x00, 0x00, 0x00},
     Bytes{0x00, 0x00, 0x03, 0x00, 0x00, 0x00},
     true},
    // Only two zeros in a row escape: 00 03 and 00 00 04 are data.
    {{0x00, 0x03, 0x00, 0x00, 0x04},
     {0x00, 0x03, 0x00, 0x00, 0x04},
     Bytes{0x00, 0x03, 0x00, 0x00, 0x04},
     true},
    // An 03 that protects nothing: decoders drop it, the reversible rule keeps it.
    {{0x00, 0x00, 0x03, 0x04}, {0x00, 0x00, 0x04}, Bytes{0x00, 0x00, 0x03, 0x04}, false},
    {{0x00, 0x00, 0x03}, {0x00, 0x00}, Bytes{0x00, 0x00, 0x03}, false},
    // Three zeros still make the 03 an escape for a decoder; they cannot stand in a well-formed unit.
    {{0x00, 0x00, 0x00, 0x03, 0x01}, {0x00, 0x00, 0x00, 0x01}, std::nullopt, std::nullopt},
    {{0x80, 0x00, 0x00, 0x00}, {0x80, 0x00, 0x00, 0x00}, std::nullopt, std::nullopt},
    {{0x68, 0x00, 0x00, 0x02, 0x80}, {0x68, 0x00, 0x00, 0x02, 0x80}, std::nullopt, std::nullopt},
    {{0x80, 0x00, 0x00}, {0x80, 0x00, 0x00}, Bytes{0x80, 0x00, 0x00}, true},
};

TEST(EmulationPreventionTest, RemovesEscapesByEachRule) {
  for (const EscapeCase& c : kCases) {
    Bytes rbsp = {0xEE};  // replaced, not appended to
    EXPECT_TRUE(RemoveEmulationPrevention(c.unit, EscapeRule::kDecoding, rbsp));
    EXPECT_EQ(rbsp, c.decoded);
    EXPECT_EQ(RemoveEmulationPrevention(c.unit, EscapeRule::kReversible, rbsp), c.reversible.has_value());
    if (c.reversible) {
      EXPECT_EQ(rbsp, *c.reversible);
    }
    EXPECT_EQ(CheckEmulationPrevention(c.unit), c.canonical);
  }
}

TEST(EmulationPreventionTest, CanonicalUnitsSurviveRemovingAndAddingEscapes) {
  for (const EscapeCase& c : kCases) {
    if (!c.reversible) continue;
    Bytes escaped = {0x47};  // appended to
    AppendWithEmulationPrevention(*c.reversible, escaped);
    Bytes expected = {0x47};
    expected.insert(expected.end(), c.unit.begin(), c.unit.end());
    // A kept 03 is escaped once more: the unit changes exactly when it was not canonical.
    EXPECT_EQ(escaped == expected, *c.canonical);
  }
  Bytes escaped;
  AppendWithEmulationPrevention(Bytes{0x00, 0x00, 0x03, 0x04}, escaped);
  EXPECT_EQ(escaped, (Bytes{0x00, 0x00, 0x03, 0x03, 0x04}));
}

}  // namespace
}  // namespace moraine
