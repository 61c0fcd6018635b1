#include "worker/PathMapping.h"

namespace snapkeep {

namespace {

constexpr std::u16string_view kDriveMarker = u":\\";
constexpr std::u16string_view kBackupMarker = u":\\Backup\\";
constexpr std::u16string_view kBackupFolder = u"Backup\\";
constexpr std::u16string_view kNetworkPrefix = u"\\\\";
constexpr std::u16string_view kNetworkFolder = u"UNC";

} // namespace

std::optional<std::u16string> MapBackupPath(std::u16string_view source,
                                            std::u16string_view deviceRoot) {
    // No enclosure drive (its drive box emptied when it was pulled out): a backup has nowhere
    // to go. Mapped below an empty root, the file would land in a "Backup" folder below the
    // program's current directory, and be reported as copied.
    if (deviceRoot.empty())
        return std::nullopt;
    std::u16string_view drive;
    std::u16string_view rest;
    if (source.starts_with(kNetworkPrefix)) {
        drive = kNetworkFolder;
        rest = source.substr(kNetworkPrefix.size());
    } else {
        const size_t marker = source.find(kDriveMarker);
        if (marker == std::u16string_view::npos)
            return std::nullopt;
        drive = source.substr(0, marker); // "C" of "C:\..."
        rest = source.substr(marker + kDriveMarker.size());
    }
    std::u16string destination;
    destination.reserve(deviceRoot.size() + kBackupFolder.size() + drive.size() + 1 + rest.size());
    destination.append(deviceRoot).append(kBackupFolder).append(drive).append(u"\\").append(rest);
    return destination;
}

std::optional<std::u16string> MapRestorePath(std::u16string_view source) {
    const size_t marker = source.find(kBackupMarker);
    if (marker == std::u16string_view::npos)
        return std::nullopt;
    const std::u16string_view tail = source.substr(marker + kBackupMarker.size());
    const size_t slash = tail.find(u'\\');
    if (slash == std::u16string_view::npos || slash == 0)
        return std::nullopt;
    const std::u16string_view drive = tail.substr(0, slash);
    const std::u16string_view rest = tail.substr(slash + 1);
    std::u16string destination;
    if (drive == kNetworkFolder)
        destination.append(kNetworkPrefix);
    else
        destination.append(drive).append(kDriveMarker);
    destination.append(rest);
    return destination;
}

} // namespace snapkeep
