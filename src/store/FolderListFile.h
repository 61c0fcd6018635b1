#pragma once
// The byte format of the folder-list files ("Host.txt", "Device.txt"): a UTF-16 little-endian
// byte-order mark, then two lines per row (the checked flag as 1 or 0, then the path), every
// line ended by a single LF. The reader accepts more than the writer produces.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

struct FolderRow {
    bool Checked = false;
    std::u16string Path;
    bool operator==(const FolderRow&) const = default;
};

// Converts 8-bit text in the system's code page to UTF-16 (files without a byte-order mark).
using CodePageDecoder = std::function<std::u16string(std::string_view)>;

struct FolderListResult {
    bool Ok = false;
    std::vector<FolderRow> Rows;
    std::string Error; // why the file was refused, when !Ok
};

std::string EncodeFolderList(const std::vector<FolderRow>& rows);

// The encoding comes from a leading mark (FF FE, FE FF, EF BB BF) or, without one, is the code
// page. Lines end at CR, LF, CR LF or U+2028; a NUL ends the text. A flag line that is not a
// decimal integer, or a flag line with no path line after it, refuses the whole file.
FolderListResult DecodeFolderList(std::string_view bytes, const CodePageDecoder& decodeCodePage);

// Splits decoded text into lines by the rules above (exposed for its own tests).
std::vector<std::u16string> SplitListLines(std::u16string_view text);

} // namespace snapkeep
