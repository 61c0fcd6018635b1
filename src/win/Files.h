#pragma once
// Whole-file reads and crash-safe whole-file replacement for the small files of the data folder.
#include <optional>
#include <string>
#include <string_view>

namespace snapkeep::win {

// The file's bytes, or nothing when it cannot be opened or read, or is a symbolic link or a
// junction (a data file is never read through a link).
std::optional<std::string> ReadWholeFile(const std::wstring& path);

// Replaces the file at `path` with `bytes`. The bytes go to a temporary file beside the target
// (created new under the first free name, never opened over an existing file or link), are
// flushed, and only then renamed over the target, so a crash or power loss mid-write leaves
// either the old file or the new one, never a torn one. Answers false (and leaves the old file
// as it was) when any step fails.
bool ReplaceFileContent(const std::wstring& path, std::string_view bytes);

} // namespace snapkeep::win
