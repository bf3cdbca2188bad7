#include "moraine/recording/cairn_record.h"

#include <gtest/gtest.h>

#include <vector>

namespace moraine {
namespace {

struct CalendarTime {
  int year;  // full year
  int month;  // 1-12
  int day;
  int hour;
  int minute;
  int second;
  int weekday;      // 0 = Sunday
  int day_of_year;  // 0 = 1 January
};

void ExpectCalendarTime(const std::tm& actual, const CalendarTime& expected) {
  EXPECT_EQ(actual.tm_year + 1900, expected.year);
  EXPECT_EQ(actual.tm_mon + 1, expected.month);
  EXPECT_EQ(actual.tm_mday, expected.day);
  EXPECT_EQ(actual.tm_hour, expected.hour);
  EXPECT_EQ(actual.tm_min, expected.minute);
  EXPECT_EQ(actual.tm_sec, expected.second);
  EXPECT_EQ(actual.tm_wday, expected.weekday);
  EXPECT_EQ(actual.tm_yday, expected.day_of_year);
  EXPECT_EQ(actual.tm_isdst, 0);
}

CairnRecordHeader HeaderAt(std::uint32_t seconds, std::int8_t zone) {
  CairnRecordHeader header;
  header.seconds = seconds;
  header.zone = zone;
  return header;
}

TEST(CairnRecordHeader, DecodesFieldsAndIgnoresUnreadBytes) {
  const std::uint8_t bytes[kCairnHeaderSize] = {
      0xA5,                    // kind 5; high nibble not read
      0xEE,                    // not read
      0x34, 0x12, 0x01,        // length 0x011234
      0xE7, 0x03,              // milliseconds 999
      0x00, 0xF1, 0x53, 0x65,  // seconds 1700000000
      0xDE, 0xAD, 0xBE, 0xEF,  // not read
      0xFC,                    // zone -4
  };
  const CairnRecordHeader header = DecodeCairnHeader(bytes);
  EXPECT_EQ(header.kind, 5);
  EXPECT_EQ(header.length, 0x011234u);
  EXPECT_EQ(header.milliseconds, 999);
  EXPECT_EQ(header.seconds, 1700000000u);
  EXPECT_EQ(header.zone, -4);
}

TEST(CairnRecordHeader, EncodeDecodeRoundTripWithZeroUnreadBytes) {
  CairnRecordHeader header;
  header.kind = 6;
  header.length = 0xFFFFFF;
  header.milliseconds = 1234;  // above 999 is kept as it stands
  header.seconds = 0xFFFFFFFF;
  header.zone = -128;
  const auto bytes = EncodeCairnHeader(header);
  EXPECT_EQ(bytes[1], 0);
  for (std::size_t i = 11; i < 15; ++i) EXPECT_EQ(bytes[i], 0) << i;
  const CairnRecordHeader decoded = DecodeCairnHeader(bytes.data());
  EXPECT_EQ(decoded.kind, header.kind);
  EXPECT_EQ(decoded.length, header.length);
  EXPECT_EQ(decoded.milliseconds, header.milliseconds);
  EXPECT_EQ(decoded.seconds, header.seconds);
  EXPECT_EQ(decoded.zone, header.zone);
}

TEST(CairnRecordTime, IgnoresZoneAndWrapsAt32Bits) {
  CairnRecordHeader header = HeaderAt(1700000000, 8);
  header.milliseconds = 250;
  EXPECT_EQ(RecordTime(header), static_cast<std::uint32_t>(1700000000ull * 1000 + 250));
  header.seconds = 4294968;  // 4294968000 ms is 704 past 2^32
  header.milliseconds = 0;
  EXPECT_EQ(RecordTime(header), 704u);
  header.milliseconds = 1500;
  EXPECT_EQ(RecordTime(header), 2204u);
}

TEST(CairnWallClockTime, ZoneMovesTheTimeInQuarterHours) {
  ExpectCalendarTime(WallClockTime(HeaderAt(1700000000, 0)), {2023, 11, 14, 22, 13, 20, 2, 317});
  // 0xFC is -4 quarter hours: one hour back.
  ExpectCalendarTime(WallClockTime(HeaderAt(1700000000, static_cast<std::int8_t>(0xFC))),
                     {2023, 11, 14, 21, 13, 20, 2, 317});
  // 0x08: two hours forward, across midnight.
  ExpectCalendarTime(WallClockTime(HeaderAt(1700000000, 0x08)), {2023, 11, 15, 0, 13, 20, 3, 318});
}

TEST(CairnWallClockTime, BackAcrossMidnightIntoThePreviousYear) {
  // 2024-01-01 00:30:00 UTC, one hour back.
  ExpectCalendarTime(WallClockTime(HeaderAt(1704069000, -4)), {2023, 12, 31, 23, 30, 0, 0, 364});
}

TEST(CairnWallClockTime, FarDatesBeyond2038) {
  ExpectCalendarTime(WallClockTime(HeaderAt(0xFFFFFFFF, 0)), {2106, 2, 7, 6, 28, 15, 0, 37});
}

TEST(CairnWallClockTime, ZoneSumWrapsAsUnsigned32Bits) {
  // The last second of the 32-bit range plus a quarter hour wraps to the start of 1970.
  ExpectCalendarTime(WallClockTime(HeaderAt(0xFFFFFFFF, 1)), {1970, 1, 1, 0, 14, 59, 4, 0});
  // Going back from the epoch wraps to the far end rather than before 1970.
  ExpectCalendarTime(WallClockTime(HeaderAt(0, -4)), {2106, 2, 7, 5, 28, 16, 0, 37});
}

}  // namespace
}  // namespace moraine
