#pragma once
// Whether a file's type is one the job wants, judged by the extension of its 8-bit path.
#include <string_view>

namespace snapkeep {

// The job's extensions: lower case, without the dot; or the single entry "<all>". The entry
// "<none>" accepts files whose path has no dot at all.
inline constexpr std::string_view kAllTypes = "<all>";
inline constexpr std::string_view kNoExtension = "<none>";

// `path` is the file's full path in the system's 8-bit code page. The candidate is the text
// after the last '.' of the whole path (a dot in a folder name counts too, so a file without one
// below such a folder matches no ordinary entry), with A-Z lowered; it must equal one entry
// exactly, so an entry written in capitals never matches.
bool MatchFileType(std::string_view path, const char* const* typeList, int typeCount);

} // namespace snapkeep
