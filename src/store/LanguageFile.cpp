#include "store/LanguageFile.h"

#include "store/KeyLookup.h"

namespace snapkeep {
namespace {

constexpr std::array<Language, kLanguageCount> kLanguages{{
    {u"English", u"English.ini"},
    {u"\u7E41\u9AD4\u4E2D\u6587", u"Chinese_BIG5.ini"}, // 繁體中文
    {u"\u7B80\u4F53\u4E2D\u6587", u"Chinese_GB.ini"},   // 简体中文
    {u"\u65E5\u672C\u8A9E", u"Japenese.ini"},           // 日本語 (the file name is as shipped)
    {u"\u0440\u0443\u0441\u0441\u043A\u0438\u0439", u"Russian.ini"}, // русский
    {u"Deutsch", u"German.ini"},
}};

using C = Caption;
using T = Text;

constexpr std::array<LanguageKey, kLanguageKeyCount> kKeys{{
    {u"TabSheet1.Caption", u"File Backup", C::TabSheet1, {}},
    {u"TabSheet2.Caption", u"Setting", C::TabSheet2, {}},
    {u"TabSheet3.Caption", u"About", C::TabSheet3, {}},
    {u"GroupBox1.Caption", u"Backup File Type", C::GroupBox1, {}},
    {u"GroupBox2.Caption", u"Language Type", C::GroupBox2, {}},
    {u"GroupBox3.Caption", u"Host", C::GroupBox3, {}},
    {u"GroupBox4.Caption", u"USB Device", C::GroupBox4, {}},
    {u"ListViewHost.Caption", u"Path", C::ListViewHost, {}},
    {u"ListViewDevice.Caption", u"Path", C::ListViewDevice, {}},
    {u"btnBackup.Caption", u"Backup", C::btnBackup, {}},
    {u"btnRestore.Caption", u"Restore", C::btnRestore, {}},
    {u"btnHelp.Caption", u"Help", C::btnHelp, {}},
    {u"btnHostAdd.Caption", u"Add", C::btnHostAdd, {}},
    {u"btnHostDel.Caption", u"Delete", C::btnHostDel, {}},
    {u"LabelDiskStatus.Caption", u"Disk is not found.", C::LabelDiskStatus, {}},
    {u"LabelDiskStatus_Yes.Caption", u"Disk has been found.", {}, T::LabelDiskStatusYes},
    {u"LabelDiskStatus_No.Caption", u"Disk is not found.", {}, T::LabelDiskStatusNo},
    {u"LabelVersion.Caption", u"Version", C::LabelVersion, T::LabelVersion},
    {u"CheckBoxAllExt.Caption", u"All File: *.*", C::CheckBoxAllExt, {}},
    {u"CheckBoxPictureExt.Caption",
     u"Picture: bmp, jpg, jpeg, png, gif, tiff",
     C::CheckBoxPictureExt,
     {}},
    // The key is spelled with a lower-case "b"; keys compare without case anyway.
    {u"CheckboxAudioExt.Caption", u"Audio: mp3, wma, ape, wav", C::CheckBoxAudioExt, {}},
    {u"CheckBoxVideoExt.Caption",
     u"Video: wmv, avi, mp4, rm, rmvb, mpg, mpeg, mkv",
     C::CheckBoxVideoExt,
     {}},
    {u"CheckBoxDataExt.Caption",
     u"Data: txt, pdf, doc, docx, xls, xlsx, ppt, pptx",
     C::CheckBoxDataExt,
     {}},
    {u"CheckBoxCompressExt.Caption",
     u"Compression: zip, rar, 7z, tar, gz, bz2",
     C::CheckBoxCompressExt,
     {}},
    {u"CheckBoxImageExt.Caption", u"Image: ISO, NRG", C::CheckBoxImageExt, {}},
    {u"CheckBoxOthersExt.Caption", u"Others:", C::CheckBoxOthersExt, {}},
    {u"HostAddWindowDescription",
     u"Select a new folder for Backup",
     {},
     T::HostAddWindowDescription},
    {u"DirAlreadyAdded", u"has already added.", {}, T::DirAlreadyAdded},
    {u"CannotSelSameDisk", u"You cannot select USB Device disk ", {}, T::CannotSelSameDisk},
    {u"DiskAccessDenied", u"Device disk cannot be accessed.", {}, T::DiskAccessDenied},
    {u"FileTypeEmpty", u"File Type in Others cannot be empty.", {}, T::FileTypeEmpty},
    {u"FileTypeTooMuch", u"Number of File Type in Others is too much.", {}, T::FileTypeTooMuch},
    {u"ProgramFatalErr", u"The program meets fatal error.", {}, T::ProgramFatalErr},
    {u"ErrTitle", u"Error", {}, T::ErrTitle},
    {u"QuestionTitle", u"Question", {}, T::QuestionTitle},
    {u"LabelTimeSpent", u"Time Spent", {}, T::LabelTimeSpent},
    {u"LabelTimeLeft", u"Time Left", {}, T::LabelTimeLeft},
    {u"LabelScanFinStatus", u"files have been scanned", {}, T::LabelScanFinStatus},
    {u"LabelStatus_Scanning", u"Scanning file", {}, T::LabelStatusScanning},
    {u"LabelTotalFiles", u"Total Files", {}, T::LabelTotalFiles},
    {u"CopyFileFormLabelStatus_Backup", u"Backup", {}, T::CopyFileFormLabelStatusBackup},
    {u"CopyFileFormLabelStatus_Restore", u"Restore", {}, T::CopyFileFormLabelStatusRestore},
    {u"CopyFileFormLabelStatus_FinBackup",
     u"Backup has finished",
     {},
     T::CopyFileFormLabelStatusFinBackup},
    {u"CopyFileFormLabelStatus_FinRestore",
     u"Restore has finished",
     {},
     T::CopyFileFormLabelStatusFinRestore},
    {u"CopyFileFormFinFiles", u"Finished Files", {}, T::CopyFileFormFinFiles},
    {u"CancelScanning", u"Cancel the scanning", {}, T::CancelScanning},
    {u"CancelCopying", u"Cancel the copying", {}, T::CancelCopying},
    {u"PanelBackupHostToUSB", u"Backup from Host to USB Device", {}, T::PanelBackupHostToUSB},
    {u"PanelRestoreUSBToHost", u"Restore from USB Device to Host", {}, T::PanelRestoreUSBToHost},
    {u"DiskPerfBuildFail", u"Disk cannot be accessed", {}, T::DiskPerfBuildFail},
    {u"FailChar", u"Fail", {}, T::FailChar},
    {u"CFW_Pausebtn", u"Pause", {}, T::CfwPausebtn},
    {u"CFW_Cancelbtn", u"Cancel", {}, T::CfwCancelbtn},
    {u"CFW_Restartbtn", u"Restart", {}, T::CfwRestartbtn},
    {u"CFW_Closebtn", u"Close", {}, T::CfwClosebtn},
    {u"ERRCODE_DESTINATION_PATH_TOO_LONG",
     u"Destination path is too long",
     {},
     T::ErrcodeDestinationPathTooLong},
    {u"ERRCODE_DESTINATION_FILE_CREATED_FAIL",
     u"Destination file cannot be created",
     {},
     T::ErrcodeDestinationFileCreatedFail},
    {u"ERRCODE_SOURCE_FILE_NOT_FOUND",
     u"Source file cannot be duplicated",
     {},
     T::ErrcodeSourceFileNotFound},
    // The folder lists end a line at U+2028 (and CR, LF), so a folder whose path holds one
    // could be written but never read back; the Add command refuses it with this text.
    {u"DirNameUnsupported",
     u"A folder whose path contains a line separator cannot be added: ",
     {},
     T::DirNameUnsupported},
    // FAT keeps a file size in 32 bits: a file of 4 GiB or more fails before any of it is
    // written, instead of after 4 GiB with a write error.
    {u"ERRCODE_FILE_TOO_LARGE_FOR_FAT",
     u"File of 4 GB or more cannot be stored on a FAT volume",
     {},
     T::ErrcodeFileTooLargeForFat},
    {u"HistoryBackup", u"Backup", {}, T::HistoryBackup},
    {u"HistoryRestore", u"Restore", {}, T::HistoryRestore},
    {u"HistoryByButton", u"started by the button of the USB device", {}, T::HistoryByButton},
    {u"HistoryByClick", u"started by a click", {}, T::HistoryByClick},
    {u"HistoryStarted", u"Started", {}, T::HistoryStarted},
    {u"HistoryEnded", u"Ended", {}, T::HistoryEnded},
    {u"HistoryEnclosure", u"USB Device", {}, T::HistoryEnclosure},
    {u"HistoryFolder", u"Folder", {}, T::HistoryFolder},
    {u"HistoryCopied", u"Files copied", {}, T::HistoryCopied},
    {u"HistoryResult", u"Result", {}, T::HistoryResult},
    {u"HistoryFinished", u"Finished", {}, T::HistoryFinished},
    {u"HistoryCancelled", u"Cancelled by the user", {}, T::HistoryCancelled},
    {u"HistoryStopped", u"Stopped", {}, T::HistoryStopped},
    {u"HistoryProbeFailed",
     u"the disk of the USB device could not be written",
     {},
     T::HistoryProbeFailed},
    {u"HistoryProgramClosed", u"the program was closed", {}, T::HistoryProgramClosed},
    {u"HistoryWindowsShutDown", u"Windows was shut down", {}, T::HistoryWindowsShutDown},
    {u"HistoryNothingToDo", u"no folder or no drive to work on", {}, T::HistoryNothingToDo},
    {u"NoticeBackupFinished", u"Backup finished: %1 files, %2", {}, T::NoticeBackupFinished},
    {u"NoticeRestoreFinished", u"Restore finished: %1 files, %2", {}, T::NoticeRestoreFinished},
    {u"NoticeBackupFailures",
     u"Backup finished: %1 files could not be copied",
     {},
     T::NoticeBackupFailures},
    {u"NoticeRestoreFailures",
     u"Restore finished: %1 files could not be copied",
     {},
     T::NoticeRestoreFailures},
    {u"NoticeBackupCancelled", u"Backup cancelled: %1 files copied", {}, T::NoticeBackupCancelled},
    {u"NoticeRestoreCancelled",
     u"Restore cancelled: %1 files copied",
     {},
     T::NoticeRestoreCancelled},
    {u"NoticeBackupStopped", u"Backup stopped: %1", {}, T::NoticeBackupStopped},
    {u"NoticeRestoreStopped", u"Restore stopped: %1", {}, T::NoticeRestoreStopped},
    // Two entries of one folder that a Windows volume takes for one name (letter case, a
    // trailing dot or blank, a short name): only the first is copied.
    {u"ERRCODE_NAME_CLASH",
     u"Name clashes with another item in the same folder, which was copied instead",
     {},
     T::ErrcodeNameClash},
    // The new data is complete but could not take the earlier file's place; the line shows
    // the name it is kept under, so that nothing is lost.
    {u"ERRCODE_NEW_COPY_KEPT",
     u"New copy kept under this name, as it could not take the place of the earlier file",
     {},
     T::ErrcodeNewCopyKept},
    {u"ERRCODE_ROOT_INSIDE_BACKUP",
     u"Folder lies inside the backup tree on the USB device and is not backed up",
     {},
     T::ErrcodeRootInsideBackup},
    // A data file that exists but could not be read (another program holds it) is kept
    // beside itself before the program saves over it.
    {u"DataFileUnreadable",
     u"This data file could not be read. Its content will be kept beside it before the "
     u"program saves over it:",
     {},
     T::DataFileUnreadable},
    // A file another program holds open for writing is not copied half-changed.
    {u"ERRCODE_SOURCE_IN_USE", u"In use by another program", {}, T::ErrcodeSourceInUse},
    // Its size or times moved while it was read: the copy would mix two versions.
    {u"ERRCODE_SOURCE_CHANGED",
     u"File changed while it was being copied",
     {},
     T::ErrcodeSourceChanged},
    // Once per job and volume: the volume gives back other last-write times than the ones set.
    {u"ERRCODE_TIMES_UNTRUSTED",
     u"Times on this volume cannot be trusted: its files are copied every time",
     {},
     T::ErrcodeTimesUntrusted},
    // Once per job and volume: copied files had named streams (a download's zone mark) that
    // the volume cannot keep; %1 is how many.
    {u"ERRCODE_STREAMS_NOT_KEPT",
     u"Named streams of %1 files are not kept on this volume",
     {},
     T::ErrcodeStreamsNotKept},
    // Shown with the job history's path when the program, running elevated with no desktop
    // shell to hand the file to, starts no viewer for it.
    {u"HistoryFileIs",
     u"The job history is kept in this file. Open it with a text editor:",
     {},
     T::HistoryFileIs},
    // A junction or symbolic link on the enclosure, or below the folder a restore writes into:
    // the elevated copy never passes through one there.
    {u"ERRCODE_LINK_NOT_FOLLOWED",
     u"This is a link to another place, and nothing is copied through it",
     {},
     T::ErrcodeLinkNotFollowed},
    // Links below a folder to back up are left out, as robocopy's /XJ leaves them out.
    {u"HistoryLinksSkipped", u"Links not followed", {}, T::HistoryLinksSkipped},
    // A changed file that does not fit beside its earlier copy on the enclosure, even after
    // removing the versions old enough to go: the earlier copy stays, the file is not backed up.
    {u"ERRCODE_NO_ROOM_TO_KEEP_EARLIER",
     u"Not enough room on the USB device to keep the earlier copy safe",
     {},
     T::ErrcodeNoRoomToKeepEarlier},
    // A temporary file left by an interrupted copy whose source is gone: it may hold the only
    // copy of its data, so it is kept.
    {u"ERRCODE_LEFTOVER_KEPT",
     u"Temporary file of an interrupted copy, kept because its file is missing",
     {},
     T::ErrcodeLeftoverKept},
    // Asked before a backup's copy pass when most of the files backed up before have changed.
    {u"QuestionManyFilesChanged",
     u"%1 of %2 backed-up files have changed since the last backup. This can be a sign of "
     u"ransomware. Back up anyway",
     {},
     T::QuestionManyFilesChanged},
    {u"HistoryManyFilesChanged",
     u"many files already backed up had changed, and the backup was not run",
     {},
     T::HistoryManyFilesChanged},
    // What a job kept of the files it replaced, in its history record.
    {u"HistoryVersionsKept", u"Earlier copies kept", {}, T::HistoryVersionsKept},
    {u"HistoryVersionsRemoved",
     u"Old versions removed to make room",
     {},
     T::HistoryVersionsRemoved},
    {u"HistoryRecycled", u"Replaced files sent to the Recycle Bin", {}, T::HistoryRecycled},
    {u"HistoryKeptBeside",
     u"Replaced files kept beside the restored ones",
     {},
     T::HistoryKeptBeside},
    // A ticked folder that is not there: an unplugged drive, a folder deleted or renamed, or a
    // device folder that is not on the USB device's selected volume. One line, not a success.
    {u"ERRCODE_FOLDER_NOT_FOUND", u"Folder not found", {}, T::ErrcodeRootMissing},
    // Rows can come from a disk another PC wrote: a restore never writes into the system.
    {u"ERRCODE_DESTINATION_REFUSED",
     u"Not restored: it would go into a Windows, Program Files or Startup folder",
     {},
     T::ErrcodeDestinationRefused},
    {u"DeviceRestoreTo", u"Restore to another folder...", {}, T::DeviceRestoreTo},
    {u"RestoreToWindowDescription",
     u"Select the folder to restore into",
     {},
     T::RestoreToWindowDescription},
}};

// Every caption target and every table entry appears exactly once in the key list.
template <class Target, size_t Count>
constexpr bool EachOnce(std::optional<Target> LanguageKey::*member) {
    std::array<int, Count> seen{};
    for (const LanguageKey& row : kKeys)
        if (row.*member)
            ++seen[static_cast<size_t>(*(row.*member))];
    for (int s : seen)
        if (s != 1)
            return false;
    return true;
}
static_assert(EachOnce<Caption, kCaptionCount>(&LanguageKey::SetsCaption));
static_assert(EachOnce<Text, kTextCount>(&LanguageKey::StoresText));

constexpr std::array<size_t, kTextCount> MakeTextRows() {
    std::array<size_t, kTextCount> rows{};
    for (size_t i = 0; i < kKeys.size(); ++i)
        if (kKeys[i].StoresText)
            rows[static_cast<size_t>(*kKeys[i].StoresText)] = i;
    return rows;
}
constexpr std::array<size_t, kTextCount> kTextRows = MakeTextRows();

static_assert(static_cast<size_t>(Caption::CheckBoxOthersExt) + 1 == kCaptionCount);
static_assert(static_cast<size_t>(Text::RestoreToWindowDescription) + 1 == kTextCount);

// A value read from a file never contains U+0000 (the text ends there), so a default made of
// one can only mean the lookup fell back.
const std::u16string kFellBack(1, u'\0');

} // namespace

std::span<const Language, kLanguageCount> Languages() {
    return kLanguages;
}

std::u16string LanguageFilePath(int index) {
    if (index < 0 || index >= kLanguageCount)
        return {};
    return u"SnapData\\Language\\" + std::u16string(kLanguages[size_t(index)].FileName);
}

std::span<const LanguageKey, kLanguageKeyCount> LanguageKeys() {
    return kKeys;
}

size_t LanguageKeyIndex(Text text) {
    return kTextRows[static_cast<size_t>(text)];
}

std::u16string_view EnglishText(Text text) {
    return kKeys[LanguageKeyIndex(text)].English;
}

std::u16string DecodeLanguageText(std::string_view fileBytes) {
    // The program reads n bytes into a buffer of n + 2 zero-filled bytes: with an odd n the last
    // byte becomes the low half of a final unit whose high half is zero.
    std::u16string text;
    text.reserve((fileBytes.size() + 1) / 2);
    for (size_t i = 0; i < fileBytes.size(); i += 2) {
        const auto low = static_cast<unsigned char>(fileBytes[i]);
        const auto high =
            i + 1 < fileBytes.size() ? static_cast<unsigned char>(fileBytes[i + 1]) : 0u;
        const auto unit = static_cast<char16_t>(low | (high << 8));
        if (unit == u'\0')
            break;
        text.push_back(unit);
    }
    return text;
}

std::array<std::u16string, kLanguageKeyCount> ReadLanguageTexts(std::string_view fileBytes) {
    const std::u16string text = DecodeLanguageText(fileBytes);
    std::array<std::u16string, kLanguageKeyCount> values;
    for (size_t i = 0; i < kKeys.size(); ++i)
        values[i] = FindKeyValueW(text, kKeys[i].Key, kKeys[i].English, kLanguageSeparators,
                                  kLanguageValueCapacity);
    return values;
}

std::array<std::optional<std::u16string>, kLanguageKeyCount>
FindLanguageValues(std::string_view fileBytes) {
    const std::u16string text = DecodeLanguageText(fileBytes);
    std::array<std::optional<std::u16string>, kLanguageKeyCount> values;
    for (size_t i = 0; i < kKeys.size(); ++i) {
        std::u16string value = FindKeyValueW(text, kKeys[i].Key, kFellBack, kLanguageSeparators,
                                             kLanguageValueCapacity);
        if (value != kFellBack)
            values[i] = std::move(value);
    }
    return values;
}

} // namespace snapkeep
