#include "tests/mediacommon/media_test_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {
namespace {

template <typename Module>
auto Entry(const Module& module, const char* name) {
  void* address = module.module.FindEntryPoint(name);
  if (address == nullptr) throw std::runtime_error(std::string("missing entry point ") + name);
  return address;
}

bool IsVcl(StreamCodec codec, std::uint8_t nal_header) {
  if (codec == StreamCodec::kHevc) return ((nal_header >> 1) & 0x3F) < 32;
  const int type = nal_header & 0x1F;
  return type >= 1 && type <= 5;
}

bool IsParameterSet(StreamCodec codec, std::uint8_t nal_header) {
  if (codec == StreamCodec::kHevc) {
    const int type = (nal_header >> 1) & 0x3F;
    return type >= 32 && type <= 34;
  }
  const int type = nal_header & 0x1F;
  return type == 7 || type == 8;
}

// The NAL units of an Annex B stream without their start codes.
std::vector<Bytes> NalUnits(const Bytes& stream) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i + 3 <= stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
      starts.push_back(i + 3);
      i += 2;
    }
  }
  std::vector<Bytes> units;
  for (std::size_t n = 0; n < starts.size(); ++n) {
    std::size_t end = n + 1 < starts.size() ? starts[n + 1] - 3 : stream.size();
    while (end > starts[n] && stream[end - 1] == 0) --end;  // zero byte of a four-byte start code
    units.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(starts[n]),
                       stream.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return units;
}

void AppendWithStartCode(Bytes& out, const Bytes& unit) {
  out.insert(out.end(), {0, 0, 0, 1});
  out.insert(out.end(), unit.begin(), unit.end());
}

}  // namespace

TarnModule::TarnModule()
    : module(platform::ModuleFileName("Tarn")),
      available(reinterpret_cast<TarnAvailableFunction>(Entry(*this, "TarnAvailable"))),
      create(reinterpret_cast<TarnCreateFunction>(Entry(*this, "TarnCreate"))),
      decode(reinterpret_cast<TarnDecodeVideoFrameFunction>(Entry(*this, "TarnDecodeVideoFrame"))),
      get(reinterpret_cast<TarnGetDecodedVideoFrameFunction>(Entry(*this, "TarnGetDecodedVideoFrame"))),
      close(reinterpret_cast<TarnCloseFunction>(Entry(*this, "TarnClose"))) {}

FellModule::FellModule()
    : module(platform::ModuleFileName("Fell")),
      available(reinterpret_cast<FellAvailableFunction>(Entry(*this, "FellAvailable"))),
      create(reinterpret_cast<FellCreateFunction>(Entry(*this, "FellCreate"))),
      encode(reinterpret_cast<FellEncodeVideoFrameFunction>(Entry(*this, "FellEncodeVideoFrame"))),
      get(reinterpret_cast<FellGetEncodedVideoFrameFunction>(Entry(*this, "FellGetEncodedVideoFrame"))),
      close(reinterpret_cast<FellCloseFunction>(Entry(*this, "FellClose"))) {}

Bytes MakeTestStream(StreamCodec codec, int width, int height, int frames) {
  TempDir dir;
  const std::string output = dir.File("stream");
  const std::string source = "testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) + ":rate=25";
  std::vector<std::string> command = {"ffmpeg", "-v", "error", "-f", "lavfi", "-i", source,
                                      "-frames:v", std::to_string(frames), "-pix_fmt", "yuv420p"};
  if (codec == StreamCodec::kH264) {
    command.insert(command.end(), {"-c:v", "libx264", "-bf", "0", "-f", "h264", output});
  } else {
    command.insert(command.end(), {"-c:v", "libx265", "-x265-params", "log-level=error:bframes=0", "-f", "hevc", output});
  }
  const CommandResult result = RunCommand(command);
  if (result.exit_status != 0) throw std::runtime_error("ffmpeg failed: " + result.standard_error);
  const std::string bytes = ReadFileBytes(output);
  return Bytes(bytes.begin(), bytes.end());
}

