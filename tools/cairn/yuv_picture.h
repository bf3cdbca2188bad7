#pragma once

// A picture in planar 4:2:0 (I420): a full-size luma plane and two half-size chroma planes,
// rows without padding. Width and height are even.

#include <cstdint>
#include <vector>

namespace moraine::cairn {

struct YuvPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> luma;      // width x height
  std::vector<std::uint8_t> chroma_u;  // width/2 x height/2
  std::vector<std::uint8_t> chroma_v;  // width/2 x height/2

  YuvPicture() = default;
  YuvPicture(int picture_width, int picture_height)
      : width(picture_width),
        height(picture_height),
        luma(static_cast<std::size_t>(picture_width) * picture_height),
        chroma_u(static_cast<std::size_t>(picture_width / 2) * (picture_height / 2)),
        chroma_v(static_cast<std::size_t>(picture_width / 2) * (picture_height / 2)) {}
};

}  // namespace moraine::cairn
