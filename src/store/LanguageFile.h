#pragma once
// The six interface languages, the key list of a language file, and reading a language file.
//
// A language file is UTF-16 little-endian text of Key=Value lines. Every key of the list below is
// looked up anywhere in the text with FindKeyValueW; a key the file lacks, or whose value is
// unusable, takes its built-in English text. Each row of the list sets a caption of the main
// window, stores a text in the interface text table that messages and the job window are built
// from, or both. Reading the file and turning its bytes into the looked-up texts is portable;
// putting the texts on the widgets is the main window's job.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace snapkeep {

// --- Language list --------------------------------------------------------------------------

inline constexpr int kLanguageCount = 6;

struct Language {
    std::u16string_view DisplayName; // the entry of the language box, in its own script
    std::u16string_view FileName;    // below "SnapData\Language\"
};

// Index 0..5 in the order of the language box: English, Traditional Chinese, Simplified
// Chinese, Japanese, Russian, German.
std::span<const Language, kLanguageCount> Languages();

// "SnapData\Language\<file name>" relative to the start directory, or empty for an index outside
// 0..5 (no entry selected is -1), which the caller passes on as a path that cannot be opened.
std::u16string LanguageFilePath(int index);

// --- Key list -------------------------------------------------------------------------------

// The main-window widgets whose caption a language sets (for ListViewHost and ListViewDevice:
// the header of their first column). LabelVersion's caption is its text followed by the
// program's version text, so the caller composes it.
enum class Caption : uint8_t {
    TabSheet1,
    TabSheet2,
    TabSheet3,
    GroupBox1,
    GroupBox2,
    GroupBox3,
    GroupBox4,
    ListViewHost,
    ListViewDevice,
    btnBackup,
    btnRestore,
    btnHelp,
    btnHostAdd,
    btnHostDel,
    LabelDiskStatus,
    LabelVersion,
    CheckBoxAllExt,
    CheckBoxPictureExt,
    CheckBoxAudioExt,
    CheckBoxVideoExt,
    CheckBoxDataExt,
    CheckBoxCompressExt,
    CheckBoxImageExt,
    CheckBoxOthersExt,
};
inline constexpr size_t kCaptionCount = 24;

