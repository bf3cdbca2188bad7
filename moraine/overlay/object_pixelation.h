#pragma once

// The pixelation pass: a recorder says how strongly pictures must be made unrecognisable through
// structured blocks named "Pixelate", whose info objects carry a pixelation level and an
// anonymizer algorithm. The pass reads them from every structured payload while the first privacy
// switch is on.

#include <cstddef>
#include <cstdint>

#include "moraine/overlay/metadata_object.h"

namespace moraine {

// What the latest accepted "Pixelate" info object asked for; kept for the whole conversion.
struct PixelationSettings {
  std::int32_t anonymizer_algorithm = -1;  // 0 the built-in mosaic, any other value the module
  std::int32_t pixelation_level = 0;       // 0 switches pixelation off
};

// The level an info object's words grant: its level when privacy switch two forces it through,
// when the two selectors share a bit, or when selector two is 0 and selector one has bit 1 set;
// 0 otherwise.
std::int32_t GrantedPixelationLevel(const PixelateParameters& words, bool switch_two);

// With switch one off: false, nothing read. Otherwise parses `payload` into a store of its own and
// lets each "Pixelate" info object in turn (the last one wins) set the algorithm and the granted
// level in `settings`; returns true, also when the payload holds no such object.
bool RunPixelationPass(bool switch_one, bool switch_two, const std::uint8_t* payload, std::size_t length,
                       PixelationSettings& settings);

}  // namespace moraine
