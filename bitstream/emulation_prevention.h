#pragma once

// Emulation prevention of H.264 NAL units: the 0x03 bytes that keep a unit's payload from
// containing a start code.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace moraine {

// Replaces `rbsp` with the unit's payload without emulation prevention bytes. An 0x03 after two
// zero bytes is dropped when a byte of 0x03 or less follows it. False when the unit is malformed:
// two zero bytes followed by 0x00, 0x01 or 0x02, or nothing left.
bool RemoveEmulationPrevention(const std::uint8_t* unit, std::size_t size,
                               std::vector<std::uint8_t>& rbsp);

// Checks a unit as RemoveEmulationPrevention does, without copying: nullopt when it is
// malformed, otherwise whether removing and inserting emulation prevention gives the unit back
// unchanged.
std::optional<bool> CheckEmulationPrevention(const std::uint8_t* unit, std::size_t size);

// Appends `rbsp` to `out`, inserting 0x03 before every byte of 0x03 or less that follows two
// zero bytes.
void AppendWithEmulationPrevention(const std::uint8_t* rbsp, std::size_t size,
                                   std::vector<std::uint8_t>& out);

}  // namespace moraine
