#include "moraine/recording/video_payload.h"

#include <gtest/gtest.h>

#include <vector>

#include "moraine/pipeline/parameter_set_store.h"

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(CairnVideoPayload, PrivacyMarkerBecomesAStartCode) {
  Bytes payload = {0x00, 0x00, 0x00, 0x11, 0x65, 0x00, 0x00, 0x00, 0x11};
  EXPECT_TRUE(RemovePrivacyMarker(payload.data(), payload.size()));
  // Only byte 3 is looked at; later marker bytes stay.
  EXPECT_EQ(payload, (Bytes{0x00, 0x00, 0x00, 0x01, 0x65, 0x00, 0x00, 0x00, 0x11}));
  EXPECT_FALSE(RemovePrivacyMarker(payload.data(), payload.size()));
}

TEST(CairnVideoPayload, PayloadsWithoutMarkerAreLeftAlone) {
  Bytes plain = {0x00, 0x00, 0x01, 0x65, 0x11};
  EXPECT_FALSE(RemovePrivacyMarker(plain.data(), plain.size()));
  EXPECT_EQ(plain, (Bytes{0x00, 0x00, 0x01, 0x65, 0x11}));
  Bytes short_payload = {0x00, 0x00, 0x00};
  EXPECT_FALSE(RemovePrivacyMarker(short_payload.data(), short_payload.size()));
}

TEST(CairnVideoPayload, NalUnitTypeByCodec) {
  const Bytes h264_sps = {0, 0, 0, 1, 0x67};
  const Bytes h264_pps = {0, 0, 0, 1, 0x68};
  const Bytes hevc_vps = {0, 0, 0, 1, 0x40, 0x01};
  const Bytes hevc_sps = {0, 0, 0, 1, 0x42, 0x01};
  const Bytes hevc_pps = {0, 0, 0, 1, 0x44, 0x01};
  EXPECT_EQ(NalUnitType(h264_sps.data(), h264_sps.size(), false), 7);
  EXPECT_EQ(NalUnitType(h264_pps.data(), h264_pps.size(), false), 8);
  EXPECT_EQ(NalUnitType(hevc_vps.data(), hevc_vps.size(), true), 32);
  EXPECT_EQ(NalUnitType(hevc_sps.data(), hevc_sps.size(), true), 33);
  EXPECT_EQ(NalUnitType(hevc_pps.data(), hevc_pps.size(), true), 34);
  // The same byte read by the other rule.
  EXPECT_EQ(NalUnitType(hevc_vps.data(), hevc_vps.size(), false), 0);
  EXPECT_EQ(NalUnitType(h264_sps.data(), h264_sps.size(), true), 51);
  EXPECT_FALSE(NalUnitType(h264_sps.data(), 4, false).has_value());
}

TEST(CairnParameterSetStore, KeepsUpToItsCapacityAndRejectsLonger) {
  ParameterSetStore store;
  EXPECT_TRUE(store.empty());
  const Bytes full(ParameterSetStore::kCapacity, 0x5A);
  ASSERT_TRUE(store.Store(full.data(), full.size()));
  EXPECT_EQ(Bytes(store.data(), store.data() + store.size()), full);

  const Bytes previous = {0, 0, 0, 1, 0x67, 0x42};
  ASSERT_TRUE(store.Store(previous.data(), previous.size()));
  const Bytes too_long(ParameterSetStore::kCapacity + 1, 0xA5);
  EXPECT_FALSE(store.Store(too_long.data(), too_long.size()));
  EXPECT_EQ(Bytes(store.data(), store.data() + store.size()), previous);
}

}  // namespace
}  // namespace moraine
