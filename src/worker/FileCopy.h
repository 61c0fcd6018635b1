#pragma once
// Deciding whether a file needs copying, and copying it so that the next run finds the pair
// identical. Every outcome is a code of CopyResult.h / CompareResult; nothing here throws.
//
// The copy never puts an existing destination at risk: the data goes to a temporary file in the
// destination's folder, and only a file written whole and flushed takes the destination's name,
// also where nothing was there before, so no file under a real name is ever half written. A
// cancel or a failure removes the temporary file and leaves the earlier destination (in a
// restore, the user's own file) exactly as it was. The file a copy replaces is moved where the
// caller's plan says, not removed. Finished data is never discarded while the destination is
// missing.
#include <functional>
#include <string>

#include "worker/FileAccess.h"
#include "worker/FileInfo.h"

namespace snapkeep {

// CompareIdentical, a difference code, or 3 / 4 when the source's / destination's information
// cannot be read. `rule` says how closely the two volumes can agree (CompareFileInfo); the
// walk learns it once per job from its volumes (VolumeRules).
int CompareFiles(const std::wstring& source, const std::wstring& destination,
                 FileAccess& files = SystemFileAccess(), const VolumeTraits& rule = VolumeTraits{});
// The same with the source's information already known (from the directory listing).
// `found`, when given, gets the destination's information when it could be read.
int CompareWithDestination(const FileInfo& source, const std::wstring& destination,
                           FileAccess& files = SystemFileAccess(),
                           const VolumeTraits& rule = VolumeTraits{}, FileInfo* found = nullptr);

// What a copy does with the source's named streams (a browser's mark on a downloaded file,
// "Zone.Identifier", is one: without it a restored download is one Windows trusts).
struct StreamCopy {
    bool volumeKeepsThem = true; // the destination's volume can hold them: they are copied
    bool dropped = false;        // set when the source had some the volume could not keep
};

// What becomes of the file a copy replaces, and how room is made for the new data.
struct CopyPlan {
    // Where an existing destination is moved when the new data takes its place (a rename on the
    // same volume; its folder is made when missing). Empty: the earlier file is replaced.
    std::wstring keepEarlierAt;
    // Removes the oldest removable earlier version to make room on the destination's volume,
    // one whole folder per call; false when nothing more may be removed. Empty: no room is made.
    std::function<bool()> makeRoom;
    // Set by the copy: the earlier file now lies at `keepEarlierAt`.
    bool earlierKept = false;
};

// The walk's entry: answers CopyBusyElsewhere when another copy is running, otherwise runs
// CopyOneFile with CopyBusy held and CopyPercent starting from 0.
int RunFileCopy(const std::wstring& source, const std::wstring& destination,
                FileAccess& files = SystemFileAccess(), std::wstring* keptPath = nullptr,
                CopyPlan* plan = nullptr, StreamCopy* streams = nullptr);

// Copies the data in 1000-byte blocks, holding while CopyPaused is set and giving up when
// CopyCancelled is set (both are cleared first), publishing CopyPercent, then gives the
// destination the source's times and attributes as they were when the copy began. The data is
// flushed to the disk before the times go on and before it replaces an earlier file.
//
// When the new data does not fit beside the destination, the plan's makeRoom is asked for room
// until it fits (the copy then starts again) or nothing more may go: the file then fails with
// CopyNoRoomToKeepEarlierCopy where an earlier copy exists and the plan makes room, else 9; the
// earlier file is never emptied or written over to make room. When the earlier destination
// disappears and the new data cannot take its name, the data is kept under its temporary name:
// CopyKeptUnderTemporaryName, with that file's full path in `keptPath`.
//
// The source's named streams go with its data, unless `streams` says the destination's volume
// cannot hold them; without `streams` they are copied. The source is opened so that no other
// program can write to it meanwhile (one that already does makes it CopySourceInUse), and a
// source whose size or times moved while it was read gives CopySourceChanged: its copy does not
// take the earlier copy's place.
int CopyOneFile(const std::wstring& source, const std::wstring& destination,
                FileAccess& files = SystemFileAccess(), std::wstring* keptPath = nullptr,
                CopyPlan* plan = nullptr, StreamCopy* streams = nullptr);

// Gives an existing destination the source's current times and attributes: 0, 3 (source gone),
// 107 (source unreadable for another reason) or 106 (destination refused them). Note the order
// of the arguments, destination first.
int CopyFileInfo(const std::wstring& destination, const std::wstring& source,
                 FileAccess& files = SystemFileAccess());

} // namespace snapkeep
