#include "moraine/mp4/mp4_parameter_list.h"

#include <cstring>

namespace moraine {

namespace {
std::int32_t EntryLengthAt(const std::uint8_t* data, std::int32_t position) {
  return (std::int32_t{data[position]} << 8) | data[position + 1];
}
}  // namespace

int Mp4ParameterList::Add(const std::uint8_t* bytes, std::int32_t length) {
  if (bytes == nullptr || length <= 0 || length > 0xFFFF) return -1;
  const std::uint8_t* data = entries_.data();
  for (std::int32_t position = 0; position + 2 <= entries_.size();) {
    const std::int32_t entry_length = EntryLengthAt(data, position);
    if (entry_length == length && std::memcmp(data + position + 2, bytes, length) == 0) return 0;
    position += 2 + entry_length;
  }
  const std::int32_t before = entries_.size();
  std::uint8_t* place = entries_.Reserve(2 + length);
  if (place == nullptr) {
    entries_.Truncate(before);
    return -2;
  }
  place[0] = static_cast<std::uint8_t>(length >> 8);
  place[1] = static_cast<std::uint8_t>(length);
  std::memcpy(place + 2, bytes, static_cast<std::size_t>(length));
  return 0;
}

int Mp4ParameterList::Count() const {
  int count = 0;
  for (std::int32_t position = 0; entries_.size() - position >= 3; ++count) {
    position += 2 + EntryLengthAt(entries_.data(), position);
  }
  return count;
}

const std::uint8_t* Mp4ParameterList::FirstEntry(std::int32_t* length) const {
  if (entries_.size() < 3) {
    *length = 0;
    return nullptr;
  }
  *length = EntryLengthAt(entries_.data(), 0);
  return entries_.data() + 2;
}

std::int32_t Mp4ParameterList::SerialisedSize(int count) const {
  std::int32_t position = 0;
  for (int i = 0; i < count && entries_.size() - position >= 3; ++i) {
    position += 2 + EntryLengthAt(entries_.data(), position);
  }
  return position;
}

}  // namespace moraine
