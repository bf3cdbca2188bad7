#include "tools/cairn/scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace moraine::cairn {
namespace {

// std::mt19937 output is fixed by the standard, unlike the distributions, so draws are made from
// raw output to keep recordings identical across standard libraries.
double Uniform(std::mt19937& generator, double low, double high) {
  return low + (high - low) * (static_cast<double>(generator()) / 4294967296.0);
}

// 0 -> 1 -> 0 over one period: walking across and back.
double Triangle(double cycles) {
  const double fraction = cycles - std::floor(cycles);
  return fraction < 0.5 ? 2 * fraction : 2 - 2 * fraction;
}

NormalisedRect Around(double centre_x, double centre_y, double width, double height) {
  return {centre_x - width / 2, centre_y - height / 2, centre_x + width / 2, centre_y + height / 2};
}

}  // namespace

NormalisedRect HeadOf(const NormalisedRect& bounds) {
  const double width = bounds.right - bounds.left;
  const double height = bounds.bottom - bounds.top;
  return {bounds.left + 0.22 * width, bounds.top, bounds.left + 0.78 * width, bounds.top + 0.22 * height};
}

Scene::Scene(std::uint32_t seed) : seed_(seed) {
  std::mt19937 generator(seed);
  tracks_.push_back({SceneRole::kPerson, Uniform(generator, 0, 1), Uniform(generator, 8, 12),
                     Uniform(generator, 0.55, 0.7), 0.32});
  tracks_.push_back({SceneRole::kVehicle, Uniform(generator, 0, 1), Uniform(generator, 5, 7),
                     Uniform(generator, 0.78, 0.85), 0.14});
  tracks_.push_back({SceneRole::kLoiterer, Uniform(generator, 0, 1), Uniform(generator, 6, 9),
                     Uniform(generator, 0.35, 0.45), 0.26});
  tracks_.push_back({SceneRole::kFire, Uniform(generator, 0, 1), Uniform(generator, 1.5, 2.5),
                     Uniform(generator, 0.75, 0.88), 0.16});
}

NormalisedRect Scene::BoundsAt(const Track& track, double seconds) const {
  const double cycles = seconds / track.period + track.phase;
  switch (track.role) {
    case SceneRole::kPerson: {
      // Walks across the picture and back with a slight bob of the head.
      const double x = 0.1 + 0.8 * Triangle(cycles);
      const double bob = 0.01 * std::sin(cycles * 2 * std::numbers::pi * 8);
      return Around(x, track.lane + bob, track.size * 0.4, track.size);
    }
    case SceneRole::kVehicle: {
      // Drives one way through the picture, entering at the left edge again.
      const double fraction = cycles - std::floor(cycles);
      const double x = -0.1 + 1.2 * fraction;
      return Around(x, track.lane, track.size * 2.2, track.size);
    }
    case SceneRole::kLoiterer: {
      // Lingers on a small circle.
      const double angle = cycles * 2 * std::numbers::pi;
      return Around(0.3 + 0.06 * std::cos(angle), track.lane + 0.04 * std::sin(angle), track.size * 0.4,
                    track.size);
    }
    case SceneRole::kFire: {
      // Stays put and flickers in size.
      const double flicker = 1 + 0.15 * std::sin(cycles * 2 * std::numbers::pi);
      const double height = track.size * flicker;
      return Around(track.lane, 0.3, height * 0.7, height);
    }
  }
  return {};
}

std::vector<ScenePlacement> Scene::PlacementsAt(double seconds) const {
  std::vector<ScenePlacement> placements;
  for (std::size_t i = 0; i < tracks_.size(); ++i) {
    placements.push_back({static_cast<int>(i) + 1, tracks_[i].role, BoundsAt(tracks_[i], seconds)});
  }
  return placements;
}

}  // namespace moraine::cairn
