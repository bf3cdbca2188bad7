#include "moraine/driver/converter.h"

#include <gtest/gtest.h>

#include "tests/driver/recording_builder.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::RecordingBuilder;
using testing::VideoPayload;

constexpr std::uint8_t kPrivacyMarker = 0x11;

class ConverterTest : public ::testing::Test {
 protected:
  std::string Write(const RecordingBuilder& recording) { return recording.WriteTo(temp_.File("input.cairn")); }
  // Output files land beside the base name, so it lives in the test's own folder too.
  std::string Base() const { return temp_.File("base"); }

  testing::TempDir temp_;
};

TEST_F(ConverterTest, MissingInputFailsToStart) {
  Converter converter(temp_.File("missing.cairn"));
  EXPECT_EQ(converter.input_path(), temp_.File("missing.cairn"));
  EXPECT_EQ(converter.run(Base()), -1);
  EXPECT_FALSE(converter.privacy_marked());
}

TEST_F(ConverterTest, PrivacyMarkerOnVideoOrParameterSetMarksTheStream) {
  for (std::uint8_t kind : {1, 2, 5}) {
    RecordingBuilder recording;
    recording.Add(1, 0, VideoPayload()).Add(kind, 40, VideoPayload(0x65, kPrivacyMarker)).Add(1, 80, VideoPayload());
    Converter converter(Write(recording));
    // Pictures without parameter sets make no file, so the run cannot succeed.
    EXPECT_EQ(converter.run(Base()), Converter::kFailed);
    EXPECT_TRUE(converter.privacy_marked()) << int{kind};
  }
}

TEST_F(ConverterTest, MarkerBytesInOtherKindsAreNotAPrivacyMarker) {
  RecordingBuilder recording;
  for (std::uint8_t kind : {0, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}) {
    recording.Add(kind, 10u * kind, VideoPayload(0x65, kPrivacyMarker));
  }
  Converter converter(Write(recording));
  EXPECT_EQ(converter.run(Base()), Converter::kFailed);
  EXPECT_FALSE(converter.privacy_marked());
}

TEST_F(ConverterTest, EmptyAndTruncatedRecordsAreReadPast) {
  RecordingBuilder recording;
  recording.Add(1, 0, {}).Add(1, 40, VideoPayload(0x65, kPrivacyMarker)).AddWithLength(1, 80, 4096, VideoPayload());
  Converter converter(Write(recording));
  EXPECT_EQ(converter.run(Base()), Converter::kFailed);  // no parameter sets: no file
  // The record after the empty one was still read.
  EXPECT_TRUE(converter.privacy_marked());
}

}  // namespace
}  // namespace moraine
