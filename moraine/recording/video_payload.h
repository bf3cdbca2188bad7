#pragma once

// Rules for the payloads of video frame and parameter-set records: each starts with the start
// code 00 00 00 01, whose last byte a recorder may replace by the privacy marker 0x11.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace moraine {

// Restores a privacy-marked start code (payload byte 3: 0x11 becomes 0x01) in place.
// Returns true when the marker was there, i.e. the stream asks for privacy processing.
// Only byte 3 is examined; payloads shorter than 4 bytes are left alone.
bool RemovePrivacyMarker(std::uint8_t* payload, std::size_t size);

// The NAL unit type from payload byte 4 (the first byte of the NAL unit header) by the H.264 or
// the HEVC rule; nullopt for a payload too short to have that byte.
std::optional<std::uint8_t> NalUnitType(const std::uint8_t* payload, std::size_t size, bool hevc);

}  // namespace moraine
