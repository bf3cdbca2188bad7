#pragma once

// The audio of the current output file on its way into the AAC track: decoded 16-bit mono PCM
// waits for a whole encoder frame, every frame takes its share of the time of the audio records it
// came from, and each access unit the encoder finishes goes to the track with the duration of the
// frame it plays.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>

#include "moraine/mp4/aac_encoder.h"
#include "moraine/mp4/audio_duration_map.h"
#include "moraine/mp4/staged_audio_durations.h"

namespace moraine {

// The audio track that finished access units are written to.
class AacUnitSink {
 public:
  virtual ~AacUnitSink() = default;
  // Writes `unit` as one sync sample lasting `duration` samples. False when it was not written;
  // what the sink has to report about that it has reported.
  virtual bool WriteUnit(std::span<const std::uint8_t> unit, std::uint32_t duration) = 0;
};

class AacAudioStage {
 public:
  static constexpr std::int32_t kStagingBytes = 4096;

  // Opens a fresh encoder at `sample_rate` Hz (8000 or 16000) for the audio of a new file. False,
  // reported on standard error, when it cannot be opened; the audio is then refused.
  bool Start(int sample_rate);

  // Samples of the encoder's start-up delay that the first access unit plays; 0 without an
  // encoder.
  std::uint32_t delay_samples() const;
  // The encoder's AudioSpecificConfig; only after Start succeeded.
  const std::array<std::uint8_t, 2>& audio_specific_config() const { return encoder_->audio_specific_config(); }

  // Stages a chunk of 16-bit mono PCM with the duration of its audio record (taken out of
  // `durations` with those of earlier records that never came back, see TakeAudioDuration; a
  // record without one, or of duration 0, lasts its playing time), hands every whole frame to the
  // encoder with its share of the records' time, and writes each access unit that comes back to
  // `track`. An odd last byte is half a sample and is dropped (one warning on standard error per
  // conversion). 0, or -1 after "error: aac encode fail" on standard error or a write `track`
  // refused (the staged sound is then dropped; its time goes to the next sample).
  int Encode(AudioDurationMap& durations, const std::uint8_t* data, int byte_count, std::int64_t sequence,
             AacUnitSink& track);

  // Ends the file's audio: whatever is staged goes to the encoder as a short last frame,
  // everything the encoder still holds is written to `track`, and the encoder is closed. Nothing
  // is left for the next file.
  void Finish(AacUnitSink& track);

  // Drops the encoder, the staged sound and every duration still owed, without writing anything.
  void Discard();

  // The PCM waiting for a whole frame.
  std::span<const std::uint8_t> staged_pcm() const {
    return {staging_.data(), static_cast<std::size_t>(staged_bytes_)};
  }

 private:
  // Hands the first `samples` staged samples to the encoder as one frame; false (reported) when
  // the encoder refuses them.
  bool SendStagedFrame(int samples);
  // Writes every access unit the encoder has finished; 0 or -1.
  int WriteFinishedUnits(AacUnitSink& track);
  // The staged sound cannot be encoded: it is dropped, and its time goes to the next sample.
  void DropStaged();

  std::unique_ptr<AacEncoder> encoder_;
  // 16-bit mono PCM waiting for a whole encoder frame, and the time (in samples, the audio
  // track's time scale) of the audio records it came from.
  std::array<std::uint8_t, kStagingBytes> staging_{};
  std::int32_t staged_bytes_ = 0;
  StagedAudioDurations staged_durations_;
  // Durations of the access units the encoder still owes, oldest first: its start-up delay, then
  // one per frame handed in. Each unit comes back one frame late and takes the duration of the
  // frame whose samples it plays.
  std::deque<std::int64_t> frame_durations_;
  // An odd byte in a chunk of PCM is reported once per conversion.
  bool odd_chunk_reported_ = false;
};

}  // namespace moraine
