#include "worker/FileCopy.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/BlockPipe.h"
#include "worker/CopyResult.h"
#include "worker/CopyState.h"
#include "worker/Folders.h"
#include "worker/LongPath.h"
#include "worker/TempFile.h"

namespace snapkeep {

namespace {

constexpr DWORD kPausePollMs = 50;

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring LongForm(const std::wstring& path) {
    return win::ToWide(ExtendedLengthPath(win::ToU16(path)));
}

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Another program holds the file open in a way that excludes this one, or has locked a range
// of it: it is in use, not unreadable.
bool IsInUse(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsOutOfSpace(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// Beyond the data itself, a file needs room for its folder entry and the rest of its last
// cluster; a volume with less free than this over the data is taken to be full.
constexpr std::uint64_t kRoomMargin = 1024 * 1024;

// The data always goes to a temporary file beside the destination, which takes the destination's
// name only when whole and flushed. The destination's folder is created with its missing parents
// when needed. 0, or the code of the failure (with the reason in `output->Error()`).
int OpenOutput(const std::wstring& destination, std::unique_ptr<TempFile>& output,
               FileAccess& files) {
    const std::wstring folder = FolderOf(destination);
    for (bool folderMade = false;;) {
        output = std::make_unique<TempFile>(folder, files, destination.substr(folder.size() + 1));
        if (output->Valid())
            return CopyDone;
        if (output->Error() == ERROR_PATH_NOT_FOUND && !folderMade) {
            if (!ForceDirectories(folder))
                return CopyFolderCreateFailed;
            folderMade = true;
            continue;
        }
        return CopyDestinationWriteFailed;
    }
}

bool Exists(FileAccess& files, const std::wstring& path) {
    FileInfo info;
    DWORD error = 0;
    return files.ReadInfo(path, info, error);
}

// The new data did not fit beside the destination. Room is made by removing the oldest earlier
// versions the plan may remove, one whole folder at a time, until the volume has room for it:
// 0 then, and the copy starts again. When the volume said it had room, the "disk full" had
// another cause and nothing is removed for it (9). When nothing more may be removed, the earlier
// copy stays as it is and the file fails: with its own code when an earlier copy was kept safe
// by not writing over it, otherwise 9.
int MakeRoom(FileAccess& files, const std::wstring& destination, std::uint64_t size,
             CopyPlan* plan) {
    const std::wstring folder = FolderOf(destination);
    const int noRoom = plan && plan->makeRoom && Exists(files, destination)
                           ? CopyNoRoomToKeepEarlierCopy
                           : CopyDestinationWriteFailed;
    std::uint64_t free = 0;
    if (!files.FreeSpace(folder, free))
        return noRoom;
    if (free >= size + kRoomMargin)
        return CopyDestinationWriteFailed;
    while (free < size + kRoomMargin) {
        if (!plan || !plan->makeRoom || !plan->makeRoom())
            return noRoom;
        if (!files.FreeSpace(folder, free))
            return noRoom;
    }
    return CopyDone;
}

// Renames the finished temporary file over the destination, the earlier file going to
// `keepEarlierAt` when that is given. A read-only, hidden or system file from an earlier copy
// refuses to be replaced; its attributes are cleared for the rename and put back afterwards (on
// the earlier file where it was kept, or where it still is if the rename fails), so a refused
// copy leaves the old file exactly as it was.
int ReplaceDestination(TempFile& temp, const std::wstring& destination,
                       const std::wstring& keepEarlierAt) {
    if (temp.Commit(destination, keepEarlierAt))
        return CopyDone;
    if (temp.Kept())
        return CopyKeptUnderTemporaryName;
    const std::wstring target = LongForm(destination);
    const DWORD old = ::GetFileAttributesW(target.c_str());
    constexpr DWORD kProtecting =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (old == INVALID_FILE_ATTRIBUTES || (old & FILE_ATTRIBUTE_DIRECTORY) || !(old & kProtecting))
        return CopyDestinationWriteFailed; // a folder in the way, or the file is in use
    if (!::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_ARCHIVE))
        return IsNotFound(::GetLastError()) ? CopyDestinationWriteFailed
                                            : CopyResetAttributesFailed;
    if (temp.Commit(destination, keepEarlierAt)) {
        if (temp.EarlierKept())
            ::SetFileAttributesW(LongForm(keepEarlierAt).c_str(), old);
        return CopyDone;
    }
    if (temp.Kept())
        return CopyKeptUnderTemporaryName;
    ::SetFileAttributesW(target.c_str(), old);
    return CopyDestinationWriteFailed;
}

// Makes the folder the earlier file is to be kept in; a folder that is missing and cannot be
// made leaves nowhere to keep it, and the earlier file is then not replaced.
bool PrepareKeeping(const std::wstring& keepEarlierAt) {
    const std::wstring folder = FolderOf(keepEarlierAt);
    const DWORD attributes = ::GetFileAttributesW(LongForm(folder).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    return ForceDirectories(folder);
}

// The data loop: blocks of 1000 bytes until the size the copy started with is reached.
enum class LoopEnd { Completed, ReadFailed, WriteFailed, Cancelled, InUse, SourceChanged };

LoopEnd MoveData(BlockPipe& pipe, std::uint64_t size) {
    for (std::uint64_t position = 0; position < size; position += kCopyBlockSize) {
        DWORD got = 0;
        if (!pipe.ReadBlock(got))
            return IsInUse(::GetLastError()) ? LoopEnd::InUse : LoopEnd::ReadFailed;
        if (!pipe.WriteBlock(got))
            return LoopEnd::WriteFailed;
        // Before this block is counted: the bar trails the data by one block.
        CopyPercent.store(static_cast<std::int32_t>(position * 100 / size));
        while (CopyPaused.load())
            ::Sleep(kPausePollMs);
        if (CopyCancelled.load())
            return LoopEnd::Cancelled;
    }
    return pipe.Flush() ? LoopEnd::Completed : LoopEnd::WriteFailed;
}

// True when the source is no longer the file the copy began with: it ended before the size the
// copy started with, or its size, last-write time or change time moved meanwhile. The change
// time catches a program that rewrites a file and sets its last-write time back.
bool SourceMoved(FileAccess& files, HANDLE input, const FileInfo& before, std::uint64_t read) {
    FileInfo after;
    if (read != before.size || !files.ReadInfo(input, after))
        return true;
    return after.size != before.size || after.lastWriteTime != before.lastWriteTime ||
           after.changeTime != before.changeTime;
}

// Moves the whole source into `output`; `writeError` is the error of a failed write. A source
// that another program changed while it was read is not a copy of anything the user had.
LoopEnd MoveFile(FileAccess& files, HANDLE input, TempFile& output, const FileInfo& source,
                 DWORD& writeError) {
    BlockPipe pipe(files, input, output.Get(), source.size);
    LoopEnd end = MoveData(pipe, source.size);
    writeError = pipe.WriteError();
    if (end == LoopEnd::Completed && SourceMoved(files, input, source, pipe.BytesRead()))
        end = LoopEnd::SourceChanged;
    return end;
}

// One named stream, whole, from the source to the file the data went to.
LoopEnd CopyStream(FileAccess& files, const std::wstring& from, const std::wstring& to) {
    win::FileHandle input(files.Open(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN));
    if (!input)
        return IsInUse(::GetLastError()) ? LoopEnd::InUse : LoopEnd::ReadFailed;
    win::FileHandle output(files.Open(to, GENERIC_WRITE, 0, CREATE_ALWAYS, 0));
    if (!output)
        return LoopEnd::WriteFailed;
    // Streams are small (a zone mark is a hundred bytes); one buffer of this size moves most in
    // one step.
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!files.Read(input.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), got))
            return IsInUse(::GetLastError()) ? LoopEnd::InUse : LoopEnd::ReadFailed;
        if (got == 0)
            break;
        DWORD put = 0;
        if (!files.Write(output.Get(), buffer.data(), got, put) || put != got)
            return LoopEnd::WriteFailed;
    }
    return files.Flush(output.Get()) ? LoopEnd::Completed : LoopEnd::WriteFailed;
}

// The source's named streams, copied to `target` (the temporary file, or the destination
// itself) before it takes the earlier file's place. A volume that cannot hold them gets the
// data alone, and the caller learns that something was left out.
LoopEnd CopyStreams(FileAccess& files, const std::wstring& source, const std::wstring& target,
                    StreamCopy* streams, std::vector<std::wstring>& names) {
    const std::wstring from = LongForm(source);
    names = files.NamedStreams(from);
    if (names.empty())
        return LoopEnd::Completed;
    if (streams && !streams->volumeKeepsThem) {
        streams->dropped = true;
        return LoopEnd::Completed;
    }
    const std::wstring to = LongForm(target);
    for (const std::wstring& name : names) {
        if (const LoopEnd end = CopyStream(files, from + name, to + name);
            end != LoopEnd::Completed)
            return end;
    }
    return LoopEnd::Completed;
}

// ReplaceFileW keeps those named streams of the replaced file that the new file has none of the
// same name: the copy would then carry a stream its source never had (an earlier file's zone
// mark on a restored one). They are removed, so that the file's streams are exactly the
// source's `kept`. False when one cannot be removed.
bool DropOtherStreams(FileAccess& files, const std::wstring& destination,
                      const std::vector<std::wstring>& kept) {
    const std::wstring target = LongForm(destination);
    for (const std::wstring& name : files.NamedStreams(target)) {
        const bool theSources = std::any_of(kept.begin(), kept.end(), [&](const std::wstring& k) {
            return ::CompareStringOrdinal(k.c_str(), static_cast<int>(k.size()), name.c_str(),
                                          static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
        });
        if (theSources)
            continue;
        win::FileHandle stream(files.Open(target + name, DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE));
        if (!stream)
            return false;
    }
    return true;
}

bool Rewind(HANDLE file) {
    LARGE_INTEGER start{};
    return ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) != FALSE;
}

} // namespace

