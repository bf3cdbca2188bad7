#include "tools/cairn/info_payload_summary.h"

#include <algorithm>
#include <vector>
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/metadata_object.h"
#include "moraine/recording/codec_table.h"
#include "moraine/recording/info_record.h"
#include "tools/cairn/audio_codec.h"

namespace moraine::cairn {
namespace {

constexpr std::size_t kMaxShownText = 60;

// Big-endian reads that give nullopt past the end of the payload.
class PayloadView {
 public:
  PayloadView(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t size() const { return size_; }
  std::optional<std::uint8_t> U8(std::size_t offset) const {
    if (offset >= size_) return std::nullopt;
    return data_[offset];
  }
  std::optional<std::uint16_t> U16(std::size_t offset) const {
    if (offset >= size_ || size_ - offset < 2) return std::nullopt;
    return static_cast<std::uint16_t>(data_[offset] << 8 | data_[offset + 1]);
  }
  const std::uint8_t* At(std::size_t offset) const { return data_ + offset; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// Printable ASCII kept, anything else shown as '?', cut to a readable length.
std::string Printable(const std::uint8_t* text, std::size_t size) {
  std::string shown;
  for (std::size_t i = 0; i < size && shown.size() < kMaxShownText; ++i) {
    shown.push_back(text[i] >= 0x20 && text[i] < 0x7F ? static_cast<char>(text[i]) : '?');
  }
  return shown;
}

std::string Rect(const PayloadView& view, std::size_t offset) {
  char text[48] = {};
  std::snprintf(text, sizeof text, "(%u,%u)-(%u,%u)", unsigned{*view.U16(offset)}, unsigned{*view.U16(offset + 2)},
                unsigned{*view.U16(offset + 4)}, unsigned{*view.U16(offset + 6)});
  return text;
}

std::string Source(const PayloadView& view, std::size_t offset) {
  const auto width = view.U16(offset);
  const auto height = view.U16(offset + 2);
  if (!width || !height) return "";
  return ", source " + std::to_string(*width) + "x" + std::to_string(*height);
}

std::string TooShort(std::size_t size) { return "too short (" + std::to_string(size) + " bytes)"; }

std::string Thousandths(std::uint32_t code) {
  char text[32] = {};
  std::snprintf(text, sizeof text, "(%u,%u)", code / 1000, code % 1000);
  return text;
}

std::string MotionSummary(const PayloadView& view) {
  if (view.size() < 7) return TooShort(view.size());
  const std::uint8_t first = *view.U8(1);
  const std::uint32_t top_left = static_cast<std::uint32_t>(first & 0x0F) << 16 | *view.U16(2);
  const std::uint32_t bottom_right = static_cast<std::uint32_t>(*view.U8(4) & 0x0F) << 16 | *view.U16(5);
  return "motion object " + std::to_string((first >> 4) + 1) + " " + Thousandths(top_left) + "-" +
         Thousandths(bottom_right) + " thousandths" + (view.size() >= 13 ? Source(view, 9) : "");
}

std::string LoiteringSummary(const PayloadView& view) {
  if (view.size() < 13) return TooShort(view.size());
  return "loitering object " + std::to_string(*view.U8(1)) + (*view.U8(2) ? " active " : " inactive ") +
         Rect(view, 3) + " value " + std::to_string(*view.U16(11)) + (view.size() >= 20 ? Source(view, 16) : "");
}

std::string FireSummary(const PayloadView& view) {
  if (view.size() < 20) return TooShort(view.size());
  return "fire object " + std::to_string(*view.U8(1)) + " state " + std::to_string(*view.U16(2)) + " detail " +
         std::to_string(*view.U16(4)) + " " + Rect(view, 6) + Source(view, 16);
}

std::string PerimeterSummary(const PayloadView& view) {
  if (view.size() < 2) return TooShort(view.size());
  const char form = static_cast<char>(std::toupper(*view.U8(1)));
  const std::string object = view.size() >= 5 ? " object " + std::to_string(*view.U16(3)) : "";
  const std::string source = view.size() >= 23 ? Source(view, 19) : "";
  if (form == 'A') {
    if (view.size() < 10) return "perimeter alarm " + TooShort(view.size());
    return "perimeter alarm" + object + ((*view.U8(5) || *view.U8(6)) ? " on" : " off") + source;
  }
  if (form == 'O') {
    if (view.size() < 20) return "perimeter object " + TooShort(view.size());
    return "perimeter" + object + " " + Rect(view, 5) + " trace (" + std::to_string(*view.U16(13)) + "," +
           std::to_string(*view.U16(15)) + ")" + source;
  }
  return "perimeter, unknown sub-form '" + Printable(view.At(1), 1) + "'";
}

// Object number, kind and state, and the box around the outline in analytic-grid units.
std::string DescribeDrawingObject(const MetaDataDrawingObject& object) {
  const ObjectHeader header = object.GetObjectHeader();
  std::string text = "object " + std::to_string(header.object_number) + " kind " + std::to_string(header.kind) +
                     " state " + std::to_string(header.state);
  const std::vector<Point> outline = object.GetOutline();
  if (outline.empty()) return text;
  const auto [left, right] = std::minmax_element(outline.begin(), outline.end(),
                                                 [](const Point& a, const Point& b) { return a.x < b.x; });
  const auto [top, bottom] = std::minmax_element(outline.begin(), outline.end(),
                                                 [](const Point& a, const Point& b) { return a.y < b.y; });
  return text + " outline (" + std::to_string(left->x) + "," + std::to_string(top->y) + ")-(" +
         std::to_string(right->x) + "," + std::to_string(bottom->y) + ")";
}

}  // namespace

Fields DescribeCodecDescriptor(const std::uint8_t* payload, std::size_t size) {
  Fields fields;
  if (size < 1 + kCodecNumberTextSize) return fields;
  const std::int32_t number = ParseCodecNumber(payload + 1);
  const CodecSettings settings = LookUpCodec(number);
  const auto audio = AudioCodecOfSelector(settings.audio_codec_selector);
  fields["codec_number"] = number;
  fields["video"] = settings.hevc ? "HEVC" : "H.264";
  fields["audio_codec_selector"] = settings.audio_codec_selector;
  fields["audio_codec"] = audio ? std::string(AudioCodecName(*audio)) : "unknown";
  fields["audio_rate_value"] = settings.audio_rate_value;
  fields["audio_sample_rate"] = settings.audio_sample_rate;
  return fields;
}

Fields DescribePrivacySwitches(const std::uint8_t* payload, std::size_t size) {
  const PrivacySwitches switches = ReadPrivacySwitches(payload, size);
  return Fields{{"switch_one", switches.one}, {"switch_two", switches.two}};
}

Fields DescribeStructuredBlock(const std::uint8_t* payload, std::size_t size) {
  const PayloadView view(payload, size);
  Fields fields;
  const bool magic = size >= 3 && payload[0] == 'G' && payload[1] == 'A' && payload[2] == 'D';
  const bool length_matches = view.U16(3) == size;
  fields["block_valid"] = magic && length_matches;
  if (!magic || !length_matches) {
    fields["block_problem"] = !magic ? "no GAD magic" : "total length differs from the record length";
    return fields;
  }
  // Read the way the converter reads it, so the dump shows what will be drawn.
  const AnalyticBlock block = ParseAnalyticBlock(payload, size);
  fields["source_width"] = block.source_width;
  fields["source_height"] = block.source_height;
  fields["block_name"] = Printable(reinterpret_cast<const std::uint8_t*>(block.name.data()), block.name.size());
  int drawing = 0;
  int info = 0;
  std::string objects;
  std::optional<PixelateParameters> pixelate;
  for (const RawObject& raw : block.objects) {
    if (raw.object_type == kInfoObjectType) {
      ++info;
      pixelate = MetaDataInfoObject(raw.body).GetPixelateParameters();
      continue;
    }
    ++drawing;
    objects += (objects.empty() ? "" : "; ") + DescribeDrawingObject(MetaDataDrawingObject(raw.body));
  }
  fields["drawing_objects"] = drawing;
  fields["info_objects"] = info;
  if (!objects.empty()) fields["objects"] = objects;
  if (pixelate) {
    fields["pixelate_level"] = pixelate->level;
    fields["pixelate_selectors"] = std::to_string(pixelate->selector_one) + "," + std::to_string(pixelate->selector_two);
    fields["anonymizer_algorithm"] = pixelate->algorithm;
  }
  return fields;
}

Fields DescribeOneLetterRecord(const std::uint8_t* payload, std::size_t size) {
  const PayloadView view(payload, size);
  const char letter = OneLetterForm(payload, size);
  std::string summary;
  switch (letter) {
    case 'M': summary = MotionSummary(view); break;
    case 'L': summary = LoiteringSummary(view); break;
    case 'F': summary = FireSummary(view); break;
    case 'P': summary = PerimeterSummary(view); break;
    case 'C': summary = "calibration \"" + Printable(payload + 1, size - 1) + "\""; break;
    default: summary = "unknown letter"; break;
  }
  return Fields{{"letter", std::string(1, letter)}, {"summary", summary}};
}

}  // namespace moraine::cairn
