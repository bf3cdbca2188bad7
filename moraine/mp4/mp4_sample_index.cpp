#include "moraine/mp4/mp4_sample_index.h"

#include <cstring>

namespace moraine {

namespace {
constexpr std::int32_t kRecordSize = sizeof(Mp4SampleRecord);
constexpr std::int32_t kInitialBytes = 256;
}  // namespace

bool Mp4SampleIndex::Init() {
  if (records_.Reserve(kInitialBytes) == nullptr) return false;
  records_.Truncate(0);
  return true;
}

bool Mp4SampleIndex::Append(const Mp4SampleRecord& record) {
  return records_.Append(&record, kRecordSize);
}

void Mp4SampleIndex::RemoveLast() {
  if (records_.size() >= kRecordSize) records_.Truncate(records_.size() - kRecordSize);
}

// Records are copied in and out rather than referenced so that no code depends on the buffer's
// alignment.
Mp4SampleRecord Mp4SampleIndex::At(std::int64_t index) const {
  Mp4SampleRecord record;
  std::memcpy(&record, records_.data() + index * kRecordSize, kRecordSize);
  return record;
}

void Mp4SampleIndex::Replace(std::int64_t index, const Mp4SampleRecord& record) {
  std::memcpy(records_.data() + index * kRecordSize, &record, kRecordSize);
}

}  // namespace moraine
