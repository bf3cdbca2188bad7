#pragma once

// Compact text of parsed parameters for test expectations: "1920x1080 sar 4:3".

#include <string>

#include "moraine/driver/parameter_sets/sequence_parameters.h"

namespace moraine::testing {

inline std::string Describe(const SequenceParameters& parameters) {
  return std::to_string(parameters.width) + "x" + std::to_string(parameters.height) + " sar " +
         std::to_string(parameters.aspect_width) + ":" + std::to_string(parameters.aspect_height);
}

}  // namespace moraine::testing
