#pragma once

// The synthetic scene a recording shows: a few objects that move deterministically over a static
// background. Positions are functions of time alone, so pictures, analytic metadata and a change
// of picture size all agree on where an object is.

#include <cstdint>
#include <vector>

#include "tools/cairn/analytic_geometry.h"

namespace moraine::cairn {

// What an object stands for; it decides its look and which analytic reports it.
enum class SceneRole { kPerson, kVehicle, kLoiterer, kFire };

// A rectangle in fractions of the picture (0 = left/top edge, 1 = right/bottom edge).
struct NormalisedRect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

struct ScenePlacement {
  int object_number = 0;  // 1-based, stable for the whole recording
  SceneRole role = SceneRole::kPerson;
  NormalisedRect bounds;
};

// The head of a person placed at `bounds`, drawn as the ellipse that fills this rectangle.
NormalisedRect HeadOf(const NormalisedRect& bounds);

class Scene {
 public:
  // Phases, speeds and tracks of the objects come from the seed.
  explicit Scene(std::uint32_t seed);

  std::uint32_t seed() const { return seed_; }

  // Where every object is `seconds` after the start of the recording, in object-number order.
  std::vector<ScenePlacement> PlacementsAt(double seconds) const;

 private:
  struct Track {
    SceneRole role;
    double phase;     // 0-1, where on its path the object starts
    double period;    // seconds for one full path
    double lane;      // 0-1, vertical (or, for the fire, horizontal) position of the path
    double size;      // object height as a fraction of the picture height
  };

  NormalisedRect BoundsAt(const Track& track, double seconds) const;

  std::uint32_t seed_;
  std::vector<Track> tracks_;
};

}  // namespace moraine::cairn
