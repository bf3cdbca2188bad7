#pragma once

// The store of structured analytic blocks: for each analytic name the objects of its latest block
// and a short trace of each object over time. An analytic's objects vanish 2 seconds after its last
// block. Queries return copies; the store keeps its own objects.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "moraine/overlay/analytic_block.h"
#include "moraine/overlay/analytic_tables.h"
#include "moraine/overlay/metadata_object.h"

namespace moraine {

using TraceMap = std::map<std::uint16_t, Trace>;

class IMetaData {
 public:
  virtual ~IMetaData() = default;
  // Replaces the objects of the block's analytic (creating it on its first block) and extends the
  // traces of its objects that ask for it; `time` 0 stands for the tick count.
  virtual void AddBlock(const AnalyticBlock& block, std::uint32_t time) = 0;
  // The objects of the analytics whose trace names are among `names` (all when empty), in store
  // order, each with the trace name of its analytic.
  virtual std::vector<std::pair<std::string, MetaDataDrawingObject>> GetDrawingObjects(
      const std::vector<std::string>& names) = 0;
  virtual std::vector<std::pair<std::string, MetaDataInfoObject>> GetInfoObjects(
      const std::vector<std::string>& names) = 0;
  // Every analytic's traces under its trace name.
  virtual std::vector<std::pair<std::string, TraceMap>> GetTraces() = 0;
  // The picture size of the latest block other than "Pixelate" and "Fisheye" (0 before one).
  virtual std::int32_t SourceHeight() const = 0;
  virtual std::int32_t SourceWidth() const = 0;
  // Empties the analytics whose last block is more than 2 seconds older than `time`.
  virtual void Expire(std::uint32_t time) = 0;
};

class MetaData final : public IMetaData {
 public:
  // At most this many analytic names are kept; a new name beyond them takes the place of an
  // expired, empty analytic, or is dropped when there is none.
  static constexpr std::size_t kMaxAnalytics = 64;

  void AddBlock(const AnalyticBlock& block, std::uint32_t time) override;
  std::vector<std::pair<std::string, MetaDataDrawingObject>> GetDrawingObjects(
      const std::vector<std::string>& names) override;
  std::vector<std::pair<std::string, MetaDataInfoObject>> GetInfoObjects(const std::vector<std::string>& names) override;
  std::vector<std::pair<std::string, TraceMap>> GetTraces() override;
  std::int32_t SourceHeight() const override { return source_height_; }
  std::int32_t SourceWidth() const override { return source_width_; }
  void Expire(std::uint32_t time) override;

  // The traces of object `object_number` in every analytic whose trace name is `trace_name`, in
  // store order: what one drawn object needs, without copying the traces of the others.
  std::vector<Trace> GetObjectTraces(const std::string& trace_name, std::uint16_t object_number);

  std::size_t analytic_count();

 private:
  struct AnalyticInfo {
    std::string name;
    std::uint64_t last_update = 0;
    std::vector<std::unique_ptr<MetaDataObject>> objects;
    TraceMap traces;
  };

  AnalyticInfo* FindOrMakeAnalytic(const std::string& name);
  template <typename ObjectClass>
  std::vector<std::pair<std::string, ObjectClass>> CopyObjects(const std::vector<std::string>& names);

  std::recursive_mutex lock_;
  std::vector<AnalyticInfo> analytics_;  // in order of first arrival
  std::int32_t source_width_ = 0;
  std::int32_t source_height_ = 0;
};

}  // namespace moraine
