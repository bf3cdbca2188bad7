#pragma once

// Real H.264 access units for tests, encoded with libx264 from a moving synthetic picture.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace moraine::testing {

struct X264StreamOptions {
  int width = 64;
  int height = 48;
  int frames = 10;
  int keyframe_interval = 250;
  int slices = 1;
  int reference_frames = 1;
  const char* profile = "high";
  int qp = 20;
};

// One encoded picture: its NAL units, each with its start code (three or four bytes).
struct AccessUnit {
  std::vector<std::vector<std::uint8_t>> nal_units;
};

// Encodes `options.frames` pictures without B frames, SPS and PPS in front of every IDR picture.
std::vector<AccessUnit> EncodeX264Stream(const X264StreamOptions& options);

// Position of the NAL header in a unit that starts with its start code.
std::size_t PayloadStart(const std::vector<std::uint8_t>& unit);
// NAL unit type (low five bits of the header) of such a unit.
int NalType(const std::vector<std::uint8_t>& unit);

}  // namespace moraine::testing
