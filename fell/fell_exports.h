#pragma once

// The entry points of the encoder module libFell.so, which encodes NV12 pictures to H.264. Callers
// load the module at run time and look the functions up by these names.
//
// A handle (0 to 159) chosen by the caller selects one encoder; other handles select nothing.

#include <cstdint>

#define FELL_EXPORT __attribute__((visibility("default")))

extern "C" {

// 1 when a hardware Media SDK session can be opened on this machine, else 0. Asks the SDK once per
// process and repeats that answer.
FELL_EXPORT std::int32_t FellAvailable();

// Starts encoder `handle` for width × height pictures at `frame_rate` pictures a second and
// `kilobits_per_second`. 1 when the encoder is ready, else 0.
FELL_EXPORT std::int32_t FellCreate(std::int32_t handle, std::int32_t frame_rate, std::int32_t kilobits_per_second,
                                    std::int32_t width, std::int32_t height);

// Encodes one NV12 picture without row padding (width × height luma bytes, then width × height / 2
// bytes of interleaved chroma), read during the call; `unused` is ignored. A null picture or size 0
// only collects what the encoder holds back. Returns 1 when output can be fetched (from the first
// output of this encoder on), 0 when none, a negative status on error: among them -5 for a size below
// width × height × 3 / 2 (nothing is read), -4 when no input surface is free, -2 when the device failed.
FELL_EXPORT std::int32_t FellEncodeVideoFrame(std::int32_t handle, std::int32_t unused, const std::uint8_t* picture,
                                              std::int32_t size);

// The H.264 byte stream (Annex B) of the last FellEncodeVideoFrame: a null pointer and 0 when it
// produced none. The bytes belong to the module and stay valid until the next FellEncodeVideoFrame
// or FellClose on this handle. Returns 0, or -1 when there is nothing to deliver (outputs untouched).
FELL_EXPORT std::int32_t FellGetEncodedVideoFrame(std::int32_t handle, const std::uint8_t** data,
                                                  std::int32_t* size);

// Closes encoder `handle` and frees its slot; the next FellCreate on it starts a fresh encoder.
// Returns 0.
FELL_EXPORT std::int32_t FellClose(std::int32_t handle);

}  // extern "C"

// Pointer types for binding the entry points by name.
using FellAvailableFunction = decltype(&FellAvailable);
using FellCreateFunction = decltype(&FellCreate);
using FellEncodeVideoFrameFunction = decltype(&FellEncodeVideoFrame);
using FellGetEncodedVideoFrameFunction = decltype(&FellGetEncodedVideoFrame);
using FellCloseFunction = decltype(&FellClose);
