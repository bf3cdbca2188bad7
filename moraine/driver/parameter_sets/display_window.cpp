#include "moraine/driver/parameter_sets/display_window.h"

#include <array>

namespace moraine {
namespace {

// Units per offset by ChromaArrayType 0 to 3.
constexpr std::array<std::uint32_t, 4> kSubWidthC = {1, 2, 2, 1};
constexpr std::array<std::uint32_t, 4> kSubHeightC = {1, 2, 1, 1};

// `size` less `window`, or 0 when the window takes the whole picture or more.
std::uint32_t Shrunk(std::uint32_t size, std::uint64_t window) {
  return window >= size ? 0 : size - static_cast<std::uint32_t>(window);
}

}  // namespace

void ApplyDisplayWindow(SequenceParameters& parameters, std::uint32_t chroma_array_type,
                        const WindowOffsets& offsets, std::uint32_t rows_per_unit) {
  if (chroma_array_type >= kSubWidthC.size()) return;
  // Offsets are exp-Golomb values below 2^32, so none of these 64-bit products can overflow.
  parameters.width = Shrunk(parameters.width, kSubWidthC[chroma_array_type] * (offsets.left + offsets.right));
  parameters.height = Shrunk(parameters.height, std::uint64_t{kSubHeightC[chroma_array_type]} * rows_per_unit *
                                                    (offsets.top + offsets.bottom));
}

}  // namespace moraine