// The entries of the interface text table, named after their keys. The comments say how the
// program joins each text with what follows it, which is what a translation must read well with.
enum class Text : uint8_t {
    LabelDiskStatusYes,                // disk status after a rescan that found the enclosure
    LabelDiskStatusNo,                 // disk status after a rescan that found none
    LabelVersion,                      // + " 1.2.3.4"
    HostAddWindowDescription,          // description line of the folder dialog
    DirAlreadyAdded,                   // path + text, nothing between them
    CannotSelSameDisk,                 // text + "E:\" + "."
    DiskAccessDenied,                  // whole message
    FileTypeEmpty,                     // whole message
    FileTypeTooMuch,                   // whole message
    ProgramFatalErr,                   // whole message of the worker's fatal-error box
    ErrTitle,                          // caption of every error box
    QuestionTitle,                     // caption of the job window's questions
    LabelTimeSpent,                    // + ": 00:00:00"
    LabelTimeLeft,                     // + ": 00:00:00"
    LabelScanFinStatus,                // count + " " + text + "."
    LabelStatusScanning,               // + " ..."
    LabelTotalFiles,                   // + ": 1,234"
    CopyFileFormLabelStatusBackup,     // + " " + file path
    CopyFileFormLabelStatusRestore,    // + " " + file path
    CopyFileFormLabelStatusFinBackup,  // + "."
    CopyFileFormLabelStatusFinRestore, // + "."
    CopyFileFormFinFiles,              // + " : 0", later + ": 1,234"
    CancelScanning,                    // + "?"
    CancelCopying,                     // + "?"
    PanelBackupHostToUSB,              // title panel of a backup
    PanelRestoreUSBToHost,             // title panel of a restore
    DiskPerfBuildFail,                 // + "."
    FailChar,                          // path + "; " + text + ": " + reason + "."
    CfwPausebtn,                       // job window buttons, 83 pixels wide
    CfwCancelbtn,
    CfwRestartbtn,
    CfwClosebtn,
    ErrcodeDestinationPathTooLong,     // a reason of a failure line, + "."
    ErrcodeDestinationFileCreatedFail, // a reason of a failure line, + "."
    ErrcodeSourceFileNotFound,         // a reason of a failure line, + "."
    DirNameUnsupported,                // text + path: a folder the list files cannot hold
    ErrcodeFileTooLargeForFat,         // a reason of a failure line, + "."
    // The job history (SnapData\History.txt), one record per job.
    HistoryBackup,          // record title: text + ", " + HistoryByButton or HistoryByClick
    HistoryRestore,         // record title, as HistoryBackup
    HistoryByButton,        // after HistoryBackup + ", "
    HistoryByClick,         // after HistoryBackup or HistoryRestore + ", "
    HistoryStarted,         // + ": " + local date and time
    HistoryEnded,           // + ": " + local date and time
    HistoryEnclosure,       // + ": " + "E:\"
    HistoryFolder,          // + ": " + source + " -> " + destination
    HistoryCopied,          // + ": " + number of files + ", " + size
    HistoryResult,          // + ": " + HistoryFinished, HistoryCancelled or HistoryStopped...
    HistoryFinished,        // the job ran to its end
    HistoryCancelled,       // the user cancelled the job
    HistoryStopped,         // + ": " + one of the four reasons below
    HistoryProbeFailed,     // reason: the trial write to the enclosure failed
    HistoryProgramClosed,   // reason
    HistoryWindowsShutDown, // reason
    HistoryNothingToDo,     // reason: no folder in the list, or no drive
    // The notice from the tray icon when a job ends: %1 and %2 are replaced.
    NoticeBackupFinished,   // %1 = number of files, %2 = size ("46.0 MB")
    NoticeRestoreFinished,  // as NoticeBackupFinished
    NoticeBackupFailures,   // %1 = number of files that could not be copied
    NoticeRestoreFailures,  // as NoticeBackupFailures
    NoticeBackupCancelled,  // %1 = number of files copied before the cancel
    NoticeRestoreCancelled, // as NoticeBackupCancelled
    NoticeBackupStopped,    // %1 = one of the History... reasons
    NoticeRestoreStopped,   // as NoticeBackupStopped
    // More reasons of a failure line, + ".".
    ErrcodeNameClash,        // another item of the folder takes the same name on Windows
    ErrcodeNewCopyKept,      // shown with the kept file's path: where the new data is
    ErrcodeRootInsideBackup, // a folder to back up that lies inside the backup tree itself
    // At start: text + one line per data file that exists but could not be read.
    DataFileUnreadable,
    // More reasons of a failure line, + ".".
    ErrcodeSourceInUse,    // another program holds the source open for writing
    ErrcodeSourceChanged,  // the source changed while it was being copied
    ErrcodeTimesUntrusted, // shown with a volume's root: its times cannot be trusted
    ErrcodeStreamsNotKept, // shown with a volume's root; %1 = number of files
    // The job history's path + a line break, shown when no viewer may be started for it.
    HistoryFileIs,
    ErrcodeLinkNotFollowed,     // a reason of a failure line, + ".": a link the copy did not pass
    HistoryLinksSkipped,        // + ": " + number of links below a folder that were not followed
    ErrcodeNoRoomToKeepEarlier, // a reason of a failure line, + "."
    ErrcodeLeftoverKept,        // a reason of a failure line, + "."
    // Before a backup's copy pass: %1 = files changed, %2 = files backed up before; + "?".
    QuestionManyFilesChanged,
    HistoryManyFilesChanged, // reason after HistoryStopped: the user said No to that question
    HistoryVersionsKept,     // + ": " + number of files + ", " + "E:\Backup Versions\...\"
    HistoryVersionsRemoved,  // + ": " + "E:\Backup Versions\2026-11-01 120000\", one per line
    HistoryRecycled,         // + ": " + number of files
    HistoryKeptBeside,       // + ": " + number of files
    ErrcodeRootMissing,        // a ticked folder that is not there (or not on the USB device)
    ErrcodeDestinationRefused, // a restore that would write into a Windows, Program Files or
                               // Startup folder
    // The device list's context menu and the folder dialog of its command.
    DeviceRestoreTo,            // menu item, ends with "..."
    RestoreToWindowDescription, // description line of the folder dialog
};
inline constexpr size_t kTextCount = 85;

// One row of the key list.
struct LanguageKey {
    std::u16string_view Key;
    std::u16string_view English; // used when the file lacks the key or its value is unusable
    std::optional<Caption> SetsCaption;
    std::optional<Text> StoresText;
};

inline constexpr size_t kLanguageKeyCount = 108;

// The key list in the order the keys are looked up and applied.
std::span<const LanguageKey, kLanguageKeyCount> LanguageKeys();

// The row of the key list that fills a table entry, and that entry's English text.
size_t LanguageKeyIndex(Text text);
std::u16string_view EnglishText(Text text);

// Lookup rules of language files: tokens end at "=", TAB, LF or CR; values of at most 127 code
// units are accepted.
inline constexpr size_t kLanguageValueCapacity = 128;

// --- Reading a file -------------------------------------------------------------------------

// The file's bytes as UTF-16 little-endian code units, exactly as the program reads them: no
// byte-order mark is skipped, an odd last byte pairs with a zero byte, and the text ends at the
// first U+0000.
std::u16string DecodeLanguageText(std::string_view fileBytes);

// The texts of a language file's bytes in key-list order: each key's value from the file, or
// the row's English text when the file lacks the key or its value is unusable.
std::array<std::u16string, kLanguageKeyCount> ReadLanguageTexts(std::string_view fileBytes);

// The same lookups, but telling which rows fell back: an empty optional where the English text
// would have been taken. Lets a check prove that a file supplies every key itself.
std::array<std::optional<std::u16string>, kLanguageKeyCount>
FindLanguageValues(std::string_view fileBytes);

} // namespace snapkeep
