// The Anonymizer module without its clip library: the module still loads and makes objects, and a
// clip fails like one whose input cannot be opened, with one diagnostic. This program is built
// outside the bin folder and loads a copy of the module from a folder of its own, so that neither
// place holds libAnonymizerClip.so.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "anonymizer/anonymizer_exports.h"
#include "platform/module_loader.h"
#include "tests/mediacommon/media_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {
namespace {

int Occurrences(const std::string& text, const std::string& piece) {
  int count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

TEST(AnonymizerWithoutClipLibraryTest, ClipFailsWithOneDiagnosticAndNoOutput) {
  TempDir folder;
  const std::string module_file = folder.File(platform::ModuleFileName("Anonymizer"));
  std::filesystem::copy_file(BuiltFile(platform::ModuleFileName("Anonymizer")), module_file);
  const platform::LoadedModule module(module_file);
  ASSERT_TRUE(module.IsLoaded()) << module.Error();
  const auto get_object = module.EntryPoint<decltype(&::GetAnonymizerObjPtr)>("GetAnonymizerObjPtr");
  const auto release = module.EntryPoint<decltype(&::ReleaseAnonymizerObjPtr)>("ReleaseAnonymizerObjPtr");
  const auto anonymize_clip = module.EntryPoint<decltype(&::AnonymizeClip)>("AnonymizeClip");
  ASSERT_NE(get_object, nullptr);
  ASSERT_NE(release, nullptr);
  ASSERT_NE(anonymize_clip, nullptr);
  const std::unique_ptr<IAnonymizer, decltype(release)> object(get_object(0, 0), release);
  ASSERT_NE(object, nullptr);

  // A clip the clip library would anonymize, so that only the missing library can fail it.
  const std::string input = folder.File("in.avi");
  ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=10", "-frames:v",
                        "2", "-c:v", "mpeg4", input})
                .exit_status,
            0);
  const std::string output = folder.File("out.avi");
  setenv("MORAINE_DEBUG_OUTPUT", "1", 1);
  CapturedOutput captured;
  const bool anonymized = anonymize_clip(object.get(), input.c_str(), output.c_str());
  captured.Stop();
  unsetenv("MORAINE_DEBUG_OUTPUT");

  EXPECT_FALSE(anonymized);
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(Occurrences(captured.Err(), "AnonymizeClip"), 1) << captured.Err();
  EXPECT_EQ(Occurrences(captured.Err(), "Unable to load libAnonymizerClip.so"), 1) << captured.Err();
}

}  // namespace
}  // namespace moraine::testing
