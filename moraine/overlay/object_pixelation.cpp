#include "moraine/overlay/object_pixelation.h"

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/metadata_store.h"

namespace moraine {
namespace {

constexpr char kPixelateAnalytic[] = "Pixelate";
constexpr std::uint16_t kSelectorOneAlone = 0x2;

}  // namespace

std::int32_t GrantedPixelationLevel(const PixelateParameters& words, bool switch_two) {
  const bool granted = switch_two || (words.selector_one & words.selector_two) != 0 ||
                       (words.selector_two == 0 && (words.selector_one & kSelectorOneAlone) != 0);
  return granted ? words.level : 0;
}

bool RunPixelationPass(bool switch_one, bool switch_two, const std::uint8_t* payload, std::size_t length,
                       PixelationSettings& settings) {
  if (!switch_one) return false;
  // A store of its own: the converter's store takes the same payload afterwards, timed by record.
  MetaData pass_store;
  pass_store.AddBlock(ParseAnalyticBlock(payload, length), 0);
  for (const auto& [name, object] : pass_store.GetInfoObjects({kPixelateAnalytic})) {
    const PixelateParameters words = object.GetPixelateParameters();
    settings.anonymizer_algorithm = words.algorithm;
    settings.pixelation_level = GrantedPixelationLevel(words, switch_two);
  }
  return true;
}

}  // namespace moraine
