#pragma once

// Helpers of the cairn tool tests: running `cairn synth`, reading a recording back through the
// converter's reader, and moving bytes between files.

#include <cstdint>
#include <string>
#include <vector>

#include "moraine/recording/cairn_reader.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {

// Runs `cairn synth <dir>/<name> <options...>` and returns the path; the test fails if it does not
// succeed.
std::string Synthesize(const TempDir& dir, const std::string& name, const std::vector<std::string>& options);

// Every record the reader delivers, in file order.
std::vector<CairnRecord> ReadRecords(const std::string& path);

// The payloads of the records of the given kinds, back to back.
std::vector<std::uint8_t> ConcatenatePayloads(const std::vector<CairnRecord>& records,
                                              const std::vector<std::uint8_t>& kinds);

std::vector<std::uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace moraine::testing
