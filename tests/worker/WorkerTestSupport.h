#pragma once
// Fixtures for the worker's tests: drive letters mapped to test folders, file contents, times
// and attributes, a picture of a folder tree, and file access stand-ins that make the copy stop
// where a test needs it.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "win/Handle.h"
#include "worker/FileAccess.h"

namespace snapkeep::test {

// A drive letter that names `folder` for the life of the object. Windows maps it with
// DefineDosDeviceW; Wine accepts that call but does not resolve files through it, so there the
// letter is defined through Wine's mount manager, which is what its own configuration tool does.
class MappedDrive {
public:
    explicit MappedDrive(const std::wstring& folder);
    ~MappedDrive();
    MappedDrive(const MappedDrive&) = delete;
    MappedDrive& operator=(const MappedDrive&) = delete;

    bool Valid() const { return letter_ != 0; }
    wchar_t Letter() const { return letter_; }
    std::wstring Root() const { return std::wstring(1, letter_) + L":\\"; } // "R:\"

private:
    wchar_t letter_ = 0;
    bool wine_ = false;
    std::wstring folder_;
};

// Deterministic bytes, different for each seed.
std::string Pattern(size_t size, unsigned seed);
// Creates the folders above `path` and writes the file.
bool WriteFileAt(const std::wstring& path, const std::string& bytes);

struct Info {
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    std::uint64_t lastWrite = 0;
    std::uint64_t size = 0;
};
Info InfoOf(const std::wstring& path);
// Sets the last-write time (100 ns units) and then the attributes, hidden and system before
// read-only (Wine drops them when they come together with read-only).
bool SetWriteTimeAndAttributes(const std::wstring& path, std::uint64_t lastWrite, DWORD attributes);

// Every file and folder below `root`: relative path -> attributes, size, last-write time and a
// checksum of the content.
struct Entry {
    DWORD attributes;
    std::uint64_t size;
    std::uint64_t lastWrite;
    std::uint64_t checksum;
    bool operator==(const Entry&) const = default;
};
std::map<std::wstring, Entry> Snapshot(const std::wstring& root);

// True when the tests run under Wine.
bool UnderWine();
// The Linux path of a Windows path under Wine; empty on Windows.
std::wstring UnixPath(const std::wstring& path);
// Runs a Linux program (its Linux path and arguments) under Wine and waits for it; false on
// Windows or when it cannot be started.
bool RunUnixCommand(const std::vector<std::wstring>& arguments);

// A small RAM file system of `bytes` mounted on the empty folder `folder` for the life of the
// object (under Wine, by Linux mount; it needs root). Mounted() is false where that is refused.
class SmallVolume {
public:
    SmallVolume(const std::wstring& folder, std::uint64_t bytes);
    ~SmallVolume();
    SmallVolume(const SmallVolume&) = delete;
    SmallVolume& operator=(const SmallVolume&) = delete;
    bool Mounted() const { return mounted_; }

private:
    std::wstring folder_;
    std::uint64_t bytes_;
    bool attempted_ = false;
    bool mounted_ = false;
};

// A fresh FAT32 or exFAT volume of `megabytes` mounted on the empty folder `folder` for the life
// of the object: an image file beside the folder, formatted and mounted through FUSE (fusefat;
// exfat-fuse on a loop device), as a FAT or exFAT disk in an enclosure would be. Under Wine
// only, and only as root; Why() says what stood in the way when Mounted() is false.
class FuseVolume {
public:
    enum class Kind { Fat32, ExFat };
    FuseVolume(const std::wstring& folder, Kind kind, unsigned megabytes = 64);
    ~FuseVolume();
    FuseVolume(const FuseVolume&) = delete;
    FuseVolume& operator=(const FuseVolume&) = delete;
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }

private:
    std::wstring folder_;
    std::wstring image_;
    bool attempted_ = false;
    bool mounted_ = false;
    std::string why_;
};

// Makes `link` a link to the folder `target` (both full paths; the link must not exist). Windows
// makes a directory symbolic link. Wine 8 makes no folder links of its own, and to its programs
// a Linux symbolic link is one, so there a Linux `ln -s` does it. False when neither works (on
// Windows, symbolic links need developer mode or the right to create them).
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

