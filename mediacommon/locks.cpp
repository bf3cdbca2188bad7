#include "mediacommon/locks.h"

namespace moraine::mediacommon {

CGlobalLock& CGlobalLock::Instance() {
  static CGlobalLock instance;
  return instance;
}

}  // namespace moraine::mediacommon
