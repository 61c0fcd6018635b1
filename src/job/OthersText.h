#pragma once
// The Others extensions in the form the type list is built from: 8-bit text in the system's code
// page, at most 127 bytes. The box accepts up to 127 UTF-16 units, which a double-byte code page
// can turn into more bytes than that.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace snapkeep {

inline constexpr std::size_t kOthersTextBytes = 127;

// The longest beginning of `text`, cut between two characters (never inside a surrogate pair),
// whose 8-bit form `toCodePage` makes at most `limit` bytes long; answers that 8-bit form. A
// cut inside a double-byte character would leave a lead byte that swallows what follows it.
std::string FitOthersText(std::u16string_view text, std::size_t limit,
                          const std::function<std::string(std::u16string_view)>& toCodePage);

} // namespace snapkeep