// Names in `folder` left behind by a copy's temporary file.
std::vector<std::wstring> TemporaryFilesIn(const std::wstring& folder);

// File access that stops the copy's reading at a chosen byte until the test opens the gate:
// the test then knows the copy is inside the file, between two blocks, whatever the machine's
// speed.
class GatedFileAccess : public FileAccess {
public:
    explicit GatedFileAccess(std::uint64_t stopAt);
    bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got) override;
    bool WaitReached(DWORD timeoutMs = 10000) const;
    void Open() const { ::SetEvent(gate_.Get()); }

private:
    std::uint64_t stopAt_;
    std::uint64_t done_ = 0;
    win::Handle reached_;
    win::Handle gate_;
};

// File access whose reads or writes fail once `failAt` bytes have passed.
class FailingFileAccess : public FileAccess {
public:
    enum class What { Reads, Writes, Flushes }; // a flush fails whatever `failAt` says
    FailingFileAccess(What what, std::uint64_t failAt) : what_(what), failAt_(failAt) {}
    bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got) override;
    bool Write(HANDLE file, const void* data, DWORD size, DWORD& put) override;
    bool Flush(HANDLE file) override;

private:
    What what_;
    std::uint64_t failAt_;
    std::uint64_t read_ = 0;
    std::uint64_t written_ = 0;
};

// File access that refuses to list the folders it is given, with a chosen error (Wine, run as
// root, lists every folder it can reach), and plain patterns of MAX_PATH or more, as Windows
// does (Wine lists them).
class RefusingListings : public FileAccess {
public:
    RefusingListings(std::vector<std::wstring> refused, DWORD error)
        : refused_(std::move(refused)), error_(error) {}
    HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error) override;
    std::vector<std::wstring> Patterns() const; // every pattern asked for

private:
    std::vector<std::wstring> refused_;
    DWORD error_;
    mutable std::mutex mutex_;
    std::vector<std::wstring> patterns_;
};

// File access whose listing of one folder breaks off after `entries` entries with `error`, as a
// network drop or a pulled enclosure ends it.
class BreakingListing : public FileAccess {
public:
    BreakingListing(std::wstring folder, int entries, DWORD error)
        : folder_(std::move(folder)), entries_(entries), error_(error) {}
    HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error) override;
    bool FindNext(HANDLE listing, WIN32_FIND_DATAW& entry, DWORD& error) override;

private:
    std::wstring folder_;
    int entries_;
    DWORD error_;
    std::mutex mutex_;
    HANDLE broken_ = INVALID_HANDLE_VALUE;
    int given_ = 0;
};

// Named streams, which Wine does not keep on Linux folders, kept by a stand-in as files beside
// their file: "x.txt:name" is the file "x.txt.stream-name". Opening a stream opens that file,
// listing a file's streams lists those files, and a renamed file takes its streams along. A
// replaced file takes the replacement's and, as ReplaceFileW does, keeps those of its own the
// replacement has no stream of that name for; a backup name gets all of the earlier file's. On
// the volume of `streamless` (a root such as "R:\"; none when empty) a stream cannot be made,
// as on FAT or exFAT.
class StreamsBeside : public FileAccess {
public:
    explicit StreamsBeside(std::wstring streamless = {}) : streamless_(std::move(streamless)) {}
    static std::wstring Beside(const std::wstring& path);
    HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override;
    std::vector<std::wstring> NamedStreams(const std::wstring& path) override;
    bool Replace(const std::wstring& destination, const std::wstring& replacement,
                 DWORD& error) override;
    bool ReplaceKeeping(const std::wstring& destination, const std::wstring& replacement,
                        const std::wstring& backup, DWORD& error) override;
    bool Move(const std::wstring& from, const std::wstring& to, DWORD& error) override;
    bool Rename(HANDLE file, const std::wstring& to, DWORD& error) override;

private:
    void MoveStreams(const std::wstring& from, const std::wstring& to);
    std::wstring streamless_;
    std::mutex lock_;
    std::map<HANDLE, std::wstring> opened_; // the path each handle was opened with
};

} // namespace snapkeep::test
