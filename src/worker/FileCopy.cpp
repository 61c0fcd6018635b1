#include "worker/FileCopy.h"

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

int RewriteInPlace(const std::wstring& destination, std::unique_ptr<TempFile>& output,
                   FileAccess& files);

// Another program holds the file open in a way that excludes this one, or has locked a range
// of it: it is in use, not unreadable.
bool IsInUse(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsOutOfSpace(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL;
}

// The free space of the destination's volume, measured before the copy wrote anything there.
struct Room {
    bool known = false;
    std::uint64_t free = 0;
};

// True when `size` bytes did not fit in the space that was free before the copy began, but do
// with the space the earlier destination takes added. Its allocated size counts, not its logical
// size: a compressed or sparse file frees less than it holds. When the space measured was
// enough, a write that failed with "disk full" failed for another reason (a FAT volume refuses a
// file past 4 GiB that way), and rewriting the earlier file would only fail again at the same
// place, with that file gone.
bool FitsOnlyInPlace(FileAccess& files, const std::wstring& destination, std::uint64_t size,
                     const Room& room) {
    if (!room.known || room.free >= size)
        return false;
    std::uint64_t allocated = 0;
    if (!files.AllocatedSize(LongForm(destination), allocated))
        return false;
    return room.free + allocated >= size;
}

// Where the data goes: a destination that does not exist yet is written under its own name (if
// the copy fails, nothing was there to lose); an existing one only beside it, to be replaced by
// a whole copy. The destination's folder is created with its missing parents when needed.
// 0, or the code of the failure; `beside` tells whether the output is a temporary file.
// `room` gets the free space measured before a file is created beside the destination.
int OpenOutput(const std::wstring& destination, std::unique_ptr<TempFile>& output, bool& beside,
               FileAccess& files, std::uint64_t size, Room& room) {
    const std::wstring folder = FolderOf(destination);
    beside = false;
    for (bool folderMade = false;;) {
        output = std::make_unique<TempFile>(destination, TempFile::ExactName{}, files);
        if (output->Valid())
            return CopyDone;
        const DWORD error = output->Error();
        if (error == ERROR_PATH_NOT_FOUND && !folderMade) {
            if (!ForceDirectories(folder))
                return CopyFolderCreateFailed;
            folderMade = true;
            continue;
        }
        // Taken (by a file, a folder, or a file in use): write beside it.
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)
            return CopyDestinationWriteFailed;
        room.known = files.FreeSpace(folder, room.free);
        output = std::make_unique<TempFile>(folder, files, destination.substr(folder.size() + 1));
        beside = true;
        if (output->Valid())
            return CopyDone;
        // Not even room for an empty file beside it: the earlier file's own space must do.
        if (!IsOutOfSpace(output->Error()) || !FitsOnlyInPlace(files, destination, size, room))
            return CopyDestinationWriteFailed;
        beside = false;
        return RewriteInPlace(destination, output, files);
    }
}

// No room for a second copy beside an existing destination: the destination itself is emptied
// and written again, which needs no more room than the new data. Its earlier content is lost
// if this copy then fails, as it would be without the temporary file; the failure is reported.
// A cancel that came before is honoured here, while the earlier file is still whole.
int RewriteInPlace(const std::wstring& destination, std::unique_ptr<TempFile>& output,
                   FileAccess& files) {
    output.reset();
    if (CopyCancelled.load())
        return CopyCancelledMidFile;
    const std::wstring target = LongForm(destination);
    const DWORD old = ::GetFileAttributesW(target.c_str());
    // As for a first copy: read-only, hidden and system would refuse the writing.
    if (old == INVALID_FILE_ATTRIBUTES ||
        !::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_ARCHIVE))
        return IsNotFound(::GetLastError()) ? CopyDestinationWriteFailed
                                            : CopyResetAttributesFailed;
    output = std::make_unique<TempFile>(destination, TempFile::InPlace{}, files);
    if (output->Valid())
        return CopyDone;
    // Not emptied after all: the earlier file is whole and gets back what protected it.
    ::SetFileAttributesW(target.c_str(), old);
    return CopyDestinationWriteFailed;
}

