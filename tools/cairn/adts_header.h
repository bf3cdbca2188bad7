#pragma once

// The 7-byte ADTS header that makes a raw AAC-LC frame self-describing (no CRC, one raw block).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace moraine::cairn {

inline constexpr std::size_t kAdtsHeaderSize = 7;

// Header for a mono AAC-LC frame of `payload_size` bytes at `sample_rate`; nullopt for a rate
// ADTS cannot name or a frame too long for its 13-bit length field.
std::optional<std::array<std::uint8_t, kAdtsHeaderSize>> MakeAdtsHeader(int sample_rate, std::size_t payload_size);

}  // namespace moraine::cairn
