#include "moraine/mp4/h264_track_feeder.h"

#include <algorithm>
#include <optional>
#include <span>

#include "bitstream/bit_reader.h"
#include "bitstream/bit_writer.h"
#include "bitstream/emulation_prevention.h"
#include "bitstream/nal_units.h"
#include "bitstream/sequence_parameters.h"

namespace moraine {

namespace {

constexpr int kNalSliceNonIdr = 1;
constexpr int kNalSlicePartitionA = 2;
constexpr int kNalSliceIdr = 5;
constexpr int kNalSps = 7;
constexpr int kNalPps = 8;
constexpr int kNalAccessUnitDelimiter = 9;
// Escaped bytes that surely hold a slice header's first three ue(v) fields (at most 25 bytes
// unescaped; escaping adds at most one byte in three).
constexpr std::size_t kSliceHeaderPrefix = 64;

// The ue(v) fields at the start of a unit's payload, after `fixed_bytes` copied as they are
// (the NAL header, for an SPS also profile_idc, the constraint flags and level_idc).
struct LeadingFields {
  std::array<std::uint32_t, 3> values{};
  std::size_t rest_bit = 0;  // where the untouched remainder starts
};

std::optional<LeadingFields> ReadLeadingFields(const std::vector<std::uint8_t>& rbsp,
                                               std::size_t fixed_bytes, int count) {
  BitReader reader(rbsp);
  reader.SkipBits(fixed_bytes * 8);
  LeadingFields fields;
  for (int i = 0; i < count; ++i) {
    fields.values[static_cast<std::size_t>(i)] = reader.ReadUnsignedExpGolomb();
  }
  if (reader.failed()) return std::nullopt;
  fields.rest_bit = reader.bit_position();
  return fields;
}

// The unit with its leading ue(v) fields replaced by `values`.
void WriteWithFields(const std::vector<std::uint8_t>& rbsp, std::size_t fixed_bytes,
                     const std::uint32_t* values, int count, std::size_t rest_bit,
                     std::vector<std::uint8_t>& out) {
  out.clear();
  RbspBitWriter writer(out);
  for (std::size_t i = 0; i < fixed_bytes; ++i) writer.WriteBits(i < rbsp.size() ? rbsp[i] : 0, 8);
  for (int i = 0; i < count; ++i) writer.WriteUnsignedExpGolomb(values[i]);
  writer.CopyTrailingBits(rbsp, rest_bit);
}

}  // namespace

H264TrackFeeder::H264TrackFeeder(Mp4Writer* writer, int track) : writer_(writer), track_(track) {}

int H264TrackFeeder::WriteNalUnits(const std::uint8_t* buffer, std::size_t size,
                                   std::uint32_t duration) {
  if (buffer == nullptr) return kMp4BadArgument;
  const std::span<const std::uint8_t> stream(buffer, size);
  int status = kMp4Ok;
  std::size_t from = 0;
  while (status == kMp4Ok) {
    const std::optional<NalUnit> unit = NextNalUnit(stream, from);
    if (!unit) break;
    from = unit->payload_offset + unit->size;
    const std::span<const std::uint8_t> payload = PayloadWithoutTrailingZeros(stream, *unit);
    if (payload.empty()) {
      status = kMp4BadArgument;  // nothing left of the unit once its zeros are removed
      break;
    }
    if ((payload[0] & 0x1F) == kNalAccessUnitDelimiter) break;
    status = HandleUnit(payload.data(), payload.size(), duration);
  }
  return status;
}

int H264TrackFeeder::HandleUnit(const std::uint8_t* unit, std::size_t size,
                                std::uint32_t duration) {
  const int nal_type = unit[0] & 0x1F;
  switch (nal_type) {
    case kNalSliceNonIdr:
    case kNalSlicePartitionA:
    case kNalSliceIdr:
      return HandleSlice(unit, size, nal_type, duration);
    case kNalSps:
    case kNalPps:
      if (!RemoveEmulationPrevention({unit, size}, EscapeRule::kReversible, rbsp_)) return kMp4BadArgument;
      return nal_type == kNalSps ? HandleSps() : HandlePps();
    default:
      // Other units (SEI, ...) have no place in the track.
      return RemoveEmulationPrevention({unit, size}, EscapeRule::kReversible, rbsp_) ? kMp4Ok
                                                                                      : kMp4BadArgument;
  }
}

int H264TrackFeeder::HandleSps() {
  // seq_parameter_set_id: ue(v), after profile_idc, the constraint flags and level_idc.
  const std::optional<LeadingFields> fields = ReadLeadingFields(rbsp_, 4, 1);
  if (!fields || fields->values[0] >= kSpsSlots) return kMp4BadArgument;
  const std::uint32_t zero_id = 0;
  WriteWithFields(rbsp_, 4, &zero_id, 1, fields->rest_bit, rewritten_);
  bool added = false;
  const int slot = sps_store_.FindOrAdd(rewritten_, added);
  if (slot < 0) return kMp4BadArgument;
  id_map_[fields->values[0]] = slot;

  const auto new_id = static_cast<std::uint32_t>(slot);
  WriteWithFields(rbsp_, 4, &new_id, 1, fields->rest_bit, rewritten_);
  escaped_.clear();
  AppendWithEmulationPrevention(rewritten_, escaped_);
  if (added) {
    const SequenceParameters parameters = ParseH264Sps(escaped_.data(), escaped_.size());
    sps_width_[static_cast<std::size_t>(slot)] = parameters.width;
    sps_height_[static_cast<std::size_t>(slot)] = parameters.height;
  }
  const int status =
      MP4E_add_sps(writer_, track_, escaped_.data(), static_cast<int>(escaped_.size()));
  if (status != kMp4Ok) return status;
  waiting_for_sps_ = false;
  return kMp4Ok;
}

int H264TrackFeeder::HandlePps() {
  if (waiting_for_sps_) return kMp4BadArgument;
  // pic_parameter_set_id: ue(v), seq_parameter_set_id: ue(v).
  const std::optional<LeadingFields> fields = ReadLeadingFields(rbsp_, 1, 2);
  if (!fields || fields->values[0] >= kPpsSlots || fields->values[1] >= kSpsSlots) {
    return kMp4BadArgument;
  }
  const int sps_slot = id_map_[fields->values[1]];
  std::uint32_t values[2] = {0, static_cast<std::uint32_t>(sps_slot)};
  WriteWithFields(rbsp_, 1, values, 2, fields->rest_bit, rewritten_);
  bool added = false;
  const int slot = pps_store_.FindOrAdd(rewritten_, added);
  if (slot < 0) return kMp4BadArgument;
  id_map_[kSpsSlots + fields->values[0]] = slot;
  if (added) pps_sps_slot_[static_cast<std::size_t>(slot)] = sps_slot;

  values[0] = static_cast<std::uint32_t>(slot);
  WriteWithFields(rbsp_, 1, values, 2, fields->rest_bit, rewritten_);
  escaped_.clear();
  AppendWithEmulationPrevention(rewritten_, escaped_);
  const int status =
      MP4E_add_pps(writer_, track_, escaped_.data(), static_cast<int>(escaped_.size()));
  if (status != kMp4Ok) return status;
  waiting_for_pps_ = false;
  return kMp4Ok;
}

int H264TrackFeeder::HandleSlice(const std::uint8_t* unit, std::size_t size, int nal_type,
                                 std::uint32_t duration) {
  const std::optional<bool> escaping_is_canonical = CheckEmulationPrevention({unit, size});
  if (!escaping_is_canonical) return kMp4BadArgument;
  if (waiting_for_sps_) return kMp4BadArgument;
  if (nal_type == kNalSliceIdr) waiting_for_idr_ = false;
  if (waiting_for_pps_ || waiting_for_idr_) return kMp4Ok;

  // first_mb_in_slice: ue(v), slice_type: ue(v), pic_parameter_set_id: ue(v). They lie within
  // the first bytes, so only those are unescaped to read them.
  RemoveEmulationPrevention({unit, std::min(size, kSliceHeaderPrefix)}, EscapeRule::kReversible, rbsp_);
  const std::optional<LeadingFields> fields = ReadLeadingFields(rbsp_, 1, 3);
  if (!fields || fields->values[2] >= kPpsSlots) return kMp4BadArgument;
  const int pps_slot = id_map_[kSpsSlots + fields->values[2]];

  escaped_.assign(4, 0);
  if (static_cast<std::uint32_t>(pps_slot) == fields->values[2] && *escaping_is_canonical) {
    // Nothing changes: unescaping, rewriting and escaping again would give these very bytes.
    escaped_.insert(escaped_.end(), unit, unit + size);
  } else {
    RemoveEmulationPrevention({unit, size}, EscapeRule::kReversible, rbsp_);
    const std::uint32_t values[3] = {fields->values[0], fields->values[1],
                                     static_cast<std::uint32_t>(pps_slot)};
    WriteWithFields(rbsp_, 1, values, 3, fields->rest_bit, rewritten_);
    AppendWithEmulationPrevention(rewritten_, escaped_);
  }
  const std::size_t unit_size = escaped_.size() - 4;
  if (unit_size > 0xFFFFFFFBu) return kMp4BadArgument;
  for (std::size_t i = 0; i < 4; ++i) {
    escaped_[i] = static_cast<std::uint8_t>(unit_size >> (24 - 8 * i));
  }

  const bool starts_picture = fields->values[0] == 0;
  const int kind = !starts_picture             ? kMp4Continuation
                   : nal_type == kNalSliceIdr ? kMp4SyncSample
                                              : kMp4PlainSample;
  const int status = MP4E_put_sample(writer_, track_, escaped_.data(),
                                     static_cast<std::uint32_t>(escaped_.size()), duration, kind);
  if (status == kMp4Ok && starts_picture) DeclarePictureSize(pps_slot);
  return status;
}

// The track declares the cropped size of the SPS behind its first picture.
void H264TrackFeeder::DeclarePictureSize(int pps_slot) {
  if (picture_size_declared_) return;
  picture_size_declared_ = true;
  const auto sps_slot = static_cast<std::size_t>(pps_sps_slot_[static_cast<std::size_t>(pps_slot)]);
  if (sps_width_[sps_slot] != 0 && sps_height_[sps_slot] != 0) {
    MP4E_set_video_size(writer_, track_, sps_width_[sps_slot], sps_height_[sps_slot]);
  }
}

int h264_write_nal(H264TrackFeeder& feeder, const std::uint8_t* buffer, std::size_t size,
                   std::uint32_t duration) {
  return feeder.WriteNalUnits(buffer, size, duration);
}

}  // namespace moraine
