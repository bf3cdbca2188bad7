#include "tests/mp4/mp4_box_finder.h"

#include <map>

namespace moraine::testing {

namespace {

// Bytes between a box's header and its first child, for the boxes that have children.
std::size_t FieldsBeforeChildren(const std::string& type) {
  static const std::map<std::string, std::size_t> kFields = {
      {"moov", 0}, {"trak", 0}, {"mdia", 0}, {"minf", 0}, {"dinf", 0}, {"stbl", 0},
      {"stsd", 8}, {"dref", 8}, {"avc1", 78}, {"mp4a", 28},
  };
  const auto found = kFields.find(type);
  return found == kFields.end() ? 0 : found->second;
}

}  // namespace

std::uint32_t ReadU32(const std::vector<std::uint8_t>& file, std::size_t offset) {
  return (std::uint32_t{file.at(offset)} << 24) | (std::uint32_t{file.at(offset + 1)} << 16) |
         (std::uint32_t{file.at(offset + 2)} << 8) | file.at(offset + 3);
}

std::uint64_t ReadU64(const std::vector<std::uint8_t>& file, std::size_t offset) {
  return (std::uint64_t{ReadU32(file, offset)} << 32) | ReadU32(file, offset + 4);
}

std::uint16_t ReadU16(const std::vector<std::uint8_t>& file, std::size_t offset) {
  return static_cast<std::uint16_t>((file.at(offset) << 8) | file.at(offset + 1));
}

std::optional<BoxSpan> FindChild(const std::vector<std::uint8_t>& file, std::size_t begin,
                                 std::size_t end, const std::string& type, int index) {
  std::size_t position = begin;
  while (position + 8 <= end && position + 8 <= file.size()) {
    BoxSpan box;
    box.offset = position;
    box.size = ReadU32(file, position);
    if (box.size == 1) {
      box.size = ReadU64(file, position + 8);
      box.header_size = 16;
    }
    if (box.size < box.header_size || box.size > end - position) return std::nullopt;
    if (std::string(file.begin() + static_cast<long>(position) + 4,
                    file.begin() + static_cast<long>(position) + 8) == type &&
        index-- == 0) {
      return box;
    }
    position += box.size;
  }
  return std::nullopt;
}

std::optional<BoxSpan> FindBox(const std::vector<std::uint8_t>& file,
                               const std::vector<std::string>& path) {
  std::size_t begin = 0;
  std::size_t end = file.size();
  std::optional<BoxSpan> box;
  for (const std::string& step : path) {
    std::string type = step;
    int index = 0;
    if (const auto hash = step.find('#'); hash != std::string::npos) {
      type = step.substr(0, hash);
      index = std::stoi(step.substr(hash + 1));
    }
    if (box) {
      const std::string parent(file.begin() + static_cast<long>(box->offset) + 4,
                               file.begin() + static_cast<long>(box->offset) + 8);
      begin = box->offset + box->header_size + FieldsBeforeChildren(parent);
      end = box->offset + box->size;
    }
    box = FindChild(file, begin, end, type, index);
    if (!box) return std::nullopt;
  }
  return box;
}

std::string DeclaredVideoSize(const std::vector<std::uint8_t>& file) {
  const std::optional<BoxSpan> tkhd = FindBox(file, {"moov", "trak", "tkhd"});
  const std::optional<BoxSpan> avc1 = FindBox(file, {"moov", "trak", "mdia", "minf", "stbl", "stsd", "avc1"});
  if (!tkhd || !avc1) return "no video track";
  // tkhd: width and height at 84 and 88; avc1: width and height at 32 and 34.
  return std::to_string(ReadU32(file, tkhd->offset + 84) >> 16) + "x" +
         std::to_string(ReadU32(file, tkhd->offset + 88) >> 16) + " / " +
         std::to_string(ReadU16(file, avc1->offset + 32)) + "x" + std::to_string(ReadU16(file, avc1->offset + 34));
}

std::vector<std::uint8_t> BoxBytes(const std::vector<std::uint8_t>& file, const BoxSpan& box) {
  return {file.begin() + static_cast<long>(box.offset),
          file.begin() + static_cast<long>(box.offset + box.size)};
}

}  // namespace moraine::testing
