#pragma once
// The rows of the device list, known and shown. A row is a folder of the enclosure's Backup
// tree; what identifies it is its path below the enclosure's root ("Backup\C\Users\Ann\"),
// letter case ignored, never the drive letter the enclosure had when the row was made: the same
// enclosure comes back as F: after a USB stick took E:.
//
// Every row known (from "Device.txt", from the enclosure's index, from a backup) is kept and
// saved back. The list shows, once the enclosure is found on a volume, the rows whose folder is
// on that volume, each with that volume's root; a row whose folder is not there is not shown
// but stays known, so that another enclosure (or this one after a restore elsewhere) does not
// wipe it. With no enclosure found the list shows every row as it was saved.
#include "store/EnclosureIndex.h"
#include "store/FolderListFile.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

class DeviceFolders {
public:
    explicit DeviceFolders(FolderNameRule same) : same_(same) {}

    // The rows of the list file, in order; rows of the same folder merge into the first, ticked
    // when any of them was.
    void Load(const std::vector<FolderRow>& rows);
    // Every known row, for the list file: shown rows with the root they are shown with.
    std::vector<FolderRow> Rows() const;

    // What the list shows with the enclosure found at `root` ("F:\"): first the folders the
    // enclosure holds (`found`, below its root, from its index or its Backup tree) become rows
    // unless they are known; then the rows whose folder `exists` below the root are shown, with
    // that root. An empty root shows every row as it was saved.
    void Show(std::u16string_view root, const std::vector<std::u16string>& found,
              const std::function<bool(std::u16string_view below)>& exists);

    // The known rows the list shows, in its order.
    const std::vector<size_t>& Shown() const { return shown_; }
    const FolderRow& Row(size_t known) const { return rows_[known].row; }
    void SetChecked(size_t known, bool checked) { rows_[known].row.Checked = checked; }

    // A backup's folder: merged into the row of the same folder, which takes this text, or a new
    // unticked row. Answers the known row when the list must show it at its end (it was not
    // shown yet), nothing when it already shows it.
    std::optional<size_t> Add(std::u16string_view path);
    // A row put at the end of the list by other means than this model: taken in as shown.
    void Adopt(const FolderRow& row);

private:
    struct Known {
        FolderRow row;
        std::optional<std::u16string> below;
    };
    std::optional<size_t> Find(std::u16string_view below) const;
    size_t Append(std::u16string path, std::optional<std::u16string> below); // unticked

    FolderNameRule same_;
    std::vector<Known> rows_;
    std::vector<size_t> shown_;
};

} // namespace snapkeep
