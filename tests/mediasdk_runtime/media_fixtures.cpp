#include "tests/mediasdk_runtime/media_fixtures.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "tests/support/run_command.h"

namespace moraine::mediasdk::testing {

using moraine::testing::RunCommand;

std::vector<uint8_t> ReadBinaryFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string MakeStream(const moraine::testing::TempDir& folder, const std::string& name,
                       const std::string& size, int frames,
                       const std::vector<std::string>& encoder_arguments,
                       const std::string& format) {
  const std::string path = folder.File(name);
  std::vector<std::string> command = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                                      "-f", "lavfi", "-i", "testsrc2=size=" + size + ":rate=25",
                                      "-frames:v", std::to_string(frames), "-pix_fmt", "yuv420p"};
  command.insert(command.end(), encoder_arguments.begin(), encoder_arguments.end());
  command.insert(command.end(), {"-f", format, path});
  const auto result = RunCommand(command);
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  return path;
}

std::vector<Nv12Picture> ReferenceDecode(const moraine::testing::TempDir& folder,
                                         const std::string& stream, int width, int height) {
  const std::string raw = folder.File("reference.nv12");
  const auto result =
      RunCommand({"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-flags", "unaligned",
                  "-i", stream, "-fps_mode", "passthrough", "-f", "rawvideo", "-pix_fmt", "nv12",
                  raw});
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  const std::vector<uint8_t> bytes = ReadBinaryFile(raw);
  const size_t picture_size = static_cast<size_t>(width) * height * 3 / 2;
  std::vector<Nv12Picture> pictures;
  for (size_t offset = 0; offset + picture_size <= bytes.size(); offset += picture_size) {
    pictures.push_back({width, height,
                        std::vector<uint8_t>(bytes.begin() + static_cast<ptrdiff_t>(offset),
                                             bytes.begin() + static_cast<ptrdiff_t>(offset + picture_size))});
  }
  return pictures;
}

