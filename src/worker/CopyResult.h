#pragma once
// The small integer outcomes of comparing a file with its copy and of copying it. The job window
// turns every non-zero copy code into a line of its failure list, so the numbers are fixed.

namespace snapkeep {

// Answers of CompareFiles. Only CompareIdentical lets the walk skip a file.
enum CompareResult : int {
    CompareSourceUnreadable = 3,   // the source's information cannot be read
    CompareDestinationMissing = 4, // the destination's information cannot be read
    CompareIdentical = 100,        // same attributes, size, creation and last-write time
    CompareAttributesDiffer = 101,
    CompareSizesDiffer = 102,
    CompareCreationTimesDiffer = 103,
    CompareLastWriteTimesDiffer = 105,
};

// Codes of a copy attempt, as the worker stores them in LastResult.
enum CopyResult : int {
    CopyDone = 0,                   // copied, times and attributes applied
    CopyBusyElsewhere = 1,          // another copy was running
    CopyCancelledMidFile = 2,       // cancelled; nothing of the new data was kept
    CopySourceInfoFailed = 3,       // the source's information cannot be read
    CopyResetAttributesFailed = 5,  // the old destination's attributes cannot be cleared
    CopyDeletePartialFailed = 6,    // the unfinished data cannot be deleted
    CopyDestinationTooLong = 7,     // destination path over the limit; nothing attempted
    CopyFolderCreateFailed = 8,     // the destination's folder cannot be created
    CopyDestinationWriteFailed = 9, // the destination cannot be written
    CopySourceReadFailed = 10,      // the source cannot be opened or read
    CopyTooLargeForVolume = 11,     // 4 GiB or more for a FAT volume; nothing attempted
    CopyLeftoverKept = 12,          // an interrupted copy's file whose source is missing
    // Another entry of the same folder takes the same name on a Windows volume: it differs only
    // in letter case, in trailing dots or blanks, or it is the other's short (8.3) name. The
    // first the listing gave was copied; this one is not, or it would overwrite that copy.
    CopyNameClash = 13,
    // The new data is complete but could not take the earlier file's place, which is gone: the
    // data stays under the name the worker's DestinationPath then gives.
    CopyKeptUnderTemporaryName = 14,
    // The walk's root lies inside the backup tree it would write into; nothing is copied.
    CopyRootInsideBackup = 15,
    // Another program holds the source open for writing (or locked part of it): copying it now
    // could take in half of its changes. Nothing at the destination changes.
    CopySourceInUse = 16,
    // The source's size or times moved while its data was read: the copy would be a mix of two
    // versions. It does not take the earlier copy's place; the next job tries again.
    CopySourceChanged = 17,
    // A line for a whole volume, not a file: it gives back other last-write times than the ones
    // set, so none of its files can be found unchanged and each is copied on every run.
    CopyTimesUntrusted = 18,
    // A link (junction, mounted volume, symbolic link) in the enclosure's backup tree, or below
    // a restore's destination folder: the copy did not pass through it, nor read or write
    // anything below it. The worker's DestinationPath names the link.
    CopyLinkNotFollowed = 19,
    // The new data does not fit on the enclosure beside the earlier copy, even after removing
    // every earlier version old enough to go; the earlier copy stays as it was.
    CopyNoRoomToKeepEarlierCopy = 20,
    // A folder of the job that is not there (or, in a restore, not on the enclosure's volume);
    // nothing of it is copied.
    CopyRootMissing = 21,
    // A restore would write into the Windows folder, a Program Files folder or a Startup folder;
    // nothing is written there.
    CopyDestinationRefused = 22,
    CopyApplyInfoFailed = 106,      // times or attributes cannot be set on the destination
    CopySourceInfoLateFailed = 107, // the source's information cannot be read when applying it
};

} // namespace snapkeep
