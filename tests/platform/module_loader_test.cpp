#include "platform/module_loader.h"

#include <gtest/gtest.h>

#include <utility>

namespace moraine::platform {
namespace {

using AnswerFunction = int (*)();

TEST(ModuleLoaderTest, ModuleFileNameFollowsThePlatformConvention) {
  EXPECT_EQ(ModuleFileName("Tarn"), "libTarn.so");
  EXPECT_EQ(ModuleFileName("Anonymizer"), "libAnonymizer.so");
}

TEST(ModuleLoaderTest, LoadsAModuleBesideTheProgramAndFindsItsEntryPoint) {
  // libPlatformProbe.so is in the bin folder with this program but not on the library search path.
  LoadedModule module(ModuleFileName("PlatformProbe"));
  ASSERT_TRUE(module.IsLoaded()) << module.Error();
  const auto answer = module.EntryPoint<AnswerFunction>("PlatformProbeAnswer");
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(module.FindEntryPoint("NoSuchEntryPoint"), nullptr);
}

TEST(ModuleLoaderTest, MissingModuleReportsWhy) {
  LoadedModule module(ModuleFileName("NoSuchModule"));
  EXPECT_FALSE(module.IsLoaded());
  EXPECT_FALSE(module.Error().empty());
  EXPECT_EQ(module.FindEntryPoint("PlatformProbeAnswer"), nullptr);
}

TEST(ModuleLoaderTest, MovedModuleKeepsTheHandle) {
  LoadedModule first(ModuleFileName("PlatformProbe"));
  LoadedModule second = std::move(first);
  EXPECT_FALSE(first.IsLoaded());  // NOLINT(bugprone-use-after-move): the moved-from state is defined
  ASSERT_TRUE(second.IsLoaded());
  EXPECT_EQ(second.EntryPoint<AnswerFunction>("PlatformProbeAnswer")(), 42);
}

}  // namespace
}  // namespace moraine::platform