std::vector<std::vector<uint8_t>> SplitAccessUnits(mfxU32 codec_id,
                                                   const std::vector<uint8_t>& stream) {
  const AVCodecID codec = codec_id == MFX_CODEC_HEVC ? AV_CODEC_ID_HEVC : AV_CODEC_ID_H264;
  AVCodecParserContext* parser = av_parser_init(codec);
  AVCodecContext* context = avcodec_alloc_context3(avcodec_find_decoder(codec));
  std::vector<std::vector<uint8_t>> units;
  // The parser reads up to AV_INPUT_BUFFER_PADDING_SIZE bytes past its input.
  std::vector<uint8_t> padded(stream);
  padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  size_t offset = 0;
  while (true) {
    uint8_t* out = nullptr;
    int out_size = 0;
    const int remaining = static_cast<int>(stream.size() - offset);
    const int used = av_parser_parse2(parser, context, &out, &out_size,
                                      remaining > 0 ? padded.data() + offset : nullptr, remaining,
                                      AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    offset += static_cast<size_t>(used);
    if (out_size > 0) units.emplace_back(out, out + out_size);
    if (remaining == 0 && out_size == 0) break;
  }
  av_parser_close(parser);
  avcodec_free_context(&context);
  return units;
}

SurfacePool::SurfacePool(const mfxFrameInfo& info, int count) {
  const size_t width = (info.Width + 31u) & ~31u;
  const size_t height = (info.Height + 31u) & ~31u;
  const size_t size = width * height * 3 / 2;
  memory_.assign(size * static_cast<size_t>(count), 0);
  surfaces_.resize(static_cast<size_t>(count));
  for (size_t i = 0; i < surfaces_.size(); ++i) {
    mfxFrameSurface1& surface = surfaces_[i];
    surface.Info = info;
    surface.Data.Y = memory_.data() + i * size;
    surface.Data.UV = surface.Data.Y + width * height;
    surface.Data.V = surface.Data.UV + 1;
    surface.Data.Pitch = static_cast<mfxU16>(width);
  }
}

mfxFrameSurface1* SurfacePool::FreeSurface() {
  for (mfxFrameSurface1& surface : surfaces_) {
    if (surface.Data.Locked == 0) return &surface;
  }
  return nullptr;
}

Nv12Picture CropOf(const mfxFrameSurface1& surface) {
  const mfxFrameInfo& info = surface.Info;
  Nv12Picture picture{info.CropW, info.CropH, {}};
  picture.bytes.reserve(size_t{info.CropW} * info.CropH * 3 / 2);
  for (int row = 0; row < info.CropH; ++row) {
    const uint8_t* line = surface.Data.Y + size_t(info.CropY + row) * surface.Data.Pitch + info.CropX;
    picture.bytes.insert(picture.bytes.end(), line, line + info.CropW);
  }
  for (int row = 0; row < info.CropH / 2; ++row) {
    const uint8_t* line =
        surface.Data.UV + size_t(info.CropY / 2 + row) * surface.Data.Pitch + info.CropX;
    picture.bytes.insert(picture.bytes.end(), line, line + info.CropW);
  }
  return picture;
}

SoftwareDecoding::SoftwareDecoding(mfxU32 codec_id, const std::vector<uint8_t>& first_access_unit) {
  mfxVersion version{{7, 1}};
  EXPECT_EQ(MFXInit(MFX_IMPL_SOFTWARE, &version, &session_), MFX_ERR_NONE);
  buffer_.resize(4 << 20);
  bitstream_.Data = buffer_.data();
  bitstream_.MaxLength = static_cast<mfxU32>(buffer_.size());
  std::memcpy(buffer_.data(), first_access_unit.data(), first_access_unit.size());
  bitstream_.DataLength = static_cast<mfxU32>(first_access_unit.size());
  bitstream_.DataFlag = MFX_BITSTREAM_COMPLETE_FRAME;
  parameters_.mfx.CodecId = codec_id;
  parameters_.IOPattern = MFX_IOPATTERN_OUT_SYSTEM_MEMORY;
  EXPECT_EQ(MFXVideoDECODE_DecodeHeader(session_, &bitstream_, &parameters_), MFX_ERR_NONE);
  mfxFrameAllocRequest request{};
  EXPECT_EQ(MFXVideoDECODE_QueryIOSurf(session_, &parameters_, &request), MFX_ERR_NONE);
  parameters_.AsyncDepth = 1;
  surfaces_ = std::make_unique<SurfacePool>(parameters_.mfx.FrameInfo,
                                            std::max<int>(request.NumFrameSuggested, 10));
  EXPECT_EQ(MFXVideoDECODE_Init(session_, &parameters_), MFX_ERR_NONE);
  bitstream_.DataOffset = 0;
  bitstream_.DataLength = 0;  // the first access unit is decoded like every other
}

SoftwareDecoding::~SoftwareDecoding() {
  MFXVideoDECODE_Close(session_);
  MFXClose(session_);
}

mfxStatus SoftwareDecoding::Decode(const std::vector<uint8_t>* data, Nv12Picture* picture) {
  mfxBitstream* input = nullptr;
  if (data != nullptr) {
    std::memmove(buffer_.data(), buffer_.data() + bitstream_.DataOffset, bitstream_.DataLength);
    bitstream_.DataOffset = 0;
    std::memcpy(buffer_.data() + bitstream_.DataLength, data->data(), data->size());
    bitstream_.DataLength += static_cast<mfxU32>(data->size());
    input = &bitstream_;
  }
  mfxFrameSurface1* out = nullptr;
  mfxSyncPoint sync = nullptr;
  const mfxStatus status =
      MFXVideoDECODE_DecodeFrameAsync(session_, input, surfaces_->FreeSurface(), &out, &sync);
  if (status == MFX_ERR_NONE) {
    EXPECT_EQ(MFXVideoCORE_SyncOperation(session_, sync, 60000), MFX_ERR_NONE);
    if (picture != nullptr) *picture = CropOf(*out);
  }
  return status;
}

std::vector<Nv12Picture> SoftwareDecoding::Drain() {
  std::vector<Nv12Picture> pictures;
  Nv12Picture picture;
  while (Decode(nullptr, &picture) == MFX_ERR_NONE) pictures.push_back(picture);
  return pictures;
}

double LumaPsnr(const Nv12Picture& a, const Nv12Picture& b) {
  const size_t luma = static_cast<size_t>(a.width) * a.height;
  double squared_error = 0;
  for (size_t i = 0; i < luma; ++i) {
    const double difference = double(a.bytes[i]) - double(b.bytes[i]);
    squared_error += difference * difference;
  }
  if (squared_error == 0) return 100.0;
  return 10.0 * std::log10(255.0 * 255.0 * double(luma) / squared_error);
}

}  // namespace moraine::mediasdk::testing
