#pragma once

// Emulation prevention of H.264 and HEVC NAL units: the 0x03 bytes that keep a unit's payload from
// containing a start code.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace moraine {

// What an 0x03 after two zero bytes is taken for.
enum class EscapeRule {
  // Always an emulation prevention byte, and every byte sequence is accepted: how a decoder reads
  // the units it is given.
  kDecoding,
  // An emulation prevention byte only when a byte of 0x03 or less follows it, and two zero bytes
  // followed by 0x00, 0x01 or 0x02 make the unit malformed. AppendWithEmulationPrevention then gives
  // back every unit that CheckEmulationPrevention calls canonical.
  kReversible,
};

// Replaces `rbsp` with the unit's payload without emulation prevention bytes as `rule` takes them.
// False when the rule finds the unit malformed (never for kDecoding).
bool RemoveEmulationPrevention(std::span<const std::uint8_t> unit, EscapeRule rule,
                               std::vector<std::uint8_t>& rbsp);

// Checks a unit as RemoveEmulationPrevention with EscapeRule::kReversible does, without copying:
// nullopt when it is malformed, otherwise whether removing and inserting emulation prevention gives
// the unit back unchanged.
std::optional<bool> CheckEmulationPrevention(std::span<const std::uint8_t> unit);

// Appends `rbsp` to `out`, inserting 0x03 before every byte of 0x03 or less that follows two
// zero bytes.
void AppendWithEmulationPrevention(std::span<const std::uint8_t> rbsp, std::vector<std::uint8_t>& out);

}  // namespace moraine
