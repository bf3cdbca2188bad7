#pragma once

// Prints what `cairn dump` finds: one line per record, problem lines and a closing summary,
// either as aligned text for people or as one JSON object per line for programs.

#include <cstdint>
#include <ostream>
#include <string>

#include "tools/cairn/info_payload_summary.h"

namespace moraine::cairn {

enum class DumpFormat { kText, kJson };

class DumpPrinter {
 public:
  DumpPrinter(DumpFormat format, std::ostream& out) : format_(format), out_(out) {}

  void Record(const Fields& record);
  // A damaged part of the file: {"offset": ..., "problem": ...} in JSON.
  void Problem(std::uint64_t offset, const std::string& message);
  // {"summary": {...}} in JSON.
  void Summary(const Fields& summary);

 private:
  DumpFormat format_;
  std::ostream& out_;
  bool header_printed_ = false;
};

}  // namespace moraine::cairn
