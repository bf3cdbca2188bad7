#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "tests/support/temp_dir.h"

namespace moraine::platform {
namespace {

TEST(RegistryTest, FileFromTheEnvironmentUnlessEmpty) {
  setenv("MORAINE_REGISTRY_FILE", "", 1);
  EXPECT_EQ(RegistryFilePath(), kDefaultRegistryFile);
  setenv("MORAINE_REGISTRY_FILE", "/tmp/registry", 1);
  EXPECT_EQ(RegistryFilePath(), "/tmp/registry");
  unsetenv("MORAINE_REGISTRY_FILE");
}

TEST(RegistryTest, ReadsA32BitNumberByName) {
  struct Case {
    const char* content;  // null: no file
    bool key_opened;
    std::optional<std::uint32_t> value;
  };
  const Case cases[] = {
      {nullptr, false, std::nullopt},
      {"# comment\n\n  bwthreshold =  42  \r\n", true, 42},
      {"Other=3\n# BWThreshold=9\n", true, std::nullopt},
      {"BWThreshold=4294967295", true, 4294967295u},
      {"BWThreshold=4294967296", true, std::nullopt},
      {"BWThreshold=-1", true, std::nullopt},
      {"BWThreshold=12abc", true, std::nullopt},
      {"BWThresholdX=1\nBWThreshold=7\nBWThreshold=8\n", true, 7},
  };
  testing::TempDir temp;
  setenv("MORAINE_REGISTRY_FILE", temp.File("registry").c_str(), 1);
  for (const Case& c : cases) {
    std::filesystem::remove(temp.File("registry"));
    if (c.content != nullptr) std::ofstream(temp.File("registry")) << c.content;
    const RegistryDword result = ReadRegistryDword("BWThreshold");
    EXPECT_EQ(result.key_opened, c.key_opened) << (c.content ? c.content : "no file");
    EXPECT_EQ(result.value, c.value) << (c.content ? c.content : "no file");
  }
  unsetenv("MORAINE_REGISTRY_FILE");
}

}  // namespace
}  // namespace moraine::platform
