#pragma once

// Turns the H.264 byte stream of the encoder into samples of an MP4 video track: parameter sets
// go to the track's `avcC` lists with renumbered ids, slices become length-prefixed samples (the
// slices of one picture one sample), and nothing is written before an SPS, a PPS and an IDR
// picture were seen.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "moraine/mp4/h264_parameter_set_store.h"
#include "moraine/mp4/mp4_writer.h"

namespace moraine {

class H264TrackFeeder {
 public:
  static constexpr int kSpsSlots = 32;
  static constexpr int kPpsSlots = 256;

  // Feeds `track` of `writer`; the writer must outlive the feeder.
  H264TrackFeeder(Mp4Writer* writer, int track);

  // See h264_write_nal.
  int WriteNalUnits(const std::uint8_t* buffer, std::size_t size, std::uint32_t duration);

 private:
  int HandleUnit(const std::uint8_t* unit, std::size_t size, std::uint32_t duration);
  int HandleSps();
  int HandlePps();
  int HandleSlice(const std::uint8_t* unit, std::size_t size, int nal_type, std::uint32_t duration);
  void DeclarePictureSize(int pps_slot);

  Mp4Writer* writer_;
  int track_;
  H264ParameterSetStore sps_store_{kSpsSlots};
  H264ParameterSetStore pps_store_{kPpsSlots};
  // New ids of the stream's SPS ids (first 32) and PPS ids (next 256).
  std::array<int, kSpsSlots + kPpsSlots> id_map_{};
  // Picture size of each stored SPS, and the SPS slot each stored PPS refers to.
  std::array<std::uint32_t, kSpsSlots> sps_width_{};
  std::array<std::uint32_t, kSpsSlots> sps_height_{};
  std::array<int, kPpsSlots> pps_sps_slot_{};
  bool waiting_for_sps_ = true;
  bool waiting_for_pps_ = true;
  bool waiting_for_idr_ = true;
  bool picture_size_declared_ = false;
  // Work buffers, kept to avoid two allocations per unit.
  std::vector<std::uint8_t> rbsp_;
  std::vector<std::uint8_t> rewritten_;
  std::vector<std::uint8_t> escaped_;  // 4-byte length, then the escaped unit
};

// Feeds every NAL unit of `buffer` (each after its start code) to the track. Returns 0, -1 for a
// malformed unit (bad emulation prevention, an id out of range, a full parameter-set store, a
// PPS or slice before the first SPS), -2 when memory runs out, or a failed write's code; stops at
// the first failure. An access-unit delimiter ends the buffer. `duration` (90 kHz ticks) goes
// with a slice that starts a picture.
int h264_write_nal(H264TrackFeeder& feeder, const std::uint8_t* buffer, std::size_t size,
                   std::uint32_t duration);

}  // namespace moraine
