#include "worker/TempFile.h"

#include <atomic>
#include <vector>

#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

namespace {

std::wstring LongForm(const std::wstring& path) {
    return win::ToWide(ExtendedLengthPath(win::ToU16(path)));
}

// The file system's own spelling of a full path, as a rename by handle expects it.
std::wstring NtPath(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\"))
        return L"\\??\\" + path.substr(4);
    if (path.starts_with(L"\\\\"))
        return L"\\??\\UNC\\" + path.substr(2);
    return L"\\??\\" + path;
}

} // namespace

TempFile::TempFile(const std::wstring& folder) {
    static std::atomic<unsigned> counter{0};
    const std::wstring prefix =
        folder + L"\\~snapkeep-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
    // A name left behind by an earlier run that ended abruptly is simply passed over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = prefix + std::to_wstring(counter++) + L".tmp";
        file_.Reset(::CreateFileW(LongForm(path_).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr));
        if (file_)
            return;
        error_ = ::GetLastError();
        if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS)
            return;
    }
}

TempFile::TempFile(const std::wstring& path, ExactName) : path_(path) {
    file_.Reset(::CreateFileW(LongForm(path_).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                              nullptr));
    if (!file_)
        error_ = ::GetLastError();
}

TempFile::~TempFile() {
    if (!committed_)
        Discard();
}

bool TempFile::Commit(const std::wstring& destination) {
    if (destination == path_) {
        committed_ = true;
        return true;
    }
    const std::wstring target = NtPath(LongForm(destination));
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> block(sizeof(FILE_RENAME_INFO) + nameBytes, 0);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    rename->ReplaceIfExists = TRUE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::copy(target.begin(), target.end(), rename->FileName);
    if (!::SetFileInformationByHandle(file_.Get(), FileRenameInfo, rename,
                                      static_cast<DWORD>(block.size()))) {
        error_ = ::GetLastError();
        return false;
    }
    committed_ = true;
    return true;
}

bool TempFile::Discard() {
    if (!file_)
        return true;
    FILE_DISPOSITION_INFO disposition{TRUE};
    const bool marked = ::SetFileInformationByHandle(file_.Get(), FileDispositionInfo, &disposition,
                                                     sizeof disposition);
    file_.Reset();
    if (marked)
        return true;
    return ::DeleteFileW(LongForm(path_).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace snapkeep
