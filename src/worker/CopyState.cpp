#include "worker/CopyState.h"

namespace snapkeep {

std::atomic<bool> CopyPaused{false};
std::atomic<bool> CopyCancelled{false};
std::atomic<std::int32_t> CopyPercent{0};
std::atomic<bool> CopyBusy{false};

} // namespace snapkeep
