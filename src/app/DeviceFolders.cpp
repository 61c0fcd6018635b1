#include "app/DeviceFolders.h"

#include <algorithm>

namespace snapkeep {

std::optional<size_t> DeviceFolders::Find(std::u16string_view below) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].below && same_(*rows_[i].below, below))
            return i;
    return std::nullopt;
}

size_t DeviceFolders::Append(std::u16string path, std::optional<std::u16string> below) {
    Known known;
    known.row.Path = std::move(path);
    known.below = std::move(below);
    rows_.push_back(std::move(known));
    return rows_.size() - 1;
}

void DeviceFolders::Load(const std::vector<FolderRow>& rows) {
    rows_.clear();
    shown_.clear();
    for (const FolderRow& row : rows) {
        std::optional<std::u16string> below = RowBelowRoot(row.Path);
        const std::optional<size_t> known = below ? Find(*below) : std::nullopt;
        if (known) {
            rows_[*known].row.Checked = rows_[*known].row.Checked || row.Checked;
            continue;
        }
        shown_.push_back(Append(row.Path, std::move(below)));
        rows_.back().row.Checked = row.Checked;
    }
}

std::vector<FolderRow> DeviceFolders::Rows() const {
    std::vector<FolderRow> rows;
    rows.reserve(rows_.size());
    for (const Known& known : rows_)
        rows.push_back(known.row);
    return rows;
}

void DeviceFolders::Show(std::u16string_view root, const std::vector<std::u16string>& found,
                         const std::function<bool(std::u16string_view below)>& exists) {
    shown_.clear();
    if (root.empty()) {
        for (size_t i = 0; i < rows_.size(); ++i)
            shown_.push_back(i);
        return;
    }
    for (const std::u16string& below : found)
        if (IsBackupFolderPath(below) && !Find(below))
            Append(std::u16string(root) + below, below);
    for (size_t i = 0; i < rows_.size(); ++i) {
        Known& known = rows_[i];
        if (!known.below || !exists(*known.below))
            continue;
        known.row.Path = std::u16string(root) + *known.below;
        shown_.push_back(i);
    }
}

std::optional<size_t> DeviceFolders::Add(std::u16string_view path) {
    std::optional<std::u16string> below = RowBelowRoot(path);
    std::optional<size_t> known = below ? Find(*below) : std::nullopt;
    if (known) {
        rows_[*known].row.Path = std::u16string(path);
        if (std::find(shown_.begin(), shown_.end(), *known) != shown_.end())
            return std::nullopt;
    } else {
        known = Append(std::u16string(path), std::move(below));
    }
    shown_.push_back(*known);
    return known;
}

void DeviceFolders::Adopt(const FolderRow& row) {
    shown_.push_back(Append(row.Path, RowBelowRoot(row.Path)));
    rows_.back().row.Checked = row.Checked;
}

} // namespace snapkeep
