#include "tests/tools/recording_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/support/run_command.h"

namespace moraine::testing {

std::string Synthesize(const TempDir& dir, const std::string& name, const std::vector<std::string>& options) {
  const std::string path = dir.File(name);
  std::vector<std::string> command = {BuiltFile("cairn"), "synth", path};
  command.insert(command.end(), options.begin(), options.end());
  const CommandResult result = RunCommand(command);
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  return path;
}

std::vector<CairnRecord> ReadRecords(const std::string& path) {
  std::vector<CairnRecord> records;
  const std::unique_ptr<CairnReader> reader = CairnReader::Open(path);
  EXPECT_NE(reader, nullptr) << path;
  if (!reader) return records;
  while (std::optional<CairnRecord> record = reader->ReadNextRecord()) records.push_back(std::move(*record));
  return records;
}

std::vector<std::uint8_t> ConcatenatePayloads(const std::vector<CairnRecord>& records,
                                              const std::vector<std::uint8_t>& kinds) {
  std::vector<std::uint8_t> bytes;
  for (const CairnRecord& record : records) {
    if (std::find(kinds.begin(), kinds.end(), record.header.kind) == kinds.end()) continue;
    bytes.insert(bytes.end(), record.payload(), record.payload() + record.payload_size());
  }
  return bytes;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace moraine::testing
