#pragma once

// Test vectors of sequence parameter sets and a compact text of their parse: "1920x1080 sar 4:3".

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "bitstream/sequence_parameters.h"

namespace moraine::testing {

inline std::string Describe(const SequenceParameters& parameters) {
  return std::to_string(parameters.width) + "x" + std::to_string(parameters.height) + " sar " +
         std::to_string(parameters.aspect_width) + ":" + std::to_string(parameters.aspect_height);
}

// A parameter set taken from a real encoder's stream, with the parse it must give.
struct RealSps {
  const char* name;
  std::vector<std::uint8_t> nal;
  const char* expected;
};

inline void PrintTo(const RealSps& sps, std::ostream* os) { *os << sps.name; }

}  // namespace moraine::testing
