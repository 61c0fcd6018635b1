#pragma once
// The names of the copy's temporary files, "~snapkeep-<process>-<n>.tmp". A program that ends
// abruptly (a crash, a kill, a pulled-out enclosure) can leave one beside a destination; the
// walk recognises them so that such a leftover is never backed up or restored as a user file.
#include <cstdint>
#include <string>
#include <string_view>

namespace snapkeep {

std::u16string WorkerTempFileName(std::uint32_t processId, std::uint32_t number);

// True for a file name of the form above, letters in any case (file names ignore it).
bool IsWorkerTempFileName(std::u16string_view name);

} // namespace snapkeep
