#pragma once
// The names of the copy's temporary files. A program that ends abruptly (a crash, a kill, a
// pulled-out enclosure) can leave one beside a destination; the walk recognises them so that
// such a leftover is never backed up or restored as a user file, and removes it once its
// destination is there again.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace snapkeep {

// "~snapkeep-<process>-<n>-<destination>.tmp": the name of the destination the file is written
// for is part of it, so that a leftover tells which file it belongs to. A destination name too
// long for that gets the short form "~snapkeep-<process>-<n>.tmp".
std::u16string WorkerTempFileName(std::uint32_t processId, std::uint32_t number,
                                  std::u16string_view destinationName = {});

// The destination name a temporary file's name carries (empty for the short form), or none when
// `name` is not such a name. Letters may be in any case (file names ignore it).
std::optional<std::u16string> ParseWorkerTempFileName(std::u16string_view name);

inline bool IsWorkerTempFileName(std::u16string_view name) {
    return ParseWorkerTempFileName(name).has_value();
}

} // namespace snapkeep
