#pragma once

// What the fake Anonymizer module records; tests read it through its FakeAnonymizerCalls export.

#include <cstdint>

#define FAKE_ANONYMIZER_EXPORT extern "C" __attribute__((visibility("default")))

struct FakeAnonymizerLog {
  int get_object_calls = 0;
  std::int32_t library = -1;
  std::int32_t type = -1;
  int set_parameters_calls = 0;
  std::uint8_t parameters[32] = {};  // the last record received
  int release_calls = 0;
  int anonymize_calls = 0;
  std::uint8_t frame[544] = {};  // the last frame record received
};

using FakeAnonymizerCallsFunction = FakeAnonymizerLog* (*)();
