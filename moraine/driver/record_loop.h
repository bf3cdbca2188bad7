#pragma once

// One run of the conversion: the input, the chain of output files, the bound modules and the walk
// over the records in file order. Parameter sets start and restart the video pipeline, video frames
// go through decoder and encoder into the MP4 video track, audio frames through the audio decoder
// into the AAC track, and the codec descriptor sets up the codecs and the output.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "bitstream/sequence_parameters.h"
#include "moraine/driver/conversion_outcome.h"
#include "moraine/driver/conversion_state.h"
#include "moraine/driver/progress_line.h"
#include "moraine/mp4/output_file_chain.h"
#include "moraine/pipeline/audio_decoder.h"
#include "moraine/pipeline/media_modules.h"
#include "moraine/pipeline/parameter_set_store.h"
#include "moraine/pipeline/video_encoder_stage.h"
#include "moraine/pipeline/video_pipeline.h"
#include "moraine/pipeline/video_sample_durations.h"
#include "moraine/recording/cairn_reader.h"
#include "moraine/recording/codec_table.h"
#include "platform/critical_section.h"

namespace moraine {

class RecordLoop {
 public:
  // Opens the input, creates the first working file, binds Tarn, Fell and Brook and creates the
  // audio decoder. nullptr (with the reason on standard error) when any of it fails; what was
  // opened is closed again, what was loaded unloaded and an empty working file removed.
  static std::unique_ptr<RecordLoop> Start(const std::string& input_path, const std::string& output_base_name,
                                           const MediaModuleFiles& module_files, ConversionState& state);

  ~RecordLoop();
  RecordLoop(const RecordLoop&) = delete;
  RecordLoop& operator=(const RecordLoop&) = delete;

  // Walks the records to the end of the input (or until an output file cannot be opened, started
  // or written, or the encoder stage fails), pausing `pause_milliseconds` after each.
  void Run(std::uint32_t pause_milliseconds);

  // Ends the run: the output still held by the encoder and the audio decoder is written, the last
  // file finished and named, the modules closed. Runs once; the destructor calls it if needed.
  void Finish();

  // Marks the run failed from outside (an exception on the main thread): the current file keeps
  // its working name.
  void MarkFailed() { outputs_.MarkCutShort(); }

  // The files finished so far, whether the run failed, and what the records held.
  ConversionOutcome Outcome() const;

 private:
  RecordLoop(ConversionState& state, std::unique_ptr<CairnReader> reader, OutputFileChain outputs,
             MediaModules modules);

  // One record; false when the loop has to end.
  bool HandleRecord(CairnRecord& record);
  bool HandleParameterSet(CairnRecord& record);
  bool HandleParameterSetPayload(std::span<const std::uint8_t> payload);
  void HandleInfo(const CairnRecord& record);
  void HandleAudioFrame(const CairnRecord& record);
  void HandleVideoFrame(CairnRecord& record);

  // Opens the writer on the current file and sets up the audio track and the audio decoder.
  void ApplyCodec(const CodecSettings& codec);
  // Whether a codec descriptor may still replace the default row: nothing is written yet.
  bool DefaultCodecReplaceable();
  // Starts the output over with `codec` and reads the held parameter sets again.
  void ReplaceDefaultCodec(const CodecSettings& codec);
  bool OpenOutput();
  // A failure that makes going on pointless: it was reported when it happened.
  bool Failed() const;
  void StartVideoPipeline(const SequenceParameters& size, std::span<const std::uint8_t> pps);
  bool ChangePictureSize(const SequenceParameters& size, std::span<const std::uint8_t> pps);
  // Takes the pictures the encoder still holds and writes them.
  void DrainEncoder();
  // Cuts an encoded access unit into NAL units and writes parameter sets and slices, the slices
  // with `duration`. Holds the audio lock meanwhile: the audio decoder's output writes to the same
  // MP4 file from the main thread.
  void WriteAccessUnit(std::span<const std::uint8_t> access_unit, std::uint64_t duration);

  ConversionState& state_;
  std::unique_ptr<CairnReader> reader_;
  OutputFileChain outputs_;
  // Declared in this order so that the audio decoder goes before the lock it holds and the module
  // that made it, and the encoder stage before the pipeline and the lock it uses.
  MediaModules modules_;
  platform::CriticalSection audio_lock_;
  std::unique_ptr<AudioDecoder> audio_decoder_;
  VideoPipeline video_;
  VideoEncoderStage encoder_stage_;

  std::uint32_t record_time_ = 0;  // of the latest record of kind 1, 2, 5 or 6
  std::uint64_t video_sample_duration_ = 0;  // 90 kHz ticks to the next video frame record
  VideoSampleDurations video_durations_;
  bool codec_pending_ = true;
  // The default row was taken for want of a descriptor; the parameter sets since then are held.
  bool codec_defaulted_ = false;
  std::vector<std::vector<std::uint8_t>> held_parameter_sets_;
  CodecSettings codec_;
  std::int64_t audio_sequence_ = 0;
  ParameterSetStore vps_;
  ParameterSetStore sps_;
  SequenceParameters parsed_;
  bool pipeline_running_ = false;
  std::uint32_t applied_width_ = 0;
  std::uint32_t applied_height_ = 0;
  bool finished_ = false;
  // Shown on a terminal only; cleared when the walk over the records ends.
  ProgressLine progress_;
  std::uint64_t records_read_ = 0;
};

}  // namespace moraine
