// The audio decoder module as the program sees it: loaded with dlopen, driven through the object
// layout and the positions of its operations, fed with tones coded by libavcodec's encoders.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>

#include "tests/brook/loaded_brook.h"
#include "tests/brook/test_tone.h"

namespace brook::testing {
namespace {

constexpr double kToneFrequency = 440.0;
constexpr double kToneAmplitude = 8000.0;

std::int64_t RejectedFrames(BrookDecoder* decoder) {
  return OperationAt<std::int64_t (*)(BrookDecoder*)>(decoder, 1)(decoder);
}

std::vector<Bytes> AacRecords(int sample_rate, int sample_count) {
  ToneCoding coding{AV_CODEC_ID_AAC, sample_rate, sample_rate * 2, kToneFrequency, kToneAmplitude, sample_count};
  return WithAdtsHeaders(EncodeTone(coding), sample_rate);
}

std::vector<Bytes> MuLawRecords(int count) {
  ToneCoding coding{AV_CODEC_ID_PCM_MULAW, 8000, 0, kToneFrequency, kToneAmplitude, 160 * count};
  return CutIntoRecords(EncodeTone(coding), 160);
}

class BrookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(module_.error(), "");
    test_allocator::Reset();
    decoder_ = module_.Create();
    ASSERT_NE(decoder_, nullptr);
  }

  void DecodeAll(const std::vector<Bytes>& records, std::int64_t first_sequence) {
    for (std::size_t i = 0; i < records.size(); ++i) DecodeRecord(decoder_.get(), records[i], first_sequence + i);
  }

  LoadedBrook module_;
  LoadedBrook::Decoder decoder_;
  OutputRecorder recorder_;
  std::recursive_mutex audio_lock_;
};

TEST_F(BrookTest, ObjectIsTablePointerThenSelectorWithTenOperations) {
  const auto* object = reinterpret_cast<const unsigned char*>(decoder_.get());
  const void* table = nullptr;
  std::memcpy(&table, object, sizeof(table));
  EXPECT_EQ(table, decoder_->operations);
  std::int32_t selector = -1;
  std::memcpy(&selector, object + 8, sizeof(selector));
  EXPECT_EQ(selector, 0);

  for (int position = 0; position < 10; ++position) {
    EXPECT_NE(OperationAt<void (*)()>(decoder_.get(), position), nullptr) << "position " << position;
  }
  EXPECT_EQ(OperationAt<std::int32_t (*)(BrookDecoder*)>(decoder_.get(), 0)(decoder_.get()), kBrookInterfaceVersion);
}

struct CodecCase {
  const char* name;
  std::int32_t selector;
  std::int32_t rate_value;
  ToneCoding coding;
  bool adts;
  std::size_t record_size;   // bytes per record for byte-stream codecs
  double samples_per_byte;   // for byte-stream codecs; ADTS frames give 1024 samples each
  std::int32_t output_rate;
  std::size_t settle_samples;  // left out of the tone check: codec start-up
  double min_purity;
};

class BrookCodecTest : public BrookTest, public ::testing::WithParamInterface<CodecCase> {};

