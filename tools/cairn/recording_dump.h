#pragma once

// `cairn dump`: lists every record of a recording with its offset, kind, length and times, a
// short decode of its payload, the damaged parts of the file and a closing summary.

#include <ostream>
#include <string>

#include "tools/cairn/dump_printer.h"

namespace moraine::cairn {

// Lists the recording at `path` on `out`. Damage in the file (garbage, empty records, a last
// record cut short) is listed, not fatal. Returns false with a message in `error` only when the
// file cannot be opened or read at all.
bool DumpRecording(const std::string& path, DumpFormat format, std::ostream& out, std::string& error);

}  // namespace moraine::cairn
