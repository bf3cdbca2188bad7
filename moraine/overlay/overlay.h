#pragma once

// The analytic overlay of a conversion: it keeps what the recorder's analytics reported (one-letter
// records in the per-kind tables, structured blocks in the metadata store) and draws it onto every
// decoded picture. Everything is timed by record time; a time of 0 stands for the tick count.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "moraine/overlay/analytic_tables.h"
#include "moraine/overlay/grid_mapping.h"
#include "moraine/overlay/metadata_store.h"
#include "moraine/overlay/render_surface.h"
#include "moraine/overlay/yuv_bounding_box_draw.h"

namespace moraine {

class Overlay {
 public:
  // A structured ("GAD") payload: stored as its analytic's latest block; the objects of the four
  // known analytics that ask for it also refresh their per-kind table entries.
  void StoreStructuredBlock(const std::uint8_t* payload, std::size_t length, std::uint32_t record_time);

  // A one-letter payload: parsed into the box record, which goes to its table when accepted.
  void StoreOneLetterRecord(const std::uint8_t* payload, std::size_t length, std::uint32_t record_time);

  // Draws the table entries and the structured objects into the NV12 picture in `buffer` (not
  // owned) of width × height; a `length` that does not match that size draws nothing. Sweeps the
  // tables of old entries afterwards.
  void ComposeFrame(std::uint8_t* buffer, std::size_t length, std::int32_t width, std::int32_t height,
                    std::uint32_t record_time);

  // Empties the analytics whose last block is more than 2 seconds old; runs after each picture.
  void Expire(std::uint32_t record_time) { metadata_.Expire(record_time); }

  const AnalyticTables& tables() const { return tables_; }
  MetaData& metadata() { return metadata_; }

 private:
  AnalyticTables tables_;
  CYUVBoundingBoxDraw box_draw_;
  MetaData metadata_;
};

// Draws the objects of the analytics named in `names` (all when empty) from `store`: indicator
// squares stepping leftward from the top-right corner, each object's trace, outline, labels and
// markers, every point mapped from the analytic grid with `mapping`.
void DrawStructured(RenderSurface& surface, const GridMapping& mapping, MetaData& store,
                    const std::vector<std::string>& names);

}  // namespace moraine
