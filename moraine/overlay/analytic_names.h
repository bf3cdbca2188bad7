#pragma once

// The analytic names a recorder writes into structured blocks, and the trace name each of the four
// known analytics also goes by. Blocks of either name belong to the same analytic.

#include <string>
#include <string_view>

namespace moraine {

inline constexpr std::string_view kMotionAnalyticName = "motion";
inline constexpr std::string_view kPerimeterAnalyticName = "perimeter";
inline constexpr std::string_view kLoiteringAnalyticName = "loitering";
inline constexpr std::string_view kFireAnalyticName = "fire";

inline constexpr std::string_view kMotionTraceName = "Stirwatch";
inline constexpr std::string_view kPerimeterTraceName = "Fencewatch";
inline constexpr std::string_view kLoiteringTraceName = "Lingerwatch";
inline constexpr std::string_view kFireTraceName = "Flamewatch";

// Blocks carrying pixelation parameters, and lens descriptions; neither sets the picture size the
// overlay maps from.
inline constexpr std::string_view kPixelateAnalyticName = "Pixelate";
inline constexpr std::string_view kFisheyeAnalyticName = "Fisheye";

// The trace name of a known analytic name (exact, case-sensitive); any other name, a trace name
// included, comes back unchanged.
std::string ToTraceName(const std::string& name);

}  // namespace moraine
