#pragma once
// What a job needs from the window that opens it: the folders to walk, the enclosure's drive
// root, the file-type choice, the interface texts, and the device list a backup fills. The main
// window implements it; the job knows nothing else of that window, and a test can give the job a
// host of its own.
#include "store/LanguageFile.h"
#include "store/SettingsFile.h"

#include <array>
#include <string>

namespace snapkeep {

// The file-type choice of the settings page, as the job's type list is built from it.
struct FileTypeChoice {
    std::array<bool, kFileTypeCount> checked{}; // the eight boxes in stored order
    std::wstring others;                        // the Others text as typed
};

class JobHost {
public:
    // The two folder lists: a backup walks the host folders, a restore the device folders.
    enum class FolderList { Host, Device };

    virtual int FolderCount(FolderList list) const = 0;
    virtual bool FolderTicked(FolderList list, int row) const = 0;
    virtual std::wstring FolderPath(FolderList list, int row) const = 0;

    // A backup lists the folders it writes, for a later restore: a folder whose copy pass has
    // begun gets its unticked row, unless the device list has it already. Rows of other folders
    // stay: their copies are still on the enclosure.
    virtual void AddDeviceFolder(const std::wstring& path) = 0;

    // The selected enclosure volume's root ("E:\"); empty when none is selected.
    virtual std::wstring DriveRoot() const = 0;

    virtual FileTypeChoice ChosenFileTypes() const = 0;

    // The interface text of a key in the language applied; empty before one is.
    virtual const std::wstring& TextOf(Text key) const = 0;

protected:
    ~JobHost() = default;
};

} // namespace snapkeep
