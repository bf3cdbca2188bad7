#include "moraine/pipeline/media_modules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "moraine/driver/converter.h"
#include "tests/driver/fake_anonymizer_access.h"
#include "tests/driver/recording_builder.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::FakeModule;

MediaModuleFiles CompleteFakes() {
  MediaModuleFiles files;
  files.tarn = FakeModule("FakeTarn");
  files.fell = FakeModule("FakeFell");
  files.brook = FakeModule("FakeBrook");
  return files;
}

TEST(MediaModules, BindsCompleteModules) {
  const std::optional<MediaModules> modules = MediaModules::Bind(CompleteFakes());
  ASSERT_TRUE(modules.has_value());
  EXPECT_NE(modules->tarn().close, nullptr);
  EXPECT_NE(modules->fell().close, nullptr);
  EXPECT_NE(modules->brook().create_decoder, nullptr);
  EXPECT_NE(modules->brook().destroy_decoder, nullptr);
}

TEST(MediaModules, RefusesAMissingOrIncompleteModule) {
  struct Case {
    const char* what;
    std::string MediaModuleFiles::*file;
    std::string replacement;
  };
  const Case cases[] = {
      {"Tarn missing", &MediaModuleFiles::tarn, FakeModule("Missing")},
      {"Fell missing", &MediaModuleFiles::fell, FakeModule("Missing")},
      {"Brook missing", &MediaModuleFiles::brook, FakeModule("Missing")},
      {"Tarn without TarnClose", &MediaModuleFiles::tarn, FakeModule("FakeTarnIncomplete")},
      {"Fell without FellClose", &MediaModuleFiles::fell, FakeModule("FakeFellIncomplete")},
      {"Brook without CreateDecoder", &MediaModuleFiles::brook, FakeModule("FakeBrookIncomplete")},
  };
  for (const Case& c : cases) {
    MediaModuleFiles files = CompleteFakes();
    files.*c.file = c.replacement;
    EXPECT_FALSE(MediaModules::Bind(files).has_value()) << c.what;
  }
}

// A conversion that cannot start leaves no output file behind.
TEST(MediaModules, ConversionWithoutUsableModulesFailsToStartAndCleansUp) {
  testing::TempDir temp;
  testing::RecordingBuilder recording;
  recording.Add(4, 0, {'c', '0', '0', '0', '1'}).Add(1, 0, testing::VideoPayload());
  const std::string input = recording.WriteTo(temp.File("input.cairn"));
  const std::filesystem::path output_folder = temp.path() / "out";
  std::filesystem::create_directory(output_folder);

  ConverterModuleFiles no_decoder;
  no_decoder.media = CompleteFakes();  // the fake Brook gives no decoder object
  no_decoder.anonymizer = FakeModule("FakeAnonymizer");
  ConverterModuleFiles no_tarn = no_decoder;
  no_tarn.media.tarn = FakeModule("Missing");

  for (const ConverterModuleFiles& files : {no_decoder, no_tarn}) {
    Converter converter(input, files);
    EXPECT_EQ(converter.run((output_folder / "cam_").string()), -1);
    EXPECT_TRUE(std::filesystem::is_empty(output_folder));
  }
}

TEST(MediaModules, UnwritableOutputFolderFailsToStart) {
  testing::TempDir temp;
  testing::RecordingBuilder recording;
  recording.Add(1, 0, testing::VideoPayload());
  ConverterModuleFiles files;
  files.media = CompleteFakes();
  Converter converter(recording.WriteTo(temp.File("input.cairn")), files);
  EXPECT_EQ(converter.run(temp.File("no-such-folder/cam_")), -1);
}

}  // namespace
}  // namespace moraine
