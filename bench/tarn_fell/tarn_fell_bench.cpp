// Speed of the decoder and encoder modules against the ffmpeg command-line tool on the same input,
// measured in the same run. Prints pictures per second and the ratio of the times (module / ffmpeg).
//
//   tarn_fell_bench [PICTURES]   (default 120 pictures of 1920 × 1080)
//
// Decoding: Tarn decodes a 1080p H.264 and a 1080p HEVC stream, each picture fetched (copied into a
// packed NV12 block) and released; ffmpeg decodes the same stream with `-threads 1 -f null`.
// Encoding: Fell encodes 1080p NV12 pictures at 25 pictures a second, 10000 kbit/s, target usage 4;
// ffmpeg encodes the same pictures with libx264 on the settings that target usage selects.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/mediacommon/media_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

using moraine::testing::Bytes;
using moraine::testing::StreamCodec;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double TimeCommand(const std::vector<std::string>& command) {
  const auto start = Clock::now();
  const moraine::testing::CommandResult result = moraine::testing::RunCommand(command);
  const double seconds = SecondsSince(start);
  if (result.exit_status != 0) {
    std::fprintf(stderr, "%s failed: %s\n", command[0].c_str(), result.standard_error.c_str());
    std::exit(1);
  }
  return seconds;
}

void Report(const char* what, int pictures, double module_seconds, double ffmpeg_seconds) {
  std::printf("%-28s module %7.1f pictures/s   ffmpeg %7.1f pictures/s   time ratio %.3f\n", what,
              pictures / module_seconds, pictures / ffmpeg_seconds, module_seconds / ffmpeg_seconds);
}

void BenchDecode(moraine::testing::TarnModule& tarn, StreamCodec codec, int pictures) {
  const moraine::testing::TempDir dir;
  const Bytes stream = moraine::testing::MakeTestStream(codec, kWidth, kHeight, pictures);
  moraine::testing::WriteFileBytes(dir.File("stream"), stream);
  const std::vector<Bytes> units = moraine::testing::SplitAccessUnits(stream, codec);
  const Bytes sets = moraine::testing::LeadingParameterSets(stream, codec);

  const auto start = Clock::now();
  if (!tarn.create(0, codec == StreamCodec::kHevc ? 13 : 1, kWidth, kHeight, sets.data(),
                   static_cast<std::int32_t>(sets.size()))) {
    std::fprintf(stderr, "TarnCreate failed\n");
    std::exit(1);
  }
  int decoded = 0;
  for (const Bytes& unit : units) {
    tarn.decode(0, 0, unit.data(), static_cast<std::int32_t>(unit.size()));
    std::uint8_t* block = nullptr;
    std::int32_t size = 0, width = 0, height = 0;
    if (tarn.get(0, &block, &size, &width, &height) == 0 && block != nullptr) ++decoded;
    const std::unique_ptr<std::uint8_t[]> owned(block);
  }
  tarn.close(0);
  const double module_seconds = SecondsSince(start);
  if (decoded != pictures) std::fprintf(stderr, "warning: %d of %d pictures decoded\n", decoded, pictures);

  const double ffmpeg_seconds =
      TimeCommand({"ffmpeg", "-v", "error", "-threads", "1", "-i", dir.File("stream"), "-f", "null", "-"});
  Report(codec == StreamCodec::kHevc ? "decode 1080p HEVC" : "decode 1080p H.264", pictures, module_seconds,
         ffmpeg_seconds);
}

void BenchEncode(int pictures) {
  const moraine::testing::TempDir dir;
  const std::string raw = dir.File("pictures.nv12");
  TimeCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=1920x1080:rate=25", "-frames:v",
               std::to_string(pictures), "-pix_fmt", "nv12", "-f", "rawvideo", raw});
  const std::string bytes = moraine::testing::ReadFileBytes(raw);
  const std::size_t picture_size = kWidth * kHeight * 3 / 2;

  moraine::testing::FellModule fell;
  const auto start = Clock::now();
  if (fell.create(0, 25, 10000, kWidth, kHeight) != 1) {
    std::fprintf(stderr, "FellCreate failed\n");
    std::exit(1);
  }
  std::size_t stream_bytes = 0;
  for (int i = 0; i < pictures; ++i) {
    const auto* picture = reinterpret_cast<const std::uint8_t*>(bytes.data() + i * picture_size);
    if (fell.encode(0, 0, picture, static_cast<std::int32_t>(picture_size)) != 1) continue;
    const std::uint8_t* data = nullptr;
    std::int32_t size = 0;
    if (fell.get(0, &data, &size) == 0) stream_bytes += static_cast<std::size_t>(size);
  }
  fell.close(0);
  const double module_seconds = SecondsSince(start);

  // Target usage 4 selects x264's "faster" preset, tuned for zero latency, variable bit rate capped
  // at 1.5 times the target.
  const double ffmpeg_seconds = TimeCommand(
      {"ffmpeg", "-v", "error", "-f", "rawvideo", "-pix_fmt", "nv12", "-s", "1920x1080", "-r", "25", "-i", raw,
       "-c:v", "libx264", "-preset", "faster", "-tune", "zerolatency", "-b:v", "10000k", "-maxrate", "15000k",
       "-bufsize", "20000k", "-bf", "0", "-f", "h264", "-y", dir.File("ffmpeg.h264")});
  Report("encode 1080p H.264", pictures, module_seconds, ffmpeg_seconds);
  std::printf("%-28s module stream %.0f kbit/s\n", "", stream_bytes * 8.0 / 1000.0 / (pictures / 25.0));
}

}  // namespace

int main(int argc, char** argv) {
  const int pictures = argc > 1 ? std::atoi(argv[1]) : 120;
  if (pictures <= 0) return 2;
  moraine::testing::TarnModule tarn;
  BenchDecode(tarn, StreamCodec::kH264, pictures);
  BenchDecode(tarn, StreamCodec::kHevc, pictures);
  BenchEncode(pictures);
  return 0;
}
