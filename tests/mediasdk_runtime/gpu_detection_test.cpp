#include "mediasdk_runtime/gpu_detection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_dir.h"

namespace moraine::mediasdk {
namespace {

void AddNode(const std::filesystem::path& root, const std::string& name, const char* vendor) {
  std::ofstream(root / "dev" / name).put('\0');
  if (vendor == nullptr) return;
  std::filesystem::create_directories(root / "sys" / name / "device");
  std::ofstream(root / "sys" / name / "device" / "vendor") << vendor << "\n";
}

// Only render nodes of Intel's PCI vendor count, in node order.
TEST(MediaSdkGpuDetection, FindsIntelRenderNodesOnly) {
  moraine::testing::TempDir folder;
  const auto root = folder.path();
  std::filesystem::create_directories(root / "dev");
  AddNode(root, "renderD129", "0x8086");
  AddNode(root, "renderD128", "0x10de");  // another vendor
  AddNode(root, "renderD130", nullptr);    // no sysfs entry
  AddNode(root, "card0", "0x8086");        // not a render node
  AddNode(root, "renderD12x", "0x8086");   // not a node number
  AddNode(root, "renderD131", "0x8086");
  EXPECT_EQ(FindIntelRenderNodes(root / "dev", root / "sys"),
            (std::vector<std::string>{(root / "dev" / "renderD129").string(),
                                      (root / "dev" / "renderD131").string()}));
  EXPECT_TRUE(FindIntelRenderNodes(root / "missing", root / "sys").empty());
}

}  // namespace
}  // namespace moraine::mediasdk
