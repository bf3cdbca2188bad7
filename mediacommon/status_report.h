#pragma once

// Texts for Media SDK status codes, printed on standard output when a check fails.

#include <cstdint>
#include <string>

namespace moraine::mediacommon {

// The text for `status`, naming the source file and line of the failing check (status 0 names none;
// codes outside the table, warnings included, get a generic "Error code" line).
std::string StatusReportText(std::int32_t status, const char* source_path, int line);

// Prints StatusReportText to standard output; returns the number of characters printed.
int PrintStatusReport(std::int32_t status, const char* source_path, int line);

}  // namespace moraine::mediacommon

// Reports `status` with the position of the check that calls it.
#define MORAINE_REPORT_STATUS(status) ::moraine::mediacommon::PrintStatusReport((status), __FILE__, __LINE__)
