#include "tools/cairn/dump_printer.h"

#include <cstdio>
#include <set>

namespace moraine::cairn {
namespace {

// Fields shown in the fixed columns of a text line; all others follow as key=value.
const std::set<std::string>& ColumnKeys() {
  static const std::set<std::string> keys = {"offset", "kind", "kind_name", "length", "record_time", "wall_clock"};
  return keys;
}

// Invalid UTF-8 from a damaged file must not stop the listing.
std::string ToJson(const Fields& fields) {
  return fields.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::string ValueText(const Fields& value) {
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    return text.find(' ') == std::string::npos && !text.empty() ? text : ToJson(value);
  }
  return ToJson(value);
}

}  // namespace

void DumpPrinter::Record(const Fields& record) {
  if (format_ == DumpFormat::kJson) {
    out_ << ToJson(record) << '\n';
    return;
  }
  if (!header_printed_) {
    out_ << "    offset kind               length  record time  wall clock           details\n";
    header_printed_ = true;
  }
  char columns[128] = {};
  std::snprintf(columns, sizeof columns, "%10llu %2u %-14s %9llu  %11llu  %s",
                static_cast<unsigned long long>(record.value("offset", std::uint64_t{0})),
                record.value("kind", 0u), record.value("kind_name", std::string()).c_str(),
                static_cast<unsigned long long>(record.value("length", std::uint64_t{0})),
                static_cast<unsigned long long>(record.value("record_time", std::uint64_t{0})),
                record.value("wall_clock", std::string()).c_str());
  out_ << columns;
  const char* separator = "  ";
  for (const auto& [key, value] : record.items()) {
    if (ColumnKeys().count(key) != 0) continue;
    out_ << separator << key << '=' << ValueText(value);
    separator = " ";
  }
  out_ << '\n';
}

void DumpPrinter::Problem(std::uint64_t offset, const std::string& message) {
  if (format_ == DumpFormat::kJson) {
    out_ << ToJson(Fields{{"offset", offset}, {"problem", message}}) << '\n';
  } else {
    out_ << "problem at offset " << offset << ": " << message << '\n';
  }
}

void DumpPrinter::Summary(const Fields& summary) {
  if (format_ == DumpFormat::kJson) {
    out_ << ToJson(Fields{{"summary", summary}}) << '\n';
    return;
  }
  out_ << "summary:\n";
  for (const auto& [key, value] : summary.items()) {
    if (value.is_object()) {
      out_ << "  " << key << ":";
      for (const auto& [inner_key, inner_value] : value.items()) out_ << ' ' << inner_key << '=' << ValueText(inner_value);
      out_ << '\n';
    } else {
      out_ << "  " << key << ": " << ValueText(value) << '\n';
    }
  }
}

}  // namespace moraine::cairn