int CompareWithDestination(const FileInfo& source, const std::wstring& destination,
                           FileAccess& files, const VolumeTraits& rule, FileInfo* found) {
    FileInfo copy;
    DWORD error = 0;
    if (!files.ReadInfo(destination, copy, error))
        return CompareDestinationMissing;
    if (found)
        *found = copy;
    return CompareFileInfo(source, copy, rule);
}

int CompareFiles(const std::wstring& source, const std::wstring& destination, FileAccess& files,
                 const VolumeTraits& rule) {
    FileInfo original;
    DWORD error = 0;
    if (!files.ReadInfo(source, original, error))
        return CompareSourceUnreadable;
    return CompareWithDestination(original, destination, files, rule);
}

int RunFileCopy(const std::wstring& source, const std::wstring& destination, FileAccess& files,
                std::wstring* keptPath, CopyPlan* plan, StreamCopy* streams) {
    bool idle = false;
    if (!CopyBusy.compare_exchange_strong(idle, true))
        return CopyBusyElsewhere;
    CopyPercent.store(0);
    const int code = CopyOneFile(source, destination, files, keptPath, plan, streams);
    CopyBusy.store(false);
    return code;
}

int CopyOneFile(const std::wstring& source, const std::wstring& destination, FileAccess& files,
                std::wstring* keptPath, CopyPlan* plan, StreamCopy* streams) {
    CopyCancelled.store(false);
    CopyPaused.store(false);
    if (plan)
        plan->earlierKept = false;

    // The source's information is read from the open file: it is what the copy takes over, and
    // the times given to the destination are those the source had before its data was read.
    // Nobody may write to the source while it is copied (as the system's own copy opens it): a
    // program that holds it open for writing makes it "in use" instead of copied half-changed.
    // Renaming or deleting it is shared: the data read stays that of the file opened.
    win::FileHandle input(files.Open(LongForm(source), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN));
    if (!input) {
        const DWORD error = ::GetLastError();
        return IsNotFound(error) ? CopySourceInfoFailed
               : IsInUse(error)  ? CopySourceInUse
                                 : CopySourceReadFailed;
    }
    FileInfo info;
    if (!files.ReadInfo(input.Get(), info))
        return CopySourceInfoFailed;

    // The data goes beside the destination; when it does not fit, room is made (or the file
    // fails with the earlier copy untouched) and the copy starts again from the source's start.
    // The earlier copy is never emptied or written over to make room: a failure half-way would
    // then leave neither version.
    std::unique_ptr<TempFile> temp;
    LoopEnd end = LoopEnd::Completed;
    for (;;) {
        const int opened = OpenOutput(destination, temp, files);
        DWORD writeError = 0;
        if (opened == CopyDone) {
            CopyPercent.store(0);
            end = MoveFile(files, input.Get(), *temp, info, writeError);
            // The data reaches the disk before the file gets its times or takes the earlier
            // file's place: a cable cut after that must not leave a file whose size and times
            // match the source but whose data never arrived, which later runs would skip.
            if (end == LoopEnd::Completed && !files.Flush(temp->Get())) {
                end = LoopEnd::WriteFailed;
                writeError = ::GetLastError();
            }
            if (end != LoopEnd::WriteFailed || !IsOutOfSpace(writeError))
                break;
            if (!temp->Discard())
                return CopyDeletePartialFailed;
            // A cancelled copy removes no version to make room for itself.
            if (CopyCancelled.load())
                return CopyCancelledMidFile;
        } else if (opened != CopyDestinationWriteFailed || !IsOutOfSpace(temp->Error())) {
            return opened;
        }
        if (const int code = MakeRoom(files, destination, info.size, plan); code != CopyDone)
            return code;
        if (!Rewind(input.Get()))
            return CopySourceReadFailed;
    }
    std::vector<std::wstring> sourceStreams;
    if (end == LoopEnd::Completed)
        end = CopyStreams(files, source, temp->Path(), streams, sourceStreams);
    input.Reset();

    switch (end) {
    case LoopEnd::ReadFailed:
        return temp->Discard() ? CopySourceReadFailed : CopyDeletePartialFailed;
    case LoopEnd::WriteFailed:
        return temp->Discard() ? CopyDestinationWriteFailed : CopyDeletePartialFailed;
    case LoopEnd::Cancelled:
        return temp->Discard() ? CopyCancelledMidFile : CopyDeletePartialFailed;
    case LoopEnd::InUse:
        return temp->Discard() ? CopySourceInUse : CopyDeletePartialFailed;
    case LoopEnd::SourceChanged:
        // Never takes the earlier copy's place: what was read mixes two versions of the file.
        return temp->Discard() ? CopySourceChanged : CopyDeletePartialFailed;
    case LoopEnd::Completed:
        break;
    }

    // Where the file this copy replaces goes; an earlier file is never replaced without it when
    // the plan names a place, and a place that cannot be made keeps the earlier file as it is.
    const std::wstring keepAt = plan && !plan->keepEarlierAt.empty() && Exists(files, destination)
                                    ? plan->keepEarlierAt
                                    : std::wstring();
    if (!keepAt.empty() && !PrepareKeeping(keepAt))
        return temp->Discard() ? (IsOutOfSpace(::GetLastError()) ? CopyNoRoomToKeepEarlierCopy
                                                                 : CopyDestinationWriteFailed)
                               : CopyDeletePartialFailed;
    const int replaced = ReplaceDestination(*temp, destination, keepAt);
    if (plan)
        plan->earlierKept = temp->EarlierKept();
    if (replaced != CopyDone) {
        if (replaced == CopyKeptUnderTemporaryName) {
            if (keptPath)
                *keptPath = temp->Path();
            return replaced;
        }
        return temp->Discard() ? replaced : CopyDeletePartialFailed;
    }
    // Before the times: removing a stream may touch them.
    if (temp->Replaced() && !DropOtherStreams(files, destination, sourceStreams))
        return CopyApplyInfoFailed;
    // The times go on after the rename, through the handle that now names the destination: a
    // file system that tunnels the old file's creation time to the new name cannot undo them.
    if (!files.ApplyInfo(temp->Get(), destination, info))
        return CopyApplyInfoFailed;
    CopyPercent.store(100);
    return CopyDone;
}

int CopyFileInfo(const std::wstring& destination, const std::wstring& source, FileAccess& files) {
    FileInfo info;
    DWORD error = 0;
    if (!files.ReadInfo(source, info, error))
        return IsNotFound(error) ? CopySourceInfoFailed : CopySourceInfoLateFailed;
    // Attribute access alone is enough to set times and attributes, and is granted even while
    // the destination is read-only.
    win::FileHandle output(::CreateFileW(LongForm(destination).c_str(), FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!output)
        return CopyApplyInfoFailed;
    return files.ApplyInfo(output.Get(), destination, info) ? CopyDone : CopyApplyInfoFailed;
}

} // namespace snapkeep
