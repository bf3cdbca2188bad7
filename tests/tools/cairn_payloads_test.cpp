#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "moraine/recording/codec_table.h"
#include "tools/cairn/adts_header.h"
#include "tools/cairn/analytic_block_builder.h"
#include "tools/cairn/info_payload_summary.h"
#include "tools/cairn/info_payloads.h"

namespace moraine::cairn {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CairnToolPayloads, MotionRecordPacksObjectNumberAndCornerCodes) {
  const Bytes expected = {
      'M',
      0x21,        // object number 3 - 1 in the high nibble; bits 16-19 of code 100100 (0x18704)
      0x87, 0x04,  // bits 0-15 of the top-left code
      0x07,        // bits 16-19 of the bottom-right code 500500 (0x7A314)
      0xA3, 0x14,  // bits 0-15 of the bottom-right code
      0x00, 0x00,  // not read
      0x02, 0xC0,  // source width 704
      0x02, 0x40,  // source height 576
  };
  EXPECT_EQ(MotionPayload(3, {100, 100}, {500, 500}, {704, 576}), expected);
}

TEST(CairnToolPayloads, MotionRecordClampsNumberAndCorners) {
  const Bytes payload = MotionPayload(20, {-5, 1200}, {999, 999}, {352, 288});
  EXPECT_EQ(payload[1] >> 4, 15);               // object 16, the highest a nibble holds
  EXPECT_EQ((payload[1] & 0x0F) << 16 | payload[2] << 8 | payload[3], 999);  // X 0, Y 999
  EXPECT_EQ((payload[4] & 0x0F) << 16 | payload[5] << 8 | payload[6], 999999);
}

TEST(CairnToolPayloads, PerimeterObjectRecordLayout) {
  const Bytes expected = {
      'P', 'O',
      0x00,                                            // not read
      0x00, 0x02,                                      // object number 2
      0x00, 0x0A, 0x00, 0x14, 0x00, 0x64, 0x00, 0x50,  // rectangle (10,20)-(100,80)
      0x00, 0x37, 0x00, 0x50,                          // trace point (55,80)
      0x00, 0x00,                                      // not read
      0x01, 0x40, 0x00, 0xF0,                          // source 320 x 240
  };
  EXPECT_EQ(PerimeterObjectPayload(2, {10, 20, 100, 80}, {55, 80}, {320, 240}), expected);
}

TEST(CairnToolPayloads, OtherOneLetterRecordsPutFieldsWhereTheConverterReadsThem) {
  const Bytes loitering = LoiteringPayload(5, true, {1, 2, 3, 4}, 300, {704, 576});
  ASSERT_EQ(loitering.size(), 20u);
  EXPECT_EQ(loitering[1], 5);
  EXPECT_EQ(loitering[2], 1);
  EXPECT_EQ(Bytes(loitering.begin() + 3, loitering.begin() + 13), (Bytes{0, 1, 0, 2, 0, 3, 0, 4, 0x01, 0x2C}));
  EXPECT_EQ(Bytes(loitering.begin() + 16, loitering.end()), (Bytes{0x02, 0xC0, 0x02, 0x40}));

  const Bytes fire = FirePayload(4, 1, 77, {10, 11, 12, 13}, {352, 288});
  ASSERT_EQ(fire.size(), 20u);
  EXPECT_EQ(Bytes(fire.begin() + 1, fire.begin() + 14), (Bytes{4, 0, 1, 0, 77, 0, 10, 0, 11, 0, 12, 0, 13}));
  EXPECT_EQ(Bytes(fire.begin() + 16, fire.end()), (Bytes{0x01, 0x60, 0x01, 0x20}));

  const Bytes alarm = PerimeterAlarmPayload(9, true, {352, 288});
  ASSERT_EQ(alarm.size(), 23u);
  EXPECT_EQ(Bytes(alarm.begin(), alarm.begin() + 7), (Bytes{'P', 'A', 0, 0, 9, 1, 1}));
  EXPECT_EQ(Bytes(alarm.begin() + 19, alarm.end()), (Bytes{0x01, 0x60, 0x01, 0x20}));
  EXPECT_EQ(PerimeterAlarmPayload(9, false, {352, 288})[5], 0);

  EXPECT_EQ(PrivacySwitchesPayload(true, false), (Bytes{'B', 1, 0}));
}

TEST(CairnToolPayloads, CodecDescriptorReadsBackWithAtoiRules) {
  for (const int number : {-999, -5, 0, 10, 35, 9999}) {
    const auto payload = CodecDescriptorPayload(number);
    ASSERT_TRUE(payload.has_value()) << number;
    EXPECT_EQ((*payload)[0], 'c');
    EXPECT_EQ(ParseCodecNumber(payload->data() + 1), number);
  }
  const auto ten = CodecDescriptorPayload(10);
  EXPECT_EQ(std::string(ten->begin(), ten->end()), "c  10");
  EXPECT_FALSE(CodecDescriptorPayload(10000).has_value());
  EXPECT_FALSE(CodecDescriptorPayload(-1000).has_value());
}

