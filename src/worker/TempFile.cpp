#include "worker/TempFile.h"

#include <atomic>

#include "win/Text.h"
#include "worker/LongPath.h"
#include "worker/TempFileName.h"

namespace snapkeep {

namespace {

std::wstring LongForm(const std::wstring& path) {
    return win::ToWide(ExtendedLengthPath(win::ToU16(path)));
}

} // namespace

TempFile::TempFile(const std::wstring& folder, FileAccess& files,
                   const std::wstring& destinationName)
    : files_(files) {
    static std::atomic<unsigned> counter{0};
    // A name left behind by an earlier run that ended abruptly is simply passed over.
    for (int attempt = 0; attempt < 100; ++attempt) {
        path_ = folder + L"\\" +
                win::ToWide(WorkerTempFileName(::GetCurrentProcessId(), counter++,
                                               win::ToU16(destinationName)));
        file_.Reset(files.Open(LongForm(path_), GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN));
        if (file_) {
            created_ = true;
            return;
        }
        error_ = ::GetLastError();
        if (error_ != ERROR_FILE_EXISTS && error_ != ERROR_ALREADY_EXISTS)
            return;
    }
}

TempFile::~TempFile() {
    if (!committed_ && !kept_)
        Discard();
}

bool TempFile::Commit(const std::wstring& destination, const std::wstring& keepEarlierAt) {
    const std::wstring target = LongForm(destination);
    const std::wstring replacement = LongForm(path_);
    // Only a file is replaced: a folder in the destination's place stays (Wine's ReplaceFileW
    // would put the file in its place).
    const DWORD existing = ::GetFileAttributesW(target.c_str());
    replaced_ = existing != INVALID_FILE_ATTRIBUTES;
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) {
        error_ = ERROR_ACCESS_DENIED;
        return false;
    }
    if (existing == INVALID_FILE_ATTRIBUTES) {
        // Nothing to replace: the open file takes the name itself, and keeps its handle for
        // the times. A file that appeared under the name meanwhile is not written over.
        DWORD error = 0;
        if (!file_ || !files_.Rename(file_.Get(), target, error)) {
            error_ = file_ ? error : ERROR_INVALID_HANDLE;
            return false;
        }
        path_ = destination;
        committed_ = true;
        return true;
    }
    // Wine's ReplaceFileW moves the destination to a backup file of its own ("rf*.tmp") before
    // it finds out that the destination cannot be replaced, and leaves that file behind. So
    // what would refuse the replacement is found out first: a read-only file, or one another
    // program holds open without sharing its deletion.
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_READONLY) {
            error_ = ERROR_ACCESS_DENIED;
            return false;
        }
        win::FileHandle replaceable(::CreateFileW(
            target.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, 0, nullptr));
        if (!replaceable && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
            error_ = ::GetLastError();
            return false;
        }
    }
    // ReplaceFileW opens the replacement itself, so ours must be closed; the data is complete.
    file_.Reset();
    DWORD error = 0;
    const std::wstring backup = keepEarlierAt.empty() ? std::wstring() : LongForm(keepEarlierAt);
    const bool replaced = backup.empty()
                              ? files_.Replace(target, replacement, error)
                              : files_.ReplaceKeeping(target, replacement, backup, error);
    if (!replaced) {
        error_ = error;
        // Whatever the reason, the earlier file may be gone: ReplaceFileW without a backup name
        // removes it before it fails with 1176, and moves it to a name of its own before it
        // fails with 1177; another program may have deleted it while the copy ran. The new data
        // is then the only copy: it takes the destination's name, or stays where it is.
        FileInfo earlier;
        DWORD infoError = 0;
        if (files_.ReadInfo(destination, earlier, infoError))
            return false; // the earlier file is still in place, as it was
        earlierKept_ = !backup.empty() && files_.ReadInfo(keepEarlierAt, earlier, infoError);
        if (!MoveToMissingDestination(target, replacement)) {
            kept_ = true;
            return false;
        }
    }
    committed_ = true;
    earlierKept_ = earlierKept_ || (replaced && !backup.empty());
    // Times and attributes go on through this handle, as they do on a new destination.
    file_.Reset(::CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
    if (!file_)
        error_ = ::GetLastError();
    return true;
}

bool TempFile::MoveToMissingDestination(const std::wstring& target,
                                        const std::wstring& replacement) {
    // What refuses the move is mostly short-lived: a virus scanner looking at the new file, an
    // indexer that opened the name. A few tries over about a second outlast it.
    constexpr int kTries = 4;
    constexpr DWORD kWaitMs = 250;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (attempt > 0)
            ::Sleep(kWaitMs);
        DWORD error = 0;
        if (files_.Move(replacement, target, error))
            return true;
        error_ = error;
    }
    return false;
}

bool TempFile::Discard() {
    if (!created_ || committed_ || kept_)
        return true;
    if (file_) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        const bool marked = ::SetFileInformationByHandle(file_.Get(), FileDispositionInfo,
                                                         &disposition, sizeof disposition);
        file_.Reset();
        if (marked) {
            created_ = false;
            return true;
        }
    }
    // Closed already (a refused replacement), or the handle would not take the deletion.
    if (::DeleteFileW(LongForm(path_).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND) {
        created_ = false;
        return true;
    }
    return false;
}

} // namespace snapkeep
