#include "mediasdk_runtime/gpu_detection.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <utility>

namespace moraine::mediasdk {
namespace {

constexpr std::string_view kRenderNodePrefix = "renderD";

bool HasIntelVendor(const std::filesystem::path& vendor_file) {
  std::ifstream file(vendor_file);
  std::string vendor;
  file >> vendor;
  return vendor == "0x8086";
}

}  // namespace

std::vector<std::string> FindIntelRenderNodes(const std::filesystem::path& device_folder,
                                              const std::filesystem::path& drm_class_folder) {
  std::vector<std::pair<int, std::string>> nodes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(device_folder, error)) {
    const std::string name = entry.path().filename().string();
    if (!name.starts_with(kRenderNodePrefix)) continue;
    int number = 0;
    const char* digits = name.data() + kRenderNodePrefix.size();
    const auto [end, parse_error] = std::from_chars(digits, name.data() + name.size(), number);
    if (parse_error != std::errc() || end != name.data() + name.size()) continue;
    if (HasIntelVendor(drm_class_folder / name / "device" / "vendor")) {
      nodes.emplace_back(number, entry.path().string());
    }
  }
  std::sort(nodes.begin(), nodes.end());
  std::vector<std::string> paths;
  for (auto& node : nodes) paths.push_back(std::move(node.second));
  return paths;
}

}  // namespace moraine::mediasdk
