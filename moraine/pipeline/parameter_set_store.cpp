#include "moraine/pipeline/parameter_set_store.h"

#include <algorithm>

namespace moraine {

bool ParameterSetStore::Store(const std::uint8_t* bytes, std::size_t size) {
  if (size > kCapacity) return false;
  std::copy(bytes, bytes + size, bytes_.begin());
  size_ = size;
  return true;
}

}  // namespace moraine
