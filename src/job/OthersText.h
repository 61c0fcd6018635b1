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

// Blank, comma, semicolon and tab part the user's pieces.
inline constexpr std::string_view kOthersPieceSeparators = " ,;\t";

// `text` whole when its 8-bit form (made by `toCodePage`) is at most `limit` bytes long.
// Otherwise the longest beginning of whole pieces that fits: a piece that does not fit whole is
// dropped, since its beginning would be another extension (" jpeg" would become "jp"). The cut
// falls between two pieces, so never inside a double-byte character either, whose lead byte
// would swallow what follows it. Answers the 8-bit form.
std::string FitOthersText(std::u16string_view text, std::size_t limit,
                          const std::function<std::string(std::u16string_view)>& toCodePage);

} // namespace snapkeep
