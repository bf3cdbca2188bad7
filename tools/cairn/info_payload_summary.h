#pragma once

// Short, human-readable decodes of info record payloads for listings: what a codec descriptor
// selects, the privacy switches, the name and objects of a structured block, the fields of a
// one-letter record. Every decode stays inside the payload, whatever its length fields say.

#include <cstddef>
#include <cstdint>

#include <nlohmann/json.hpp>

namespace moraine::cairn {

using Fields = nlohmann::ordered_json;

// The codec number and the table row it selects.
Fields DescribeCodecDescriptor(const std::uint8_t* payload, std::size_t size);

Fields DescribePrivacySwitches(const std::uint8_t* payload, std::size_t size);

// Name, source size and objects of a "GAD" block; the pixelation words of a "Pixelate" block.
Fields DescribeStructuredBlock(const std::uint8_t* payload, std::size_t size);

// The letter and a one-line summary of a 'C', 'F', 'L', 'M' or 'P' record.
Fields DescribeOneLetterRecord(const std::uint8_t* payload, std::size_t size);

}  // namespace moraine::cairn
