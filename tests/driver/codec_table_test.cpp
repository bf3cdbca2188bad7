#include "moraine/recording/codec_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace moraine {
namespace {

struct CodecRow {
  std::vector<std::int32_t> numbers;
  CodecSettings settings;
};

TEST(CairnCodecTable, EveryRow) {
  constexpr bool kHevc = true;
  constexpr bool kH264 = false;
  const std::vector<CodecRow> rows = {
      {{0, 1}, {10, 32000, 8000, kH264}},
      {{5}, {4, 16000, 8000, kH264}},
      {{6}, {4, 24000, 8000, kH264}},
      {{7}, {4, 32000, 8000, kH264}},
      {{8}, {4, 40000, 8000, kH264}},
      {{9}, {4, 64000, 8000, kH264}},
      {{10}, {5, 32000, 8000, kH264}},
      {{16, 36}, {6, 64000, 8000, kH264}},
      {{17}, {12, 64000, 8000, kH264}},
      {{22, 23}, {9, 64000, 8000, kH264}},
      {{24, 27, 37, 38}, {11, 64000, 8000, kH264}},
      {{26}, {10, 16000, 8000, kH264}},
      {{28}, {4, 32000, 16000, kHevc}},
      {{29}, {3, 32000, 16000, kHevc}},
      {{30}, {4, 16000, 8000, kHevc}},
      {{31}, {4, 24000, 8000, kHevc}},
      {{32}, {4, 32000, 8000, kHevc}},
      {{33}, {4, 40000, 8000, kHevc}},
      {{34}, {4, 64000, 8000, kHevc}},
      {{35}, {5, 64000, 8000, kHevc}},
      // Numbers without a row of their own.
      {{2, 3, 4, 11, 12, 13, 14, 15, 18, 19, 20, 21, 25, 39, 40, 9999, -1, -999}, {3, 32000, 16000, kH264}},
  };
  for (const CodecRow& row : rows) {
    for (std::int32_t number : row.numbers) EXPECT_EQ(LookUpCodec(number), row.settings) << "codec " << number;
  }
}

TEST(CairnCodecTable, CodecNumberReadsLikeAtoi) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"0028", 28}, {"  28", 28}, {"+5  ", 5}, {"7abc", 7}, {"-1  ", -1}, {"abcd", 0},
      {"    ", 0},  {"\t\n 9", 9}, {"35x5", 35}, {"--12", 0}, {"9999", 9999}, {std::string("1\0" "23", 4), 1},
  };
  for (const auto& [text, expected] : cases) {
    ASSERT_EQ(text.size(), kCodecNumberTextSize);
    EXPECT_EQ(ParseCodecNumber(reinterpret_cast<const std::uint8_t*>(text.data())), expected) << '"' << text << '"';
  }
}

TEST(CairnCodecTable, CodecNumberReadsOnlyFourBytes) {
  // The fifth byte belongs to whatever follows the payload and must not extend the number.
  const std::uint8_t text[] = {'1', '2', '3', '4', '5', '6'};
  EXPECT_EQ(ParseCodecNumber(text), 1234);
}

}  // namespace
}  // namespace moraine
