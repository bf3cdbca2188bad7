#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/cairn/synth_options.h"

namespace moraine::cairn {
namespace {

ParseOutcome Parse(const std::vector<std::string>& arguments, SynthOptions& options) {
  std::string error;
  return ParseSynthOptions(arguments, options, error);
}

TEST(CairnToolOptions, DefaultsMakeTenSecondsOfHdH264WithMuLaw) {
  SynthOptions options;
  ASSERT_EQ(Parse({"out.cairn"}, options), ParseOutcome::kRun);
  EXPECT_EQ(options.output_path, "out.cairn");
  EXPECT_EQ(options.width, 1280);
  EXPECT_EQ(options.height, 720);
  EXPECT_EQ(options.frame_rate, 25);
  EXPECT_EQ(options.keyframe_interval, 25);
  EXPECT_EQ(options.duration_ms, 10000);
  EXPECT_EQ(options.codec_number, 10);
  EXPECT_EQ(options.start_seconds, kDefaultStartSeconds);
  EXPECT_TRUE(options.audio.has_value());
  EXPECT_TRUE(options.analytics.one_letter_records);
  EXPECT_TRUE(options.analytics.structured_blocks);
  EXPECT_FALSE(options.privacy);
  EXPECT_TRUE(options.codec_descriptor);
}

TEST(CairnToolOptions, ValuesInBothSpellingsAndKeyframeIntervalFollowingTheFrameRate) {
  SynthOptions options;
  ASSERT_EQ(Parse({"--fps=30", "out.cairn", "--size", "320x240", "--duration", "1.5", "--codec=35"}, options),
            ParseOutcome::kRun);
  EXPECT_EQ(options.frame_rate, 30);
  EXPECT_EQ(options.keyframe_interval, 30);
  EXPECT_EQ(options.width, 320);
  EXPECT_EQ(options.height, 240);
  EXPECT_EQ(options.duration_ms, 1500);
  EXPECT_EQ(options.codec_number, 35);

  SynthOptions explicit_interval;
  ASSERT_EQ(Parse({"out.cairn", "--keyint", "12", "--fps", "30"}, explicit_interval), ParseOutcome::kRun);
  EXPECT_EQ(explicit_interval.keyframe_interval, 12);
}

TEST(CairnToolOptions, LocalStartTimeTakesTheZoneGivenAnywhere) {
  SynthOptions options;
  ASSERT_EQ(Parse({"out.cairn", "--start", "2024-12-31T23:59:59", "--zone", "8"}, options), ParseOutcome::kRun);
  // 2024-12-31 23:59:59 two hours east of UTC is 21:59:59 UTC.
  EXPECT_EQ(options.start_seconds, 1735689599u - 2 * 3600);

  SynthOptions epoch;
  ASSERT_EQ(Parse({"out.cairn", "--start", "86400"}, epoch), ParseOutcome::kRun);
  EXPECT_EQ(epoch.start_seconds, 86400u);
}

TEST(CairnToolOptions, SizeChangeMustFallInsideTheRecording) {
  SynthOptions inside;
  ASSERT_EQ(Parse({"out.cairn", "--duration", "2", "--size-change", "1:176x144"}, inside), ParseOutcome::kRun);
  ASSERT_TRUE(inside.size_change.has_value());
  EXPECT_EQ(inside.size_change->at_ms, 1000);
  EXPECT_EQ(inside.size_change->width, 176);
  EXPECT_EQ(inside.size_change->height, 144);

  SynthOptions outside;
  EXPECT_EQ(Parse({"out.cairn", "--duration", "2", "--size-change", "2:176x144"}, outside), ParseOutcome::kError);
}

TEST(CairnToolOptions, MetadataListAndFaults) {
  SynthOptions options;
  ASSERT_EQ(Parse({"out.cairn", "--metadata", "letters,privacy", "--fault", "truncated", "--fault", "garbage",
                   "--fault", "no-codec-descriptor", "--fault", "late-codec-descriptor", "--fault", "undecodable",
                   "--audio", "none", "--audio-onset", "1.5", "--audio-record", "400", "--aac-rate", "16000"},
                  options),
            ParseOutcome::kRun);
  EXPECT_TRUE(options.late_codec_descriptor);
  EXPECT_TRUE(options.faults.undecodable_picture);
  EXPECT_EQ(options.audio_onset_ms, 1500);
  EXPECT_EQ(options.audio_record_ms, 400);
  EXPECT_EQ(options.aac_rate, 16000);
  EXPECT_TRUE(options.analytics.one_letter_records);
  EXPECT_FALSE(options.analytics.structured_blocks);
  EXPECT_TRUE(options.privacy);
  EXPECT_TRUE(options.faults.truncated_last_record);
  EXPECT_TRUE(options.faults.garbage_between_records);
  EXPECT_FALSE(options.faults.zero_length_records);
  EXPECT_FALSE(options.codec_descriptor);
  EXPECT_FALSE(options.audio.has_value());

  SynthOptions none;
  ASSERT_EQ(Parse({"out.cairn", "--metadata", "none"}, none), ParseOutcome::kRun);
  EXPECT_FALSE(none.analytics.one_letter_records || none.analytics.structured_blocks || none.privacy);
}

TEST(CairnToolOptions, BadArgumentsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {},                                             // no output
      {"a.cairn", "b.cairn"},                         // two outputs
      {"out.cairn", "--size", "321x240"},             // odd width
      {"out.cairn", "--size", "8x8"},                 // too small
      {"out.cairn", "--size", "320"},                 // no height
      {"out.cairn", "--fps", "0"},
      {"out.cairn", "--duration", "-1"},
      {"out.cairn", "--codec", "10000"},              // does not fit 4 characters
      {"out.cairn", "--zone", "128"},
      {"out.cairn", "--start", "2024-02-30T00:00:00"},  // no such day
      {"out.cairn", "--start", "4294967295"},         // the recording would run past 32-bit seconds
      {"out.cairn", "--metadata", "letters,colours"},
      {"out.cairn", "--fault", "fire"},
      {"out.cairn", "--audio", "music"},
      {"out.cairn", "--audio-record", "5"},             // shorter than 10 ms
      {"out.cairn", "--duration", "2", "--audio-onset", "2"},  // not inside the recording
      {"out.cairn", "--aac-rate", "7000"},
      {"out.cairn", "--pixelate", "8"},
      {"out.cairn", "--bogus", "1"},
      {"out.cairn", "--seed"},                        // value missing
  };
  for (const auto& arguments : bad) {
    SynthOptions options;
    std::string error;
    EXPECT_EQ(ParseSynthOptions(arguments, options, error), ParseOutcome::kError)
        << (arguments.empty() ? "(none)" : arguments.back());
    EXPECT_FALSE(error.empty());
  }
}

TEST(CairnToolOptions, HelpListsEveryOption) {
  SynthOptions options;
  EXPECT_EQ(Parse({"out.cairn", "--help"}, options), ParseOutcome::kHelp);
  const std::string help = SynthHelpText();
  for (const char* option :
       {"--size ", "--fps", "--keyint", "--duration", "--quality", "--size-change", "--start", "--zone", "--codec",
        "--audio", "--metadata ", "--metadata-interval", "--pixelate", "--privacy-marker", "--fault zero-length",
        "--fault truncated", "--fault garbage", "--fault no-codec-descriptor", "--fault late-codec-descriptor",
        "--fault undecodable", "--audio-onset", "--audio-record", "--aac-rate", "--seed", "--help"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace moraine::cairn
