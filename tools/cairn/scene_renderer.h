#pragma once

// Draws the pictures of a scene at one picture size: a textured background, drawn once, with the
// scene's objects painted over it for every picture.

#include "tools/cairn/scene.h"
#include "tools/cairn/yuv_picture.h"

namespace moraine::cairn {

class SceneRenderer {
 public:
  // `width` and `height` are even and positive; the scene must outlive the renderer.
  SceneRenderer(const Scene& scene, int width, int height);

  // The picture `seconds` after the start of the recording.
  YuvPicture Render(double seconds) const;

 private:
  const Scene& scene_;
  YuvPicture background_;
};

}  // namespace moraine::cairn
