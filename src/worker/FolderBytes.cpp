#include "worker/FolderBytes.h"

#include <windows.h>

#include <vector>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

std::uint64_t BytesOfFilesBelow(const std::wstring& folder) {
    std::uint64_t bytes = 0;
    // Folders still to list, without the trailing backslash: a list, not recursion, so that a
    // deep tree costs no stack.
    std::vector<std::wstring> pending{folder.ends_with(L'\\') ? folder.substr(0, folder.size() - 1)
                                                              : folder};
    while (!pending.empty()) {
        const std::wstring current = std::move(pending.back());
        pending.pop_back();
        const std::wstring pattern = win::ToWide(ExtendedLengthPath(win::ToU16(current + L"\\*")));
        WIN32_FIND_DATAW entry;
        win::FindHandle listing(::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                                   FindExSearchNameMatch, nullptr, 0));
        if (!listing)
            continue;
        do {
            const std::wstring_view name = entry.cFileName;
            if (name == L"." || name == L".." ||
                (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                continue;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                pending.push_back(current + L"\\" + entry.cFileName);
            else
                bytes +=
                    (static_cast<std::uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        } while (::FindNextFileW(listing.Get(), &entry));
    }
    return bytes;
}

} // namespace snapkeep
