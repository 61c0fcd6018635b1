#include "win/Files.h"

#include "win/Handle.h"

namespace snapkeep::win {

namespace {

// A symbolic link or a junction: what it names is not the data folder's own file.
bool IsLink(HANDLE file) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag))
        return true; // cannot tell: not read
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (tag.ReparseTag == IO_REPARSE_TAG_SYMLINK ||
            tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT);
}

// Creates the temporary sibling of `path` new: never opened over an existing file, a link
// someone placed under its name included. A name that is taken (a file left by a save that was
// cut short, a folder, a link) gives way to the next one; nothing found under these names is
// removed, since removing a link can reach what it names (Wine 8 deletes the target of a Linux
// link to a file and leaves the link).
FileHandle CreateTemporarySibling(const std::wstring& path, std::wstring& temp) {
    for (int n = 1; n <= 99; ++n) {
        temp = path + L".snapkeep-new" + (n > 1 ? std::to_wstring(n) : L"");
        FileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return file;
        const DWORD error = ::GetLastError();
        // Wine answers a folder of the name with "access denied".
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            error != ERROR_ACCESS_DENIED)
            break;
    }
    return FileHandle();
}

} // namespace

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    if (path.empty())
        return std::nullopt;
    // Opened as itself: a data file that is a link to some other file is not read, so nobody
    // can have the program read (and then write into its own files) what the link names.
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file || IsLink(file.Get()))
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > std::string().max_size())
        return std::nullopt;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(bytes.size() - done);
        if (!::ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr))
            return std::nullopt;
        if (got == 0)
            break; // the file shrank while we read it: keep what was there
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

bool ReplaceFileContent(const std::wstring& path, std::string_view bytes) {
    // The temporary name is the target's plus a suffix no data file uses, in the same folder so
    // that the rename stays on one volume and is atomic.
    if (path.empty())
        return false;
    std::wstring temp;
    {
        FileHandle file = CreateTemporarySibling(path, temp);
        if (!file)
            return false;
        size_t done = 0;
        bool ok = true;
        while (ok && done < bytes.size()) {
            DWORD put = 0;
            const DWORD want = static_cast<DWORD>(bytes.size() - done);
            ok = ::WriteFile(file.Get(), bytes.data() + done, want, &put, nullptr) && put > 0;
            done += put;
        }
        if (!ok || !::FlushFileBuffers(file.Get())) {
            file.Reset();
            ::DeleteFileW(temp.c_str());
            return false;
        }
    }
    // Another program reading the file (an editor opening the history, a virus scanner) holds
    // it open for a moment and refuses the replace meanwhile: a few tries over about two seconds
    // outlast it, where giving up at once would lose what is being saved.
    constexpr int kTries = 8;
    constexpr DWORD kWaitMs = 250;
    for (int attempt = 0;; ++attempt) {
        if (::MoveFileExW(temp.c_str(), path.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD error = ::GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
                          error == ERROR_LOCK_VIOLATION;
        if (!held || attempt + 1 == kTries)
            break;
        ::Sleep(kWaitMs);
    }
    ::DeleteFileW(temp.c_str());
    return false;
}

} // namespace snapkeep::win
