// The pixelation pass: which "Pixelate" info objects set the anonymizer algorithm and the level.

#include "moraine/overlay/object_pixelation.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/cairn/analytic_block_builder.h"

namespace moraine {
namespace {

using Words = std::array<std::uint16_t, 4>;  // level, selector one, selector two, algorithm

std::vector<std::uint8_t> Block(const std::string& name, const std::vector<Words>& objects) {
  cairn::AnalyticBlockBuilder block(name, 352, 288);
  for (const Words& words : objects) {
    cairn::AnalyticObjectBody body;
    body.PixelateParameters(words[0], words[1], words[2], words[3]);
    block.AddObject(cairn::AnalyticObjectType::kInfo, body);
  }
  return block.Build().value();
}

TEST(PixelationPass, InfoObjectsSetAlgorithmAndGrantedLevel) {
  struct Case {
    const char* what;
    bool switch_one, switch_two;
    std::vector<std::uint8_t> payload;
    bool result;
    std::int32_t algorithm, level;  // the settings start as algorithm 7, level 9
  };
  const Case cases[] = {
      {"switch one off", false, true, Block("Pixelate", {{8, 1, 1, 3}}), false, 7, 9},
      {"selectors share a bit", true, false, Block("Pixelate", {{8, 1, 1, 3}}), true, 3, 8},
      {"selector one bit 1 alone", true, false, Block("Pixelate", {{8, 2, 0, 0}}), true, 0, 8},
      {"selector one bit 0 alone", true, false, Block("Pixelate", {{8, 1, 0, 0}}), true, 0, 0},
      {"selectors apart", true, false, Block("Pixelate", {{8, 2, 1, 4}}), true, 4, 0},
      {"switch two forces the level", true, true, Block("Pixelate", {{8, 0, 0, 5}}), true, 5, 8},
      {"another analytic", true, true, Block("motion", {{8, 1, 1, 3}}), true, 7, 9},
      {"the last object wins", true, false, Block("Pixelate", {{8, 1, 1, 3}, {12, 0, 0, 2}}), true, 2, 0},
      {"malformed payload", true, false, {'G', 'A', 'D', 0}, true, 7, 9},
  };
  for (const Case& c : cases) {
    PixelationSettings settings{7, 9};
    EXPECT_EQ(RunPixelationPass(c.switch_one, c.switch_two, c.payload.data(), c.payload.size(), settings), c.result)
        << c.what;
    EXPECT_EQ(settings.anonymizer_algorithm, c.algorithm) << c.what;
    EXPECT_EQ(settings.pixelation_level, c.level) << c.what;
  }
}

}  // namespace
}  // namespace moraine
