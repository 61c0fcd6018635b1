#include "win/Files.h"

#include "win/Handle.h"

namespace snapkeep::win {

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
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
    const std::wstring temp = path + L".snapkeep-new";
    {
        FileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
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
    if (!::MoveFileExW(temp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

} // namespace snapkeep::win
