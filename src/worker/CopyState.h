#pragma once
// The copy state the whole process shares: one worker runs at a time, and the job window
// steers the file being copied through these values from the user-interface thread. Each is
// read and written whole from either thread.
#include <atomic>
#include <cstdint>

namespace snapkeep {

// While set, the copy holds between two blocks of the current file.
extern std::atomic<bool> CopyPaused;
// When set, the copy abandons the current file.
extern std::atomic<bool> CopyCancelled;
// Percentage (0..100) of the current file done; the job window's bar shows it.
extern std::atomic<std::int32_t> CopyPercent;
// Set while RunFileCopy runs: a second copy is refused rather than interleaved.
extern std::atomic<bool> CopyBusy;

} // namespace snapkeep
