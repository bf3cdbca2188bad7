#include "moraine/driver/record_loop.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "bitstream/encoded_frame_cutter.h"
#include "bitstream/sequence_parameters.h"
#include "moraine/mp4/h264_track_feeder.h"
#include "moraine/privacy/anonymizer_options.h"
#include "moraine/privacy/privacy_path.h"
#include "moraine/recording/info_record.h"
#include "moraine/recording/video_payload.h"
#include "platform/clock.h"

namespace moraine {
namespace {

constexpr std::uint8_t kKindInfo = static_cast<std::uint8_t>(RecordKind::kInfo);
constexpr std::uint8_t kKindParameterSet = static_cast<std::uint8_t>(RecordKind::kParameterSet);
constexpr std::uint8_t kKindAudioFrame = static_cast<std::uint8_t>(RecordKind::kAudioFrame);

constexpr std::uint8_t kH264Sps = 7;
constexpr std::uint8_t kH264Pps = 8;
constexpr std::uint8_t kH264NonIdrSlice = 1;
constexpr std::uint8_t kH264IdrSlice = 5;
constexpr std::uint8_t kHevcVps = 32;
constexpr std::uint8_t kHevcSps = 33;
constexpr std::uint8_t kHevcPps = 34;

constexpr std::size_t kStartCodeSize = 4;
// No level of H.264 or HEVC allows a picture side this long; an SPS claiming more is damaged.
constexpr std::uint32_t kMaxPictureDimension = 16384;
// A codec number without a row of its own: it selects the table's default row (H.264 video).
constexpr std::int32_t kDefaultRowCodecNumber = -1;
// VPS, SPS and PPS: the latest set, kept while the default row may still be replaced.
constexpr std::size_t kHeldParameterSets = 3;

std::span<const std::uint8_t> Bytes(const ParameterSetStore& store) { return {store.data(), store.size()}; }

void Append(std::vector<std::uint8_t>& to, std::span<const std::uint8_t> bytes) {
  to.insert(to.end(), bytes.begin(), bytes.end());
}

// The audio decoder's output callback; `context` is the conversion's state.
void OnDecodedAudio(void* context, const std::uint8_t* data, std::int32_t length, std::int32_t /*sample_rate*/,
                    std::int32_t /*channel_count*/, std::int32_t /*bits_per_sample*/,
                    std::int64_t /*sample_position*/, std::int64_t tag, std::int32_t kind) {
  auto& state = *static_cast<ConversionState*>(context);
  on_decoded_audio(state.mp4, state.audio_durations, data, length, tag, kind);
}

}  // namespace

std::unique_ptr<RecordLoop> RecordLoop::Start(const std::string& input_path, const std::string& output_base_name,
                                              const MediaModuleFiles& module_files, ConversionState& state) {
  std::unique_ptr<CairnReader> reader = CairnReader::Open(input_path);
  if (!reader) {
    std::fprintf(stderr, "error: cannot open the recording %s\n", input_path.c_str());
    return nullptr;
  }
  std::optional<OutputFileChain> outputs = OutputFileChain::Start(output_base_name);
  if (!outputs) return nullptr;
  std::optional<MediaModules> modules = MediaModules::Bind(module_files);
  if (!modules) return nullptr;
  std::unique_ptr<RecordLoop> loop(new RecordLoop(state, std::move(reader), std::move(*outputs), std::move(*modules)));
  loop->audio_decoder_ = AudioDecoder::Create(loop->modules_.brook());
  if (!loop->audio_decoder_) {
    std::fprintf(stderr, "error: the audio decoder module gave no decoder\n");
    loop->finished_ = true;  // nothing was started that would need finishing
    return nullptr;
  }
  loop->progress_.Begin(input_path);
  return loop;
}

RecordLoop::RecordLoop(ConversionState& state, std::unique_ptr<CairnReader> reader, OutputFileChain outputs,
                       MediaModules modules)
    : state_(state),
      reader_(std::move(reader)),
      outputs_(std::move(outputs)),
      modules_(std::move(modules)),
      video_(modules_.tarn(), modules_.fell()),
      encoder_stage_(video_, [this](std::span<const std::uint8_t> access_unit, std::uint64_t duration) {
        WriteAccessUnit(access_unit, duration);
      }) {}

RecordLoop::~RecordLoop() { Finish(); }

void RecordLoop::Run(std::uint32_t pause_milliseconds) {
  while (std::optional<CairnRecord> record = reader_->ReadNextRecord()) {
    ++records_read_;
    if (!HandleRecord(*record) || Failed()) break;
    progress_.Update(reader_->position());
    if (pause_milliseconds > 0) platform::SleepMilliseconds(pause_milliseconds);
    if (reader_->AtEnd()) break;
  }
  // Whatever the run prints next starts on a clean line.
  progress_.Clear();
}

bool RecordLoop::HandleRecord(CairnRecord& record) {
  const CairnRecordHeader& header = record.header;
  if (TakesRecordTime(header.kind)) record_time_ = RecordTime(header);
  if (IsVideoFrameKind(header.kind)) outputs_.NoteVideoFrame(header);

  if (header.kind == kKindParameterSet) {
    if (!HandleParameterSet(record)) return false;
  } else if (header.kind == kKindInfo) {
    HandleInfo(record);
  } else if (header.kind == kKindAudioFrame) {
    HandleAudioFrame(record);
    return true;
  }
  // The duration of a picture is the distance to the next video frame record; other kinds have none.
  video_sample_duration_ = reader_->LookAheadDuration(header.kind, record_time_);
  if (IsVideoFrameKind(header.kind)) HandleVideoFrame(record);
  return true;
}

bool RecordLoop::HandleParameterSet(CairnRecord& record) {
  if (RemovePrivacyMarker(record.payload(), record.payload_size())) state_.privacy_marked = true;
  if (codec_pending_) {
    // Without a codec descriptor the output would never open and the video would be lost.
    std::fputs("warning: the recording has no codec descriptor before its parameter sets; "
               "converting it as H.264 with the default audio codec\n", stderr);
    ApplyCodec(LookUpCodec(kDefaultRowCodecNumber));
    codec_defaulted_ = true;
  }
  const std::span<const std::uint8_t> payload(record.payload(), record.payload_size());
  if (codec_defaulted_) {
    // A codec descriptor that comes late reads the latest set again under the right codec.
    if (held_parameter_sets_.size() == kHeldParameterSets) held_parameter_sets_.erase(held_parameter_sets_.begin());
    held_parameter_sets_.emplace_back(payload.begin(), payload.end());
  }
  return HandleParameterSetPayload(payload);
}

bool RecordLoop::HandleParameterSetPayload(std::span<const std::uint8_t> payload) {
  const std::optional<std::uint8_t> type = NalUnitType(payload.data(), payload.size(), codec_.hevc);
  if (!type) return true;

  const std::uint8_t sps_type = codec_.hevc ? kHevcSps : kH264Sps;
  const std::uint8_t pps_type = codec_.hevc ? kHevcPps : kH264Pps;
  if (*type == sps_type) {
    sps_.Store(payload.data(), payload.size());
    return true;
  }
  if (codec_.hevc && *type == kHevcVps) {
    vps_.Store(payload.data(), payload.size());
    return true;
  }
  if (*type != pps_type) return true;
  // A PPS completes a set; without an SPS there is nothing to size the pipeline by.
  if (sps_.size() <= kStartCodeSize) return true;

  const std::uint8_t* sps_nal = sps_.data() + kStartCodeSize;
  const std::size_t sps_nal_size = sps_.size() - kStartCodeSize;
  const SequenceParameters parsed =
      codec_.hevc ? ParseHevcSps(sps_nal, sps_nal_size, parsed_) : ParseH264Sps(sps_nal, sps_nal_size);
  // An SPS that cannot be read gives no usable size: the pipeline, and the size the option step of
  // every later metadata block works with, stay as they are.
  if (parsed.width == 0 || parsed.height == 0 || parsed.width > kMaxPictureDimension ||
      parsed.height > kMaxPictureDimension) {
    return true;
  }
  parsed_ = parsed;
  if (!pipeline_running_) {
    StartVideoPipeline(parsed_, payload);
    return true;
  }
  if (parsed_.width != applied_width_ || parsed_.height != applied_height_) return ChangePictureSize(parsed_, payload);
  return true;  // repeated parameter sets of an unchanged stream
}

void RecordLoop::HandleInfo(const CairnRecord& record) {
  const std::uint8_t* payload = record.payload();
  const InfoRecordType type =
      ClassifyInfoRecord(payload, record.payload_size(), codec_pending_ || DefaultCodecReplaceable());
  if (type == InfoRecordType::kCodecDescriptor) {
    const CodecSettings codec = LookUpCodec(ParseCodecNumber(payload + 1));
    if (codec_defaulted_) {
      ReplaceDefaultCodec(codec);
    } else {
      ApplyCodec(codec);
    }
    return;
  }
  if (type == InfoRecordType::kPrivacySwitches) {
    state_.privacy_switches = ReadPrivacySwitches(payload, record.payload_size());
  } else if (type == InfoRecordType::kStructuredMetadata) {
    // The pixelation pass reads the block before the overlay stores it. With switch one on, every
    // block sets the anonymizer options again, for the size the stream announced last.
    const PrivacySwitches& switches = state_.privacy_switches;
    if (RunPixelationPass(switches.one, switches.two, payload, record.payload_size(), state_.pixelation)) {
      RunAnonymizerOptionStep(state_, state_.pixelation.pixelation_level, {parsed_.width, parsed_.height},
                              {applied_width_, applied_height_});
    }
    state_.overlay.StoreStructuredBlock(payload, record.payload_size(), record_time_);
  } else if (type == InfoRecordType::kOneLetterMetadata) {
    state_.overlay.StoreOneLetterRecord(payload, record.payload_size(), record_time_);
  }
}

void RecordLoop::ApplyCodec(const CodecSettings& codec) {
  codec_pending_ = false;
  codec_ = codec;
  if (OpenOutput()) setup_audio_track(state_.mp4, codec_.audio_sample_rate);
  audio_decoder_->Configure(codec_, audio_lock_, OnDecodedAudio, &state_);
}

bool RecordLoop::DefaultCodecReplaceable() {
  if (!codec_defaulted_) return false;
  // A picture may still be on its way to the file.
  encoder_stage_.Wait();
  const Mp4Output& mp4 = state_.mp4;
  if (MP4E_sample_count(mp4.writer.get(), mp4.video_track) != 0 ||
      MP4E_sample_count(mp4.writer.get(), mp4.audio_track) != 0) {
    codec_defaulted_ = false;  // sound or pictures are written: the default row stays
    held_parameter_sets_.clear();
  }
  return codec_defaulted_;
}

void RecordLoop::ReplaceDefaultCodec(const CodecSettings& codec) {
  // Nothing has reached the output yet, so it starts over with the codecs the recording names.
  codec_defaulted_ = false;
  const bool video_changes = codec.hevc != codec_.hevc;
  if (video_changes && pipeline_running_) {
    video_.Close();
    pipeline_running_ = false;
  }
  discard_output(state_.mp4);
  state_.audio_durations.clear();
  // Sound already decoded under the default row opened the module's codec for good; a fresh
  // decoder opens the right one.
  if (std::unique_ptr<AudioDecoder> fresh = AudioDecoder::Create(modules_.brook())) audio_decoder_ = std::move(fresh);
  ApplyCodec(codec);
  std::vector<std::vector<std::uint8_t>> held = std::move(held_parameter_sets_);
  held_parameter_sets_.clear();
  if (!video_changes) return;
  sps_ = {};
  vps_ = {};
  for (const std::vector<std::uint8_t>& parameter_set : held) HandleParameterSetPayload(parameter_set);
}

bool RecordLoop::OpenOutput() { return outputs_.StartWriter(state_.mp4); }

bool RecordLoop::Failed() const {
  return outputs_.failed() || encoder_stage_.failed() || output_write_error(state_.mp4) != 0;
}

ConversionOutcome RecordLoop::Outcome() const {
  ConversionOutcome outcome;
  outcome.finished_files = outputs_.finished_files();
  outcome.failed = Failed();
  outcome.findings = {records_read_, outputs_.output_started(), applied_width_ != 0, audio_sequence_};
  return outcome;
}

void RecordLoop::HandleAudioFrame(const CairnRecord& record) {
  const std::uint64_t duration = reader_->LookAheadDuration(record.header.kind, record_time_);
  ++audio_sequence_;
  NoteAudioDuration(state_.audio_durations, audio_sequence_, duration);
  audio_decoder_->Decode(record.payload(), record.payload_size(), audio_sequence_);
}

void RecordLoop::StartVideoPipeline(const SequenceParameters& size, std::span<const std::uint8_t> pps) {
  // The decoder gets the whole set both in its header and fed one by one; for HEVC the VPS leads.
  std::vector<std::uint8_t> header;
  std::vector<std::span<const std::uint8_t>> parameter_sets;
  if (codec_.hevc && !vps_.empty()) {
    Append(header, Bytes(vps_));
    parameter_sets.push_back(Bytes(vps_));
  }
  Append(header, Bytes(sps_));
  Append(header, pps);
  parameter_sets.push_back(Bytes(sps_));
  parameter_sets.push_back(pps);
  video_.Start(codec_.hevc, static_cast<std::int32_t>(size.width), static_cast<std::int32_t>(size.height), header,
               parameter_sets);
  // The work image and the module's options follow the new size; the applied size is still the
  // previous one (0 x 0 at the first start).
  RunAnonymizerOptionStep(state_, state_.pixelation.pixelation_level, {size.width, size.height},
                          {applied_width_, applied_height_});
  video_durations_.Restart();
  pipeline_running_ = true;
  applied_width_ = size.width;
  applied_height_ = size.height;
}

bool RecordLoop::ChangePictureSize(const SequenceParameters& size, std::span<const std::uint8_t> pps) {
  encoder_stage_.Wait();
  DrainEncoder();
  video_.Close();
  pipeline_running_ = false;
  outputs_.Finish(state_.mp4);
  if (!outputs_.OpenNext()) return false;
  if (!OpenOutput()) return false;
  setup_audio_track(state_.mp4, codec_.audio_sample_rate);
  StartVideoPipeline(size, pps);
  return true;
}

void RecordLoop::HandleVideoFrame(CairnRecord& record) {
  if (RemovePrivacyMarker(record.payload(), record.payload_size())) state_.privacy_marked = true;
  // Before the first complete parameter set there is no decoder to take the picture.
  if (!pipeline_running_) return;
  video_.Decode(static_cast<std::uint32_t>(audio_sequence_), {record.payload(), record.payload_size()});
  video_durations_.NoteRecord(video_sample_duration_);
  std::optional<DecodedPicture> picture = video_.TakePicture();
  if (!picture) return;  // its time goes to the next picture
  // People are made unrecognisable before anything is drawn over them.
  if (state_.privacy_marked && state_.pixelation_active) {
    RunPrivacyPath(state_, picture->bytes.get(), static_cast<std::size_t>(std::max(picture->size, 0)),
                   picture->width, picture->height);
  }
  // The analytics are drawn before the picture leaves for the encoder, which never sees it half drawn.
  state_.overlay.ComposeFrame(picture->bytes.get(), static_cast<std::size_t>(std::max(picture->size, 0)),
                              picture->width, picture->height, record_time_);
  // The encoder works on the picture while the next records are read and decoded.
  const std::uint64_t duration = video_durations_.TakePicture();
  encoder_stage_.Submit(std::move(*picture), duration);
  progress_.NotePicture(duration);
  state_.overlay.Expire(record_time_);
}

void RecordLoop::DrainEncoder() {
  if (!pipeline_running_) return;
  for (;;) {
    const std::span<const std::uint8_t> access_unit = video_.Encode(nullptr);
    if (access_unit.empty()) return;
    WriteAccessUnit(access_unit, video_durations_.latest());
  }
}

void RecordLoop::WriteAccessUnit(std::span<const std::uint8_t> access_unit, std::uint64_t duration) {
  const std::lock_guard lock(audio_lock_);
  if (access_unit.empty() || !state_.mp4.feeder) return;
  const auto slice_duration = static_cast<std::uint32_t>(duration);
  for (const CutNalUnit& unit : CutAccessUnit(access_unit)) {
    std::uint32_t unit_duration = 0;
    if (unit.nal_unit_type == kH264IdrSlice || unit.nal_unit_type == kH264NonIdrSlice) {
      unit_duration = slice_duration;
    } else if (unit.nal_unit_type != kH264Sps && unit.nal_unit_type != kH264Pps) {
      continue;  // SEI, delimiters and the like carry nothing the track keeps
    }
    if (h264_write_nal(*state_.mp4.feeder, unit.bytes.data(), unit.bytes.size(), unit_duration) != 0) return;
  }
}

void RecordLoop::Finish() {
  if (finished_) return;
  finished_ = true;
  encoder_stage_.Wait();
  // After a failure the encoder's state is unknown: the file ends where the failure cut it.
  if (encoder_stage_.failed()) {
    outputs_.MarkCutShort();
  } else {
    DrainEncoder();
  }
  // The audio decoder's last sound must reach the AAC encoder before that is closed.
  audio_decoder_->Finish();
  close_audio_encoder(state_.mp4);
  outputs_.Finish(state_.mp4);
  reader_.reset();
  video_.Close();
  // The converter releases the Anonymizer binding after the run.
}

}  // namespace moraine