std::vector<Bytes> SplitAccessUnits(const Bytes& stream, StreamCodec codec) {
  std::vector<Bytes> access_units;
  Bytes pending;
  bool pending_has_picture = false;
  const auto finish_pending = [&] {
    access_units.push_back(std::move(pending));
    pending.clear();
    pending_has_picture = false;
  };
  for (const Bytes& unit : NalUnits(stream)) {
    if (unit.size() < 3) continue;
    if (IsVcl(codec, unit[0])) {
      // first_mb_in_slice == 0 (ue(v) "1") or first_slice_segment_in_pic_flag: a new picture begins.
      const bool first_slice = codec == StreamCodec::kHevc ? (unit[2] & 0x80) != 0 : (unit[1] & 0x80) != 0;
      if (first_slice && pending_has_picture) finish_pending();
      pending_has_picture = true;
    } else if (pending_has_picture) {
      finish_pending();
    }
    AppendWithStartCode(pending, unit);
  }
  if (pending_has_picture) finish_pending();
  return access_units;
}

Bytes LeadingParameterSets(const Bytes& stream, StreamCodec codec) {
  Bytes sets;
  for (const Bytes& unit : NalUnits(stream)) {
    if (unit.empty() || IsVcl(codec, unit[0])) break;
    if (IsParameterSet(codec, unit[0])) AppendWithStartCode(sets, unit);
  }
  return sets;
}

Bytes SyntheticPicture(int width, int height, int index) {
  Bytes picture(static_cast<std::size_t>(width) * height * 3 / 2);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool square = ((x + index * 4) / 32 + y / 32) % 2 == 0;
      picture[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(square ? 200 - y / 4 : 40 + x / 8);
    }
  }
  std::uint8_t* chroma = picture.data() + static_cast<std::size_t>(width) * height;
  for (int y = 0; y < height / 2; ++y) {
    for (int x = 0; x < width; ++x) chroma[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(x % 2 == 0 ? 90 + y : 160 - y);
  }
  return picture;
}

double LumaPsnr(const Bytes& expected, const Bytes& actual, int width, int height) {
  const std::size_t count = static_cast<std::size_t>(width) * height;
  if (expected.size() < count || actual.size() < count) return 0.0;
  double squared_error = 0.0;
  for (std::size_t i = 0; i < count; ++i) {
    const double difference = static_cast<double>(expected[i]) - actual[i];
    squared_error += difference * difference;
  }
  if (squared_error == 0.0) return 99.0;
  return 10.0 * std::log10(255.0 * 255.0 * static_cast<double>(count) / squared_error);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

CapturedOutput::CapturedOutput() {
  char out_template[] = "/tmp/moraine-out-XXXXXX";
  char err_template[] = "/tmp/moraine-err-XXXXXX";
  const int out_file = mkstemp(out_template);
  const int err_file = mkstemp(err_template);
  out_path_ = out_template;
  err_path_ = err_template;
  std::fflush(stdout);
  std::fflush(stderr);
  saved_out_ = dup(STDOUT_FILENO);
  saved_err_ = dup(STDERR_FILENO);
  dup2(out_file, STDOUT_FILENO);
  dup2(err_file, STDERR_FILENO);
  close(out_file);
  close(err_file);
}

CapturedOutput::~CapturedOutput() { Stop(); }

void CapturedOutput::Stop() {
  if (saved_out_ < 0) return;
  std::fflush(stdout);
  std::fflush(stderr);
  dup2(saved_out_, STDOUT_FILENO);
  dup2(saved_err_, STDERR_FILENO);
  close(saved_out_);
  close(saved_err_);
  saved_out_ = saved_err_ = -1;
  out_ = ReadFileBytes(out_path_);
  err_ = ReadFileBytes(err_path_);
  std::remove(out_path_.c_str());
  std::remove(err_path_.c_str());
}

}  // namespace moraine::testing
