// The folder-list reader over any bytes. What it accepts must survive writing and reading back
// unchanged, unless a path holds a line break the writer cannot express.
#include "store/FolderListFile.h"

#include <cstdlib>

using namespace snapkeep;

namespace {

// The code page as the Windows program sees it for ASCII; other bytes widen one to one, which
// is enough to drive the reader's own logic.
std::u16string Widen(std::string_view bytes) {
    return std::u16string(bytes.begin(), bytes.end());
}

bool HasLineBreak(const std::u16string& path) {
    return path.find_first_of(u"\r\n\u2028") != std::u16string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const FolderListResult read = DecodeFolderList(bytes, Widen);
    if (!read.Ok)
        return 0;
    for (const FolderRow& row : read.Rows)
        if (HasLineBreak(row.Path) || row.Path.find(u'\0') != std::u16string::npos)
            std::abort(); // lines end at these; a path can never hold one
    const FolderListResult again = DecodeFolderList(EncodeFolderList(read.Rows), Widen);
    if (!again.Ok || again.Rows != read.Rows)
        std::abort();
    return 0;
}
