#include "moraine/recording/info_record.h"

#include <gtest/gtest.h>

#include <string>

namespace moraine {
namespace {

InfoRecordType Classify(const std::string& payload, bool codec_pending = true) {
  return ClassifyInfoRecord(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size(), codec_pending);
}

char Form(const std::string& payload) {
  return OneLetterForm(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
}

TEST(CairnInfoRecord, CodecDescriptorOnlyWithFiveBytesWhileNoneHonoured) {
  EXPECT_EQ(Classify("c0028"), InfoRecordType::kCodecDescriptor);
  // A later descriptor, or one of another length, is a one-letter 'C' record.
  EXPECT_EQ(Classify("c0028", false), InfoRecordType::kOneLetterMetadata);
  EXPECT_EQ(Form("c0028"), 'C');
  EXPECT_EQ(Classify("c002"), InfoRecordType::kOneLetterMetadata);
  EXPECT_EQ(Classify("c00280"), InfoRecordType::kOneLetterMetadata);
  EXPECT_EQ(Classify("C0028"), InfoRecordType::kOneLetterMetadata);
}

TEST(CairnInfoRecord, PrivacySwitchesNeedExactlyThreeBytes) {
  EXPECT_EQ(Classify(std::string("B\x01\x00", 3)), InfoRecordType::kPrivacySwitches);
  EXPECT_EQ(Classify(std::string("B\x01", 2)), InfoRecordType::kNone);
  EXPECT_EQ(Classify(std::string("B\x01\x01\x01", 4)), InfoRecordType::kNone);
  EXPECT_EQ(Classify(std::string("b\x01\x01", 3)), InfoRecordType::kNone);
}

TEST(CairnInfoRecord, StructuredMetadataAtAnyLength) {
  EXPECT_EQ(Classify("G"), InfoRecordType::kStructuredMetadata);
  EXPECT_EQ(Classify("GAD and more"), InfoRecordType::kStructuredMetadata);
  EXPECT_EQ(Classify("Gabc"), InfoRecordType::kStructuredMetadata);
  EXPECT_EQ(Classify("g"), InfoRecordType::kNone);
}

TEST(CairnInfoRecord, OneLetterFormsIgnoreCase) {
  for (const char* letter : {"C", "F", "L", "M", "P"}) {
    const char upper = letter[0];
    const char lower = static_cast<char>(upper + ('a' - 'A'));
    EXPECT_EQ(Classify(std::string(1, upper) + "12"), InfoRecordType::kOneLetterMetadata) << upper;
    EXPECT_EQ(Classify(std::string(1, lower)), InfoRecordType::kOneLetterMetadata) << lower;
    EXPECT_EQ(Form(std::string(1, lower) + "x"), upper);
  }
  for (const char* other : {"A", "x", "Q", "1", "\xE3", "\0"}) {
    EXPECT_EQ(Classify(std::string(other, 1)), InfoRecordType::kNone) << other;
    EXPECT_EQ(Form(std::string(other, 1)), 0) << other;
  }
  EXPECT_EQ(Classify(""), InfoRecordType::kNone);
  EXPECT_EQ(Form(""), 0);
}

TEST(CairnInfoRecord, PrivacySwitchIsOnOnlyForTheByteOne) {
  const std::uint8_t both_on[] = {'B', 1, 1};
  const std::uint8_t first_on[] = {'B', 1, 2};
  const std::uint8_t text_one[] = {'B', '1', 0};
  EXPECT_TRUE(ReadPrivacySwitches(both_on, 3).one);
  EXPECT_TRUE(ReadPrivacySwitches(both_on, 3).two);
  EXPECT_TRUE(ReadPrivacySwitches(first_on, 3).one);
  EXPECT_FALSE(ReadPrivacySwitches(first_on, 3).two);
  EXPECT_FALSE(ReadPrivacySwitches(text_one, 3).one);
  EXPECT_FALSE(ReadPrivacySwitches(both_on, 2).one);
}

}  // namespace
}  // namespace moraine