// Renames the finished temporary file over the destination. A read-only, hidden or system file
// from an earlier copy refuses to be replaced; its attributes are cleared for the rename and put
// back if the rename still fails, so a refused copy leaves the old file exactly as it was.
int ReplaceDestination(TempFile& temp, const std::wstring& destination) {
    if (temp.Commit(destination))
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
    if (temp.Commit(destination))
        return CopyDone;
    if (temp.Kept())
        return CopyKeptUnderTemporaryName;
    ::SetFileAttributesW(target.c_str(), old);
    return CopyDestinationWriteFailed;
}

// The data loop: blocks of 1000 bytes until the size the copy started with is reached.
enum class LoopEnd { Completed, ReadFailed, WriteFailed, Cancelled, InUse, SourceChanged };

// `cancellable` false: the file is written to its end whatever comes, as an in-place rewrite must
// be once the earlier file has been emptied.
LoopEnd MoveData(BlockPipe& pipe, std::uint64_t size, bool cancellable) {
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
        if (cancellable && CopyCancelled.load())
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
                 bool cancellable, DWORD& writeError) {
    BlockPipe pipe(files, input, output.Get(), source.size);
    LoopEnd end = MoveData(pipe, source.size, cancellable);
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
                    StreamCopy* streams) {
    const std::wstring from = LongForm(source);
    const std::vector<std::wstring> names = files.NamedStreams(from);
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
                std::wstring* keptPath, StreamCopy* streams) {
    bool idle = false;
    if (!CopyBusy.compare_exchange_strong(idle, true))
        return CopyBusyElsewhere;
    CopyPercent.store(0);
    const int code = CopyOneFile(source, destination, files, keptPath, streams);
    CopyBusy.store(false);
    return code;
}

int CopyOneFile(const std::wstring& source, const std::wstring& destination, FileAccess& files,
                std::wstring* keptPath, StreamCopy* streams) {
    CopyCancelled.store(false);
    CopyPaused.store(false);

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

    std::unique_ptr<TempFile> temp;
    bool beside = false;
    Room room;
    if (const int code = OpenOutput(destination, temp, beside, files, info.size, room);
        code != CopyDone)
        return code;

    CopyPercent.store(0);
    DWORD writeError = 0;
    // The free space is measured only on the way to a file beside an existing destination; an
    // output not beside it after that is the destination itself, emptied, which cannot be given
    // up half-way: the earlier content is already gone.
    const bool inPlace = !beside && room.known;
    LoopEnd end = MoveFile(files, input.Get(), *temp, info, !inPlace, writeError);
    if (end == LoopEnd::WriteFailed && beside && IsOutOfSpace(writeError)) {
        // Drop the partial copy, which gives its room back. When the new data and the earlier
        // file truly do not fit side by side, but the new data fits in the earlier file's place,
        // write it over the earlier file instead. Otherwise (the volume says there is room, or
        // not even the earlier file's place would do) the earlier file is kept and the copy
        // fails, as overwriting it would only lose it.
        if (!temp->Discard())
            return CopyDeletePartialFailed;
        if (!FitsOnlyInPlace(files, destination, info.size, room))
            return CopyDestinationWriteFailed;
        if (!Rewind(input.Get()))
            return CopySourceReadFailed;
        beside = false;
        if (const int code = RewriteInPlace(destination, temp, files); code != CopyDone)
            return code;
        CopyPercent.store(0);
        end = MoveFile(files, input.Get(), *temp, info, false, writeError);
    }
    if (end == LoopEnd::Completed)
        end = CopyStreams(files, source, temp->Path(), streams);
    input.Reset();
    // The data reaches the disk before the file gets its times or takes the earlier file's
    // place: a cable cut after that must not leave a file whose size and times match the
    // source but whose data never arrived, which later runs would skip forever.
    if (end == LoopEnd::Completed && !files.Flush(temp->Get()))
        end = LoopEnd::WriteFailed;

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

    if (const int code = ReplaceDestination(*temp, destination); code != CopyDone) {
        if (code == CopyKeptUnderTemporaryName) {
            if (keptPath)
                *keptPath = temp->Path();
            return code;
        }
        return temp->Discard() ? code : CopyDeletePartialFailed;
    }
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