TEST_P(BrookCodecTest, DecodesToneAsTaggedMonoPcm) {
  const CodecCase& codec = GetParam();
  const std::vector<Bytes> packets = EncodeTone(codec.coding);
  const std::vector<Bytes> records =
      codec.adts ? WithAdtsHeaders(packets, codec.coding.sample_rate) : CutIntoRecords(packets, codec.record_size);
  ASSERT_GT(records.size(), 3u);

  ConfigureAsProgram(decoder_.get(), codec.selector, codec.rate_value, &recorder_, &audio_lock_);
  constexpr std::int64_t kFirstSequence = 41;
  DecodeAll(records, kFirstSequence);

  ASSERT_EQ(recorder_.chunks.size(), records.size());
  std::int64_t position = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const OutputChunk& chunk = recorder_.chunks[i];
    const double expected = codec.adts ? 1024.0 : static_cast<double>(records[i].size()) * codec.samples_per_byte;
    EXPECT_EQ(chunk.kind, kBrookOutputKindPcm);
    EXPECT_EQ(chunk.tag, kFirstSequence + static_cast<std::int64_t>(i));
    EXPECT_EQ(chunk.sample_rate, codec.output_rate);
    EXPECT_EQ(chunk.channel_count, 1);
    EXPECT_EQ(chunk.bits_per_sample, 16);
    EXPECT_EQ(chunk.sample_position, position);
    EXPECT_EQ(static_cast<double>(chunk.samples.size()), expected) << "record " << i;
    position += static_cast<std::int64_t>(chunk.samples.size());
  }

  const std::vector<std::int16_t> all = recorder_.AllSamples();
  ASSERT_GT(all.size(), codec.settle_samples);
  const std::span<const std::int16_t> settled = std::span(all).subspan(codec.settle_samples);
  EXPECT_GT(TonePurity(settled, codec.output_rate, kToneFrequency), codec.min_purity);
  EXPECT_NEAR(ToneAmplitude(settled, codec.output_rate, kToneFrequency), kToneAmplitude, 0.2 * kToneAmplitude);
  EXPECT_TRUE(test_allocator::counts().outstanding.empty());
}

ToneCoding Tone(AVCodecID codec_id, int sample_rate, std::int64_t bit_rate) {
  return {codec_id, sample_rate, bit_rate, kToneFrequency, kToneAmplitude, sample_rate};
}

INSTANTIATE_TEST_SUITE_P(
    EveryCodecFamily, BrookCodecTest,
    ::testing::Values(
        CodecCase{"MuLaw5", 5, 32000, Tone(AV_CODEC_ID_PCM_MULAW, 8000, 0), false, 160, 1.0, 8000, 0, 0.99},
        CodecCase{"MuLaw6", 6, 64000, Tone(AV_CODEC_ID_PCM_MULAW, 8000, 0), false, 160, 1.0, 8000, 0, 0.99},
        CodecCase{"MuLaw12", 12, 64000, Tone(AV_CODEC_ID_PCM_MULAW, 8000, 0), false, 160, 1.0, 8000, 0, 0.99},
        CodecCase{"ALaw9", 9, 64000, Tone(AV_CODEC_ID_PCM_ALAW, 8000, 0), false, 160, 1.0, 8000, 0, 0.99},
        CodecCase{"ALaw11", 11, 64000, Tone(AV_CODEC_ID_PCM_ALAW, 8000, 0), false, 160, 1.0, 8000, 0, 0.99},
        CodecCase{"G726TwoBits", 10, 16000, Tone(AV_CODEC_ID_ADPCM_G726, 8000, 16000), false, 40, 4.0, 8000, 400,
                  0.7},
        CodecCase{"G726FourBits", 10, 32000, Tone(AV_CODEC_ID_ADPCM_G726, 8000, 32000), false, 80, 2.0, 8000, 400,
                  0.95},
        CodecCase{"Aac8k", 4, 16000, Tone(AV_CODEC_ID_AAC, 8000, 16000), true, 0, 0.0, 8000, 2048, 0.9},
        CodecCase{"Aac16k", 4, 32000, Tone(AV_CODEC_ID_AAC, 16000, 32000), true, 0, 0.0, 16000, 2048, 0.9},
        CodecCase{"G722", 3, 32000, Tone(AV_CODEC_ID_ADPCM_G722, 16000, 0), false, 160, 2.0, 16000, 400, 0.95}),
    [](const ::testing::TestParamInfo<CodecCase>& info) { return std::string(info.param.name); });

