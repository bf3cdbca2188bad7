#pragma once

// The displayed part of a coded picture. H.264 (frame cropping) and HEVC (conformance window)
// both give the four offsets in units of the chroma sampling grid, so one rule serves both.

#include <cstdint>

#include "moraine/driver/parameter_sets/sequence_parameters.h"

namespace moraine {

struct WindowOffsets {
  std::uint64_t left = 0;
  std::uint64_t right = 0;
  std::uint64_t top = 0;
  std::uint64_t bottom = 0;
};

// Takes the offsets off `parameters`' width and height: horizontal ones times SubWidthC,
// vertical ones times SubHeightC × `rows_per_unit` (2 for H.264 field-capable streams, else 1),
// with SubWidthC and SubHeightC of ChromaArrayType 0 to 3. Another ChromaArrayType (only a
// damaged SPS has one) leaves the size alone; a window at least as large as a dimension gives 0.
void ApplyDisplayWindow(SequenceParameters& parameters, std::uint32_t chroma_array_type,
                        const WindowOffsets& offsets, std::uint32_t rows_per_unit);

}  // namespace moraine
