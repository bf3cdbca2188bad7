#include "bitstream/hevc_short_term_ref_pic_set.h"

#include <cstddef>

namespace moraine {

namespace {

constexpr std::size_t kMaxPictures = 16;

ShortTermRefPicSet ReadPredictedSet(BitReader& reader, const ShortTermRefPicSet& reference) {
  // delta_rps_sign: u(1)
  const bool delta_rps_sign = reader.ReadFlag();
  // abs_delta_rps_minus1: ue(v)
  const std::int64_t abs_delta_rps = std::int64_t{reader.ReadUnsignedExpGolomb()} + 1;
  const std::int64_t delta_rps = delta_rps_sign ? -abs_delta_rps : abs_delta_rps;

  // One flag pair per picture of the reference set (S0 first, then S1), and a last pair for the
  // reference picture itself.
  const std::size_t negative_count = reference.negative_delta_pocs.size();
  const std::size_t picture_count = negative_count + reference.positive_delta_pocs.size();
  std::vector<bool> use_delta(picture_count + 1, false);
  for (std::size_t j = 0; j <= picture_count; ++j) {
    // used_by_curr_pic_flag[j]: u(1)
    const bool used_by_curr_pic = reader.ReadFlag();
    // use_delta_flag[j]: u(1), present only when the picture is not used, else inferred 1
    use_delta[j] = used_by_curr_pic || reader.ReadFlag();
  }
  const auto negative_kept = [&](std::size_t j) { return use_delta[j]; };
  const auto positive_kept = [&](std::size_t j) { return use_delta[negative_count + j]; };
  const bool reference_kept = use_delta[picture_count];

  // Shifted pictures that land on the current picture (delta 0) drop out, which is why the flag
  // count alone does not give the size of the set.
  ShortTermRefPicSet set;
  const auto& s0 = reference.negative_delta_pocs;
  const auto& s1 = reference.positive_delta_pocs;
  for (std::size_t j = s1.size(); j-- > 0;) {
    const std::int64_t delta_poc = s1[j] + delta_rps;
    if (delta_poc < 0 && positive_kept(j)) {
      set.negative_delta_pocs.push_back(delta_poc);
    }
  }
  if (delta_rps < 0 && reference_kept) {
    set.negative_delta_pocs.push_back(delta_rps);
  }
  for (std::size_t j = 0; j < s0.size(); ++j) {
    const std::int64_t delta_poc = s0[j] + delta_rps;
    if (delta_poc < 0 && negative_kept(j)) {
      set.negative_delta_pocs.push_back(delta_poc);
    }
  }

  for (std::size_t j = s0.size(); j-- > 0;) {
    const std::int64_t delta_poc = s0[j] + delta_rps;
    if (delta_poc > 0 && negative_kept(j)) {
      set.positive_delta_pocs.push_back(delta_poc);
    }
  }
  if (delta_rps > 0 && reference_kept) {
    set.positive_delta_pocs.push_back(delta_rps);
  }
  for (std::size_t j = 0; j < s1.size(); ++j) {
    const std::int64_t delta_poc = s1[j] + delta_rps;
    if (delta_poc > 0 && positive_kept(j)) {
      set.positive_delta_pocs.push_back(delta_poc);
    }
  }
  return set;
}

// Reads `count` (delta_poc_minus1: ue(v), used_by_curr_pic_flag: u(1)) pairs, each delta one
// step further from the current picture in the direction of `sign`.
std::vector<std::int64_t> ReadExplicitDeltas(BitReader& reader, std::uint32_t count, int sign) {
  std::vector<std::int64_t> delta_pocs;
  std::int64_t delta_poc = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    // delta_poc_s0_minus1[i] or delta_poc_s1_minus1[i]: ue(v)
    delta_poc += sign * (std::int64_t{reader.ReadUnsignedExpGolomb()} + 1);
    // used_by_curr_pic_s0_flag[i] or used_by_curr_pic_s1_flag[i]: u(1)
    reader.ReadFlag();
    delta_pocs.push_back(delta_poc);
  }
  return delta_pocs;
}

}  // namespace

std::optional<ShortTermRefPicSet> ReadShortTermRefPicSet(BitReader& reader, std::uint32_t index,
                                                         const ShortTermRefPicSet& previous) {
  // inter_ref_pic_set_prediction_flag: u(1), absent from set 0
  const bool inter_ref_pic_set_prediction = index != 0 && reader.ReadFlag();
  ShortTermRefPicSet set;
  // delta_idx_minus1 is only present in slice headers; in an SPS the reference is the previous set.
  if (inter_ref_pic_set_prediction) {
    set = ReadPredictedSet(reader, previous);
  } else {
    // num_negative_pics: ue(v)
    const std::uint32_t num_negative_pics = reader.ReadUnsignedExpGolomb();
    // num_positive_pics: ue(v)
    const std::uint32_t num_positive_pics = reader.ReadUnsignedExpGolomb();
    // Checked one by one first, so that their sum cannot overflow.
    if (num_negative_pics > kMaxPictures || num_positive_pics > kMaxPictures ||
        num_negative_pics + num_positive_pics > kMaxPictures) {
      return std::nullopt;
    }
    set.negative_delta_pocs = ReadExplicitDeltas(reader, num_negative_pics, -1);
    set.positive_delta_pocs = ReadExplicitDeltas(reader, num_positive_pics, +1);
  }
  if (reader.failed() || set.negative_delta_pocs.size() + set.positive_delta_pocs.size() > kMaxPictures) {
    return std::nullopt;
  }
  return set;
}

}  // namespace moraine
