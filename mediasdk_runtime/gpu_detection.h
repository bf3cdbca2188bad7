#pragma once

// Finds Intel graphics devices: DRM render nodes whose PCI vendor is Intel (0x8086).

#include <filesystem>
#include <string>
#include <vector>

namespace moraine::mediasdk {

// Paths of the render nodes in `device_folder` (normally /dev/dri) named renderD<number> whose
// `drm_class_folder`/<name>/device/vendor (normally under /sys/class/drm) reads 0x8086, in
// ascending node number.
std::vector<std::string> FindIntelRenderNodes(
    const std::filesystem::path& device_folder = "/dev/dri",
    const std::filesystem::path& drm_class_folder = "/sys/class/drm");

}  // namespace moraine::mediasdk