TEST_F(BrookTest, EveryBufferComesBackOnceWhateverBecomesOfIt) {
  const std::vector<Bytes> records = MuLawRecords(4);
  // Before configuration the module does not know the release function yet and keeps them.
  DecodeRecord(decoder_.get(), records[0], 1);
  DecodeRecord(decoder_.get(), records[1], 2);
  EXPECT_EQ(test_allocator::counts().released, 0);

  ConfigureAsProgram(decoder_.get(), 5, 64000, &recorder_, &audio_lock_);
  EXPECT_EQ(test_allocator::counts().released, 2);
  DecodeRecord(decoder_.get(), records[2], 3);
  DecodeRecord(decoder_.get(), Bytes{}, 4);
  FinishAsProgram(decoder_.get());
  DecodeRecord(decoder_.get(), records[3], 5);

  EXPECT_EQ(recorder_.chunks.size(), 1u);  // only the configured frame before finish
  EXPECT_EQ(test_allocator::counts().allocated, 5);
  EXPECT_EQ(test_allocator::counts().released, 5);
  EXPECT_EQ(test_allocator::counts().unexpected_releases, 0);
}

TEST_F(BrookTest, CallbackRunsWhileTheAudioLockIsHeld) {
  recorder_.lock_to_probe = &audio_lock_;
  ConfigureAsProgram(decoder_.get(), 5, 64000, &recorder_, &audio_lock_);
  DecodeAll(MuLawRecords(3), 0);
  ASSERT_EQ(recorder_.chunks.size(), 3u);
  for (const OutputChunk& chunk : recorder_.chunks) EXPECT_TRUE(chunk.lock_held);

  std::thread([&] {
    ASSERT_TRUE(audio_lock_.try_lock());
    audio_lock_.unlock();
  }).join();
}

TEST_F(BrookTest, WithoutALockTheCallbackHoldsNone) {
  recorder_.lock_to_probe = &audio_lock_;
  ConfigureAsProgram(decoder_.get(), 5, 64000, &recorder_, nullptr);
  DecodeAll(MuLawRecords(1), 0);
  ASSERT_EQ(recorder_.chunks.size(), 1u);
  EXPECT_FALSE(recorder_.chunks[0].lock_held);
}

TEST_F(BrookTest, SelectorsWithoutCodecGiveNothingAndOneDiagnostic) {
  const std::vector<Bytes> records = MuLawRecords(3);
  struct Unusable {
    std::int32_t selector;
    std::int32_t rate_value;
  };
  // Unknown selectors, and G.726 with a rate value that gives no code word size of 2 to 5 bits.
  for (const Unusable unusable : {Unusable{0, 64000}, Unusable{7, 64000}, Unusable{10, 64000}, Unusable{10, 8000}}) {
    LoadedBrook::Decoder decoder = module_.Create();
    OutputRecorder recorder;
    ConfigureAsProgram(decoder.get(), unusable.selector, unusable.rate_value, &recorder, &audio_lock_);
    ::testing::internal::CaptureStderr();
    for (std::size_t i = 0; i < records.size(); ++i) DecodeRecord(decoder.get(), records[i], i);
    FinishAsProgram(decoder.get());
    const std::string diagnostics = ::testing::internal::GetCapturedStderr();

    EXPECT_TRUE(recorder.chunks.empty()) << "selector " << unusable.selector;
    EXPECT_EQ(std::count(diagnostics.begin(), diagnostics.end(), '\n'), 1) << diagnostics;
    EXPECT_NE(diagnostics.find("selector " + std::to_string(unusable.selector)), std::string::npos);
  }
  EXPECT_TRUE(test_allocator::counts().outstanding.empty());
}

TEST_F(BrookTest, NothingComesOutUntilSelectorAndRateAreSet) {
  const std::vector<Bytes> records = MuLawRecords(2);
  OperationAt<void (*)(BrookDecoder*, BrookOutputCallback, void*, std::int32_t)>(decoder_.get(), 7)(
      decoder_.get(), OutputRecorder::Callback, &recorder_, 0);
  decoder_->codec_selector = 5;
  DecodeRecord(decoder_.get(), records[0], 1);
  EXPECT_TRUE(recorder_.chunks.empty());

  ConfigureAsProgram(decoder_.get(), 5, 64000, &recorder_, &audio_lock_);
  DecodeRecord(decoder_.get(), records[1], 2);
  ASSERT_EQ(recorder_.chunks.size(), 1u);
  EXPECT_EQ(recorder_.chunks[0].tag, 2);
}

