#pragma once

// The colour conversions of the privacy path between a decoded NV12 picture and the 24-bit work
// image: full-range BT.601 in the recorder's fixed-point form, the back step its exact inverse.
//
// NV12 picture of width × height (both at least 1): width × height luma bytes, then height / 2
// chroma rows of width bytes each, holding one U, V pair per complete 2 × 2 block (an odd width
// leaves one byte at the end of each chroma row that belongs to no pair). BGR image: height rows
// from the top, 3 × width bytes a row, each pixel B, G, R. Both buffers belong to the caller.

#include <cstdint>

namespace moraine {

// Bytes an NV12 picture of that size occupies as laid out above, 0 for a side below 1.
std::int64_t Nv12PictureBytes(std::int32_t width, std::int32_t height);

// Fills `bgr` from `nv12`. A pixel outside the complete 2 × 2 blocks (last column of an odd width,
// last row of an odd height) takes the nearest pair; a picture without any pair reads as grey.
void Nv12ToBgr(const std::uint8_t* nv12, std::int32_t width, std::int32_t height, std::uint8_t* bgr);

// Writes every luma byte of `nv12` and the chroma pair of every complete 2 × 2 block from `bgr`;
// bytes that belong to no pair are left as they are.
void BgrToNv12(const std::uint8_t* bgr, std::int32_t width, std::int32_t height, std::uint8_t* nv12);

// The same conversions one pixel at a time, exactly as the formulas read; the fast forms above must
// give identical bytes. The back step computes each pair as (V, U) and then exchanges the two
// bytes of every pair, row by row.
void Nv12ToBgrReference(const std::uint8_t* nv12, std::int32_t width, std::int32_t height, std::uint8_t* bgr);
void BgrToNv12Reference(const std::uint8_t* bgr, std::int32_t width, std::int32_t height, std::uint8_t* nv12);

}  // namespace moraine
