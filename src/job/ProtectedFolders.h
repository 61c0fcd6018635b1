#pragma once
// The folders of this PC a restore never writes to: the Windows folder, the Program Files
// folders and the Startup folders (ProtectedPath.h says why). Built once per restore job and
// asked by its workers, one at a time, from their own threads.
#include <string>
#include <vector>

namespace snapkeep {

class ProtectedFolders {
public:
    // This PC's folders, as named and as the file system resolves them.
    ProtectedFolders();
    // For a test: exactly these folders (and every Startup folder).
    explicit ProtectedFolders(std::vector<std::u16string> folders) : folders_(std::move(folders)) {}

    // Whether a file written to `destination` would land in a protected folder: by the path as
    // written, and by the path the system resolves its deepest existing folder to (a short name
    // such as "PROGRA~1", a link or a junction leads to the same place by another name).
    bool Refuses(const std::wstring& destination);

private:
    bool RefusesFolder(const std::wstring& folder) const;

    std::vector<std::u16string> folders_;
    // The files of one folder come one after another: its answer is kept for the next file.
    std::wstring lastFolder_;
    bool lastAnswer_ = false;
};

} // namespace snapkeep