TEST_F(BrookTest, CorruptAacFramesGiveNothingAndDecodingGoesOn) {
  const std::vector<Bytes> good = AacRecords(8000, 8000);
  ASSERT_GE(good.size(), 8u);
  std::mt19937 random(7);
  Bytes noise(200);
  for (std::uint8_t& byte : noise) byte = static_cast<std::uint8_t>(random());
  const Bytes& sample = good[4];
  const std::vector<Bytes> corrupt = {
      noise,                                                   // no ADTS frame at all
      Bytes(sample.begin(), sample.begin() + sample.size() / 2),  // frame cut short
      Bytes(sample.begin(), sample.begin() + 7),               // header without payload
  };
  Bytes scrambled = sample;  // whole frame, payload replaced: the codec may or may not object
  for (std::size_t i = 7; i < scrambled.size(); ++i) scrambled[i] = static_cast<std::uint8_t>(random());

  ConfigureAsProgram(decoder_.get(), 4, 16000, &recorder_, &audio_lock_);
  const std::size_t half = good.size() / 2;
  std::int64_t sequence = 0;
  for (std::size_t i = 0; i < half; ++i) DecodeRecord(decoder_.get(), good[i], sequence++);
  const std::int64_t first_corrupt = sequence;
  for (const Bytes& record : corrupt) DecodeRecord(decoder_.get(), record, sequence++);
  const std::int64_t scrambled_sequence = sequence;
  DecodeRecord(decoder_.get(), scrambled, sequence++);
  for (std::size_t i = half; i < good.size(); ++i) DecodeRecord(decoder_.get(), good[i], sequence++);

  std::size_t good_chunks = 0;
  for (const OutputChunk& chunk : recorder_.chunks) {
    EXPECT_FALSE(chunk.tag >= first_corrupt && chunk.tag < scrambled_sequence) << "tag " << chunk.tag;
    if (chunk.tag != scrambled_sequence) ++good_chunks;
  }
  EXPECT_EQ(good_chunks, good.size());
  EXPECT_GE(RejectedFrames(decoder_.get()), static_cast<std::int64_t>(corrupt.size()));
  const std::int64_t later_good_sequence = scrambled_sequence + 2;
  for (const OutputChunk& chunk : recorder_.chunks) {
    if (chunk.tag == later_good_sequence) {
      EXPECT_GT(TonePurity(chunk.samples, 8000, kToneFrequency), 0.9);
    }
  }
  EXPECT_TRUE(test_allocator::counts().outstanding.empty());
}

TEST_F(BrookTest, ResampledSoundIsFlushedAtFinishAndLaterFramesAreIgnored) {
  const std::vector<Bytes> records = AacRecords(16000, 16000);
  ConfigureAsProgram(decoder_.get(), 4, 32000, &recorder_, &audio_lock_);
  OperationAt<void (*)(BrookDecoder*, std::int32_t)>(decoder_.get(), 5)(decoder_.get(), 8000);
  DecodeAll(records, 1);
  const std::size_t before_finish = recorder_.AllSamples().size();
  FinishAsProgram(decoder_.get());
  DecodeRecord(decoder_.get(), records[0], 999);

  const std::vector<std::int16_t> all = recorder_.AllSamples();
  const double expected = 1024.0 / 2.0 * static_cast<double>(records.size());
  EXPECT_LT(before_finish, all.size());
  EXPECT_NEAR(static_cast<double>(all.size()), expected, 16.0);
  EXPECT_EQ(recorder_.chunks.back().tag, static_cast<std::int64_t>(records.size()));
  for (const OutputChunk& chunk : recorder_.chunks) EXPECT_EQ(chunk.sample_rate, 8000);
  EXPECT_GT(TonePurity(std::span(all).subspan(1024), 8000, kToneFrequency), 0.9);
  const auto delivered = OperationAt<std::int64_t (*)(BrookDecoder*)>(decoder_.get(), 2)(decoder_.get());
  EXPECT_EQ(delivered, static_cast<std::int64_t>(all.size()));
  EXPECT_TRUE(test_allocator::counts().outstanding.empty());
}

}  // namespace
}  // namespace brook::testing
