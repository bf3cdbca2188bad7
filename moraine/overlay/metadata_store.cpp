#include "moraine/overlay/metadata_store.h"

#include <algorithm>

#include "moraine/overlay/analytic_names.h"

namespace moraine {
namespace {

constexpr std::uint64_t kAnalyticLifetimeMs = 2000;

bool Requested(const std::vector<std::string>& trace_names, const std::string& trace_name) {
  return trace_names.empty() || std::find(trace_names.begin(), trace_names.end(), trace_name) != trace_names.end();
}

}  // namespace

MetaData::AnalyticInfo* MetaData::FindOrMakeAnalytic(const std::string& name) {
  for (AnalyticInfo& analytic : analytics_) {
    if (analytic.name == name) return &analytic;
  }
  if (analytics_.size() < kMaxAnalytics) return &analytics_.emplace_back(AnalyticInfo{name, 0, {}, {}});
  // A recording that invents names without end must not grow the store: an analytic emptied by
  // expiry makes room.
  for (AnalyticInfo& analytic : analytics_) {
    if (analytic.objects.empty() && analytic.traces.empty()) {
      analytic = AnalyticInfo{name, 0, {}, {}};
      return &analytic;
    }
  }
  return nullptr;
}

void MetaData::AddBlock(const AnalyticBlock& block, std::uint32_t time) {
  const std::lock_guard guard(lock_);
  AnalyticInfo* analytic = FindOrMakeAnalytic(block.name);
  if (analytic == nullptr) return;
  analytic->objects.clear();
  for (const RawObject& raw : block.objects) {
    if (raw.object_type == kDrawingObjectType) {
      auto object = std::make_unique<MetaDataDrawingObject>(raw.body);
      const TracePoint trace_point = object->GetTracePoint();
      if (trace_point.add_to_trace == 1) {
        AppendTracePoint(analytic->traces[object->GetObjectHeader().object_number], trace_point.point);
      }
      analytic->objects.push_back(std::move(object));
    } else if (raw.object_type == kInfoObjectType) {
      analytic->objects.push_back(std::make_unique<MetaDataInfoObject>(raw.body));
    }
  }
  analytic->last_update = OverlayTime(time);
  // Pixelation parameters and lens descriptions say nothing about the picture the boxes were found in.
  if (block.name != kPixelateAnalyticName && block.name != kFisheyeAnalyticName) {
    source_width_ = block.source_width;
    source_height_ = block.source_height;
  }
}

template <typename ObjectClass>
std::vector<std::pair<std::string, ObjectClass>> MetaData::CopyObjects(const std::vector<std::string>& names) {
  std::vector<std::string> trace_names;
  trace_names.reserve(names.size());
  for (const std::string& name : names) trace_names.push_back(ToTraceName(name));
  const std::lock_guard guard(lock_);
  std::vector<std::pair<std::string, ObjectClass>> copies;
  for (const AnalyticInfo& analytic : analytics_) {
    const std::string trace_name = ToTraceName(analytic.name);
    if (!Requested(trace_names, trace_name)) continue;
    for (const std::unique_ptr<MetaDataObject>& object : analytic.objects) {
      if (const auto* wanted = dynamic_cast<const ObjectClass*>(object.get())) copies.emplace_back(trace_name, *wanted);
    }
  }
  return copies;
}

std::vector<std::pair<std::string, MetaDataDrawingObject>> MetaData::GetDrawingObjects(
    const std::vector<std::string>& names) {
  return CopyObjects<MetaDataDrawingObject>(names);
}

std::vector<std::pair<std::string, MetaDataInfoObject>> MetaData::GetInfoObjects(
    const std::vector<std::string>& names) {
  return CopyObjects<MetaDataInfoObject>(names);
}

std::vector<std::pair<std::string, TraceMap>> MetaData::GetTraces() {
  const std::lock_guard guard(lock_);
  std::vector<std::pair<std::string, TraceMap>> traces;
  traces.reserve(analytics_.size());
  for (const AnalyticInfo& analytic : analytics_) traces.emplace_back(ToTraceName(analytic.name), analytic.traces);
  return traces;
}

std::vector<Trace> MetaData::GetObjectTraces(const std::string& trace_name, std::uint16_t object_number) {
  const std::lock_guard guard(lock_);
  std::vector<Trace> traces;
  for (const AnalyticInfo& analytic : analytics_) {
    if (ToTraceName(analytic.name) != trace_name) continue;
    const auto trace = analytic.traces.find(object_number);
    if (trace != analytic.traces.end()) traces.push_back(trace->second);
  }
  return traces;
}

void MetaData::Expire(std::uint32_t time) {
  const std::uint64_t now = OverlayTime(time);
  const std::lock_guard guard(lock_);
  for (AnalyticInfo& analytic : analytics_) {
    if (now - analytic.last_update <= kAnalyticLifetimeMs) continue;
    analytic.objects.clear();
    analytic.traces.clear();
  }
}

std::size_t MetaData::analytic_count() {
  const std::lock_guard guard(lock_);
  return analytics_.size();
}

}  // namespace moraine
