#pragma once

// Where the test programs find the stand-ins for the run-time modules, and what the fake
// Anonymizer module was asked to do.

#include <string>

#include "tests/driver/fake_modules/fake_anonymizer.h"

namespace moraine::testing {

// The file of the stand-in `name` (e.g. "FakeAnonymizer"); the folder holds no real module.
std::string FakeModule(const std::string& name);

// The log of a fake Anonymizer module that is loaded (modules stay mapped once loaded, so the log
// lives on). Throws std::runtime_error when the module is not loaded.
FakeAnonymizerLog& FakeAnonymizerLogOf(const std::string& module);

}  // namespace moraine::testing
