#include "moraine/privacy/object_pixelator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

#include "tests/driver/fake_anonymizer_access.h"

namespace moraine {
namespace {

using testing::FakeModule;

FakeAnonymizerLog& LogOf(const std::string& module) { return testing::FakeAnonymizerLogOf(module); }

TEST(ObjectPixelator, BindingCreatesTheObjectAndSendsTheStartingParameters) {
  const std::string module = FakeModule("FakeAnonymizer");
  ObjectPixelator pixelator;
  pixelator.Bind(module);
  ASSERT_TRUE(pixelator.HasAnonymizer());
  FakeAnonymizerLog& log = LogOf(module);
  const FakeAnonymizerLog before = log;
  EXPECT_EQ(log.library, 0);
  EXPECT_EQ(log.type, 0);
  const std::uint8_t expected[32] = {
      2, 0, 0, 0,              // maskingType: pixelated
      0, 0, 0, 0,              // reserved
      0, 0, 0, 0, 0, 0, 0, 0,  // reserved double 0.0
      0, 0, 0, 0,              // reserved flag and padding
      16, 0, 0, 0,             // pixelBlockSize
      4, 0, 0, 0,              // blurIntensity
      0, 0, 0, 0,              // algorithmType: moving regions or skin
  };
  EXPECT_EQ(std::memcmp(log.parameters, expected, sizeof expected), 0);

  // A second binding while the object exists changes nothing.
  pixelator.Bind(module);
  EXPECT_EQ(log.get_object_calls, before.get_object_calls);
  EXPECT_EQ(log.set_parameters_calls, before.set_parameters_calls);

  pixelator.Release();
  EXPECT_FALSE(pixelator.HasAnonymizer());
  EXPECT_EQ(log.release_calls, before.release_calls + 1);
  pixelator.Release();  // nothing left to release
  EXPECT_EQ(log.release_calls, before.release_calls + 1);

  // The next run binds afresh.
  pixelator.Bind(module);
  EXPECT_TRUE(pixelator.HasAnonymizer());
  EXPECT_EQ(log.get_object_calls, before.get_object_calls + 1);
  EXPECT_EQ(log.set_parameters_calls, before.set_parameters_calls + 1);
}

TEST(ObjectPixelator, MissingOrIncompleteModuleOrNoObjectLeavesNoAnonymizer) {
  for (const char* name : {"Missing", "FakeAnonymizerIncomplete", "FakeAnonymizerNoObject"}) {
    ObjectPixelator pixelator;
    pixelator.Bind(FakeModule(name));
    EXPECT_FALSE(pixelator.HasAnonymizer()) << name;
    pixelator.Release();
  }
  // The incomplete module is never asked for an object it could not release.
  EXPECT_EQ(LogOf(FakeModule("FakeAnonymizerIncomplete")).get_object_calls, 0);
}

TEST(ObjectPixelator, DestructionReleasesTheObject) {
  const std::string module = FakeModule("FakeAnonymizer");
  std::optional<ObjectPixelator> pixelator(std::in_place);
  pixelator->Bind(module);
  FakeAnonymizerLog& log = LogOf(module);
  const int releases_before = log.release_calls;
  pixelator.reset();
  EXPECT_EQ(log.release_calls, releases_before + 1);
}

}  // namespace
}  // namespace moraine
