#pragma once

// Damage a recorder or a broken disk may leave in a recording, put in on purpose so that readers
// can be tested against it.

#include <cstdint>
#include <vector>

#include "tools/cairn/recording_writer.h"

namespace moraine::cairn {

struct FaultSet {
  bool zero_length_records = false;  // empty records (an info and a video header) mid-recording
  bool truncated_last_record = false;  // the last record loses the second half of its payload
  bool garbage_between_records = false;  // a run of random bytes two thirds into the recording
  bool undecodable_picture = false;  // the picture before the second key frame carries no slice
};

// Applies the faults to the serialized records in place. Random bytes follow the seed.
void InjectFaults(std::vector<RecordBytes>& pieces, const FaultSet& faults, std::uint32_t seed);

}  // namespace moraine::cairn
