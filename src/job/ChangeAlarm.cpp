#include "job/ChangeAlarm.h"

namespace snapkeep {

bool TooManyBackedUpFilesChanged(std::uint32_t withCopy, std::uint32_t changed) {
    return changed >= kChangeAlarmMinimumFiles && changed <= withCopy &&
           std::uint64_t{changed} * 2 >= withCopy;
}

} // namespace snapkeep
