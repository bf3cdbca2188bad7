#pragma once

// The answer to a Query without input parameters: every field a caller may configure is marked 1.

#include <mfx/mfxvideo.h>

namespace moraine::mediasdk {

// Clears `out` for marking, keeping the caller's extension buffers, and marks the fields both
// decoding and encoding take (asynchronous depth and memory pattern).
inline void StartQueryMarks(mfxVideoParam& out) {
  const mfxU16 ext_count = out.NumExtParam;
  mfxExtBuffer** const ext = out.ExtParam;
  out = mfxVideoParam{};
  out.NumExtParam = ext_count;
  out.ExtParam = ext;
  out.AsyncDepth = 1;
  out.IOPattern = 1;
}

}  // namespace moraine::mediasdk
