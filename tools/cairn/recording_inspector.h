#pragma once

// Follows a recording record by record the way the converter reads it (the first codec
// descriptor decides the NAL unit rule and the codec) and describes each record as a set of
// named fields; keeps the counts, time spans and picture sizes for a closing summary.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bitstream/sequence_parameters.h"
#include "moraine/recording/cairn_reader.h"
#include "tools/cairn/info_payload_summary.h"

namespace moraine::cairn {

class RecordingInspector {
 public:
  // The fields of a record that starts at `offset` in the file.
  Fields Describe(std::uint64_t offset, const CairnRecord& record);
  // The fields of a record whose header says it has no payload.
  Fields DescribeEmpty(std::uint64_t offset, const CairnRecordHeader& header);
  // Counts a damaged or unreadable part of the file for the summary.
  void NoteProblem() { ++problems_; }

  Fields Summary() const;

 private:
  struct TimeSpan {
    std::size_t count = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::string first_wall_clock;
    std::string last_wall_clock;
    void Add(std::uint32_t record_time, const std::string& wall_clock);
    Fields Describe() const;
  };

  Fields Common(std::uint64_t offset, const CairnRecordHeader& header, const std::string& wall_clock);
  void DescribeVideoPayload(const CairnRecord& record, Fields& fields);
  void DescribeInfoPayload(const CairnRecord& record, Fields& fields);

  bool codec_pending_ = true;
  bool hevc_ = false;
  std::optional<int> codec_number_;
  bool privacy_marked_ = false;
  std::uint64_t kind_counts_[16] = {};
  std::size_t empty_records_ = 0;
  std::size_t problems_ = 0;
  TimeSpan video_;
  TimeSpan audio_;
  SequenceParameters last_sps_;
  std::vector<std::string> picture_sizes_;  // each change of size, in file order
};

}  // namespace moraine::cairn
