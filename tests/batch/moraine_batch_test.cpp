// moraine-batch end to end through GNU parallel, and the options it hands to a stand-in parallel for
// what cannot run here (other machines).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

namespace fs = std::filesystem;
using testing::BuiltFile;
using testing::CommandResult;
using testing::RunCommand;
using Names = std::vector<std::string>;

// The name Moraine gives the file of a one-second synthetic recording converted with `base`.
std::string Converted(const std::string& base) { return base + "_20240315_130000-130000.mp4"; }

// The parts of the file at `path` between `separator`s.
Names ReadParts(const fs::path& path, char separator) {
  std::ifstream file(path, std::ios::binary);
  Names parts;
  for (std::string part; std::getline(file, part, separator);) parts.push_back(part);
  return parts;
}

class MoraineBatch : public ::testing::Test {
 protected:
  void SetUp() override { setenv("MORAINE_RECORD_PAUSE_MS", "0", 1); }
  void TearDown() override { unsetenv("MORAINE_RECORD_PAUSE_MS"); }

  // A one-second recording at in/<relative>.
  std::string Recording(const std::string& relative, int seed) {
    const fs::path path = in_ / relative;
    fs::create_directories(path.parent_path());
    EXPECT_EQ(RunCommand({BuiltFile("cairn"), "synth", path, "--size", "320x240", "--duration", "1", "--seed",
                          std::to_string(seed)}).exit_status, 0);
    return path;
  }

  // The finished MP4 files below `folder`, relative to it, sorted.
  static Names Finished(const fs::path& folder) {
    Names files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
      if (entry.path().extension() == ".mp4" && !entry.path().filename().string().starts_with("moraine-work-")) {
        files.push_back(fs::relative(entry.path(), folder));
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static CommandResult Batch(Names arguments) {
    arguments.insert(arguments.begin(), BuiltFile("moraine-batch"));
    return RunCommand(arguments);
  }

  testing::TempDir temp_;
  const fs::path in_ = temp_.path() / "in";
  const fs::path out_ = temp_.path() / "out";
};

TEST_F(MoraineBatch, ConvertsAFolderAndNamesTheBrokenRecording) {
  const std::string first = Recording("a/cam.cairn", 1);
  const std::string second = Recording("b/cam.cairn", 2);
  std::ofstream(in_ / "broken.cairn") << "not a recording\n";
  const CommandResult result = Batch({"-j", "2", in_, out_});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.standard_output, "failed: " + (in_ / "broken.cairn").string() +
                                        "\nmoraine-batch: 2 converted, 1 failed, 0 skipped\n");
  // Equal names keep their folders below the folder common to all inputs, given whole or one by one.
  EXPECT_EQ(Finished(out_), (Names{"a/" + Converted("cam"), "b/" + Converted("cam")}));
  EXPECT_EQ(Batch({first, second, out_ / "one-by-one"}).exit_status, 0);
  EXPECT_EQ(Finished(out_ / "one-by-one"), (Names{"a/" + Converted("cam"), "b/" + Converted("cam")}));
}

TEST_F(MoraineBatch, ResumeAfterAnInterruptionConvertsOnlyWhatIsMissing) {
  for (const char* name : {"r1.cairn", "r2.cairn", "r3.cairn"}) Recording(name, name[1] - '0');
  // One slow job at a time, interrupted as Ctrl-C would once the first is logged.
  setenv("MORAINE_RECORD_PAUSE_MS", "20", 1);
  RunCommand({"bash", "-c",
              "setsid \"$0\" -j1 \"$1\" \"$2\" >/dev/null 2>&1 & for i in $(seq 1200); do "
              "grep -q '^1[[:space:]]' \"$2/moraine-batch.joblog\" 2>/dev/null && break; sleep 0.05; done; "
              "kill -INT -- -$!; wait",
              BuiltFile("moraine-batch"), in_, out_});
  const std::size_t done = Finished(out_).size();
  ASSERT_TRUE(done == 1 || done == 2) << done;

  setenv("MORAINE_RECORD_PAUSE_MS", "0", 1);
  const CommandResult resumed = Batch({"--resume", in_, out_});
  EXPECT_EQ(resumed.exit_status, 0);
  EXPECT_EQ(resumed.standard_output, "moraine-batch: " + std::to_string(3 - done) + " converted, 0 failed, " +
                                         std::to_string(done) + " skipped\n");
  // A recording converted twice would leave a second file with _1 in its name.
  EXPECT_EQ(Finished(out_), (Names{Converted("r1"), Converted("r2"), Converted("r3")}));
}

TEST_F(MoraineBatch, HandsItsOptionsToParallelAndCountsOnlyFilesThatArrived) {
  // A stand-in parallel that writes down its arguments, one a line, and logs the job as ended well
  // without making its files, as a failed return from another machine would.
  const fs::path bin = temp_.path() / "bin";
  fs::create_directories(bin);
  std::ofstream(bin / "parallel") << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/arguments\"\n"
                                     "while [ \"$1\" != --joblog ]; do shift; done\n"
                                     "printf '1\\t:\\t0\\t0\\t0\\t0\\t0\\t0\\tjob\\n' >> \"$2\"\n";
  fs::permissions(bin / "parallel", fs::perms::owner_all);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (bin.string() + ":" + path).c_str(), 1);
  const std::string recording = Recording("cam.cairn", 1);
  const std::string cores = RunCommand({"nproc"}).standard_output;

  const std::pair<Names, std::vector<Names>> cases[] = {
      {{}, {{"--will-cite"}, {"-j", cores.substr(0, cores.find('\n'))}, {"--joblog", out_ / "moraine-batch.joblog"}}},
      {{"-j", "3", "--bar", "--resume"}, {{"-j", "3"}, {"--bar"}, {"--resume-failed"}}},
      // The recordings travel to the other machines and the folders of files come back; the
      // conversions there pause as they would here.
      {{"--sshlogin", "2/alice@hostA,:"},
       {{"--sshlogin", "2/alice@hostA,:"}, {"-j", "100%"}, {"--workdir", "..."}, {"--transferfile", "{3}"},
        {"--return", "{5}"}, {"--cleanup"}, {"--env", "MORAINE_RECORD_PAUSE_MS"}}},
  };
  for (const auto& [options, expected] : cases) {
    Names arguments = options;
    arguments.insert(arguments.end(), {recording, out_});
    EXPECT_EQ(Batch(arguments).standard_output,
              "failed: " + recording + "\nmoraine-batch: 0 converted, 1 failed, 0 skipped\n");
    const Names handed = ReadParts(bin / "arguments", '\n');
    for (const Names& run : expected) {
      EXPECT_NE(std::search(handed.begin(), handed.end(), run.begin(), run.end()), handed.end()) << run[0];
    }
  }
  setenv("PATH", path.c_str(), 1);
  // Fields 3 to 5 of the job: the copy goes into the job's folder, the files are made in out/
  // there, and that folder comes back into the output folder.
  EXPECT_EQ(ReadParts(out_ / "moraine-batch.jobs", '\0'),
            (Names{recording, out_ / "cam_", in_ / "./cam.cairn", "out/cam_", temp_.path() / "./out"}));
}

}  // namespace
}  // namespace moraine
