#pragma once

// Helpers for the tests of the media modules: the modules' entry points, test streams made with the
// ffmpeg command-line tool, access units, synthetic NV12 pictures and their comparison, and capture
// of what a module prints.

#include <cstdint>
#include <string>
#include <vector>

#include "fell/fell_exports.h"
#include "platform/module_loader.h"
#include "tarn/tarn_exports.h"

namespace moraine::testing {

using Bytes = std::vector<std::uint8_t>;

// libTarn.so from the bin folder with its five entry points.
struct TarnModule {
  TarnModule();
  platform::LoadedModule module;
  TarnAvailableFunction available;
  TarnCreateFunction create;
  TarnDecodeVideoFrameFunction decode;
  TarnGetDecodedVideoFrameFunction get;
  TarnCloseFunction close;
};

// libFell.so from the bin folder with its five entry points.
struct FellModule {
  FellModule();
  platform::LoadedModule module;
  FellAvailableFunction available;
  FellCreateFunction create;
  FellEncodeVideoFrameFunction encode;
  FellGetEncodedVideoFrameFunction get;
  FellCloseFunction close;
};

enum class StreamCodec { kH264, kHevc };

// An Annex B elementary stream of `frames` test pictures (ffmpeg's testsrc2 pattern), made by
// ffmpeg with libx264 or libx265 without B pictures, one slice per picture.
Bytes MakeTestStream(StreamCodec codec, int width, int height, int frames);

// The access units of an Annex B stream: the slices of each picture with the non-VCL units before
// them, all with four-byte start codes.
std::vector<Bytes> SplitAccessUnits(const Bytes& stream, StreamCodec codec);

// The leading parameter sets of an Annex B stream (VPS, SPS, PPS), as the decoder's create wants them.
Bytes LeadingParameterSets(const Bytes& stream, StreamCodec codec);

// A packed NV12 picture whose content moves with `index`.
Bytes SyntheticPicture(int width, int height, int index);

// Peak signal-to-noise ratio of the luma planes of two packed NV12 pictures, in dB.
double LumaPsnr(const Bytes& expected, const Bytes& actual, int width, int height);

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

// Collects what is written to the standard output and error descriptors from construction until Stop().
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  void Stop();
  const std::string& Out() const { return out_; }
  const std::string& Err() const { return err_; }

 private:
  int saved_out_ = -1;
  int saved_err_ = -1;
  std::string out_path_;
  std::string err_path_;
  std::string out_;
  std::string err_;
};

}  // namespace moraine::testing
