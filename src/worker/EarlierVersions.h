#pragma once
// One job's versions tree on the enclosure: where the backup moves the copies it replaces, and
// the removal of old versions when the enclosure has no room for a new file.
//
// Shared by the job's workers (one at a time) and read by the job window when the job ends.
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "worker/EarlierCopies.h"

namespace snapkeep {

class EarlierVersions {
public:
    // `root` is the enclosure's root ("E:\"); `jobStart` the job's local start time, which
    // names the job's own versions folder.
    EarlierVersions(std::wstring root, const LocalStamp& jobStart);

    // "E:\Backup Versions\"
    std::wstring TreePath() const;
    // "E:\Backup Versions\2026-12-11 014810\"
    std::wstring FolderPath() const;
    // Where the earlier copy of `destination` goes; empty when it lies outside "Backup\".
    std::wstring PathFor(const std::wstring& destination) const;

    // Removes the oldest version folder that may go (EarlierCopies.h: of the exact name form,
    // not this job's, at least 14 days old, and not a link), whole; true when one was removed.
    // A folder that cannot be removed wholly gives back what it could and is not tried again.
    bool RemoveOldest();
    // The names of the folders removed so far, in order.
    std::vector<std::wstring> Removed() const;

    // One more earlier copy kept in this job's folder.
    void NoteKept();
    std::uint32_t KeptCount() const;

private:
    std::wstring root_;
    std::wstring name_;
    mutable std::mutex lock_;
    std::set<std::wstring> tried_;
    std::vector<std::wstring> removed_;
    std::uint32_t kept_ = 0;
};

// Removes `folder` (a full path without the trailing backslash) and everything below it. A link
// met inside (a folder link, a junction, a file link) is removed itself, never what it points
// to. True when the folder is gone afterwards.
bool RemoveTreeWithoutFollowingLinks(const std::wstring& folder);

// The local time now, to the second.
LocalStamp LocalNowStamp();

} // namespace snapkeep
