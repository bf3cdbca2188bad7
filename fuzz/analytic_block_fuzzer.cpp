// Arbitrary bytes as a structured analytic payload: the block, then every accessor of every object
// built from it. A kept body must already be normalised, so it reads back to itself.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/analytic_names.h"
#include "moraine/overlay/metadata_object.h"

namespace {

void ReadEverything(const moraine::MetaDataDrawingObject& object) {
  object.GetObjectHeader();
  object.GetLineStyle();
  object.GetFillStyle();
  object.GetSecondaryStyle();
  object.GetTracePoint();
  object.GetMarkers();
  object.GetLabels();
  object.GetOutline();
  object.GetIndicators();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const moraine::AnalyticBlock block = moraine::ParseAnalyticBlock(data, size);
  moraine::ToTraceName(block.name);
  for (const moraine::RawObject& raw : block.objects) {
    std::unique_ptr<moraine::MetaDataObject> object;
    if (raw.object_type == moraine::kDrawingObjectType) {
      auto drawing = std::make_unique<moraine::MetaDataDrawingObject>(raw.body);
      ReadEverything(*drawing);
      object = std::move(drawing);
    } else if (raw.object_type == moraine::kInfoObjectType) {
      auto info = std::make_unique<moraine::MetaDataInfoObject>(raw.body);
      info->GetPixelateParameters();
      object = std::move(info);
    } else {
      __builtin_trap();  // other types are never kept
    }
    if (raw.body.empty() || object->ObjectType() != raw.object_type || object->Serialize() != raw.body) {
      __builtin_trap();
    }
  }
  // The payload's bytes read as one object body too, whatever the block made of them.
  ReadEverything(moraine::MetaDataDrawingObject({data, size}));
  return 0;
}
