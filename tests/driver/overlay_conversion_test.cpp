// The analytics drawn into converted pictures, seen through ffmpeg's decode of the MP4 file: boxes
// in their colours where the recorder's records put them, the picture inside them untouched.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

namespace fs = std::filesystem;
using testing::BuiltFile;
using testing::RunCommand;

// 704 × 480 maps the 352 × 288 analytic grid 2:1 across and onto 576 rows of which 48 are cut at
// the top: frame (x, y) = (2 gx, 2 gy − 48).
constexpr int kWidth = 704;
constexpr int kHeight = 480;
// Re-encoding at 10000 kbit/s keeps a one-pixel line's colour within this much.
constexpr int kColourTolerance = 28;

struct Yuv {
  int y, u, v;
};
constexpr Yuv kRed{76, 85, 255};
constexpr Yuv kGreen{149, 43, 21};
constexpr Yuv kOrange{151, 42, 202};

struct FrameBox {
  int left, top, right, bottom;
  Yuv colour;
  std::string what;
};

class Picture {
 public:
  explicit Picture(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool complete() const { return bytes_.size() == kWidth * kHeight * 3 / 2; }
  int Y(int x, int y) const { return bytes_[y * kWidth + x]; }
  int U(int x, int y) const { return bytes_[kWidth * kHeight + (y / 2) * (kWidth / 2) + x / 2]; }
  int V(int x, int y) const { return bytes_[kWidth * kHeight * 5 / 4 + (y / 2) * (kWidth / 2) + x / 2]; }

 private:
  std::vector<std::uint8_t> bytes_;
};

int Median(std::vector<int> values) {
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

// The colour a line along `points` came out with: the median of each plane against `expected`.
void ExpectLineColour(const Picture& picture, const std::vector<std::pair<int, int>>& points, Yuv expected) {
  ASSERT_FALSE(points.empty());
  std::vector<int> ys, us, vs;
  for (const auto& [x, y] : points) {
    ys.push_back(picture.Y(x, y));
    us.push_back(picture.U(x, y));
    vs.push_back(picture.V(x, y));
  }
  EXPECT_NEAR(Median(ys), expected.y, kColourTolerance);
  EXPECT_NEAR(Median(us), expected.u, kColourTolerance);
  EXPECT_NEAR(Median(vs), expected.v, kColourTolerance);
}

int FrameX(int grid_x) { return std::clamp(2 * grid_x, 0, kWidth - 1); }
int FrameY(int grid_y) { return std::clamp(2 * grid_y - 48, 0, kHeight - 1); }

// The one-letter records of the recording as `cairn dump` reads them, by record time.
std::map<long, std::vector<std::string>> OneLetterSummaries(const std::string& recording) {
  const testing::CommandResult dump = RunCommand({BuiltFile("cairn"), "dump", recording});
  std::map<long, std::vector<std::string>> summaries;
  const std::regex line(R"(^\s*\d+\s+4 info\s+\d+\s+(\d+)\s.*info=one-letter .*summary="([^"]*)\")");
  std::istringstream text(dump.standard_output);
  for (std::string row; std::getline(text, row);) {
    std::smatch match;
    if (std::regex_search(row, match, line)) summaries[std::stol(match[1])].push_back(match[2]);
  }
  return summaries;
}

// Where the boxes of one set of records land on the picture, and their colours.
std::vector<FrameBox> ExpectedBoxes(const std::vector<std::string>& summaries) {
  const std::regex motion(R"(motion object \d+ \((\d+),(\d+)\)-\((\d+),(\d+)\) thousandths)");
  const std::regex rect(R"((perimeter object|loitering object|fire object) .*?\((\d+),(\d+)\)-\((\d+),(\d+)\))");
  const std::regex alarm(R"(perimeter alarm object \d+ (on|off))");
  const std::regex fire_state(R"(fire object \d+ state (\d+))");
  std::vector<FrameBox> boxes;
  bool perimeter_alarm = false;
  for (const std::string& summary : summaries) {
    std::smatch m;
    if (std::regex_search(summary, m, alarm)) perimeter_alarm = m[1] == "on";
  }
  for (const std::string& summary : summaries) {
    std::smatch m;
    if (std::regex_search(summary, m, motion)) {
      boxes.push_back({FrameX(std::stoi(m[1]) * 352 / 1000), FrameY(std::stoi(m[2]) * 288 / 1000),
                       FrameX(std::stoi(m[3]) * 352 / 1000), FrameY(std::stoi(m[4]) * 288 / 1000), kRed, "motion"});
    } else if (std::regex_search(summary, m, rect)) {
      Yuv colour = kRed;  // active loitering
      if (m[1] == "perimeter object" && !perimeter_alarm) colour = kGreen;
      std::smatch state;
      if (m[1] == "fire object" && std::regex_search(summary, state, fire_state) && state[1] == "1") colour = kOrange;
      boxes.push_back({FrameX(std::stoi(m[2])), FrameY(std::stoi(m[3])), FrameX(std::stoi(m[4])),
                       FrameY(std::stoi(m[5])), colour, m[1]});
    }
  }
  return boxes;
}

class OverlayConversion : public ::testing::Test {
 protected:
  std::string Synthesize(const std::string& name, const std::string& metadata) {
    const std::string recording = temp_.File(name + ".cairn");
    const testing::CommandResult made =
        RunCommand({BuiltFile("cairn"), "synth", recording, "--size", "704x480", "--duration", "2", "--audio",
                    "none", "--metadata", metadata});
    EXPECT_EQ(made.exit_status, 0) << made.standard_error;
    return recording;
  }

  // Converts `recording` and decodes picture `index` of the MP4 file with ffmpeg.
  Picture ConvertedPicture(const std::string& recording, const std::string& name, int index) {
    const fs::path folder = temp_.path() / name;
    fs::create_directories(folder);
    setenv("MORAINE_RECORD_PAUSE_MS", "0", 1);
    const testing::CommandResult converted = RunCommand({BuiltFile("Moraine"), recording, (folder / "cam_").string()});
    EXPECT_NE(converted.standard_output.find("succesful"), std::string::npos) << converted.standard_error;
    std::string mp4;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) mp4 = entry.path();
    const std::string raw = temp_.File(name + ".yuv");
    RunCommand({"ffmpeg", "-v", "error", "-y", "-i", mp4, "-vf", "select=eq(n\\," + std::to_string(index) + ")",
                "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "yuv420p", raw});
    std::ifstream in(raw, std::ios::binary);
    return Picture({std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
  }

  testing::TempDir temp_;
};

TEST_F(OverlayConversion, OneLetterBoxesAreDrawnInTheirColoursAndLeaveTheirInsideAlone) {
  const std::string with_boxes = Synthesize("letters", "letters");
  const std::string without = Synthesize("none", "none");
  const std::map<long, std::vector<std::string>> sets = OneLetterSummaries(with_boxes);
  ASSERT_GE(sets.size(), 2u);
  const long first_time = sets.begin()->first;
  // Pictures 6 and 18 show the first and the second report (two a second, made at pictures 0 and 12.5).
  for (const auto& [index, set_time] : {std::pair{6, first_time}, std::pair{18, std::next(sets.begin())->first}}) {
    ASSERT_EQ(set_time, first_time + (index >= 12 ? 500 : 0));
    const Picture drawn = ConvertedPicture(with_boxes, "letters" + std::to_string(index), index);
    const Picture plain = ConvertedPicture(without, "none" + std::to_string(index), index);
    ASSERT_TRUE(drawn.complete() && plain.complete());
    const std::vector<FrameBox> boxes = ExpectedBoxes(sets.at(set_time));
    ASSERT_EQ(boxes.size(), 4u);
    for (const FrameBox& box : boxes) {
      SCOPED_TRACE(box.what + " in picture " + std::to_string(index));
      std::vector<std::pair<int, int>> left_edge;
      for (int y = box.top + 2; y <= box.bottom - 2; ++y) left_edge.emplace_back(box.left, y);
      ExpectLineColour(drawn, left_edge, box.colour);
      if (box.what != "motion") continue;
      long difference = 0, count = 0;
      for (int y = box.top + 4; y <= box.bottom - 4; ++y) {
        for (int x = box.left + 4; x <= box.right - 4; ++x, ++count) difference += std::abs(drawn.Y(x, y) - plain.Y(x, y));
      }
      ASSERT_GT(count, 0);
      EXPECT_LT(static_cast<double>(difference) / count, 3.0);
    }
  }
}

TEST_F(OverlayConversion, StructuredMotionObjectsGetTheirBoxAroundTheirOutline) {
  const std::string recording = Synthesize("blocks", "blocks");
  const testing::CommandResult dump = RunCommand({BuiltFile("cairn"), "dump", recording});
  std::smatch person;
  const std::regex motion_block(R"(block_name=motion .*objects="object 1 kind 1 state 1 outline \((\d+),(\d+)\)-\((\d+),(\d+)\))");
  ASSERT_TRUE(std::regex_search(dump.standard_output, person, motion_block));
  const int left = FrameX(std::stoi(person[1]));
  const int top = FrameY(std::stoi(person[2]));
  const int right = FrameX(std::stoi(person[3]));
  const Picture drawn = ConvertedPicture(recording, "blocks", 6);
  ASSERT_TRUE(drawn.complete());
  // The person's outline is a hexagon whose top vertex sits in the middle of the top edge: the left
  // half of that edge belongs to the red motion box alone.
  std::vector<std::pair<int, int>> top_edge;
  for (int x = left + 2; x < (left + right) / 2 - 2; ++x) top_edge.emplace_back(x, top);
  ExpectLineColour(drawn, top_edge, kRed);
}

}  // namespace
}  // namespace moraine
