#include "moraine/overlay/analytic_names.h"

#include <array>
#include <utility>

namespace moraine {
namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kTraceNames = {{
    {kMotionAnalyticName, kMotionTraceName},
    {kPerimeterAnalyticName, kPerimeterTraceName},
    {kLoiteringAnalyticName, kLoiteringTraceName},
    {kFireAnalyticName, kFireTraceName},
}};

}  // namespace

std::string ToTraceName(const std::string& name) {
  for (const auto& [analytic_name, trace_name] : kTraceNames) {
    if (name == analytic_name) return std::string(trace_name);
  }
  return name;
}

}  // namespace moraine