TEST(CairnToolPayloads, EmptyBlockMatchesTheSmallestValidBlock) {
  const Bytes expected = {
      'G', 'A', 'D',
      0x00, 0x0C,  // total length 12
      0x01, 0x60,  // source width 352
      0x01, 0x20,  // source height 288
      0x00,        // name length 0
      0x00, 0x00,  // object count 0
  };
  EXPECT_EQ(AnalyticBlockBuilder("", 352, 288).Build(), expected);
}

TEST(CairnToolPayloads, DrawingObjectBlockLayout) {
  AnalyticObjectBody body;
  body.Header(7, 1, 2).Vertex({10, 20}).Vertex({100, 20}).Vertex({100, 80});
  AnalyticBlockBuilder builder("motion", 352, 288);
  builder.AddObject(AnalyticObjectType::kDrawing, body);
  const Bytes expected = {
      'G', 'A', 'D',
      0x00, 0x2D,                          // total length 45
      0x01, 0x60, 0x01, 0x20,              // source 352 x 288
      0x06, 'm', 'o', 't', 'i', 'o', 'n',  // name
      0x00, 0x01,                          // one object
      0x01,                                // drawing object
      0x00, 0x18,                          // body length 24
      0x01, 0x04, 0x00, 0x07, 0x01, 0x02,  // header: object 7, kind 1, state 2
      0x08, 0x04, 0x00, 0x0A, 0x00, 0x14,  // vertex (10,20)
      0x08, 0x04, 0x00, 0x64, 0x00, 0x14,  // vertex (100,20)
      0x08, 0x04, 0x00, 0x64, 0x00, 0x50,  // vertex (100,80)
  };
  EXPECT_EQ(builder.Build(), expected);
}

TEST(CairnToolPayloads, BlockRefusesWhatItsLengthFieldsCannotHold) {
  EXPECT_FALSE(AnalyticBlockBuilder(std::string(256, 'n'), 352, 288).Build().has_value());
  AnalyticBlockBuilder huge("motion", 352, 288);
  AnalyticObjectBody body;
  for (int i = 0; i < 11000; ++i) body.Vertex({i % 352, i % 288});  // 66000 bytes of body
  huge.AddObject(AnalyticObjectType::kDrawing, body);
  EXPECT_FALSE(huge.Build().has_value());
}

TEST(CairnToolPayloads, LongLabelIsCutToFitItsTagValue) {
  AnalyticObjectBody body;
  body.Label({1, 2}, {255, 255, 255}, 0, 1, std::string(400, 'x'));
  const Bytes& bytes = body.bytes();
  ASSERT_EQ(bytes.size(), 2u + 255u);
  EXPECT_EQ(bytes[0], 7);    // label tag
  EXPECT_EQ(bytes[1], 255);  // value length
  EXPECT_EQ(bytes[2 + 9], 245);  // text length
}

TEST(CairnToolPayloads, PixelateBlockDecodesToItsWords) {
  AnalyticObjectBody parameters;
  parameters.PixelateParameters(8, 1, 1, 3);
  AnalyticBlockBuilder builder("Pixelate", 320, 240);
  builder.AddObject(AnalyticObjectType::kInfo, parameters);
  const auto block = builder.Build();
  ASSERT_TRUE(block.has_value());
  const Fields fields = DescribeStructuredBlock(block->data(), block->size());
  EXPECT_EQ(fields["block_valid"], true);
  EXPECT_EQ(fields["block_name"], "Pixelate");
  EXPECT_EQ(fields["info_objects"], 1);
  EXPECT_EQ(fields["pixelate_level"], 8);
  EXPECT_EQ(fields["anonymizer_algorithm"], 3);
}

TEST(CairnToolPayloads, AdtsHeaderFields) {
  const auto header = MakeAdtsHeader(8000, 100);
  ASSERT_TRUE(header.has_value());
  const std::array<std::uint8_t, kAdtsHeaderSize> expected = {
      0xFF, 0xF1,  // syncword, MPEG-4, no CRC
      0x6C,        // AAC-LC, sampling frequency index 11 (8000 Hz), channel configuration high bit 0
      0x40,        // channel configuration 1, frame length bits 11-12
      0x0D,        // frame length 107 bits 3-10
      0x7F,        // frame length bits 0-2, buffer fullness high bits
      0xFC,        // buffer fullness low bits, one raw data block
  };
  EXPECT_EQ(*header, expected);
  EXPECT_TRUE(MakeAdtsHeader(16000, 8184).has_value());
  EXPECT_FALSE(MakeAdtsHeader(16000, 8185).has_value());  // frame length above 8191
  EXPECT_FALSE(MakeAdtsHeader(12345, 100).has_value());
}

}  // namespace
}  // namespace moraine::cairn
