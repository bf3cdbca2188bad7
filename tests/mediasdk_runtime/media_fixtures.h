#pragma once

// Streams and reference pictures for the runtime's tests. Streams are made with the ffmpeg
// command-line tool (libx264 / libx265 from its lavfi test source) and decoded to NV12 by the same
// tool, so the reference never goes through the runtime.

#include <mfx/mfxvideo.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace moraine::mediasdk::testing {

struct Nv12Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bytes;  // width x height luma, then height / 2 rows of width chroma bytes
};

std::vector<uint8_t> ReadBinaryFile(const std::string& path);

// Encodes `frames` pictures of the moving test pattern at `size` ("WxH") with `encoder_arguments`
// (e.g. {"-c:v", "libx264", "-bf", "0"}) into the raw stream `name` inside `folder`, with `format`
// "h264" or "hevc"; returns its path.
std::string MakeStream(const moraine::testing::TempDir& folder, const std::string& name,
                       const std::string& size, int frames,
                       const std::vector<std::string>& encoder_arguments,
                       const std::string& format);

// Decodes `stream` with the ffmpeg tool into cropped NV12 pictures of `width` x `height`.
std::vector<Nv12Picture> ReferenceDecode(const moraine::testing::TempDir& folder,
                                         const std::string& stream, int width, int height);

// The access units of a raw stream, cut by libavcodec's own parser.
std::vector<std::vector<uint8_t>> SplitAccessUnits(mfxU32 codec_id,
                                                   const std::vector<uint8_t>& stream);

// System-memory NV12 surfaces laid out as the decoder module lays them out: pitch and height
// rounded up to 32, one block for all.
class SurfacePool {
 public:
  SurfacePool(const mfxFrameInfo& info, int count);
  mfxFrameSurface1* FreeSurface();  // lowest unlocked surface, or null
  mfxFrameSurface1& operator[](size_t index) { return surfaces_[index]; }
  size_t size() const { return surfaces_.size(); }

 private:
  std::vector<uint8_t> memory_;
  std::vector<mfxFrameSurface1> surfaces_;
};

// The visible (crop) part of a decoded surface as a tightly packed picture.
Nv12Picture CropOf(const mfxFrameSurface1& surface);

// A decoding software session; decodes access units the way the decoder module does: one access
// unit per call, appended to the bitstream with MFX_BITSTREAM_COMPLETE_FRAME.
class SoftwareDecoding {
 public:
  SoftwareDecoding(mfxU32 codec_id, const std::vector<uint8_t>& first_access_unit);
  ~SoftwareDecoding();

  mfxSession session() const { return session_; }
  mfxVideoParam& parameters() { return parameters_; }
  SurfacePool& surfaces() { return *surfaces_; }

  // Appends `data` (null: none) and makes one decode call; on MFX_ERR_NONE synchronises and
  // stores the picture in `picture`.
  mfxStatus Decode(const std::vector<uint8_t>* data, Nv12Picture* picture);
  // Calls with no bitstream until MFX_ERR_MORE_DATA, collecting the pictures handed out.
  std::vector<Nv12Picture> Drain();
  mfxBitstream& bitstream() { return bitstream_; }

 private:
  mfxSession session_ = nullptr;
  mfxVideoParam parameters_{};
  std::vector<uint8_t> buffer_;
  mfxBitstream bitstream_{};
  std::unique_ptr<SurfacePool> surfaces_;
};

// Peak signal-to-noise ratio of the luma planes of two pictures of one size, in dB.
double LumaPsnr(const Nv12Picture& a, const Nv12Picture& b);

}  // namespace moraine::mediasdk::testing
