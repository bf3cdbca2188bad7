#pragma once

// The per-sample records of one track (24 bytes each), in the order the samples were put.

#include <cstdint>

#include "moraine/mp4/byte_vector.h"

namespace moraine {

struct Mp4SampleRecord {
  std::uint64_t size = 0;      // payload bytes (the low 32 bits go to the file)
  std::uint64_t offset = 0;    // absolute file position of the first byte
  std::uint32_t duration = 0;  // in the track's time scale
  std::uint32_t sync = 0;      // 1 for a random-access sample
};
static_assert(sizeof(Mp4SampleRecord) == 24);

class Mp4SampleIndex {
 public:
  // Starts with room reserved for a few records; false when memory runs out.
  bool Init();
  // False when memory runs out (nothing changed).
  bool Append(const Mp4SampleRecord& record);
  void RemoveLast();

  std::int64_t count() const { return records_.size() / std::int32_t{sizeof(Mp4SampleRecord)}; }
  std::int32_t bytes() const { return records_.size(); }
  Mp4SampleRecord At(std::int64_t index) const;
  void Replace(std::int64_t index, const Mp4SampleRecord& record);

 private:
  ByteVector records_;
};

}  // namespace moraine
