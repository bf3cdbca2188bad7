#pragma once

// The two records that cross between the program and the Anonymizer module (libAnonymizer.so), with
// the byte layouts both sides rely on, and the layout of the bitmap information header a frame
// record points at. Both records belong to the caller; the module copies them before use.

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace moraine {

// The options of an anonymizer object, 32 bytes, copied by value. The reserved fields carry no
// meaning; the module stores and returns them unchanged.
struct AnonymizationParameters {
  std::int32_t maskingType = 0;      // 0 blurred, 1 solid colour, 2 pixelated
  std::int32_t reserved_int = 0;
  double reserved_double = 0.0;
  std::uint8_t reserved_flag = 0;
  std::uint8_t reserved_padding[3] = {};
  std::int32_t pixelBlockSize = 0;   // divisor giving the pixelation block size; 0 = blocks of 40
  std::int32_t blurIntensity = 0;    // divisor giving the blur kernel size; 0 = a kernel of 40
  std::int32_t algorithmType = 0;    // 0 moving regions or skin, 1 moving only, 2 skin only
};
static_assert(sizeof(AnonymizationParameters) == 32);
static_assert(std::is_trivially_copyable_v<AnonymizationParameters>);
static_assert(std::is_standard_layout_v<AnonymizationParameters>);
static_assert(offsetof(AnonymizationParameters, reserved_int) == 4);
static_assert(offsetof(AnonymizationParameters, reserved_double) == 8);
static_assert(offsetof(AnonymizationParameters, reserved_flag) == 16);
static_assert(offsetof(AnonymizationParameters, pixelBlockSize) == 20);
static_assert(offsetof(AnonymizationParameters, blurIntensity) == 24);
static_assert(offsetof(AnonymizationParameters, algorithmType) == 28);

// The 40-byte bitmap information header, little-endian. A frame record may point at one inside a
// bitmap file image, where it starts at offset 14 and so is not aligned: read its fields with
// memcpy at these offsets rather than through a pointer to this type.
struct BitmapInfoHeader {
  std::uint32_t biSize = 40;
  std::int32_t biWidth = 0;          // columns
  std::int32_t biHeight = 0;         // rows; negative when the rows are stored from the top
  std::uint16_t biPlanes = 1;
  std::uint16_t biBitCount = 0;      // 24 (B, G, R) or 32 (B, G, R, A)
  std::uint32_t biCompression = 0;
  std::uint32_t biSizeImage = 0;
  std::int32_t biXPelsPerMeter = 0;
  std::int32_t biYPelsPerMeter = 0;
  std::uint32_t biClrUsed = 0;
  std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);
static_assert(offsetof(BitmapInfoHeader, biWidth) == 4);
static_assert(offsetof(BitmapInfoHeader, biHeight) == 8);
static_assert(offsetof(BitmapInfoHeader, biBitCount) == 14);

// One picture to anonymize, 544 bytes, passed by pointer. The module reads only the width, height
// and bit count of the information header; it writes the anonymized picture back into `pixels`.
struct AnonymizerFrame {
  std::uint8_t* pixels = nullptr;             // rows packed without gaps, 3 or 4 bytes a pixel
  const std::uint8_t* info_header = nullptr;  // a BitmapInfoHeader, possibly unaligned
  std::int32_t data_size = 0;                 // rows × columns × bytes a pixel
  std::int32_t width = 0;                     // the picture's width and height, for its aspect ratio
  std::int32_t height = 0;
  std::uint8_t reserved[516] = {};
};
static_assert(sizeof(AnonymizerFrame) == 544);
static_assert(offsetof(AnonymizerFrame, info_header) == 8);
static_assert(offsetof(AnonymizerFrame, data_size) == 16);
static_assert(offsetof(AnonymizerFrame, width) == 20);
static_assert(offsetof(AnonymizerFrame, height) == 24);
static_assert(offsetof(AnonymizerFrame, reserved) == 28);

// The record of the picture `header` describes, stored packed at `pixels`: its width and |height| as
// the picture's size, and their product with the bytes a pixel as the data size (0 when that does not
// fit). `header` must outlive the record.
inline AnonymizerFrame PackedFrameRecord(std::uint8_t* pixels, const BitmapInfoHeader& header) {
  const std::int64_t rows = header.biHeight < 0 ? -static_cast<std::int64_t>(header.biHeight) : header.biHeight;
  const std::int64_t data_size = rows * header.biWidth * (header.biBitCount / 8);
  AnonymizerFrame record;
  record.pixels = pixels;
  record.info_header = reinterpret_cast<const std::uint8_t*>(&header);
  record.data_size = data_size >= 0 && data_size <= INT32_MAX ? static_cast<std::int32_t>(data_size) : 0;
  record.width = header.biWidth;
  record.height = static_cast<std::int32_t>(rows <= INT32_MAX ? rows : 0);
  return record;
}

}  // namespace moraine
