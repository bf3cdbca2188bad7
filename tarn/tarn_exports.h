#pragma once

// The entry points of the decoder module libTarn.so, which turns H.264 and HEVC access units into
// NV12 pictures. Callers load the module at run time and look the functions up by these names.
//
// A handle (0 to 159) chosen by the caller selects one decoder; other handles select nothing.
// Byte buffers passed in belong to the caller and are only read during the call.

#include <cstdint>

#define TARN_EXPORT __attribute__((visibility("default")))

extern "C" {

// 1 when a hardware Media SDK session can be opened on this machine, else 0. Asks the SDK once per
// process and repeats that answer.
TARN_EXPORT std::int32_t TarnAvailable();

// Starts decoder `handle` for codec 13 (HEVC) or any other number (H.264) and pictures of width ×
// height, given the stream's parameter sets in Annex B form. True when the decoder is ready.
TARN_EXPORT bool TarnCreate(std::int32_t handle, std::int32_t codec, std::int32_t width, std::int32_t height,
                            const std::uint8_t* parameter_sets, std::int32_t size);

// Decodes one access unit in Annex B form; `frame_counter` is not used. Data before the first access
// unit that starts with a parameter set is dropped. Returns 1 when a picture is ready, 0 when none
// is, -1 on error (no decoder, full input buffer), -2 when the device failed.
TARN_EXPORT std::int32_t TarnDecodeVideoFrame(std::int32_t handle, std::uint32_t frame_counter,
                                              const std::uint8_t* data, std::int32_t size);

// Hands out the ready picture once: the top-left width × height part (the size given to TarnCreate)
// as NV12 without row padding, width × height + width × height / 2 bytes.
//
// Ownership: the block is allocated with `new std::uint8_t[size]` in the C++ runtime that the module
// shares with its caller, and passes to the caller, who releases it with `delete[]`.
//
// Returns 0 with the picture, or 0 with a null picture and size 0 (width and height untouched) when
// no new picture is ready; -1 when nothing can be delivered (no decoder, nothing decoded yet, the
// requested size exceeds the decoded picture, or an out argument is null).
TARN_EXPORT std::int32_t TarnGetDecodedVideoFrame(std::int32_t handle, std::uint8_t** picture, std::int32_t* size,
                                                  std::int32_t* width, std::int32_t* height);

// Closes decoder `handle` and frees its slot; the next TarnCreate on it starts a fresh decoder.
TARN_EXPORT void TarnClose(std::int32_t handle);

}  // extern "C"

// Pointer types for binding the entry points by name.
using TarnAvailableFunction = decltype(&TarnAvailable);
using TarnCreateFunction = decltype(&TarnCreate);
using TarnDecodeVideoFrameFunction = decltype(&TarnDecodeVideoFrame);
using TarnGetDecodedVideoFrameFunction = decltype(&TarnGetDecodedVideoFrame);
using TarnCloseFunction = decltype(&TarnClose);
